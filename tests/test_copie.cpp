// Copying the system and program files, and the platform's file copy under
// it, on a real temporary file system.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

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

QStringList caches(const QString& dossier)
{
    return QDir(dossier).entryList(QDir::Files | QDir::Hidden | QDir::System).filter(QRegularExpression("^\\."));
}

struct stat etat(const QString& hote)
{
    struct stat st {};
    EXPECT_EQ(::stat(hote.toUtf8().constData(), &st), 0) << hote.toStdString();
    return st;
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
    QString support(const QString& nom) const { return bac.support() + "/" + nom; }

    void SetUp() override
    {
        for (const QString& d : {lib(), lib32(), cible()}) QDir().mkpath(d);
        w.RepSys = p.RepertoireSysteme();
        ASSERT_EQ(w.RepSys, "c:\\.local\\lib");
        w.Chemin = "c:\\Programmes\\Agenda";
        w.PbMax = 40;
    }
    void source(const QString& nom, const QByteArray& octets = "contenu") { ecrireFichier(support(nom), octets); }
};

TEST_F(Copie, NewSystemFileGoesIntoTheSystemDirectoryAndItsSibling)
{
    source("Outils.dll", "outils");
    source("Autre.dll", "autre");
    w.Fs1 = "Outils.dll";
    w.Fs3 = "Autre.dll";  // an empty slot does not end the walk
    w.Label7->setText("avant");
    w.CopierFichiersSystem();
    for (const QString& d : {lib(), lib32()}) {
        EXPECT_EQ(lireFichier(d + "/Outils.dll"), "outils");
        EXPECT_EQ(lireFichier(d + "/Autre.dll"), "autre");
        EXPECT_TRUE(caches(d).isEmpty());
    }
    EXPECT_EQ(w.A.toInt(), 4);
    EXPECT_EQ(w.Label6->text(), "4" + copies);
    EXPECT_EQ(w.Label7->text(), "");
    EXPECT_EQ(w.Lfic->text(), "Autre.dll");
    EXPECT_EQ(w.Etape, 2);
}

TEST_F(Copie, PresentSystemFileIsNeverReplacedWhateverItsCase)
{
    source("Outils.dll", "nouveau");
    ecrireFichier(lib() + "/OUTILS.DLL", "ancien");
    w.Fs1 = "Outils.dll";
    w.CopierFichiersSystem();
    EXPECT_EQ(lireFichier(lib() + "/OUTILS.DLL"), "ancien");
    EXPECT_FALSE(QFile::exists(lib() + "/Outils.dll"));
    EXPECT_EQ(lireFichier(lib32() + "/Outils.dll"), "nouveau");
    EXPECT_EQ(w.Label6->text(), "1" + copies);

    // Present in both: nothing copied, still one step.
    w.CopierFichiersSystem();
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_EQ(w.Etape, 2);
}

TEST_F(Copie, SystemDirectoryEndingIn32GetsOneCopy)
{
    QDir().mkpath(bac.home() + "/sys32");
    w.RepSys = "c:\\sys32";
    source("Outils.dll");
    w.Fs1 = "Outils.dll";
    w.CopierFichiersSystem();
    EXPECT_TRUE(QFile::exists(bac.home() + "/sys32/Outils.dll"));
    EXPECT_FALSE(QDir(bac.home() + "/sys3232").exists());
    EXPECT_EQ(w.Label6->text(), "1" + copies);
}

TEST_F(Copie, FailedFirstCopySkipsTheSecondAndTheWalkGoesOn)
{
    // A folder in the system directory is no file: the copy onto it fails.
    QDir().mkpath(lib() + "/Bloque.dll");
    source("Bloque.dll");
    source("Bon.dll");
    w.Fs1 = "Bloque.dll";
    w.Fs2 = "Absent.dll";  // source missing
    w.Fs3 = "Bon.dll";
    w.CopierFichiersSystem();
    EXPECT_FALSE(QFile::exists(lib32() + "/Bloque.dll"));
    EXPECT_FALSE(QFile::exists(lib() + "/Absent.dll"));
    EXPECT_FALSE(QFile::exists(lib32() + "/Absent.dll"));
    EXPECT_TRUE(QFile::exists(lib32() + "/Bon.dll"));
    EXPECT_EQ(w.Label6->text(), "2" + copies);
    EXPECT_EQ(w.Etape, 3);
    EXPECT_TRUE(caches(lib()).isEmpty());
}

TEST_F(Copie, EmptySlotsTakeNoStepAndCountZero)
{
    w.CopierFichiersSystem();
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_EQ(w.Etape, 0);
}

TEST_F(Copie, NoSystemDirectoryLeavesTheCountEmpty)
{
    source("Outils.dll");
    // At the root of the installer's drive: a bare "\" + name must not be
    // taken for a file of the system directory.
    source("prog.dat");
    w.RepSys.clear();
    w.Fs1 = "Outils.dll";
    w.Label6->setText("avant");
    w.Label7->setText("avant");
    w.CopierFichiersSystem();
    EXPECT_FALSE(w.A.isValid());
    EXPECT_EQ(w.Label6->text(), "avant");
    EXPECT_EQ(w.Label7->text(), "");
    EXPECT_EQ(w.Etape, 0);
    EXPECT_FALSE(QFile::exists(lib() + "/Outils.dll"));

    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), copies);  // nothing copied: no figure at all

    w.F1 = "prog.dat";
    w.CopierFichiers();
    EXPECT_EQ(w.Label6->text(), "1" + copies);
    EXPECT_TRUE(QFile::exists(cible() + "/prog.dat"));
}

TEST_F(Copie, ProgramFilesAddToTheSystemCount)
{
    source("Outils.dll");
    source("a.dat", "a");
    source("b.dat", "b");
    ecrireFichier(cible() + "/b.dat", "ancien b");
    w.Fs1 = "Outils.dll";
    w.CopierFichiersSystem();
    w.F2 = "a.dat";
    w.F21 = "b.dat";
    w.CopierFichiers();
    EXPECT_EQ(lireFichier(cible() + "/a.dat"), "a");
    EXPECT_EQ(lireFichier(cible() + "/b.dat"), "b");  // replaced
    EXPECT_EQ(w.Label6->text(), "4" + copies);
    EXPECT_EQ(w.Lfic->text(), "b.dat");
    EXPECT_EQ(w.Etape, 3);
    EXPECT_TRUE(caches(cible()).isEmpty());
}

TEST_F(Copie, ProgramFileNamedLikeASystemFileIsLeftOut)
{
    ecrireFichier(lib() + "/COMMUN.DLL", "systeme");
    source("commun.dll");
    source("a.dat");
    w.A = 0;
    w.F1 = "a.dat";
    w.F2 = "commun.dll";
    w.CopierFichiers();
    EXPECT_FALSE(QFile::exists(cible() + "/commun.dll"));
    EXPECT_EQ(w.Label6->text(), "1" + copies);
    EXPECT_EQ(w.Lfic->text(), "a.dat");  // the skipped one is not shown
    EXPECT_EQ(w.Etape, 2);
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
    ecrireFichier(cible() + "/Agenda.exe", "x");
    EXPECT_TRUE(w.FichierExiste("c:\\PROGRAMMES\\agenda\\AGENDA.EXE"));
}

TEST_F(Copie, NameWithSubfolderNeedsThatFolder)
{
    source("Data/x.dat", "donnees");
    w.A = 0;
    w.F1 = "Data\\x.dat";
    w.CopierFichiers();
    EXPECT_FALSE(QDir(cible() + "/Data").exists());
    EXPECT_EQ(w.Label6->text(), "0" + copies);

    QDir().mkpath(cible() + "/Data");
    w.CopierFichiers();
    EXPECT_EQ(lireFichier(cible() + "/Data/x.dat"), "donnees");
    EXPECT_EQ(w.Label6->text(), "1" + copies);
}

TEST_F(Copie, UnsafeNamesAreNeverCopied)
{
    // Sources exist wherever each name leads, so only the refusal keeps
    // them from being copied.
    ecrireFichier(bac.racine() + "/media/evil.dat", "x");
    ecrireFichier(bac.racine() + "/media/evil.dll", "x");
    source("evil.dat", "x");
    source("c:evil.dat", "x");
    source("sous/evil.dat", "x");
    QDir().mkpath(cible() + "/sous");
    QDir().mkpath(cible() + "/Data");
    const auto avant = arbre(bac.racine());

    w.Fs1 = "..\\evil.dll";
    w.Fs2 = "\\evil.dat";
    w.Fs3 = "Data\\..\\..\\evil.dll";
    w.F1 = "..\\evil.dat";
    w.F2 = "\\evil.dat";
    w.F3 = "c:evil.dat";
    w.F4 = "sous/evil.dat";
    w.F5 = QString("evil.dat") + QChar(0);
    w.F6 = "Data\\..\\..\\..\\evil.dat";
    w.F7 = ".";
    w.F8 = "Data\\.\\..\\evil.dat";
    w.CopierFichiersSystem();
    w.CopierFichiers();

    EXPECT_EQ(arbre(bac.racine()), avant);
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_EQ(w.Etape, 11);  // each slot in use still takes its step
}

TEST_F(Copie, ReadOnlyDestinationStaysAndIsNotCounted)
{
    source("lu.dat", "nouveau");
    const QString dest = cible() + "/lu.dat";
    ecrireFichier(dest, "ancien");
    ASSERT_EQ(::chmod(dest.toUtf8().constData(), 0444), 0);
    w.A = 0;
    w.F1 = "lu.dat";
    w.CopierFichiers();
    EXPECT_EQ(lireFichier(dest), "ancien");
    EXPECT_EQ(etat(dest).st_mode & 0777, 0444u);
    EXPECT_EQ(w.Label6->text(), "0" + copies);
    EXPECT_TRUE(caches(cible()).isEmpty());

    try {
        p.CopierFichier("d:\\lu.dat", "c:\\Programmes\\Agenda\\lu.dat");
        FAIL() << "copied over a read-only file";
    } catch (const Erreur& e) {
        EXPECT_EQ(e.numero, plateforme::ErrPermission);
    }
}

// ---- The platform's copy ---------------------------------------------------

int numeroEchec(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        return e.numero;
    }
    return 0;
}

TEST_F(Copie, CopyKeepsDateAndPermissionsAndReplaces)
{
    const QByteArray octets(3 * 1024 * 1024 + 17, 'z');
    source("Agenda.exe", octets);
    const QByteArray hs = support("Agenda.exe").toUtf8();
    ASSERT_EQ(::chmod(hs.constData(), 0751), 0);
    const struct timespec dates[2] = {{1500000000, 0}, {1234567890, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, hs.constData(), dates, 0), 0);
    ecrireFichier(cible() + "/Agenda.exe", "ancien");

    int blocs = 0;
    p.CopierFichier("d:\\Agenda.exe", "c:\\Programmes\\Agenda\\Agenda.exe", [&] { ++blocs; });
    const QString dest = cible() + "/Agenda.exe";
    EXPECT_EQ(lireFichier(dest), octets);
    const struct stat st = etat(dest);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(p.DateModification("c:\\Programmes\\Agenda\\Agenda.exe"),
              p.DateModification("d:\\Agenda.exe"));
    EXPECT_GE(blocs, 1);  // the window gets its chance during the copy
    EXPECT_TRUE(caches(cible()).isEmpty());

    // An empty file is a file too.
    source("vide.dat", "");
    p.CopierFichier("d:\\vide.dat", "c:\\Programmes\\Agenda\\vide.dat");
    EXPECT_TRUE(QFile::exists(cible() + "/vide.dat"));
    EXPECT_EQ(QFileInfo(cible() + "/vide.dat").size(), 0);
}

TEST_F(Copie, CopyFailuresSayWhatWentWrong)
{
    source("a.dat");
    EXPECT_EQ(numeroEchec([&] { p.CopierFichier("d:\\absent.dat", "c:\\Programmes\\Agenda\\a.dat"); }),
              plateforme::ErrIntrouvable);
    EXPECT_EQ(numeroEchec([&] { p.CopierFichier("d:\\a.dat", "c:\\Programmes\\Manque\\a.dat"); }),
              plateforme::ErrChemin);
    EXPECT_EQ(numeroEchec([&] { p.CopierFichier("d:\\", "c:\\Programmes\\Agenda\\a.dat"); }),
              plateforme::ErrAcces);
    EXPECT_FALSE(QFile::exists(cible() + "/a.dat"));
    EXPECT_TRUE(caches(cible()).isEmpty());
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
    const QByteArray gros(6 * 1024 * 1024, 'g');
    source("gros.bin", gros);
    const QString dest = cible() + "/gros.bin";
    ecrireFichier(dest, "ancien");
    const int code = sousLimite([&] {
        return numeroEchec([&] { p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin"); });
    });
    EXPECT_EQ(code, plateforme::ErrDisquePlein);
    EXPECT_EQ(lireFichier(dest), "ancien");
    EXPECT_TRUE(caches(cible()).isEmpty());

    // The limit's signal must not end the wizard in the middle of a copy.
    const int sansIgnorer = sousLimite(
        [&] { return numeroEchec([&] { p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin"); }); },
        false);
    EXPECT_EQ(sansIgnorer, plateforme::ErrDisquePlein);
    EXPECT_EQ(lireFichier(dest), "ancien");
    EXPECT_TRUE(caches(cible()).isEmpty());

    // Through the wizard: the cut file is neither there nor counted, the
    // next one is.
    QFile::remove(dest);
    source("petit.dat", "petit");
    w.A = 0;
    w.F1 = "gros.bin";
    w.F2 = "petit.dat";
    const int compte = sousLimite([&] {
        w.CopierFichiers();
        return w.A.toInt();
    });
    EXPECT_EQ(compte, 1);
    EXPECT_FALSE(QFile::exists(dest));
    EXPECT_EQ(lireFichier(cible() + "/petit.dat"), "petit");
    EXPECT_TRUE(caches(cible()).isEmpty());
}

TEST_F(Copie, CallbackThatThrowsLeavesNothingBehind)
{
    source("gros.bin", QByteArray(9 * 1024 * 1024, 'g'));
    struct Arret {};
    EXPECT_THROW(p.CopierFichier("d:\\gros.bin", "c:\\Programmes\\Agenda\\gros.bin", [] { throw Arret{}; }),
                 Arret);
    EXPECT_FALSE(QFile::exists(cible() + "/gros.bin"));
    EXPECT_TRUE(caches(cible()).isEmpty());
}

}  // namespace
