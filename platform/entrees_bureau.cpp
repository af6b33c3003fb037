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
// The hooks run after every write of a shortcut file, also while a link is
// only partly written: a link that does not parse yet gets no entry, and one
// whose entry is already right is left alone. They never throw.
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
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <map>
#include <optional>

namespace plateforme {

namespace {

const QString cleMarque = QStringLiteral("X-Assistant-Raccourci");

enum class Genre { Aucun, Bureau, Applications, Favoris, Demarrage };

struct Emplacement {
    Genre genre = Genre::Aucun;
    QString racineApplications;   // the applications folder holding the entry
};

// A folder as compared: without symbolic links when it exists.
QString normal(const QString& chemin)
{
    const QString c = QFileInfo(chemin).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(chemin) : c;
}

bool dansOuSous(const QString& dossier, const QString& racine)
{
    return dossier == racine || dossier.startsWith(racine + '/');
}

struct Dossiers {
    QString bureau;
    QStringList applications, favoris, demarrage;
};

Dossiers dossiersSpeciaux(const Configuration& c)
{
    Dossiers d;
    d.bureau = interne::dossierBureau(c);
    d.applications = {c.xdgDataHome + "/applications", c.xdgDataDir + "/applications"};
    d.favoris = {c.xdgDataHome + "/favorites", c.xdgDataDir + "/favorites"};
    d.demarrage = {c.xdgConfigHome + "/autostart", c.xdgConfigDir + "/autostart"};
    return d;
}

Emplacement classer(const Configuration& c, const QString& dossierHote)
{
    const QString dossier = normal(dossierHote);
    if (dansOuSous(dossier, normal(c.xdgDataHome + "/recent-links"))) return {};
    const Dossiers d = dossiersSpeciaux(c);
    for (const QString& a : d.applications) {
        const QString racine = normal(a);
        if (dansOuSous(dossier, racine)) return {Genre::Applications, a};
    }
    if (dossier == normal(d.bureau)) return {Genre::Bureau, {}};
    for (const QString& f : d.favoris)
        if (dossier == normal(f)) return {Genre::Favoris, {}};
    for (const QString& s : d.demarrage)
        if (dossier == normal(s)) return {Genre::Demarrage, {}};
    return {};
}

// ---- Reading the shortcut files ---------------------------------------

quint32 lire32(const QByteArray& b, qsizetype pos)
{
    const auto* o = reinterpret_cast<const unsigned char*>(b.constData()) + pos;
    return quint32(o[0]) | quint32(o[1]) << 8 | quint32(o[2]) << 16 | quint32(o[3]) << 24;
}

// A zero-terminated string inside `bloc` from `pos`; nothing when it runs
// out of the block (a partial link).
std::optional<QString> chaineAnsi(const QByteArray& bloc, quint32 pos)
{
    if (pos >= quint32(bloc.size())) return std::nullopt;
    const qsizetype fin = bloc.indexOf('\0', pos);
    if (fin < 0) return std::nullopt;
    QStringDecoder dec("windows-1252");
    return QString(dec(bloc.mid(pos, fin - pos)));
}

std::optional<QString> chaineUnicode(const QByteArray& bloc, quint32 pos)
{
    QString s;
    for (qsizetype i = pos; i + 1 < bloc.size(); i += 2) {
        const char16_t u = char16_t(quint8(bloc[i]) | quint8(bloc[i + 1]) << 8);
        if (u == 0) return s;
        s += QChar(u);
    }
    return std::nullopt;
}

// The target of a shell link in drive notation: the local base path and
// the common path suffix of its LinkInfo.
std::optional<QString> cibleLien(const QByteArray& b)
{
    static const QByteArray classe = QByteArray::fromHex("0114020000000000c000000000000046");
    if (b.size() < 76 || lire32(b, 0) != 0x4C || b.mid(4, 16) != classe) return std::nullopt;
    const quint32 drapeaux = lire32(b, 20);
    qsizetype pos = 76;
    if (drapeaux & 0x01) {
        if (pos + 2 > b.size()) return std::nullopt;
        pos += 2 + (quint8(b[pos]) | quint8(b[pos + 1]) << 8);
    }
    if (!(drapeaux & 0x02) || pos + 28 > b.size()) return std::nullopt;
    const quint32 taille = lire32(b, pos), entete = lire32(b, pos + 4);
    if (entete < 0x1C || taille < entete || pos + qsizetype(taille) > b.size()) return std::nullopt;
    const QByteArray info = b.mid(pos, taille);
    if (!(lire32(info, 8) & 0x01)) return std::nullopt;   // no local base path
    std::optional<QString> base, suffixe;
    if (entete >= 0x24) {
        base = chaineUnicode(info, lire32(info, 28));
        suffixe = chaineUnicode(info, lire32(info, 32));
    } else {
        base = chaineAnsi(info, lire32(info, 16));
        suffixe = chaineAnsi(info, lire32(info, 24));
    }
    if (!base || !suffixe || (base->isEmpty() && suffixe->isEmpty())) return std::nullopt;
    return *base + *suffixe;
}

struct Url {
    QString url, fichierIcone;
};

// The URL= and IconFile= values of the [InternetShortcut] section.
Url lireUrl(const QByteArray& b)
{
    QStringDecoder dec("windows-1252");
    QString texte = dec(b);
    texte.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
    Url u;
    bool section = false;
    bool vu = false;
    for (const QString& l : texte.split('\n')) {
        const QString ligne = l.trimmed();
        if (ligne.startsWith('[')) {
            section = ligne.compare(QLatin1String("[InternetShortcut]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype egal = ligne.indexOf('=');
        if (!section || egal < 0) continue;
        const QString cle = ligne.left(egal).trimmed();
        if (!vu && cle.compare(QLatin1String("URL"), Qt::CaseInsensitive) == 0) {
            u.url = ligne.mid(egal + 1).trimmed();
            vu = true;
        } else if (cle.compare(QLatin1String("IconFile"), Qt::CaseInsensitive) == 0) {
            u.fichierIcone = ligne.mid(egal + 1).trimmed();
        }
    }
    return u;
}

// A path in drive notation ("c:\..." or "\..." on the installer's drive),
// as opposed to an address.
bool notationLecteur(const QString& s)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z]:(\\\\|$)|\\\\(?!\\\\))"));
    return re.match(s).hasMatch();
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

// A value of type string: backslash and control characters escaped, a
// leading space kept.
QString echapper(const QString& v)
{
    QString r;
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v[i];
        if (c == '\\') r += QLatin1String("\\\\");
        else if (c == '\n') r += QLatin1String("\\n");
        else if (c == '\t') r += QLatin1String("\\t");
        else if (c == '\r') r += QLatin1String("\\r");
        else if (c == ' ' && i == 0) r += QLatin1String("\\s");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f) continue;
        else r += c;
    }
    return r;
}

QString desechapper(const QString& v)
{
    QString r;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            r += v[i];
            continue;
        }
        const QChar c = v[++i];
        r += c == 's' ? QChar(' ') : c == 'n' ? QChar('\n') : c == 't' ? QChar('\t')
           : c == 'r' ? QChar('\r') : c;
    }
    return r;
}

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

QString dossierIcones(const Configuration& c)
{
    return c.xdgDataHome + "/icons/hicolor/32x32/apps";
}

// The PNG of the icon that the host file `sourceHote` brings, shared by
// every entry that shows the same file's icon; "" when it has none.
QString iconeDe(const Plateforme& p, const QString& sourceHote)
{
    const QImage image = interne::iconePropre(sourceHote, 32);
    if (image.isNull()) return {};
    QString nom = QFileInfo(sourceHote).completeBaseName().toLower();
    nom.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]+")), QStringLiteral("_"));
    nom += '-' + QString::fromLatin1(QCryptographicHash::hash(sourceHote.toUtf8(),
                                                              QCryptographicHash::Sha1).toHex().left(10));
    const QString chemin = dossierIcones(p.configuration()) + '/' + nom + ".png";
    QByteArray png;
    QBuffer tampon(&png);
    tampon.open(QIODevice::WriteOnly);
    if (!image.save(&tampon, "PNG")) return {};
    QFile existant(chemin);
    if (existant.open(QIODevice::ReadOnly) && existant.readAll() == png) return chemin;
    existant.close();
    QDir().mkpath(dossierIcones(p.configuration()));
    QSaveFile f(chemin);
    if (!f.open(QIODevice::WriteOnly) || f.write(png) != png.size() || !f.commit()) return {};
    return chemin;
}

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
        const auto c = cibleLien(octets);
        if (!c || !notationLecteur(*c)) return std::nullopt;
        cible = *c;
    } else {
        const Url u = lireUrl(octets);
        if (u.url.isEmpty()) return std::nullopt;
        if (notationLecteur(u.url)) {
            cible = u.url;
        } else {
            static const QRegularExpression schema(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
            adresse = schema.match(u.url).hasMatch() ? u.url : "http://" + u.url;
        }
        if (notationLecteur(u.fichierIcone)) sourceIcone = u.fichierIcone;
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
            iconeTheme = QMimeDatabase().mimeTypeForFile(cibleHote).iconName();
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
            r.icone = iconeDe(p, p.VersHote(sourceIcone));
        } catch (...) {
        }
    }
    l << "Icon=" + echapper(r.icone.isEmpty() ? iconeTheme : r.icone);
    // Menus file an application under its category; the program group's
    // submenu lists it as well.
    if (l.contains(QStringLiteral("Type=Application"))) l << QStringLiteral("Categories=Utility;");
    l << cleMarque + '=' + echapper(QFileInfo(hote).fileName());
    r.texte = (l.join('\n') + '\n').toUtf8();
    return r;
}

// What an existing entry says: its shortcut file ("" when it is not ours)
// and its icon.
struct Existante {
    bool presente = false;
    QByteArray texte;
    QString source, icone;
};

Existante lireEntree(const QString& chemin)
{
    Existante e;
    const QFileInfo i(chemin);
    e.presente = i.exists() || i.isSymLink();
    QFile f(chemin);
    // One that cannot be read is not known to be ours.
    if (!e.presente || i.isSymLink() || !i.isFile() || !f.open(QIODevice::ReadOnly)) return e;
    e.texte = f.readAll();
    bool groupe = false;
    for (const QByteArray& brute : e.texte.split('\n')) {
        const QString ligne = QString::fromUtf8(brute).trimmed();
        if (ligne.startsWith('[')) {
            groupe = ligne == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!groupe) continue;
        if (ligne.startsWith(cleMarque + '=')) e.source = desechapper(ligne.mid(cleMarque.size() + 1));
        else if (ligne.startsWith(QLatin1String("Icon="))) e.icone = desechapper(ligne.mid(5));
    }
    return e;
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

// ---- The program group as a submenu ---------------------------------------
//
// Menus built from the freedesktop menu files ignore the folders of the
// applications folder: a group's entries would land in "Other". So each
// group holding entries of ours gets a merge file that lists them in a
// submenu of the group's name (nested folders as nested submenus), and a
// directory entry per submenu for its name and icon. Both are made again
// from the group's entries after every change, and go with its last entry.

struct DossiersMenus {
    QString fusion, repertoires;
};

DossiersMenus dossiersMenus(const Configuration& c, const QString& racineApplications)
{
    const bool tous = normal(racineApplications) == normal(c.xdgDataDir + "/applications");
    return {(tous ? c.xdgConfigDir : c.xdgConfigHome) + "/menus/applications-merged",
            (tous ? c.xdgDataDir : c.xdgDataHome) + "/desktop-directories"};
}

// A file name of ours for a folder of the group: readable, and unique
// whatever the folder's name holds.
QString nomMenu(const QString& dossier)
{
    QString lisible = dossier.section('/', -1).toLower();
    lisible.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    return "assistant-" + lisible + '-' +
           QString::fromLatin1(QCryptographicHash::hash(dossier.toUtf8(), QCryptographicHash::Sha1).toHex().left(10));
}

bool ecrireSiChange(const QString& chemin, const QByteArray& texte)
{
    QFile existant(chemin);
    if (existant.open(QIODevice::ReadOnly) && existant.readAll() == texte) return true;
    existant.close();
    QDir().mkpath(QFileInfo(chemin).path());
    QSaveFile f(chemin);
    return f.open(QIODevice::WriteOnly) && f.write(texte) == texte.size() && f.commit();
}

// Folders in the order of their names, each just before those inside it.
struct OrdreDossiers {
    bool operator()(const QString& a, const QString& b) const { return a.split('/') < b.split('/'); }
};

void menuDuGroupe(const Configuration& c, const QString& racineApplications, const QString& dossierEntree)
{
    const QDir racine(normal(racineApplications));
    const QString relatif = racine.relativeFilePath(normal(dossierEntree));
    if (relatif.isEmpty() || relatif == QLatin1String(".") || relatif.startsWith(QLatin1String(".."))) return;
    const QString groupe = relatif.section('/', 0, 0);
    const DossiersMenus d = dossiersMenus(c, racineApplications);
    const QString fichierMenu = d.fusion + '/' + nomMenu(groupe) + ".menu";

    // Our entries, by folder (relative to the applications folder), under
    // their desktop-file identifiers (the relative path with "-" for "/").
    std::map<QString, QStringList, OrdreDossiers> entrees;
    QDirIterator it(racine.filePath(groupe), {QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString chemin = it.next();
        if (lireEntree(chemin).source.isEmpty()) continue;
        const QString rel = racine.relativeFilePath(chemin);
        QString dossier = rel.section('/', 0, -2);
        entrees[dossier] << QString(rel).replace('/', '-');
        // Every folder between the group and the entry is a submenu too.
        while (dossier.contains('/')) entrees[dossier = dossier.section('/', 0, -2)];
    }

    // The directory entries of this group that are no longer needed go.
    const QString prefixe = nomMenu(groupe);
    QStringList repertoires;
    for (const auto& [dossier, ids] : entrees)
        repertoires << (dossier == groupe ? prefixe : prefixe + nomMenu(dossier).mid(9)) + ".directory";
    for (const QString& n : QDir(d.repertoires).entryList({prefixe + "*.directory"}, QDir::Files))
        if (!repertoires.contains(n)) QFile::remove(d.repertoires + '/' + n);
    if (entrees.empty()) {
        // The folders made for them go too when nothing else is left there.
        QFile::remove(fichierMenu);
        for (const QString& dossier : {d.fusion, QFileInfo(d.fusion).path(), d.repertoires}) QDir().rmdir(dossier);
        return;
    }

    QString xml = QStringLiteral("<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
                                 "<Menu>\n  <Name>Applications</Name>\n");
    QStringList ouverts;
    qsizetype i = 0;
    for (const auto& [dossier, ids] : entrees) {
        while (!ouverts.isEmpty() && !dossier.startsWith(ouverts.last() + '/')) {
            xml += QString(2 * ouverts.size(), ' ') + "</Menu>\n";
            ouverts.removeLast();
        }
        const QString marge(2 * ouverts.size() + 2, ' ');
        const QString nom = dossier.section('/', -1);
        xml += marge + "<Menu>\n" + marge + "  <Name>" + nom.toHtmlEscaped() + "</Name>\n" + marge +
               "  <Directory>" + repertoires[i++].toHtmlEscaped() + "</Directory>\n";
        if (!ids.isEmpty()) {
            xml += marge + "  <Include>\n";
            for (const QString& id : ids) xml += marge + "    <Filename>" + id.toHtmlEscaped() + "</Filename>\n";
            xml += marge + "  </Include>\n";
        }
        ouverts << dossier;
        ecrireSiChange(d.repertoires + '/' + repertoires[i - 1],
                       ("[Desktop Entry]\nVersion=1.0\nType=Directory\nName=" + echapper(nom) +
                        "\nIcon=folder\n").toUtf8());
    }
    while (!ouverts.isEmpty()) {
        xml += QString(2 * ouverts.size(), ' ') + "</Menu>\n";
        ouverts.removeLast();
    }
    ecrireSiChange(fichierMenu, (xml + "</Menu>\n").toUtf8());
}

// Keeps the menus in step with the entries of an applications folder: the
// group's submenu, and the folder's MIME cache. Ours declare no MIME type,
// so a folder without a cache is left without one rather than given a file
// that nobody removes.
void menusChanges(const Configuration& c, const Emplacement& e, const QString& dossierEntree)
{
    if (e.genre != Genre::Applications) return;
    menuDuGroupe(c, e.racineApplications, dossierEntree);
    if (QFileInfo::exists(e.racineApplications + "/mimeinfo.cache"))
        outil(QStringLiteral("update-desktop-database"), {e.racineApplications});
}

// Every desktop entry under the special folders.
QStringList toutesLesEntrees(const Configuration& c)
{
    const Dossiers d = dossiersSpeciaux(c);
    QStringList r;
    auto ajouter = [&r](const QString& dossier, bool sous) {
        QDirIterator it(dossier, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden,
                        sous ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
        while (it.hasNext()) r << it.next();
    };
    ajouter(d.bureau, false);
    for (const QString& a : d.applications) ajouter(a, true);
    for (const QString& f : d.favoris) ajouter(f, false);
    for (const QString& s : d.demarrage) ajouter(s, false);
    return r;
}

// Deletes one of our icon PNGs once no entry shows it any more.
void libererIcone(const Configuration& c, const QString& icone)
{
    if (icone.isEmpty() || QFileInfo(icone).path() != dossierIcones(c) || !QFileInfo::exists(icone))
        return;
    const QByteArray ligne = "Icon=" + echapper(icone).toUtf8();
    for (const QString& chemin : toutesLesEntrees(c)) {
        QFile f(chemin);
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& l : f.readAll().split('\n'))
                if (l.trimmed() == ligne) return;
    }
    QFile::remove(icone);
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
    libererIcone(c, existante.icone);
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
            QSaveFile f(chemin);
            if (!f.open(QIODevice::WriteOnly) || f.write(contenu->texte) != contenu->texte.size()
                || !f.commit())
                return;
            if (existante.icone != contenu->icone) libererIcone(config_, existante.icone);
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
