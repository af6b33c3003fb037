// The settings store and the system directory.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDir>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace plateforme {

using interne::echec;
using interne::joindre;
using interne::octets;

namespace {

bool nomDApplication(const QString& nom)
{
    return !nom.isEmpty() && nom != u'.' && nom != QLatin1String("..") && !nom.contains(u'/')
        && !nom.contains(QChar(0));
}
}  // namespace

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
}  // namespace plateforme
