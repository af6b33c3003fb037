// Drives and paths: the drive table, drive notation to host paths and back,
// and the folders the environment gives.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plateforme {

namespace interne {

bool estDelai(int err)
{
    switch (err) {
    case EIO: case ETIMEDOUT: case ENOMEDIUM: case ENXIO: case ENODEV: case ESTALE:
        return true;
    default:
        return false;
    }
}

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

}  // namespace

QString sansBarreFinale(QString chemin)
{
    while (chemin.size() > 1 && chemin.endsWith(u'/')) chemin.chop(1);
    return chemin;
}

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
using interne::joindre;
using interne::octets;
using interne::versHote;

QString interne::joindre(const QString& dossier, const QString& nom)
{
    return dossier.endsWith(u'/') ? dossier + nom : dossier + u'/' + nom;
}

namespace {

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

}  // namespace

QString interne::versHote(const Configuration& c, const QString& chemin, bool* racine)
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
        if (seulementDesPoints(nom) || nom.contains(u'/') || AUnControle(nom))
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

namespace {

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

    // A medium's launcher names the medium's folder: its wizard lives below
    // it, and started through the carried loader /proc/self/exe is the
    // loader. Unset here, so that the programs the wizard starts do not
    // inherit it.
    const QString racine = qEnvironmentVariable("ASSISTANT_RACINE");
    qunsetenv("ASSISTANT_RACINE");
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    const QString programme = n > 0 ? QString::fromUtf8(exe, n) : QString();
    if (racine.startsWith(u'/') && ::stat(octets(racine).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        c.dossierPropre = QDir::cleanPath(racine);
    else if (programme.startsWith(u'/'))
        c.dossierPropre = programme.left(std::max<qsizetype>(programme.lastIndexOf(u'/'), 1));
    else
        c.dossierPropre = QCoreApplication::applicationDirPath();
    // The wizard an install keeps for later uninstalls: this one, with what
    // it carries when a launcher started it.
    const QString porte = c.dossierPropre + QStringLiteral("/assistant/setup");
    if (c.dossierPropre == QDir::cleanPath(racine) && ::stat(octets(porte).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        c.racineAssistant = c.dossierPropre;
        c.executable = porte;
    } else if (programme.startsWith(u'/')) {
        c.executable = programme;
    }

    c.xdgDataHome = dossierXdg("XDG_DATA_HOME", c.home + QStringLiteral("/.local/share"));
    c.xdgConfigHome = dossierXdg("XDG_CONFIG_HOME", c.home + QStringLiteral("/.config"));
    c.xdgDataDir = premierDossier("XDG_DATA_DIRS", QStringLiteral("/usr/local/share"));
    c.xdgConfigDir = premierDossier("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    c.repertoireSysteme = c.home + QStringLiteral("/.local/lib");
    return c;
}


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

QString Plateforme::DossierPropre() const { return VersLecteur(config_.dossierPropre); }

}  // namespace plateforme
