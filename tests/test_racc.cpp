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

// The value lnkinfo prints for a field ("Local path : C:\...").
QString champ(const QString& sortie, const QString& nom)
{
    for (const QString& l : sortie.split('\n')) {
        const qsizetype i = l.indexOf(':');
        if (i >= 0 && l.left(i).trimmed() == nom) return l.mid(i + 1).trimmed();
    }
    return {};
}

// Runs lnkinfo on a link, which must parse and name `chemin` as its local
// path; returns its output ("" when lnkinfo is not installed).
QString verifierLnk(const QString& hote, const QString& chemin)
{
    if (QStandardPaths::findExecutable("lnkinfo").isEmpty()) return {};
    QProcess pr;
    pr.setProcessChannelMode(QProcess::MergedChannels);
    pr.start("lnkinfo", {hote});
    EXPECT_TRUE(pr.waitForFinished(20000));
    const QString s = QString::fromLocal8Bit(pr.readAll());
    EXPECT_EQ(pr.exitStatus() == QProcess::NormalExit ? pr.exitCode() : -1, 0) << s.toStdString();
    EXPECT_FALSE(s.contains("Error", Qt::CaseInsensitive)) << s.toStdString();
    EXPECT_EQ(champ(s, "Local path"), chemin) << s.toStdString();
    return s;
}

// The kept part of a link patched as the wizard patches it: a field takes
// the low byte alone when the value fits, else its whole 32 bits.
QByteArray patche(QByteArray k, int drapeaux, int icone = 0, int affichage = 0)
{
    k[20] = char(drapeaux);
    for (auto [pos, v] : {std::pair{56, icone}, std::pair{60, affichage}})
        for (int i = 0; i < (v >= 0 && v <= 255 ? 1 : 4); ++i) k[pos + i] = char(std::uint32_t(v) >> (8 * i));
    return k;
}

// One string of the link's string data: 16-bit length, then the bytes.
QByteArray chaine(const QByteArray& s)
{
    return QByteArray(1, char(s.size())) + QByteArray(1, char(s.size() >> 8)) + s;
}

const QByteArray quatreZeros(4, '\0');
const QString cheminMaj = "C:\\Programmes\\Agenda\\Agenda.exe";

QByteArray urlDe(const QByteArray& cible)
{
    return "[InternetShortcut]\r\nURL=" + cible + "\r\nIconFile=" + cible + "\r\nIconIndex=0\r\n";
}

// A test home with a program to point at and a folder for the shortcuts.
struct Cadre : ::testing::Test {
    Bac bac;
    QTemporaryDir ailleurs;
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
    // The recent-documents folder outside every drive: its lookup gives ""
    // and the wizard looks for "\" + name on the installer's own drive.
    void horsDesLecteurs()
    {
        auto c = PlateformeTest::configurationDans(bac.racine());
        c.xdgDataHome = ailleurs.path() + "/share";
        monter(c);
        ASSERT_EQ(p->DossierSpecial(8), "");
    }
    // The kept part of the link the recent-documents service writes for the
    // target: all but the description (length, zero, name) and terminal block.
    QByteArray gardeShell()
    {
        EXPECT_EQ(p->AjouterDocumentRecent(cible), 1);
        const QString f = recents() + "/Agenda.exe.lnk";
        const QByteArray b = lireFichier(f);
        QFile::remove(f);
        return b.left(b.size() - 4 - 2 - 10);
    }
    QByteArray creer(const QString& args, const QString& travail, int index, const QString& icone,
                     int affichage)
    {
        Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, args, travail, std::int16_t(index), icone,
                             std::int16_t(affichage));
        return lireFichier(menu() + "/Agenda.lnk");
    }
    // The fallback: no link, an Internet shortcut to the target, a beep.
    void verifierRepli(const QByteArray& url, int bips)
    {
        EXPECT_EQ(w->Lfic->text(), "Raccourci Url");
        EXPECT_EQ(p->bips, bips);
        EXPECT_TRUE(p->boites.empty());
        EXPECT_FALSE(QFileInfo::exists(menu() + "/Agenda.lnk"));
        EXPECT_EQ(lireFichier(menu() + "/Agenda.url"), url);
        w->Lfic->setText("avant");
    }
};

TEST(NomFichier, ApresLeDernierAntislash)
{
    const char* cas[][2] = {{"C:\\Programmes\\Jeu\\jeu.exe", "jeu.exe"}, {"jeu.exe", "jeu.exe"},
                            {"C:\\Programmes\\", ""}, {"", ""}, {"C:/a/b.txt", "C:/a/b.txt"}, {"a\\\\b", "b"}};
    for (const auto& c : cas) EXPECT_EQ(Racc::NomFichier(c[0]), c[1]) << c[0];
}

TEST_F(Cadre, ServiceDesDocumentsRecents)
{
    ASSERT_EQ(p->AjouterDocumentRecent(cible), 1);
    const QString f = recents() + "/Agenda.exe.lnk";
    const QByteArray b = lireFichier(f);
    ASSERT_GE(b.size(), 76);
    EXPECT_EQ(b.left(20).toHex(), "4c000000" "0114020000000000c000000000000046");
    EXPECT_EQ(b[20] & 3, 3);
    EXPECT_EQ(b.mid(52, 4).toHex(), "d2040000");   // file size 1234
    EXPECT_EQ(b.mid(60, 4).toHex(), "01000000");
    EXPECT_EQ(b.right(4), quatreZeros);
    // The local base path, with a capital drive letter, then an empty suffix.
    EXPECT_TRUE(b.contains(QByteArray("C:\\Programmes\\Agenda\\Agenda.exe\0\0", 33)));
    verifierLnk(f, cheminMaj);

    // A target with accents, not there yet; an earlier link under another case.
    const QString autre = QString::fromUtf8("c:\\Données\\Carnet d'été.txt");
    ecrireFichier(recents() + QString::fromUtf8("/CARNET D'ÉTÉ.TXT.lnk"), "ancien");
    ASSERT_EQ(p->AjouterDocumentRecent(autre), 1);
    const QString g = recents() + QString::fromUtf8("/CARNET D'ÉTÉ.TXT.lnk");
    EXPECT_TRUE(lireFichier(g).contains("C:\\Donn\xe9" "es\\Carnet d'\xe9t\xe9.txt"));
    verifierLnk(g, QString::fromUtf8("C:\\Données\\Carnet d'été.txt"));
    EXPECT_EQ(QDir(recents()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // A folder in the link's place, or no name to give the link: 0.
    QDir().mkpath(recents() + "/Autre.exe.lnk");
    EXPECT_EQ(p->AjouterDocumentRecent("c:\\Autre.exe"), 0);
    EXPECT_EQ(p->AjouterDocumentRecent("c:\\Programmes\\"), 0);
    EXPECT_EQ(p->AjouterDocumentRecent(""), 0);
    EXPECT_EQ(QDir(recents()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(Cadre, LiensPatches)
{
    const QByteArray k = gardeShell();
    const QString f = menu() + "/Agenda.lnk";

    // An earlier, longer link of that name leaves nothing behind.
    ecrireFichier(f, QByteArray(5000, 'Z'));
    EXPECT_EQ(creer("", "", 0, "", 0), patche(k, 3) + quatreZeros);
    EXPECT_FALSE(QFileInfo::exists(recents() + "/Agenda.exe.lnk"));
    verifierLnk(f, cheminMaj);

    // Every string; an index without icon file takes the target as icon.
    EXPECT_EQ(creer(QString::fromUtf8("/mode:été"), "c:\\Programmes\\Agenda", 2, "", 3),
              patche(k, 3 + 16 + 32 + 64, 2, 3) + chaine("c:\\Programmes\\Agenda")
                  + chaine("/mode:\xe9t\xe9") + chaine(cible.toLatin1()) + quatreZeros);
    const QString s = verifierLnk(f, cheminMaj);
    if (!s.isEmpty()) {
        EXPECT_EQ(champ(s, "Working directory"), "c:\\Programmes\\Agenda") << s.toStdString();
        EXPECT_EQ(champ(s, "Command line arguments"), QString::fromUtf8("/mode:été")) << s.toStdString();
        EXPECT_EQ(champ(s, "Icon location"), cible) << s.toStdString();
    }

    // An icon file alone sets the icon flag; a negative index without one
    // stores no icon location.
    EXPECT_EQ(creer("", "", 0, "c:\\x.ico", 0), patche(k, 3 + 64) + chaine("c:\\x.ico") + quatreZeros);
    EXPECT_EQ(creer("-x", "", -1, "", 7), patche(k, 3 + 32, -1, 7) + chaine("-x") + quatreZeros);
    verifierLnk(f, cheminMaj);

    // Values beyond a byte take their whole field, a string over 255 its
    // 16-bit length; the link stays readable.
    const QByteArray longs(300, 'a');
    EXPECT_EQ(creer(QString::fromLatin1(longs), "", 300, "", 256),
              patche(k, 3 + 32 + 64, 300, 256) + chaine(longs) + chaine(cible.toLatin1()) + quatreZeros);
    if (const QString t = verifierLnk(f, cheminMaj); !t.isEmpty())
        EXPECT_EQ(champ(t, "Command line arguments"), QString::fromLatin1(longs)) << t.toStdString();
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(p->bips, 0);

    // Too long for the length field: the Internet shortcut instead.
    Racc::CreerRaccourci(*w, "c:\\Menu", "Long", cible, QString(70000, 'b'), "", 0, "", 0);
    EXPECT_FALSE(QFileInfo::exists(menu() + "/Long.lnk"));
    EXPECT_EQ(lireFichier(menu() + "/Long.url"), urlDe(cible.toLatin1()));
    EXPECT_FALSE(QFileInfo::exists(recents() + "/Agenda.exe.lnk"));

    // A drive root as the folder.
    Racc::CreerRaccourci(*w, "c:", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_EQ(lireFichier(bac.home() + "/Agenda.lnk"), patche(k, 3) + quatreZeros);
}

TEST_F(Cadre, MessagesDEchec)
{
    const auto echec = [&](const QString& dossier, const QString& texte, const QString& titre) {
        p->boites.clear();
        Racc::CreerRaccourci(*w, dossier, "Agenda", cible, "", "", 0, "", 0);
        ASSERT_EQ(p->boites.size(), 1u) << dossier.toStdString();
        EXPECT_EQ(p->boites[0].texte, texte);
        EXPECT_EQ(p->boites[0].titre, titre);
        EXPECT_EQ(p->boites[0].style, 16);
        EXPECT_FALSE(QFileInfo::exists(recents() + "/Agenda.exe.lnk"));
    };
    const QString titre = QString::fromUtf8("Création d'un raccourci");
    echec("c:\\Absent", QString::fromUtf8("Le répertoire 'c:\\Absent' est introuvable."), titre);
    echec("", QString::fromUtf8("Le répertoire '' est introuvable."), titre);
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Absent"));
    // The service cannot write: its folder is a file.
    ecrireFichier(recents(), "x");
    echec("c:\\Menu", QString::fromUtf8("Erreur de création du raccourci."), "Raccourci");
    EXPECT_TRUE(QDir(menu()).isEmpty());
    EXPECT_EQ(p->bips, 0);
}

// Every way the shell's link can fail to come, each answered by the
// Internet shortcut once the wait is over.
TEST_F(Cadre, RepliSurLeRaccourciInternet)
{
    // Written under a hidden name, the link is never seen; the fallback
    // comes once the clock has run 5e-5 of a day, not much later.
    ecrireFichier(bac.home() + "/Programmes/Agenda/.agenda", "x");
    p->pasHorloge = 1e-5;
    double debut = p->horloge;
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", "c:\\Programmes\\Agenda\\.agenda", "", "", 0, "", 0);
    EXPECT_GT(p->horloge - debut, 5e-5);
    EXPECT_LT(p->horloge - debut, 5e-5 + 3e-5);
    verifierRepli(urlDe("c:\\Programmes\\Agenda\\.agenda"), 1);

    // No recent-documents folder at all.
    horsDesLecteurs();
    p->pasHorloge = 1e-5;
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    verifierRepli(urlDe(cible.toLatin1()), 1);

    // A link that is there but stays empty: the second wait runs out and
    // the empty link is left where it was.
    const QString vide = bac.support() + "/Agenda.exe.lnk";
    ecrireFichier(vide, "");
    debut = p->horloge;
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    EXPECT_GT(p->horloge - debut, 5e-5);
    verifierRepli(urlDe(cible.toLatin1()), 2);
    EXPECT_TRUE(QFileInfo::exists(vide));

    // Zero bytes only inside the final four: two kept bytes would be no
    // link at all.
    ecrireFichier(vide, QByteArray(100, 'C') + quatreZeros);
    Racc::CreerRaccourci(*w, "c:\\Menu", "Agenda", cible, "", "", 0, "", 0);
    verifierRepli(urlDe(cible.toLatin1()), 3);
}

// A link already in the expected place is taken at once, whatever the
// service wrote; these are made by hand to try the tail scan.
TEST_F(Cadre, BalayageDeLaFin)
{
    horsDesLecteurs();
    p->pasHorloge = 2e-5;
    const double debut = p->horloge;
    const QString depose = bac.support() + "/Agenda.exe.lnk";

    // The first pair looked at, (L-5, L-4), is a zero pair: the kept part
    // ends at L-4.
    QByteArray a(120, 'A');
    a[115] = a[116] = a[117] = a[118] = a[119] = 0;
    ecrireFichier(depose, a);
    EXPECT_EQ(creer("", "c:\\T", 0, "", 1), patche(a.left(117), 3 + 16, 0, 1) + chaine("c:\\T") + quatreZeros);
    EXPECT_FALSE(QFileInfo::exists(depose));   // taken from where it was found
    EXPECT_LT(p->horloge - debut, 5e-5);        // at once: no wait ran out

    // The last zero pair lies further back; later single zeros do not count.
    QByteArray b(200, 'B');
    b[90] = b[91] = b[100] = b[150] = 0;
    b[196] = b[197] = b[198] = b[199] = 0;
    ecrireFichier(depose, b);
    EXPECT_EQ(creer("", "", 0, "", 0), patche(b.left(92), 3) + quatreZeros);
}

TEST(RaccourciUrl, LignesExactes)
{
    Bac bac;
    PlateformeTest p(bac.racine());
    const QString m = bac.home() + "/Favoris";
    QDir().mkpath(m);

    Racc::CreerRaccourciUrl(p, "c:\\Favoris\\", "Site", "http://exemple.org/");
    EXPECT_EQ(lireFichier(m + "/Site.url"), "[InternetShortcut]\r\nURL=http://exemple.org/\r\n");
    // An earlier, longer file is replaced; text in Windows-1252.
    Racc::CreerRaccourciUrl(p, "c:\\Favoris", "Site", QString::fromUtf8("http://exemple.org/été"), "c:\\i.ico", 12);
    EXPECT_EQ(lireFichier(m + "/Site.url"), "[InternetShortcut]\r\nURL=http://exemple.org/\xe9t\xe9\r\n"
                                            "IconFile=c:\\i.ico\r\nIconIndex=12\r\n");
    Racc::CreerRaccourciUrl(p, "c:\\Favoris", "Site", "u", "", 5);
    EXPECT_EQ(lireFichier(m + "/Site.url"), "[InternetShortcut]\r\nURL=u\r\n");

    // A folder that does not exist fails for the caller to note; none at all
    // writes nothing. No message either way.
    EXPECT_THROW(Racc::CreerRaccourciUrl(p, "c:\\Absent", "Site", "u"), Erreur);
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/Absent"));
    Racc::CreerRaccourciUrl(p, "", "Site", "u");
    EXPECT_FALSE(QFileInfo::exists(bac.support() + "/Site.url"));
    EXPECT_TRUE(p.boites.empty());
}

}  // namespace
