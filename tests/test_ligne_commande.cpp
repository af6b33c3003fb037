// The unattended command line, through the built wizard run as a child
// process with no display at all.
#include "tests/outils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct Sortie {
    int code;
    QString texte, erreurs;
};

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

    Sortie lancer(const QStringList& arguments)
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
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
};

// --aide prints the usage; a wrong option, one without --silencieux or an
// unknown drive exits 2, the usage on the error output, nothing installed.
TEST_F(LigneDeCommande, AideEtMauvaisUsage)
{
    preparer();
    const Sortie aide = lancer({"--aide"});
    EXPECT_EQ(aide.code, 0);
    EXPECT_TRUE(aide.texte.startsWith("Usage : setup")) << aide.texte.toStdString();
    for (const QStringList& faux : {QStringList{"--bidon"}, QStringList{"--silencieux", "--lecteur=12"},
                                    QStringList{"--demarrage"}, QStringList{"--silencieux", "--forcer=oui"}}) {
        const Sortie s = lancer(faux);
        EXPECT_EQ(s.code, 2) << faux.join(' ').toStdString();
        EXPECT_TRUE(s.texte.isEmpty() && s.erreurs.contains("Usage : setup")) << s.erreurs.toStdString();
    }
    EXPECT_EQ(lancer({"--silencieux", "--lecteur=q:"}).code, 2);
    EXPECT_TRUE(QDir(bac.home()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// Install with the options, again with a favourite that cannot be written,
// then uninstall: one line per decision, a summary, 0 only when everything
// was done; the user's own files stay.
TEST_F(LigneDeCommande, InstallationPuisDesinstallation)
{
    preparer({{"URLRaccourciWEB", "http://exemple.org"}, {"NomRaccourciWEB", "Site"}});
    const Sortie s = lancer({"--silencieux", "--repertoire=Agenda2", "--demarrage", "--sans-icones"});
    EXPECT_EQ(s.code, 0) << s.texte.toStdString();
    const QStringList lignes = s.texte.split('\n', Qt::SkipEmptyParts);
    for (const char* attendu : {"message « Répertoire inexistant » : Le répertoire c:\\Agenda2 n'existe pas... "
                                "voulez vous le créer ? → Oui",
                                "raccourci créé : c:\\.config\\autostart\\Agenda.lnk"})
        EXPECT_TRUE(lignes.contains(QString::fromUtf8(attendu))) << attendu << "\n" << s.texte.toStdString();
    // The program, also among the files, is copied once.
    EXPECT_EQ(lignes.last(), QString::fromUtf8("Installation terminée : 6 fichier(s) copié(s), 0 gardé(s), "
                                               "1 raccourci(s) créé(s), 0 échec(s)"));

    // The program as new as the medium's is kept; the favourite fails the run.
    const QString inf = bac.support() + "/Install.inf";
    ecrireFichier(inf, lireFichier(inf).replace("RaccourciWEB=non", "RaccourciWEB=oui"));
    QDir().mkpath(bac.home() + "/.local/share/favorites/Site.url");
    const Sortie encore = lancer({"--silencieux", "--repertoire=Agenda2"});
    EXPECT_EQ(encore.code, 1);
    for (const char* attendu : {"gardé : c:\\Agenda2\\agenda (la copie installée est aussi récente)\n",
                                "échec : c:\\.local\\share\\favorites\\Site.url ("})
        EXPECT_TRUE(encore.texte.contains(QString::fromUtf8(attendu))) << attendu << encore.texte.toStdString();

    // With nobody to ask, a file of the user's in the directory stays.
    ecrireFichier(bac.home() + "/Agenda2/mes-notes.txt", "les miennes");
    const Sortie d = lancer({"--silencieux", "--desinstaller", "--repertoire=Agenda2"});
    EXPECT_EQ(d.code, 0) << d.texte.toStdString();
    EXPECT_TRUE(d.texte.endsWith(QString::fromUtf8("Désinstallation terminée : 4 fichier(s) supprimé(s), "
                                                   "4 raccourci(s) retiré(s), 0 échec(s)\n")))
        << d.texte.toStdString();
    EXPECT_EQ(QDir(bac.home() + "/Agenda2").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"mes-notes.txt"});

    // Nothing left to remove, and never a drive's root.
    EXPECT_EQ(lancer({"--silencieux", "--desinstaller", "--repertoire=Absent"}).code, 1);
    ecrireFichier(bac.home() + "/a-moi.txt", "le mien");
    EXPECT_EQ(lancer({"--silencieux", "--desinstaller", "--repertoire="}).code, 1);
    EXPECT_EQ(lireFichier(bac.home() + "/a-moi.txt"), "le mien");
}

// A full disk: without --forcer nothing is written; with it, the file that
// did not fit is named and the run fails.
TEST_F(LigneDeCommande, DisquePlein)
{
    ecrireFichier(bac.support() + "/Gros.dat", QByteArray(2 << 20, 'g'));
    preparer({{"F5", "Gros.dat"}});
    ASSERT_TRUE(monterTmpfs(bac.home(), 1 << 20));
    const Sortie refus = lancer({"--silencieux"});
    EXPECT_EQ(refus.code, 1);
    EXPECT_TRUE(refus.texte.endsWith(QString::fromUtf8("Installation abandonnée : espace libre insuffisant, rien n'a "
                                                       "été copié (--forcer pour installer quand même)\n")))
        << refus.texte.toStdString();
    EXPECT_TRUE(QDir(bac.home()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    const Sortie s = lancer({"--silencieux", "--forcer"});
    EXPECT_EQ(s.code, 1);
    EXPECT_TRUE(s.texte.contains(QString::fromUtf8("échec : c:\\Programmes\\Agenda\\Gros.dat (disque plein)\n")))
        << s.texte.toStdString();
    EXPECT_TRUE(s.texte.split('\n', Qt::SkipEmptyParts).last().startsWith(QString::fromUtf8("Installation incomplète")));
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Programmes/Agenda/Gros.dat"));
}

}  // namespace
