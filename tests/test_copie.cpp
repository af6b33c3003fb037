// Copying the system and program files, and the platform's file copy under
// it, on a real temporary file system.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
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

// Every file and folder under `racine`, hidden ones included, with its
// contents.
QMap<QString, QByteArray> arbre(const QString& racine)
{
    QMap<QString, QByteArray> t;
    QDirIterator it(racine, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString c = it.next();
        t[c.mid(racine.size())] = it.fileInfo().isDir() ? QByteArray("<dossier>") : lireFichier(c);
    }
    return t;
}

unsigned mode(const QString& hote)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(hote).constData(), &st), 0) << hote.toStdString();
    return st.st_mode & 07777;
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
    QString lib32() const { return bac.home() + "/.local/lib32"; }
    QString cible() const { return bac.home() + "/Programmes/Agenda"; }

    void SetUp() override
    {
        for (const QString& d : {lib(), lib32(), cible()}) QDir().mkpath(d);
        w.RepSys = p.RepertoireSysteme();
        ASSERT_EQ(w.RepSys, "c:\\.local\\lib");
        w.Chemin = "c:\\Programmes\\Agenda";
        w.PbMax = 40;
    }
    void source(const QString& nom, const QByteArray& octets = "contenu") { ecrireFichier(bac.support() + "/" + nom, octets); }
};

using Arbre = QMap<QString, QByteArray>;

TEST_F(Copie, SystemFilesGoIntoBothDirectoriesUnlessPresent)
{
    for (const char* nom : {"Outils.dll", "Autre.dll", "Bloque.dll"}) source(nom, nom);
    ecrireFichier(lib() + "/AUTRE.DLL", "ancien");  // present whatever its case
    QDir().mkpath(lib() + "/Bloque.dll");          // a folder: the first copy fails
    // An empty slot does not end the walk; a failed first copy skips the
    // second.
    remplir(w.EmplacementsFs(), {"Outils.dll", "", "Autre.dll", "Absent.dll", "Bloque.dll"});
    w.Label7->setText("avant");
    w.CopierFichiersSystem();
    EXPECT_EQ(arbre(lib()), (Arbre{{"/AUTRE.DLL", "ancien"}, {"/Bloque.dll", "<dossier>"}, {"/Outils.dll", "Outils.dll"}}));
    EXPECT_EQ(arbre(lib32()), (Arbre{{"/Autre.dll", "Autre.dll"}, {"/Outils.dll", "Outils.dll"}}));
    EXPECT_EQ(w.Label6->text(), "3" + copies);
    EXPECT_EQ(w.Label7->text(), "");
    EXPECT_EQ(w.Lfic->text(), "Bloque.dll");
    EXPECT_EQ(w.Etape, 4);

    // All present now: nothing copied, still one step each.
    remplir(w.EmplacementsFs(), {"Outils.dll", "Autre.dll"});
    w.CopierFichiersSystem();
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_EQ(w.Etape, 6);

    // A system directory ending in 32 gets one copy.
    QDir().mkpath(bac.home() + "/sys32");
    w.RepSys = "c:\\sys32";
    w.CopierFichiersSystem();
    EXPECT_TRUE(QFile::exists(bac.home() + "/sys32/Outils.dll"));
    EXPECT_FALSE(QDir(bac.home() + "/sys3232").exists());
    EXPECT_EQ(w.Label6->text(), "2" + copies);
}

TEST_F(Copie, EmptySlotsAndNoSystemDirectory)
{
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_EQ(w.Etape, 0);

    // No system directory: the count stays unset. A bare "\" + name must
    // not be taken for a file of it at the root of the installer's drive.
    source("Outils.dll");
    source("prog.dat");
    w.A = QVariant();
    w.RepSys.clear();
    w.Fs1 = "Outils.dll";
    w.Label6->setText("avant");
    w.CopierFichiersSystem();
    EXPECT_FALSE(w.A.isValid());
    EXPECT_EQ(w.Label6->text(), "avant");
    EXPECT_EQ(w.Etape, 0);
    EXPECT_FALSE(QFile::exists(lib() + "/Outils.dll"));
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), copies);  // nothing copied: no figure at all
    w.F1 = "prog.dat";
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), "1" + copies);
    EXPECT_TRUE(QFile::exists(cible() + "/prog.dat"));
}

TEST_F(Copie, ProgramFilesAddToTheCountExceptSystemNamesAndMissingFolders)
{
    for (const char* nom : {"Outils.dll", "a.dat", "b.dat", "commun.dll", "Data/x.dat"}) source(nom, nom);
    ecrireFichier(cible() + "/b.dat", "ancien b");
    ecrireFichier(lib() + "/COMMUN.DLL", "systeme");
    w.Fs1 = "Outils.dll";
    w.CopierFichiersSystem();
    remplir(w.EmplacementsF(), {"", "a.dat", "Data\\x.dat", "commun.dll"});  // no Data folder yet
    w.F21 = "b.dat";
    w.CopierFichiers();
    EXPECT_EQ(arbre(cible()), (Arbre{{"/a.dat", "a.dat"}, {"/b.dat", "b.dat"}}));
    EXPECT_EQ(w.Label6->text(), "4" + copies);
    EXPECT_EQ(w.Lfic->text(), "b.dat");
    EXPECT_EQ(w.Etape, 5);

    w.A = 0;
    remplir(w.EmplacementsF(), {"Data\\x.dat", "commun.dll"});
    QDir().mkpath(cible() + "/Data");
    w.CopierFichiers();
    EXPECT_EQ(lireFichier(cible() + "/Data/x.dat"), "Data/x.dat");
    EXPECT_FALSE(QFile::exists(cible() + "/commun.dll"));
    EXPECT_EQ(w.Label6->text(), "1" + copies);
    EXPECT_EQ(w.Lfic->text(), "Data\\x.dat");  // the skipped system name is not shown
}

TEST_F(Copie, FailingListingCountsAsPresent)
{
    // A system directory on a drive that does not exist: nothing can be
    // checked, so nothing is copied.
    w.RepSys = "q:\\lib";
    source("Outils.dll");
    source("a.dat");
    w.Fs1 = "Outils.dll";
    w.F1 = "a.dat";
    w.CopierFichiersSystem();
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_FALSE(QFile::exists(cible() + "/a.dat"));
    EXPECT_EQ(w.Etape, 2);

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
    EXPECT_EQ(w.Etape, 11);  // each slot in use still takes its step
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
    const QString dest = cible() + "/Agenda.exe";
    ecrireFichier(dest, "ancien");

    int blocs = 0;
    p.CopierFichier("d:\\Agenda.exe", "c:\\Programmes\\Agenda\\Agenda.exe", [&] { ++blocs; });
    EXPECT_EQ(mode(dest), 0751u);
    EXPECT_EQ(p.DateModification("c:\\Programmes\\Agenda\\Agenda.exe"), 1234567890123456789LL);
    EXPECT_GE(blocs, 1);  // the window gets its chance during the copy
    source("vide.dat", "");  // an empty file is a file too
    p.CopierFichier("d:\\vide.dat", "c:\\Programmes\\Agenda\\vide.dat");
    EXPECT_EQ(arbre(cible()), (Arbre{{"/Agenda.exe", octets}, {"/vide.dat", ""}}));
}

TEST_F(Copie, FailedCopyLeavesTheDestinationAndIsNotCounted)
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

    w.A = 0;
    w.F1 = "lu.dat";
    w.CopierFichiers();
    EXPECT_EQ(arbre(cible()), (Arbre{{"/lu.dat", "ancien"}}));
    EXPECT_EQ(mode(lu), 0444u);
    EXPECT_EQ(w.Label6->text(), "0" + copies);
}

// Runs `f` in a child process whose files may not grow past 1 MiB; gives the
// child's exit code (-1 when a signal killed it). The limit's signal is left
// at its default, which kills the process, unless `ignorer`.
int sousLimite(const std::function<int()>& f, bool ignorer = true)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, ignorer ? SIG_IGN : SIG_DFL);
        const struct rlimit limite = {1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limite);
        int code = 100;
        try {
            code = f();
        } catch (...) {
        }
        ::_exit(code);
    }
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
}

TEST_F(Copie, CopyCutShortLeavesNoPartialFile)
{
    source("gros.bin", QByteArray(9 * 1024 * 1024, 'g'));
    ecrireFichier(cible() + "/gros.bin", "ancien");
    const auto copier = [&] { p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin"); };
    // The limit's signal, ignored or not, must not end the wizard mid-copy.
    for (bool ignorer : {true, false})
        EXPECT_EQ(sousLimite([&] { return numero(copier); }, ignorer), plateforme::ErrDisquePlein) << ignorer;
    struct Arret {};
    EXPECT_THROW(p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin", [] { throw Arret{}; }),
                 Arret);
    EXPECT_EQ(arbre(cible()), (Arbre{{"/gros.bin", "ancien"}}));

    // Through the wizard: the cut file is neither there nor counted, the
    // next one is.
    QFile::remove(cible() + "/gros.bin");
    source("petit.dat", "petit");
    w.A = 0;
    remplir(w.EmplacementsF(), {"gros.bin", "petit.dat"});
    EXPECT_EQ(sousLimite([&] {
                  w.CopierFichiers();
                  return w.A.toInt();
              }),
              1);
    EXPECT_EQ(arbre(cible()), (Arbre{{"/petit.dat", "petit"}}));
}

}  // namespace
