// Special folders by CSIDL number on a home of the test's own.
#include "tests/outils.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// Per-user folders are made on demand, all-users folders never; 25 and
// unknown numbers answer "" and make nothing.
TEST(DossierSpecial, ChaqueNumero)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    for (int n : {1, 3, 5, 9, 26, 35, -1, 1000}) EXPECT_EQ(p.DossierSpecial(n), "") << n;
    struct Cas { int csidl; const char* lecteur; const char* hote; bool cree; };
    const Cas cas[] = {
        {25, "", "/home/Desktop", false},   // first, so that nothing made the desktop yet
        {0, "c:\\Desktop", "/home/Desktop", true},
        {16, "c:\\Desktop", "/home/Desktop", true},
        {2, "c:\\.local\\share\\applications", "/home/.local/share/applications", true},
        {6, "c:\\.local\\share\\favorites", "/home/.local/share/favorites", true},
        {7, "c:\\.config\\autostart", "/home/.config/autostart", true},
        {8, "c:\\.local\\share\\recent-links", "/home/.local/share/recent-links", true},
        {23, "z:\\usr\\local\\share\\applications", "/sys/usr/local/share/applications", false},
        {24, "z:\\etc\\xdg\\autostart", "/sys/etc/xdg/autostart", false},
        {31, "z:\\usr\\local\\share\\favorites", "/sys/usr/local/share/favorites", false},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.csidl);
        EXPECT_EQ(p.DossierSpecial(c.csidl), QString::fromLatin1(c.lecteur));
        EXPECT_EQ(QFileInfo::exists(bac.racine() + QString::fromLatin1(c.hote)), c.cree);
    }
}

TEST(DossierSpecial, BureauDeXdgUserDirs)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    const QString h = bac.home();
    struct Cas { QByteArray ligne; QString attendu; QString dossier; };
    const Cas cas[] = {
        {"XDG_DOWNLOAD_DIR=\"$HOME/T\xc3\xa9l\xc3\xa9" "chargements\"\nXDG_DESKTOP_DIR=\"$HOME/Bureau\"",
         "c:\\Bureau", "/Bureau"},
        // An absolute path, with a space and an accent.
        {("XDG_DESKTOP_DIR=\"" + h + "/Mon Bureau \xc3\xa9t\xc3\xa9/\"").toUtf8(),
         QString::fromUtf8("c:\\Mon Bureau été"), QString::fromUtf8("/Mon Bureau été")},
        // The home itself: a drive root, without its backslash.
        {"XDG_DESKTOP_DIR=\"$HOME/\"", "c:", ""},
        // xdg-user-dirs allows no relative path: the default is used (last,
        // as it makes ~/Desktop).
        {"XDG_DESKTOP_DIR=\"Bureau\"", "c:\\Desktop", "/Desktop"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.ligne.toStdString());
        ecrireFichier(h + "/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n" + c.ligne + "\n");
        EXPECT_EQ(p.DossierSpecial(0), c.attendu);
        EXPECT_TRUE(QFileInfo(h + c.dossier).isDir());
        EXPECT_EQ(QFileInfo::exists(h + "/Desktop"), c.attendu == "c:\\Desktop");
    }
}

// A folder that cannot be made answers ""; the other folders are not
// affected.
TEST(DossierSpecial, DossierImpossibleACreer)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    ecrireFichier(bac.home() + "/.local/share", "x");
    EXPECT_EQ(p.DossierSpecial(2), "");
    EXPECT_EQ(p.DossierSpecial(8), "");
    EXPECT_EQ(p.DossierSpecial(7), "c:\\.config\\autostart");
}

}  // namespace
