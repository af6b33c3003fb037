// The Linux platform on a real temporary file system with a drive table of
// the test's own.
#include "platform/linux_interne.h"
#include "tests/outils.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// Runs `f` in a child process; its result is the child's exit code.
int dansUnEnfant(const std::function<int()>& f)
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(f());
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
}

QByteArray hote(const QString& chemin) { return QFile::encodeName(chemin); }

class Plateforme_ : public ::testing::Test {
protected:
    Bac bac;
    PlateformeTest p{bac.racine()};
    QString home() const { return bac.home(); }
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

TEST_F(Plateforme_, DriveNotationToHostWithoutRegardToCase)
{
    ecrireFichier(home() + "/Programmes/Agenda/Agenda.exe", "x");
    ecrireFichier(home() + "/lisez.txt", "a");
    ecrireFichier(home() + "/LISEZ.TXT", "b");
    ecrireFichier(home() + QString::fromUtf8("/Été.txt"), "c");
    ecrireFichier(bac.support() + "/Disque1/Install.inf", "x");
    QDir().mkpath(home() + "/cle");
    PlateformeTest q(avecE(home() + "/cle", bac.support() + "/Disque1"));
    const QString s = bac.support();
    for (auto [chemin, attendu] : {
             std::pair{"C:\\PROGRAMMES\\agenda\\AGENDA.EXE", home() + "/Programmes/Agenda/Agenda.exe"},
             {"c:\\programmes\\Nouveau\\Fichier.TXT", home() + "/Programmes/Nouveau/Fichier.TXT"},
             {"c:\\LISEZ.TXT", home() + "/LISEZ.TXT"},  // the exact name wins
             {"c:\\lisez.txt", home() + "/lisez.txt"},
             {"c:\\ÉTÉ.TXT", home() + QString::fromUtf8("/Été.txt")},
             {"\\Disque1\\install.inf", s + "/Disque1/Install.inf"},  // the own folder's drive
             {"d:\\", s}})
        EXPECT_EQ(q.VersHote(QString::fromUtf8(chemin)), attendu) << chemin;

    for (auto [h, attendu] : {std::pair{home(), "c:\\"}, {home() + "/clef", "c:\\clef"},
                              {home() + "/cle/A/b.txt", "e:\\A\\b.txt"},  // the longest root
                              {bac.racine() + "/ailleurs", ""}})
        EXPECT_EQ(q.VersLecteur(h), attendu) << h.toStdString();
    EXPECT_EQ(p.TextesLecteurs(), QStringList({"c: [" + home() + "]", "d: [AGENDA]", "z: [/]"}));
    EXPECT_EQ(q.DossierPropre(), "d:\\Disque1");
}

// Bad names and unknown drives fail before the host; a drive whose root is
// gone, or a medium's bare folder once unmounted, does not answer.
TEST_F(Plateforme_, BadNamesUnknownAndGoneDrivesNeverReachTheHost)
{
    ecrireFichier(bac.racine() + "/dehors.txt", "secret");
    for (const QString& chemin : {QString("c:\\..\\dehors.txt"), QString("c:\\.\\x"), QString("c:\\...\\x"),
                                  QString("c:\\a/b"), QString("c:\\a") + QChar(0) + "b", QString("q:\\x"),
                                  QString("dehors.txt"), QString("\\\\serveur\\partage"), QString()}) {
        EXPECT_EQ(numero([&] { p.VersHote(chemin); }), ErrNomInvalide) << chemin.toStdString();
        EXPECT_EQ(numero([&] { p.SupprimerFichier(chemin); }), ErrNomInvalide) << chemin.toStdString();
    }
    EXPECT_TRUE(QFile::exists(bac.racine() + "/dehors.txt"));

    PlateformeTest retire(avecE(bac.racine() + "/media/RETIRE"));
    PlateformeTest demonte(avecE(home(), {}, true));
    for (PlateformeTest* q : {&retire, &demonte}) {
        EXPECT_EQ(numero([&] { q->Lister("e:\\Install.inf", false); }), ErrDelai);
        EXPECT_EQ(numero([&] { q->CreerRepertoire("e:\\x"); }), ErrDelai);
    }
    EXPECT_FALSE(QFileInfo::exists(home() + "/x"));
}

// The drive table from the mounts; the home folder is HOME, or the user
// database's when HOME is unset or relative, and none for a HOME that names
// no folder or an unknown user; relative XDG folders are passed over.
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

    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_NE(pw, nullptr);
    const QString base = QString::fromUtf8(pw->pw_dir);
    struct Cas { const char* home; bool inconnu, aucun; };
    for (const Cas& k : {Cas{nullptr, false, false}, Cas{"relatif", false, false}, Cas{"/absent/partout", false, true},
                         Cas{nullptr, true, true}})
        EXPECT_EQ(dansUnEnfant([&] {
                      k.home ? ::setenv("HOME", k.home, 1) : ::unsetenv("HOME");
                      ::setenv("XDG_CONFIG_DIRS", "relatif:/etc/premier/:/etc/second", 1);
                      ::setenv("XDG_DATA_HOME", "relatif", 1);
                      if (k.inconnu && (::setgid(54321) != 0 || ::setuid(54321) != 0)) return 2;
                      const Configuration c = Configuration::depuisEnvironnement();
                      if (c.xdgConfigDir != "/etc/premier" || c.xdgDataHome != c.home + "/.local/share") return 3;
                      return (k.aucun ? c.home.isEmpty() : c.home == base && c.lecteurs.front().racine == base) ? 0 : 1;
                  }),
                  0)
            << (k.home ? k.home : "unset") << k.inconnu;
    EXPECT_FALSE(QFileInfo::exists("/absent"));
}

// Listing names normal files and folders, links to them included, without
// regard to case; a read-only file is refused deletion even to root, a link
// is deleted as a link, and a folder once empty.
TEST_F(Plateforme_, ListingDirectoriesAndDeletion)
{
    for (const char* nom : {"Lisez.txt", ".cache"}) ecrireFichier(home() + "/" + nom, "x");
    QDir().mkpath(home() + "/Dossier");
    ASSERT_EQ(::mkfifo(hote(home() + "/tube"), 0644), 0);
    ASSERT_TRUE(QFile::link(home() + "/Lisez.txt", home() + "/Lien.txt"));
    ASSERT_TRUE(QFile::link(home() + "/absent", home() + "/Casse.txt"));
    struct Cas { const char* chemin; bool repertoires; const char* attendu; };
    for (const Cas& c : {Cas{"c:\\lisez.TXT", false, "Lisez.txt"}, Cas{"c:\\lien.txt", false, "Lien.txt"},
                         Cas{"c:\\.cache", false, ""}, Cas{"c:\\tube", true, ""}, Cas{"c:\\Casse.txt", false, ""},
                         Cas{"c:\\dossier", false, ""}, Cas{"c:\\dossier", true, "Dossier"}})
        EXPECT_EQ(p.Lister(c.chemin, c.repertoires), c.attendu) << c.chemin << " " << c.repertoires;

    EXPECT_EQ(numero([&] { p.CreerRepertoire("c:\\a\\b"); }), ErrChemin);
    p.CreerRepertoire("c:\\Programmes");
    EXPECT_EQ(numero([&] { p.CreerRepertoire("c:\\PROGRAMMES"); }), ErrAcces);
    const QString f = home() + "/Programmes/Agenda.exe";
    ecrireFichier(f, "programme");
    // Read-only is refused even to root.
    ASSERT_EQ(::chmod(hote(f), 0444), 0);
    EXPECT_EQ(numero([&] { p.SupprimerFichier("c:\\programmes\\agenda.exe"); }), ErrPermission);
    EXPECT_EQ(numero([&] { p.SupprimerRepertoire("c:\\programmes"); }), ErrAcces);  // not empty
    ASSERT_TRUE(QFile::link(f, home() + "/Lien.lnk"));
    p.SupprimerFichier("c:\\lien.lnk");
    EXPECT_FALSE(QFileInfo(home() + "/Lien.lnk").isSymLink());
    EXPECT_EQ(lireFichier(f), "programme");  // the link only, never its target
    ASSERT_EQ(::chmod(hote(f), 0644), 0);
    p.SupprimerFichier("c:\\Programmes\\AGENDA.EXE");
    EXPECT_EQ(numero([&] { p.SupprimerFichier("c:\\programmes\\agenda.exe"); }), ErrIntrouvable);
    p.SupprimerRepertoire("c:\\programmes");
    EXPECT_FALSE(QFileInfo::exists(home() + "/Programmes"));

    // The system directory and its sibling are made by the first copy into
    // them, not by asking; no other missing folder is.
    EXPECT_EQ(p.RepertoireSysteme(), "c:\\.local\\lib");
    EXPECT_FALSE(QFileInfo::exists(home() + "/.local/lib"));
    ecrireFichier(bac.support() + "/s.dll", "s");
    for (const QString lib : {"lib", "lib32"}) {
        p.CopierFichier("d:\\s.dll", "c:\\.local\\" + lib + "\\s.dll");
        EXPECT_EQ(lireFichier(home() + "/.local/" + lib + "/s.dll"), "s");
    }
    EXPECT_EQ(numero([&] { p.CopierFichier("d:\\s.dll", "c:\\.local\\autre\\s.dll"); }), ErrChemin);
}

// Lines end at CR LF or a lone CR; the text is UTF-8 when marked or valid
// with accents, else Windows-1252, which is what is written.
TEST_F(Plateforme_, TextLines)
{
    const QStringList accents = {QString::fromUtf8("café € œ")};
    for (auto [octets, lignes] : {std::pair{QByteArray("un\r\ndeux\rtrois\nsuite\r\n\r\nfin"),
                                            QStringList({"un", "deux", "trois\nsuite", "", "fin"})},
                                  {QByteArray("caf\xE9 \x80 \x9C"), accents},
                                  {QByteArray("caf\xC3\xA9 \xE2\x82\xAC \xC5\x93\r\n"), accents},
                                  {QByteArray("\xEF\xBB\xBF" "caf\xC3\xA9 \xE2\x82\xAC \xC5\x93"), accents}}) {
        ecrireFichier(home() + "/t.inf", octets);
        EXPECT_EQ(p.LireLignes("c:\\T.INF"), lignes) << octets.toStdString();
    }
    const QByteArray ecrit("[caf\xE9]\r\n5 \x80\r\n\r\n");
    ecrireFichier(home() + "/b.url", "ancien contenu bien plus long");
    p.EcrireLignes("c:\\b.url", {QString::fromUtf8("[café]"), QString::fromUtf8("5 €"), ""});
    EXPECT_EQ(lireFichier(home() + "/b.url"), ecrit);
    ASSERT_EQ(::chmod(hote(home() + "/b.url"), 0444), 0);
    EXPECT_EQ(numero([&] { p.EcrireLignes("c:\\b.url", {"x"}); }), ErrPermission);
    EXPECT_EQ(lireFichier(home() + "/b.url"), ecrit);
}

// Writes are whole or nothing: on a full disk an old file stays as it was,
// a new one does not appear, and no hidden file is left; once there is room
// the old file is replaced with its rights kept.
TEST_F(Plateforme_, WritesWholeOrNotAtAll)
{
    const QString d = home() + "/plein";
    ASSERT_TRUE(monterTmpfs(d, 64 << 10));
    ecrireFichier(d + "/ancien.lnk", "ancien");
    ASSERT_EQ(::chmod(hote(d + "/ancien.lnk"), 0640), 0);
    ecrireFichier(d + "/remplissage", QByteArray(128 << 10, 'r'));
    const QByteArray gros(16 << 10, 'n');
    EXPECT_EQ(numero([&] { p.EcrireOctets("c:\\plein\\ancien.lnk", 0, gros, true); }), ErrDisquePlein);
    EXPECT_EQ(numero([&] { p.EcrireLignes("c:\\plein\\neuf.url", {QString(gros)}); }), ErrDisquePlein);
    EXPECT_EQ(QDir(d).entryList(QDir::Files | QDir::Hidden), QStringList({"ancien.lnk", "remplissage"}));
    EXPECT_EQ(lireFichier(d + "/ancien.lnk"), "ancien");
    QFile::remove(d + "/remplissage");
    p.EcrireOctets("c:\\plein\\ancien.lnk", 0, gros, true);
    EXPECT_EQ(lireFichier(d + "/ancien.lnk"), gros);
    struct stat st {};
    ASSERT_EQ(::stat(hote(d + "/ancien.lnk"), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A medium pulled out (lazily unmounted) in the middle of a copy onto
    // it: the drive does not answer, whatever the failure looked like.
    const QString cle = bac.racine() + "/media/CLE";
    ASSERT_TRUE(monterTmpfs(cle, 8 << 20));
    ecrireFichier(bac.support() + "/gros.dat", QByteArray(5 << 20, 'g'));
    PlateformeTest q(avecE(cle, {}, true));
    bool parti = false;
    EXPECT_EQ(numero([&] {
                  q.CopierFichier("d:\\gros.dat", "e:\\gros.dat", [&] {
                      if (!parti) parti = ::umount2(hote(cle).constData(), MNT_DETACH) == 0;
                  });
              }),
              ErrDelai);
    EXPECT_TRUE(parti);
    EXPECT_TRUE(QDir(cle).isEmpty());

    // A folder an ordinary user may not write refuses the copy as access
    // denied, leaving nothing.
    ecrireFichier(bac.support() + "/a.dat", "a");
    const QString ferme = home() + "/ferme";
    QDir().mkpath(ferme);
    for (const QString& x : {bac.racine(), home()}) ASSERT_EQ(::chmod(hote(x), 0755), 0);
    ASSERT_EQ(::chmod(hote(ferme), 0555), 0);
    EXPECT_EQ(dansUnEnfant([&] {
                  if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
                  try {
                      p.CopierFichier("d:\\a.dat", "c:\\ferme\\a.dat");
                  } catch (const Erreur& e) {
                      return e.numero == ErrPermission && e.systeme == EACCES ? 0 : 3;
                  }
                  return 4;
              }),
              0);
    EXPECT_TRUE(QDir(ferme).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// Only the named program's settings file goes; names that name no program
// touch nothing, even a file they spell.
TEST_F(Plateforme_, SettingsEraseDeletesTheQtSettingsFileOnly)
{
    // Qt reads the location once per process, on the first QSettings.
    const QString dossier = p.configuration().xdgConfigHome;
    qputenv("XDG_CONFIG_HOME", hote(dossier));
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Agenda").setValue("Fenetre/Largeur", 640);
    const QString fichier = dossier + "/Agenda.ini";
    ASSERT_TRUE(QFileInfo::exists(fichier));
    const QStringList voisins = {dossier + "/.ini", dossier + "/..ini", home() + "/victime.ini"};
    for (const QString& v : voisins) ecrireFichier(v, "x");
    for (const QString& nom : {QString(), QString("."), QString(".."), QString("../../victime"),
                               QString("Agenda") + QChar(0) + "x"})
        EXPECT_NE(numero([&] { p.EffacerReglages(nom); }), 0) << nom.toStdString();
    for (const QString& v : voisins + QStringList{fichier}) EXPECT_TRUE(QFileInfo::exists(v)) << v.toStdString();
    p.EffacerReglages("Agenda");
    EXPECT_FALSE(QFileInfo::exists(fichier));
    EXPECT_EQ(numero([&] { p.EffacerReglages("Agenda"); }), ErrIntrouvable);
}

// A script without interpreter line starts detached in its folder; the
// pointer is normal after any number of "busy".
TEST_F(Plateforme_, ProcessAndPointer)
{
    const QString prog = home() + "/Programmes/Agenda/agenda";
    ecrireFichier(prog, "pwd > \"$HOME_TEST/trace\"\n");
    ASSERT_EQ(::chmod(hote(prog), 0755), 0);
    qputenv("HOME_TEST", hote(home()));
    EXPECT_TRUE(p.Plateforme::Demarrer("c:\\programmes\\agenda\\AGENDA"));
    for (int i = 0; i < 1000 && lireFichier(home() + "/trace").isEmpty(); ++i) QThread::msleep(10);
    EXPECT_EQ(lireFichier(home() + "/trace").trimmed(), hote(home() + "/Programmes/Agenda"));

    p.Sablier(true);
    p.Sablier(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    p.Sablier(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Each box: its style, the button clicked ("" for Escape), then what the box
// showed (buttons sorted, icon, default) and answered.
TEST_F(Plateforme_, MessageBoxButtonsIconDefaultAndAnswers)
{
    struct Cas { int style; QString clic; QStringList boutons; QMessageBox::Icon icone; QString defaut; int reponse; };
    const QStringList on = {"&Non", "&Oui"};
    for (const Cas& c : {Cas{vbInformation, "OK", {"OK"}, QMessageBox::Information, "OK", vbOK},
                         Cas{vbYesNoCancel + vbQuestion + vbDefaultButton2, "", on + QStringList{"Annuler"},
                             QMessageBox::Question, "&Non", vbCancel},
                         Cas{vbYesNo + vbExclamation, "&Non", on, QMessageBox::Warning, "&Oui", vbNo},
                         Cas{vbYesNo + vbCritical, "&Oui", on, QMessageBox::Critical, "&Oui", vbYes}}) {
        QStringList vu;
        QTimer minuterie;
        QObject::connect(&minuterie, &QTimer::timeout, [&] {
            auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!b) return;
            minuterie.stop();
            QStringList boutons;
            QAbstractButton* clic = nullptr;
            for (QAbstractButton* x : b->buttons()) {
                boutons << x->text();
                if (x->text() == c.clic) clic = x;
            }
            boutons.sort();
            vu = {b->text(), boutons.join(' '), b->defaultButton() ? b->defaultButton()->text() : QString(),
                  QString::number(b->icon())};
            QKeyEvent echap(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            if (clic) clic->click();
            else if (c.clic.isEmpty()) QApplication::sendEvent(b, &echap);
            else b->done(-1);  // no such button: end the box rather than hang
        });
        minuterie.start(5);
        EXPECT_EQ(p.Plateforme::MsgBox("un\r\ndeux", c.style, "T"), c.reponse) << c.style;
        EXPECT_EQ(vu, QStringList({"un\ndeux", c.boutons.join(' '), c.defaut, QString::number(c.icone)}))
            << c.style;
    }
}
