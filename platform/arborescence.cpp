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

// The names directly in a host folder, in order; `exclus` left out (any
// case).
QStringList noms(const QString& dossier, const QStringList& exclus)
{
    DIR* d = ::opendir(octets(dossier).constData());
    if (!d) echec(errno, dossier);
    QStringList r;
    while (const dirent* e = ::readdir(d)) {
        const QString n = QString::fromUtf8(e->d_name);
        if (n != u'.' && n != QLatin1String("..") && !exclus.contains(n, Qt::CaseInsensitive)) r << n;
    }
    ::closedir(d);
    r.sort();
    return r;
}

// Walks what a host folder holds, links not followed: `f` is given each
// entry's path relative to `racine` ("/" between names) and its status, and
// answers whether to go into a folder. Folders come before what they hold.
template <class F>
void parcourir(const QString& racine, const QString& relatif, const QStringList& exclus, F&& f)
{
    for (const QString& n : noms(relatif.isEmpty() ? racine : racine + u'/' + relatif, exclus)) {
        const QString r = relatif.isEmpty() ? n : relatif + u'/' + n;
        struct stat st {};
        if (::lstat(octets(racine + u'/' + r).constData(), &st) != 0) echec(errno, racine + u'/' + r);
        if (f(r, st) && S_ISDIR(st.st_mode)) parcourir(racine, r, {}, f);
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
    parcourir(VersHote(source), {}, exclus, [&](const QString&, const struct stat& st) {
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
    // What a killed copy left in a folder goes before its files are written,
    // once for the folder.
    const auto nettoyer = [&](const QString& relatif, const QStringList& exclusIci) {
        QList<QByteArray> prefixes;
        for (const QString& n : noms(relatif.isEmpty() ? hs : hs + u'/' + relatif, exclusIci))
            prefixes << interne::prefixeTemporaire(octets(n));
        interne::supprimerRestes(octets(relatif.isEmpty() ? hd : hd + u'/' + relatif), prefixes);
        aSynchroniser_ << (relatif.isEmpty() ? hd : hd + u'/' + relatif);
    };
    nettoyer({}, exclus);
    parcourir(hs, {}, exclus, [&](const QString& relatif, const struct stat& st) {
        const QString s = hs + u'/' + relatif, d = hd + u'/' + relatif;
        const QString nom = QString(relatif).replace(u'/', u'\\');
        try {
            interne::surLecteurs(config_, {source, destination}, [&] {
                if (S_ISDIR(st.st_mode)) {
                    if (::mkdir(octets(d).constData(), 0777) == 0) interne::inventorier({interne::Element::Dossier, d});
                    else if (errno != EEXIST) echec(errno, destination + u'\\' + nom);
                    interne::dossierExistant(octets(d), destination + u'\\' + nom);
                    nettoyer(relatif, {});
                } else if (S_ISREG(st.st_mode)) {
                    interne::copierHote(octets(s), octets(d), source + u'\\' + nom, destination + u'\\' + nom,
                               [this] { Repeindre(); }, true, interne::Element::Fichier, false);
                } else if (S_ISLNK(st.st_mode)) {
                    // A library's libx.so.1 -> libx.so.1.2 stays a link; one
                    // that leads out of the folder would install what the
                    // medium does not hold.
                    const QString cible = interne::cibleDe(s);
                    if (!resteDedans(relatif, cible)) throw Erreur{ErrAcces, source + u'\\' + nom, LienSortant};
                    if (interne::cibleDe(d) != cible) {
                        const QByteArray temp = octets(QFileInfo(d).path()) + '/'
                            + interne::prefixeTemporaire(octets(QFileInfo(d).fileName())) + "lien00";
                        ::unlink(temp.constData());
                        if (::symlink(octets(cible).constData(), temp.constData()) != 0
                            || ::rename(temp.constData(), octets(d).constData()) != 0) {
                            const int e = errno;
                            ::unlink(temp.constData());
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
            return false;
        }
        if (!S_ISDIR(st.st_mode)) parEntree(nom, nullptr);
        return true;
    });
}

}  // namespace plateforme
