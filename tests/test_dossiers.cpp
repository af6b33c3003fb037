// Special folders by CSIDL number on a home of the test's own.
#include "tests/outils.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// 25, unknown numbers and a folder that cannot be made answer "" and make nothing, without affecting the
// others. The desktop comes from xdg-user-dirs, under $HOME or absolute; the home itself is the bare drive; a
// relative path gets the default (last, as it makes it). Per-user folders (c:) are made on demand, all-users
// folders (z:) never.
TEST(DossierSpecial, ChaqueNumero)
{
    Bac bac;
    PlateformeTest p{bac.racine()};
    const QString h = bac.home();
    ecrireFichier(h + "/.local/share/recent-links", "x");
    for (int n : {1, 3, 5, 8, 9, 25, 26, 35, -1, 1000}) EXPECT_EQ(p.DossierSpecial(n), "") << n;
    EXPECT_FALSE(QFileInfo::exists(h + "/Desktop"));
    const std::pair<QString, QString> cas[] = {
        {QString::fromUtf8("XDG_VIDEOS_DIR=\"$HOME/Vidéos\"\nXDG_DESKTOP_DIR=\"$HOME/Bureau\""), "c:\\Bureau"},
        {"XDG_DESKTOP_DIR=\"" + h + QString::fromUtf8("/Mon Bureau été/\""), QString::fromUtf8("c:\\Mon Bureau été")},
        {"XDG_DESKTOP_DIR=\"$HOME/\"", "c:"},
        {"XDG_DESKTOP_DIR=\"Bureau\"", "c:\\Desktop"}};
    for (const auto& [ligne, attendu] : cas) {
        SCOPED_TRACE(ligne.toStdString());
        ecrireFichier(h + "/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n" + ligne.toUtf8() + "\n");
        EXPECT_EQ(p.DossierSpecial(0), attendu);
        EXPECT_TRUE(QFileInfo(h + attendu.mid(2).replace('\\', '/')).isDir());
        EXPECT_EQ(QFileInfo::exists(h + "/Desktop"), attendu == "c:\\Desktop");
    }
    for (auto [csidl, lecteur] : {std::pair{16, "c:\\Desktop"}, {2, "c:\\.local\\share\\applications"},
                                  {6, "c:\\.local\\share\\favorites"}, {7, "c:\\.config\\autostart"},
                                  {23, "z:\\usr\\local\\share\\applications"}, {24, "z:\\etc\\xdg\\autostart"},
                                  {31, "z:\\usr\\local\\share\\favorites"}}) {
        EXPECT_EQ(p.DossierSpecial(csidl), lecteur) << csidl;
        EXPECT_EQ(QFileInfo::exists(p.VersHote(lecteur)), lecteur[0] == 'c') << csidl;
    }
}

}  // namespace
