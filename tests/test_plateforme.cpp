// The Linux platform on a real temporary file system with a drive table of its own.
#include "platform/linux_interne.h"
#include "tests/outils.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plateforme;

namespace {

QByteArray hote(const QString& chemin) { return QFile::encodeName(chemin); }

class Plateforme_ : public ::testing::Test {
protected:
    Bac bac;
    PlateformeTest p{bac.racine()};
    // The test's drive table plus e: at `racine`, own folder `propre`.
    Configuration avecE(const QString& racine, const QString& propre = {}, bool amovible = false) const
    {
        Configuration c = PlateformeTest::configurationDans(bac.racine());
        c.lecteurs.push_back({'e', racine, "E", amovible});
        if (!propre.isEmpty()) c.dossierPropre = propre;
        return c;
    }
};

}  // namespace

// Drive notation to the host and back: the exact name, else any case; the longest root. Bad names and unknown
// drives fail before the host; a settings name that names no program touches nothing, even a file it spells.
// Listing finds files, folders and links to them whatever the case; a folder is made only where none is, under
// any case, inside one that exists; lines end at CR LF or a lone CR.
TEST_F(Plateforme_, DriveNotationNamesAndListing)
{
    for (const char* f : {"/Programmes/Agenda/Agenda.exe", "/lisez.txt", "/LISEZ.TXT", "/Été.txt", "/.cache"})
        ecrireFichier(bac.home() + QString::fromUtf8(f), "x");
    ecrireFichier(bac.support() + "/Disque1/Install.inf", "x");
    PlateformeTest q(avecE(bac.home() + "/cle", bac.support() + "/Disque1"));
    for (auto [chemin, attendu] : {
             std::pair{"C:\\PROGRAMMES\\agenda\\AGENDA.EXE", bac.home() + "/Programmes/Agenda/Agenda.exe"},
             {"c:\\programmes\\Nouveau\\Fichier.TXT", bac.home() + "/Programmes/Nouveau/Fichier.TXT"},
             {"c:\\LISEZ.TXT", bac.home() + "/LISEZ.TXT"}, {"c:\\lisez.txt", bac.home() + "/lisez.txt"},
             {"c:\\ÉTÉ.TXT", bac.home() + QString::fromUtf8("/Été.txt")},
             {"\\Disque1\\install.inf", bac.support() + "/Disque1/Install.inf"}, {"d:\\", bac.support()}})
        EXPECT_EQ(q.VersHote(QString::fromUtf8(chemin)), attendu) << chemin;
    for (auto [h, attendu] : {std::pair{bac.home(), "c:\\"}, {bac.home() + "/clef", "c:\\clef"},
                              {bac.home() + "/cle/A/b.txt", "e:\\A\\b.txt"}, {bac.racine() + "/ailleurs", ""}})
        EXPECT_EQ(q.VersLecteur(h), attendu) << h.toStdString();

    ecrireFichier(bac.racine() + "/dehors.txt", "secret");
    for (const QString& chemin : QStringList{"c:\\..\\dehors.txt", "c:\\.\\x", "c:\\...\\x", "c:\\a/b", "q:\\x", "",
                                             QString("c:\\a") + QChar(0) + "b", "dehors.txt", "\\\\serveur\\partage",
                                             "c:\\a\nb", "c:\\a\x1b[2Jb", QString::fromUtf8("c:\\a\u009bb")}) {
        EXPECT_EQ(echec([&] { p.VersHote(chemin); }).numero, ErrNomInvalide) << chemin.toStdString();
        EXPECT_EQ(echec([&] { p.SupprimerFichier(chemin); }).numero, ErrNomInvalide) << chemin.toStdString();
    }
    EXPECT_TRUE(QFile::exists(bac.racine() + "/dehors.txt"));

    // Qt reads the settings' location once per process, on the first QSettings.
    const QString dossier = p.configuration().xdgConfigHome;
    qputenv("XDG_CONFIG_HOME", hote(dossier));
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Agenda").setValue("Fenetre/Largeur", 640);
    const QStringList voisins = {dossier + "/.ini", dossier + "/..ini", bac.home() + "/victime.ini"};
    for (const QString& v : voisins) ecrireFichier(v, "x");
    for (const QString& nom : QStringList{QString(), ".", "..", "../../victime", QString("Agenda") + QChar(0) + "x"})
        EXPECT_NE(echec([&] { p.EffacerReglages(nom); }).numero, 0) << nom.toStdString();
    for (const QString& v : voisins + QStringList{dossier + "/Agenda.ini"})
        EXPECT_TRUE(QFileInfo::exists(v)) << v.toStdString();
    p.EffacerReglages("Agenda");
    EXPECT_FALSE(QFileInfo::exists(dossier + "/Agenda.ini"));
    EXPECT_EQ(echec([&] { p.EffacerReglages("Agenda"); }).numero, ErrIntrouvable);

    ASSERT_EQ(::mkfifo(hote(bac.home() + "/tube"), 0644), 0);
    ASSERT_TRUE(QFile::link(bac.home() + "/lisez.txt", bac.home() + "/Lien.txt"));
    ASSERT_TRUE(QFile::link(bac.home() + "/absent", bac.home() + "/Casse.txt"));
    struct Cas { const char* chemin; bool repertoires; const char* attendu; };
    for (const Cas& c : {Cas{"c:\\programmes\\agenda\\agenda.EXE", false, "Agenda.exe"},
                         Cas{"c:\\lien.txt", false, "Lien.txt"}, Cas{"c:\\.cache", false, ""},
                         Cas{"c:\\tube", true, ""}, Cas{"c:\\Casse.txt", false, ""},
                         Cas{"c:\\programmes", false, ""}, Cas{"c:\\programmes", true, "Programmes"}})
        EXPECT_EQ(p.Lister(c.chemin, c.repertoires), c.attendu) << c.chemin << " " << c.repertoires;
    EXPECT_EQ(echec([&] { p.CreerRepertoire("c:\\a\\b"); }).numero, ErrChemin);
    EXPECT_EQ(echec([&] { p.CreerRepertoire("c:\\PROGRAMMES"); }).numero, ErrAcces);
    ecrireFichier(bac.home() + "/t.inf", "un\r\ndeux\rtrois\nsuite\r\n\r\nfin");
    EXPECT_EQ(p.LireLignes("c:\\T.INF"), QStringList({"un", "deux", "trois\nsuite", "", "fin"}));
    EXPECT_EQ(echec([&] { p.LireOctets("c:\\tube"); }).systeme, PasUnFichierOrdinaire);  // never waits for a writer
}

// Special folders by CSIDL number: the shortcut files' folders below the wizard's data folder, the user's made on
// demand, all users' where the system's data folder can be written; 25 and unknown numbers answer "" and make
// nothing. A folder that cannot be made answers "" and says why. The desktop that gets the entries comes from
// xdg-user-dirs, under $HOME or absolute; a relative path gets the default.
TEST_F(Plateforme_, SpecialFoldersByNumber)
{
    const QString h = bac.home();
    for (int n : {1, 3, 5, 9, 25, 26, 35, -1, 1000}) EXPECT_EQ(p.DossierSpecial(n), "") << n;
    EXPECT_FALSE(QFileInfo::exists(h + "/.local"));
    QDir().mkpath(bac.racine() + "/sys/usr/local/share");  // as on every system
    const QString w = "c:\\.local\\share\\assistant-installation\\liens\\";
    const QString tous = "z:\\usr\\local\\share\\assistant-installation\\liens\\";
    for (const auto& [csidl, lecteur] :
         {std::pair{0, w + "Bureau"}, {16, w + "Bureau"}, {2, w + "Programmes"}, {6, w + "Favoris"},
          {7, w + "Demarrage"}, {8, "c:\\.local\\share\\recent-links"}, {23, tous + "Programmes"},
          {24, tous + "Demarrage"}, {31, tous + "Favoris"}}) {
        EXPECT_EQ(p.DossierSpecial(csidl), lecteur) << csidl;
        EXPECT_TRUE(QFileInfo(p.VersHote(lecteur)).isDir()) << csidl;
    }

    // Why not: a file in the way, no inode left, a read-only disk, no system's data folder, an account that may not
    // write it (though an administrator made our folder there).
    ASSERT_TRUE(QDir().rmdir(h + "/.local/share/assistant-installation/liens/Favoris"));
    ecrireFichier(h + "/.local/share/assistant-installation/liens/Favoris", "x");
    const QString sans = bac.racine() + "/sansinodes", lecture = bac.racine() + "/lecture";
    ASSERT_TRUE(monterTmpfs(sans, 1 << 20, false, 1));
    ASSERT_TRUE(monterTmpfs(lecture, 1 << 20, true));
    for (const QString& x : {bac.racine(), bac.racine() + "/sys", bac.racine() + "/sys/usr",
                             bac.racine() + "/sys/usr/local"})
        ASSERT_EQ(::chmod(hote(x), 0755), 0);
    for (const auto& [donnees, csidl, numero, systeme] :
         {std::tuple{QString(), 6, ErrChemin, ENOTDIR}, {sans, 2, ErrDisquePlein, ENOSPC},
          {lecture, 7, ErrPermission, EROFS}, {bac.racine() + "/absent", 23, ErrChemin, ENOENT}}) {
        Configuration c = PlateformeTest::configurationDans(bac.racine());
        (csidl == 23 ? c.xdgDataDir : c.xdgDataHome) = donnees.isEmpty() ? c.xdgDataHome : donnees;
        Erreur e{};
        EXPECT_EQ(PlateformeTest(c).DossierSpecial(csidl, &e), "") << csidl;
        EXPECT_TRUE(e.numero == numero && e.systeme == systeme) << csidl << " " << e.numero << " " << e.systeme;
    }
    EXPECT_EQ(dansUnEnfant([&] {
                  if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
                  Erreur e{};
                  const bool vide = p.DossierSpecial(31, &e).isEmpty();
                  return vide && e.numero == ErrPermission && e.systeme == EACCES ? 0 : 3;
              }),
              0);

    const std::pair<QString, QString> cas[] = {
        {QString::fromUtf8("XDG_VIDEOS_DIR=\"$HOME/Vidéos\"\nXDG_DESKTOP_DIR=\"$HOME/Bureau\""), h + "/Bureau"},
        {"XDG_DESKTOP_DIR=\"" + h + QString::fromUtf8("/Mon Bureau été/\""), h + QString::fromUtf8("/Mon Bureau été")},
        {"XDG_DESKTOP_DIR=\"$HOME/\"", h}, {"XDG_DESKTOP_DIR=\"Bureau\"", h + "/Desktop"}};
    for (const auto& [ligne, attendu] : cas) {
        ecrireFichier(h + "/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n" + ligne.toUtf8() + "\n");
        EXPECT_EQ(interne::dossierBureau(p.configuration()), attendu) << ligne.toStdString();
    }
}

// Drives from the mounts. The home is HOME, or the user database's when HOME is unset or relative; none for a
// HOME that names no folder or an unknown user. The installer's folder is the one a medium's launcher names when it
// exists, else the program's; the launcher's variable is not left to the programs the wizard starts.
TEST(Lecteurs, MountsEnvironmentAndHome)
{
    const QByteArray montages = "/dev/vda / ext4 rw 0 0\n/dev/sdc1 /run/media/alice/Z\\040Cle vfat rw 0 0\n"
                                "/dev/sdb1 /media/alice/AGENDA vfat ro 0 0\n/dev/sdd1 /media/bob/AUTRE vfat rw 0 0\n"
                                "/dev/sde1 /mnt/usb ext4 rw 0 0\n/dev/sdb1 /media/alice/AGENDA vfat ro 0 0\n"
                                "tmpfs /media/alice tmpfs rw 0 0\n/dev/vdb /home ext4 rw 0 0\n";
    QStringList l;
    for (const Lecteur& x : interne::lecteursDepuisMontages(montages, "alice", "/home/alice/"))
        l << QString(x.lettre) + " " + x.racine + " " + x.libelle + (x.amovible ? " amovible" : "");
    EXPECT_EQ(l, QStringList({"c /home/alice /home/alice", "d /media/alice/AGENDA AGENDA amovible",
                              "e /mnt/usb usb amovible", "f /run/media/alice/Z Cle Z Cle amovible", "z / /"}));

    const QString base = QString::fromUtf8(::getpwuid(::getuid())->pw_dir);
    const QString programme = QCoreApplication::applicationDirPath();
    struct Cas { const char* home; bool inconnu, aucun; const char* racine; QString propre; };
    for (const Cas& k : {Cas{nullptr, false, false, nullptr, programme}, Cas{"relatif", false, false, ".", programme},
                         Cas{"/absent/partout", false, true, "/absent/partout", programme},
                         Cas{nullptr, true, true, "/tmp//", "/tmp"}})
        EXPECT_EQ(dansUnEnfant([&] {
                      k.home ? ::setenv("HOME", k.home, 1) : ::unsetenv("HOME");
                      k.racine ? ::setenv("ASSISTANT_RACINE", k.racine, 1) : ::unsetenv("ASSISTANT_RACINE");
                      ::setenv("XDG_CONFIG_DIRS", "relatif:/etc/premier/:/etc/second", 1);
                      ::setenv("XDG_DATA_HOME", "relatif", 1);  // relative XDG folders are passed over
                      if (k.inconnu && (::setgid(54321) != 0 || ::setuid(54321) != 0)) return 2;
                      const Configuration c = Configuration::depuisEnvironnement();
                      if (c.xdgConfigDir != "/etc/premier" || c.xdgDataHome != c.home + "/.local/share") return 3;
                      if (c.dossierPropre != k.propre || qEnvironmentVariableIsSet("ASSISTANT_RACINE")) return 4;
                      return (k.aucun ? c.home.isEmpty() : c.home == base && c.lecteurs.front().racine == base) ? 0 : 1;
                  }),
                  0)
            << (k.home ? k.home : "unset") << k.inconnu;
    EXPECT_FALSE(QFileInfo::exists("/absent"));
}

// The copy of the wizard that an install keeps is counted on the drive of the data folder it goes to, not on another.
TEST(Lecteurs, CopieConserveeCompteeSurSonLecteur)
{
    Bac bac;
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    c.executable = SETUP_EXE;
    ASSERT_TRUE(monterTmpfs(bac.support(), 1 << 20));
    PlateformeTest p(c);
    EXPECT_EQ(p.OctetsAssistantAConserver("c:", false), QFileInfo(SETUP_EXE).size());
    EXPECT_EQ(p.OctetsAssistantAConserver("d:", false), 0);
}

// Writes are whole or nothing: on a full disk an old file stays as it was, a new one does not appear, no hidden
// file is left; with room, rights are kept. A read-only file is not rewritten, even by root.
TEST_F(Plateforme_, WritesWholeOrNotAtAll)
{
    const QString d = bac.home() + "/plein";
    ASSERT_TRUE(monterTmpfs(d, 64 << 10));
    ecrireFichier(d + "/ancien.lnk", "ancien");
    ASSERT_EQ(::chmod(hote(d + "/ancien.lnk"), 0640), 0);
    const auto droits = QFile::permissions(d + "/ancien.lnk");
    ecrireFichier(d + "/remplissage", QByteArray(128 << 10, 'r'));
    const QByteArray gros(16 << 10, 'n');
    EXPECT_EQ(echec([&] { p.EcrireOctets("c:\\plein\\ancien.lnk", 0, gros, true); }).numero, ErrDisquePlein);
    EXPECT_EQ(echec([&] { p.EcrireLignes("c:\\plein\\neuf.url", {QString(gros)}); }).numero, ErrDisquePlein);
    EXPECT_EQ(QDir(d).entryList(QDir::Files | QDir::Hidden), QStringList({"ancien.lnk", "remplissage"}));
    EXPECT_EQ(lireFichier(d + "/ancien.lnk"), "ancien");
    QFile::remove(d + "/remplissage");
    p.EcrireOctets("c:\\plein\\ancien.lnk", 0, gros, true);
    EXPECT_EQ(lireFichier(d + "/ancien.lnk"), gros);
    EXPECT_EQ(QFile::permissions(d + "/ancien.lnk"), droits);
    ASSERT_EQ(::chmod(hote(d + "/ancien.lnk"), 0444), 0);
    EXPECT_EQ(echec([&] { p.EcrireLignes("c:\\plein\\ancien.lnk", {"x"}); }).numero, ErrPermission);
    EXPECT_EQ(lireFichier(d + "/ancien.lnk"), gros);

    // A medium pulled out (lazily unmounted) mid-copy onto it does not answer.
    const QString cle = bac.racine() + "/media/CLE";
    ASSERT_TRUE(monterTmpfs(cle, 8 << 20));
    ecrireFichier(bac.support() + "/gros.dat", QByteArray(5 << 20, 'g'));
    PlateformeTest q(avecE(cle, {}, true));
    bool parti = false;
    const auto retirer = [&] { parti = parti || ::umount2(hote(cle).constData(), MNT_DETACH) == 0; };
    EXPECT_EQ(echec([&] { q.CopierFichier("d:\\gros.dat", "e:\\gros.dat", retirer); }).numero, ErrDelai);
    EXPECT_TRUE(parti);
    EXPECT_TRUE(QDir(cle).isEmpty());

    // A folder an ordinary user may not write refuses the copy, leaving nothing.
    ecrireFichier(bac.support() + "/a.dat", "a");
    const QString ferme = bac.home() + "/ferme";
    QDir().mkpath(ferme);
    for (const QString& x : {bac.racine(), bac.home()}) ASSERT_EQ(::chmod(hote(x), 0755), 0);
    ASSERT_EQ(::chmod(hote(ferme), 0555), 0);
    EXPECT_EQ(dansUnEnfant([&] {
                  if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
                  const Erreur e = echec([&] { p.CopierFichier("d:\\a.dat", "c:\\ferme\\a.dat"); });
                  return e.numero == ErrPermission && e.systeme == EACCES ? 0 : 3;
              }),
              0);
    EXPECT_TRUE(QDir(ferme).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// Each box: its style, the button clicked ("" for Escape), what it showed and answered.
// The final page's launch: a script without "#!" runs through sh, detached, in its own folder, found in any case.
TEST_F(Plateforme_, MessageBoxesAndLaunch)
{
    struct Cas { int style; QString clic, boutons, defaut; QMessageBox::Icon icone; int reponse; };
    for (const Cas& c : {Cas{vbInformation, "OK", "OK", "OK", QMessageBox::Information, vbOK},
                         Cas{vbYesNoCancel + vbQuestion + vbDefaultButton2, "", "&Non &Oui Annuler", "&Non",
                             QMessageBox::Question, vbCancel},
                         Cas{vbYesNo + vbExclamation, "&Non", "&Non &Oui", "&Oui", QMessageBox::Warning, vbNo},
                         Cas{vbYesNo + vbCritical, "&Oui", "&Non &Oui", "&Oui", QMessageBox::Critical, vbYes}}) {
        QStringList vu;
        QTimer minuterie;
        QObject::connect(&minuterie, &QTimer::timeout, [&] {
            auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!b) return;
            minuterie.stop();
            QStringList boutons;
            for (QAbstractButton* x : b->buttons()) boutons << x->text();
            boutons.sort();
            vu = {b->text(), boutons.join(' '), b->defaultButton()->text(), QString::number(b->icon())};
            for (QAbstractButton* x : b->buttons())
                if (x->text() == c.clic) x->click();
            if (c.clic.isEmpty()) QTest::keyClick(b, Qt::Key_Escape);
            if (b->isVisible()) b->done(-1);  // no such button: end the box rather than hang
        });
        minuterie.start(5);
        EXPECT_EQ(p.Plateforme::MsgBox("un\r\ndeux", c.style, "T"), c.reponse) << c.style;
        EXPECT_EQ(vu, QStringList({"un\ndeux", c.boutons, c.defaut, QString::number(c.icone)})) << c.style;
    }

    const QString prog = bac.home() + "/Programmes/Agenda/agenda";
    ecrireFichier(prog, "pwd > \"$HOME_TEST/trace\"\n");
    ASSERT_EQ(::chmod(hote(prog), 0755), 0);
    qputenv("HOME_TEST", hote(bac.home()));
    EXPECT_TRUE(p.Plateforme::Demarrer("c:\\programmes\\agenda\\AGENDA"));
    for (int i = 0; i < 1000 && lireFichier(bac.home() + "/trace").isEmpty(); ++i) QTest::qWait(10);
    EXPECT_EQ(lireFichier(bac.home() + "/trace").trimmed(), hote(bac.home() + "/Programmes/Agenda"));
    EXPECT_EQ(echec([&] { p.Plateforme::Demarrer("c:\\programmes\\agenda"); }).numero, ErrIntrouvable);
}
