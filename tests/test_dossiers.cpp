// Special folders by CSIDL number on a home of the test's own.
#include "tests/outils.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

bool estRepertoire(const QString& hote) { return QFileInfo(hote).isDir(); }

TEST(DossierSpecial, DossiersDeLUtilisateurCreesALaDemande)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    const QString h = bac.home();
    struct Cas { int csidl; const char* lecteur; const char* hote; };
    const Cas cas[] = {
        {0, "c:\\Desktop", "/Desktop"},
        {16, "c:\\Desktop", "/Desktop"},
        {2, "c:\\.local\\share\\applications", "/.local/share/applications"},
        {6, "c:\\.local\\share\\favorites", "/.local/share/favorites"},
        {7, "c:\\.config\\autostart", "/.config/autostart"},
        {8, "c:\\.local\\share\\recent-links", "/.local/share/recent-links"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.csidl);
        EXPECT_EQ(p.DossierSpecial(c.csidl), QString::fromLatin1(c.lecteur));
        EXPECT_TRUE(estRepertoire(h + QString::fromLatin1(c.hote)));
        // A second lookup finds the folder made by the first.
        EXPECT_EQ(p.DossierSpecial(c.csidl), QString::fromLatin1(c.lecteur));
    }
}

TEST(DossierSpecial, DossiersCommunsJamaisCrees)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    EXPECT_EQ(p.DossierSpecial(23), "z:\\usr\\local\\share\\applications");
    EXPECT_EQ(p.DossierSpecial(24), "z:\\etc\\xdg\\autostart");
    EXPECT_EQ(p.DossierSpecial(31), "z:\\usr\\local\\share\\favorites");
    const QString sys = bac.racine() + "/sys";
    EXPECT_FALSE(QFileInfo::exists(sys + "/usr/local/share/applications"));
    EXPECT_FALSE(QFileInfo::exists(sys + "/etc/xdg/autostart"));
    EXPECT_FALSE(QFileInfo::exists(sys + "/usr/local/share/favorites"));
}

TEST(DossierSpecial, SansDossierLaReponseEstVide)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    for (int n : {25, 1, 3, 5, 9, 26, 35, -1, 1000})
        EXPECT_EQ(p.DossierSpecial(n), "") << n;
    // Nothing was made for them.
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Desktop"));
}

TEST(DossierSpecial, BureauDeXdgUserDirs)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    const QString fichier = bac.home() + "/.config/user-dirs.dirs";
    ecrireFichier(fichier, "# written by xdg-user-dirs-update\n"
                           "XDG_DOWNLOAD_DIR=\"$HOME/T\xc3\xa9l\xc3\xa9" "chargements\"\n"
                           "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    EXPECT_EQ(p.DossierSpecial(0), "c:\\Bureau");
    EXPECT_EQ(p.DossierSpecial(16), "c:\\Bureau");
    EXPECT_TRUE(estRepertoire(bac.home() + "/Bureau"));
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Desktop"));

    // An absolute path, with a space and an accent.
    ecrireFichier(fichier, QString("XDG_DESKTOP_DIR=\"" + bac.home() + "/Mon Bureau \xc3\xa9t\xc3\xa9/\"\n").toUtf8());
    EXPECT_EQ(p.DossierSpecial(0), QString::fromUtf8("c:\\Mon Bureau été"));
    EXPECT_TRUE(estRepertoire(bac.home() + QString::fromUtf8("/Mon Bureau été")));

    // The home itself: a drive root, without its backslash.
    ecrireFichier(fichier, "XDG_DESKTOP_DIR=\"$HOME/\"\n");
    EXPECT_EQ(p.DossierSpecial(0), "c:");

    // A relative path is not allowed by xdg-user-dirs: the default is used.
    ecrireFichier(fichier, "XDG_DESKTOP_DIR=\"Bureau\"\n");
    EXPECT_EQ(p.DossierSpecial(16), "c:\\Desktop");
}

TEST(DossierSpecial, DossierImpossibleACreer)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    // A file stands where the data folder should be.
    ecrireFichier(bac.home() + "/.local/share", "x");
    EXPECT_EQ(p.DossierSpecial(2), "");
    EXPECT_EQ(p.DossierSpecial(8), "");
    EXPECT_EQ(p.DossierSpecial(7), "c:\\.config\\autostart");
}

TEST(DossierSpecial, DossierHorsDesLecteurs)
{
    Bac bac;
    QTemporaryDir ailleurs;
    auto c = PlateformeTest::configurationDans(bac.racine());
    c.xdgDataHome = ailleurs.path() + "/share";
    c.xdgConfigDir = ailleurs.path() + "/xdg";
    PlateformeTest p(c);
    EXPECT_EQ(p.DossierSpecial(8), "");
    EXPECT_EQ(p.DossierSpecial(24), "");
    EXPECT_EQ(p.DossierSpecial(7), "c:\\.config\\autostart");
}

}  // namespace
