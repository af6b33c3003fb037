// The icons of the desktop entries, in the user's hicolor theme at every
// size their picture has, named by a theme name of ours that the entries
// give; shared by every entry that shows the same file's icon and removed
// with the last of them.
//
// Entries name the icon rather than a file so that each menu, dock or
// desktop takes the size it draws at: the scalable SVG, or the PNG nearest
// its size. The lookup needs hicolor's index.theme, which every desktop has
// (the icon theme of last resort); a machine without one shows the theme's
// missing-icon sign, as it does for the generic icons the entries name too.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace plateforme::interne {

namespace {

// Our names: a prefix of ours, the source's base name and part of the hash
// of its host path, one name per source file.
bool estNotre(const QString& nom)
{
    static const QRegularExpression forme(QStringLiteral("^assistant-[a-z0-9_]+-[0-9a-f]{10}$"));
    return forme.match(nom).hasMatch();
}

// Keeps the theme's icon cache, where there is one, in step with its files:
// a stale cache hides the icons it does not list. The tool's failure, or its
// absence, changes nothing else.
void cacheChange(const QString& theme)
{
    if (!QFileInfo::exists(theme + "/icon-theme.cache")) return;
    const QString exe = QStandardPaths::findExecutable(QStringLiteral("gtk-update-icon-cache"));
    if (exe.isEmpty()) return;
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(exe, {QStringLiteral("--quiet"), QStringLiteral("--force"), QStringLiteral("--ignore-theme-index"), theme});
    if (p.waitForStarted(2000) && !p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
    }
}

// Removes the theme's folders left empty, up to the icons folder.
void enleverDossiersVides(const QString& theme)
{
    for (const QString& taille : QDir(theme).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir().rmdir(theme + '/' + taille + "/apps");
        QDir().rmdir(theme + '/' + taille);
    }
    QDir().rmdir(theme);
    QDir().rmdir(QFileInfo(theme).path());
}

// Deletes the files of icon `nom` in every size of the theme but `gardes`.
// True when one went.
bool supprimerFichiers(const Configuration& c, const QString& theme, const QString& nom,
                       const QStringList& gardes = {})
{
    bool supprime = false;
    for (const QString& taille : QDir(theme).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const char* extension : {".png", ".svg"}) {
            const QString chemin = theme + '/' + taille + "/apps/" + nom + QLatin1String(extension);
            if (!gardes.contains(chemin) && QFileInfo(chemin).isFile()) supprime |= QFile::remove(chemin);
        }
    // All users' theme folders are the system's: the install's record says
    // which of them it made.
    if (theme.startsWith(c.xdgDataHome + '/')) enleverDossiersVides(theme);
    return supprime;
}

}  // namespace

QString dossierIcones(const Configuration& c, bool tous)
{
    return (tous ? c.xdgDataDir : c.xdgDataHome) + "/icons/hicolor";
}

QString iconeDe(const Plateforme& p, const QString& sourceHote, bool tous)
{
    const std::vector<FichierIcone> fichiers = fichiersIcone(sourceHote);
    if (fichiers.empty()) return {};
    const Configuration& c = p.configuration();
    QString nom = QFileInfo(sourceHote).completeBaseName().toLower();
    nom.replace(QRegularExpression(QStringLiteral("[^a-z0-9_]+")), QStringLiteral("_"));
    nom = "assistant-" + nom + '-'
        + QString::fromLatin1(QCryptographicHash::hash(sourceHote.toUtf8(), QCryptographicHash::Sha1).toHex().left(10));
    bool change = false;
    QStringList chemins;
    for (const FichierIcone& f : fichiers) {
        const QString dossier = dossierIcones(c, tous) + '/' + f.dossier + "/apps";
        const QString chemin = dossier + '/' + nom + '.' + f.extension;
        chemins << chemin;
        QFile existant(chemin);
        // The install's record keeps every size, written now or already right.
        inventorier({Element::Icone, chemin});
        if (existant.open(QIODevice::ReadOnly) && existant.readAll() == f.octets) continue;
        existant.close();
        try {
            creerDossiers(dossier);
            remplacer(chemin, f.octets);
        } catch (const Erreur&) {
            // No half icon: what was written goes unless an entry shows it.
            libererIcone(c, nom);
            return {};
        }
        change = true;
    }
    // The sizes that an earlier picture of the same file had and this one has not.
    if (supprimerFichiers(c, dossierIcones(c, tous), nom, chemins) || change) cacheChange(dossierIcones(c, tous));
    return nom;
}

// Every desktop entry under the special folders.
QStringList toutesLesEntrees(const Configuration& c)
{
    const DossiersSpeciaux d = dossiersSpeciaux(c);
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

void libererIcone(const Configuration& c, const QString& icone)
{
    // Our theme names, and the 32 x 32 PNGs that entries of earlier versions
    // named by their path.
    const QString theme = dossierIcones(c);
    const QFileInfo fichier(icone);
    const bool ancien = fichier.path() == theme + "/32x32/apps" && fichier.suffix() == QLatin1String("png")
                     && estNotre("assistant-" + fichier.completeBaseName());
    if (!ancien && !estNotre(icone)) return;
    const QByteArray ligne = "Icon=" + echapper(icone).toUtf8();
    for (const QString& entree : toutesLesEntrees(c)) {
        QFile f(entree);
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& l : f.readAll().split('\n'))
                if (l.trimmed() == ligne) return;
    }
    if (ancien) {
        QFile::remove(icone);
        enleverDossiersVides(theme);
        return;
    }
    for (const bool tous : {false, true}) {
        const QString dossier = dossierIcones(c, tous);
        if (supprimerFichiers(c, dossier, icone)) cacheChange(dossier);
    }
}

}  // namespace plateforme::interne
