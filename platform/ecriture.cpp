// Writes made whole or not at all: the hidden, locked temporary file beside
// the destination, the cleanup of what killed writes left, and the
// replacement of a file's content. Shared by the file operations, the copies
// and the desktop entries, and calling none of them.
#include "platform/linux_interne.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

Temporaire::Temporaire(const QByteArray& dossier, const QByteArray& nom, const QString& detail, bool nettoyer)
{
    // What a killed write of this same file left behind goes first.
    try {
        if (nettoyer) supprimerRestes(dossier, {prefixeTemporaire(nom)});
    } catch (const Erreur&) {   // the folder's failure shows below
    }
    chemin_ = dossier + "/" + prefixeTemporaire(nom) + "XXXXXX";
    fd_ = ::mkostemp(chemin_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int e = errno;
        chemin_.clear();
        echec(e, detail);
    }
    // Held until the descriptor closes, by the end of the process at worst.
    ::flock(fd_, LOCK_EX | LOCK_NB);
}

Temporaire::~Temporaire()
{
    if (chemin_.isEmpty()) return;
    ::unlink(chemin_.constData());
    if (fd_ >= 0) ::close(fd_);
}

void Temporaire::valider(const QByteArray& destination, const QString& detail, bool remplacer)
{
    const int fd = fd_;
    fd_ = -1;
    // Write errors of some file systems (network, quota) only show here.
    if (::close(fd) != 0 && errno != EINTR) echec(errno, detail);
    if (remplacer) {
        if (::rename(chemin_.constData(), destination.constData()) != 0) echec(errno, detail);
    } else if (::renameat2(AT_FDCWD, chemin_.constData(), AT_FDCWD, destination.constData(), RENAME_NOREPLACE) != 0) {
        // File systems without it: a hard link is never made over an entry.
        if (errno != EINVAL && errno != ENOSYS) echec(errno, detail);
        if (::link(chemin_.constData(), destination.constData()) != 0) echec(errno, detail);
        ::unlink(chemin_.constData());
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
    interne::Temporaire temp(dossier, hd.mid(barre + 1), hote);
    if (!interne::ecrireTout(temp.fd(), contenu.constData(), std::size_t(contenu.size()))) echec(errno, hote);
    if (::fchmod(temp.fd(), mode) != 0) echec(errno, hote);
    temp.valider(hd, hote);
}


}  // namespace plateforme
