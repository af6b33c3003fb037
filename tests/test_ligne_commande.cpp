// The unattended command line: the built wizard run as a child process with no display at all.
#include "tests/outils.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct LigneDeCommande : ::testing::Test {
    Bac bac;
    // The wizard beside the medium, as a publisher ships it.
    void preparer(const QMap<QString, QString>& cles = {})
    {
        QDir().mkpath(bac.home());
        preparerSupport(bac.support(), cles);
        ASSERT_TRUE(QFile::copy(SETUP_EXE, bac.support() + "/setup"));
        QFile(bac.support() + "/setup").setPermissions(QFile(SETUP_EXE).permissions());
    }

    // Runs it, expecting exit `code` and each of `attendus` in its output; gives its output and error output.
    std::pair<QString, QString> lancer(const QStringList& arguments, int code, const QStringList& attendus = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            env.remove(v);
        env.insert("HOME", bac.home());
        env.insert("XDG_DATA_DIRS", bac.racine() + "/sys/usr/local/share");
        env.insert("XDG_CONFIG_DIRS", bac.racine() + "/sys/etc/xdg");
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(bac.support() + "/setup", arguments);
        EXPECT_TRUE(p.waitForFinished(60000));
        const QString sortie = QString::fromUtf8(p.readAllStandardOutput());
        const std::string trace = arguments.join(' ').toStdString() + "\n" + sortie.toStdString();
        EXPECT_EQ(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, code) << trace;
        for (const QString& a : attendus) EXPECT_TRUE(sortie.contains(a)) << a.toStdString() << " in " << trace;
        return {sortie, QString::fromUtf8(p.readAllStandardError())};
    }
};

// Install (the program, also among the files, copied once), again, then uninstall: 0 only when all was done.
TEST_F(LigneDeCommande, InstallationPuisDesinstallation)
{
    preparer({{"URLRaccourciWEB", "http://exemple.org"}, {"NomRaccourciWEB", "Site"}});
    lancer({"--silencieux", "--repertoire=Agenda2", "--demarrage", "--sans-icones"}, 0,
           {"message « Répertoire inexistant » : Le répertoire c:\\Agenda2 n'existe pas... "
            "voulez vous le créer ? → Oui\n",
            "Installation terminée : 6 fichier(s) copié(s), 0 gardé(s), 1 raccourci(s) créé(s), 0 échec(s)\n"});
    // The program as new as the medium's is kept; the favourite fails the run.
    const QString inf = bac.support() + "/Install.inf";
    ecrireFichier(inf, lireFichier(inf).replace("RaccourciWEB=non", "RaccourciWEB=oui"));
    QDir().mkpath(bac.home() + "/.local/share/assistant-installation/liens/Favoris/Site.url");
    lancer({"--silencieux", "--repertoire=Agenda2"}, 1,
           {"gardé : c:\\Agenda2\\agenda (la copie installée est aussi récente)\n",
            "échec : c:\\.local\\share\\assistant-installation\\liens\\Favoris\\Site.url ("});
    // With nobody to ask, a file of the user's in the directory stays.
    ecrireFichier(bac.home() + "/Agenda2/mes-notes.txt", "les miennes");
    lancer({"--silencieux", "--desinstaller", "--repertoire=Agenda2"}, 0,
           {"Désinstallation terminée : 4 fichier(s) supprimé(s), 4 raccourci(s) retiré(s), 0 échec(s)\n"});
    EXPECT_EQ(QDir(bac.home() + "/Agenda2").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"mes-notes.txt"});
    // Nothing left to remove, and never a drive's root.
    ecrireFichier(bac.home() + "/a-moi.txt", "le mien");
    for (const char* rep : {"--repertoire=Absent", "--repertoire="}) lancer({"--silencieux", "--desinstaller", rep}, 1);
    EXPECT_EQ(lireFichier(bac.home() + "/a-moi.txt"), "le mien");
}

// --aide prints the usage; a wrong option, one without --silencieux or an unknown drive exits 2. A full disk: without
// --forcer, 1 and nothing written; with it, the file that did not fit is named and the run fails.
TEST_F(LigneDeCommande, MauvaisUsageEtDisquePlein)
{
    ecrireFichier(bac.support() + "/Gros.dat", QByteArray(2 << 20, 'g'));
    preparer({{"F5", "Gros.dat"}});
    ASSERT_TRUE(monterTmpfs(bac.home(), 1 << 20));
    EXPECT_TRUE(lancer({"--aide"}, 0).first.startsWith("Usage : setup"));
    for (const QStringList& faux : {QStringList{"--bidon"}, QStringList{"--silencieux", "--lecteur=12"},
                                    QStringList{"--demarrage"}, QStringList{"--silencieux", "--forcer=oui"}}) {
        const auto [sortie, erreurs] = lancer(faux, 2);
        EXPECT_TRUE(sortie.isEmpty() && erreurs.contains("Usage : setup")) << erreurs.toStdString();
    }
    lancer({"--silencieux", "--lecteur=q:"}, 2);
    lancer({"--silencieux"}, 1, {"\nInstallation abandonnée : espace libre insuffisant, rien n'a été copié "
                                 "(--forcer pour installer quand même)\n"});
    EXPECT_TRUE(QDir(bac.home()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    lancer({"--silencieux", "--forcer"}, 1,
           {"échec : c:\\Programmes\\Agenda\\Gros.dat (disque plein)\n", "\nInstallation incomplète : "});
    EXPECT_FALSE(QFile::exists(bac.home() + "/Programmes/Agenda/Gros.dat"));
}

}  // namespace
