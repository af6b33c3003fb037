// The gradient painted on a picture box.
#include "extras/degrade.h"
#include "wizard/controles.h"

#include <gtest/gtest.h>

namespace {

struct Surface {
    static inline const QColor Fond{1, 2, 3};
    PictureBox boite;
    Surface(int largeur, int hauteur)
    {
        boite.resize(largeur, hauteur);
        boite.setBackColor(Fond);
    }
    QRgb px(int x, int y) const { return boite.Image().pixel(x, y); }
};

// Start-up's arguments: band i is blue i, kept when the box is shown again.
// All omitted: falling blue bands cover a 300-pixel box, no step over one
// skipped; drawing settings and a standard scale come back, a user one stays.
TEST(Degrade, BandesEtReglagesRendus)
{
    Surface s(512, 512), twips(300, 180), utilisateur(300, 200);
    PeindreDegrade(s.boite, false, false, true, false, false, false, false);
    for (int x = 0; x < 512; ++x)
        for (int y : {0, 200, 511}) ASSERT_EQ(s.px(x, y), qRgb(0, 0, x / 2)) << "x " << x << " y " << y;
    s.boite.show();
    for (int fois = 0; fois < 2; ++fois, s.boite.hide(), s.boite.show())
        EXPECT_EQ(s.boite.grab().toImage().pixel(201, 256), qRgb(0, 0, 100)) << fois;

    twips.boite.DrawWidth = 3;
    twips.boite.DrawMode = 7;
    utilisateur.boite.AutoRedraw = true;
    utilisateur.boite.setScaleWidth(100);
    utilisateur.boite.setScaleHeight(40);
    for (Surface* x : {&twips, &utilisateur}) PeindreDegrade(x->boite);
    for (int x = 0, precedent = 256; x < 300; precedent = qBlue(twips.px(x++, 90))) {
        ASSERT_GE(precedent - qBlue(twips.px(x, 90)), 0) << x;
        ASSERT_LE(precedent - qBlue(twips.px(x, 90)), 2) << x;
        for (int y : {0, 179}) ASSERT_EQ(twips.px(x, y), twips.px(x, 90)) << x;
        ASSERT_NE(twips.px(x, 90), Surface::Fond.rgb()) << x;
    }
    EXPECT_EQ(twips.px(299, 179), qRgb(0, 0, 0));
    EXPECT_FALSE(twips.boite.AutoRedraw);
    EXPECT_EQ(std::pair(twips.boite.DrawWidth, twips.boite.DrawMode), (std::pair<std::int16_t, std::int16_t>(3, 7)));
    EXPECT_EQ(twips.boite.ScaleMode(), 1);
    EXPECT_TRUE(utilisateur.boite.AutoRedraw);
    utilisateur.boite.Boite(50, 0, 100, 20, Qt::red);
    EXPECT_EQ(utilisateur.px(150, 50), QColor(Qt::red).rgb());
    EXPECT_NE(utilisateur.px(149, 50), QColor(Qt::red).rgb());
}

}  // namespace
