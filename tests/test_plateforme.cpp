// The Linux platform on a real temporary file system with a drive table of
// the test's own.
#include "platform/linux_interne.h"
#include "tests/outils.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plateforme;

namespace {

// The failure number an operation throws, 0 when it succeeds.
template <class F>
int numero(F&& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        return e.numero;
    }
    return 0;
}

void fifo(const QString& chemin) { ASSERT_EQ(::mkfifo(QFile::encodeName(chemin).constData(), 0644), 0); }

void lien(const QString& cible, const QString& chemin)
{
    ASSERT_EQ(::symlink(QFile::encodeName(cible).constData(), QFile::encodeName(chemin).constData()), 0);
}

class Plateforme_ : public ::testing::Test {
protected:
    Bac bac;
    PlateformeTest p{bac.racine()};
    QString home() const { return bac.home(); }
};

}  // namespace

// ---- Paths -------------------------------------------------------------------

TEST_F(Plateforme_, NamesResolveWithoutRegardToCaseAndNewNamesKeepTheirs)
{
    ecrireFichier(home() + "/Programmes/Agenda/Agenda.exe", "x");
    EXPECT_EQ(p.VersHote("C:\\PROGRAMMES\\agenda\\AGENDA.EXE"), home() + "/Programmes/Agenda/Agenda.exe");
    EXPECT_EQ(p.VersHote("c:\\programmes\\Nouveau\\Fichier.TXT"), home() + "/Programmes/Nouveau/Fichier.TXT");
    EXPECT_EQ(p.Lister("c:\\programmes\\AGENDA\\agenda.exe", false), "Agenda.exe");

    // The exact name wins over one equal in capitals.
    ecrireFichier(home() + "/lisez.txt", "a");
    ecrireFichier(home() + "/LISEZ.TXT", "b");
    EXPECT_EQ(p.VersHote("c:\\LISEZ.TXT"), home() + "/LISEZ.TXT");
    EXPECT_EQ(p.VersHote("c:\\lisez.txt"), home() + "/lisez.txt");

    // Accented names compare in capitals too.
    ecrireFichier(home() + QString::fromUtf8("/Été.txt"), "c");
    EXPECT_EQ(p.Lister(QString::fromUtf8("c:\\ÉTÉ.TXT"), false), QString::fromUtf8("Été.txt"));
}

TEST_F(Plateforme_, DoubledSeparatorsAndTheInstallersDrive)
{
    ecrireFichier(bac.support() + "/Install.inf", "x");
    EXPECT_EQ(p.VersHote("d:\\\\Install.inf"), bac.support() + "/Install.inf");
    EXPECT_EQ(p.VersHote("\\install.inf"), bac.support() + "/Install.inf");
    EXPECT_EQ(p.VersHote("D:"), bac.support());
    EXPECT_EQ(p.VersHote("d:\\"), bac.support());
}

TEST_F(Plateforme_, BadNamesAndUnknownDrivesNeverReachTheHost)
{
    ecrireFichier(bac.racine() + "/dehors.txt", "secret");
    for (const QString& chemin : {QString("c:\\..\\dehors.txt"), QString("c:\\.\\x"), QString("c:\\a/b"),
                                  QString("c:\\a") + QChar(0) + "b", QString("q:\\x"), QString("dehors.txt"),
                                  QString("\\\\serveur\\partage"), QString()}) {
        EXPECT_EQ(numero([&] { p.VersHote(chemin); }), ErrNomInvalide) << chemin.toStdString();
        EXPECT_EQ(numero([&] { p.SupprimerFichier(chemin); }), ErrNomInvalide) << chemin.toStdString();
    }
    EXPECT_TRUE(QFile::exists(bac.racine() + "/dehors.txt"));
}

TEST_F(Plateforme_, ADriveWhoseMediumIsGoneDoesNotAnswer)
{
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    c.lecteurs.push_back({'e', bac.racine() + "/media/RETIRE", "RETIRE"});
    PlateformeTest q(c);
    EXPECT_EQ(numero([&] { q.VersHote("e:\\Install.inf"); }), ErrDelai);
    EXPECT_EQ(numero([&] { q.Lister("e:\\Install.inf", false); }), ErrDelai);
    EXPECT_EQ(numero([&] { q.FichiersNormaux("e:\\"); }), ErrDelai);
}

TEST_F(Plateforme_, HostPathsInDriveNotation)
{
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    QDir().mkpath(home() + "/cle");
    c.lecteurs.push_back({'e', home() + "/cle", "CLE"});
    PlateformeTest q(c);
    EXPECT_EQ(q.VersLecteur(home()), "c:\\");
    EXPECT_EQ(q.VersLecteur(home() + "/.local/lib/"), "c:\\.local\\lib");
    EXPECT_EQ(q.VersLecteur(home() + "/clef"), "c:\\clef");
    EXPECT_EQ(q.VersLecteur(home() + "/cle"), "e:\\");           // longest root
    EXPECT_EQ(q.VersLecteur(home() + "/cle/A/b.txt"), "e:\\A\\b.txt");
    EXPECT_EQ(q.VersLecteur(bac.racine() + "/ailleurs"), "");   // on no drive
    EXPECT_EQ(q.VersLecteur(q.VersHote("e:\\")), "e:\\");

    EXPECT_EQ(p.TextesLecteurs(), QStringList({"c: [" + home() + "]", "d: [AGENDA]", "z: [/]"}));
}

TEST_F(Plateforme_, OwnFolderKeepsItsBackslashOnlyAtADriveRoot)
{
    EXPECT_EQ(p.DossierPropre(), "d:\\");
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    c.dossierPropre = bac.support() + "/Disque1";
    QDir().mkpath(c.dossierPropre);
    ecrireFichier(c.dossierPropre + "/Install.inf", "x");
    PlateformeTest q(c);
    EXPECT_EQ(q.DossierPropre(), "d:\\Disque1");
    EXPECT_EQ(q.VersHote("\\Disque1\\install.inf"), c.dossierPropre + "/Install.inf");
}

TEST(Lecteurs, MountedMediaInTheOrderOfTheirMountPoints)
{
    const QByteArray montages =
        "/dev/vda / ext4 rw 0 0\n"
        "/dev/sdc1 /run/media/alice/Z\\040Cle vfat rw 0 0\n"
        "/dev/sdb1 /media/alice/AGENDA vfat ro 0 0\n"
        "/dev/sdd1 /media/bob/AUTRE vfat rw 0 0\n"
        "/dev/sde1 /mnt/usb ext4 rw 0 0\n"
        "/dev/sdb1 /media/alice/AGENDA vfat ro 0 0\n"
        "tmpfs /media/alice tmpfs rw 0 0\n"
        "/dev/vdb /home ext4 rw 0 0\n";
    const auto l = interne::lecteursDepuisMontages(montages, "alice", "/home/alice/");
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[0].lettre, 'c');
    EXPECT_EQ(l[0].racine, "/home/alice");
    EXPECT_EQ(l[0].libelle, "/home/alice");
    EXPECT_EQ(l[1].racine, "/media/alice/AGENDA");
    EXPECT_EQ(l[1].libelle, "AGENDA");
    EXPECT_EQ(l[2].lettre, 'e');
    EXPECT_EQ(l[2].racine, "/mnt/usb");
    EXPECT_EQ(l[3].lettre, 'f');
    EXPECT_EQ(l[3].racine, "/run/media/alice/Z Cle");
    EXPECT_EQ(l[3].libelle, "Z Cle");
    EXPECT_EQ(l[4].lettre, 'z');
    EXPECT_EQ(l[4].racine, "/");
}

TEST(Lecteurs, EnvironmentGivesTheXdgFoldersAndTheOwnFolder)
{
    const QByteArray anciens = qgetenv("XDG_CONFIG_DIRS"), ancienData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_DIRS", "relatif:/etc/premier/:/etc/second");
    qputenv("XDG_DATA_HOME", "relatif");
    const Configuration c = Configuration::depuisEnvironnement();
    qputenv("XDG_CONFIG_DIRS", anciens);
    qputenv("XDG_DATA_HOME", ancienData);

    EXPECT_EQ(c.xdgConfigDir, "/etc/premier");
    EXPECT_EQ(c.xdgDataHome, c.home + "/.local/share");
    EXPECT_EQ(c.repertoireSysteme, c.home + "/.local/lib");
    EXPECT_EQ(c.dossierPropre, QCoreApplication::applicationDirPath());
    ASSERT_GE(c.lecteurs.size(), 2u);
    EXPECT_EQ(c.lecteurs.front().racine, c.home);
    EXPECT_EQ(c.lecteurs.back().racine, "/");
}

// ---- Listing -----------------------------------------------------------------

TEST_F(Plateforme_, ListingFindsNormalFilesAndDirectoriesOnlyWhenAsked)
{
    ecrireFichier(home() + "/Lisez.txt", "x");
    ecrireFichier(home() + "/.cache", "x");
    ecrireFichier(home() + "/.cachee/f", "x");
    QDir().mkpath(home() + "/Dossier");
    fifo(home() + "/tube");
    lien(home() + "/Lisez.txt", home() + "/Lien.txt");
    lien(home() + "/absent", home() + "/Casse.txt");

    EXPECT_EQ(p.Lister("c:\\lisez.TXT", false), "Lisez.txt");
    EXPECT_EQ(p.Lister("c:\\lien.txt", false), "Lien.txt");
    EXPECT_EQ(p.Lister("c:\\.cache", false), "");       // hidden
    EXPECT_EQ(p.Lister("c:\\tube", false), "");         // system
    EXPECT_EQ(p.Lister("c:\\tube", true), "");
    EXPECT_EQ(p.Lister("c:\\Casse.txt", false), "");    // link to nothing
    EXPECT_EQ(p.Lister("c:\\absent", true), "");
    EXPECT_EQ(p.Lister("c:\\dossier", false), "");
    EXPECT_EQ(p.Lister("c:\\dossier", true), "Dossier");
    EXPECT_EQ(p.Lister("c:\\.cachee", true), "");
    EXPECT_EQ(p.Lister("c:\\Lisez.txt\\x", false), "");  // under a file
}

TEST_F(Plateforme_, NormalFilesOfAFolderSortedByName)
{
    const QString d = home() + "/Prog";
    for (const char* nom : {"b.txt", "A.txt", "c.TXT", ".cache"}) ecrireFichier(d + "/" + nom, "x");
    QDir().mkpath(d + "/Sous");
    fifo(d + "/tube");
    lien(d + "/b.txt", d + "/lien");
    EXPECT_EQ(p.FichiersNormaux("c:\\PROG"), QStringList({"A.txt", "b.txt", "c.TXT", "lien"}));
    EXPECT_EQ(p.FichiersNormaux("c:\\prog\\sous"), QStringList());
    EXPECT_EQ(numero([&] { p.FichiersNormaux("c:\\prog\\b.txt"); }), ErrChemin);
    EXPECT_EQ(numero([&] { p.FichiersNormaux("c:\\absent"); }), ErrChemin);
}

// ---- Directories and deletion ------------------------------------------------

TEST_F(Plateforme_, DirectoriesOneLevelAtATime)
{
    p.CreerRepertoire("c:\\Programmes");
    EXPECT_TRUE(QFileInfo(home() + "/Programmes").isDir());
    EXPECT_EQ(numero([&] { p.CreerRepertoire("c:\\PROGRAMMES"); }), ErrAcces);
    EXPECT_EQ(numero([&] { p.CreerRepertoire("c:\\a\\b"); }), ErrChemin);

    ecrireFichier(home() + "/Programmes/f", "x");
    EXPECT_EQ(numero([&] { p.SupprimerRepertoire("c:\\programmes"); }), ErrAcces);
    QFile::remove(home() + "/Programmes/f");
    p.SupprimerRepertoire("c:\\programmes");
    EXPECT_FALSE(QFileInfo::exists(home() + "/Programmes"));
    EXPECT_NE(numero([&] { p.SupprimerRepertoire("c:\\programmes"); }), 0);
}

TEST_F(Plateforme_, DeletingRefusesReadOnlyFilesAndLeavesLinkTargets)
{
    const QString f = home() + "/Agenda.exe";
    ecrireFichier(f, "programme");
    ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), 0444), 0);
    EXPECT_EQ(numero([&] { p.SupprimerFichier("c:\\agenda.exe"); }), ErrPermission);
    EXPECT_EQ(lireFichier(f), "programme");

    lien(f, home() + "/Lien.lnk");
    p.SupprimerFichier("c:\\lien.lnk");
    EXPECT_FALSE(QFileInfo(home() + "/Lien.lnk").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(f));

    ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), 0644), 0);
    p.SupprimerFichier("c:\\AGENDA.EXE");
    EXPECT_FALSE(QFileInfo::exists(f));
    EXPECT_EQ(numero([&] { p.SupprimerFichier("c:\\agenda.exe"); }), ErrIntrouvable);
    EXPECT_EQ(numero([&] { p.SupprimerFichier("c:\\absent\\agenda.exe"); }), ErrChemin);
}

// ---- Text and bytes ----------------------------------------------------------

TEST_F(Plateforme_, LinesEndAtCrLfOrALoneCrNeverAtALoneLf)
{
    ecrireFichier(home() + "/t.inf", "un\r\ndeux\rtrois\nsuite\r\n\r\nfin");
    EXPECT_EQ(p.LireLignes("c:\\T.INF"), QStringList({"un", "deux", "trois\nsuite", "", "fin"}));
    ecrireFichier(home() + "/u.inf", "seule\r\n");
    EXPECT_EQ(p.LireLignes("c:\\u.inf"), QStringList({"seule"}));
    ecrireFichier(home() + "/vide.inf", "");
    EXPECT_EQ(p.LireLignes("c:\\vide.inf"), QStringList());
    EXPECT_EQ(numero([&] { p.LireLignes("c:\\absent.inf"); }), ErrIntrouvable);
}

TEST_F(Plateforme_, TextIsWindows1252BothWays)
{
    ecrireFichier(home() + "/a.inf", "caf\xE9 \x80 \x9C");
    EXPECT_EQ(p.LireLignes("c:\\a.inf"), QStringList({QString::fromUtf8("café € œ")}));

    ecrireFichier(home() + "/b.url", "ancien contenu bien plus long");
    p.EcrireLignes("c:\\b.url", {QString::fromUtf8("[café]"), QString::fromUtf8("5 €"), ""});
    EXPECT_EQ(lireFichier(home() + "/b.url"), QByteArray("[caf\xE9]\r\n5 \x80\r\n\r\n"));
    p.EcrireLignes("c:\\Nouveau.url", {});
    EXPECT_TRUE(QFileInfo::exists(home() + "/Nouveau.url"));
    EXPECT_EQ(QFileInfo(home() + "/Nouveau.url").size(), 0);

    ASSERT_EQ(::chmod(QFile::encodeName(home() + "/b.url").constData(), 0444), 0);
    EXPECT_EQ(numero([&] { p.EcrireLignes("c:\\b.url", {"x"}); }), ErrPermission);
    EXPECT_EQ(numero([&] { p.EcrireOctets("c:\\b.url", 0, "x"); }), ErrPermission);
    EXPECT_EQ(lireFichier(home() + "/b.url"), QByteArray("[caf\xE9]\r\n5 \x80\r\n\r\n"));
}

TEST_F(Plateforme_, BytesAtAPositionLengthAndDate)
{
    ecrireFichier(home() + "/l.lnk", "abcdef");
    p.EcrireOctets("c:\\l.lnk", 2, "XY");
    EXPECT_EQ(p.LireOctets("c:\\L.LNK"), "abXYef");
    p.EcrireOctets("c:\\l.lnk", 1, "Z", true);
    EXPECT_EQ(p.LireOctets("c:\\l.lnk"), "aZ");
    EXPECT_EQ(p.Longueur("c:\\l.lnk"), 2);

    p.EcrireOctets("c:\\neuf.bin", 3, "Q");
    EXPECT_EQ(p.LireOctets("c:\\neuf.bin"), QByteArray("\0\0\0Q", 4));
    EXPECT_NE(numero([&] { p.EcrireOctets("c:\\neuf.bin", -1, "Q"); }), 0);

    const timespec dates[2] = {{1000000000, 123456789}, {1000000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(home() + "/neuf.bin").constData(), dates, 0), 0);
    EXPECT_EQ(p.DateModification("c:\\NEUF.BIN"), 1000000000123456789LL);
    EXPECT_EQ(numero([&] { p.DateModification("c:\\absent"); }), ErrIntrouvable);
    EXPECT_EQ(numero([&] { p.Longueur("c:\\absent"); }), ErrIntrouvable);
}

// ---- Settings store and system directory -----------------------------------

TEST_F(Plateforme_, SettingsEraseDeletesTheQtSettingsFileOnly)
{
    // Qt reads the location once per process, on the first QSettings.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(p.configuration().xdgConfigHome));
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "Agenda");
        s.setValue("Fenetre/Largeur", 640);
        s.sync();
        ASSERT_EQ(s.status(), QSettings::NoError);
    }
    const QString fichier = p.configuration().xdgConfigHome + "/Agenda.ini";
    ASSERT_TRUE(QFileInfo::exists(fichier));

    // Names that name no application touch nothing, even a file they spell.
    const QString dossier = p.configuration().xdgConfigHome;
    for (const QString& voisin : {dossier + "/.ini", dossier + "/..ini", dossier + "/...ini", home() + "/victime.ini"})
        ecrireFichier(voisin, "x");
    for (const QString& nom : {QString(), QString("."), QString(".."), QString("../../victime"),
                               QString("Agenda") + QChar(0) + "x"})
        EXPECT_NE(numero([&] { p.EffacerReglages(nom); }), 0) << nom.toStdString();
    for (const QString& voisin : {dossier + "/.ini", dossier + "/..ini", dossier + "/...ini", home() + "/victime.ini"})
        EXPECT_TRUE(QFileInfo::exists(voisin)) << voisin.toStdString();
    EXPECT_TRUE(QFileInfo::exists(fichier));

    p.EffacerReglages("Agenda");
    EXPECT_FALSE(QFileInfo::exists(fichier));
    EXPECT_EQ(numero([&] { p.EffacerReglages("Agenda"); }), ErrIntrouvable);
}

TEST_F(Plateforme_, SystemDirectoryAndItsSiblingExist)
{
    EXPECT_EQ(p.RepertoireSysteme(), "c:\\.local\\lib");
    EXPECT_TRUE(QFileInfo(home() + "/.local/lib").isDir());
    EXPECT_TRUE(QFileInfo(home() + "/.local/lib32").isDir());
}

// ---- Process and toolkit -----------------------------------------------------

TEST_F(Plateforme_, StartsAScriptWithoutInterpreterLineDetachedInItsFolder)
{
    const QString prog = home() + "/Programmes/Agenda/agenda";
    ecrireFichier(prog, "pwd > \"$HOME_TEST/trace\"\n");
    ASSERT_EQ(::chmod(QFile::encodeName(prog).constData(), 0755), 0);
    qputenv("HOME_TEST", QFile::encodeName(home()));
    EXPECT_TRUE(p.Plateforme::Demarrer("c:\\programmes\\agenda\\AGENDA"));
    const auto fin = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lireFichier(home() + "/trace").isEmpty() && std::chrono::steady_clock::now() < fin)
        QThread::msleep(5);
    EXPECT_EQ(lireFichier(home() + "/trace").trimmed(), QFile::encodeName(home() + "/Programmes/Agenda"));

    EXPECT_EQ(numero([&] { p.Plateforme::Demarrer("c:\\absent"); }), ErrIntrouvable);
}

TEST(Horloge, DaysSinceTheEndOf1899)
{
    Bac bac;
    PlateformeTest q(bac.racine());
    const double maintenant = q.Plateforme::Horloge();
    // Julian day 2415019 is 30 December 1899.
    EXPECT_NEAR(maintenant, QDate::currentDate().toJulianDay() - 2415019 + 0.5, 0.5);
}

TEST(Sablier, NormalAfterAnyNumberOfBusy)
{
    Bac bac;
    PlateformeTest q(bac.racine());
    q.Sablier(true);
    q.Sablier(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    q.Sablier(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

namespace {

// Runs `action` on the message box once it is shown.
void pendantBoite(const std::function<void(QMessageBox&)>& action)
{
    auto* minuterie = new QTimer;
    QObject::connect(minuterie, &QTimer::timeout, [minuterie, action] {
        if (auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            minuterie->stop();
            minuterie->deleteLater();
            action(*b);
        }
    });
    minuterie->start(5);
}

QPushButton* bouton(QMessageBox& b, const QString& texte)
{
    for (QAbstractButton* x : b.buttons())
        if (x->text() == texte) return qobject_cast<QPushButton*>(x);
    return nullptr;
}

}  // namespace

TEST(MsgBox, ButtonsIconDefaultAndAnswers)
{
    Bac bac;
    PlateformeTest q(bac.racine());
    QString texte;
    QStringList textes;
    QMessageBox::Icon icone{};
    pendantBoite([&](QMessageBox& b) {
        texte = b.text();
        icone = b.icon();
        for (QAbstractButton* x : b.buttons()) textes << x->text();
        bouton(b, "OK")->click();
    });
    EXPECT_EQ(q.Plateforme::MsgBox("un\r\ndeux", 64, "Titre"), vbOK);
    EXPECT_EQ(texte, "un\ndeux");
    EXPECT_EQ(icone, QMessageBox::Information);
    EXPECT_EQ(textes, QStringList({"OK"}));

    QString defaut;
    pendantBoite([&](QMessageBox& b) {
        icone = b.icon();
        defaut = b.defaultButton() ? b.defaultButton()->text() : QString();
        QKeyEvent echap(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&b, &echap);
    });
    EXPECT_EQ(q.Plateforme::MsgBox("?", vbYesNoCancel + vbQuestion + vbDefaultButton2, "T"), vbCancel);
    EXPECT_EQ(defaut, "&Non");
    EXPECT_EQ(icone, QMessageBox::Question);

    pendantBoite([&](QMessageBox& b) { bouton(b, "&Non")->click(); });
    EXPECT_EQ(q.Plateforme::MsgBox("?", vbYesNo + vbExclamation, "T"), vbNo);
    pendantBoite([&](QMessageBox& b) {
        defaut = b.defaultButton()->text();
        bouton(b, "&Oui")->click();
    });
    EXPECT_EQ(q.Plateforme::MsgBox("?", vbYesNo + vbCritical, "T"), vbYes);
    EXPECT_EQ(defaut, "&Oui");
    pendantBoite([&](QMessageBox& b) { bouton(b, "Annuler")->click(); });
    EXPECT_EQ(q.Plateforme::MsgBox("?", 1, "T"), vbCancel);
}
