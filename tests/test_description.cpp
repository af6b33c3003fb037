// Reading Install.inf: lookup rules and bounds, encodings, the required
// space, and a file that is absent or cannot be read.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

struct Lecture : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;

    // Starts the window on an Install.inf holding these raw bytes, named in
    // capitals as on old media: the lookup ignores case.
    void demarrer(const QByteArray& octets)
    {
        ecrireFichier(bac.support() + "/INSTALL.INF", octets);
        ouvrir();
    }
    void ouvrir()
    {
        w.reset();
        p = std::make_unique<PlateformeTest>(bac.racine());
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }
};

// The same description as Windows-1252 and as UTF-8 with or without its
// byte-order mark; in a file that mixes them, bytes that are not UTF-8 stay
// Windows-1252.
TEST_F(Lecture, ChaqueCodage)
{
    const QStringList lignes = {QString::fromUtf8("[Général]"),
                                QString::fromUtf8("RépertoireInstallDéfaut=Données\\Agenda"), "EspaceRequis=3Mo",
                                "Info1=Merci.", "[Fichiers]", "F1=Agenda.exe", "F2=", "F3=Modeles.dat",
                                "[FichiersSystem]", "Fs1=Outils.dll"};
    QByteArray ansi, utf8;
    for (const QString& l : lignes) {
        ansi += QStringEncoder("windows-1252")(l) + "\r\n";
        utf8 += l.toUtf8() + "\r\n";
    }
    for (const QByteArray& octets : {ansi, utf8, "\xEF\xBB\xBF" + utf8}) {
        demarrer(octets);
        EXPECT_EQ(QStringList({w->RepDef, w->TailleInstall.toString(), w->Label8->text(), w->F1, w->F2, w->F3,
                               w->Fs1, QString::number(w->PbMax)}),
                  QStringList({QString::fromUtf8("Données\\Agenda"), "3", "Merci.", "Agenda.exe", "", "Modeles.dat",
                               "Outils.dll", "3"}));
    }
    // 0xE9 is é and 0x80 the euro sign: a valid sequence, then lone bytes.
    demarrer(QByteArray("[G\xc3\xa9n\xc3\xa9ral]\r\nNomProgramme=Caf\xe9 \x80\r\n"));
    EXPECT_EQ(w->NomProg, QString::fromUtf8("Café €"));
}

// The first "key=" from just past the header's line end (the header's
// length + 2 without a header), anywhere after it; the value runs to the
// next carriage return, which must come before the 16-bit end position.
TEST_F(Lecture, RechercheEtBornes)
{
    demarrer(QByteArray("[Fichiers]\r\nF1=fin"));
    EXPECT_EQ(w->F1, "fin");  // read from a file, the last line is ended all the same
    const QString x(32759, 'x');
    for (auto [texte, attendu] : {std::pair{QString("[S]\r\nK=1\r\n"), QString("1")},
                                  {"[S]\r\nK=\r\nK=2\r\n", ""}, {"abcK=1\r\n", ""}, {"abcdK=1\r\n", "1"},
                                  {"K=0\r\n[S]\r\nK =1\r\n[T]\r\nXK=a=b\r\n", "a=b"}, {"[S]\r\nK=a\nL=b\r\n", "a\nL=b"},
                                  {"[S]\r\nK=" + x + "\r\n", x}, {"[S]\r\nK=x" + x + "\r\n", ""},
                                  {"[S]\r\nK=fin", ""}}) {
        w->InfosInf = texte;
        EXPECT_EQ(w->LireValeur("S", "K"), attendu) << texte.left(30).toStdString();
    }
}

TEST_F(Lecture, ConvertirTaille)
{
    demarrer(QByteArray());
    for (const auto& [texte, attendu] : {std::pair{"12Mo", 12.0}, {"1.5Mo", 1.5}, {" 1 2 Mo", 12}, {"2,5Mo", 2},
                                         {"-3Mo", -3}, {"1e2Mo", 100}, {"12mo", 0}, {"12", 0}, {"abcMo", 0}}) {
        w->TailleInstall = QString::fromUtf8(texte);
        w->ConvertirTaille();
        EXPECT_DOUBLE_EQ(w->TailleInstall.toDouble(), attendu) << texte;
    }
}

// A file that cannot be read leaves every value empty, with no message:
// the process's own memory, which fails whoever reads it, root included.
TEST_F(Lecture, Illisible)
{
    QDir().mkpath(bac.support());
    ASSERT_TRUE(QFile::link("/proc/self/mem", bac.support() + "/Install.inf"));
    ouvrir();
    EXPECT_TRUE(w->InfosInf.isEmpty() && p->boites.empty()) << w->InfosInf.toStdString();
}

// Absent, hidden or a folder: the message, and the end before the window.
TEST(LectureDossier, Absent)
{
    for (const QString cas : {"", ".Install.inf", "Install.inf/x"}) {
        Bac bac;
        if (!cas.isEmpty()) ecrireFichier(bac.support() + "/" + cas, "x");
        PlateformeTest p(bac.racine());
        Install w(p);
        EXPECT_THROW(w.Form_Load(), FinProgramme);
        EXPECT_EQ(p.boites, Boites({{"Installation impossible, le fichier Install.INF est absent", 16,
                                     "Assistant installateur"}}));
    }
}

}  // namespace
