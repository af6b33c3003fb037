// The progress bar and the free-space figure.
#include "engine/progression.h"
#include "tests/outils.h"
#include "wizard/install.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <limits>

using plateforme::Geometrie;

namespace {

struct Barre : ::testing::Test {
    Bac bac;
    PlateformeTest p{bac.racine()};
    Install w{p};
    QRgb plein = w.palette().color(QPalette::Active, QPalette::Highlight).rgb();
    QRgb fond = w.PB->BackColor().rgb();

    void SetUp() override
    {
        ASSERT_NE(plein, fond);
        w.PB->show();
        w.PB->Cls();
    }
    // Width filled from the left edge in the bar's colour; -1 when any
    // pixel right of it is not the background.
    int rempli() const
    {
        const QImage& im = w.PB->Image();
        auto colonne = [&](int x, QRgb c) {
            for (int y = 0; y < im.height(); ++y)
                if (im.pixel(x, y) != c) return false;
            return true;
        };
        int x = 0;
        while (x < im.width() && colonne(x, plein)) ++x;
        for (int r = x; r < im.width(); ++r)
            if (!colonne(r, fond)) return -1;
        return x;
    }
    void avancer(int n) { for (int i = 0; i < n; ++i) w.AvancerProgression(); }
};

TEST_F(Barre, FillsFromTheLeftInProportionAndNeverPastTheEdge)
{
    w.PbMax = 0;  // no maximum: a step but nothing drawn
    w.AvancerProgression();
    EXPECT_EQ(w.Etape, 1);
    EXPECT_EQ(rempli(), 0);

    w.PbMax = 20;
    const QSize taille = w.PB->Image().size();
    ASSERT_GT(taille.width(), 40);
    avancer(4);
    EXPECT_NEAR(rempli(), taille.width() / 4.0, 1.0);
    avancer(5);
    EXPECT_NEAR(rempli(), taille.width() / 2.0, 1.0);
    avancer(11);  // past the maximum: full, same size
    EXPECT_EQ(w.Etape, 21);
    EXPECT_EQ(w.PB->Image().size(), taille);
    EXPECT_EQ(rempli(), taille.width());

    // The 16-bit count stops at its largest value.
    w.Etape = std::numeric_limits<std::int16_t>::max() - 1;
    avancer(2);
    EXPECT_EQ(w.Etape, std::numeric_limits<std::int16_t>::max());
    EXPECT_EQ(rempli(), taille.width());
}

TEST(MoLibres, KoPerClusterThenMoRoundedHalfToEvenIn64Bits)
{
    constexpr std::int32_t max32 = std::numeric_limits<std::int32_t>::max();
    struct Cas { std::int64_t secteurs, libres; std::int32_t attendu; };
    for (const Cas& c : {
             Cas{8, 2560, 10}, Cas{0, 0, 0},
             Cas{1, 1'000'000, 488}, Cas{1, 1023, 0},  // 512-byte clusters: counted in bytes
             Cas{3, 1024, 2}, Cas{5, 1024, 2},  // 1.5 and 2.5 Ko per cluster
             Cas{8, 128, 0}, Cas{8, 384, 2}, Cas{8, 640, 2},  // 0.5, 1.5, 2.5 Mo
             Cas{8, std::int64_t(1) << 30, 4 * 1024 * 1024},  // 4 TiB: wraps in 32 bits
             Cas{128, std::int64_t(1) << 40, max32},          // beyond 32 bits of Mo
             Cas{8, std::numeric_limits<std::int64_t>::max(), max32}})
        EXPECT_EQ(MoLibres(Geometrie{c.secteurs, 512, c.libres, 0}), c.attendu) << c.secteurs << " x " << c.libres;
}

struct Espace : ::testing::Test {
    Bac bac;
    // An extra drive e: whose root is gone, as a removed medium.
    plateforme::Configuration config = [this] {
        auto c = PlateformeTest::configurationDans(bac.racine());
        c.lecteurs.push_back({'e', bac.racine() + "/media/PARTI", "PARTI"});
        return c;
    }();
    PlateformeTest p{config};
    Install w{p};
};

TEST_F(Espace, UnreadableDriveFallsBackToTheRoundedRequiredSpace)
{
    for (auto [taille, attendu] : {std::pair{1.4, 1}, {1.6, 2}, {2.5, 2}, {3.5, 4}, {0.0, 0}, {-1.5, -2},
                                  {1e12, 2147483647}}) {
        w.TailleInstall = taille;
        EXPECT_EQ(w.EspaceLibre("e: [PARTI]"), attendu) << taille;
        EXPECT_EQ(w.EspaceLibre("q:"), attendu) << "unknown drive, " << taille;
    }
}

// A disk really full is 0 Mo, not the required space of the fallback.
TEST_F(Espace, FullDiskGivesNone)
{
    ASSERT_TRUE(monterTmpfs(bac.home(), 256 << 10));
    ecrireFichier(bac.home() + "/plein", QByteArray(512 << 10, 'x'));
    w.TailleInstall = 3.0;
    EXPECT_EQ(w.EspaceLibre("c:"), 0);
}

TEST_F(Espace, RealDriveGivesItsFreeMo)
{
    auto libresHote = [&] {
        struct statvfs v {};
        EXPECT_EQ(statvfs(QFile::encodeName(bac.home()).constData(), &v), 0);
        return double(v.f_bavail) * v.f_frsize / (1024.0 * 1024.0);
    };
    w.TailleInstall = 7.0;
    // Others write to the same disk: the figure lies between two readings.
    const double avant = libresHote();
    const std::int32_t mo = w.EspaceLibre(w.Drive1->Drive());
    const double apres = libresHote();
    ASSERT_GT(std::min(avant, apres), 8.0);
    EXPECT_GE(mo, std::min(avant, apres) - 1);
    EXPECT_LE(mo, std::max(avant, apres) + 1);
}

}  // namespace
