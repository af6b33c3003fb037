// Wall time of a whole installation of the sample medium through the
// window (from the click on the install button to "Terminer >"), with the
// program group, desktop and start-up links, beside `cp` of the same files
// on the same file system.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs cp with the given files into a folder; its wall time in ms.
double cp(const QStringList& fichiers, const QString& dossier)
{
    QDir().mkpath(dossier);
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start("cp", QStringList{"-p"} + fichiers + QStringList{dossier});
    p.waitForFinished(-1);
    const double ms = t.nsecsElapsed() / 1e6;
    if (p.exitCode() != 0) std::fprintf(stderr, "cp failed: %s\n", p.readAllStandardError().constData());
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    environnementHorsEcran(runtime);
    QApplication app(argc, argv);

    const int tours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> installations, copies;
    int fichiers = 0;
    qint64 octets = 0;
    bool liensOk = true;

    for (int i = 0; i < tours; ++i) {
        Bac bac;
        copierSupportExemple(bac.support());
        PlateformeTest p(bac.racine());
        Install w(p);
        w.Form_Load();
        w.show();
        w.OptionDépart[1]->click();
        w.BSuiv->click();
        w.ChDem->setChecked(true);
        QApplication::processEvents();

        QElapsedTimer t;
        t.start();
        w.Command1->click();
        installations.push_back(t.nsecsElapsed() / 1e6);
        if (w.BSuiv->text() != "Terminer >" || !p.boites.empty()) {
            std::fprintf(stderr, "installation did not finish (%zu message boxes)\n", p.boites.size());
            return 1;
        }
        const QString liens = bac.home() + "/.local/share/assistant-installation/liens/";
        liensOk = liensOk && QFileInfo::exists(liens + "Programmes/" + w.NomDef + "/" + w.NomProg + ".lnk") &&
                  QFileInfo::exists(liens + "Demarrage/" + w.NomProg + ".lnk");

        // The same files with cp: program, help and program files into one
        // folder, each system file into the two system folders.
        QStringList programme{w.Prog};
        if (!w.Aide.isEmpty()) programme << w.Aide;
        for (QString* f : w.EmplacementsF())
            if (!f->isEmpty() && !programme.contains(*f)) programme << *f;
        QStringList systeme;
        for (QString* f : w.EmplacementsFs())
            if (!f->isEmpty()) systeme << *f;
        auto chemins = [&](const QStringList& noms) {
            QStringList c;
            for (const QString& n : noms) c << bac.support() + "/" + n;
            return c;
        };
        const QString cible = bac.racine() + "/cp";
        double ms = cp(chemins(programme), cible + "/prog");
        if (!systeme.isEmpty()) {
            ms += cp(chemins(systeme), cible + "/lib");
            ms += cp(chemins(systeme), cible + "/lib32");
        }
        copies.push_back(ms);

        fichiers = programme.size() + 2 * systeme.size();
        octets = 0;
        for (const QString& c : chemins(programme)) octets += QFileInfo(c).size();
        for (const QString& c : chemins(systeme)) octets += 2 * QFileInfo(c).size();
    }

    std::printf("sample medium: %d file copies, %lld bytes, %d runs\n", fichiers,
                static_cast<long long>(octets), tours);
    std::printf("installation (click to \"Terminer >\", with links): median %.1f ms, best %.1f ms\n",
                mediane(installations), *std::min_element(installations.begin(), installations.end()));
    std::printf("cp -p of the same files (%s):          median %.1f ms, best %.1f ms\n",
                "3 processes", mediane(copies), *std::min_element(copies.begin(), copies.end()));
    std::printf("links written: %s\n", liensOk ? "yes" : "NO");
    return liensOk ? 0 : 1;
}
