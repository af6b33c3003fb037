// Desktop entries written beside the shortcut files of the special folders.
#include "tests/outils.h"
#include "examples/fabrique_icones.h"
#include "platform/linux_interne.h"
#include "wizard/install.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QThread>

using namespace plateforme;

namespace {

QByteArray le32(quint32 v)
{
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return QByteArray(b, 4);
}

// A minimal shell link to `cible` (drive notation): header, empty ID list,
// LinkInfo with a volume and the local base path, terminal block.
QByteArray lien(const QString& cible, qsizetype* finInfo = nullptr)
{
    const QByteArray base = QByteArray(QStringEncoder("windows-1252")(cible)) + '\0';
    const QByteArray volume = le32(17) + le32(3) + le32(0) + le32(0x10) + '\0';
    const quint32 n = quint32(base.size());
    const QByteArray info = le32(0x1C + 17 + n + 1) + le32(0x1C) + le32(1) + le32(0x1C) + le32(0x1C + 17)
                            + le32(0) + le32(0x1C + 17 + n) + volume + base + '\0';
    const QByteArray b = le32(0x4C) + QByteArray::fromHex("0114020000000000c000000000000046") + le32(3)
                         + QByteArray(52, '\0') + le32(2) + info;
    if (finInfo) *finInfo = b.size();
    return b + le32(0);
}

QByteArray url(const QByteArray& adresse, const QByteArray& icone = {})
{
    QByteArray b = "[InternetShortcut]\r\nURL=" + adresse + "\r\n";
    if (!icone.isEmpty()) b += "IconFile=" + icone + "\r\nIconIndex=0\r\n";
    return b;
}

// The value of a key of the entry, as written in the file.
QString cle(const QString& entree, const QString& nom)
{
    for (const QByteArray& l : lireFichier(entree).split('\n'))
        if (l.startsWith(nom.toUtf8() + '=')) return QString::fromUtf8(l.mid(nom.size() + 1));
    return QStringLiteral("<absent>");
}

// desktop-file-validate's complaints ("" when it accepts the entry).
QString erreursValidation(const QString& entree)
{
    const QString outil = QStandardPaths::findExecutable("desktop-file-validate");
    if (outil.isEmpty()) return "desktop-file-validate is not installed";
    QProcess p;
    p.start(outil, {entree});
    if (!p.waitForFinished(10000)) return "desktop-file-validate did not finish";
    const QString sortie = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    if (p.exitCode() != 0 || sortie.contains("error", Qt::CaseInsensitive)) return sortie;
    return {};
}

// Launches a desktop entry as the desktop does (gio) and returns what the
// started program wrote into `marque`: its working directory.
QByteArray lancer(const QString& entree, const QString& marque)
{
    QProcess lance;
    lance.start(QStandardPaths::findExecutable("gio"), {"launch", entree});
    if (!lance.waitForFinished(10000)) return "gio launch did not finish";
    QElapsedTimer t;
    t.start();
    while (lireFichier(marque).isEmpty() && t.elapsed() < 5000) QThread::msleep(20);
    return lireFichier(marque).trimmed();
}

// An executable script that writes its working directory into `marque`.
void script(const QString& hote, const QString& marque)
{
    QFile::remove(hote);
    ecrireFichier(hote, "#!/bin/sh\npwd > '" + marque.toUtf8() + "'\n");
    QFile(hote).setPermissions(QFile(hote).permissions() | QFileDevice::ExeOwner);
}

class Entrees : public ::testing::Test {
protected:
    Bac bac;
    PlateformeTest p{bac.racine()};
    QString home = bac.home();
    QString applis = home + "/.local/share/applications";
    QString groupe = applis + "/Mon Jeu";
    QString bureau = home + "/Desktop";
    // A program whose path holds characters that need quoting.
    const QString programmeLecteur = "c:\\Programmes\\Mon $Agenda 100%\\agenda";

    void SetUp() override
    {
        script(home + "/Programmes/Mon $Agenda 100%/agenda", bac.racine() + "/lance.txt");
        for (const QString& d : {groupe, bureau}) QDir().mkpath(d);
    }

    void ecrire(const QString& hote, const QByteArray& octets)
    {
        ecrireFichier(hote, octets);
        p.raccourciEcrit(hote);
    }
    void supprimer(const QString& hote)
    {
        ASSERT_TRUE(QFile::remove(hote));
        p.raccourciSupprime(hote);
    }
};

// Each kind of shortcut in each kind of folder: the entry's keys, a clean
// validation, and the shortcut file left as written.
TEST_F(Entrees, EachKindOfShortcutGetsItsEntry)
{
    ecrireFichier(home + "/Programmes/Agenda/Aide \"1\".html", "<html></html>");
    const QString tous = bac.racine() + "/sys";
    // Quoted, with $ escaped for the quotes and again for the string value,
    // and % doubled (so started through env, which GLib finds).
    const QString exec = "Exec=env \"" + home + "/Programmes/Mon \\\\$Agenda 100%%/agenda\"";
    const QByteArray chemin = QStringEncoder("windows-1252")(programmeLecteur);
    const struct { QString raccourci; QByteArray octets; QStringList cles; } cas[] = {
        {groupe + "/Agenda.lnk", lien(programmeLecteur),
         {"Version=1.0", "Type=Application", "Name=Agenda", exec,
          "Path=" + home + "/Programmes/Mon $Agenda 100%", "X-Assistant-Raccourci=Agenda.lnk"}},
        // A document opens with the desktop's default application.
        {groupe + "/Aide de Mon Jeu.lnk", lien("C:\\Programmes\\Agenda\\Aide \"1\".html"),
         {"Type=Application", "Name=Aide de Mon Jeu", "Path=<absent>",
          "Exec=xdg-open \"" + home + "/Programmes/Agenda/Aide \\\\\"1\\\\\".html\""}},
        {home + "/.local/share/favorites/Site.url", url("https://exemple.fr/caf\xe9?a=1&b=%20"),
         {"Type=Link", "Name=Site", QString::fromUtf8("URL=https://exemple.fr/café?a=1&b=%20")}},
        {tous + "/usr/local/share/favorites/Site.url", url("www.exemple.fr"),
         {"Type=Link", "URL=http://www.exemple.fr", "X-Assistant-Raccourci=Site.url"}},
        // The Internet shortcut left when the shell's link did not come
        // points at the program in drive notation.
        {home + "/.config/autostart/Agenda.url", url(chemin, chemin), {"Type=Application", exec}},
        {tous + "/etc/xdg/autostart/Agenda.lnk", lien(programmeLecteur), {"Type=Application", exec}},
        {tous + "/etc/xdg/autostart/Site.url", url("https://exemple.fr/"),
         {"Exec=xdg-open \"https://exemple.fr/\""}},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.raccourci.toStdString());
        ecrire(c.raccourci, c.octets);
        const QString e = c.raccourci.left(c.raccourci.lastIndexOf('.')) + ".desktop";
        ASSERT_TRUE(QFileInfo::exists(e));
        EXPECT_EQ(erreursValidation(e), "");
        for (const QString& kv : c.cles) {
            const qsizetype i = kv.indexOf('=');
            EXPECT_EQ(cle(e, kv.left(i)), kv.mid(i + 1));
        }
        EXPECT_EQ(lireFichier(c.raccourci), c.octets);
    }
    EXPECT_EQ(lancer(groupe + "/Agenda.desktop", bac.racine() + "/lance.txt"),
              (home + "/Programmes/Mon $Agenda 100%").toUtf8());
}

TEST_F(Entrees, NothingOutsideTheSpecialFolders)
{
    const QByteArray l = lien(programmeLecteur);
    const QStringList ailleurs{home + "/Programmes/Agenda.lnk",
                               home + "/.local/share/recent-links/agenda.lnk",
                               bureau + "/Dossier/Agenda.lnk",
                               home + "/.config/autostart/sous/Agenda.lnk",
                               home + "/.local/share/Agenda.url"};
    for (const QString& s : ailleurs) {
        ecrire(s, s.endsWith(".url") ? url("https://exemple.fr/") : l);
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(s).path() + "/Agenda.desktop")) << s.toStdString();
    }
    // Links that name no file of a drive give nothing either, without a throw.
    ecrire(groupe + "/Reseau.lnk", lien("\\\\serveur\\partage\\x.exe"));
    ecrire(groupe + "/Inconnu.lnk", lien("q:\\x.exe"));
    ecrire(groupe + "/Vide.url", url(""));
    ecrire(groupe + "/Bruit.lnk", QByteArray(300, '\x4c'));
    EXPECT_EQ(QDir(groupe).entryList({"*.desktop"}, QDir::Files), QStringList());
}

TEST_F(Entrees, PartialLinkGetsAnEntryOnlyOnceItParses)
{
    qsizetype finInfo = 0;
    const QByteArray complet = lien(programmeLecteur, &finInfo);
    const QString s = groupe + "/Agenda.lnk", e = groupe + "/Agenda.desktop";
    for (qsizetype n = 1; n <= complet.size(); ++n) {
        ecrire(s, complet.left(n));
        ASSERT_EQ(QFileInfo::exists(e), n >= finInfo) << n;
    }
    const QByteArray entree = lireFichier(e);
    // Written over in place, byte by byte, with a link to another target.
    ecrireFichier(home + "/Programmes/Autre/autre.html", "x");
    const QByteArray autre = lien("c:\\Programmes\\Autre\\autre.html");
    for (qsizetype n = 0; n < autre.size(); ++n) {
        QFile f(s);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(n);
        f.write(autre.mid(n, 1));
        f.close();
        p.raccourciEcrit(s);
    }
    EXPECT_TRUE(cle(e, "Exec").startsWith("xdg-open ")) << cle(e, "Exec").toStdString();
    // A link cut short no longer names its target: its entry goes.
    ecrire(s, complet.left(60));
    EXPECT_FALSE(QFileInfo::exists(e));
    ecrire(s, complet);
    EXPECT_EQ(lireFichier(e), entree);
}

TEST_F(Entrees, EntriesGoWithTheirShortcutAndSpareTheUsersOwn)
{
    ecrireFichier(bureau + "/Agenda.desktop", "[Desktop Entry]\nType=Application\nName=Mien\nExec=true\n");
    ecrire(bureau + "/Agenda.lnk", lien(programmeLecteur));
    supprimer(bureau + "/Agenda.lnk");
    EXPECT_EQ(cle(bureau + "/Agenda.desktop", "Name"), "Mien");

    // The group holds both forms; the entry follows the last one written and
    // is removed with the last one deleted, so that the group can go. The
    // menu's MIME cache is rebuilt as entries come and go.
    ecrireFichier(applis + "/mimeinfo.cache", "perime");
    ecrire(groupe + "/Agenda.url", url("https://exemple.fr/"));
    if (!QStandardPaths::findExecutable("update-desktop-database").isEmpty())
        EXPECT_EQ(lireFichier(applis + "/mimeinfo.cache"), "[MIME Cache]\n");
    ecrire(groupe + "/Agenda.lnk", lien(programmeLecteur));
    const QString e = groupe + "/Agenda.desktop";
    EXPECT_EQ(cle(e, "X-Assistant-Raccourci"), "Agenda.lnk");
    supprimer(groupe + "/Agenda.lnk");
    EXPECT_EQ(cle(e, "X-Assistant-Raccourci"), "Agenda.url");
    EXPECT_EQ(cle(e, "Type"), "Link");
    supprimer(groupe + "/Agenda.url");
    EXPECT_FALSE(QFileInfo::exists(e));
    EXPECT_TRUE(QDir().rmdir(groupe));
}

TEST_F(Entrees, DesktopEntriesAreExecutableAndShareTheIconUntilTheLastGoes)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ecrireFichier(home + "/Programmes/Agenda/agenda.ico", fabrique::fichierIco({fabrique::imageDib(image, 32)}));

    const QString favori = home + "/.local/share/favorites/Site.url";
    ecrire(bureau + "/Icone.lnk", lien("c:\\Programmes\\Agenda\\agenda.ico"));
    ecrire(groupe + "/Icone.lnk", lien("c:\\Programmes\\Agenda\\agenda.ico"));
    ecrire(favori, url("https://exemple.fr/", "c:\\Programmes\\Agenda\\agenda.ico"));
    const QString eb = bureau + "/Icone.desktop", png = cle(eb, "Icon");
    EXPECT_TRUE(QFileInfo(eb).isExecutable());
    EXPECT_TRUE(png.startsWith(home + "/.local/share/icons/hicolor/32x32/apps/")) << png.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(32, 32));
    for (const QString& e : {eb, groupe + "/Icone.desktop", home + "/.local/share/favorites/Site.desktop"}) {
        EXPECT_EQ(erreursValidation(e), "") << e.toStdString();
        EXPECT_EQ(cle(e, "Icon"), png) << e.toStdString();
    }

    supprimer(bureau + "/Icone.lnk");
    supprimer(favori);
    EXPECT_FALSE(QFileInfo::exists(eb));
    EXPECT_TRUE(QFileInfo::exists(png));
    supprimer(groupe + "/Icone.lnk");
    EXPECT_FALSE(QFileInfo::exists(png));
}

// Every desktop entry, link and Internet shortcut under the home and the
// system folders of the test platform.
QStringList raccourcisSous(const Bac& bac)
{
    QStringList r;
    for (const QString& d : {bac.home(), bac.racine() + "/sys"}) {
        QDirIterator it(d, {"*.desktop", "*.lnk", "*.url"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) r << it.next();
    }
    r.sort();
    return r;
}

// How a menu built from the freedesktop menu files (pyxdg's reader, over a
// main menu with a category submenu and "Other") files the entries of the
// test platform's folders: one line per submenu ("Agenda/ Agenda", with the
// name its directory entry gives) and per entry ("Agenda/Agenda-Agenda.desktop").
std::string menus(const Bac& bac)
{
    const QString base = bac.racine() + "/menus-base";
    ecrireFichier(base + "/menus/applications.menu",
                  "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
                  "<Menu><Name>Applications</Name><DefaultAppDirs/><DefaultDirectoryDirs/><DefaultMergeDirs/>\n"
                  "  <Menu><Name>Accessoires</Name><Include><Category>Utility</Category></Include></Menu>\n"
                  "  <Menu><Name>Autres</Name><OnlyUnallocated/><Include><All/></Include></Menu>\n"
                  "</Menu>\n");
    const char* lecteur = R"(
import xdg.Menu
def parcourir(menu, chemin):
    for e in menu.getEntries():
        if isinstance(e, xdg.Menu.Menu):
            print(chemin + e.getName() + "/", e.getName() if e.Directory is None else e.Directory.DesktopEntry.getName())
            parcourir(e, chemin + e.getName() + "/")
        elif isinstance(e, xdg.Menu.MenuEntry):
            print(chemin + e.DesktopFileID)
parcourir(xdg.Menu.parse(), "")
)";
    QProcess python;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", bac.home() + "/.config");
    env.insert("XDG_CONFIG_DIRS", base + ":" + bac.racine() + "/sys/etc/xdg");
    env.insert("XDG_DATA_HOME", bac.home() + "/.local/share");
    env.insert("XDG_DATA_DIRS", bac.racine() + "/sys/usr/local/share");
    env.remove("XDG_MENU_PREFIX");
    python.setProcessEnvironment(env);
    python.start("/usr/bin/python3", {"-c", lecteur});   // Debian's, where python3-xdg is
    if (!python.waitForFinished(20000) || python.exitCode() != 0)
        return ("python3 -c: " + python.errorString() + QString::fromUtf8(python.readAllStandardError())).toStdString();
    return python.readAllStandardOutput().toStdString();
}

// The sample medium installed through the window with every shortcut: its
// entries carry its icon and a category, the group is a submenu, the menu
// entry starts the program; the uninstall takes all of it away.
TEST(EntreesInstallation, SampleMediumEntriesLaunchAndGoWithTheUninstall)
{
    Bac bac;
    copierSupportExemple(bac.support());
    ecrireInf(bac.support() + "/Install.inf",
              {QString::fromUtf8("[Général]"), QString::fromUtf8("DisqueInstallDéfaut=C"),
               QString::fromUtf8("RépertoireInstallDéfaut=Programmes\\Agenda"),
               QString::fromUtf8("NomGroupeDéfaut=Agenda"), "Programme=agenda", "NomProgramme=Agenda",
               "NomAide=Agenda.html", "EspaceRequis=1Mo", "RaccourciWEB=oui",
               "URLRaccourciWEB=http://agenda.example/", "NomRaccourciWEB=Site Agenda", "Info1=Merci.",
               "Info2=Fin.", "[Fichiers]", "F1=agenda", "F2=Agenda.html", "F3=agenda.png",
               "[FichiersSystem]"});
    PlateformeTest p(bac.racine());
    p.pasHorloge = 1e-5;
    const QString home = bac.home();
    const QString groupe = home + "/.local/share/applications/Agenda";
    const std::string menusAvant = menus(bac);
    {
        Install w(p);
        w.Form_Load();
        w.OptionDépart[1]->click();
        w.BSuiv->click();
        w.ChDem->setChecked(true);
        w.Command1->click();
        ASSERT_EQ(w.BSuiv->text(), "Terminer >");
    }
    const QStringList entrees = raccourcisSous(bac).filter(".desktop");
    ASSERT_EQ(entrees, QStringList({home + "/.config/autostart/Agenda.desktop", groupe + "/Agenda.desktop",
                                    groupe + "/Aide de Agenda.desktop",
                                    home + "/.local/share/favorites/Site Agenda.desktop",
                                    home + "/Desktop/Agenda.desktop"}));
    const QString icone = cle(groupe + "/Agenda.desktop", "Icon");
    EXPECT_EQ(QImage(icone).convertToFormat(QImage::Format_ARGB32),
              plateforme::interne::auCarre(QImage(bac.support() + "/agenda.png"), 32))
        << icone.toStdString();
    const QString exec = "\"" + home + "/Programmes/Agenda/agenda\"";
    const struct { QString entree, exec, icone; } attendues[] = {
        {groupe + "/Agenda.desktop", exec, icone},
        {home + "/.config/autostart/Agenda.desktop", exec, icone},
        {home + "/Desktop/Agenda.desktop", exec, icone},
        {groupe + "/Aide de Agenda.desktop", "xdg-open \"" + home + "/Programmes/Agenda/Agenda.html\"", "text-html"},
    };
    for (const auto& a : attendues) {
        SCOPED_TRACE(a.entree.toStdString());
        EXPECT_EQ(erreursValidation(a.entree), "");
        EXPECT_EQ(cle(a.entree, "Exec"), a.exec);
        EXPECT_EQ(cle(a.entree, "Icon"), a.icone);
        EXPECT_EQ(cle(a.entree, "Categories"), "Utility;");
    }
    EXPECT_EQ(cle(home + "/.local/share/favorites/Site Agenda.desktop", "URL"), "http://agenda.example/");
    // The group is a submenu of its name, besides the category's.
    EXPECT_EQ(menus(bac), "Accessoires/ Accessoires\nAccessoires/Agenda-Agenda.desktop\n"
                          "Accessoires/Agenda-Aide de Agenda.desktop\nAgenda/ Agenda\n"
                          "Agenda/Agenda-Agenda.desktop\nAgenda/Agenda-Aide de Agenda.desktop\n");

    // The program's menu entry starts it; here a stand-in that leaves a mark.
    script(home + "/Programmes/Agenda/agenda", bac.racine() + "/lance.txt");
    EXPECT_EQ(lancer(groupe + "/Agenda.desktop", bac.racine() + "/lance.txt"), (home + "/Programmes/Agenda").toUtf8());

    {
        Install w(p);
        w.Form_Load();
        w.Command6_Click();
    }
    EXPECT_EQ(raccourcisSous(bac), QStringList());
    EXPECT_FALSE(QFileInfo::exists(groupe));
    EXPECT_FALSE(QFileInfo::exists(icone));
    EXPECT_FALSE(QFileInfo::exists(home + "/.config/menus") || QFileInfo::exists(home + "/.local/share/desktop-directories"));
    EXPECT_EQ(menus(bac), menusAvant);
}

}  // namespace
