// The unattended command line: the built wizard run as a child process with no display at all.
#include "tests/outils.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

struct LigneDeCommande : ::testing::Test {
    Bac bac;
    // The wizard beside the medium, as a publisher ships it.
    void preparer(const QMap<QString, QString>& cles = {})
    {
        QDir().mkpath(bac.home());
        preparerSupport(bac.support(), cles);
        ASSERT_TRUE(copierSetup(bac.support()));
    }

    // Runs it, expecting exit `code` and each of `attendus` in its output; gives its output and error output.
    std::pair<QString, QString> lancer(const QStringList& arguments, int code, const QStringList& attendus = {},
                                       const QString& setup = {})
    {
        QProcess p;
        p.setProcessEnvironment(environnementSansEcran(bac));
        p.start(setup.isEmpty() ? bac.support() + "/setup" : setup, arguments);
        EXPECT_TRUE(p.waitForFinished(60000));
        const QString sortie = QString::fromUtf8(p.readAllStandardOutput());
        const std::string trace = arguments.join(' ').toStdString() + "\n" + sortie.toStdString();
        EXPECT_EQ(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, code) << trace;
        for (const QString& a : attendus) EXPECT_TRUE(sortie.contains(a)) << a.toStdString() << " in " << trace;
        return {sortie, QString::fromUtf8(p.readAllStandardError())};
    }
};

// Install (the program, also among the files, copied once; backslashes before the directory name the same one),
// again, then uninstall: 0 only when all was done.
TEST_F(LigneDeCommande, InstallationPuisDesinstallation)
{
    preparer({{"URLRaccourciWEB", "http://exemple.org"}, {"NomRaccourciWEB", "Site"}});
    lancer({"--silencieux", "--repertoire=\\\\Agenda2", "--demarrage", "--sans-icones"}, 0,
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
    // No directory below the drive names nothing to remove: refused before anything goes, shortcuts included.
    const auto installe = arbre(bac.home());
    lancer({"--silencieux", "--desinstaller", "--repertoire=\\"}, 1,
           {"Désinstallation abandonnée : --repertoire ne nomme aucun répertoire sous la racine du lecteur, rien n'a "
            "été retiré\n"});
    EXPECT_EQ(arbre(bac.home()), installe);
    // With nobody to ask, a file of the user's in the directory stays, and so do those whose names differ from the
    // medium's in letter case only: each is named.
    for (const char* nom : {"/mes-notes.txt", "/MODELES.DAT", "/agenda.html"})
        ecrireFichier(bac.home() + "/Agenda2" + nom, "les miennes");
    lancer({"--silencieux", "--desinstaller", "--repertoire=Agenda2"}, 0,
           {"gardé : c:\\Agenda2\\MODELES.DAT (pas installé par ce programme)\n",
            "gardé : c:\\Agenda2\\agenda.html (pas installé par ce programme)\n",
            "Désinstallation terminée : 4 fichier(s) supprimé(s), 4 raccourci(s) retiré(s), 0 échec(s)\n"});
    EXPECT_EQ(QDir(bac.home() + "/Agenda2").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"agenda.html", "mes-notes.txt", "MODELES.DAT"}));
    // Nothing left to remove, and never a drive's root.
    ecrireFichier(bac.home() + "/a-moi.txt", "le mien");
    for (const char* rep : {"--repertoire=Absent", "--repertoire="}) lancer({"--silencieux", "--desinstaller", rep}, 1);
    EXPECT_EQ(lireFichier(bac.home() + "/a-moi.txt"), "le mien");

    // An install that left no record (an earlier wizard's): the medium's names decide, letter for letter.
    lancer({"--silencieux", "--repertoire=Agenda3"}, 1);
    ASSERT_TRUE(QDir(bac.home() + "/.local/share/assistant-installation/installations").removeRecursively());
    ecrireFichier(bac.home() + "/Agenda3/MODELES.DAT", "les miennes");
    lancer({"--silencieux", "--desinstaller", "--repertoire=Agenda3"}, 0,
           {"gardé : c:\\Agenda3\\MODELES.DAT (pas installé par ce programme)\n"});
    EXPECT_EQ(QDir(bac.home() + "/Agenda3").entryList(QDir::Files), QStringList({"MODELES.DAT"}));
}

// A hostile medium: names with control characters, a pipe under a file's name, a directory written with a leading
// backslash. Each output line stays one line, the names shown escaped; the pipe is refused at once and named. Then the
// install directory replaced by a link to the home: the uninstall deletes none of the user's files and says why, the
// install refuses it before writing anything.
TEST_F(LigneDeCommande, SupportHostileEtRepertoireLie)
{
    preparer({{"RépertoireInstallDéfaut", "\\Programmes\\Agenda"}, {"NomProgramme", "Agenda\x1b]0;pris\x07"},
              {"F5", QString("a\nInstallation terminée : 0 échec(s)")}});
    QFile::remove(bac.support() + "/Modeles.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(bac.support() + "/Modeles.dat").constData(), 0644), 0);
    const auto [sortie, erreurs] =
        lancer({"--silencieux"}, 1, {"ignoré : a\\nInstallation terminée : 0 échec(s) (nom de fichier non valide)\n",
                                     "échec : c:\\Programmes\\Agenda\\Modeles.dat (pas un fichier ordinaire)\n",
                                     "\\Agenda\\x1b]0;pris\\x07.lnk (nom de fichier non valide)\n",
                                     "\nInstallation incomplète : "});
    for (const QString& l : sortie.split('\n'))
        EXPECT_FALSE(plateforme::AUnControle(l)) << l.toStdString();
    EXPECT_FALSE(sortie.contains("\nInstallation terminée"));
    EXPECT_EQ(lireFichier(bac.home() + "/Programmes/Agenda/Agenda.html"), lireFichier(bac.support() + "/Agenda.html"));

    // Through a link to the home: its files stay, each run exits 1 saying why.
    for (const char* nom : {"/Agenda.html", "/agenda"}) ecrireFichier(bac.home() + nom, "a moi");
    QDir(bac.home() + "/Programmes/Agenda").removeRecursively();
    ASSERT_TRUE(QFile::link(bac.home(), bac.home() + "/Programmes/Agenda"));
    const QString quoi = "ce répertoire est le dossier personnel de l'utilisateur (c:\\)";
    lancer({"--silencieux", "--desinstaller"}, 1,
           {"Aucun fichier ne sera supprimé de c:\\Programmes\\Agenda : " + quoi + ". → OK\n",
            "\nDésinstallation incomplète : 0 fichier(s) supprimé(s)"});
    const auto avant = arbre(bac.home());
    lancer({"--silencieux"}, 1, {"Le programme ne peut pas être installé dans c:\\Programmes\\Agenda : " + quoi});
    EXPECT_EQ(arbre(bac.home()), avant);
    for (const char* nom : {"/Agenda.html", "/agenda"}) EXPECT_EQ(lireFichier(bac.home() + nom), "a moi") << nom;
}

// A program's life, with the record the install keeps. Version 1 goes into a directory of the user's choosing; the
// user adds a file and changes one of the program's. Version 2 (a file dropped, one added) goes there by itself, says
// so, and removes only the dropped file it finds unchanged. Then, the medium gone, the copy the install kept
// uninstalls: the home is as before the first install but for the user's files and the shared system files.
TEST_F(LigneDeCommande, MiseAJourPuisDesinstallationSansLeSupport)
{
    preparer({{"Version", "1.0"}, {"F5", "ancien.dat"}, {"F6", "change.dat"}});
    for (const char* f : {"/ancien.dat", "/change.dat"}) ecrireFichier(bac.support() + f, "v1");
    const auto avant = arbre(bac.home());
    lancer({"--silencieux", "--repertoire=Agenda1"}, 0);
    const QString rep = bac.home() + "/Agenda1";
    ecrireFichier(rep + "/notes.txt", "les miennes");
    ecrireFichier(rep + "/change.dat", "changé");

    preparer({{"Version", "2.0"}, {"F5", "nouveau.dat"}});
    for (const char* f : {"/nouveau.dat", "/change.dat"}) ecrireFichier(bac.support() + f, "v2");
    lancer({"--silencieux"}, 0, {"Mise à jour de Agenda 1.0 vers 2.0\n", "copié : c:\\Agenda1\\nouveau.dat\n",
                                 "supprimé : c:\\Agenda1\\ancien.dat (plus installé par cette version)\n",
                                 "gardé : c:\\Agenda1\\change.dat (modifié depuis l'installation)\n"});
    EXPECT_TRUE(lancer({"--installes"}, 0).first.startsWith("Agenda\t2.0\tc:\\Agenda1\t20"));

    QDir(bac.support()).removeRecursively();
    ecrireFichier(rep + "/nouveau.dat", "à moi maintenant");
    // The kept copy, as its menu entry starts it.
    const QStringList gardes = QDir(bac.home() + "/.local/share/assistant-installation/installations")
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(gardes.size(), 1);
    const QString garde = bac.home() + "/.local/share/assistant-installation/installations/" + gardes[0] + "/setup";
    lancer({"--silencieux", "--desinstaller"}, 0,
           {"gardé : c:\\Agenda1\\notes.txt (pas installé par ce programme)\n",
            "gardé : c:\\Agenda1\\nouveau.dat (modifié depuis l'installation)\n"},
           garde);
    auto apres = arbre(bac.home());
    for (const char* reste : {"/Agenda1", "/Agenda1/notes.txt", "/Agenda1/change.dat", "/Agenda1/nouveau.dat", "/.local", "/.local/lib",
                              "/.local/lib/Outils.dll", "/.local/lib32", "/.local/lib32/Outils.dll"})
        EXPECT_EQ(apres.take(reste).isEmpty(), false) << reste;
    EXPECT_EQ(apres, avant);
    EXPECT_TRUE(lancer({"--installes"}, 0, {}, SETUP_EXE).first.isEmpty());
}

// Two programs into one directory: the second is no upgrade of the first and removes nothing of it; each is listed,
// and uninstalling one leaves the other's files and record.
TEST_F(LigneDeCommande, DeuxProgrammesDansUnRepertoire)
{
    preparer();
    lancer({"--silencieux", "--repertoire=Commun"}, 0);
    const QString rep = bac.home() + "/Commun";
    preparer({{"NomProgramme", "Meteo"}, {"NomGroupeDéfaut", "Meteo"}, {"Programme", "meteo"}, {"NomAide", "Meteo.html"},
              {"F1", "meteo"}, {"F2", "Meteo.html"}, {"F3", "meteo.dat"}, {"F4", "meteo.png"}});
    QFile::copy(bac.support() + "/agenda", bac.support() + "/meteo");
    QFile(bac.support() + "/meteo").setPermissions(QFile(bac.support() + "/agenda").permissions());
    for (const char* f : {"/Meteo.html", "/meteo.dat", "/meteo.png"}) ecrireFichier(bac.support() + f, "m");
    const QString sortie = lancer({"--silencieux", "--repertoire=Commun"}, 0).first;
    EXPECT_FALSE(sortie.contains("supprimé") || sortie.contains("Mise à jour")) << sortie.toStdString();
    for (const char* f : {"/agenda", "/Agenda.html", "/Modeles.dat", "/meteo", "/Meteo.html"})
        EXPECT_TRUE(QFile::exists(rep + f)) << f;
    const QString installes = lancer({"--installes"}, 0).first;
    EXPECT_TRUE(installes.contains("Agenda\t") && installes.contains("Meteo\t")) << installes.toStdString();

    lancer({"--silencieux", "--desinstaller", "--repertoire=Commun"}, 0, {"supprimé : c:\\Commun\\meteo\n"});
    for (const char* f : {"/agenda", "/Agenda.html", "/Modeles.dat"}) EXPECT_TRUE(QFile::exists(rep + f)) << f;
    EXPECT_FALSE(QFile::exists(rep + "/meteo"));
    EXPECT_TRUE(lancer({"--installes"}, 0).first.startsWith("Agenda\t"));
}

// A program with a tree: a name with folders, a whole folder with a library's link, and the whole medium; a link
// leading out and a pipe in the folder are refused and named, the rest installed with its rights. An upgrade that
// drops a file of the folder removes it and its emptied folder; the uninstall leaves the home as it was.
TEST_F(LigneDeCommande, ArborescencesInstalleesEtRetirees)
{
    preparer({{"F5", "share\\meteo\\villes.txt"}, {"F6", "lib\\*"}, {"F7", "*"}});
    const QString lib = bac.support() + "/lib";
    ecrireFichier(bac.support() + "/share/meteo/villes.txt", "Paris");
    ecrireFichier(lib + "/libx.so.1.2", "\x7f" "ELF");
    ecrireFichier(lib + "/greffons/vieux/a.so", "a");
    QFile(lib + "/libx.so.1.2").setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(QFile::link("libx.so.1.2", lib + "/libx.so.1"));
    ASSERT_TRUE(QFile::link("../../secret", lib + "/dehors"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(lib + "/tube").constData(), 0644), 0);
    ecrireFichier(bac.racine() + "/secret", "à moi");
    // Rights go through the user's umask, as cp gives them: a file of the medium that anyone may write is not
    // installed so.
    ASSERT_EQ(::chmod(QFile::encodeName(bac.support() + "/share/meteo/villes.txt").constData(), 0666), 0);
    const auto avant = arbre(bac.home());
    const QString rep = bac.home() + "/Programmes/Agenda";
    const mode_t masque = ::umask(027);
    lancer({"--silencieux"}, 1, {"échec : c:\\Programmes\\Agenda\\lib\\dehors (lien qui sort du dossier)\n",
                                 "échec : c:\\Programmes\\Agenda\\lib\\tube (pas un fichier ordinaire)\n",
                                 "copié : c:\\Programmes\\Agenda\\lib\\greffons\\vieux\\a.so\n",
                                 "copié : c:\\Programmes\\Agenda\\share\\meteo\\villes.txt\n"});
    ::umask(masque);
    for (const auto& [nom, droits] : {std::pair{"/share/meteo/villes.txt", 0640}, {"/agenda", 0750}}) {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(rep + nom).constData(), &st) == 0 ? st.st_mode & 07777 : 0, droits) << nom;
    }
    EXPECT_EQ(QFileInfo(rep + "/lib/libx.so.1").symLinkTarget(), rep + "/lib/libx.so.1.2");
    EXPECT_TRUE(QFileInfo(rep + "/lib/libx.so.1.2").isExecutable());
    for (const char* absent : {"/setup", "/Install.inf", "/lib/dehors", "/lib/tube"})
        EXPECT_FALSE(QFileInfo(rep + absent).exists() || QFileInfo(rep + absent).isSymLink()) << absent;

    QFile::remove(lib + "/dehors");
    QFile::remove(lib + "/tube");
    QFile::remove(lib + "/greffons/vieux/a.so");
    lancer({"--silencieux"}, 0, {"supprimé : c:\\Programmes\\Agenda\\lib\\greffons\\vieux\\a.so (plus installé "
                                 "par cette version)\n"});
    EXPECT_FALSE(QFileInfo::exists(rep + "/lib/greffons"));
    lancer({"--silencieux", "--desinstaller"}, 0, {"supprimé : c:\\Programmes\\Agenda\\lib\\libx.so.1\n"});
    auto apres = arbre(bac.home());
    for (const char* reste : {"/.local", "/.local/lib", "/.local/lib/Outils.dll", "/.local/lib32",
                              "/.local/lib32/Outils.dll"})
        apres.remove(reste);
    EXPECT_EQ(apres, avant);
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
    const QString sortie = lancer({"--silencieux", "--forcer"}, 1,
           {"échec : c:\\Programmes\\Agenda\\Gros.dat (disque plein)\n",
            "échec : copie de l'assistant pour la désinstallation (disque plein)\n", "\nInstallation incomplète : ",
            " créé(s), 3 échec(s)\n"}).first;  // the program, also a file of the list, fails once
    EXPECT_EQ(sortie.count("échec : c:\\Programmes\\Agenda\\agenda (disque plein)"), 1);
    EXPECT_FALSE(QFile::exists(bac.home() + "/Programmes/Agenda/Gros.dat"));
}

// The copy of the wizard that the install keeps for the uninstall is counted where it goes on the same drive: a drive
// that the files fit and that copy not is told before anything is written. A drive whose free space equals, to the
// Mo, what is needed is enough.
TEST_F(LigneDeCommande, EspaceLibreAvecLaCopieConservee)
{
    preparer({{"EspaceRequis", "1Mo"}});
    qint64 fichiers = 0;
    for (const QFileInfo& f : QDir(bac.support()).entryInfoList(QDir::Files))
        if (f.fileName() != "setup") fichiers += f.size();
    ASSERT_GT(QFileInfo(SETUP_EXE).size(), 2 << 20);
    ASSERT_TRUE(monterTmpfs(bac.home(), (fichiers / (1 << 20) + 2) << 20));
    lancer({"--silencieux"}, 1, {"Installation abandonnée : espace libre insuffisant"});
    EXPECT_TRUE(QDir(bac.home()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    preparer({{"EspaceRequis", "64Mo"}});
    ASSERT_TRUE(monterTmpfs(bac.home(), 64 << 20));
    const QString sortie = lancer({"--silencieux"}, 0, {"copié : c:\\Programmes\\Agenda\\agenda\n"}).first;
    EXPECT_FALSE(sortie.contains("espace libre insuffisant")) << sortie.toStdString();

    // Kept already, the copy takes no more room: another install fits where only its files do.
    struct statvfs v {};
    ASSERT_EQ(::statvfs(QFile::encodeName(bac.home()).constData(), &v), 0);
    const qint64 lest = qint64(v.f_bavail) * qint64(v.f_frsize) - fichiers - (2 << 20);
    ASSERT_LT(fichiers + (2 << 20), QFileInfo(SETUP_EXE).size());
    ecrireFichier(bac.home() + "/lest", QByteArray(lest, 'l'));
    preparer({{"EspaceRequis", "1Mo"}});
    lancer({"--silencieux", "--repertoire=Agenda2"}, 0);
}

}  // namespace
