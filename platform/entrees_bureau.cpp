// Desktop entries paired with shortcut files.
//
// Linux desktops read neither .lnk nor .url files, so the special folders
// of the shortcut files are the wizard's own, below W/liens, and every
// shortcut file written there gets a freedesktop Desktop Entry of the same
// base name in the folder that desktops read (W/liens/Programmes/Jeux/
// Agenda.lnk gives applications/Jeux/Agenda.desktop), and loses it when the
// shortcut file is deleted. The entry names its shortcut file by its path
// below W/liens under `X-Assistant-Raccourci`: an entry without that key is
// the user's own and is never touched, and one that names another shortcut
// file (a favourite and a program of the same name) is never taken over,
// save by the other form (.url or .lnk) of the same shortcut. Entries of
// programs with an icon point at a PNG of that icon under the user's
// hicolor theme, shared by every entry of the same program and removed with
// the last of them.
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
#include <QUrl>

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

struct Emplacement {
    QString dossier;              // host folder of the entry; "" for none
    bool bureau = false;          // the desktop's
    QString racineApplications;   // the applications folder holding it, if any
    QString marque;               // the shortcut file's path below W/liens
    bool tous = false;            // all users': so is the icon
};

// Where the entry of the shortcut file `hote` goes: its folder below
// W/liens/Programmes maps to the same folders below applications; the
// desktop, favourites and start-up folders hold no folders of ours.
Emplacement classer(const Configuration& c, const QString& hote)
{
    const QString dossier = interne::cheminNormal(QFileInfo(hote).path());
    const interne::DossiersSpeciaux d = interne::dossiersSpeciaux(c);
    for (const int tous : {0, 1}) {
        const QString liens = interne::cheminNormal(interne::dossierLiens(c, tous));
        if (!dossier.startsWith(liens + '/')) continue;
        const QString relatif = dossier.mid(liens.size() + 1);
        const QString sorte = relatif.section('/', 0, 0), sous = relatif.section('/', 1);
        Emplacement e;
        e.tous = tous;
        e.marque = relatif + '/' + QFileInfo(hote).fileName();
        if (sorte == QLatin1String("Programmes")) {
            e.racineApplications = d.applications[tous];
            e.dossier = sous.isEmpty() ? e.racineApplications : e.racineApplications + '/' + sous;
        } else if (!sous.isEmpty()) {
            return {};
        } else if (sorte == QLatin1String("Favoris")) {
            e.dossier = e.racineApplications = d.applications[tous];
        } else if (sorte == QLatin1String("Demarrage")) {
            e.dossier = d.demarrage[tous];
        } else if (sorte == QLatin1String("Bureau") && !tous) {
            e.bureau = true;
            e.dossier = d.bureau;
        } else {
            return {};
        }
        return e;
    }
    return {};
}

// Whether an entry marked `source` belongs to the shortcut file `marque`:
// the same file, or the other form of the same shortcut.
bool sienne(const QString& source, const QString& marque)
{
    if (source.compare(marque, Qt::CaseInsensitive) == 0) return true;
    // An entry of an earlier version, whose shortcut file lay beside it and
    // which its mark named alone.
    if (!source.contains(u'/') && source.compare(marque.section(u'/', -1), Qt::CaseInsensitive) == 0) return true;
    const auto base = [](const QString& m) { return m.left(m.size() - 4); };
    return interne::estRaccourci(source) && base(source).compare(base(marque), Qt::CaseInsensitive) == 0;
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
std::optional<Contenu> construire(const Plateforme& p, const QString& hote, const QString& marque, bool tous)
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
            // As a URI, in ASCII (the host in Punycode, the rest as %XX of
            // UTF-8): what every browser and URL handler takes.
            const QUrl uri(adresse);
            if (uri.isValid()) adresse = QString::fromLatin1(uri.toEncoded());
        }
        if (interne::notationLecteur(u.fichierIcone)) sourceIcone = u.fichierIcone;
    }
    if (sourceIcone.isEmpty()) sourceIcone = cible;

    // Documents and addresses open with the desktop's default application
    // or browser: an Application entry (rather than a Link) is what every
    // menu and the autostart shows.
    QStringList l{QStringLiteral("[Desktop Entry]"), QStringLiteral("Version=1.0"), QStringLiteral("Type=Application"),
                  "Name=" + echapper(QFileInfo(hote).completeBaseName())};
    // Without an icon of its own, an entry shows the theme's icon for what it
    // opens: never an empty square.
    QString iconeTheme = QStringLiteral("text-html");
    if (!cible.isEmpty()) {
        const QString cibleHote = p.VersHote(cible);
        if (estProgramme(cibleHote)) {
            // GLib looks for the program under its name before the %% of
            // the field codes is undone, so a name holding % is started
            // through env.
            const QString env = cibleHote.contains('%') ? QStringLiteral("env ") : QString();
            l << "Exec=" + env + echapper(argumentExec(cibleHote))
              << "Path=" + echapper(QFileInfo(cibleHote).path());
            iconeTheme = QLatin1String(interne::NomIconeGenerique);
        } else {
            l << "Exec=xdg-open " + echapper(argumentExec(cibleHote));
            // A machine without a MIME database names no icon for it.
            const QString mime = QMimeDatabase().mimeTypeForFile(cibleHote).iconName();
            iconeTheme = mime.isEmpty() ? QStringLiteral("text-x-generic") : mime;
        }
    } else {
        l << "Exec=xdg-open " + echapper(argumentExec(adresse));
    }
    Contenu r;
    if (!sourceIcone.isEmpty()) {
        try {
            r.icone = interne::iconeDe(p, p.VersHote(sourceIcone), tous);
        } catch (...) {
        }
    }
    l << "Icon=" + echapper(r.icone.isEmpty() ? iconeTheme : r.icone);
    // Menus file an application under its category (an address under the
    // Internet one); the program group's submenu lists it as well.
    l << (adresse.isEmpty() ? QStringLiteral("Categories=Utility;") : QStringLiteral("Categories=Network;"));
    l << interne::CleMarque + '=' + echapper(interne::valeurMarque(marque));
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
void menusChanges(const Configuration& c, const Emplacement& e)
{
    if (e.racineApplications.isEmpty()) return;
    interne::menuDuGroupe(c, e.racineApplications, e.dossier);
    if (QFileInfo::exists(e.racineApplications + "/mimeinfo.cache"))
        outil(QStringLiteral("update-desktop-database"), {e.racineApplications});
}

QString cheminEntree(const Emplacement& e, const QString& hote)
{
    return e.dossier + '/' + QFileInfo(hote).completeBaseName() + ".desktop";
}

void supprimerEntree(const Configuration& c, const Emplacement& e, const QString& chemin,
                     const Existante& existante)
{
    if (!QFile::remove(chemin)) return;
    interne::libererIcone(c, existante.icone);
    menusChanges(c, e);
    // The group's folders go with their last entry; one that holds anything
    // else is not only ours, and stays.
    if (e.racineApplications.isEmpty()) return;
    for (QString d = e.dossier; d.startsWith(e.racineApplications + '/'); d = QFileInfo(d).path())
        if (!QDir().rmdir(d)) break;
}

}  // namespace

void Plateforme::raccourciEcrit(const QString& hote)
{
    try {
        if (!interne::estRaccourci(hote)) return;
        const QFileInfo info(hote);
        if (info.completeBaseName().isEmpty() || !info.isFile()) return;
        const Emplacement e = classer(config_, hote);
        if (e.dossier.isEmpty()) return;
        const QString chemin = cheminEntree(e, hote);
        const Existante existante = lireEntree(chemin);
        // The user's own, or another shortcut's.
        if (existante.presente && !sienne(existante.source, e.marque)) return;

        std::optional<Contenu> contenu;
        try {
            contenu = construire(*this, hote, e.marque, e.tous);
        } catch (const Erreur&) {   // a target no drive holds
        }
        if (!contenu) {
            // The link as it stands names nothing: its old entry goes.
            if (existante.presente && existante.source.compare(e.marque, Qt::CaseInsensitive) == 0)
                supprimerEntree(config_, e, chemin, existante);
            return;
        }
        if (existante.texte != contenu->texte) {
            // Whole or not at all; a shortcut that no menu shows is no
            // shortcut, so its failure is the write's.
            interne::creerDossiers(e.dossier);
            interne::remplacer(chemin, contenu->texte);
            if (existante.icone != contenu->icone) interne::libererIcone(config_, existante.icone);
        }
        if (e.bureau) {
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
        if (existante.texte != contenu->texte) menusChanges(config_, e);
        // That earlier version's shortcut file, which desktops showed as an
        // unknown document beside its entry, goes: its mark names it ours.
        if (existante.presente && !existante.source.contains(u'/') && interne::estRaccourci(existante.source))
            QFile::remove(e.dossier + u'/' + existante.source);
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
        const Emplacement e = classer(config_, hote);
        if (e.dossier.isEmpty()) return;
        const QString chemin = cheminEntree(e, hote);
        const Existante existante = lireEntree(chemin);
        if (!existante.presente || existante.source.compare(e.marque, Qt::CaseInsensitive) != 0) return;
        supprimerEntree(config_, e, chemin, existante);
        // The other form of the same shortcut, still there, takes the entry.
        const QFileInfo info(hote);
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
    // Where it lies: in an applications folder, its menus follow.
    Emplacement e;
    e.dossier = QFileInfo(chemin).path();
    for (const QString& a : dossiersSpeciaux(c).applications)
        if (cheminNormal(e.dossier) == cheminNormal(a) || cheminNormal(e.dossier).startsWith(cheminNormal(a) + '/'))
            e.racineApplications = a;
    supprimerEntree(c, e, chemin, existante);
    return !QFileInfo::exists(chemin);
}

void ecrireDesinstalleur(const Plateforme& p, const QString& groupe, const QString& nom, const QString& lanceur,
                         const QString& programme)
{
    const Configuration& c = p.configuration();
    // Beside the program's entry, in the folder paired with the group's.
    const Emplacement e = classer(c, groupe + u'/' + nom + QStringLiteral(".lnk"));
    if (e.dossier.isEmpty()) return;
    const QString chemin = e.dossier + u'/' + nom + QStringLiteral(".desktop");
    const Existante existante = lireEntree(chemin);
    if (existante.presente && existante.source.isEmpty()) return;   // the user's own
    QString icone;
    if (!programme.isEmpty()) icone = iconeDe(p, programme, e.tous);
    const QByteArray texte = (QStringList{QStringLiteral("[Desktop Entry]"), QStringLiteral("Version=1.0"),
                                          QStringLiteral("Type=Application"), "Name=" + echapper(nom),
                                          "Exec=" + echapper(argumentExec(lanceur)) + QStringLiteral(" --desinstaller"),
                                          "Icon=" + echapper(icone.isEmpty() ? QLatin1String(NomIconeGenerique) : icone),
                                          QStringLiteral("Categories=Utility;"),
                                          CleDesinstallation + u'=' + echapper(lanceur)}
                                  .join(u'\n') + u'\n')
                                 .toUtf8();
    creerDossiers(e.dossier);
    if (existante.texte != texte) remplacer(chemin, texte);
    inventorierEcrit(Element::Desinstalleur, chemin, texte);
    menusChanges(c, e);
}

}  // namespace plateforme::interne
