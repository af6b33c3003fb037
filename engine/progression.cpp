// The progress bar and the free space of the chosen drive.
#include "engine/progression.h"

#include "wizard/install.h"

#include <cmath>
#include <limits>

using plateforme::Essayer;

namespace {

constexpr double maxInt32 = std::numeric_limits<std::int32_t>::max();

std::int32_t versInt32(double x)
{
    if (!(x == x)) return 0;  // NaN
    if (x >= maxInt32) return std::numeric_limits<std::int32_t>::max();
    if (x <= std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);
}

}  // namespace

double ArrondiPair(double x)
{
    // Explicit rather than through the floating-point rounding mode, which
    // any library may have changed.
    const double bas = std::floor(x);
    const double reste = x - bas;
    if (reste < 0.5) return bas;
    if (reste > 0.5) return bas + 1;
    return std::fmod(bas, 2.0) == 0 ? bas : bas + 1;
}

std::int32_t MoLibres(const plateforme::Geometrie& g)
{
    if (g.secteursParCluster <= 0 || g.octetsParSecteur <= 0 || g.clustersLibres <= 0) return 0;
    constexpr std::int32_t sature = std::numeric_limits<std::int32_t>::max();
    std::int64_t octets = 0;
    if (__builtin_mul_overflow(g.secteursParCluster, g.octetsParSecteur, &octets)) return sature;
    const auto ko = static_cast<std::int64_t>(ArrondiPair(octets / 1024.0));
    // Clusters under half a Ko would round to none and show a full disk
    // whatever is free: their true size is counted instead.
    if (ko == 0)
        return versInt32(ArrondiPair(static_cast<double>(static_cast<long double>(octets) * g.clustersLibres
                                                         / (1024.0L * 1024.0L))));
    // Ko free in 64 bits: more than 2 TiB free gives its true figure, bounded
    // only when it no longer fits the 32-bit result.
    std::int64_t koLibres = 0;
    if (__builtin_mul_overflow(ko, g.clustersLibres, &koLibres)) return sature;
    return versInt32(ArrondiPair(koLibres / 1024.0));
}

void Install::AvancerProgression()
{
    // 16 bits: past the largest value the count stays there rather than
    // wrapping to a negative step that would erase nothing and draw nothing.
    if (Etape < std::numeric_limits<std::int16_t>::max()) ++Etape;
    if (!(PbMax > 0)) return;
    PB->setScaleWidth(PbMax);
    PB->setScaleHeight(10);
    const double droite = std::min(double(Etape), double(PbMax));
    PB->Boite(0, 0, droite, 10, palette().color(QPalette::Active, QPalette::Highlight));
}

std::int32_t Install::EspaceLibre(const QString& lecteur)
{
    plateforme::Geometrie g;
    bool lu = false;
    Essayer([&] {
        g = P.GeometrieDisque(lecteur.left(2) + "\\");
        lu = true;
    });
    P.LaisserEvenements();
    // A full disk is 0 Mo; only a drive that cannot be asked answers the
    // required space itself, so that the comparison raises no warning.
    if (lu) return MoLibres(g);
    return versInt32(ArrondiPair(TailleInstall.toDouble()));
}
