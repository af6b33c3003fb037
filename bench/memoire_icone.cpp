// Memory and wall time of the unattended install (setup --silencieux) of
// the sample medium whose agenda.png is a 4096 x 4096 picture, beside the
// same install with the sample's own icon: the maximum resident set size
// and the elapsed time that /usr/bin/time -v reports, each run with a home
// of its own.
#include "tests/outils.h"
#include "examples/dessin_agenda.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Mesure {
    double ko = 0, mo = 0, secondes = 0;
    bool ok = false;
};

// One install into a fresh home: the figures of /usr/bin/time -v.
Mesure installer(const QImage* icone)
{
    Mesure m;
    Bac bac;
    QDir().mkpath(bac.home());
    preparerSupport(bac.support());
    copierSetup(bac.support());
    if (icone) icone->save(bac.support() + "/agenda.png", "PNG");
    m.ko = QFileInfo(bac.support() + "/agenda.png").size() / 1024.0;

    QProcess p;
    p.setProcessEnvironment(environnementSansEcran(bac));
    p.start("/usr/bin/time", {"-v", bac.support() + "/setup", "--silencieux"});
    if (!p.waitForFinished(30 * 60 * 1000) || p.exitCode() != 0) {
        std::fprintf(stderr, "setup --silencieux failed:\n%s%s\n", p.readAllStandardOutput().constData(),
                     p.readAllStandardError().constData());
        return m;
    }
    const QString rapport = QString::fromUtf8(p.readAllStandardError());
    const auto rss = QRegularExpression("Maximum resident set size \\(kbytes\\): (\\d+)").match(rapport);
    const auto temps = QRegularExpression("Elapsed \\(wall clock\\) time.*: (?:(\\d+):)?(\\d+):([\\d.]+)").match(rapport);
    if (!rss.hasMatch() || !temps.hasMatch()) return m;
    m.mo = rss.captured(1).toDouble() / 1024;
    m.secondes = temps.captured(1).toDouble() * 3600 + temps.captured(2).toDouble() * 60 + temps.captured(3).toDouble();
    m.ok = true;
    return m;
}

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (!QFile::exists("/usr/bin/time")) {
        std::fprintf(stderr, "/usr/bin/time is missing (Debian package time)\n");
        return 1;
    }
    QTemporaryDir runtime;
    environnementHorsEcran(runtime);
    QGuiApplication app(argc, argv);
    const int tours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    // The sample's icon drawn at 4096 x 4096, as a publisher exporting at the
    // largest size would ship it.
    const QImage grande = DessinerAgenda(4096).convertToFormat(QImage::Format_ARGB32);

    const struct { const char* nom; const QImage* icone; } cas[] = {
        {"sample icon", nullptr}, {"4096 x 4096 agenda.png", &grande}};
    bool ok = true;
    for (const auto& c : cas) {
        std::vector<double> mo, secondes;
        double ko = 0;
        for (int i = 0; i < tours; ++i) {
            const Mesure m = installer(c.icone);
            ok = ok && m.ok;
            ko = m.ko;
            mo.push_back(m.mo);
            secondes.push_back(m.secondes);
        }
        std::printf("setup --silencieux, %s (%.0f KB): maximum resident set %.1f MB, %.2f s (median of %d)\n",
                    c.nom, ko, mediane(mo), mediane(secondes), tours);
    }
    return ok ? 0 : 1;
}
