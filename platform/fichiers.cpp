// Files: listing, directories, deletion, dates, text and bytes. Writes go
// through ecriture.cpp, copies are in copie_disque.cpp.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plateforme {

using interne::echec;
using interne::joindre;
using interne::octets;
using interne::versHote;

namespace {

class Descripteur {
public:
    explicit Descripteur(int fd) : fd_(fd) {}
    ~Descripteur() { if (fd_ >= 0) ::close(fd_); }
    Descripteur(const Descripteur&) = delete;
    Descripteur& operator=(const Descripteur&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

QByteArray lireTout(const QString& hote)
{
    // Opening a pipe must not wait for a writer that never comes.
    Descripteur fd(::open(octets(hote).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) echec(errno, hote);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) echec(errno, hote);
    if (S_ISDIR(st.st_mode)) throw Erreur{ErrAcces, hote};
    if (!S_ISREG(st.st_mode)) throw Erreur{ErrAcces, hote, PasUnFichierOrdinaire};
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    QByteArray contenu;
    char tampon[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), tampon, sizeof tampon);
        if (n < 0) {
            if (errno == EINTR) continue;
            echec(errno, hote);
        }
        if (n == 0) break;
        contenu.append(tampon, n);
    }
    return contenu;
}

}  // namespace


QString Plateforme::Lister(const QString& chemin, bool repertoires) const
{
    bool racine = false;
    const QString hote = versHote(config_, chemin, &racine);
    if (racine) return {};
    struct stat st;
    if (::stat(octets(hote).constData(), &st) != 0) {
        if (interne::estDelai(errno)) echec(errno, hote);
        return {};
    }
    const QString nom = hote.section(u'/', -1);
    if (nom.startsWith(u'.')) return {};
    if (S_ISREG(st.st_mode) || (repertoires && S_ISDIR(st.st_mode))) return nom;
    return {};
}

QStringList Plateforme::FichiersNormaux(const QString& dossier) const
{
    const QString hote = versHote(config_, dossier);
    struct stat st;
    if (::stat(octets(hote).constData(), &st) != 0) {
        if (interne::estDelai(errno)) echec(errno, hote);
        throw Erreur{ErrChemin, dossier};
    }
    if (!S_ISDIR(st.st_mode)) throw Erreur{ErrChemin, dossier};
    DIR* d = ::opendir(octets(hote).constData());
    if (!d) echec(errno, hote);
    QStringList noms;
    while (const dirent* e = ::readdir(d)) {
        const QString nom = QString::fromUtf8(e->d_name);
        if (nom.startsWith(u'.')) continue;
        struct stat st;
        if (::stat(octets(joindre(hote, nom)).constData(), &st) == 0 && S_ISREG(st.st_mode)) noms << nom;
    }
    ::closedir(d);
    // Names as the file list shows them: regardless of case, then exactly,
    // so that the order never depends on the directory's own.
    std::sort(noms.begin(), noms.end(), [](const QString& a, const QString& b) {
        const int c = a.toUpper().compare(b.toUpper());
        return c != 0 ? c < 0 : a < b;
    });
    return noms;
}

void Plateforme::CreerRepertoire(const QString& chemin)
{
    const QString hote = VersHote(chemin);
    if (::mkdir(octets(hote).constData(), 0777) != 0) {
        // An existing directory is an access error here, as the wizard's
        // callers expect of this operation.
        if (errno == EEXIST) throw Erreur{ErrAcces, hote};
        echec(errno, hote);
    }
    interne::inventorier({interne::Element::Dossier, hote});
}

void Plateforme::SupprimerRepertoire(const QString& chemin)
{
    const QString hote = VersHote(chemin);
    if (::rmdir(octets(hote).constData()) != 0) {
        if (errno == EEXIST) throw Erreur{ErrAcces, hote};
        echec(errno, hote);
    }
}

void Plateforme::SupprimerFichier(const QString& chemin)
{
    const QString hote = VersHote(chemin);
    const QByteArray o = octets(hote);
    const qsizetype barre = o.lastIndexOf('/');
    const QByteArray nom = o.mid(barre + 1);
    // The folder is held open while it is checked and the file removed from
    // it: one that is, or has just been made through a link, the home or
    // one of the user's folders is never deleted from, whatever names it.
    Descripteur dossier(::open(barre > 0 ? o.left(barre).constData() : "/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dossier.get() < 0) echec(errno, hote);
    char reel[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + QByteArray::number(dossier.get())).constData(), reel, sizeof reel);
    if (n <= 0 || n >= ssize_t(sizeof reel) || !interne::protection(config_, QString::fromUtf8(reel, n)).isEmpty())
        throw Erreur{ErrPermission, hote};
    struct stat st;
    if (::fstatat(dossier.get(), nom.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) echec(errno, hote);
    if (S_ISDIR(st.st_mode)) throw Erreur{ErrAcces, hote};
    // A link is removed as such: its target's permissions are not its own.
    if (!S_ISLNK(st.st_mode) && interne::lectureSeule(hote)) throw Erreur{ErrPermission, hote};
    if (::unlinkat(dossier.get(), nom.constData(), 0) != 0) echec(errno, hote);
    raccourciSupprime(hote);
}

std::int64_t Plateforme::DateModification(const QString& chemin) const
{
    const QString hote = VersHote(chemin);
    struct stat st;
    if (::stat(octets(hote).constData(), &st) != 0) echec(errno, hote);
    return std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

std::int64_t Plateforme::Longueur(const QString& chemin) const
{
    const QString hote = VersHote(chemin);
    struct stat st;
    if (::stat(octets(hote).constData(), &st) != 0) echec(errno, hote);
    if (S_ISDIR(st.st_mode)) throw Erreur{ErrAcces, hote};
    return st.st_size;
}

QStringList Plateforme::LireLignes(const QString& chemin) const
{
    const QString hote = VersHote(chemin);
    const QByteArray brut = lireTout(hote);
    QString texte;
    if (brut.startsWith("\xEF\xBB\xBF")) {
        texte = QString::fromUtf8(brut.mid(3));
    } else {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        texte = utf8(brut);
        const bool multiOctets = std::any_of(brut.begin(), brut.end(), [](char c) { return c & 0x80; });
        if (utf8.hasError() || !multiOctets) {
            QStringDecoder decodeur("windows-1252");
            if (!decodeur.isValid()) throw Erreur{ErrAcces, QStringLiteral("windows-1252")};
            texte = decodeur(brut);
        }
    }

    // CR LF or a lone CR ends a line; a lone LF is part of the line.
    QStringList lignes;
    qsizetype debut = 0;
    for (qsizetype i = 0; i < texte.size(); ++i) {
        if (texte[i] != u'\r') continue;
        lignes << texte.mid(debut, i - debut);
        if (i + 1 < texte.size() && texte[i + 1] == u'\n') ++i;
        debut = i + 1;
    }
    if (debut < texte.size()) lignes << texte.mid(debut);
    return lignes;
}

void Plateforme::EcrireLignes(const QString& chemin, const QStringList& lignes)
{
    const QString hote = VersHote(chemin);
    QStringEncoder encodeur("windows-1252");
    if (!encodeur.isValid()) throw Erreur{ErrAcces, QStringLiteral("windows-1252")};
    QByteArray contenu;
    for (const QString& ligne : lignes) {
        // It would read back as two lines, the second one not the caller's.
        if (ligne.contains(QChar::CarriageReturn) || ligne.contains(QChar::LineFeed)) throw Erreur{ErrAcces, hote};
        contenu += encodeur(ligne);
        contenu += "\r\n";
    }
    interne::surLecteurs(config_, {chemin}, [&] { interne::remplacer(hote, contenu); });
    aSynchroniser_ << QFileInfo(hote).path();
    interne::inventorierEcrit(interne::estRaccourci(hote) ? interne::Element::Raccourci : interne::Element::Fichier,
                              hote, contenu);
    raccourciEcrit(hote);
}

QByteArray Plateforme::LireOctets(const QString& chemin) const { return lireTout(VersHote(chemin)); }

void Plateforme::EcrireOctets(const QString& chemin, std::int64_t position, const QByteArray& octetsAEcrire,
                              bool tronquer)
{
    const QString hote = VersHote(chemin);
    if (position < 0 || position > std::numeric_limits<int>::max() - octetsAEcrire.size())
        throw Erreur{ErrAcces, hote};
    // The new content whole, from what the file holds now (zeros where a
    // write lands past its end).
    QByteArray contenu;
    if (position > 0 || !tronquer) {
        try {
            contenu = lireTout(hote);
        } catch (const Erreur& e) {
            if (e.numero != ErrIntrouvable) throw;
        }
    }
    const qsizetype fin = qsizetype(position) + octetsAEcrire.size();
    if (contenu.size() < fin) contenu.resize(fin, '\0');
    contenu.replace(qsizetype(position), octetsAEcrire.size(), octetsAEcrire);
    if (tronquer) contenu.truncate(fin);
    interne::surLecteurs(config_, {chemin}, [&] { interne::remplacer(hote, contenu); });
    aSynchroniser_ << QFileInfo(hote).path();
    interne::inventorierEcrit(interne::estRaccourci(hote) ? interne::Element::Raccourci : interne::Element::Fichier,
                              hote, contenu);
    raccourciEcrit(hote);
}
}  // namespace plateforme
