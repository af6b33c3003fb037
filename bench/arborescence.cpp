// Wall time of installing a tree of 10,000 small files (a few hundred
// folders, some links) as a whole-folder entry, arbre\*, by the build
// tree's unattended `setup --silencieux` on a medium and a HOME of its own,
// beside `cp -a` of the same tree on the same file system, in the same run.
//
//   build/bench/bench_arborescence [RUNS]
//
// Both write where TMPDIR says (a tmpfs: TMPDIR=/dev/shm), so that the
// disk and its cache are the same for both.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int Dossiers = 250, FichiersParDossier = 38, LiensParDossier = 2;

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool ecrire(const QString& chemin, const QByteArray& octets)
{
    QFile f(chemin);
    return f.open(QIODevice::WriteOnly) && f.write(octets) == octets.size();
}

// The tree: folders two levels deep, files of 100 bytes to 4 KB, and in
// each folder links to files beside them, as a library's libx.so.1.
int faireArbre(const QString& racine)
{
    int n = 0;
    for (int d = 0; d < Dossiers; ++d) {
        const QString dossier = racine + QString("/groupe%1/dossier%2").arg(d / 25).arg(d);
        QDir().mkpath(dossier);
        for (int f = 0; f < FichiersParDossier; ++f, ++n)
            ecrire(dossier + QString("/fichier%1.dat").arg(f), QByteArray(100 + (n * 397) % 4000, char('a' + f % 26)));
        for (int l = 0; l < LiensParDossier; ++l, ++n)
            QFile::link(QString("fichier%1.dat").arg(l), dossier + QString("/lien%1").arg(l));
    }
    return n;
}

// Wall time in ms of a command; -1 when it failed.
double chrono(const QString& programme, const QStringList& arguments, const QProcessEnvironment& env = {})
{
    QProcess p;
    if (!env.isEmpty()) p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(programme, arguments);
    p.waitForFinished(-1);
    const double ms = t.nsecsElapsed() / 1e6;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(programme), p.readAll().right(2000).constData());
        return -1;
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int tours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir tmp;
    // Stripped, as on a medium: the install keeps a copy of the wizard, and
    // the build tree's carries 20 MB of debugging data that none has.
    QString setup = QCoreApplication::applicationDirPath() + "/../setup";
    if (QProcess::execute("strip", {"-o", tmp.path() + "/setup", setup}) == 0) setup = tmp.path() + "/setup";
    const QString support = tmp.path() + "/support";
    const int entrees = faireArbre(support + "/arbre");
    ecrire(support + "/prog", "#!/bin/sh\n");
    QFile::setPermissions(support + "/prog", QFile::permissions(support + "/prog") | QFileDevice::ExeOwner);
    const QByteArray inf = QString::fromUtf8("[Général]\r\nDisqueInstallDéfaut=C\r\nRépertoireInstallDéfaut=Programmes\\"
                                             "Arbre\r\nNomGroupeDéfaut=Arbre\r\nProgramme=prog\r\nNomProgramme=Arbre\r\n"
                                             "EspaceRequis=1Mo\r\n[Fichiers]\r\nF1=prog\r\nF2=arbre\\*\r\n"
                                             "[FichiersSystem]\r\n").toUtf8();
    ecrire(support + "/Install.inf", inf);

    std::vector<double> assistant, cp;
    for (int i = 0; i < tours; ++i) {
        const QString home = tmp.path() + QString("/home%1").arg(i);
        QDir().mkpath(home);
        QProcessEnvironment env;
        env.insert("PATH", "/usr/bin:/bin");
        env.insert("HOME", home);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // cp first, then the wizard, alternately into fresh folders: each
        // reads a tree as warm in the cache as the other's.
        const double c = chrono("cp", {"-a", support + "/arbre", tmp.path() + QString("/cp%1").arg(i)});
        const double a = chrono(setup, {"--silencieux", "--sans-icones", "--forcer", "--support=" + support}, env);
        if (a < 0 || c < 0) return 1;
        cp.push_back(c);
        assistant.push_back(a);
    }
    const double ma = mediane(assistant), mc = mediane(cp);
    std::printf("tree: %d folders, %d files and links (%d links), %d runs\n", Dossiers, entrees,
                Dossiers * LiensParDossier, tours);
    std::printf("setup --silencieux (F2=arbre\\*): median %.0f ms, best %.0f ms, %.1f us per entry\n", ma,
                *std::min_element(assistant.begin(), assistant.end()), ma * 1000 / entrees);
    std::printf("cp -a of the same tree:         median %.0f ms, best %.0f ms, %.1f us per entry\n", mc,
                *std::min_element(cp.begin(), cp.end()), mc * 1000 / entrees);
    std::printf("wizard / cp -a: %.2f (the wizard runs at %.0f%% of cp -a's speed)\n", ma / mc, 100 * mc / ma);
    return 0;
}
