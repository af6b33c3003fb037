// Whole folders of a medium (a program's lib\*, or its whole folder): what
// they hold, measured for the progress and the free space, and copied file
// by file as the single copy does, their folders made and their links kept
// as links where they stay inside.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plateforme {

using interne::echec;
using interne::octets;

namespace {

// The names directly in the open folder `dossier` (the host folder
// `chemin`), in order; `exclus` left out (any case).
QStringList noms(int dossier, const QString& chemin, const QStringList& exclus)
{
    const int fd = ::openat(dossier, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!d) {
        const int e = errno;
        if (fd >= 0) ::close(fd);
        echec(e, chemin);
    }
    QStringList r;
    while (const dirent* e = ::readdir(d)) {
        const QString n = QString::fromUtf8(e->d_name);
        if (n != u'.' && n != QLatin1String("..") && !exclus.contains(n, Qt::CaseInsensitive)) r << n;
    }
    ::closedir(d);
    r.sort();
    return r;
}

// Folders held open, by their descriptors: a folder of the medium and its
// copy while what it holds is copied.
struct Paire {
    int fd[2] = {-1, -1};
    Paire() = default;
    Paire(const Paire&) = delete;
    Paire& operator=(const Paire&) = delete;
    ~Paire()
    {
        for (const int f : fd)
            if (f >= 0) ::close(f);
    }
};

int ouvrirDossier(int dans, const QByteArray& nom, const QString& detail)
{
    const int fd = ::openat(dans, nom.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) echec(errno, detail);
    return fd;
}

// Walks what the open folder `dossier` (the host folder `chemin`) holds,
// links not followed: `f` is given each entry's path below it ("/" between
// names) and its status, and answers whether to go into a folder. Folders
// come before what they hold.
template <class F>
void parcourir(int dossier, const QString& chemin, const QString& relatif, const QStringList& exclus, F&& f)
{
    for (const QString& n : noms(dossier, chemin, exclus)) {
        const QString r = relatif.isEmpty() ? n : relatif + u'/' + n;
        const QByteArray o = octets(n);
        struct stat st {};
        if (::fstatat(dossier, o.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) echec(errno, chemin + u'/' + n);
        if (!f(r, st) || !S_ISDIR(st.st_mode)) continue;
        Paire sous;
        sous.fd[0] = ouvrirDossier(dossier, o, chemin + u'/' + n);
        parcourir(sous.fd[0], chemin + u'/' + n, r, {}, f);
    }
}

// A link whose target, read from where it lies, stays below the folder.
bool resteDedans(const QString& relatif, const QString& cible)
{
    if (cible.isEmpty() || cible.startsWith(u'/')) return false;
    const qsizetype barre = relatif.lastIndexOf(u'/');
    const QString ou = QDir::cleanPath((barre < 0 ? QString() : relatif.left(barre + 1)) + cible);
    return ou != QLatin1String("..") && !ou.startsWith(QLatin1String("../"));
}

}  // namespace

Plateforme::Mesure Plateforme::MesurerArborescence(const QString& source, const QStringList& exclus) const
{
    Mesure c;
    const QString racine = VersHote(source);
    Paire d;
    d.fd[0] = ouvrirDossier(AT_FDCWD, octets(racine), source);
    parcourir(d.fd[0], racine, {}, exclus, [&](const QString&, const struct stat& st) {
        if (S_ISDIR(st.st_mode)) return true;
        ++c.fichiers;
        if (S_ISREG(st.st_mode)) c.octets += st.st_size;
        return false;
    });
    return c;
}

void Plateforme::CopierArborescence(const QString& source, const QString& destination, const QStringList& exclus,
                                    const std::function<void(const QString&, const Erreur*)>& parEntree)
{
    interne::ignorerDepassementTaille();
    const QString hs = VersHote(source), hd = VersHote(destination);
    interne::surLecteurs(config_, {source, destination}, [&] {
        interne::dossierExistant(octets(hs), source);
        interne::creerDossiers(hd);
    });
    // Each folder is held open, source and copy, while what it holds is
    // copied by name in it: thousands of files walk no path again.
    const auto ouvrir = ouvrirDossier;
    std::function<void(int, int, const QString&, const QStringList&)> copier =
        [&](int depuis, int vers, const QString& relatif, const QStringList& exclusIci) {
        const QString dossierSource = relatif.isEmpty() ? hs : hs + u'/' + relatif;
        const QString dossierCopie = relatif.isEmpty() ? hd : hd + u'/' + relatif;
        const QStringList entrees = noms(depuis, dossierSource, exclusIci);
        // What a killed copy left in the folder goes before its files are
        // written, once for the folder.
        QList<QByteArray> prefixes;
        for (const QString& n : entrees) prefixes << interne::prefixeTemporaire(octets(n));
        interne::supprimerRestes(octets(dossierCopie), prefixes);
        aSynchroniser_ << dossierCopie;
        for (const QString& n : entrees) {
            const QByteArray o = octets(n);
            const QString r = relatif.isEmpty() ? n : relatif + u'/' + n;
            const QString nom = QString(r).replace(u'/', u'\\');
            const QString d = dossierCopie + u'/' + n;
            struct stat st {};
            Paire sous;
            try {
                interne::surLecteurs(config_, {source, destination}, [&] {
                    if (::fstatat(depuis, o.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                        echec(errno, source + u'\\' + nom);
                    if (S_ISDIR(st.st_mode)) {
                        if (::mkdirat(vers, o.constData(), 0777) == 0) interne::inventorier({interne::Element::Dossier, d});
                        else if (errno != EEXIST) echec(errno, destination + u'\\' + nom);
                        sous.fd[0] = ouvrir(depuis, o, source + u'\\' + nom);
                        sous.fd[1] = ouvrir(vers, o, destination + u'\\' + nom);
                    } else if (S_ISREG(st.st_mode)) {
                        interne::copierHote(o, o, source + u'\\' + nom, destination + u'\\' + nom, [this] { Repeindre(); },
                                            true, interne::Element::Fichier, false, {depuis, vers, d});
                    } else if (S_ISLNK(st.st_mode)) {
                        // A library's libx.so.1 -> libx.so.1.2 stays a link;
                        // one that leads out of the folder would install what
                        // the medium does not hold.
                        const QString cible = interne::cibleDe(hs + u'/' + r);
                        if (!resteDedans(r, cible)) throw Erreur{ErrAcces, source + u'\\' + nom, LienSortant};
                        if (interne::cibleDe(d) != cible) {
                            const QByteArray temp = interne::prefixeTemporaire(o) + "lien00";
                            ::unlinkat(vers, temp.constData(), 0);
                            if (::symlinkat(octets(cible).constData(), vers, temp.constData()) != 0
                                || ::renameat(vers, temp.constData(), vers, o.constData()) != 0) {
                                const int e = errno;
                                ::unlinkat(vers, temp.constData(), 0);
                                echec(e, destination + u'\\' + nom);
                            }
                        }
                        interne::inventorier({interne::Element::Lien, d, -1, {}, cible});
                    } else {
                        throw Erreur{ErrAcces, source + u'\\' + nom, PasUnFichierOrdinaire};
                    }
                });
            } catch (const Erreur& e) {
                if (e.numero == ErrDelai) throw;
                parEntree(nom, &e);   // a folder that cannot be made: nothing of it can go
                continue;
            }
            if (S_ISDIR(st.st_mode)) copier(sous.fd[0], sous.fd[1], r, {});
            else parEntree(nom, nullptr);
        }
    };
    Paire racines;
    interne::surLecteurs(config_, {source, destination}, [&] {
        racines.fd[0] = ouvrir(AT_FDCWD, octets(hs), source);
        racines.fd[1] = ouvrir(AT_FDCWD, octets(hd), destination);
    });
    copier(racines.fd[0], racines.fd[1], {}, exclus);
}

}  // namespace plateforme
