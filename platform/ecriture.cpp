// Writes made whole or not at all: the hidden, locked temporary file beside
// the destination, the cleanup of what killed writes left, and the
// replacement of a file's content. Shared by the file operations, the copies
// and the desktop entries, and calling none of them.
#include "platform/linux_interne.h"

#include <QFile>

#include <algorithm>
#include <utility>
#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plateforme {

using interne::echec;
using interne::octets;

namespace interne {

bool ecrireTout(int fd, const char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t e = ::write(fd, p, n);
        if (e < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += e;
        n -= std::size_t(e);
    }
    return true;
}

QByteArray prefixeTemporaire(const QByteArray& nom)
{
    // The mark tells the wizard's own temporary files from a user's hidden
    // files of similar names (".agenda.config"), which are never touched.
    return "." + (nom.size() <= 200 ? nom : QByteArray("copie")) + ".~assistant~";
}

void supprimerRestes(const QByteArray& dossier, const QList<QByteArray>& prefixes)
{
    if (prefixes.isEmpty()) return;
    QStringList debuts;
    for (const QByteArray& p : prefixes) debuts << QString::fromUtf8(p).toUpper();
    DIR* d = ::opendir(dossier.constData());
    if (!d) echec(errno, QString::fromUtf8(dossier));
    std::vector<QByteArray> restes;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray brut(e->d_name);
        // The prefix of one of the names (in any case, as names are
        // resolved), then the six characters of mkstemp.
        if (brut.size() <= 6 || !std::all_of(brut.end() - 6, brut.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            }))
            continue;
        if (debuts.contains(QString::fromUtf8(brut.left(brut.size() - 6)).toUpper())) restes.push_back(brut);
    }
    ::closedir(d);
    for (const QByteArray& nom : restes) {
        const QByteArray chemin = dossier + "/" + nom;
        // Only a plain file of this user's that nobody is writing.
        const int fd = ::open(chemin.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(chemin.constData());
        ::close(fd);
    }
}

namespace {

// The name that the kernel gives an open file's descriptor, which linkat
// follows to give an unnamed file its name (/proc is there on every desktop;
// without it, files are made with a name).
QByteArray nomDescripteur(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

bool procPresent()
{
    static const bool present = ::access("/proc/self/fd", X_OK) == 0;
    return present;
}

}  // namespace

Temporaire::Temporaire(const QByteArray& dossier, const QByteArray& nom, const QString& detail, bool nettoyer,
                       int repere, bool nouveau)
    : repere_(repere)
{
    // What a killed write of this same file left behind goes first.
    try {
        if (nettoyer) supprimerRestes(dossier, {prefixeTemporaire(nom)});
    } catch (const Erreur&) {   // the folder's failure shows below
    }
    const QByteArray debut = (repere == AT_FDCWD ? dossier + "/" : QByteArray()) + prefixeTemporaire(nom);
    if (nouveau && procPresent()) {
        fd_ = ::openat(repere, repere == AT_FDCWD ? dossier.constData() : ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        anonyme_ = fd_ >= 0;
        chemin_ = debut;   // for a name later, if its own is taken meanwhile
        if (anonyme_) return;
    }
    nommer(debut, detail);
    // Held until the descriptor closes, by the end of the process at worst.
    ::flock(fd_, LOCK_EX | LOCK_NB);
}

void Temporaire::nommer(const QByteArray& debut, const QString& detail)
{
    // Six letters and digits, as mkstemp makes them, in the folder: drawn
    // once per process, then a count (O_EXCL makes each name new anyway).
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::uint64_t suite = [] {
        std::uint64_t graine = 0;
        if (::getrandom(&graine, sizeof graine, 0) != ssize_t(sizeof graine)) graine = std::uint64_t(::getpid()) << 20;
        return graine;
    }();
    const int avant = fd_;
    int resultat = -1;
    for (int essai = 0; essai < 100 && resultat < 0; ++essai) {
        chemin_ = debut;
        for (std::uint64_t v = suite++, i = 0; i < 6; ++i, v /= 62) chemin_ += alphabet[v % 62];
        // An unnamed file gets the name; otherwise the name makes the file.
        resultat = avant >= 0 ? ::linkat(AT_FDCWD, nomDescripteur(avant).constData(), repere_, chemin_.constData(),
                                         AT_SYMLINK_FOLLOW)
                              : ::openat(repere_, chemin_.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (resultat < 0 && errno != EEXIST) break;
    }
    if (resultat < 0) {
        const int e = errno;
        chemin_.clear();
        echec(e, detail);
    }
    if (avant < 0) fd_ = resultat;
    anonyme_ = false;
}

Temporaire::~Temporaire()
{
    if (!chemin_.isEmpty() && !anonyme_) ::unlinkat(repere_, chemin_.constData(), 0);
    if (fd_ >= 0) ::close(fd_);
}

void Temporaire::valider(const QByteArray& destination, const QString& detail, bool remplacer)
{
    if (anonyme_) {
        // Its name, once whole; one that appeared meanwhile under it is
        // replaced as a named copy replaces it.
        if (::linkat(AT_FDCWD, nomDescripteur(fd_).constData(), repere_, destination.constData(), AT_SYMLINK_FOLLOW)
            == 0) {
            const int fd = std::exchange(fd_, -1);
            chemin_.clear();
            if (::close(fd) != 0 && errno != EINTR) {
                const int e = errno;
                ::unlinkat(repere_, destination.constData(), 0);
                echec(e, detail);
            }
            return;
        }
        if (errno != EEXIST) echec(errno, detail);
        if (!remplacer) throw Erreur{ErrExiste, detail, EEXIST};
        nommer(chemin_, detail);
    }
    const int fd = fd_;
    fd_ = -1;
    // Write errors of some file systems (network, quota) only show here.
    if (::close(fd) != 0 && errno != EINTR) echec(errno, detail);
    if (remplacer) {
        if (::renameat(repere_, chemin_.constData(), repere_, destination.constData()) != 0) echec(errno, detail);
    } else if (::renameat2(repere_, chemin_.constData(), repere_, destination.constData(), RENAME_NOREPLACE) != 0) {
        // File systems without it: a hard link is never made over an entry.
        if (errno != EINVAL && errno != ENOSYS) echec(errno, detail);
        if (::linkat(repere_, chemin_.constData(), repere_, destination.constData(), 0) != 0) echec(errno, detail);
        ::unlinkat(repere_, chemin_.constData(), 0);
    }
    chemin_.clear();
}

void creerDossiers(const QString& hote)
{
    const QByteArray o = octets(hote);
    struct stat st {};
    if (::stat(o.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return;
        throw Erreur{ErrChemin, hote, ENOTDIR};
    }
    if (errno != ENOENT) echec(errno, hote);
    const qsizetype barre = hote.lastIndexOf(u'/');
    if (barre > 0) creerDossiers(hote.left(barre));
    if (::mkdir(o.constData(), 0777) == 0) inventorier({Element::Dossier, hote});
    else if (errno != EEXIST) echec(errno, hote);
}

}  // namespace interne

void interne::dossierExistant(const QByteArray& dossier, const QString& detail)
{
    struct stat st {};
    if (::stat(dossier.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return;
        throw Erreur{ErrChemin, detail, ENOTDIR};
    }
    // A folder that cannot be searched is refused, not missing.
    if (errno == ENOENT || errno == ENOTDIR) throw Erreur{ErrChemin, detail, errno};
    echec(errno, detail);
}

bool interne::lectureSeule(const QString& hote)
{
    const QByteArray o = octets(hote);
    struct stat st;
    if (::stat(o.constData(), &st) != 0) return false;
    return (st.st_mode & 0222) == 0 || ::access(o.constData(), W_OK) != 0;
}
mode_t interne::masqueCreation()
{
    static const mode_t masque = [] {
        QFile f(QStringLiteral("/proc/self/status"));
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& l : f.readAll().split('\n'))
                if (l.startsWith("Umask:")) return mode_t(l.mid(6).trimmed().toUInt(nullptr, 8));
        return mode_t(022);
    }();
    return masque;
}

namespace {

// The mode a new file gets from open(2) with 0666: what the umask leaves.
mode_t modeNouveau() { return 0666 & ~interne::masqueCreation(); }

}  // namespace

void interne::remplacer(const QString& hote, const QByteArray& contenu)
{
    if (interne::lectureSeule(hote)) throw Erreur{ErrPermission, hote};
    const QByteArray hd = octets(hote);
    const qsizetype barre = hd.lastIndexOf('/');
    const QByteArray dossier = barre > 0 ? hd.left(barre) : QByteArray("/");
    interne::dossierExistant(dossier, hote);
    struct stat st {};
    mode_t mode = modeNouveau();
    if (::stat(hd.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw Erreur{ErrAcces, hote};
        mode = st.st_mode & 07777;
    }
    const bool nouveau = ::lstat(hd.constData(), &st) != 0;
    interne::Temporaire temp(dossier, hd.mid(barre + 1), hote, true, AT_FDCWD, nouveau);
    if (!interne::ecrireTout(temp.fd(), contenu.constData(), std::size_t(contenu.size()))) echec(errno, hote);
    if (::fchmod(temp.fd(), mode) != 0) echec(errno, hote);
    temp.valider(hd, hote);
}


}  // namespace plateforme
