// Copying the system and program files, and the platform's file copy under it, on a real file system.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Arbre = QMap<QString, QByteArray>;

// Fills the slots in order; the rest are emptied.
template <std::size_t N>
void remplir(const std::array<QString*, N>& cases, const QStringList& noms)
{
    for (std::size_t i = 0; i < N; ++i) *cases[i] = i < std::size_t(noms.size()) ? noms[i] : QString();
}

// d:\ is the installer's folder, c:\.local\lib (and lib32) the system directory, c:\Programmes\Agenda the target.
struct Copie : ::testing::Test {
    Bac bac;
    PlateformeTest p{bac.racine()};
    Install w{p};
    QString lib() const { return bac.home() + "/.local/lib"; }
    QString cible() const { return bac.home() + "/Programmes/Agenda"; }
    void source(const QString& nom, QByteArray octets = "x") { ecrireFichier(bac.support() + "/" + nom, octets); }
};

// A system file goes into the system directory and its "32" sibling, each only where no file of that name is
// (whatever its case), nor anything else (another program's file in the second only, a link to nowhere), a failed
// first copy skipping the second; a program file named alike is left to it.
TEST_F(Copie, SystemFilesNeverReplaceAnythingNorGoOutside)
{
    for (const QString& d : {lib(), lib() + "32", cible()}) QDir().mkpath(d);
    w.RepSys = p.RepertoireSysteme();
    w.Chemin = "c:\\Programmes\\Agenda";
    for (const char* nom : {"Outils.dll", "Autre.dll", "Bloque.dll", "a.dat", "A.DAT", "Seul32.dll", "Lien.dll"})
        source(nom, nom);
    ecrireFichier(lib() + "/AUTRE.DLL", "ancien");
    ecrireFichier(lib() + "32/Seul32.dll", "autre programme");
    ASSERT_TRUE(QFile::link("nulle-part", lib() + "/Lien.dll"));
    QDir().mkpath(lib() + "/Bloque.dll");  // a folder: the first copy fails
    remplir(w.EmplacementsFs(), {"Outils.dll", "", "Autre.dll", "Absent.dll", "Bloque.dll", "Seul32.dll", "Lien.dll"});
    // A.DAT, another file of the medium, would land on a.dat.
    remplir(w.EmplacementsF(), {"", "a.dat", "autre.dll", "A.DAT"});
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(arbre(lib()), (Arbre{{"/AUTRE.DLL", "ancien"}, {"/Bloque.dll", "/"}, {"/Lien.dll", ""},
                                   {"/Outils.dll", "Outils.dll"}, {"/Seul32.dll", "Seul32.dll"}}));
    EXPECT_EQ(QFileInfo(lib() + "/Lien.dll").symLinkTarget(), QFileInfo(lib() + "/nulle-part").filePath());
    EXPECT_EQ(arbre(lib() + "32"), (Arbre{{"/Autre.dll", "Autre.dll"}, {"/Lien.dll", "Lien.dll"},
                                          {"/Outils.dll", "Outils.dll"}, {"/Seul32.dll", "autre programme"}}));
    EXPECT_EQ(arbre(cible()), (Arbre{{"/a.dat", "a.dat"}}));
    EXPECT_EQ(w.Label6->text(), QString::fromUtf8("6 fichier(s) copié(s)"));
    EXPECT_EQ(w.Etape, 9);  // a step for each file in use, copied or not
    ASSERT_EQ(w.Manquants.size(), 3u);  // what is kept is no failure
    EXPECT_EQ(w.Manquants[0].fichier + w.Manquants[1].fichier, "c:\\.local\\lib\\Absent.dllc:\\.local\\lib\\Bloque.dll");
    EXPECT_EQ(w.Manquants[2].raison, "un autre fichier porte ce nom à la casse près");

    // A system directory that cannot be listed (no such drive): every name counts as present, so nothing is copied.
    w.RepSys = "q:\\lib";
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), QString::fromUtf8("0 fichier(s) copié(s)"));
    EXPECT_TRUE(w.FichierExiste("q:\\x"));
    EXPECT_FALSE(w.FichierExiste("c:\\Programmes\\Agenda"));  // a folder is no file

    // Sources exist wherever each unsafe name leads, so only the refusal keeps them from being copied; a trailing
    // backslash does not replace the system file in place. Each name is told once, as such.
    for (const char* nom : {"evil.dat", "c:evil.dat", "sous/evil.dat", "../evil.dat", "../evil.dll"}) source(nom);
    for (const char* d : {"/sous", "/Data"}) QDir().mkpath(cible() + d);
    w.RepSys = p.RepertoireSysteme();
    w.Manquants.clear();
    const auto avant = arbre(bac.racine());
    remplir(w.EmplacementsFs(), {"..\\evil.dll", "\\evil.dat", "Data\\..\\..\\evil.dll", "Outils.dll\\"});
    remplir(w.EmplacementsF(), {"..\\evil.dat", "\\evil.dat", "c:evil.dat", "sous/evil.dat", ".", "Sous\\\\a.dat",
                                "Data\\.\\..\\evil.dat", "Data\\..\\..\\..\\evil.dat", QString("evil.dat") + QChar(0)});
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(arbre(bac.racine()), avant);
    EXPECT_EQ(w.Label6->text(), QString::fromUtf8("0 fichier(s) copié(s)"));
    EXPECT_EQ(w.Manquants.size(), 12u);
    for (const auto& m : w.Manquants) EXPECT_EQ(m.raison, "nom de fichier non valide") << m.fichier.toStdString();
}

// The platform's copy replaces, keeping date and rights, or leaves the destination as it was.
TEST_F(Copie, PlatformCopy)
{
    const QByteArray octets(3 * 1024 * 1024 + 17, 'z');
    source("Agenda.exe", octets);
    const QByteArray hs = QFile::encodeName(bac.support() + "/Agenda.exe");
    ASSERT_EQ(::chmod(hs.constData(), 0751), 0);
    const struct timespec dates[2] = {{1500000000, 0}, {1234567890, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, hs.constData(), dates, 0), 0);
    ecrireFichier(cible() + "/Agenda.exe", "ancien");
    p.CopierFichier("d:\\Agenda.exe", "c:\\Programmes\\Agenda\\Agenda.exe");
    EXPECT_EQ(QFile::permissions(cible() + "/Agenda.exe"), QFile::permissions(bac.support() + "/Agenda.exe"));
    EXPECT_EQ(p.DateModification("c:\\Programmes\\Agenda\\Agenda.exe"), 1234567890123456789LL);
    source("vide.dat", "");  // an empty file is a file too
    p.CopierFichier("d:\\vide.dat", "c:\\Programmes\\Agenda\\vide.dat");

    // A copy that fails (each failure with its number; a read-only file refused even to root), or is cut short by
    // the file-size limit (its signal ignored or not) or by the caller, leaves the destination as it was, alone.
    source("gros.bin", QByteArray(9 * 1024 * 1024, 'g'));
    source("lu.dat");
    // A pipe on the medium is refused at once, never opened for a writer that never comes.
    ASSERT_EQ(::mkfifo(QFile::encodeName(bac.support() + "/tube").constData(), 0644), 0);
    EXPECT_EQ(echec([&] { p.CopierFichier("d:\\tube", "c:\\Programmes\\Agenda\\tube"); }).systeme,
              plateforme::PasUnFichierOrdinaire);
    for (const char* nom : {"/lu.dat", "/gros.bin"}) ecrireFichier(cible() + nom, "ancien");
    ASSERT_EQ(::chmod(QFile::encodeName(cible() + "/lu.dat").constData(), 0444), 0);
    for (const auto& [source, nom, attendu] : {std::tuple{"d:\\absent.dat", "a.dat", plateforme::ErrIntrouvable},
                                               {"d:\\", "a.dat", plateforme::ErrAcces},
                                               {"d:\\lu.dat", "lu.dat", plateforme::ErrPermission}})
        EXPECT_EQ(echec([&] { p.CopierFichier(source, QString("c:\\Programmes\\Agenda\\") + nom); }).numero, attendu)
            << source;

    for (bool ignorer : {true, false}) {
        const int code = dansUnEnfant([&] {
            ::signal(SIGXFSZ, ignorer ? SIG_IGN : SIG_DFL);
            const struct rlimit limite = {1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_FSIZE, &limite);
            return echec([&] { p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin"); }).numero;
        });
        EXPECT_EQ(code, plateforme::ErrDisquePlein) << ignorer;
    }
    EXPECT_THROW(p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin", [] { throw 1; }), int);
    EXPECT_EQ(arbre(cible()), (Arbre{{"/Agenda.exe", octets}, {"/gros.bin", "ancien"}, {"/lu.dat", "ancien"},
                                     {"/vide.dat", ""}}));
}

}  // namespace
