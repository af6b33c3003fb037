// The Linux platform: drive table and paths, file system, settings store,
// process and toolkit. Shortcut pairing, copying, special folders and icons
// live in the other files of this folder.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plateforme {

namespace interne {

namespace {

bool estDelai(int err)
{
    switch (err) {
    case EIO: case ETIMEDOUT: case ENOMEDIUM: case ENXIO: case ENODEV: case ESTALE:
        return true;
    default:
        return false;
    }
}

}  // namespace

void echec(int err, const QString& detail)
{
    int numero;
    switch (err) {
    case ENOENT: {
        numero = ErrIntrouvable;
        // A missing folder on the way is "path not found", not "file not found".
        if (detail.startsWith(u'/')) {
            const int barre = detail.lastIndexOf(u'/');
            const QString parent = barre > 0 ? detail.left(barre) : QStringLiteral("/");
            struct stat st;
            if (::stat(octets(parent).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) numero = ErrChemin;
        }
        break;
    }
    case ENOTDIR: numero = ErrChemin; break;
    case ENAMETOOLONG: numero = ErrNomInvalide; break;
    case EEXIST: numero = ErrExiste; break;
    case ENOTEMPTY: numero = ErrAcces; break;
    case ENOSPC: case EFBIG: case EDQUOT: numero = ErrDisquePlein; break;
    case EACCES: case EPERM: case EROFS: numero = ErrPermission; break;
    default: numero = estDelai(err) ? ErrDelai : ErrAcces; break;
    }
    throw Erreur{numero, detail, err};
}

QByteArray octets(const QString& hote) { return hote.toUtf8(); }

bool estRaccourci(const QString& hote)
{
    return hote.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive)
        || hote.endsWith(QLatin1String(".url"), Qt::CaseInsensitive);
}

bool lectureSeule(const QString& hote)
{
    const QByteArray o = octets(hote);
    struct stat st;
    if (::stat(o.constData(), &st) != 0) return false;
    return (st.st_mode & 0222) == 0 || ::access(o.constData(), W_OK) != 0;
}

namespace {

// A mount point as /proc/self/mounts writes it: space, tab, newline and
// backslash as three octal digits after a backslash.
QString pointDeMontage(const QByteArray& champ)
{
    QByteArray b;
    for (qsizetype i = 0; i < champ.size(); ++i) {
        if (champ[i] == '\\' && i + 3 < champ.size()) {
            const QByteArray chiffres = champ.mid(i + 1, 3);
            bool ok = chiffres.size() == 3;
            for (char c : chiffres) ok = ok && c >= '0' && c <= '7';
            if (ok) {
                b += char(chiffres.toInt(nullptr, 8));
                i += 3;
                continue;
            }
        }
        b += champ[i];
    }
    return QString::fromUtf8(b);
}

QString sansBarreFinale(QString chemin)
{
    while (chemin.size() > 1 && chemin.endsWith(u'/')) chemin.chop(1);
    return chemin;
}

}  // namespace

std::vector<Lecteur> lecteursDepuisMontages(const QByteArray& montages,
                                            const QString& utilisateur,
                                            const QString& home)
{
    QStringList prefixes{QStringLiteral("/mnt/")};
    if (!utilisateur.isEmpty() && !utilisateur.contains(u'/'))
        prefixes << QStringLiteral("/media/") + utilisateur + u'/'
                 << QStringLiteral("/run/media/") + utilisateur + u'/';

    QStringList points;
    for (const QByteArray& ligne : montages.split('\n')) {
        const QList<QByteArray> champs = ligne.split(' ');
        if (champs.size() < 2) continue;
        const QString point = sansBarreFinale(pointDeMontage(champs[1]));
        const bool retenu = point == QLatin1String("/mnt")
            || std::any_of(prefixes.begin(), prefixes.end(), [&](const QString& p) {
                   return point.startsWith(p) && point.size() > p.size();
               });
        if (retenu && !points.contains(point)) points << point;
    }
    std::sort(points.begin(), points.end());

    std::vector<Lecteur> lecteurs;
    const QString racineHome = sansBarreFinale(home);
    lecteurs.push_back({u'c', racineHome, racineHome});
    char16_t lettre = u'd';
    for (const QString& point : points) {
        if (lettre == u'z') break;
        lecteurs.push_back({QChar(lettre++), point, point.section(u'/', -1), true});
    }
    lecteurs.push_back({u'z', QStringLiteral("/"), QStringLiteral("/")});
    return lecteurs;
}

}  // namespace interne

using interne::echec;
using interne::octets;

namespace {

QString joindre(const QString& dossier, const QString& nom)
{
    return dossier.endsWith(u'/') ? dossier + nom : dossier + u'/' + nom;
}

const Lecteur* lecteurDeLettre(const Configuration& c, QChar lettre)
{
    for (const Lecteur& l : c.lecteurs)
        if (l.lettre.toLower() == lettre.toLower()) return &l;
    return nullptr;
}

// The drive whose root is the longest prefix of a host path; `reste` gets
// the part after the root, without its leading slash.
const Lecteur* lecteurDeHote(const Configuration& c, const QString& hote, QString* reste)
{
    const Lecteur* meilleur = nullptr;
    qsizetype longueur = -1;
    for (const Lecteur& l : c.lecteurs) {
        const QString racine = interne::sansBarreFinale(l.racine);
        qsizetype debut;
        if (racine == u'/')
            debut = 1;
        else if (hote == racine)
            debut = racine.size();
        else if (hote.startsWith(racine + u'/'))
            debut = racine.size() + 1;
        else
            continue;
        if (!hote.startsWith(u'/') || racine.size() <= longueur) continue;
        meilleur = &l;
        longueur = racine.size();
        if (reste) *reste = hote.mid(debut);
    }
    return meilleur;
}

// The entry of `dossier` that `nom` designates: the name itself when it
// exists, else the first entry equal to it in capitals. `existe` turns false
// when neither exists, so that the names below it are taken as written.
QString resoudreNom(const QString& dossier, const QString& nom, bool& existe)
{
    struct stat st;
    if (::lstat(octets(joindre(dossier, nom)).constData(), &st) == 0) return nom;
    const int err = errno;
    if (interne::estDelai(err)) throw Erreur{ErrDelai, joindre(dossier, nom)};
    existe = false;
    if (err != ENOENT) return nom;

    DIR* d = ::opendir(octets(dossier).constData());
    if (!d) return nom;
    const QString capitales = nom.toUpper();
    QString trouve;
    while (const dirent* e = ::readdir(d)) {
        const QString n = QString::fromUtf8(e->d_name);
        if (n.toUpper() == capitales && (trouve.isEmpty() || n < trouve)) trouve = n;
    }
    ::closedir(d);
    if (trouve.isEmpty()) return nom;
    existe = true;
    return trouve;
}

// ".", ".." and "...": names that a path could climb by, or that the
// original platform would not keep as written.
bool seulementDesPoints(const QString& nom)
{
    return std::all_of(nom.begin(), nom.end(), [](QChar c) { return c == u'.'; });
}

// Whether a drive's root answers: an existing directory and, for a medium,
// still the root of a mounted file system (a lazy unmount or a medium pulled
// out leaves a bare folder of the parent file system behind).
bool racinePresente(const QString& racine, bool amovible)
{
    const QByteArray o = octets(racine);
    struct statx sx {};
    if (::statx(AT_FDCWD, o.constData(), AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO, &sx) != 0
        || !S_ISDIR(sx.stx_mode))
        return false;
    if (!amovible) return true;
    if (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) return sx.stx_attributes & STATX_ATTR_MOUNT_ROOT;
    // Kernels before 5.8 do not tell: a mount point's device is not its parent's.
    struct stat ici, parent;
    return ::stat(o.constData(), &ici) == 0 && ::stat((o + "/..").constData(), &parent) == 0
        && (ici.st_dev != parent.st_dev || ici.st_ino == parent.st_ino);
}

// Drive notation to host path; `racine` tells whether the path names the
// drive's root itself.
QString versHote(const Configuration& c, const QString& chemin, bool* racine = nullptr)
{
    const Lecteur* lecteur = nullptr;
    QString reste;
    if (chemin.size() >= 2 && chemin[1] == u':') {
        lecteur = lecteurDeLettre(c, chemin[0]);
        reste = chemin.mid(2);
    } else if (chemin.startsWith(u'\\') && !chemin.startsWith(QLatin1String("\\\\"))) {
        lecteur = lecteurDeHote(c, QDir::cleanPath(c.dossierPropre), nullptr);
        reste = chemin;
    }
    if (!lecteur) throw Erreur{ErrNomInvalide, chemin};

    const QStringList noms = reste.split(u'\\', Qt::SkipEmptyParts);
    for (const QString& nom : noms)
        if (seulementDesPoints(nom) || nom.contains(u'/') || nom.contains(QChar(0)))
            throw Erreur{ErrNomInvalide, chemin};

    // A medium taken out leaves its mount point behind or nothing at all.
    const QString racineHote = interne::sansBarreFinale(lecteur->racine);
    if (!racineHote.startsWith(u'/') || !racinePresente(racineHote, lecteur->amovible))
        throw Erreur{ErrDelai, chemin};

    QString hote = racineHote;
    bool existe = true;
    for (const QString& nom : noms)
        hote = joindre(hote, existe ? resoudreNom(hote, nom, existe) : nom);
    if (racine) *racine = noms.isEmpty();
    return hote;
}

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
    Descripteur fd(::open(octets(hote).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) echec(errno, hote);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) echec(errno, hote);
    if (S_ISDIR(st.st_mode)) throw Erreur{ErrAcces, hote};
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

// The mode a new file gets from open(2) with 0666: what the umask leaves.
mode_t modeNouveau()
{
    static const mode_t masque = [] {
        QFile f(QStringLiteral("/proc/self/status"));
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& l : f.readAll().split('\n'))
                if (l.startsWith("Umask:")) return mode_t(l.mid(6).trimmed().toUInt(nullptr, 8));
        return mode_t(022);
    }();
    return 0666 & ~masque;
}

// Replaces the file at `hote` by `contenu`, whole or not at all. An existing
// read-only one is refused as the original platform does, whoever the user
// is; an existing one keeps its permission bits.
void remplacer(const QString& hote, const QByteArray& contenu)
{
    if (interne::lectureSeule(hote)) throw Erreur{ErrPermission, hote};
    const QByteArray hd = octets(hote);
    const qsizetype barre = hd.lastIndexOf('/');
    const QByteArray dossier = barre > 0 ? hd.left(barre) : QByteArray("/");
    struct stat st {};
    if (::stat(dossier.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) throw Erreur{ErrChemin, hote};
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

// The desktop entry that goes with a shortcut file is a courtesy: its
// failure never fails the write or the delete that the caller asked for.
template <class F>
void pourRaccourci(const QString& hote, F&& f)
{
    if (!interne::estRaccourci(hote)) return;
    try {
        f();
    } catch (...) {
    }
}

bool nomDApplication(const QString& nom)
{
    return !nom.isEmpty() && nom != u'.' && nom != QLatin1String("..") && !nom.contains(u'/')
        && !nom.contains(QChar(0));
}

QString premierDossier(const QByteArray& variable, const QString& defaut)
{
    for (const QString& d : qEnvironmentVariable(variable.constData()).split(u':', Qt::SkipEmptyParts))
        if (d.startsWith(u'/')) return interne::sansBarreFinale(d);
    return defaut;
}

QString dossierXdg(const char* variable, const QString& defaut)
{
    const QString d = qEnvironmentVariable(variable);
    return d.startsWith(u'/') ? interne::sansBarreFinale(d) : defaut;
}

}  // namespace

// ---- Configuration ---------------------------------------------------------

Configuration Configuration::depuisEnvironnement()
{
    Configuration c;
    // $HOME, or the user database's folder when it is unset or relative;
    // none at all when that is not an existing folder: never "/" for want
    // of one, nor a folder made up where HOME points by mistake.
    const passwd* pw = ::getpwuid(::getuid());
    QString home = qEnvironmentVariable("HOME");
    if (!home.startsWith(u'/')) home = pw && pw->pw_dir ? QString::fromUtf8(pw->pw_dir) : QString();
    struct stat st;
    if (home.startsWith(u'/') && ::stat(octets(home).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        c.home = interne::sansBarreFinale(home);

    QString utilisateur = qEnvironmentVariable("USER");
    if (utilisateur.isEmpty() && pw) utilisateur = QString::fromUtf8(pw->pw_name);
    QFile montages(QStringLiteral("/proc/self/mounts"));
    // /proc files report no size: read them to the end.
    const QByteArray texte = montages.open(QIODevice::ReadOnly) ? montages.readAll() : QByteArray();
    c.lecteurs = interne::lecteursDepuisMontages(texte, utilisateur, c.home);

    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    const QString programme = n > 0 ? QString::fromUtf8(exe, n) : QString();
    c.dossierPropre = programme.startsWith(u'/') ? programme.left(std::max<qsizetype>(programme.lastIndexOf(u'/'), 1))
                                                 : QCoreApplication::applicationDirPath();

    c.xdgDataHome = dossierXdg("XDG_DATA_HOME", c.home + QStringLiteral("/.local/share"));
    c.xdgConfigHome = dossierXdg("XDG_CONFIG_HOME", c.home + QStringLiteral("/.config"));
    c.xdgDataDir = premierDossier("XDG_DATA_DIRS", QStringLiteral("/usr/local/share"));
    c.xdgConfigDir = premierDossier("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    c.repertoireSysteme = c.home + QStringLiteral("/.local/lib");
    return c;
}

Plateforme::Plateforme(Configuration config) : config_(std::move(config)) {}
Plateforme::~Plateforme() = default;

// ---- Paths -------------------------------------------------------------------

QString Plateforme::VersHote(const QString& chemin) const { return versHote(config_, chemin); }

QString Plateforme::VersLecteur(const QString& hote) const
{
    if (!hote.startsWith(u'/')) return {};
    QString reste;
    const Lecteur* l = lecteurDeHote(config_, QDir::cleanPath(hote), &reste);
    // A host path outside every drive has no drive notation.
    if (!l) return {};
    return QString(l->lettre.toLower()) + QStringLiteral(":\\") + reste.replace(u'/', u'\\');
}

QStringList Plateforme::TextesLecteurs() const
{
    QStringList textes;
    for (const Lecteur& l : config_.lecteurs)
        textes << QString(l.lettre.toLower()) + QStringLiteral(": [") + l.libelle + u']';
    return textes;
}

// ---- File system -------------------------------------------------------------

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
    struct stat st;
    if (::lstat(o.constData(), &st) != 0) echec(errno, hote);
    if (S_ISDIR(st.st_mode)) throw Erreur{ErrAcces, hote};
    // A link is removed as such: its target's permissions are not its own.
    if (!S_ISLNK(st.st_mode) && interne::lectureSeule(hote)) throw Erreur{ErrPermission, hote};
    if (::unlink(o.constData()) != 0) echec(errno, hote);
    pourRaccourci(hote, [&] { raccourciSupprime(hote); });
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
        contenu += encodeur(ligne);
        contenu += "\r\n";
    }
    remplacer(hote, contenu);
    aSynchroniser_ << QFileInfo(hote).path();
    pourRaccourci(hote, [&] { raccourciEcrit(hote); });
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
    remplacer(hote, contenu);
    aSynchroniser_ << QFileInfo(hote).path();
    pourRaccourci(hote, [&] { raccourciEcrit(hote); });
}

// ---- Process and system ----------------------------------------------------

QString Plateforme::DossierPropre() const { return VersLecteur(config_.dossierPropre); }

QString Plateforme::RepertoireSysteme() const
{
    // A system directory and its "32" sibling always exist where the wizard
    // comes from; here they are made on first use.
    const QString rep = interne::sansBarreFinale(config_.repertoireSysteme);
    QDir().mkpath(rep);
    if (!rep.endsWith(QLatin1String("32"))) QDir().mkpath(rep + QStringLiteral("32"));
    return VersLecteur(rep);
}

void Plateforme::EffacerReglages(const QString& nom)
{
    if (!nomDApplication(nom)) throw Erreur{ErrNomInvalide, nom};
    // The file QSettings(IniFormat, UserScope, nom) keeps its entries in.
    const QString fichier = joindre(config_.xdgConfigHome, nom + QStringLiteral(".ini"));
    const QByteArray o = octets(fichier);
    struct stat st;
    if (::lstat(o.constData(), &st) != 0) echec(errno, fichier);
    if (S_ISDIR(st.st_mode)) throw Erreur{ErrAcces, fichier};
    if (::unlink(o.constData()) != 0) echec(errno, fichier);
    ::unlink(octets(fichier + QStringLiteral(".lock")).constData());
}

// ---- Toolkit -------------------------------------------------------------------

int Plateforme::MsgBox(const QString& texte, int style, const QString& titre)
{
    QMessageBox boite(QApplication::activeWindow());
    boite.setWindowTitle(titre);
    boite.setTextFormat(Qt::PlainText);
    QString lignes = texte;
    lignes.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    boite.setText(lignes);

    switch (style & 0x70) {
    case vbCritical: boite.setIcon(QMessageBox::Critical); break;
    case vbQuestion: boite.setIcon(QMessageBox::Question); break;
    case vbExclamation: boite.setIcon(QMessageBox::Warning); break;
    case vbInformation: boite.setIcon(QMessageBox::Information); break;
    default: break;
    }

    struct Bouton {
        const char* texte;
        QMessageBox::ButtonRole role;
        int reponse;
    };
    const Bouton ok{"OK", QMessageBox::AcceptRole, vbOK};
    const Bouton annuler{"Annuler", QMessageBox::RejectRole, vbCancel};
    const Bouton abandonner{"&Abandonner", QMessageBox::DestructiveRole, 3};
    const Bouton recommencer{"&Recommencer", QMessageBox::AcceptRole, 4};
    const Bouton ignorer{"&Ignorer", QMessageBox::ActionRole, 5};
    const Bouton oui{"&Oui", QMessageBox::YesRole, vbYes};
    const Bouton non{"&Non", QMessageBox::NoRole, vbNo};
    std::vector<Bouton> jeu;
    switch (style & 7) {
    case 1: jeu = {ok, annuler}; break;
    case 2: jeu = {abandonner, recommencer, ignorer}; break;
    case 3: jeu = {oui, non, annuler}; break;
    case 4: jeu = {oui, non}; break;
    case 5: jeu = {recommencer, annuler}; break;
    default: jeu = {ok}; break;
    }

    std::vector<std::pair<QAbstractButton*, int>> boutons;
    for (const Bouton& b : jeu) {
        QPushButton* bouton = boite.addButton(QString::fromUtf8(b.texte), b.role);
        boutons.emplace_back(bouton, b.reponse);
        if (b.reponse == vbCancel) boite.setEscapeButton(bouton);
    }
    if (jeu.size() == 1) boite.setEscapeButton(boutons[0].first);
    const std::size_t defaut = std::min<std::size_t>((style >> 8) & 3, boutons.size() - 1);
    boite.setDefaultButton(static_cast<QPushButton*>(boutons[defaut].first));

    boite.exec();
    for (const auto& [bouton, reponse] : boutons)
        if (boite.clickedButton() == bouton) return reponse;
    return jeu.size() == 1 ? jeu[0].reponse : vbCancel;
}

void Plateforme::LaisserEvenements() { QCoreApplication::processEvents(); }

void Plateforme::Repeindre() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void Plateforme::Sablier(bool occupe)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    // One level of override at most, so that "normal" is normal however many
    // times "busy" was asked for.
    if (occupe) {
        if (!QGuiApplication::overrideCursor()) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    }
}

bool Plateforme::Demarrer(const QString& programme)
{
    const QString hote = VersHote(programme);
    struct stat st;
    if (::stat(octets(hote).constData(), &st) != 0) echec(errno, hote);
    if (!S_ISREG(st.st_mode)) throw Erreur{ErrIntrouvable, hote};

    // Everything the child needs is ready before fork: after it, only
    // async-signal-safe calls.
    QByteArray chemin = octets(hote);
    const QByteArray dossier = octets(hote.left(std::max<qsizetype>(hote.lastIndexOf(u'/'), 1)));
    char sh[] = "sh";
    char* arguments[] = {chemin.data(), nullptr};
    char* argumentsSh[] = {sh, chemin.data(), nullptr};

    int tube[2];
    if (::pipe2(tube, O_CLOEXEC) != 0) echec(errno, hote);
    const pid_t enfant = ::fork();
    if (enfant < 0) {
        const int err = errno;
        ::close(tube[0]);
        ::close(tube[1]);
        echec(err, hote);
    }
    if (enfant == 0) {
        // Detached: a grandchild in a session of its own, adopted by init.
        ::close(tube[0]);
        ::setsid();
        const pid_t petit = ::fork();
        if (petit != 0) ::_exit(petit < 0 ? 1 : 0);
        ::signal(SIGPIPE, SIG_DFL);
        int err = 0;
        if (::chdir(dossier.constData()) != 0) {
            err = errno;
        } else {
            ::execv(chemin.constData(), arguments);
            // A file with no known executable format is a shell script, as
            // execvp treats it.
            if (errno == ENOEXEC) ::execv("/bin/sh", argumentsSh);
            err = errno;
        }
        [[maybe_unused]] const ssize_t n = ::write(tube[1], &err, sizeof err);
        ::_exit(127);
    }

    ::close(tube[1]);
    int statut = 0;
    while (::waitpid(enfant, &statut, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t lus;
    while ((lus = ::read(tube[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(tube[0]);
    if (lus == ssize_t(sizeof err)) echec(err, hote);
    if (!WIFEXITED(statut) || WEXITSTATUS(statut) != 0) echec(EAGAIN, hote);
    return true;
}

bool Plateforme::OuvrirDocument(const QString& chemin)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(VersHote(chemin)));
}

void Plateforme::Terminer() { std::_Exit(0); }

double Plateforme::Horloge()
{
    const QDateTime maintenant = QDateTime::currentDateTime();
    return double(QDate(1899, 12, 30).daysTo(maintenant.date()))
        + maintenant.time().msecsSinceStartOfDay() / 86400000.0;
}

void Plateforme::Bip() { QApplication::beep(); }

}  // namespace plateforme
