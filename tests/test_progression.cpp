// The progress bar and the free-space figure.
#include "engine/progression.h"
#include "tests/outils.h"
#include "wizard/install.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// The bar fills from the left in proportion, never past its edge. A drive that cannot be asked answers the required
// space, rounded half to even; a real one its free Mo, a full one 0.
TEST(Progression, BarreEtEspaceLibre)
{
    Bac bac;
    auto config = PlateformeTest::configurationDans(bac.racine());
    config.lecteurs.push_back({'e', bac.racine() + "/media/PARTI", "PARTI"});
    PlateformeTest p(config);
    Install w(p);
    const QRgb plein = w.palette().color(QPalette::Active, QPalette::Highlight).rgb();
    const QRgb fond = w.PB->BackColor().rgb();
    w.PB->show();
    w.PB->Cls();
    // Width filled from the left edge in the bar's colour; -1 when any other pixel is not the background.
    const auto rempli = [&] {
        const QImage& im = w.PB->Image();
        int bord = 0;
        while (bord < im.width() && im.pixel(bord, 0) == plein) ++bord;
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x)
                if (im.pixel(x, y) != (x < bord ? plein : fond)) return -1;
        return bord;
    };
    w.PbMax = 20;
    const int largeur = w.PB->Image().width();
    ASSERT_GT(largeur, 40);
    for (int i = 0; i < 5; ++i) w.AvancerProgression();
    EXPECT_NEAR(rempli(), largeur / 4.0, 1.0);
    for (int i = 0; i < 16; ++i) w.AvancerProgression();  // past the maximum: full, no wider
    EXPECT_EQ(rempli(), largeur);
    w.Etape = std::numeric_limits<std::int16_t>::max() - 1;
    for (int i = 0; i < 2; ++i) w.AvancerProgression();
    EXPECT_EQ(w.Etape, std::numeric_limits<std::int16_t>::max());  // 16 bits: stops at its largest value

    for (auto [taille, attendu] : {std::pair{1.6, 2}, {2.5, 2}, {3.5, 4}, {-1.5, -2}, {1e12, 2147483647}}) {
        w.TailleInstall = taille;
        EXPECT_EQ(w.EspaceLibre("e: [PARTI]"), attendu) << taille;
        EXPECT_EQ(w.EspaceLibre("q:"), attendu) << "unknown drive, " << taille;
    }
    ASSERT_TRUE(monterTmpfs(bac.home(), 4 << 20));
    EXPECT_EQ(w.EspaceLibre(w.Drive1->Drive()), 4);
    ecrireFichier(bac.home() + "/plein", QByteArray(4 << 20, 'x'));
    EXPECT_EQ(w.EspaceLibre("c:"), 0);
}

TEST(MoLibres, KoPerClusterThenMoRoundedHalfToEvenIn64Bits)
{
    struct Cas { std::int64_t secteurs, libres; std::int32_t attendu; };
    for (const auto& [secteurs, libres, attendu] : {Cas{8, 2560, 10}, Cas{0, 0, 0},
                         Cas{1, 1'000'000, 488}, Cas{1, 1023, 0},  // 512-byte clusters: counted in bytes
                         Cas{3, 1024, 2}, Cas{5, 1024, 2},  // 1.5 and 2.5 Ko per cluster
                         Cas{8, 384, 2}, Cas{8, 640, 2},  // 1.5 and 2.5 Mo
                         Cas{8, std::int64_t(1) << 30, 4 * 1024 * 1024},  // 4 TiB: wraps in 32 bits
                         Cas{8, std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int32_t>::max()}})
        EXPECT_EQ(MoLibres(plateforme::Geometrie{secteurs, 512, libres, 0}), attendu) << secteurs << '/' << libres;
}

}  // namespace
