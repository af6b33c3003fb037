// Reading Install.inf: lookup and bounds, encodings, the required space, absent or unreadable files.
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

    // Opens the window, on `octets` as the description when given (named in capitals as on old media: the lookup
    // ignores case).
    void ouvrir(const QByteArray& octets = {})
    {
        if (!octets.isNull()) ecrireFichier(bac.support() + "/INSTALL.INF", octets);
        w.reset();
        p = std::make_unique<PlateformeTest>(bac.racine());
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }
};

// Windows-1252, UTF-8 with or without its mark, and a mix of the two. "key=" from the header's length + 2 past its
// line start, to the next CR before the 16-bit end position. The size runs to a "Mo" in capitals.
TEST_F(Lecture, CodagesBornesEtTaille)
{
    const QString inf = QString::fromUtf8("[Général]\r\nRépertoireInstallDéfaut=Données\\Agenda\r\nEspaceRequis=3Mo\r\n"
                                          "Info1=Merci.\r\n[Fichiers]\r\nF1=Agenda.exe\r\nF2=\r\nF3=Modeles.dat\r\n"
                                          "[FichiersSystem]\r\nFs1=Outils.dll\r\n");
    const QByteArray ansi = QStringEncoder("windows-1252")(inf), utf8 = inf.toUtf8();
    for (const QByteArray& octets : {ansi, utf8, "\xEF\xBB\xBF" + utf8}) {
        ouvrir(octets);
        EXPECT_EQ(QStringList({w->RepDef, w->TailleInstall.toString(), w->Label8->text(), w->F1, w->F2, w->F3,
                               w->Fs1, QString::number(w->PbMax)}),
                  QStringList({QString::fromUtf8("Données\\Agenda"), "3", "Merci.", "Agenda.exe", "", "Modeles.dat",
                               "Outils.dll", "3"}));
    }
    // A valid UTF-8 é, then the lone Windows-1252 bytes of é and the euro sign.
    ouvrir(QByteArray("[G\xc3\xa9n\xc3\xa9ral]\r\nNomProgramme=Caf\xe9 \x80\r\n"));
    EXPECT_EQ(w->NomProg, QString::fromUtf8("Café €"));

    ouvrir(QByteArray("[Fichiers]\r\nF1=fin"));
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
    for (const auto& [texte, attendu] : {std::pair{"12Mo", 12.0}, {"1.5Mo", 1.5}, {" 1 2 Mo", 12}, {"2,5Mo", 2},
                                         {"-3Mo", -3}, {"1e2Mo", 100}, {"12mo", 0}, {"12", 0}, {"abcMo", 0}}) {
        w->TailleInstall = QString::fromUtf8(texte);
        w->ConvertirTaille();
        EXPECT_DOUBLE_EQ(w->TailleInstall.toDouble(), attendu) << texte;
    }
}

// Absent, hidden or a folder: the message and the end; unreadable (the process's memory, even to root): empty values.
TEST_F(Lecture, AbsentOuIllisible)
{
    for (const QString cas : {"", ".Install.inf", "Install.inf/x"}) {
        if (!cas.isEmpty()) ecrireFichier(bac.support() + "/" + cas, "x");
        EXPECT_THROW(ouvrir(), FinProgramme) << cas.toStdString();
        EXPECT_EQ(p->boites, Boites({{"Installation impossible, le fichier Install.INF est absent", 16,
                                      "Assistant installateur"}}));
    }
    ASSERT_TRUE(QDir(bac.support() + "/Install.inf").removeRecursively());
    ASSERT_TRUE(QFile::link("/proc/self/mem", bac.support() + "/Install.inf"));
    ouvrir();
    EXPECT_TRUE(w->InfosInf.isEmpty() && p->boites.empty()) << w->InfosInf.toStdString();
}

}  // namespace
