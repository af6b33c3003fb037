// The settings store and the system directory.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"


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
    // Made by the first copy into it (see CopierFichier), not by asking:
    // a wizard opened and closed leaves nothing in the user's home.
    return VersLecteur(interne::sansBarreFinale(config_.repertoireSysteme));
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
