// The program group as a submenu of the desktop's menus.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <map>

namespace plateforme::interne {

namespace {

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
    const bool tous = cheminNormal(racineApplications) == cheminNormal(c.xdgDataDir + "/applications");
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

// Writes the file whole unless it already holds `texte`. A menu that
// cannot be written leaves the entries in their category, no worse.
void ecrireSiChange(const QString& chemin, const QByteArray& texte)
{
    try {
        QFile existant(chemin);
        if (!existant.open(QIODevice::ReadOnly) || existant.readAll() != texte) {
            existant.close();
            creerDossiers(QFileInfo(chemin).path());
            remplacer(chemin, texte);
        }
        inventorier({Element::Menu, chemin});
    } catch (const Erreur&) {
    }
}

// Whether XML 1.0 can carry the name as it is: it has no way to write
// control characters other than tabs and line ends, U+FFFE, U+FFFF and lone
// surrogates, not even as references; tabs and line ends readers would
// change or trim.
bool xmlEntier(const QString& s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ++i;
        else if (u < 0x20 || QChar::isSurrogate(u) || u >= 0xFFFE) return false;
    }
    return true;
}

// Folders in the order of their names, each just before those inside it.
struct OrdreDossiers {
    bool operator()(const QString& a, const QString& b) const { return a.split('/') < b.split('/'); }
};

}  // namespace

void menuDuGroupe(const Configuration& c, const QString& racineApplications, const QString& dossierEntree)
{
    const QDir racine(cheminNormal(racineApplications));
    const QString relatif = racine.relativeFilePath(cheminNormal(dossierEntree));
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
        // An identifier that XML cannot carry whole would name another file:
        // its entry stays in its category only (so does a group whose name
        // it cannot carry: every identifier in it holds the name).
        const QString id = QString(rel).replace('/', '-');
        if (!xmlEntier(id)) continue;
        QString dossier = rel.section('/', 0, -2);
        entrees[dossier] << id;
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

    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeDTD(QStringLiteral("<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">"));
    w.writeStartElement(QStringLiteral("Menu"));
    w.writeTextElement(QStringLiteral("Name"), QStringLiteral("Applications"));
    QStringList ouverts;
    qsizetype i = 0;
    for (const auto& [dossier, ids] : entrees) {
        for (; !ouverts.isEmpty() && !dossier.startsWith(ouverts.last() + '/'); ouverts.removeLast())
            w.writeEndElement();
        const QString nom = dossier.section('/', -1);
        w.writeStartElement(QStringLiteral("Menu"));
        w.writeTextElement(QStringLiteral("Name"), nom);
        w.writeTextElement(QStringLiteral("Directory"), repertoires[i]);
        if (!ids.isEmpty()) {
            w.writeStartElement(QStringLiteral("Include"));
            for (const QString& id : ids) w.writeTextElement(QStringLiteral("Filename"), id);
            w.writeEndElement();
        }
        ouverts << dossier;
        ecrireSiChange(d.repertoires + '/' + repertoires[i++],
                       ("[Desktop Entry]\nVersion=1.0\nType=Directory\nName=" + echapper(nom) +
                        "\nIcon=folder\n").toUtf8());
    }
    w.writeEndDocument();
    ecrireSiChange(fichierMenu, xml);
}

}  // namespace plateforme::interne
