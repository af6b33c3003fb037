// Desktop entries written beside the shortcut files of the special folders.
#include "tests/outils.h"
#include "examples/fabrique_icones.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QThread>

using namespace plateforme;

namespace {

QByteArray url(const QByteArray& adresse, const QByteArray& icone = {})
{
    return "[InternetShortcut]\r\nURL=" + adresse + "\r\n" +
           (icone.isEmpty() ? QByteArray() : "IconFile=" + icone + "\r\nIconIndex=0\r\n");
}

// The value of a key of the entry, as written in the file.
QString cle(const QString& entree, const QString& nom)
{
    for (const QByteArray& l : lireFichier(entree).split('\n'))
        if (l.startsWith(nom.toUtf8() + '=')) return QString::fromUtf8(l.mid(nom.size() + 1));
    return QStringLiteral("<absent>");
}

// What a desktop tool prints, with `env` in its environment; when it fails or is missing, why.
QString sortie(const QString& outil, const QStringList& arguments, const QMap<QString, QString>& env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (auto it = env.begin(); it != env.end(); ++it) e.insert(it.key(), it.value());
    p.setProcessEnvironment(e);
    p.start(outil, arguments);
    const bool fini = p.waitForFinished(20000) && p.exitCode() == 0;
    const QString texte = QString::fromUtf8(p.readAllStandardOutput());
    return fini ? texte : outil + ": " + p.errorString() + texte + QString::fromUtf8(p.readAllStandardError());
}

// The menus pyxdg builds over a category and "Other": "Menu/ its name" per submenu, "Menu/id" per entry.
QString menus(const Bac& bac)
{
    const QString base = bac.racine() + "/menus-base";
    ecrireFichier(base + "/menus/applications.menu",
                  "<Menu><Name>Applications</Name><DefaultAppDirs/><DefaultDirectoryDirs/><DefaultMergeDirs/>\n"
                  "  <Menu><Name>Accessoires</Name><Include><Category>Utility</Category></Include></Menu>\n"
                  "  <Menu><Name>Autres</Name><OnlyUnallocated/><Include><All/></Include></Menu></Menu>\n");
    const char* lecteur = R"(import xdg.Menu
for m in xdg.Menu.parse().getEntries():
    print(m.getName() + "/", m.Directory.DesktopEntry.getName() if m.Directory else m.getName())
    for e in m.getEntries():
        print(m.getName() + "/" + e.DesktopFileID))";
    return sortie("/usr/bin/python3", {"-c", lecteur},  // Debian's, where python3-xdg is
                  {{"XDG_CONFIG_HOME", bac.home() + "/.config"}, {"XDG_DATA_HOME", bac.home() + "/.local/share"},
                   {"XDG_CONFIG_DIRS", base + ":" + bac.racine() + "/sys/etc/xdg"},
                   {"XDG_DATA_DIRS", bac.racine() + "/sys/usr/local/share"}, {"XDG_MENU_PREFIX", ""}});
}

struct Entrees : ::testing::Test {
    Bac bac;
    PlateformeTest p{bac.racine()};
    QString home = bac.home();
    QString applis = home + "/.local/share/applications";
    QString groupe = applis + "/Mon Jeu";
    QString bureau = home + "/Desktop";
    // A program with characters to quote in its path, writing its working directory into `marque`.
    const QString programmeLecteur = "c:\\Programmes\\Mon $Agenda 100%\\agenda";
    const QString marque = bac.racine() + "/lance.txt";

    void SetUp() override
    {
        const QString programme = home + "/Programmes/Mon $Agenda 100%/agenda";
        ecrireFichier(programme, "#!/bin/sh\npwd > '" + marque.toUtf8() + "'\n");
        QFile(programme).setPermissions(QFile(programme).permissions() | QFileDevice::ExeOwner);
        for (const QString& d : {groupe, bureau}) QDir().mkpath(d);
    }

    // The shell link the platform writes for `cible` (drive notation), as an installation's shortcuts are made.
    QByteArray lien(const QString& cible)
    {
        p.AjouterDocumentRecent(cible);
        return lireFichier(p.VersHote(p.DossierSpecial(8)) + "/" + cible.section('\\', -1) + ".lnk");
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

// The user's own entry is spared; a group's entry, its menus and icon follow the shortcut's last form. Then each
// kind of shortcut in each kind of folder: the entry's keys, a clean validation, the shortcut intact. Outside the
// special folders, and for links that name no file of a drive, no entry and no throw.
TEST_F(Entrees, EntriesFollowTheirShortcutAndSpareTheUsersOwn)
{
    ecrireFichier(bureau + "/Agenda.desktop", "[Desktop Entry]\nType=Application\nName=Mien\nExec=true\n");
    ecrire(bureau + "/Agenda.lnk", lien(programmeLecteur));
    supprimer(bureau + "/Agenda.lnk");
    EXPECT_EQ(cle(bureau + "/Agenda.desktop", "Name"), "Mien");
    const QString e = groupe + "/Agenda.desktop";
    ecrireFichier(applis + "/mimeinfo.cache", "perime");
    ecrire(groupe + "/Agenda.url", url("https://exemple.fr/"));
    EXPECT_EQ(lireFichier(applis + "/mimeinfo.cache"), "[MIME Cache]\n");
    ecrire(groupe + "/Agenda.lnk", lien(programmeLecteur));
    EXPECT_EQ(cle(e, "X-Assistant-Raccourci"), "Agenda.lnk");
    EXPECT_EQ(menus(bac), "Accessoires/ Accessoires\nAccessoires/Mon Jeu-Agenda.desktop\n"
                          "Mon Jeu/ Mon Jeu\nMon Jeu/Mon Jeu-Agenda.desktop\n");
    ecrire(groupe + "/Agenda.lnk", lien(programmeLecteur).left(60));
    EXPECT_FALSE(QFileInfo::exists(e));
    ecrire(groupe + "/Agenda.lnk", lien(programmeLecteur));

    supprimer(groupe + "/Agenda.lnk");
    EXPECT_EQ(QStringList({cle(e, "X-Assistant-Raccourci"), cle(e, "Type")}), QStringList({"Agenda.url", "Link"}));
    supprimer(groupe + "/Agenda.url");
    EXPECT_FALSE(QFileInfo::exists(e));
    EXPECT_FALSE(QFileInfo::exists(home + "/.config/menus"));  // the group's submenu went with its last entry

    // Entries on the desktop are executable; entries share one icon until the last goes.
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
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_ARGB32), image);
    for (const QString& e : {groupe + "/Icone.desktop", home + "/.local/share/favorites/Site.desktop"})
        EXPECT_EQ(cle(e, "Icon"), png) << e.toStdString();
    supprimer(bureau + "/Icone.lnk");
    supprimer(favori);
    EXPECT_FALSE(QFileInfo::exists(eb));
    EXPECT_TRUE(QFileInfo::exists(png));
    supprimer(groupe + "/Icone.lnk");
    EXPECT_FALSE(QFileInfo::exists(png));

    ecrireFichier(home + "/Programmes/Agenda/Aide \"1\".html", "<html></html>");
    const QString tous = bac.racine() + "/sys";
    // Quoted, $ escaped for the quotes and again for the string value, % doubled (so started through env).
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
        // The Internet shortcut left when the shell's link did not come: the program in drive notation.
        {home + "/.config/autostart/Agenda.url", url(chemin, chemin), {"Type=Application", exec}},
        {tous + "/etc/xdg/autostart/Agenda.lnk", lien(programmeLecteur), {"Type=Application", exec}},
        {tous + "/etc/xdg/autostart/Site.url", url("https://exemple.fr/"),
         {"Exec=xdg-open \"https://exemple.fr/\""}},
        {home + "/Programmes/Agenda.lnk", lien(programmeLecteur), {}}, {groupe + "/Vide.url", url(""), {}},
        {home + "/.local/share/recent-links/agenda.lnk", lien(programmeLecteur), {}},
        {bureau + "/Dossier/Agenda.lnk", lien(programmeLecteur), {}}, {groupe + "/Inconnu.lnk", lien("q:\\x.exe"), {}},
        {home + "/.config/autostart/sous/Agenda.lnk", lien(programmeLecteur), {}},
        {home + "/.local/share/Agenda.url", url("https://exemple.fr/"), {}},
        {groupe + "/Bruit.lnk", QByteArray(300, '\x4c'), {}},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.raccourci.toStdString());
        ecrire(c.raccourci, c.octets);
        EXPECT_EQ(lireFichier(c.raccourci), c.octets);
        const QString e = c.raccourci.left(c.raccourci.lastIndexOf('.')) + ".desktop";
        ASSERT_EQ(QFileInfo::exists(e), !c.cles.isEmpty());
        if (c.cles.isEmpty()) continue;
        EXPECT_EQ(sortie(QStandardPaths::findExecutable("desktop-file-validate"), {e}), "");
        for (const QString& kv : c.cles) EXPECT_EQ(cle(e, kv.section('=', 0, 0)), kv.section('=', 1));
    }
    EXPECT_EQ(sortie(QStandardPaths::findExecutable("gio"), {"launch", groupe + "/Agenda.desktop"}), "");
    for (int i = 0; i < 500 && lireFichier(marque).isEmpty(); ++i) QThread::msleep(10);
    EXPECT_EQ(lireFichier(marque).trimmed(), (home + "/Programmes/Mon $Agenda 100%").toUtf8());
}

}  // namespace
