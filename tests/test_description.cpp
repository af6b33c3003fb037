// Reading Install.inf: lookup rules, the values of the keys, the size and
// the count of files.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const QStringList exemple = {
    QString::fromUtf8("[Général]"),
    QString::fromUtf8("DisqueInstallDéfaut=C"),
    QString::fromUtf8("RépertoireInstallDéfaut=Programmes\\Agenda"),
    QString::fromUtf8("NomGroupeDéfaut=Agenda"),
    "Programme=Agenda.exe",
    "NomProgramme=Agenda",
    "NomAide=Agenda.hlp",
    "EspaceRequis=3Mo",
    "RaccourciWEB=non",
    "URLRaccourciWEB=",
    "NomRaccourciWEB=",
    "Info1=Merci d'avoir choisi Agenda.",
    "Info2=Cliquez sur Lancer pour commencer.",
    "[Fichiers]",
    "F1=Agenda.exe",
    "F2=Agenda.hlp",
    "F3=Modeles.dat",
    "F4=",
    "[FichiersSystem]",
    "Fs1=Outils.dll",
};

struct Lecture : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;

    // Starts the window on an Install.inf holding these raw bytes.
    void demarrerOctets(const QByteArray& octets)
    {
        ecrireFichier(bac.support() + "/Install.inf", octets);
        p = std::make_unique<PlateformeTest>(bac.racine());
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }
    void demarrer(const QStringList& lignes)
    {
        ecrireInf(bac.support() + "/Install.inf", lignes);
        p = std::make_unique<PlateformeTest>(bac.racine());
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }
};

TEST_F(Lecture, ExempleDonneLesValeursAttendues)
{
    demarrer(exemple);
    EXPECT_EQ(w->DSKDef, "C:");
    EXPECT_EQ(w->RepDef, "Programmes\\Agenda");
    EXPECT_EQ(w->NomDef, "Agenda");
    EXPECT_EQ(w->Prog, "Agenda.exe");
    EXPECT_EQ(w->NomProg, "Agenda");
    EXPECT_EQ(w->Aide, "Agenda.hlp");
    EXPECT_EQ(w->TailleInstall.typeId(), QMetaType::Double);
    EXPECT_EQ(w->TailleInstall.toDouble(), 3.0);
    EXPECT_EQ(w->F1, "Agenda.exe");
    EXPECT_EQ(w->F3, "Modeles.dat");
    EXPECT_TRUE(w->F4.isEmpty());
    EXPECT_TRUE(w->F21.isEmpty());
    EXPECT_EQ(w->Inet, "non");
    EXPECT_TRUE(w->URLInet.isEmpty());
    EXPECT_TRUE(w->NOMInet.isEmpty());
    EXPECT_EQ(w->Fs1, "Outils.dll");
    EXPECT_TRUE(w->Fs2.isEmpty());
    EXPECT_EQ(w->PbMax, 4.0f);
    EXPECT_EQ(w->Label8->text(), "Merci d'avoir choisi Agenda.");
    EXPECT_EQ(w->Label9->text(), "Cliquez sur Lancer pour commencer.");
    EXPECT_TRUE(p->boites.empty());
}

TEST_F(Lecture, LaRechercheTrouveLeMotifPartoutApresLEntete)
{
    demarrer({QString::fromUtf8("[Général]"), "NomProgramme=Nom", "Programme=Prog.exe", "[Fichiers]",
              "F1 =cache", "F2= espace", ";F3=old.dll", "F5=a=b", "[FichiersSystem]", "F6=mal.place",
              "Fs1=x.dll"});
    // "Programme=" is found first inside "NomProgramme=".
    EXPECT_EQ(w->Prog, "Nom");
    EXPECT_TRUE(w->F1.isEmpty());
    EXPECT_EQ(w->F2, " espace");
    EXPECT_EQ(w->F3, "old.dll");
    EXPECT_EQ(w->F5, "a=b");
    // A key of a later section is found; one before its header is not.
    EXPECT_EQ(w->F6, "mal.place");
    EXPECT_TRUE(w->Fs2.isEmpty());
}

TEST_F(Lecture, CleAvantSonEnteteEstManquee)
{
    demarrer({"Fs2=avant.dll", "[Fichiers]", "F1=a", "[FichiersSystem]", "Fs1=b"});
    EXPECT_TRUE(w->Fs2.isEmpty());
    EXPECT_EQ(w->Fs1, "b");
    EXPECT_EQ(w->F1, "a");
}

TEST_F(Lecture, SautsDeLigneLFSeulFontUneSeuleLigne)
{
    demarrerOctets("[Fichiers]\nX=1\nF1=a.exe\nF2=b.dat\n");
    EXPECT_EQ(w->F1, "a.exe\nF2=b.dat\n");
    EXPECT_EQ(w->F2, "b.dat\n");
    EXPECT_EQ(w->PbMax, 2.0f);
}

TEST_F(Lecture, CRSeulTermineUneLigne)
{
    demarrerOctets("[Fichiers]\rF1=a.exe\rF2=b.dat");
    EXPECT_EQ(w->F1, "a.exe");
    EXPECT_EQ(w->F2, "b.dat");
    EXPECT_EQ(w->PbMax, 2.0f);
}

// A file saved as UTF-8, with or without its byte-order mark, reads as the
// same description; one whose bytes are not UTF-8 stays Windows-1252.
TEST_F(Lecture, FichierUtf8LuCommeTel)
{
    QByteArray b;
    for (const QString& l : exemple) b += l.toUtf8() + "\r\n";
    for (const QByteArray& octets : {b, "\xEF\xBB\xBF" + b}) {
        demarrerOctets(octets);
        EXPECT_EQ(w->DSKDef, "C:");
        EXPECT_EQ(w->RepDef, "Programmes\\Agenda");
        EXPECT_EQ(w->LabInfo->text(), QString::fromUtf8("Bienvenue dans le programme d'installation de Agenda"));
        EXPECT_EQ(w->Prog, "Agenda.exe");
    }
    // Pure ASCII, and bytes that break UTF-8 (an accent, then a lone one).
    demarrerOctets("[G\xc3\xa9n\xc3\xa9ral]\r\nNomProgramme=Caf\xe9\r\n");
    EXPECT_EQ(w->NomProg, QString::fromUtf8("Caf\u00e9"));
    EXPECT_TRUE(w->RepDef.isEmpty());
}

TEST_F(Lecture, OctetsWindows1252)
{
    // 0xE9 is é and 0x80 the euro sign.
    demarrerOctets("[G\xe9n\xe9ral]\r\nNomProgramme=Caf\xe9 \x80\r\n");
    EXPECT_EQ(w->NomProg, QString::fromUtf8("Café €"));
}

TEST_F(Lecture, ValeurAuDelaDe32767CaracteresEstVide)
{
    QStringList lignes = {"[Fichiers]", "F1=tot"};
    lignes << QString(32800, 'x');
    lignes << "F2=tard";
    demarrer(lignes);
    EXPECT_EQ(w->F1, "tot");
    EXPECT_TRUE(w->F2.isEmpty());
    EXPECT_EQ(w->PbMax, 1.0f);
}

TEST_F(Lecture, FichiersVidesOuBinairesDemarrentSansValeurs)
{
    demarrerOctets("");
    EXPECT_EQ(w->DSKDef, ":");
    EXPECT_EQ(w->PbMax, 0.0f);
    EXPECT_FALSE(w->Command2->isEnabled());

    QByteArray binaire;
    for (int i = 0; i < 70000; ++i) binaire += char((i * 37) & 0xff);
    demarrerOctets(binaire);
    EXPECT_EQ(w->TailleInstall.toDouble(), 0.0);
    EXPECT_TRUE(p->boites.empty());
}

TEST_F(Lecture, NomsDangereuxSontLusTelsQuels)
{
    // The reader keeps what is written; the copy refuses such names.
    demarrer({"[Fichiers]", "F1=..\\..\\etc\\passwd", "F2=/tmp/x", "F3=c:\\autre.exe"});
    EXPECT_EQ(w->F1, "..\\..\\etc\\passwd");
    EXPECT_EQ(w->F2, "/tmp/x");
    EXPECT_EQ(w->PbMax, 3.0f);
}

TEST_F(Lecture, ConvertirTaille)
{
    demarrer(exemple);
    const std::pair<const char*, double> cas[] = {
        {"12Mo", 12}, {"1.5Mo", 1.5}, {"12 Mo", 12}, {"2,5Mo", 2}, {"12mo", 0}, {"12", 0},
        {"Mo", 0}, {"abcMo", 0}, {" 1 2Mo", 12}, {"-3Mo", -3}, {"1e2Mo", 100}, {"", 0},
    };
    for (const auto& [texte, attendu] : cas) {
        w->TailleInstall = QString::fromUtf8(texte);
        w->ConvertirTaille();
        EXPECT_DOUBLE_EQ(w->TailleInstall.toDouble(), attendu) << texte;
    }
}

TEST_F(Lecture, DisqueGardeSaPremiereLettre)
{
    demarrer({QString::fromUtf8("[Général]"), QString::fromUtf8("DisqueInstallDéfaut=d:\\")});
    EXPECT_EQ(w->DSKDef, "d:");
    EXPECT_EQ(w->Letr, "d:");
    EXPECT_TRUE(w->Drive1->Drive().startsWith("d:"));
}

TEST(LectureAbsente, MessageEtFinAvantLaFenetre)
{
    for (const char* nom : {"", ".Install.inf"}) {
        Bac bac;
        if (*nom) ecrireInf(bac.support() + "/" + nom, exemple);
        PlateformeTest p(bac.racine());
        Install w(p);
        EXPECT_THROW(w.Form_Load(), FinProgramme);
        ASSERT_EQ(p.boites.size(), 1u);
        EXPECT_EQ(p.boites[0].texte, "Installation impossible, le fichier Install.INF est absent");
        EXPECT_EQ(p.boites[0].titre, "Assistant installateur");
        EXPECT_EQ(p.boites[0].style, 16);
        EXPECT_EQ(p.fins, 1);
    }
}

TEST(LectureAbsente, RepertoireNommeInstallInfCompteCommeAbsent)
{
    Bac bac;
    QDir().mkpath(bac.support() + "/Install.inf");
    PlateformeTest p(bac.racine());
    Install w(p);
    EXPECT_THROW(w.Form_Load(), FinProgramme);
}

TEST(LectureDossier, HorsRacineEtCasseDifferente)
{
    Bac bac;
    plateforme::Configuration c = PlateformeTest::configurationDans(bac.racine());
    c.dossierPropre = c.home + "/Support";
    // Another letter case finds the file, as names are compared in capitals.
    ecrireInf(c.dossierPropre + "/INSTALL.INF", exemple);
    PlateformeTest p(c);
    Install w(p);
    w.Form_Load();
    EXPECT_EQ(w.NomProg, "Agenda");
}

// A file that exists but cannot be read (for an ordinary user: root reads
// everything) leaves every value empty, with no message.
TEST(LectureDossier, FichierIlisibleDemarreSansValeurs)
{
    Bac bac;
    const QString chemin = bac.support() + "/Install.inf";
    ecrireInf(chemin, exemple);
    QFile(chemin).setPermissions(QFileDevice::Permissions());
    PlateformeTest::configurationDans(bac.racine());   // lays out the folders
    for (const QString& d : {bac.racine(), bac.racine() + "/media", bac.support(), bac.home()})
        ASSERT_TRUE(QFile(d).setPermissions(QFile(d).permissions() | QFileDevice::ExeOther | QFileDevice::ReadOther));
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        PlateformeTest p(bac.racine());
        Install w(p);
        w.Form_Load();
        ::_exit(w.InfosInf.isEmpty() && w.NomProg.isEmpty() && p.boites.empty() ? 0 : 1);
    }
    int statut = -1;
    ::waitpid(pid, &statut, 0);
    EXPECT_TRUE(WIFEXITED(statut) && WEXITSTATUS(statut) == 0) << statut;
}

// Where the lookup starts after the header (just past its line end, or at
// the header's length + 2 without one), the 16-bit end position, and a
// value with no line end after it.
TEST_F(Lecture, BornesDeLaRecherche)
{
    demarrer({});
    const QString x(32759, 'x');
    struct Cas {
        QString texte, section, attendu;
    };
    for (const Cas& c : {Cas{"[S]\r\nK=1\r\n", "S", "1"}, Cas{"[S]\r\nK=\r\nK=2\r\n", "S", ""},
                         Cas{"abcK=1\r\n", "S", ""}, Cas{"abcdK=1\r\n", "S", "1"},
                         Cas{"[S]\r\nK=" + x + "\r\n", "S", x}, Cas{"[S]\r\nK=x" + x + "\r\n", "S", ""},
                         Cas{"[S]\r\nK=fin", "S", ""}}) {
        w->InfosInf = c.texte;
        EXPECT_EQ(w->LireValeur(c.section, "K"), c.attendu) << c.texte.left(20).toStdString();
    }
    // Read from a file, the last line gets its line end all the same.
    demarrerOctets("[Fichiers]\r\nF1=fin");
    EXPECT_EQ(w->F1, "fin");
}

}  // namespace
