// Special folders by CSIDL number, mapped onto the freedesktop folders.
#include "platform/plateforme.h"

#include "platform/linux_interne.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace plateforme {

namespace {

// Undoes the shell quoting that xdg-user-dirs allows inside the quotes.
QString sansEchappements(const QString& v)
{
    QString r;
    r.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) ++i;
        r += v[i];
    }
    return r;
}

}  // namespace

QString interne::dossierBureau(const Configuration& c)
{
    QFile f(c.xdgConfigHome + "/user-dirs.dirs");
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QString trouve;
        QTextStream in(&f);
        while (!in.atEnd()) {
            const QString ligne = in.readLine().trimmed();
            if (!ligne.startsWith(QLatin1String("XDG_DESKTOP_DIR"))) continue;
            QString reste = ligne.mid(15).trimmed();
            if (!reste.startsWith('=')) continue;
            reste = reste.mid(1).trimmed();
            if (reste.size() < 2 || !reste.startsWith('"')) continue;
            const qsizetype fin = reste.lastIndexOf('"');
            if (fin <= 0) continue;
            QString v = sansEchappements(reste.mid(1, fin - 1));
            if (v == QLatin1String("$HOME") || v.startsWith(QLatin1String("$HOME/")))
                v = c.home + v.mid(5);
            else if (!v.startsWith('/'))
                continue;
            while (v.size() > 1 && v.endsWith('/')) v.chop(1);
            trouve = v;   // the last definition wins, as in a shell
        }
        if (!trouve.isEmpty()) return trouve;
    }
    return c.home + "/Desktop";
}


QString Plateforme::DossierSpecial(int csidl, bool creer) const
{
    const Configuration& c = config_;
    QString hote;
    bool parUtilisateur = true;
    switch (csidl) {
    case 0:
    case 16: hote = interne::dossierBureau(c); break;
    case 2: hote = c.xdgDataHome + "/applications"; break;
    case 6: hote = c.xdgDataHome + "/favorites"; break;
    case 7: hote = c.xdgConfigHome + "/autostart"; break;
    case 8: hote = c.xdgDataHome + "/recent-links"; break;
    case 23: hote = c.xdgDataDir + "/applications"; parUtilisateur = false; break;
    case 24: hote = c.xdgConfigDir + "/autostart"; parUtilisateur = false; break;
    case 31: hote = c.xdgDataDir + "/favorites"; parUtilisateur = false; break;
    default: return {};   // 25 (no all-users desktop here) and unknown numbers
    }
    if (hote.isEmpty() || !hote.startsWith('/')) return {};

    // A user's own folders always exist where the shell comes from; the
    // system-wide ones are the administrator's and are left as they are.
    if (parUtilisateur && creer) {
        try {
            interne::creerDossiers(hote);
        } catch (const Erreur&) {
            return {};
        }
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
    d.favoris = {c.xdgDataHome + "/favorites", c.xdgDataDir + "/favorites"};
    d.demarrage = {c.xdgConfigHome + "/autostart", c.xdgConfigDir + "/autostart"};
    return d;
}


}  // namespace plateforme
