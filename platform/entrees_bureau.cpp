// Desktop entries paired with shortcut files.
//
// Linux desktops read neither .lnk nor .url files, so every shortcut file
// written into a special folder gets a freedesktop Desktop Entry of the same
// base name beside it (Agenda.desktop beside Agenda.lnk), and loses it when
// the shortcut file is deleted. The entry names its shortcut file under
// `X-Assistant-Raccourci`: an entry without that key is the user's own and is
// never touched. Entries of programs with an icon point at a PNG of that
// icon under the user's hicolor theme, shared by every entry of the same
// program and removed with the last of them.
//
// The hooks run after every write of a shortcut file: a link that does not
// parse gets no entry, and one whose entry is already right is left alone.
// Only an entry that cannot be written is reported (thrown); the rest,
// the menus and icons included, never fails the caller.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>

#include <map>
#include <optional>

namespace plateforme {

bool interne::estRaccourci(const QString& hote)
{
    return hote.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive)
        || hote.endsWith(QLatin1String(".url"), Qt::CaseInsensitive);
}

using interne::desechapper;
using interne::echapper;
using interne::Existante;
using interne::lireEntree;

namespace {

enum class Genre { Aucun, Bureau, Applications, Favoris, Demarrage };

struct Emplacement {
    Genre genre = Genre::Aucun;
    QString racineApplications;   // the applications folder holding the entry
};

bool dansOuSous(const QString& dossier, const QString& racine)
{
    return dossier == racine || dossier.startsWith(racine + '/');
}

Emplacement classer(const Configuration& c, const QString& dossierHote)
{
    const QString dossier = interne::cheminNormal(dossierHote);
    if (dansOuSous(dossier, interne::cheminNormal(c.xdgDataHome + "/recent-links"))) return {};
    const interne::DossiersSpeciaux d = interne::dossiersSpeciaux(c);
    for (const QString& a : d.applications) {
        const QString racine = interne::cheminNormal(a);
        if (dansOuSous(dossier, racine)) return {Genre::Applications, a};
    }
    if (dossier == interne::cheminNormal(d.bureau)) return {Genre::Bureau, {}};
    for (const QString& f : d.favoris)
        if (dossier == interne::cheminNormal(f)) return {Genre::Favoris, {}};
    for (const QString& s : d.demarrage)
        if (dossier == interne::cheminNormal(s)) return {Genre::Demarrage, {}};
    return {};
}

bool estProgramme(const QString& hote)
{
    const QFileInfo i(hote);
    if (!i.exists())   // not installed yet: judged by its name
        return i.suffix().compare(QLatin1String("exe"), Qt::CaseInsensitive) == 0
            || i.suffix().compare(QLatin1String("com"), Qt::CaseInsensitive) == 0;
    return interne::estProgramme(hote);
}

// ---- Writing the entries ------------------------------------------------

// One argument of Exec, quoted: ", `, $ and \ escaped inside the quotes,
// % doubled (the field-code escape).
QString argumentExec(const QString& a)
{
    QString r = QStringLiteral("\"");
    for (const QChar c : a) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') r += '\\';
        if (c == '%') r += '%';
        r += c;
    }
    return r + '"';
}

struct Contenu {
    QByteArray texte;
    QString icone;   // host path of the icon PNG, "" without one
};

// The entry for the shortcut file `hote`, or nothing when it says nothing
// usable (a partial or broken link, an empty address).
std::optional<Contenu> construire(const Plateforme& p, const QString& hote, Genre genre)
{
    QFile f(hote);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray octets = f.readAll();
    f.close();

    QString cible;          // drive notation, when the shortcut points at a file
    QString adresse;        // otherwise the address
    QString sourceIcone;    // drive notation
    if (hote.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive)) {
        const auto c = interne::cibleLien(octets);
        if (!c || !interne::notationLecteur(*c)) return std::nullopt;
        cible = *c;
    } else {
        const interne::Url u = interne::lireUrl(octets);
        if (u.url.isEmpty()) return std::nullopt;
        if (interne::notationLecteur(u.url)) {
            cible = u.url;
        } else {
            static const QRegularExpression schema(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
            adresse = schema.match(u.url).hasMatch() ? u.url : "http://" + u.url;
        }
        if (interne::notationLecteur(u.fichierIcone)) sourceIcone = u.fichierIcone;
    }
    if (sourceIcone.isEmpty()) sourceIcone = cible;

    const QString nom = QFileInfo(hote).completeBaseName();
    QStringList l{QStringLiteral("[Desktop Entry]"), QStringLiteral("Version=1.0")};
    // Without an icon of its own, an entry shows the theme's icon for what it
    // opens: never an empty square.
    QString iconeTheme = QStringLiteral("text-html");
    if (!cible.isEmpty()) {
        const QString cibleHote = p.VersHote(cible);
        l << QStringLiteral("Type=Application") << "Name=" + echapper(nom);
        if (estProgramme(cibleHote)) {
            // GLib looks for the program under its name before the %% of
            // the field codes is undone, so a name holding % is started
            // through env.
            const QString env = cibleHote.contains('%') ? QStringLiteral("env ") : QString();
            l << "Exec=" + env + echapper(argumentExec(cibleHote))
              << "Path=" + echapper(QFileInfo(cibleHote).path());
            iconeTheme = QLatin1String(interne::NomIconeGenerique);
        } else {
            // A document opens with the desktop's default application; an
            // Application entry (rather than a Link) is what every menu and
            // the autostart shows.
            l << "Exec=xdg-open " + echapper(argumentExec(cibleHote));
            // A machine without a MIME database names no icon for it.
            const QString mime = QMimeDatabase().mimeTypeForFile(cibleHote).iconName();
            iconeTheme = mime.isEmpty() ? QStringLiteral("text-x-generic") : mime;
        }
    } else if (genre == Genre::Demarrage) {
        // Autostart runs applications only.
        l << QStringLiteral("Type=Application") << "Name=" + echapper(nom)
          << "Exec=xdg-open " + echapper(argumentExec(adresse));
    } else {
        l << QStringLiteral("Type=Link") << "Name=" + echapper(nom) << "URL=" + echapper(adresse);
    }
    Contenu r;
    if (!sourceIcone.isEmpty()) {
        try {
            r.icone = interne::iconeDe(p, p.VersHote(sourceIcone));
        } catch (...) {
        }
    }
    l << "Icon=" + echapper(r.icone.isEmpty() ? iconeTheme : r.icone);
    // Menus file an application under its category; the program group's
    // submenu lists it as well.
    if (l.contains(QStringLiteral("Type=Application"))) l << QStringLiteral("Categories=Utility;");
    l << interne::CleMarque + '=' + echapper(QFileInfo(hote).fileName());
    r.texte = (l.join('\n') + '\n').toUtf8();
    return r;
}

// Runs a desktop tool when it is installed, waiting a short while at most;
// its failure changes nothing.
void outil(const QString& nom, const QStringList& arguments)
{
    const QString exe = QStandardPaths::findExecutable(nom);
    if (exe.isEmpty()) return;
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(exe, arguments);
    if (!p.waitForStarted(2000)) return;
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
    }
}

// Keeps the menus in step with the entries of an applications folder: the
// group's submenu, and the folder's MIME cache. Ours declare no MIME type,
// so a folder without a cache is left without one rather than given a file
// that nobody removes.
void menusChanges(const Configuration& c, const Emplacement& e, const QString& dossierEntree)
{
    if (e.genre != Genre::Applications) return;
    interne::menuDuGroupe(c, e.racineApplications, dossierEntree);
    if (QFileInfo::exists(e.racineApplications + "/mimeinfo.cache"))
        outil(QStringLiteral("update-desktop-database"), {e.racineApplications});
}

QString cheminEntree(const QString& hote)
{
    const QFileInfo i(hote);
    return i.path() + '/' + i.completeBaseName() + ".desktop";
}

void supprimerEntree(const Configuration& c, const Emplacement& e, const QString& chemin,
                     const Existante& existante)
{
    if (!QFile::remove(chemin)) return;
    interne::libererIcone(c, existante.icone);
    menusChanges(c, e, QFileInfo(chemin).path());
}

}  // namespace

void Plateforme::raccourciEcrit(const QString& hote)
{
    try {
        if (!interne::estRaccourci(hote)) return;
        const QFileInfo info(hote);
        if (info.completeBaseName().isEmpty() || !info.isFile()) return;
        const Emplacement e = classer(config_, info.path());
        if (e.genre == Genre::Aucun) return;
        const QString chemin = cheminEntree(hote);
        const Existante existante = lireEntree(chemin);
        if (existante.presente && existante.source.isEmpty()) return;   // the user's own

        std::optional<Contenu> contenu;
        try {
            contenu = construire(*this, hote, e.genre);
        } catch (const Erreur&) {   // a target no drive holds
        }
        if (!contenu) {
            // The link as it stands names nothing: its old entry goes.
            if (existante.presente
                && existante.source.compare(info.fileName(), Qt::CaseInsensitive) == 0)
                supprimerEntree(config_, e, chemin, existante);
            return;
        }
        if (existante.texte != contenu->texte) {
            // Whole or not at all; a shortcut that no menu shows is no
            // shortcut, so its failure is the write's.
            interne::remplacer(chemin, contenu->texte);
            if (existante.icone != contenu->icone) interne::libererIcone(config_, existante.icone);
        }
        if (e.genre == Genre::Bureau) {
            // Desktops launch only the entries marked executable (and, on
            // GNOME, trusted).
            QFile f(chemin);
            const auto x = QFileDevice::ExeOwner | QFileDevice::ExeUser | QFileDevice::ExeGroup
                         | QFileDevice::ExeOther;
            if ((f.permissions() & x) != x) f.setPermissions(f.permissions() | x);
            if (existante.texte != contenu->texte)
                outil(QStringLiteral("gio"), {QStringLiteral("set"), chemin,
                                              QStringLiteral("metadata::trusted"), QStringLiteral("true")});
        }
        if (existante.texte != contenu->texte) menusChanges(config_, e, info.path());
        // The install's record keeps the entry, written now or already right.
        interne::inventorier({interne::Element::Entree, chemin});
    } catch (const Erreur&) {
        throw;
    } catch (...) {
    }
}

void Plateforme::raccourciSupprime(const QString& hote)
{
    try {
        if (!interne::estRaccourci(hote)) return;
        const QFileInfo info(hote);
        const Emplacement e = classer(config_, info.path());
        if (e.genre == Genre::Aucun) return;
        const QString chemin = cheminEntree(hote);
        const Existante existante = lireEntree(chemin);
        if (!existante.presente
            || existante.source.compare(info.fileName(), Qt::CaseInsensitive) != 0)
            return;
        supprimerEntree(config_, e, chemin, existante);
        // The other form of the same shortcut, still there, takes the entry.
        const bool lien = hote.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive);
        const QDir dossier(info.path());
        const QString autre = info.completeBaseName() + (lien ? ".url" : ".lnk");
        for (const QString& n : dossier.entryList(QDir::Files | QDir::Hidden))
            if (n.compare(autre, Qt::CaseInsensitive) == 0) {
                raccourciEcrit(dossier.filePath(n));
                break;
            }
    } catch (...) {
    }
}

}  // namespace plateforme

namespace plateforme::interne {

bool retirerEntree(const Configuration& c, const QString& chemin)
{
    const Existante existante = lireEntree(chemin);
    if (!existante.presente || existante.source.isEmpty()) return false;   // the user's own
    supprimerEntree(c, classer(c, QFileInfo(chemin).path()), chemin, existante);
    return !QFileInfo::exists(chemin);
}

void ecrireDesinstalleur(const Plateforme& p, const QString& groupe, const QString& nom, const QString& lanceur,
                         const QString& programme)
{
    const Configuration& c = p.configuration();
    const QString chemin = groupe + u'/' + nom + QStringLiteral(".desktop");
    const Existante existante = lireEntree(chemin);
    if (existante.presente && existante.source.isEmpty()) return;   // the user's own
    QString icone;
    if (!programme.isEmpty()) icone = iconeDe(p, programme);
    const QByteArray texte = (QStringList{QStringLiteral("[Desktop Entry]"), QStringLiteral("Version=1.0"),
                                          QStringLiteral("Type=Application"), "Name=" + echapper(nom),
                                          "Exec=" + echapper(argumentExec(lanceur)) + QStringLiteral(" --desinstaller"),
                                          "Icon=" + echapper(icone.isEmpty() ? QLatin1String(NomIconeGenerique) : icone),
                                          QStringLiteral("Categories=Utility;"),
                                          CleDesinstallation + u'=' + echapper(lanceur)}
                                  .join(u'\n') + u'\n')
                                 .toUtf8();
    creerDossiers(groupe);
    if (existante.texte != texte) remplacer(chemin, texte);
    inventorierEcrit(Element::Desinstalleur, chemin, texte);
    menusChanges(c, classer(c, groupe), groupe);
}

}  // namespace plateforme::interne
