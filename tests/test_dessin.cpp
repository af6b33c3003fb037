// The gradient painted on a picture box.
#include "tests/outils.h"

#include "extras/degrade.h"
#include "wizard/controles.h"

#include <gtest/gtest.h>

namespace {

const QColor Fond(1, 2, 3);

struct Surface {
    PictureBox boite;
    explicit Surface(int largeur = 512, int hauteur = 512)
    {
        boite.resize(largeur, hauteur);
        boite.setBackColor(Fond);
    }
    QRgb px(int x, int y) const { return boite.Image().pixel(x, y); }
};

QRgb bleu(int b) { return qRgb(0, 0, b); }

// With the start-up's arguments, band i is blue i, and the picture stays
// when the box is hidden and shown again.
TEST(Degrade, ArgumentsDuDemarrageBandeIEstBleuIEtSeRepeint)
{
    Surface s;
    PeindreDegrade(s.boite, false, false, true, false, false, false, false);
    for (int i = 0; i < 256; ++i)
        for (int x : {2 * i, 2 * i + 1})
            for (int y : {0, 200, 511}) ASSERT_EQ(s.px(x, y), bleu(i)) << "x " << x << " y " << y;
    s.boite.show();
    for (int fois = 0; fois < 2; ++fois, s.boite.hide(), s.boite.show()) {
        const QImage vue = s.boite.grab().toImage();
        for (int i : {0, 100, 255}) EXPECT_EQ(vue.pixel(2 * i + 1, 256), bleu(i)) << fois;
    }
}

// All omitted, blue falls in vertical bands: 256 of them over 300 pixels,
// none skipped by more than one step, nothing of the background left.
// The box's drawing settings and scale are its own again afterwards: a
// standard scale stays standard, a user scale is in force for later drawing.
TEST(Degrade, SurfaceCouverteEtReglagesRendus)
{
    Surface twips(300, 180), utilisateur(300, 200);
    twips.boite.DrawWidth = 3;
    twips.boite.DrawMode = 7;
    utilisateur.boite.AutoRedraw = true;
    utilisateur.boite.setScaleWidth(100);
    utilisateur.boite.setScaleHeight(40);
    for (Surface* s : {&twips, &utilisateur}) PeindreDegrade(s->boite);

    EXPECT_EQ(twips.px(0, 0), bleu(255));
    EXPECT_EQ(twips.px(299, 179), bleu(0));
    for (int x = 0, precedent = 256; x < 300; precedent = qBlue(twips.px(x++, 90))) {
        ASSERT_GE(precedent - qBlue(twips.px(x, 90)), 0) << x;
        ASSERT_LE(precedent - qBlue(twips.px(x, 90)), 2) << x;
        for (int y : {0, 179}) ASSERT_EQ(twips.px(x, y), twips.px(x, 90)) << x;
        ASSERT_NE(twips.px(x, 90), Fond.rgb()) << x;
    }
    EXPECT_FALSE(twips.boite.AutoRedraw);
    EXPECT_EQ(std::pair(twips.boite.DrawWidth, twips.boite.DrawMode), (std::pair<std::int16_t, std::int16_t>(3, 7)));
    EXPECT_EQ(twips.boite.ScaleMode(), 1);
    EXPECT_TRUE(utilisateur.boite.AutoRedraw);
    EXPECT_EQ(utilisateur.boite.ScaleMode(), 0);
    utilisateur.boite.Boite(50, 0, 100, 20, Qt::red);
    EXPECT_EQ(utilisateur.px(150, 50), QColor(Qt::red).rgb());
    EXPECT_NE(utilisateur.px(149, 50), QColor(Qt::red).rgb());
    EXPECT_NE(utilisateur.px(150, 100), QColor(Qt::red).rgb());
}

}  // namespace
