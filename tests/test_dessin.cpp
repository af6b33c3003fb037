// The gradient painted on a picture box.
#include "extras/degrade.h"
#include "wizard/controles.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Start-up's arguments: band i is blue i, kept when the box is shown again.
// All omitted: falling blue bands cover a 300-pixel box, no step over one
// skipped; drawing settings and a standard scale come back, a user one stays.
TEST(Degrade, BandesEtReglagesRendus)
{
    const QColor fond{1, 2, 3};  // a colour no band has
    PictureBox s, twips, utilisateur;
    for (auto [b, largeur, hauteur] : {std::tuple{&s, 512, 512}, {&twips, 300, 180}, {&utilisateur, 300, 200}}) {
        b->resize(largeur, hauteur);
        b->setBackColor(fond);
    }
    const auto px = [](const PictureBox& b, int x, int y) { return b.Image().pixel(x, y); };
    PeindreDegrade(s, false, false, true, false, false, false, false);
    for (int x = 0; x < 512; ++x)
        for (int y : {0, 200, 511}) ASSERT_EQ(px(s, x, y), qRgb(0, 0, x / 2)) << "x " << x << " y " << y;
    s.show();
    for (int fois = 0; fois < 2; ++fois, s.hide(), s.show())
        EXPECT_EQ(s.grab().toImage().pixel(201, 256), qRgb(0, 0, 100)) << fois;

    twips.DrawWidth = 3;
    twips.DrawMode = 7;
    utilisateur.AutoRedraw = true;
    utilisateur.setScaleWidth(100);
    utilisateur.setScaleHeight(40);
    for (PictureBox* b : {&twips, &utilisateur}) PeindreDegrade(*b);
    for (int x = 0, precedent = 256; x < 300; precedent = qBlue(px(twips, x++, 90))) {
        ASSERT_GE(precedent - qBlue(px(twips, x, 90)), 0) << x;
        ASSERT_LE(precedent - qBlue(px(twips, x, 90)), 2) << x;
        for (int y : {0, 179}) ASSERT_EQ(px(twips, x, y), px(twips, x, 90)) << x;
        ASSERT_NE(px(twips, x, 90), fond.rgb()) << x;
    }
    EXPECT_EQ(px(twips, 299, 179), qRgb(0, 0, 0));
    EXPECT_EQ(std::tuple(twips.AutoRedraw, twips.DrawWidth, twips.DrawMode, twips.ScaleMode(), utilisateur.AutoRedraw),
              (std::tuple<bool, std::int16_t, std::int16_t, std::int16_t, bool>(false, 3, 7, 1, true)));
    utilisateur.Boite(50, 0, 100, 20, Qt::red);
    EXPECT_EQ(px(utilisateur, 150, 50), QColor(Qt::red).rgb());
    EXPECT_NE(px(utilisateur, 149, 50), QColor(Qt::red).rgb());
}

}  // namespace
