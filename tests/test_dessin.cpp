// The gradient painted on a picture box.
#include "tests/outils.h"

#include "extras/degrade.h"
#include "wizard/controles.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

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

TEST(Degrade, ArgumentsDuDemarrageBandeIEstBleuIEtSeRepeint)
{
    Surface s;
    PeindreDegrade(s.boite, false, false, true, false, false, false, false);
    for (int i = 0; i < 256; ++i)
        for (int x : {2 * i, 2 * i + 1})
            for (int y : {0, 200, 511}) ASSERT_EQ(s.px(x, y), bleu(i)) << "x " << x << " y " << y;
    // The image is persistent: shown, hidden and shown again, it is still there.
    s.boite.show();
    for (int fois = 0; fois < 2; ++fois, s.boite.hide(), s.boite.show()) {
        const QImage vue = s.boite.grab().toImage();
        ASSERT_EQ(vue.width(), 512);
        for (int i : {0, 1, 100, 254, 255}) EXPECT_EQ(vue.pixel(2 * i + 1, 256), bleu(i)) << fois;
    }
}

TEST(Degrade, OptionsComposantesEtSens)
{
    struct Sonde { int x, y; QRgb attendu; };
    const struct {
        const char* nom;
        std::optional<bool> r, v, b, h, vert, decr, inv;
        std::vector<Sonde> sondes;
    } cas[] = {
        {"all omitted", _, _, _, _, _, _, _, {{0, 100, bleu(255)}, {511, 100, bleu(0)}, {101, 0, bleu(205)}}},
        {"red alone", true, _, _, _, _, false, _, {{154, 300, qRgb(77, 0, 0)}, {511, 300, qRgb(255, 0, 0)}}},
        {"no component", false, false, false, _, _, false, _, {{80, 10, bleu(40)}}},
        {"grey rising", true, true, true, _, _, false, _, {{261, 5, qRgb(130, 130, 130)}}},
        {"grey falling", true, true, true, _, _, _, _, {{0, 5, qRgb(255, 255, 255)}, {511, 5, qRgb(0, 0, 0)}}},
        {"green and blue", _, true, true, _, _, false, _, {{18, 5, qRgb(0, 9, 9)}}},
        {"horizontal", _, _, true, true, _, false, _, {{0, 0, bleu(0)}, {511, 121, bleu(60)}, {300, 511, bleu(255)}}},
        {"horizontal inverse", _, _, true, true, _, false, true,
         {{250, 511, bleu(0)}, {0, 510, bleu(0)}, {7, 509, bleu(1)}, {400, 0, bleu(255)}}},
        {"vertical inverse", _, _, true, _, _, false, true, {{511, 3, bleu(0)}, {508, 3, bleu(1)}, {0, 3, bleu(255)}}},
        // Each step paints its horizontal band, then its vertical one: the
        // later step shows where they cross.
        {"both", _, _, true, true, true, false, _, {{20, 400, bleu(200)}, {400, 20, bleu(200)}, {66, 67, bleu(33)}}},
    };
    for (const auto& c : cas) {
        Surface s;
        PeindreDegrade(s.boite, c.r, c.v, c.b, c.h, c.vert, c.decr, c.inv);
        for (const Sonde& d : c.sondes) EXPECT_EQ(s.px(d.x, d.y), d.attendu) << c.nom << " at " << d.x << "," << d.y;
    }
}

TEST(Degrade, UneSurfaceDe300PixelsEstCouverteExactement)
{
    Surface s(300, 180);
    PeindreDegrade(s.boite, _, _, true, _, _, false);
    EXPECT_EQ(s.px(0, 0), bleu(0));
    EXPECT_EQ(s.px(299, 179), bleu(255));
    // 256 bands over 300 pixels: rising, none skipped by more than one step.
    for (int x = 0, precedent = -1; x < 300; precedent = qBlue(s.px(x++, 90))) {
        ASSERT_GE(qBlue(s.px(x, 90)) - precedent, 0) << x;
        ASSERT_LE(qBlue(s.px(x, 90)) - precedent, 2) << x;
        for (int y : {0, 179}) ASSERT_EQ(s.px(x, y), s.px(x, 90)) << x;
        ASSERT_NE(s.px(x, 90), Fond.rgb()) << x;
    }
}

TEST(Degrade, LesReglagesDeLaSurfaceSontRendus)
{
    auto echelle = [](const PictureBox& b) { return std::tuple(b.ScaleMode(), b.ScaleWidth(), b.ScaleHeight()); };
    using E = std::tuple<std::int16_t, float, float>;
    Surface twips(300, 200), pixels(300, 200), utilisateur(300, 200);
    twips.boite.DrawWidth = 3;
    twips.boite.DrawStyle = 1;
    twips.boite.DrawMode = 7;
    pixels.boite.setScaleMode(3);
    utilisateur.boite.AutoRedraw = true;
    utilisateur.boite.setScaleWidth(100);
    utilisateur.boite.setScaleHeight(40);
    for (Surface* s : {&twips, &pixels, &utilisateur}) PeindreDegrade(s->boite);

    EXPECT_FALSE(twips.boite.AutoRedraw);
    EXPECT_EQ(std::tuple(twips.boite.DrawWidth, twips.boite.DrawStyle, twips.boite.DrawMode),
              (std::tuple<std::int16_t, std::int16_t, std::int16_t>(3, 1, 7)));
    EXPECT_EQ(echelle(twips.boite), E(1, 4500.f, 3000.f));
    EXPECT_EQ(echelle(pixels.boite), E(3, 300.f, 200.f));
    EXPECT_TRUE(utilisateur.boite.AutoRedraw);
    EXPECT_EQ(echelle(utilisateur.boite), E(0, 100.f, 40.f));
    // The user scale is in force again for later drawing.
    utilisateur.boite.Boite(50, 0, 100, 20, Qt::red);
    EXPECT_EQ(utilisateur.px(150, 50), QColor(Qt::red).rgb());
    EXPECT_NE(utilisateur.px(149, 50), QColor(Qt::red).rgb());
    EXPECT_NE(utilisateur.px(150, 100), QColor(Qt::red).rgb());
}

}  // namespace
