// The gradient painted on a picture box, and the final page's background.
#include "tests/outils.h"

#include "extras/degrade.h"
#include "wizard/controles.h"
#include "wizard/install.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr auto _ = std::nullopt;
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

TEST(Degrade, ArgumentsDuDemarrageBandeIEstBleuI)
{
    Surface s;
    PeindreDegrade(s.boite, false, false, true, false, false, false, false);
    for (int i = 0; i < 256; ++i)
        for (int x : {2 * i, 2 * i + 1})
            for (int y : {0, 200, 511}) ASSERT_EQ(s.px(x, y), bleu(i)) << "x " << x << " y " << y;
}

TEST(Degrade, OptionsOmisesEtComposantes)
{
    Surface s;
    // Everything omitted: blue, vertical bands, falling from full blue.
    PeindreDegrade(s.boite);
    EXPECT_EQ(s.px(0, 100), bleu(255));
    EXPECT_EQ(s.px(511, 100), bleu(0));
    EXPECT_EQ(s.px(101, 0), bleu(255 - 50));

    // Red alone: blue is not added.
    PeindreDegrade(s.boite, true, _, _, _, _, false);
    EXPECT_EQ(s.px(2 * 77, 300), qRgb(77, 0, 0));
    EXPECT_EQ(s.px(511, 300), qRgb(255, 0, 0));

    // Blue turned off with no other component: blue all the same.
    PeindreDegrade(s.boite, false, false, false, _, _, false);
    EXPECT_EQ(s.px(2 * 40, 10), bleu(40));

    // All three: a grey ramp, white to black when falling.
    PeindreDegrade(s.boite, true, true, true, _, _, false);
    EXPECT_EQ(s.px(2 * 130 + 1, 5), qRgb(130, 130, 130));
    PeindreDegrade(s.boite, true, true, true);
    EXPECT_EQ(s.px(0, 5), qRgb(255, 255, 255));
    EXPECT_EQ(s.px(511, 5), qRgb(0, 0, 0));

    // Green and blue together.
    PeindreDegrade(s.boite, _, true, true, _, _, false);
    EXPECT_EQ(s.px(2 * 9, 5), qRgb(0, 9, 9));
}

TEST(Degrade, SensDesBandes)
{
    Surface s;
    // Horizontal bands only, from the top.
    PeindreDegrade(s.boite, _, _, true, true, _, false);
    EXPECT_EQ(s.px(0, 0), bleu(0));
    EXPECT_EQ(s.px(511, 2 * 60 + 1), bleu(60));
    EXPECT_EQ(s.px(300, 511), bleu(255));
    // ... from the bottom with Inverse.
    PeindreDegrade(s.boite, _, _, true, true, _, false, true);
    EXPECT_EQ(s.px(250, 511), bleu(0));
    EXPECT_EQ(s.px(0, 510), bleu(0));
    EXPECT_EQ(s.px(7, 509), bleu(1));
    EXPECT_EQ(s.px(400, 0), bleu(255));
    // Vertical bands with Inverse start at the right edge.
    PeindreDegrade(s.boite, _, _, true, _, _, false, true);
    EXPECT_EQ(s.px(511, 3), bleu(0));
    EXPECT_EQ(s.px(508, 3), bleu(1));
    EXPECT_EQ(s.px(0, 3), bleu(255));
    // Both directions: each step paints its horizontal band, then its
    // vertical band, so the later step shows where they cross.
    PeindreDegrade(s.boite, _, _, true, true, true, false);
    EXPECT_EQ(s.px(2 * 10, 2 * 200), bleu(200));
    EXPECT_EQ(s.px(2 * 200, 2 * 10), bleu(200));
    EXPECT_EQ(s.px(2 * 33, 2 * 33 + 1), bleu(33));
    EXPECT_EQ(s.px(0, 0), bleu(0));
}

TEST(Degrade, UneSurfaceDe300PixelsEstCouverteExactement)
{
    Surface s(300, 180);
    PeindreDegrade(s.boite, _, _, true, _, _, false);
    EXPECT_EQ(s.px(0, 0), bleu(0));
    EXPECT_EQ(s.px(299, 179), bleu(255));
    int precedent = -1;
    for (int x = 0; x < 300; ++x) {
        const int b = qBlue(s.px(x, 90));
        ASSERT_GE(b, precedent) << x;
        // 256 bands over 300 pixels: no band is skipped by more than one step.
        ASSERT_LE(b - precedent, 2) << x;
        precedent = b;
        for (int y : {0, 179}) ASSERT_EQ(s.px(x, y), s.px(x, 90)) << x;
        ASSERT_NE(s.px(x, 90), Fond.rgb()) << x;
    }
}

TEST(Degrade, LesReglagesDeLaSurfaceSontRendus)
{
    {
        // The design defaults: twips.
        Surface s(300, 200);
        s.boite.DrawWidth = 3;
        s.boite.DrawStyle = 1;
        s.boite.DrawMode = 7;
        PeindreDegrade(s.boite);
        EXPECT_FALSE(s.boite.AutoRedraw);
        EXPECT_EQ(s.boite.DrawWidth, 3);
        EXPECT_EQ(s.boite.DrawStyle, 1);
        EXPECT_EQ(s.boite.DrawMode, 7);
        EXPECT_EQ(s.boite.ScaleMode(), 1);
        EXPECT_EQ(s.boite.ScaleWidth(), 4500.f);
        EXPECT_EQ(s.boite.ScaleHeight(), 3000.f);
    }
    {
        // A user scale, and persistent drawing already on.
        Surface s(300, 200);
        s.boite.AutoRedraw = true;
        s.boite.setScaleWidth(100);
        s.boite.setScaleHeight(40);
        PeindreDegrade(s.boite);
        EXPECT_TRUE(s.boite.AutoRedraw);
        EXPECT_EQ(s.boite.ScaleMode(), 0);
        EXPECT_EQ(s.boite.ScaleWidth(), 100.f);
        EXPECT_EQ(s.boite.ScaleHeight(), 40.f);
        // The user scale is in force again for later drawing.
        s.boite.Boite(50, 0, 100, 20, Qt::red);
        EXPECT_EQ(s.px(150, 50), QColor(Qt::red).rgb());
        EXPECT_NE(s.px(149, 50), QColor(Qt::red).rgb());
        EXPECT_NE(s.px(150, 100), QColor(Qt::red).rgb());
    }
    {
        // Pixels.
        Surface s(300, 200);
        s.boite.setScaleMode(3);
        PeindreDegrade(s.boite);
        EXPECT_EQ(s.boite.ScaleMode(), 3);
        EXPECT_EQ(s.boite.ScaleWidth(), 300.f);
        EXPECT_EQ(s.boite.ScaleHeight(), 200.f);
    }
}

TEST(Degrade, UnRepeintMontreLeDegradeDeNouveau)
{
    Surface s;
    PeindreDegrade(s.boite, _, _, true, _, _, false);
    s.boite.show();
    for (int fois = 0; fois < 2; ++fois) {
        const QImage vue = s.boite.grab().toImage();
        ASSERT_EQ(vue.width(), 512);
        for (int i : {0, 1, 100, 254, 255}) EXPECT_EQ(vue.pixel(2 * i + 1, 256), bleu(i)) << fois;
        s.boite.hide();
        s.boite.show();
    }
}

TEST(Degrade, LaPageFinaleRecoitSonDegradeAuDemarrage)
{
    Bac bac;
    ecrireInf(bac.support() + "/Install.inf",
              {QString::fromUtf8("[Général]"), "Programme=Agenda.exe", "NomProgramme=Agenda"});
    PlateformeTest p(bac.racine());
    Install w(p);
    w.Form_Load();
    PictureBox& page = *w.Picture2;
    const QImage image = page.Image();
    ASSERT_EQ(image.size(), page.size());
    EXPECT_EQ(image.pixel(0, 0), bleu(0));
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), bleu(255));
    EXPECT_EQ(image.pixel(image.width() / 2, 10), image.pixel(image.width() / 2, image.height() - 10));
    EXPECT_EQ(page.ScaleMode(), 1);
    EXPECT_EQ(page.ScaleWidth(), page.width() * 15.f);
}

}  // namespace
