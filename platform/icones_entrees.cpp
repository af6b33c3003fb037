// The icons of the desktop entries: PNGs under the user's hicolor theme,
// shared by every entry that shows the same file's icon and removed with
// the last of them.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace plateforme::interne {

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
    try {
        creerDossiers(dossierIcones(p.configuration()));
        remplacer(chemin, png);
    } catch (const Erreur&) {
        return {};
    }
    return chemin;
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

}  // namespace plateforme::interne
