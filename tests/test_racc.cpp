// Shortcut files: the recent-documents link, links patched from it, Internet shortcuts.
#include "shell/racc.h"
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFileInfo>
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

const QByteArray quatreZeros(4, '\0');
const QByteArray urlAgenda = "[InternetShortcut]\r\nURL=c:\\Programmes\\Agenda\\Agenda.exe\r\n"
                             "IconFile=c:\\Programmes\\Agenda\\Agenda.exe\r\nIconIndex=0\r\n";

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

    // Exact Windows-1252 lines, the icon's only with a file; a missing folder throws, none writes nothing.
    Racc::CreerRaccourciUrl(*p, "c:\\Menu", "Site", QString::fromUtf8("http://exemple.org/été"), "c:\\i.ico", 12);
    EXPECT_EQ(lireFichier(menu + "/Site.url"), "[InternetShortcut]\r\nURL=http://exemple.org/\xe9t\xe9\r\n"
                                               "IconFile=c:\\i.ico\r\nIconIndex=12\r\n");
    Racc::CreerRaccourciUrl(*p, "c:\\Menu\\", "Site", "u", "", 5);
    EXPECT_EQ(lireFichier(menu + "/Site.url"), "[InternetShortcut]\r\nURL=u\r\n");
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
    EXPECT_FALSE(QFileInfo::exists(depose));  // taken from where it was found
    EXPECT_LT(p->horloge - debut, 5e-5);      // at once: no wait ran out
    // The last zero pair lies further back; later single zeros do not count.
    QByteArray b(200, 'B');
    b[90] = b[91] = b[100] = b[150] = 0;
    b[196] = b[197] = b[198] = b[199] = 0;
    ecrireFichier(depose, b);
    EXPECT_EQ(creer("", "", 0, "", 0), patche(b.left(92), 3) + quatreZeros);
}

}  // namespace
