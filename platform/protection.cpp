// The folders that hold the user's own things: no install goes into one and
// no uninstall deletes files from one, whatever link leads there.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdlib>

namespace plateforme {

namespace {

// The folder a host path really is, links followed; "" when it does not
// exist (nothing there to protect yet).
QString reel(const QString& hote)
{
    char* r = ::realpath(interne::octets(hote).constData(), nullptr);
    if (!r) return {};
    const QString s = QString::fromUtf8(r);
    std::free(r);
    return s;
}

bool contient(const QString& dossier, const QString& chemin)
{
    return dossier == u'/' || chemin.startsWith(dossier + u'/');
}

// A folder and what it is, in the user's words.
struct Protege {
    QString reel;
    QString quoi;
};

}  // namespace

QMap<QString, QString> interne::dossiersUtilisateur(const Configuration& c)
{
    // xdg-user-dirs writes XDG_<NAME>_DIR="$HOME/..." (or an absolute path)
    // in user-dirs.dirs; the last definition wins, as in a shell.
    QMap<QString, QString> dossiers;
    QFile f(c.xdgConfigHome + QStringLiteral("/user-dirs.dirs"));
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&f);
        while (!in.atEnd()) {
            const QString ligne = in.readLine().trimmed();
            const qsizetype egal = ligne.indexOf(u'=');
            if (!ligne.startsWith(QLatin1String("XDG_")) || egal < 0) continue;
            const QString cle = ligne.left(egal).trimmed();
            if (!cle.endsWith(QLatin1String("_DIR"))) continue;
            QString v = ligne.mid(egal + 1).trimmed();
            if (v.size() < 2 || !v.startsWith(u'"') || !v.endsWith(u'"')) continue;
            v = v.mid(1, v.size() - 2);
            QString brut;
            for (qsizetype i = 0; i < v.size(); ++i) {
                if (v[i] == u'\\' && i + 1 < v.size()) ++i;
                brut += v[i];
            }
            if (brut == QLatin1String("$HOME") || brut.startsWith(QLatin1String("$HOME/")))
                brut = c.home + brut.mid(5);
            else if (!brut.startsWith(u'/'))
                continue;
            dossiers[cle.mid(4, cle.size() - 8)] = sansBarreFinale(brut);
        }
    }
    return dossiers;
}

QString Plateforme::DossierProtege(const QString& chemin) const
{
    const QString hote = VersHote(chemin);
    const QString ici = reel(hote);
    if (ici.isEmpty()) return {};
    const QString quoi = interne::protection(config_, ici);
    if (quoi.isEmpty()) return {};
    // Where it really is, when a link led elsewhere.
    const QString lecteur = VersLecteur(ici);
    if (lecteur.isEmpty() || lecteur == VersLecteur(hote)) return quoi;
    return quoi + QStringLiteral(" (") + lecteur + u')';
}

QString interne::protection(const Configuration& c, const QString& ici)
{
    if (ici == u'/') return QStringLiteral("la racine du système de fichiers");
    for (const Lecteur& l : c.lecteurs)
        if (l.racine != c.home && reel(l.racine) == ici)
            return QStringLiteral("la racine du lecteur ") + QString(l.lettre.toLower()) + u':';

    // The user's own folders, the default ones of xdg-user-dirs wherever
    // the configuration names none, the settings and the system directory.
    std::vector<Protege> proteges{{reel(c.home), QStringLiteral("le dossier personnel de l'utilisateur")}};
    QMap<QString, QString> utilisateur = interne::dossiersUtilisateur(c);
    for (const char* nom : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Public", "Templates", "Videos"})
        utilisateur.insert(QStringLiteral("DEFAUT_") + QLatin1String(nom), c.home + u'/' + QLatin1String(nom));
    for (const QString& d : utilisateur)
        proteges.push_back({reel(d), QStringLiteral("le dossier « ") + QFileInfo(d).fileName()
                                         + QStringLiteral(" » de l'utilisateur")});
    for (const QString& d : {c.xdgConfigHome, c.xdgDataHome})
        proteges.push_back({reel(d), QStringLiteral("un dossier de réglages et de données de l'utilisateur")});
    for (const QString& d : {c.repertoireSysteme, c.repertoireSysteme + QStringLiteral("32")})
        proteges.push_back({reel(d), QStringLiteral("le répertoire système")});

    for (const Protege& p : proteges)
        if (!p.reel.isEmpty() && p.reel == ici) return p.quoi;
    for (const Protege& p : proteges)
        if (!p.reel.isEmpty() && contient(ici, p.reel)) return QStringLiteral("un dossier qui contient ") + p.quoi;
    return {};
}

}  // namespace plateforme
