// The progress bar and the free-space figure.
#include "engine/progression.h"
#include "tests/outils.h"
#include "wizard/install.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cmath>
#include <limits>

using plateforme::Geometrie;

namespace {

struct Barre : ::testing::Test {
    Bac bac;
    PlateformeTest p{bac.racine()};
    Install w{p};
    QColor plein = w.palette().color(QPalette::Active, QPalette::Highlight);
    QColor fond = w.PB->BackColor();

    void SetUp() override
    {
        ASSERT_NE(plein.rgb(), fond.rgb());
        w.PB->show();
        w.PB->Cls();
    }
    // Columns of the bar's image whose whole height is in the bar's colour.
    int colonnesPleines() const
    {
        const QImage& im = w.PB->Image();
        int n = 0;
        for (int x = 0; x < im.width(); ++x) {
            bool colonne = true;
            for (int y = 0; y < im.height(); ++y) colonne = colonne && im.pixel(x, y) == plein.rgb();
            n += colonne;
        }
        return n;
    }
    bool rienDessine() const
    {
        const QImage& im = w.PB->Image();
        for (int x = 0; x < im.width(); ++x)
            for (int y = 0; y < im.height(); ++y)
                if (im.pixel(x, y) != fond.rgb()) return false;
        return true;
    }
};

TEST_F(Barre, FillsFromTheLeftInProportionToTheSteps)
{
    w.PbMax = 20;
    const int largeur = w.PB->Image().width();
    ASSERT_GT(largeur, 40);
    for (int i = 0; i < 5; ++i) w.AvancerProgression();
    EXPECT_EQ(w.Etape, 5);
    EXPECT_NEAR(colonnesPleines(), largeur / 4.0, 1.0);
    // Filled from the left edge, nothing beyond the quarter.
    const QImage& im = w.PB->Image();
    EXPECT_EQ(im.pixel(0, 0), plein.rgb());
    EXPECT_EQ(im.pixel(0, im.height() - 1), plein.rgb());
    EXPECT_EQ(im.pixel(largeur / 4 + 2, 0), fond.rgb());
    EXPECT_EQ(im.pixel(largeur - 1, im.height() / 2), fond.rgb());

    for (int i = 0; i < 5; ++i) w.AvancerProgression();
    EXPECT_NEAR(colonnesPleines(), largeur / 2.0, 1.0);
}

TEST_F(Barre, StepsPastTheMaximumFillTheBarAndNoMore)
{
    w.PbMax = 20;
    const QSize taille = w.PB->Image().size();
    for (int i = 0; i < 21; ++i) w.AvancerProgression();
    EXPECT_EQ(w.Etape, 21);
    EXPECT_EQ(w.PB->Image().size(), taille);
    EXPECT_EQ(colonnesPleines(), taille.width());
}

TEST_F(Barre, CountStopsAtTheLargest16BitValue)
{
    w.PbMax = 20;
    w.Etape = std::numeric_limits<std::int16_t>::max() - 1;
    w.AvancerProgression();
    w.AvancerProgression();
    EXPECT_EQ(w.Etape, std::numeric_limits<std::int16_t>::max());
    EXPECT_EQ(colonnesPleines(), w.PB->Image().width());
}

TEST_F(Barre, NoMaximumDrawsNothing)
{
    w.PbMax = 0;
    w.AvancerProgression();
    EXPECT_EQ(w.Etape, 1);
    EXPECT_TRUE(rienDessine());
}

TEST(ArrondiPair, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(ArrondiPair(0.5), 0);
    EXPECT_EQ(ArrondiPair(1.5), 2);
    EXPECT_EQ(ArrondiPair(2.5), 2);
    EXPECT_EQ(ArrondiPair(3.5), 4);
    EXPECT_EQ(ArrondiPair(1.4), 1);
    EXPECT_EQ(ArrondiPair(1.6), 2);
    EXPECT_EQ(ArrondiPair(2.49999), 2);
    EXPECT_EQ(ArrondiPair(-0.5), 0);
    EXPECT_EQ(ArrondiPair(-1.5), -2);
}

Geometrie geometrie(std::int64_t secteurs, std::int64_t libres)
{
    return {secteurs, 512, libres, libres * 2};
}

TEST(MoLibres, KoPerClusterThenMoRoundedHalfToEven)
{
    EXPECT_EQ(MoLibres(geometrie(8, 2560)), 10);  // 4 Ko clusters
    // 512-byte clusters give 0 Ko per cluster, whatever is free.
    EXPECT_EQ(MoLibres(geometrie(1, 1'000'000)), 0);
    // 1536-byte clusters: 1.5 Ko rounds to 2; 2560-byte: 2.5 rounds to 2.
    EXPECT_EQ(MoLibres(geometrie(3, 1024)), 2);
    EXPECT_EQ(MoLibres(geometrie(5, 1024)), 2);
    // Mo halves: 4 Ko x 128 = 0.5 Mo -> 0, x 384 = 1.5 -> 2, x 640 = 2.5 -> 2.
    EXPECT_EQ(MoLibres(geometrie(8, 128)), 0);
    EXPECT_EQ(MoLibres(geometrie(8, 384)), 2);
    EXPECT_EQ(MoLibres(geometrie(8, 640)), 2);
    EXPECT_EQ(MoLibres(Geometrie{}), 0);
}

TEST(MoLibres, MoreThanTwoTebibytesGivesTheTrueFigure)
{
    // 4 TiB free in 4 Ko clusters: 2^32 Ko, which a 32-bit product wraps.
    EXPECT_EQ(MoLibres(geometrie(8, std::int64_t(1) << 30)), 4 * 1024 * 1024);
    // 64 Ko clusters, 2^40 of them: beyond 32 bits of Mo, saturated.
    EXPECT_EQ(MoLibres(geometrie(128, std::int64_t(1) << 40)), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(MoLibres(geometrie(8, std::numeric_limits<std::int64_t>::max())),
              std::numeric_limits<std::int32_t>::max());
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
    for (auto [taille, attendu] : {std::pair{1.4, 1}, {1.6, 2}, {2.5, 2}, {3.5, 4}, {0.0, 0}}) {
        w.TailleInstall = taille;
        EXPECT_EQ(w.EspaceLibre("e: [PARTI]"), attendu) << taille;
        EXPECT_EQ(w.EspaceLibre("q:"), attendu) << "unknown drive, " << taille;
    }
    // 1.4 Mo required with an unreadable drive still exceeds the figure.
    w.TailleInstall = 1.4;
    EXPECT_GT(w.TailleInstall.toDouble(), w.EspaceLibre("e:"));
    w.TailleInstall = 1e12;
    EXPECT_EQ(w.EspaceLibre("e:"), std::numeric_limits<std::int32_t>::max());
}

TEST_F(Espace, GoneDriveDoesNotAnswer)
{
    try {
        p.GeometrieDisque("e:\\");
        FAIL() << "no failure";
    } catch (const plateforme::Erreur& e) {
        EXPECT_EQ(e.numero, plateforme::ErrDelai);
    }
}

double moLibresHote(const QString& dossier)
{
    struct statvfs v {};
    EXPECT_EQ(statvfs(dossier.toUtf8().constData(), &v), 0);
    return double(v.f_bavail) * v.f_frsize / (1024.0 * 1024.0);
}

TEST_F(Espace, RealDriveGivesItsFreeMo)
{
    struct statvfs v {};
    ASSERT_EQ(statvfs(bac.home().toUtf8().constData(), &v), 0);
    const Geometrie g = p.GeometrieDisque("c:\\");
    EXPECT_EQ(g.octetsParSecteur, 512);
    EXPECT_EQ(g.secteursParCluster * 512, std::int64_t(v.f_frsize));
    EXPECT_EQ(g.clustersTotal, std::int64_t(v.f_blocks));

    w.TailleInstall = 7.0;
    // Others write to the same disk: the figure lies between two readings.
    const double avant = moLibresHote(bac.home());
    const std::int32_t mo = w.EspaceLibre(w.Drive1->Drive());
    const double apres = moLibresHote(bac.home());
    ASSERT_GT(std::min(avant, apres), 8.0);
    EXPECT_GE(mo, std::min(avant, apres) - 1);
    EXPECT_LE(mo, std::max(avant, apres) + 1);
}

}  // namespace
