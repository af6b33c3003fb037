// File copy and drive geometry.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plateforme {

namespace {

// Largest amount written between two calls of the caller's callback: small
// enough that the window repaints several times a second even on a slow
// disk, large enough that the calls cost nothing next to the copy.
constexpr std::size_t tailleBloc = std::size_t(2) << 20;

// A descriptor closed on every way out.
struct Descripteur {
    int fd = -1;
    ~Descripteur()
    {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

// A file that exceeds the process's file-size limit must make the write fail
// (EFBIG, reported as disk full), not kill the wizard with SIGXFSZ. Checked
// at every copy: the disposition may have been reset since the last one.
void interne::ignorerDepassementTaille()
{
    struct sigaction actuelle {};
    if (::sigaction(SIGXFSZ, nullptr, &actuelle) == 0 && actuelle.sa_handler == SIG_DFL) {
        struct sigaction ignorer {};
        ignorer.sa_handler = SIG_IGN;
        sigemptyset(&ignorer.sa_mask);
        ::sigaction(SIGXFSZ, &ignorer, nullptr);
    }
}

namespace {

// Copies the rest of `in` to `out` block by block; false with errno set on
// failure.
bool copierContenu(int in, int out, const std::function<void()>& entreBlocs)
{
    // Within the kernel first (no copy through user space; reflinks where
    // the file system has them), then plain reads and writes where the
    // kernel refuses (other file systems, old kernels, special files).
    bool noyau = true;
    bool premier = true;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, tailleBloc, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (premier && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                            errno == EOPNOTSUPP || errno == EBADF || errno == EPERM)) {
                noyau = false;
                break;
            }
            return false;
        }
        if (n == 0) {
            // Some pseudo-files report nothing to the kernel copy although
            // reading them gives data: read the first block to be sure.
            if (premier) noyau = false;
            break;
        }
        premier = false;
        if (entreBlocs) entreBlocs();
    }
    if (noyau) return true;

    std::vector<char> tampon(std::size_t(1) << 20);
    std::size_t depuisAppel = 0;
    for (;;) {
        const ssize_t n = ::read(in, tampon.data(), tampon.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        if (!interne::ecrireTout(out, tampon.data(), std::size_t(n))) return false;
        depuisAppel += std::size_t(n);
        if (depuisAppel >= tailleBloc) {
            depuisAppel = 0;
            if (entreBlocs) entreBlocs();
        }
    }
}

// The rights of a copy: the source's, through the user's umask as cp
// gives them (a stick mounted with umask=000 or an archive must not leave a
// program that anyone may rewrite). A program that lost its execute right
// on the way (a FAT stick mounted without it, an archive, a download) gets
// it back wherever it may be read, or it could never be started.
// `debut` holds the file's first bytes when they were read already.
mode_t modeCopie(int source, mode_t mode, QByteArrayView debut = {})
{
    mode &= 0777;
    if (!(mode & 0111)) {
        char lus[4] = {};
        if (debut.isNull()) debut = QByteArrayView(lus, std::max<ssize_t>(::pread(source, lus, sizeof lus, 0), 0));
        if (debut.startsWith("\x7f" "ELF") || debut.startsWith("#!")) mode |= (mode & 0444) >> 2;
    }
    return mode & ~interne::masqueCreation();
}

// Below this size a file is copied through memory, hashed on the way: one
// read and one write, where the kernel's copy and a second reading for the
// record would cost more for the thousands of small files of a tree.
constexpr off_t TaillePetitFichier = off_t(256) << 10;

}  // namespace

void interne::copierHote(const QByteArray& hs, const QByteArray& hd, const QString& source, const QString& destination,
                const std::function<void()>& entreBlocs, bool remplacer, interne::Element::Genre genre, bool nettoyer,
                const Reperes& r)
{
    // The source: a regular file (opening a pipe or device must not block).
    Descripteur in;
    in.fd = ::openat(r.source, hs.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in.fd < 0) interne::echec(errno, source);
    struct stat ss {};
    if (::fstat(in.fd, &ss) != 0) interne::echec(errno, source);
    // O_NONBLOCK changes nothing for a regular file.
    if (!S_ISREG(ss.st_mode)) throw Erreur{ErrAcces, source, PasUnFichierOrdinaire};

    // The destination, if any, must be a file the user may write.
    struct stat sd {};
    // A folder in the way is a failure; anything else stays as it is.
    if (!remplacer && ::fstatat(r.destination, hd.constData(), &sd, AT_SYMLINK_NOFOLLOW) == 0)
        throw Erreur{S_ISDIR(sd.st_mode) ? ErrAcces : ErrExiste, destination};
    bool nouveau = false;
    if (::fstatat(r.destination, hd.constData(), &sd, 0) == 0) {
        if (S_ISDIR(sd.st_mode)) throw Erreur{ErrAcces, destination};
        // Read-only as lectureSeule() tells it: no right for anyone counts, even for root.
        if ((sd.st_mode & 0222) == 0 || ::faccessat(r.destination, hd.constData(), W_OK, 0) != 0)
            throw Erreur{ErrPermission, destination};
        if (sd.st_dev == ss.st_dev && sd.st_ino == ss.st_ino) return;  // onto itself
    } else if (errno != ENOENT) {
        interne::echec(errno, destination);
    } else {
        // Not even a link to nowhere: the name is free.
        nouveau = ::fstatat(r.destination, hd.constData(), &sd, AT_SYMLINK_NOFOLLOW) != 0;
    }

    const qsizetype barre = hd.lastIndexOf('/');
    interne::Temporaire temp(barre > 0 ? hd.left(barre) : QByteArray("/"), hd.mid(barre + 1), destination, nettoyer,
                             r.destination, nouveau);
    // What the record keeps of it: the bytes now in the copy.
    const bool inventaire = interne::inventaireActif();
    interne::Element e{genre, r.hote.isEmpty() ? QString::fromUtf8(hd) : r.hote, 0, {}, {}};
    interne::Sha256 h;
    static std::unique_ptr<char[]> tampon(new char[TaillePetitFichier]);
    mode_t mode;
    if (ss.st_size < TaillePetitFichier) {
        // A regular file reads short only at its end: no read for nothing.
        for (;;) {
            const std::size_t reste = std::size_t(TaillePetitFichier - e.taille);
            const ssize_t n = ::read(in.fd, tampon.get() + e.taille, reste);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) interne::echec(errno, source);
            e.taille += n;
            if (n == 0 || std::size_t(n) < reste) break;
        }
        // A file that grew meanwhile goes on through the common way.
        if (!interne::ecrireTout(temp.fd(), tampon.get(), std::size_t(e.taille))) interne::echec(errno, destination);
        h.ajouter(QByteArrayView(tampon.get(), e.taille));
        mode = modeCopie(in.fd, ss.st_mode, QByteArrayView(tampon.get(), std::min<qint64>(e.taille, 4)));
        if (e.taille == TaillePetitFichier) e.taille = -1;
    } else {
        e.taille = -1;
        mode = modeCopie(in.fd, ss.st_mode);
    }
    if (e.taille < 0) {
        if (!copierContenu(in.fd, temp.fd(), entreBlocs)) interne::echec(errno, destination);
        if (inventaire) {
            h = interne::Sha256();
            e.taille = 0;
            ssize_t n;
            while ((n = ::pread(temp.fd(), tampon.get(), std::size_t(TaillePetitFichier), e.taille)) > 0) {
                h.ajouter(QByteArrayView(tampon.get(), n));
                e.taille += n;
            }
            if (n < 0) interne::echec(errno, destination);
        }
    }
    if (::fchmod(temp.fd(), mode) != 0) interne::echec(errno, destination);
    const struct timespec dates[2] = {ss.st_atim, ss.st_mtim};
    if (::futimens(temp.fd(), dates) != 0) interne::echec(errno, destination);
    temp.valider(hd, destination, remplacer);
    if (!inventaire) return;
    e.sha256 = h.hex();
    interne::inventorier(std::move(e));
}


void Plateforme::CopierFichier(const QString& source, const QString& destination,
                               const std::function<void()>& entreBlocs, bool remplacer)
{
    interne::ignorerDepassementTaille();
    const QByteArray hs = interne::octets(VersHote(source));
    const QString hoteDestination = VersHote(destination);
    const QByteArray hd = interne::octets(hoteDestination);

    const int barre = hd.lastIndexOf('/');
    const QByteArray dossier = barre > 0 ? hd.left(barre) : QByteArray("/");
    const QByteArray nom = hd.mid(barre + 1);

    const QString systeme = interne::sansBarreFinale(config_.repertoireSysteme);
    const QString dossierHote = QString::fromUtf8(dossier);
    const bool dansSysteme =
        !systeme.isEmpty() && (dossierHote == systeme || dossierHote == systeme + QStringLiteral("32"));
    interne::surLecteurs(config_, {source, destination}, [&] {
        // A system directory and its "32" sibling always exist where the
        // wizard comes from: here the first copy into one makes it.
        if (dansSysteme) interne::creerDossiers(dossierHote);
        interne::dossierExistant(dossier, destination);
        if (nom.isEmpty()) throw Erreur{ErrNomInvalide, destination};
        interne::copierHote(hs, hd, source, destination, entreBlocs, remplacer,
                   dansSysteme ? interne::Element::Systeme : interne::Element::Fichier, true);
    });
    aSynchroniser_ << QString::fromUtf8(dossier);
}

void interne::copierArbre(const QString& source, const QString& destination)
{
    const QByteArray s = octets(source), d = octets(destination);
    struct stat st {};
    if (::lstat(s.constData(), &st) != 0) echec(errno, source);
    if (S_ISLNK(st.st_mode)) {
        char cible[4096];
        const ssize_t n = ::readlink(s.constData(), cible, sizeof cible - 1);
        if (n < 0) echec(errno, source);
        cible[n] = 0;
        if (::symlink(cible, d.constData()) != 0) echec(errno, destination);
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        if (::mkdir(d.constData(), st.st_mode & 0777) != 0 && errno != EEXIST) echec(errno, destination);
        DIR* dir = ::opendir(s.constData());
        if (!dir) echec(errno, source);
        QStringList noms;
        while (const dirent* e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) noms << QString::fromUtf8(e->d_name);
        ::closedir(dir);
        for (const QString& n : noms) copierArbre(source + u'/' + n, destination + u'/' + n);
        return;
    }
    if (!S_ISREG(st.st_mode)) throw Erreur{ErrAcces, source, PasUnFichierOrdinaire};
    Descripteur in, out;
    in.fd = ::open(s.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in.fd < 0) echec(errno, source);
    out.fd = ::open(d.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (out.fd < 0) echec(errno, destination);
    if (!copierContenu(in.fd, out.fd, {})) echec(errno, destination);
    const struct timespec dates[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd, dates);
}

void Plateforme::SupprimerTemporaires(const QString& dossier, const QStringList& noms)
{
    QList<QByteArray> prefixes;
    for (const QString& nom : noms)
        if (!nom.isEmpty()) prefixes << interne::prefixeTemporaire(interne::octets(nom));
    interne::supprimerRestes(interne::octets(VersHote(dossier)), prefixes);
}

void Plateforme::Synchroniser()
{
    std::vector<dev_t> faits;
    QStringList dossiers = std::exchange(aSynchroniser_, {});
    dossiers.removeDuplicates();
    for (const QString& dossier : dossiers) {
        // What was written to a drive taken away since is not there.
        VersHote(VersLecteur(dossier));
        Descripteur fd;
        fd.fd = ::open(interne::octets(dossier).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0) continue;   // gone since: nothing left to keep
        if (std::find(faits.begin(), faits.end(), st.st_dev) != faits.end()) continue;
        faits.push_back(st.st_dev);
        if (::syncfs(fd.fd) != 0) interne::echec(errno, VersLecteur(dossier));
    }
}

Geometrie Plateforme::GeometrieDisque(const QString& racine) const
{
    const QString hote = VersHote(racine);
    struct statvfs v {};
    if (::statvfs(interne::octets(hote).constData(), &v) != 0) {
        // A drive whose root has gone (medium removed) does not answer.
        if (errno == ENOENT || errno == ENOTDIR) throw Erreur{ErrDelai, racine};
        interne::echec(errno, racine);
    }
    const std::uint64_t fragment = v.f_frsize ? v.f_frsize : v.f_bsize;
    Geometrie g;
    g.octetsParSecteur = 512;
    g.secteursParCluster = std::max<std::uint64_t>(1, fragment / 512);
    // Counts of clusters of that size, so that the free and total bytes come
    // out right even when the fragment is not a whole number of sectors.
    const auto clusters = [&](std::uint64_t blocs) {
        const unsigned __int128 n =
            static_cast<unsigned __int128>(blocs) * fragment / (g.secteursParCluster * 512);
        constexpr auto max = std::numeric_limits<std::int64_t>::max();
        return n > static_cast<unsigned __int128>(max) ? max : static_cast<std::int64_t>(n);
    };
    g.clustersLibres = clusters(v.f_bavail);
    g.clustersTotal = clusters(v.f_blocks);
    return g;
}

}  // namespace plateforme
