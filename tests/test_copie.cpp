// Copying the system and program files, and the platform's file copy under
// it, on a real temporary file system.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

#include <array>
#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using plateforme::Erreur;

namespace {

const QString copies = QString::fromUtf8(" fichier(s) copié(s)");
using Arbre = QMap<QString, QByteArray>;

// Every file and folder under `racine`, hidden ones included, with its
// contents.
Arbre arbre(const QString& racine)
{
    Arbre t;
    QDirIterator it(racine, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString c = it.next();
        t[c.mid(racine.size())] = it.fileInfo().isDir() ? QByteArray("<dossier>") : lireFichier(c);
    }
    return t;
}

int numero(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        return e.numero;
    }
    return 0;
}

// Fills the slots in order; the rest are emptied.
template <std::size_t N>
void remplir(const std::array<QString*, N>& cases, const QStringList& noms)
{
    for (std::size_t i = 0; i < N; ++i) *cases[i] = i < std::size_t(noms.size()) ? noms[i] : QString();
}

// The installer's folder is the root of d:, the system directory
// c:\.local\lib with its sibling lib32, the install directory
// c:\Programmes\Agenda.
struct Copie : ::testing::Test {
    Bac bac;
    PlateformeTest p{bac.racine()};
    Install w{p};

    QString lib() const { return bac.home() + "/.local/lib"; }
    QString cible() const { return bac.home() + "/Programmes/Agenda"; }

    void SetUp() override
    {
        for (const QString& d : {lib(), lib() + "32", cible()}) QDir().mkpath(d);
        w.RepSys = p.RepertoireSysteme();
        w.Chemin = "c:\\Programmes\\Agenda";
        w.PbMax = 40;
    }
    void source(const QString& nom, const QByteArray& octets = "contenu")
    {
        ecrireFichier(bac.support() + "/" + nom, octets);
    }
};

// A system file goes into the system directory and its "32" sibling, each
// only where no file of that name is (whatever its case); a failed first
// copy skips the second. A program file named like a system file is left to
// it. Each file in use takes a step, copied or not.
TEST_F(Copie, SystemFilesNeverReplaceAnything)
{
    for (const char* nom : {"Outils.dll", "Autre.dll", "Bloque.dll", "a.dat"}) source(nom, nom);
    ecrireFichier(lib() + "/AUTRE.DLL", "ancien");
    QDir().mkpath(lib() + "/Bloque.dll");  // a folder: the first copy fails
    remplir(w.EmplacementsFs(), {"Outils.dll", "", "Autre.dll", "Absent.dll", "Bloque.dll"});
    remplir(w.EmplacementsF(), {"", "a.dat", "autre.dll"});
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(arbre(lib()),
              (Arbre{{"/AUTRE.DLL", "ancien"}, {"/Bloque.dll", "<dossier>"}, {"/Outils.dll", "Outils.dll"}}));
    EXPECT_EQ(arbre(lib() + "32"), (Arbre{{"/Autre.dll", "Autre.dll"}, {"/Outils.dll", "Outils.dll"}}));
    EXPECT_EQ(arbre(cible()), (Arbre{{"/a.dat", "a.dat"}}));
    EXPECT_EQ(w.Label6->text(), "4" + copies);
    EXPECT_EQ(w.Etape, 6);

    // A system directory that cannot be listed (its drive does not exist):
    // every name counts as present there, so nothing is copied over what
    // could not be checked.
    w.RepSys = "q:\\lib";
    QFile::remove(cible() + "/a.dat");
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_FALSE(QFile::exists(cible() + "/a.dat"));
    EXPECT_TRUE(w.FichierExiste("q:\\x"));
    EXPECT_FALSE(w.FichierExiste("c:\\Programmes\\Agenda\\absent"));
    EXPECT_FALSE(w.FichierExiste("c:\\Programmes\\Agenda"));  // a folder is no file
}

TEST_F(Copie, UnsafeNamesAreNeverCopied)
{
    // Sources exist wherever each name leads, so only the refusal keeps
    // them from being copied.
    for (const char* nom : {"evil.dat", "c:evil.dat", "sous/evil.dat", "../evil.dat", "../evil.dll"}) source(nom, "x");
    QDir().mkpath(cible() + "/sous");
    QDir().mkpath(cible() + "/Data");
    const auto avant = arbre(bac.racine());
    remplir(w.EmplacementsFs(), {"..\\evil.dll", "\\evil.dat", "Data\\..\\..\\evil.dll"});
    remplir(w.EmplacementsF(), {"..\\evil.dat", "\\evil.dat", "c:evil.dat", "sous/evil.dat",
                                QString("evil.dat") + QChar(0), "Data\\..\\..\\..\\evil.dat", ".",
                                "Data\\.\\..\\evil.dat"});
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(arbre(bac.racine()), avant);
    EXPECT_EQ(w.Label6->text(), "0" + copies);
}

// ---- The platform's copy ---------------------------------------------------

TEST_F(Copie, CopyKeepsDateAndPermissionsAndReplaces)
{
    const QByteArray octets(3 * 1024 * 1024 + 17, 'z');
    source("Agenda.exe", octets);
    const QByteArray hs = QFile::encodeName(bac.support() + "/Agenda.exe");
    ASSERT_EQ(::chmod(hs.constData(), 0751), 0);
    const struct timespec dates[2] = {{1500000000, 0}, {1234567890, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, hs.constData(), dates, 0), 0);
    ecrireFichier(cible() + "/Agenda.exe", "ancien");

    int blocs = 0;
    p.CopierFichier("d:\\Agenda.exe", "c:\\Programmes\\Agenda\\Agenda.exe", [&] { ++blocs; });
    EXPECT_EQ(QFile::permissions(cible() + "/Agenda.exe"), QFile::permissions(bac.support() + "/Agenda.exe"));
    EXPECT_EQ(p.DateModification("c:\\Programmes\\Agenda\\Agenda.exe"), 1234567890123456789LL);
    EXPECT_GE(blocs, 1);  // the window gets its chance during the copy
    source("vide.dat", "");  // an empty file is a file too
    p.CopierFichier("d:\\vide.dat", "c:\\Programmes\\Agenda\\vide.dat");
    EXPECT_EQ(arbre(cible()), (Arbre{{"/Agenda.exe", octets}, {"/vide.dat", ""}}));
}

// Each failure has its number and leaves the destination as it was; a
// read-only file is refused even to root.
TEST_F(Copie, FailedCopyLeavesTheDestination)
{
    source("a.dat");
    source("lu.dat", "nouveau");
    const QString lu = cible() + "/lu.dat";
    ecrireFichier(lu, "ancien");
    ASSERT_EQ(::chmod(QFile::encodeName(lu).constData(), 0444), 0);
    struct Cas { QString source, destination; int attendu; };
    for (const Cas& c : {Cas{"d:\\absent.dat", "c:\\Programmes\\Agenda\\a.dat", plateforme::ErrIntrouvable},
                         Cas{"d:\\a.dat", "c:\\Programmes\\Manque\\a.dat", plateforme::ErrChemin},
                         Cas{"d:\\", "c:\\Programmes\\Agenda\\a.dat", plateforme::ErrAcces},
                         Cas{"d:\\lu.dat", "c:\\Programmes\\Agenda\\lu.dat", plateforme::ErrPermission}})
        EXPECT_EQ(numero([&] { p.CopierFichier(c.source, c.destination); }), c.attendu) << c.source.toStdString();
    EXPECT_EQ(arbre(cible()), (Arbre{{"/lu.dat", "ancien"}}));
}

// A copy cut short, by the file-size limit (its signal ignored or not) or by
// the caller, leaves the old file as it was and nothing beside it.
TEST_F(Copie, CopyCutShortLeavesNoPartialFile)
{
    source("gros.bin", QByteArray(9 * 1024 * 1024, 'g'));
    ecrireFichier(cible() + "/gros.bin", "ancien");
    const auto copier = [&] { p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin"); };
    for (bool ignorer : {true, false}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, ignorer ? SIG_IGN : SIG_DFL);
            const struct rlimit limite = {1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_FSIZE, &limite);
            ::_exit(numero(copier));
        }
        int statut = 0;
        ::waitpid(pid, &statut, 0);
        EXPECT_TRUE(WIFEXITED(statut) && WEXITSTATUS(statut) == plateforme::ErrDisquePlein) << ignorer;
    }
    struct Arret {};
    EXPECT_THROW(p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin", [] { throw Arret{}; }),
                 Arret);
    EXPECT_EQ(arbre(cible()), (Arbre{{"/gros.bin", "ancien"}}));
}

}  // namespace
