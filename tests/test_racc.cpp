// Shortcut files: the recent-documents link, links patched from it, and
// Internet shortcuts, checked byte by byte and with a standard link reader.
#include "shell/racc.h"
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace plateforme;

namespace {

struct Lnkinfo {
    int code = -1;
    QString sortie;
};

Lnkinfo lnkinfo(const QString& hote)
{
    QProcess pr;
    pr.setProcessChannelMode(QProcess::MergedChannels);
    pr.start("lnkinfo", {hote});
    pr.waitForFinished(20000);
    return {pr.exitStatus() == QProcess::NormalExit ? pr.exitCode() : -1,
            QString::fromLocal8Bit(pr.readAll())};
}

bool lnkinfoPresent() { return !QStandardPaths::findExecutable("lnkinfo").isEmpty(); }

// The value lnkinfo prints for a field ("Local path : C:\...").
QString champ(const QString& sortie, const QString& nom)
{
    for (const QString& l : sortie.split('\n')) {
        const QString t = l.trimmed();
        if (!t.startsWith(nom)) continue;
        const qsizetype i = t.indexOf(':');
        if (i >= 0 && t.left(i).trimmed() == nom) return t.mid(i + 1).trimmed();
    }
    return {};
}

void verifierLnk(const QString& hote, const QString& chemin)
{
    if (!lnkinfoPresent()) GTEST_SKIP() << "lnkinfo is not installed";
    const Lnkinfo r = lnkinfo(hote);
    EXPECT_EQ(r.code, 0) << r.sortie.toStdString();
    EXPECT_FALSE(r.sortie.contains("Error", Qt::CaseInsensitive)) << r.sortie.toStdString();
    EXPECT_EQ(champ(r.sortie, "Local path"), chemin) << r.sortie.toStdString();
}

std::uint32_t lire32(const QByteArray& b, qsizetype i)
{
    std::uint32_t v = 0;
    for (int n = 3; n >= 0; --n) v = (v << 8) | std::uint8_t(b[i + n]);
    return v;
}

// The kept part of a link patched as the wizard patches it.
QByteArray patche(QByteArray k, int drapeaux, char icone = 0, char affichage = 0)
{
    k[20] = char(drapeaux);
    k[56] = icone;
    k[60] = affichage;
    return k;
}

QByteArray chaine(const QByteArray& s)
{
    return QByteArray(1, char(s.size())) + QByteArray(1, '\0') + s;
}

const QByteArray quatreZeros(4, '\0');

// A test home with a program to point at and a folder for the shortcuts.
struct Cadre : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;
    const QString cible = "c:\\Programmes\\Agenda\\Agenda.exe";
    QString recents() const { return bac.home() + "/.local/share/recent-links"; }
    QString menu() const { return bac.home() + "/Menu"; }

    void SetUp() override { monter(PlateformeTest::configurationDans(bac.racine())); }
    void monter(const Configuration& c)
    {
        w.reset();
        p = std::make_unique<PlateformeTest>(c);
        w = std::make_unique<Install>(*p);
        ecrireFichier(bac.home() + "/Programmes/Agenda/Agenda.exe", QByteArray(1234, 'M'));
        QDir().mkpath(menu());
    }
    // The link the recent-documents service writes for `c`.
    QByteArray lienShell(const QString& c)
    {
        EXPECT_EQ(p->AjouterDocumentRecent(c), 1);
        const QString f = recents() + "/" + Racc::NomFichier(c) + ".lnk";
        const QByteArray b = lireFichier(f);
        QFile::remove(f);
        return b;
    }
    // Where the service's own link ends its link information: before the
    // description (length, zero, name) and the terminal block.
    static qsizetype finInfo(const QByteArray& shell, const QString& nom)
    {
        return shell.size() - 4 - 2 - nom.size();
    }
};

TEST(NomFichier, ApresLeDernierAntislash)
{
    EXPECT_EQ(Racc::NomFichier("C:\\Programmes\\Jeu\\jeu.exe"), "jeu.exe");
    EXPECT_EQ(Racc::NomFichier("jeu.exe"), "jeu.exe");
    EXPECT_EQ(Racc::NomFichier("C:\\Programmes\\"), "");
    EXPECT_EQ(Racc::NomFichier(""), "");
    EXPECT_EQ(Racc::NomFichier("C:/a/b.txt"), "C:/a/b.txt");
    EXPECT_EQ(Racc::NomFichier("\\x"), "x");
    EXPECT_EQ(Racc::NomFichier("a\\\\b"), "b");
}

TEST_F(Cadre, LienDesDocumentsRecents)
{
    ASSERT_EQ(p->AjouterDocumentRecent(cible), 1);
    const QString f = recents() + "/Agenda.exe.lnk";
    const QByteArray b = lireFichier(f);
    ASSERT_GE(b.size(), 76);
    EXPECT_EQ(lire32(b, 0), 0x4Cu);
    EXPECT_EQ(b.mid(4, 16).toHex(), "0114020000000000c000000000000046");
    EXPECT_EQ(lire32(b, 20) & 3u, 3u);
    EXPECT_EQ(lire32(b, 32 + 20), 1234u);   // file size
    EXPECT_EQ(lire32(b, 60), 1u);
    EXPECT_EQ(b.right(4), quatreZeros);
    // The local base path, with a capital drive letter, then an empty suffix.
    EXPECT_TRUE(b.contains(QByteArray("C:\\Programmes\\Agenda\\Agenda.exe\0\0", 33)));
    verifierLnk(f, "C:\\Programmes\\Agenda\\Agenda.exe");

    // A target with an accent and one that does not exist yet.
    const QString autre = QString::fromUtf8("c:\\Données\\Carnet d'été.txt");
    ASSERT_EQ(p->AjouterDocumentRecent(autre), 1);
    const QString g = recents() + QString::fromUtf8("/Carnet d'été.txt.lnk");
    EXPECT_TRUE(lireFichier(g).contains("C:\\Donn\xe9" "es\\Carnet d'\xe9t\xe9.txt"));
    verifierLnk(g, QString::fromUtf8("C:\\Données\\Carnet d'été.txt"));
}

TEST_F(Cadre, ServiceRecentRemplaceSansEgardALaCasse)
{
    ecrireFichier(recents() + "/AGENDA.EXE.lnk", "ancien");
    ASSERT_EQ(p->AjouterDocumentRecent(cible), 1);
    EXPECT_EQ(QDir(recents()).entryList(QDir::Files | QDir::Hidden), QStringList{"AGENDA.EXE.lnk"});
    EXPECT_EQ(lireFichier(recents() + "/AGENDA.EXE.lnk").left(4), QByteArray("\x4c\0\0\0", 4));

    // A folder in the link's place: no link, and the service says so.
    QDir().mkpath(recents() + "/Autre.exe.lnk");
    EXPECT_EQ(p->AjouterDocumentRecent("c:\\Autre.exe"), 0);
    EXPECT_EQ(QDir(recents()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(Cadre, RaccourciSimpleEtLienShellSupprime)
{
    const QByteArray shell = lienShell(cible);
    const QString f = menu() + "/Agenda.lnk";
    // An earlier, longer link of that name leaves nothing behind.
    ecrireFichier(f, QByteArray(5000, 'Z'));
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    const QByteArray b = lireFichier(f);
    const qsizetype k = finInfo(shell, "Agenda.exe");
    EXPECT_EQ(b, patche(shell.left(k), 3) + quatreZeros);
    EXPECT_FALSE(QFileInfo::exists(recents() + "/Agenda.exe.lnk"));
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(p->bips, 0);
    verifierLnk(f, "C:\\Programmes\\Agenda\\Agenda.exe");
}

TEST_F(Cadre, ChainesEtOctetsPatches)
{
    const QByteArray shell = lienShell(cible);
    const qsizetype k = finInfo(shell, "Agenda.exe");
    const QString f = menu() + "/Agenda.lnk";

    // Working directory, arguments and an icon index without icon file:
    // the icon location is the target.
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, QString::fromUtf8("/mode:été"),
                         "c:\\Programmes\\Agenda", 2, "", 3);
    EXPECT_EQ(lireFichier(f), patche(shell.left(k), 3 + 16 + 32 + 64, 2, 3)
                                  + chaine("c:\\Programmes\\Agenda") + chaine("/mode:\xe9t\xe9")
                                  + chaine("c:\\Programmes\\Agenda\\Agenda.exe") + quatreZeros);
    verifierLnk(f, "C:\\Programmes\\Agenda\\Agenda.exe");
    if (lnkinfoPresent()) {
        const QString s = lnkinfo(f).sortie;
        EXPECT_EQ(champ(s, "Working directory"), "c:\\Programmes\\Agenda") << s.toStdString();
        EXPECT_EQ(champ(s, "Command line arguments"), QString::fromUtf8("/mode:été")) << s.toStdString();
        EXPECT_EQ(champ(s, "Icon location"), "c:\\Programmes\\Agenda\\Agenda.exe") << s.toStdString();
    }

    // An icon file alone sets the icon flag with index 0.
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "c:\\x.ico", 0);
    EXPECT_EQ(lireFichier(f), patche(shell.left(k), 3 + 64) + chaine("c:\\x.ico") + quatreZeros);

    // A negative index without icon file stores no icon location.
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "-x", "", -1, "", 7);
    QByteArray attendu = patche(shell.left(k), 3 + 32, char(0xFF), 7);
    attendu[57] = attendu[58] = attendu[59] = char(0xFF);
    EXPECT_EQ(lireFichier(f), attendu + chaine("-x") + quatreZeros);
    verifierLnk(f, "C:\\Programmes\\Agenda\\Agenda.exe");
}

TEST_F(Cadre, ValeursHorsLimites)
{
    const QByteArray shell = lienShell(cible);
    const qsizetype k = finInfo(shell, "Agenda.exe");
    const QString f = menu() + "/Agenda.lnk";
    const QByteArray longs(300, 'a');

    // Indexes beyond a byte take their whole 32-bit field; a long string its
    // whole 16-bit length.
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, QString::fromLatin1(longs), "", 300,
                         "", 256);
    QByteArray attendu = patche(shell.left(k), 3 + 32 + 64, 0x2C, 0x00);
    attendu[57] = 0x01;
    attendu[61] = 0x01;
    attendu += QByteArray("\x2C\x01", 2) + longs;
    attendu += chaine("c:\\Programmes\\Agenda\\Agenda.exe") + quatreZeros;
    EXPECT_EQ(lireFichier(f), attendu);
    verifierLnk(f, "C:\\Programmes\\Agenda\\Agenda.exe");
    if (lnkinfoPresent()) {
        const QString s = lnkinfo(f).sortie;
        EXPECT_EQ(champ(s, "Command line arguments"), QString::fromLatin1(longs)) << s.toStdString();
    }

    // Too long for the length field: the Internet shortcut takes its place.
    Racc::CreerRaccourci(*w, "c:\\Menu", "Long", cible, QString(70000, 'b'), "", 0, "", 0);
    EXPECT_FALSE(QFileInfo::exists(menu() + "/Long.lnk"));
    EXPECT_TRUE(QFileInfo::exists(menu() + "/Long.url"));
    EXPECT_FALSE(QFileInfo::exists(recents() + "/Agenda.exe.lnk"));
}

TEST_F(Cadre, RaccourciALaRacineDUnLecteur)
{
    lienShell(cible);
    Racc::CreerRaccourci(*w, "c:", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(lireFichier(bac.home() + "/Agenda.lnk").left(4), QByteArray("\x4c\0\0\0", 4));
}

TEST_F(Cadre, DossierDeDestinationAbsent)
{
    Racc::CreerRaccourci(*w, "c:\\Absent", "Agenda", cible, "", "", 0, "", 0);
    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites[0].texte, QString::fromUtf8("Le répertoire 'c:\\Absent' est introuvable."));
    EXPECT_EQ(p->boites[0].titre, QString::fromUtf8("Création d'un raccourci"));
    EXPECT_EQ(p->boites[0].style, 16);
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Absent"));
    EXPECT_FALSE(QFileInfo::exists(recents() + "/Agenda.exe.lnk"));

    // No folder at all: the same message, and still nothing written.
    Racc::CreerRaccourci(*w, "", "Agenda", cible, "", "", 0, "", 0);
    ASSERT_EQ(p->boites.size(), 2u);
    EXPECT_EQ(p->boites[1].texte, QString::fromUtf8("Le répertoire '' est introuvable."));
    EXPECT_FALSE(QFileInfo::exists(recents() + "/Agenda.exe.lnk"));
}

TEST_F(Cadre, ServiceRefuse)
{
    ecrireFichier(recents(), "x");
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites[0].texte, QString::fromUtf8("Erreur de création du raccourci."));
    EXPECT_EQ(p->boites[0].titre, "Raccourci");
    EXPECT_EQ(p->boites[0].style, 16);
    EXPECT_TRUE(QDir(menu()).isEmpty());
    EXPECT_EQ(p->bips, 0);

    // Targets the service cannot name a link after.
    EXPECT_EQ(p->AjouterDocumentRecent("c:\\Programmes\\"), 0);
    EXPECT_EQ(p->AjouterDocumentRecent(""), 0);
}

// The service writes the link under a hidden name: the wizard never sees it
// and, once the clock has run 5e-5 of a day, falls back to a .url.
TEST_F(Cadre, LienQuiNApparaitJamais)
{
    const QString cache = "c:\\Programmes\\Agenda\\.agenda";
    ecrireFichier(bac.home() + "/Programmes/Agenda/.agenda", "x");
    p->pasHorloge = 1e-5;
    const double debut = p->horloge;
    w->Lfic->setText("avant");
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cache, "", "", 0, "", 0);
    const double ecoule = p->horloge - debut;
    EXPECT_GT(ecoule, 5e-5);
    EXPECT_LT(ecoule, 5e-5 + 3e-5);
    EXPECT_EQ(w->Lfic->text(), "Raccourci Url");
    EXPECT_EQ(p->bips, 1);
    EXPECT_TRUE(p->boites.empty());
    EXPECT_FALSE(QFileInfo::exists(menu() + "/Agenda.lnk"));
    EXPECT_EQ(lireFichier(menu() + "/Agenda.url"),
              "[InternetShortcut]\r\nURL=c:\\Programmes\\Agenda\\.agenda\r\n"
              "IconFile=c:\\Programmes\\Agenda\\.agenda\r\nIconIndex=0\r\n");
}

// With the recent-documents folder outside every drive, the lookup gives ""
// and the wizard looks for "\" + name on the installer's own drive.
struct CadreRacine : Cadre {
    QTemporaryDir ailleurs;
    QString racine() const { return bac.support(); }
    void SetUp() override
    {
        auto c = PlateformeTest::configurationDans(bac.racine());
        c.xdgDataHome = ailleurs.path() + "/share";
        monter(c);
    }
    QString recents() const { return ailleurs.path() + "/share/recent-links"; }
};

TEST_F(CadreRacine, DossierRecentIntrouvable)
{
    ASSERT_EQ(p->DossierSpecial(8), "");
    p->pasHorloge = 2e-5;
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_EQ(w->Lfic->text(), "Raccourci Url");
    EXPECT_EQ(p->bips, 1);
    EXPECT_FALSE(QFileInfo::exists(menu() + "/Agenda.lnk"));
    EXPECT_EQ(lireFichier(menu() + "/Agenda.url"),
              "[InternetShortcut]\r\nURL=c:\\Programmes\\Agenda\\Agenda.exe\r\n"
              "IconFile=c:\\Programmes\\Agenda\\Agenda.exe\r\nIconIndex=0\r\n");
}

// A link already in the expected place is taken at once, whatever the
// service wrote; these links are made by hand to try the tail scan.
TEST_F(CadreRacine, BalayageDeLaFin)
{
    p->pasHorloge = 2e-5;
    const double debut = p->horloge;
    const QString deposé = racine() + "/Agenda.exe.lnk";
    const QString f = menu() + "/Agenda.lnk";

    // The first pair looked at, (L-5, L-4), is a zero pair: the kept part
    // ends at L-4 and the strings start at L-3.
    QByteArray a(120, 'A');
    a[115] = 0;
    a[116] = 0;
    a[117] = a[118] = a[119] = 0;
    ecrireFichier(deposé, a);
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "c:\\T", 0, "", 1);
    EXPECT_EQ(lireFichier(f), patche(a.left(117), 3 + 16, 0, 1) + chaine("c:\\T") + quatreZeros);
    EXPECT_FALSE(QFileInfo::exists(deposé));   // taken from where it was found
    EXPECT_LT(p->horloge - debut, 5e-5);        // at once: no wait ran out

    // The last zero pair lies further back; later single zeros do not count.
    QByteArray b(200, 'B');
    b[90] = 0;
    b[91] = 0;
    b[100] = 0;
    b[150] = 0;
    b[196] = b[197] = b[198] = b[199] = 0;
    ecrireFichier(deposé, b);
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_EQ(lireFichier(f), patche(b.left(92), 3) + quatreZeros);

    // Zero bytes only inside the final four: nothing to keep but two bytes,
    // which would be no link at all; the Internet shortcut is written.
    ecrireFichier(deposé, QByteArray(100, 'C') + quatreZeros);
    QFile::remove(f);
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_FALSE(QFileInfo::exists(f));
    EXPECT_TRUE(QFileInfo::exists(menu() + "/Agenda.url"));
    EXPECT_EQ(w->Lfic->text(), "Raccourci Url");
}

// A link that is there but stays empty: the second wait runs out, the
// Internet shortcut is written and the empty link is left where it was.
TEST_F(CadreRacine, LienQuiResteVide)
{
    p->pasHorloge = 1e-5;
    ecrireFichier(racine() + "/Agenda.exe.lnk", "");
    const double debut = p->horloge;
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_GT(p->horloge - debut, 5e-5);
    EXPECT_EQ(w->Lfic->text(), "Raccourci Url");
    EXPECT_EQ(p->bips, 1);
    EXPECT_FALSE(QFileInfo::exists(menu() + "/Agenda.lnk"));
    EXPECT_TRUE(QFileInfo::exists(menu() + "/Agenda.url"));
    EXPECT_TRUE(QFileInfo::exists(racine() + "/Agenda.exe.lnk"));
}

TEST(RaccourciUrl, LignesExactes)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    const QString m = bac.home() + "/Favoris";
    QDir().mkpath(m);

    Racc::CreerRaccourciUrl(p, "c:\\Favoris\\", "Site", "http://exemple.org/");
    EXPECT_EQ(lireFichier(m + "/Site.url"), "[InternetShortcut]\r\nURL=http://exemple.org/\r\n");

    // An earlier, longer file is emptied first; names and text in Windows-1252.
    Racc::CreerRaccourciUrl(p, "c:\\Favoris", QString::fromUtf8("Site"),
                            QString::fromUtf8("http://exemple.org/été"), "c:\\i.ico", 12);
    EXPECT_EQ(lireFichier(m + "/Site.url"),
              "[InternetShortcut]\r\nURL=http://exemple.org/\xe9t\xe9\r\n"
              "IconFile=c:\\i.ico\r\nIconIndex=12\r\n");
    Racc::CreerRaccourciUrl(p, "c:\\Favoris", "Site", "u", "", 5);
    EXPECT_EQ(lireFichier(m + "/Site.url"), "[InternetShortcut]\r\nURL=u\r\n");

    // A folder that does not exist, or none at all: nothing, and no message.
    Racc::CreerRaccourciUrl(p, "c:\\Absent", "Site", "u");
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Absent"));
    Racc::CreerRaccourciUrl(p, "", "Site", "u");
    EXPECT_FALSE(QFileInfo::exists(bac.support() + "/Site.url"));
    EXPECT_TRUE(p.boites.empty());
}

}  // namespace
