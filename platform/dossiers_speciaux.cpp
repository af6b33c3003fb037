// Special folders by CSIDL number: the folders of the shortcut files, and
// the freedesktop folders where their desktop entries go.
#include "platform/plateforme.h"

#include "platform/linux_interne.h"

#include <QFile>
#include <QTextStream>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

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


void interne::creerDossiers(const QString& hote)
{
    // Level by level, so that a failure is the errno of the level that
    // could not be made.
    QString chemin;
    for (const QString& partie : hote.split('/', Qt::SkipEmptyParts)) {
        chemin += '/' + partie;
        if (::mkdir(octets(chemin).constData(), 0777) != 0 && errno != EEXIST) echec(errno, chemin);
    }
    dossierExistant(octets(hote), hote);
}

QString interne::dossierLiens(const Configuration& c, bool tous)
{
    return (tous ? c.xdgDataDir : c.xdgDataHome) + "/assistant-installation/liens";
}

QString Plateforme::DossierSpecial(int csidl, Erreur* pourquoi) const
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
        // folder (an administrator's).
        if (tous) {
            const QByteArray donnees = interne::octets(c.xdgDataDir);
            interne::dossierExistant(donnees, c.xdgDataDir);
            if (::access(donnees.constData(), W_OK) != 0) interne::echec(errno, c.xdgDataDir);
        }
        interne::creerDossiers(hote);
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
