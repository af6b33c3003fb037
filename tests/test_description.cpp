// Reading Install.inf: lookup rules, encodings, the size and the count of
// files, and a file that is absent or cannot be read.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>


namespace {

const QStringList exemple = {
    QString::fromUtf8("[Général]"), QString::fromUtf8("DisqueInstallDéfaut=d:\\"),
    QString::fromUtf8("RépertoireInstallDéfaut=Programmes\\Agenda"), QString::fromUtf8("NomGroupeDéfaut=Agenda"),
    "Programme=Agenda.exe", "NomProgramme=Agenda", "NomAide=Agenda.hlp", "EspaceRequis=3Mo", "RaccourciWEB=non",
    "URLRaccourciWEB=", "NomRaccourciWEB=", "Info1=Merci d'avoir choisi Agenda.", "Info2=Cliquez sur Lancer.",
    "[Fichiers]", "F1=Agenda.exe", "F2=Agenda.hlp", "F3=Modeles.dat", "F4=", "[FichiersSystem]", "Fs1=Outils.dll",
};

struct Lecture : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;

    // Starts the window on an Install.inf holding these raw bytes.
    void demarrer(const QByteArray& octets)
    {
        ecrireFichier(bac.support() + "/Install.inf", octets);
        w.reset();
        p = std::make_unique<PlateformeTest>(bac.racine());
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }
    void demarrer(const QStringList& lignes)
    {
        QByteArray b;
        for (const QString& l : lignes) b += QStringEncoder("windows-1252")(l) + "\r\n";
        demarrer(b);
    }
    // The fields the example sets, in one line to compare.
    QString valeurs() const
    {
        return QStringList{w->DSKDef, w->Letr, w->RepDef, w->NomDef, w->Prog, w->NomProg, w->Aide,
                           w->TailleInstall.toString(), w->F1, w->F3, w->F4, w->Inet, w->URLInet, w->Fs1, w->Fs2,
                           QString::number(w->PbMax), w->Label8->text(), w->Label9->text(), w->LabInfo->text()}
            .join('|');
    }
};

// The worked example, as Windows-1252 and as UTF-8 with or without its
// byte-order mark; bytes that are not UTF-8 stay Windows-1252.
TEST_F(Lecture, ExempleDansChaqueCodage)
{
    const QString attendu = QString::fromUtf8("d:|d:|Programmes\\Agenda|Agenda|Agenda.exe|Agenda|Agenda.hlp|3|Agenda.exe|"
                                              "Modeles.dat||non||Outils.dll||4|Merci d'avoir choisi Agenda.|"
                                              "Cliquez sur Lancer.|Bienvenue dans le programme d'installation de Agenda");
    demarrer(exemple);
    EXPECT_EQ(valeurs(), attendu);
    EXPECT_TRUE(p->boites.empty());
    QByteArray utf8;
    for (const QString& l : exemple) utf8 += l.toUtf8() + "\r\n";
    for (const QByteArray& octets : {utf8, "\xEF\xBB\xBF" + utf8}) {
        demarrer(octets);
        EXPECT_EQ(valeurs(), attendu);
    }
    // 0xE9 is é and 0x80 the euro sign; a valid sequence then a lone byte.
    demarrer(QByteArray("[G\xc3\xa9n\xc3\xa9ral]\r\nNomProgramme=Caf\xe9 \x80\r\n"));
    EXPECT_EQ(w->NomProg, QString::fromUtf8("Café €"));
    EXPECT_TRUE(w->RepDef.isEmpty());
}

// The pattern is found anywhere after the header, through later sections:
// inside a longer key, after other characters, with "=" in the value; a
// space before "=" hides the key; a line feed alone ends no line.
TEST_F(Lecture, LaRechercheTrouveLeMotifPartoutApresLEntete)
{
    demarrer(QStringList{"Fs2=avant.dll", QString::fromUtf8("[Général]"), "NomProgramme=Nom", "Programme=P.exe",
                         "[Fichiers]", "F1 =cache", "F2= espace", ";F3=old.dll", "F5=a=b", "[FichiersSystem]",
                         "F6=mal.place", "Fs1=x.dll"});
    EXPECT_EQ(QStringList({w->Prog, w->F1, w->F2, w->F3, w->F5, w->F6, w->Fs1, w->Fs2}),
              QStringList({"Nom", "", " espace", "old.dll", "a=b", "mal.place", "x.dll", ""}));
    demarrer(QByteArray("[Fichiers]\nX=1\nF1=a.exe\nF2=b.dat\n"));
    EXPECT_EQ(w->F1, "a.exe\nF2=b.dat\n");
    EXPECT_EQ(w->PbMax, 2.0f);
    demarrer(QByteArray("[Fichiers]\rF1=a.exe\rF2=b.dat"));
    EXPECT_EQ(w->F1 + "|" + w->F2, "a.exe|b.dat");
}

// Where the lookup starts after the header (just past its line end, or at
// the header's length + 2 without one), the 16-bit end position, and a
// value with no line end after it.
TEST_F(Lecture, BornesDeLaRecherche)
{
    demarrer(QByteArray());
    EXPECT_EQ(w->DSKDef, ":");
    EXPECT_FALSE(w->Command2->isEnabled());
    const QString x(32759, 'x');
    for (auto [texte, attendu] : {std::pair{QString("[S]\r\nK=1\r\n"), QString("1")},
                                  {"[S]\r\nK=\r\nK=2\r\n", ""}, {"abcK=1\r\n", ""}, {"abcdK=1\r\n", "1"},
                                  {"[S]\r\nK=" + x + "\r\n", x}, {"[S]\r\nK=x" + x + "\r\n", ""},
                                  {"[S]\r\nK=fin", ""}}) {
        w->InfosInf = texte;
        EXPECT_EQ(w->LireValeur("S", "K"), attendu) << texte.left(20).toStdString();
    }
    // Read from a file, the last line gets its line end all the same.
    demarrer(QByteArray("[Fichiers]\r\nF1=fin"));
    EXPECT_EQ(w->F1, "fin");
    QByteArray binaire;
    for (int i = 0; i < 70000; ++i) binaire += char((i * 37) & 0xff);
    demarrer(binaire);
    EXPECT_EQ(w->TailleInstall.toDouble(), 0.0);
    EXPECT_TRUE(p->boites.empty());
}

TEST_F(Lecture, ConvertirTaille)
{
    demarrer(exemple);
    for (const auto& [texte, attendu] : {std::pair{"12Mo", 12.0}, {"1.5Mo", 1.5}, {"12 Mo", 12}, {"2,5Mo", 2},
                                         {"12mo", 0}, {"12", 0}, {"Mo", 0}, {"abcMo", 0}, {" 1 2Mo", 12},
                                         {"-3Mo", -3}, {"1e2Mo", 100}, {"", 0}}) {
        w->TailleInstall = QString::fromUtf8(texte);
        w->ConvertirTaille();
        EXPECT_DOUBLE_EQ(w->TailleInstall.toDouble(), attendu) << texte;
    }
}

// Absent, hidden or a folder: the message, and the end before the window.
// Another letter case is found. A file that cannot be read leaves every
// value empty, with no message.
TEST(LectureDossier, AbsentIlisibleOuAutreCasse)
{
    for (const char* cas : {"", ".Install.inf", "Install.inf/"}) {
        Bac bac;
        if (*cas) ecrireFichier(bac.support() + "/" + cas + (QString(cas).endsWith('/') ? "x" : ""), "x");
        PlateformeTest p(bac.racine());
        Install w(p);
        EXPECT_THROW(w.Form_Load(), FinProgramme);
        EXPECT_EQ(p.boites, Boites({{"Installation impossible, le fichier Install.INF est absent", 16,
                                     "Assistant installateur"}}));
    }
    Bac bac;
    const QString chemin = bac.support() + "/INSTALL.INF";
    ecrireInf(chemin, exemple);
    PlateformeTest p(bac.racine());
    Install w(p);
    w.Form_Load();
    EXPECT_EQ(w.NomProg, "Agenda");

    // A regular file whose reading fails whoever reads it, root included:
    // the process's own memory, where nothing lies at offset 0.
    QFile::remove(chemin);
    ASSERT_TRUE(QFile::link("/proc/self/mem", chemin));
    PlateformeTest q(bac.racine());
    Install v(q);
    v.Form_Load();
    EXPECT_TRUE(v.InfosInf.isEmpty() && v.NomProg.isEmpty() && q.boites.empty()) << v.InfosInf.toStdString();
}

}  // namespace
