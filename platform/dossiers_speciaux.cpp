// Special folders by CSIDL number: the folders of the shortcut files, and
// the freedesktop folders where their desktop entries go.
#include "platform/plateforme.h"

#include "platform/linux_interne.h"


#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace plateforme {

QString interne::dossierBureau(const Configuration& c)
{
    return dossiersUtilisateur(c).value(QStringLiteral("DESKTOP"), c.home + "/Desktop");
}

QString interne::dossierLiens(const Configuration& c, bool tous)
{
    return dossierDonnees(c, tous) + "/liens";
}

QString Plateforme::DossierSpecial(int csidl, Erreur* pourquoi, bool creer) const
{
    if (pourquoi) *pourquoi = Erreur{0, {}};
    const Configuration& c = config_;
    // Desktops read desktop entries, never shortcut files: those are the
    // wizard's own bookkeeping, in folders of its own, and each gets its
    // entry in the folder desktops read (entrees_bureau.cpp).
    const bool tous = csidl == 23 || csidl == 24 || csidl == 31;
    const QString liens = interne::dossierLiens(c, tous);
    QString hote;
    switch (csidl) {
    case 0:
    case 16: hote = liens + "/Bureau"; break;
    case 2:
    case 23: hote = liens + "/Programmes"; break;
    case 6:
    case 31: hote = liens + "/Favoris"; break;
    case 7:
    case 24: hote = liens + "/Demarrage"; break;
    case 8: hote = c.xdgDataHome + "/recent-links"; break;
    default: return {};   // 25 (no all-users desktop here) and unknown numbers
    }
    if (!hote.startsWith('/')) return {};

    try {
        // A user's own folders always exist where the shell comes from; the
        // all-users ones only where the account may write the system's data
        // folder (an administrator's). An uninstall only looks.
        if (!creer) {
        } else if (tous) {
            const QByteArray donnees = interne::octets(c.xdgDataDir);
            interne::dossierExistant(donnees, c.xdgDataDir);
            if (::access(donnees.constData(), W_OK) != 0) interne::echec(errno, c.xdgDataDir);
            interne::creerDossiers(hote);
        } else {
            interne::creerDossiers(hote);
        }
    } catch (const Erreur& e) {
        if (pourquoi) *pourquoi = e;
        return {};
    }

    QString r;
    try {
        r = VersLecteur(hote);
    } catch (const Erreur&) {
        return {};
    }
    // A folder outside every drive has no path the wizard could use.
    if (r.size() < 2 || r[1] != ':' || !r[0].isLetter()) return {};
    while (r.endsWith('\\')) r.chop(1);
    return r;
}

interne::DossiersSpeciaux interne::dossiersSpeciaux(const Configuration& c)
{
    DossiersSpeciaux d;
    d.bureau = dossierBureau(c);
    d.applications = {c.xdgDataHome + "/applications", c.xdgDataDir + "/applications"};
    d.demarrage = {c.xdgConfigHome + "/autostart", c.xdgConfigDir + "/autostart"};
    return d;
}

}  // namespace plateforme
