// Time to make one shell link when the recent-documents link is written at
// once (the normal case on this platform).
#include "shell/racc.h"
#include "tests/outils.h"
#include "wizard/install.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    Bac bac;
    PlateformeTest p(bac.racine());
    Install w(p);
    ecrireFichier(bac.home() + "/Programmes/Agenda/Agenda.exe", QByteArray(64 * 1024, 'M'));
    QDir().mkpath(bac.home() + "/Menu");
    const QString cible = "c:\\Programmes\\Agenda\\Agenda.exe";

    // One run to create the folders, then the measured ones.
    Racc::CreerRaccourci(w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    const int n = 500;
    const auto debut = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i)
        Racc::CreerRaccourci(w, "c:\\Menu", "Agenda " + QString::number(i % 20), cible, "", "",
                             0, "", 0);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - debut).count();

    const bool lien = QFileInfo::exists(bac.home() + "/Menu/Agenda 0.lnk");
    std::printf("shell link creation: %.3f ms mean over %d runs (target: well under 10 ms)%s\n",
                ms / n, n, lien ? "" : " -- NO LINK WRITTEN");
    return lien ? 0 : 1;
}
