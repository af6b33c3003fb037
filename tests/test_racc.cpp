// Shortcut files: the recent-documents link, links patched from it, Internet shortcuts; the desktop entries
// paired with them in the folders desktops read.
#include "platform/linux_interne.h"
#include "shell/racc.h"
#include "tests/outils.h"
#include "examples/fabrique_icones.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QThread>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace plateforme;

namespace {

// The kept part of a link, patched: a field takes its low byte alone when the value fits, else 32 bits.
QByteArray patche(QByteArray k, int drapeaux, int icone = 0, int affichage = 0)
{
    k[20] = char(drapeaux);
    for (auto [pos, v] : {std::pair{56, icone}, std::pair{60, affichage}})
        for (int i = 0; i < (v >= 0 && v <= 255 ? 1 : 4); ++i) k[pos + i] = char(std::uint32_t(v) >> (8 * i));
    return k;
}

// One string of the link's string data: 16-bit length, then the bytes.
QByteArray chaine(const QByteArray& s) { return QByteArray(1, char(s.size())) + char(s.size() >> 8) + s; }

// An Internet shortcut, with its icon's lines when it has one.
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

const QByteArray quatreZeros(4, '\0');
const QByteArray urlAgenda = url("c:\\Programmes\\Agenda\\Agenda.exe", "c:\\Programmes\\Agenda\\Agenda.exe");

// A test home with a program to point at and a folder for the shortcuts.
struct Cadre : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;
    const QString cible = "c:\\Programmes\\Agenda\\Agenda.exe";
    const QString recents = bac.home() + "/.local/share/recent-links", menu = bac.home() + "/Menu";

    void SetUp() override { monter(PlateformeTest::configurationDans(bac.racine())); }
    void monter(const Configuration& c)
    {
        w.reset();
        p = std::make_unique<PlateformeTest>(c);
        w = std::make_unique<Install>(*p);
        ecrireFichier(bac.home() + "/Programmes/Agenda/Agenda.exe", QByteArray(1234, 'M'));
        QDir().mkpath(menu);
    }
    QByteArray creer(const QString& args, const QString& travail, int index, const QString& icone, int affichage)
    {
        Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, args, travail, std::int16_t(index), icone,
                             std::int16_t(affichage));
        return lireFichier(menu + "/Agenda.lnk");
    }
};

// The recent-documents service's link, the links patched from it, Internet shortcuts, and a link dropped by hand.
TEST_F(Cadre, ServiceLiensPatchesEtDeposes)
{
    // A service that cannot write (its folder is a file) is told, in the test's only box; its link, in
    // Windows-1252, replaces one under another case.
    ecrireFichier(recents, "x");
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_TRUE(QDir(menu).isEmpty());
    QFile::remove(recents);
    const QString g = recents + QString::fromUtf8("/CARNET D'ÉTÉ.TXT.lnk");
    ecrireFichier(g, "ancien");
    ASSERT_EQ(p->AjouterDocumentRecent(QString::fromUtf8("c:\\Données\\Carnet d'été.txt")), 1);
    EXPECT_EQ(lnkinfo(g)["Local path"], QString::fromUtf8("C:\\Données\\Carnet d'été.txt"));
    EXPECT_EQ(QDir(recents).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // The service's link less its description (length, zero, name) and terminal block, header patched,
    // then the strings; an index without icon file takes the target as icon, a negative one none.
    ASSERT_EQ(p->AjouterDocumentRecent(cible), 1);
    const QByteArray shell = lireFichier(recents + "/Agenda.exe.lnk");
    const QByteArray k = shell.left(shell.size() - 4 - 2 - 10), longs(300, 'a'), c8 = cible.toLatin1();
    const QString dossier = "c:\\Programmes\\Agenda";
    const struct { QString args, travail; int index; QString icone; int affichage; QByteArray attendu; } cas[] = {
        {"", "", 0, "", 0, patche(k, 3)},
        {QString::fromUtf8("/mode:été"), dossier, 2, "", 3,
         patche(k, 3 + 16 + 32 + 64, 2, 3) + chaine(dossier.toLatin1()) + chaine("/mode:\xe9t\xe9") + chaine(c8)},
        {"", "", 0, "c:\\x.ico", 0, patche(k, 3 + 64) + chaine("c:\\x.ico")},
        {"-x", "", -1, "", 7, patche(k, 3 + 32, -1, 7) + chaine("-x")},
        {QString::fromLatin1(longs), "", 300, "", 256, patche(k, 3 + 32 + 64, 300, 256) + chaine(longs) + chaine(c8)},
    };
    ecrireFichier(menu + "/Agenda.lnk", QByteArray(5000, 'Z'));  // an earlier, longer link leaves nothing
    for (const auto& c : cas) {
        EXPECT_EQ(creer(c.args, c.travail, c.index, c.icone, c.affichage), c.attendu + quatreZeros) << c.index;
        const auto champs = lnkinfo(menu + "/Agenda.lnk");
        EXPECT_EQ(QStringList({champs["Local path"], champs["Working directory"], champs["Command line arguments"]}),
                  QStringList({"C:\\Programmes\\Agenda\\Agenda.exe", c.travail, c.args}));
    }
    EXPECT_FALSE(QFileInfo::exists(recents + "/Agenda.exe.lnk"));  // the service's link goes

    // Too long for the length field: the Internet shortcut instead.
    Racc::CreerRaccourci(*w, "c:\\Menu", "Long", cible, QString(70000, 'b'), "", 0, "", 0);
    EXPECT_FALSE(QFileInfo::exists(menu + "/Long.lnk"));
    EXPECT_EQ(lireFichier(menu + "/Long.url"), urlAgenda);
    // A drive root as the folder.
    Racc::CreerRaccourci(*w, "c:", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_EQ(lireFichier(bac.home() + "/Agenda.lnk"), patche(k, 3) + quatreZeros);
    // Letters Windows-1252 lacks: whole in the link information's Unicode fields, which lnkinfo reads; the tail scan
    // still keeps the link up to the end of the link information.
    for (const char* u : {"c:\\Programy\\Żółw\\agenda", "c:\\Программы\\Агенда\\agenda"}) {
        const QString c = QString::fromUtf8(u);
        ecrireFichier(p->VersHote(c), "x");
        Racc::CreerRaccourci(*w, "c:\\Menu", "Unicode", c, "", "", 0, "", 0);
        const QByteArray l = lireFichier(menu + "/Unicode.lnk");
        const qsizetype info = 78 + (quint8(l[76]) | quint8(l[77]) << 8);
        EXPECT_EQ(l.size(), info + (quint8(l[info]) | quint8(l[info + 1]) << 8) + 4) << u;
        EXPECT_EQ(interne::cibleLien(l), "C" + c.mid(1));
        EXPECT_EQ(lnkinfo(menu + "/Unicode.lnk")["Local path"], "C" + c.mid(1));
    }

    // Exact Windows-1252 lines, the icon's only with a file; a missing folder throws, none writes nothing.
    Racc::CreerRaccourciUrl(*p, "c:\\Menu", "Site", QString::fromUtf8("http://exemple.org/été"), "c:\\i.ico", 12);
    EXPECT_EQ(lireFichier(menu + "/Site.url"), "[InternetShortcut]\r\nURL=http://exemple.org/\xe9t\xe9\r\n"
                                               "IconFile=c:\\i.ico\r\nIconIndex=12\r\n");
    Racc::CreerRaccourciUrl(*p, "c:\\Menu\\", "Site", "u", "", 5);
    EXPECT_EQ(lireFichier(menu + "/Site.url"), "[InternetShortcut]\r\nURL=u\r\n");
    // Letters it lacks: an address in ASCII (same address), a path with "?", both whole again in UTF-7 in the section
    // Windows adds for them. An address's control characters as %XX; a path with a line end is refused, not cut.
    const QString tortue = QString::fromUtf8("c:\\Programy\\Żółw\\agenda");
    for (const auto& [adresse, icone, attendu] : {
             std::tuple{QString::fromUtf8("https://żółw.pl/ścieżka"), QString(),
                        QByteArray("[InternetShortcut]\r\nURL=https://xn--w-uga1v8h.pl/%C5%9Bcie%C5%BCka\r\n"
                                   "[InternetShortcut.W]\r\nURL=https://+AXwA8wFC-w.pl/+AVs-cie+AXw-ka\r\n")},
             {"https://exemple.fr/a\nb\r\x7f", "", "[InternetShortcut]\r\nURL=https://exemple.fr/a%0Ab%0D%7F\r\n"},
             {tortue, tortue,
              "[InternetShortcut]\r\nURL=c:\\Programy\\?\xf3?w\\agenda\r\nIconFile=c:\\Programy\\?\xf3?w\\agenda\r\n"
              "IconIndex=0\r\n[InternetShortcut.W]\r\nURL=c:+AFw-Programy+AFwBewDzAUI-w+AFw-agenda\r\n"
              "IconFile=c:+AFw-Programy+AFwBewDzAUI-w+AFw-agenda\r\n"}}) {
        Racc::CreerRaccourciUrl(*p, "c:\\Menu", "Unicode", adresse, icone);
        EXPECT_EQ(lireFichier(menu + "/Unicode.url"), attendu);
    }
    EXPECT_EQ(echec([&] { Racc::CreerRaccourciUrl(*p, "c:\\Menu", "Deux", "c:\\a\nb"); }).numero, ErrAcces);
    EXPECT_THROW(Racc::CreerRaccourciUrl(*p, "c:\\Absent", "Site", "u"), Erreur);
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Absent"));
    Racc::CreerRaccourciUrl(*p, "", "Site", "u");
    EXPECT_FALSE(QFileInfo::exists(bac.support() + "/Site.url"));
    EXPECT_EQ(p->boites, Boites({{QString::fromUtf8("Erreur de création du raccourci."), 16, "Raccourci"}}));

    // Recent documents outside every drive: the wizard looks for "\" + name on the installer's drive.
    QDir(menu).removeRecursively();
    auto c = PlateformeTest::configurationDans(bac.racine());
    c.xdgDataHome = bac.racine() + "/ailleurs";
    monter(c);
    ASSERT_EQ(p->DossierSpecial(8), "");
    p->pasHorloge = 1e-5;
    const QString depose = bac.support() + "/Agenda.exe.lnk";
    // No link, an empty one (left) or one kept to two bytes: the fallback, no link but an Internet shortcut to the
    // target and a beep; the first two after waiting 5e-5 of a day for the link, the last at once.
    for (int bips = 1; bips <= 3; ++bips) {
        if (bips > 1) ecrireFichier(depose, bips == 2 ? QByteArray() : QByteArray(100, 'C') + quatreZeros);
        const double debut = p->horloge;
        Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
        EXPECT_TRUE(p->horloge - debut < 8e-5 && (p->horloge - debut > 5e-5) == (bips < 3)) << bips;
        EXPECT_EQ(w->Lfic->text(), "Raccourci Url");
        EXPECT_EQ(p->bips, bips);
        EXPECT_TRUE(p->boites.empty());
        EXPECT_FALSE(QFileInfo::exists(menu + "/Agenda.lnk"));
        EXPECT_EQ(lireFichier(menu + "/Agenda.url"), urlAgenda);
        if (bips == 2) EXPECT_TRUE(QFileInfo::exists(depose));
    }
    // Taken at once; the tail scan starts at the pair (L-5, L-4), a zero pair there ending the kept part.
    const double debut = p->horloge;
    const QByteArray a = QByteArray(115, 'A') + QByteArray(5, '\0');
    ecrireFichier(depose, a);
    EXPECT_EQ(creer("", "c:\\T", 0, "", 1), patche(a.left(117), 3 + 16, 0, 1) + chaine("c:\\T") + quatreZeros);
    EXPECT_TRUE(QFileInfo::exists(depose));   // taken, but never deleted from a drive's root: nobody knows whose it is
    EXPECT_LT(p->horloge - debut, 5e-5);      // at once: no wait ran out
    // The last zero pair lies further back; later single zeros do not count.
    QByteArray b(200, 'B');
    b[90] = b[91] = b[100] = b[150] = 0;
    b[196] = b[197] = b[198] = b[199] = 0;
    ecrireFichier(depose, b);
    EXPECT_EQ(creer("", "", 0, "", 0), patche(b.left(92), 3) + quatreZeros);
}

// Desktop entries on the same home, for a program with characters to quote in its path, writing its working
// directory into `marque`, and for programs in folders with letters Windows-1252 lacks. The shortcut files go below
// W/liens, their entries into the folders desktops read.
struct Entrees : Cadre {
    QString home = bac.home();
    QString applis = home + "/.local/share/applications";
    QString groupe = applis + "/Mon Jeu";
    QString bureau = home + "/Desktop";
    QString liens = home + "/.local/share/assistant-installation/liens", tous = bac.racine() + "/sys";
    QString liensTous = tous + "/usr/local/share/assistant-installation/liens";
    QString lgroupe = liens + "/Programmes/Mon Jeu", lbureau = liens + "/Bureau";
    const QString programmeLecteur = "c:\\Programmes\\Mon $Agenda 100%\\agenda";
    const QString marque = bac.racine() + "/lance.txt";

    void SetUp() override
    {
        Cadre::SetUp();
        for (const char* dossier : {"Programmes/Mon $Agenda 100%", "Programy/Żółw", "Программы/Агенда"}) {
            const QString programme = home + "/" + QString::fromUtf8(dossier) + "/agenda";
            ecrireFichier(programme, "#!/bin/sh\npwd > '" + marque.toUtf8() + "'\n");
            QFile(programme).setPermissions(QFile(programme).permissions() | QFileDevice::ExeOwner);
        }
        for (const QString& d : {lgroupe, lbureau}) QDir().mkpath(d);
    }

    // The shell link the platform writes for `vers` (drive notation), as an installation's shortcuts are made.
    QByteArray lien(const QString& vers)
    {
        p->AjouterDocumentRecent(vers);
        return lireFichier(recents + "/" + vers.section('\\', -1) + ".lnk");
    }
    void ecrire(const QString& hote, const QByteArray& octets)
    {
        ecrireFichier(hote, octets);
        p->raccourciEcrit(hote);
    }
    void supprimer(const QString& hote)
    {
        ASSERT_TRUE(QFile::remove(hote));
        p->raccourciSupprime(hote);
    }
};

// The user's own entry is spared, and so is one of ours from another shortcut, while an earlier version's is taken
// over; a group's entry, its menus, its
// folder and icon follow the shortcut's last form. Then each kind of shortcut in each kind of folder: the entry's
// keys, a clean validation, the shortcut intact. Outside the folders of the links, and for links that name no file
// of a drive, no entry and no throw.
TEST_F(Entrees, EntriesFollowTheirShortcutAndSpareTheUsersOwn)
{
    ecrireFichier(bureau + "/Agenda.desktop", "[Desktop Entry]\nType=Application\nName=Mien\nExec=true\n");
    ecrire(lbureau + "/Agenda.lnk", lien(programmeLecteur));
    supprimer(lbureau + "/Agenda.lnk");
    EXPECT_EQ(cle(bureau + "/Agenda.desktop", "Name"), "Mien");
    // An earlier version's entry, its link beside it and named alone by its mark: both give way.
    ecrireFichier(bureau + "/Vieux.desktop", "[Desktop Entry]\nName=Vieux\nX-Assistant-Raccourci=Vieux.lnk\n");
    ecrireFichier(bureau + "/Vieux.lnk", lien(programmeLecteur));
    ecrire(lbureau + "/Vieux.lnk", lien(programmeLecteur));
    EXPECT_EQ(cle(bureau + "/Vieux.desktop", "X-Assistant-Raccourci"), "Bureau/Vieux.lnk");
    EXPECT_FALSE(QFileInfo::exists(bureau + "/Vieux.lnk"));
    supprimer(lbureau + "/Vieux.lnk");
    ecrire(liens + "/Programmes/Agenda.lnk", lien(programmeLecteur));
    ecrire(liens + "/Favoris/Agenda.url", url("https://exemple.fr/"));
    supprimer(liens + "/Favoris/Agenda.url");
    EXPECT_EQ(cle(applis + "/Agenda.desktop", "X-Assistant-Raccourci"), "Programmes/Agenda.lnk");
    supprimer(liens + "/Programmes/Agenda.lnk");
    EXPECT_FALSE(QFileInfo::exists(applis + "/Agenda.desktop"));

    const QString e = groupe + "/Agenda.desktop";
    ecrireFichier(applis + "/mimeinfo.cache", "perime");
    ecrire(lgroupe + "/Agenda.url", url("https://exemple.fr/"));
    EXPECT_EQ(lireFichier(applis + "/mimeinfo.cache"), "[MIME Cache]\n");
    ecrire(lgroupe + "/Agenda.lnk", lien(programmeLecteur));
    EXPECT_EQ(cle(e, "X-Assistant-Raccourci"), "Programmes/Mon Jeu/Agenda.lnk");
    EXPECT_EQ(menus(bac), "Accessoires/ Accessoires\nAccessoires/Mon Jeu-Agenda.desktop\n"
                          "Mon Jeu/ Mon Jeu\nMon Jeu/Mon Jeu-Agenda.desktop\n");
    ecrire(lgroupe + "/Agenda.lnk", lien(programmeLecteur).left(60));
    EXPECT_FALSE(QFileInfo::exists(e));
    ecrire(lgroupe + "/Agenda.lnk", lien(programmeLecteur));

    supprimer(lgroupe + "/Agenda.lnk");
    EXPECT_EQ(QStringList({cle(e, "X-Assistant-Raccourci"), cle(e, "Exec")}),
              QStringList({"Programmes/Mon Jeu/Agenda.url", "xdg-open \"https://exemple.fr/\""}));
    supprimer(lgroupe + "/Agenda.url");
    EXPECT_FALSE(QFileInfo::exists(groupe));  // the group's folder and submenu went with its last entry
    EXPECT_FALSE(QFileInfo::exists(home + "/.config/menus"));

    // Entries on the desktop are executable; entries share one icon until the last goes.
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ecrireFichier(home + "/Programmes/Agenda/agenda.ico", fabrique::fichierIco({fabrique::imageDib(image, 32)}));
    const QString favori = liens + "/Favoris/Site.url";
    ecrire(lbureau + "/Icone.lnk", lien("c:\\Programmes\\Agenda\\agenda.ico"));
    ecrire(lgroupe + "/Icone.lnk", lien("c:\\Programmes\\Agenda\\agenda.ico"));
    ecrire(favori, url("https://exemple.fr/", "c:\\Programmes\\Agenda\\agenda.ico"));
    const QString eb = bureau + "/Icone.desktop", nom = cle(eb, "Icon");
    const QString png = home + "/.local/share/icons/hicolor/32x32/apps/" + nom + ".png";
    EXPECT_TRUE(QFileInfo(eb).isExecutable());
    EXPECT_TRUE(nom.startsWith("assistant-agenda-")) << nom.toStdString();
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_ARGB32), image);
    for (const QString& e : {groupe + "/Icone.desktop", applis + "/Site.desktop"})
        EXPECT_EQ(cle(e, "Icon"), nom) << e.toStdString();
    supprimer(lbureau + "/Icone.lnk");
    supprimer(favori);
    EXPECT_FALSE(QFileInfo::exists(eb));
    EXPECT_TRUE(QFileInfo::exists(png));
    supprimer(lgroupe + "/Icone.lnk");
    EXPECT_FALSE(QFileInfo::exists(home + "/.local/share/icons"));  // its file and the folders made for it

    ecrireFichier(home + "/Programmes/Agenda/Aide \"1\".html", "<html></html>");
    // Quoted, $ escaped for the quotes and again for the string value, % doubled (so started through env).
    const QString exec = "Exec=env \"" + home + "/Programmes/Mon \\\\$Agenda 100%%/agenda\"";
    const QByteArray chemin = QStringEncoder("windows-1252")(programmeLecteur);
    const QString tortue = QString::fromUtf8("c:\\Programy\\Żółw\\agenda");
    const struct { QString raccourci, entree; QByteArray octets; QStringList cles; } cas[] = {
        {lgroupe + "/Agenda.lnk", groupe + "/Agenda.desktop", lien(programmeLecteur),
         {"Version=1.0", "Type=Application", "Name=Agenda", exec, "Path=" + home + "/Programmes/Mon $Agenda 100%",
          "Categories=Utility;", "X-Assistant-Raccourci=Programmes/Mon Jeu/Agenda.lnk"}},
        // A document opens with the desktop's default application.
        {lgroupe + "/Aide de Mon Jeu.lnk", groupe + "/Aide de Mon Jeu.desktop",
         lien("C:\\Programmes\\Agenda\\Aide \"1\".html"),
         {"Type=Application", "Name=Aide de Mon Jeu", "Path=<absent>",
          "Exec=xdg-open \"" + home + "/Programmes/Agenda/Aide \\\\\"1\\\\\".html\""}},
        // Letters Windows-1252 lacks, in the program's folders.
        {lgroupe + QString::fromUtf8("/Żółw.lnk"), groupe + QString::fromUtf8("/Żółw.desktop"), lien(tortue),
         {QString::fromUtf8("Name=Żółw"), "Exec=\"" + home + QString::fromUtf8("/Programy/Żółw/agenda\"")}},
        {lbureau + QString::fromUtf8("/Агенда.lnk"), bureau + QString::fromUtf8("/Агенда.desktop"),
         lien(QString::fromUtf8("c:\\Программы\\Агенда\\agenda")),
         {"Exec=\"" + home + QString::fromUtf8("/Программы/Агенда/agenda\""),
          QString::fromUtf8("X-Assistant-Raccourci=Bureau/Агенда.lnk")}},
        // A favourite is in the menus, opening its address (as a URI) in the browser.
        {liens + "/Favoris/Site.url", applis + "/Site.desktop", url("https://exemple.fr/caf\xe9?a=1&b=%20"),
         {"Type=Application", "Name=Site", "Exec=xdg-open \"https://exemple.fr/caf%%C3%%A9?a=1&b=%%20\"",
          "Icon=text-html", "Categories=Network;", "X-Assistant-Raccourci=Favoris/Site.url"}},
        {liensTous + "/Favoris/Site.url", tous + "/usr/local/share/applications/Site.desktop", url("www.exemple.fr"),
         {"Type=Application", "Exec=xdg-open \"http://www.exemple.fr\"", "X-Assistant-Raccourci=Favoris/Site.url"}},
        // Its address whole in the Unicode section: the domain's letters, which the other line lost.
        {liens + "/Favoris/IDN.url", applis + "/IDN.desktop",
         url("https://?\xf3?w.pl/") + "[InternetShortcut.W]\r\nURL=https://+AXwA8wFC-w.pl/\r\n",
         {"Exec=xdg-open \"https://xn--w-uga1v8h.pl/\""}},
        // The Internet shortcut left when the shell's link did not come: the program in drive notation.
        {liens + "/Demarrage/Agenda.url", home + "/.config/autostart/Agenda.desktop", url(chemin, chemin),
         {"Type=Application", exec}},
        {liensTous + "/Demarrage/Agenda.lnk", tous + "/etc/xdg/autostart/Agenda.desktop", lien(programmeLecteur),
         {"Type=Application", exec}},
        {liensTous + "/Demarrage/Site.url", tous + "/etc/xdg/autostart/Site.desktop", url("https://exemple.fr/"),
         {"Exec=xdg-open \"https://exemple.fr/\""}},
        {home + "/Programmes/Agenda.lnk", "", lien(programmeLecteur), {}}, {lgroupe + "/Vide.url", "", url(""), {}},
        {home + "/.local/share/recent-links/agenda.lnk", "", lien(programmeLecteur), {}},
        {lbureau + "/Dossier/Agenda.lnk", "", lien(programmeLecteur), {}},
        {lgroupe + "/Inconnu.lnk", "", lien("q:\\x.exe"), {}},
        {liens + "/Demarrage/sous/Agenda.lnk", "", lien(programmeLecteur), {}},
        {home + "/.local/share/Agenda.url", "", url("https://exemple.fr/"), {}},
        {liensTous + "/Bureau/Agenda.lnk", "", lien(programmeLecteur), {}},
        {applis + "/Agenda.lnk", "", lien(programmeLecteur), {}},  // where links went before
        {lgroupe + "/Bruit.lnk", "", QByteArray(300, '\x4c'), {}},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.raccourci.toStdString());
        static const QRegularExpression entree(QStringLiteral("\\.desktop$"));
        const QStringList avant = arbre(bac.racine()).keys().filter(entree);
        ecrire(c.raccourci, c.octets);
        EXPECT_EQ(lireFichier(c.raccourci), c.octets);
        if (c.cles.isEmpty()) EXPECT_EQ(arbre(bac.racine()).keys().filter(entree), avant);
        if (c.cles.isEmpty() || !QFileInfo::exists(c.entree)) continue;
        EXPECT_EQ(sortie(QStandardPaths::findExecutable("desktop-file-validate"), {c.entree}), "");
        for (const QString& kv : c.cles) EXPECT_EQ(cle(c.entree, kv.section('=', 0, 0)), kv.section('=', 1));
    }
    EXPECT_EQ(sortie(QStandardPaths::findExecutable("gio"), {"launch", groupe + "/Agenda.desktop"}), "");
    for (int i = 0; i < 500 && lireFichier(marque).isEmpty(); ++i) QThread::msleep(10);
    EXPECT_EQ(lireFichier(marque).trimmed(), (home + "/Programmes/Mon $Agenda 100%").toUtf8());

    // Names with control characters: each entry's mark names its shortcut exactly; the group's merge file stays
    // well-formed, without the entries whose identifiers XML cannot carry, and a group whose name it cannot carry
    // gets none.
    const QString jeux = QString::fromUtf8("Jeux <&> \"é\""), bip = jeux + "/Bip\x07.lnk";
    for (const QString& l : {jeux + "/Agenda.lnk", bip, jeux + "/Sous\x01/Agenda.lnk", QString("Mon\x02Jeu/A.lnk")})
        ecrire(liens + "/Programmes/" + l, lien(programmeLecteur));
    EXPECT_EQ(interne::lireEntree(applis + "/" + jeux + "/Bip\x07.desktop").source, "Programmes/" + bip);
    const QDir fusion(home + "/.config/menus/applications-merged");
    const QStringList menusJeux = fusion.entryList({"assistant-jeux-*"});
    ASSERT_TRUE(fusion.entryList(QDir::Files).size() == 2 && menusJeux.size() == 1);  // Mon Jeu's and this one's
    QXmlStreamReader xml(lireFichier(fusion.filePath(menusJeux[0])));
    QStringList textes;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && (xml.name() == u"Name" || xml.name() == u"Filename"))
            textes << xml.readElementText();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(textes, QStringList({"Applications", jeux, jeux + "-Agenda.desktop"}));
    supprimer(liens + "/Programmes/" + bip);
    EXPECT_FALSE(QFileInfo::exists(applis + "/" + jeux + "/Bip\x07.desktop"));
}

// A picture beside a program is installed at every size it has, under one theme name that the desktop's lookup
// finds (pyxdg's, asked at 48 pixels); a later picture of the same program leaves no size of the earlier one, nor
// the PNG an earlier version wrote. The theme's icon cache follows; the user's own icon under a name that our
// entries give (the help's) stays.
TEST_F(Entrees, IconesATouteTaille)
{
    const QString theme = home + "/.local/share/icons/hicolor", dossier = home + "/Programmes/Agenda/";
    auto png = [](int cote) { return fabrique::imagePng(QImage(cote, cote, QImage::Format_ARGB32)).donnees; };
    ecrireFichier(theme + "/48x48/apps/text-html.png", "mien");
    ASSERT_EQ(sortie("gtk-update-icon-cache", {"--quiet", "--ignore-theme-index", theme}), "");
    ecrireFichier(dossier + "meteo", "#!/bin/sh\n");
    QFile(dossier + "meteo").setPermissions(QFile(dossier + "meteo").permissions() | QFileDevice::ExeOwner);
    // The entry and PNG of an earlier version, which named the icon by its path.
    const QString ancienne = theme + "/32x32/apps/aide-0123456789.png";
    ecrireFichier(ancienne, png(32));
    ecrireFichier(groupe + "/Aide.desktop",
                  "[Desktop Entry]\nIcon=" + ancienne.toUtf8() + "\nX-Assistant-Raccourci=Programmes/Mon Jeu/Aide.lnk\n");
    ecrireFichier(dossier + "Aide.html", "<html></html>");
    ecrire(lgroupe + "/Aide.lnk", lien("c:\\Programmes\\Agenda\\Aide.html"));
    EXPECT_FALSE(QFileInfo::exists(ancienne));
    // The picture, the sizes installed, the one that holds it as it is, the one found at 48.
    const struct { const char* voisine; QByteArray octets; QStringList tailles; QString propre, a48; } cas[] = {
        {"meteo.png", png(300), {"128x128", "256x256", "300x300", "48x48", "64x64"}, "300x300", "48x48"},
        {"meteo.png", png(32), {"32x32"}, "32x32", "32x32"},
        {"meteo.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8'><rect width='8' height='8'/></svg>",
         {"scalable"}, "scalable", "scalable"},
    };
    QString nom;
    for (const auto& c : cas) {
        SCOPED_TRACE(c.tailles.join(' ').toStdString());
        ecrireFichier(dossier + c.voisine, c.octets);
        ecrire(lbureau + "/Meteo.lnk", lien("c:\\Programmes\\Agenda\\meteo"));
        nom = cle(bureau + "/Meteo.desktop", "Icon");
        QStringList tailles;
        for (const QString& t : QDir(theme).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (!QDir(theme + "/" + t + "/apps").entryList({nom + ".*"}).isEmpty()) tailles << t;
        EXPECT_EQ(tailles, c.tailles);
        const QString fichier = "/apps/" + nom + "." + QFileInfo(c.voisine).suffix();
        EXPECT_EQ(lireFichier(theme + "/" + c.propre + fichier), c.octets);
        if (c.tailles.size() > 1) EXPECT_EQ(QImage(theme + "/48x48" + fichier).size(), QSize(48, 48));
        const char* chercher = "import sys; from xdg.IconTheme import getIconPath; print(getIconPath(sys.argv[1], 48))";
        EXPECT_EQ(sortie("/usr/bin/python3", {"-c", chercher, nom},
                         {{"XDG_DATA_HOME", home + "/.local/share"}, {"XDG_DATA_DIRS", "/usr/share"}}),
                  theme + "/" + c.a48 + fichier + "\n");
        EXPECT_TRUE(lireFichier(theme + "/icon-theme.cache").contains(nom.toUtf8()));
        QFile::remove(dossier + c.voisine);
    }
    supprimer(lbureau + "/Meteo.lnk");
    supprimer(lgroupe + "/Aide.lnk");
    EXPECT_FALSE(lireFichier(theme + "/icon-theme.cache").contains(nom.toUtf8()));
    EXPECT_EQ(arbre(theme).keys(), QStringList({"/48x48", "/48x48/apps", "/48x48/apps/text-html.png",
                                                "/icon-theme.cache"}));
}

}  // namespace
