// The recent-documents service: a Shell Link to the target, written into
// the recent-documents folder (CSIDL 8), in the Shell Link binary format.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QStringEncoder>

#include <algorithm>
#include <cstdio>
#include <cstdint>

namespace plateforme {

namespace {

void ajouter16(QByteArray& b, std::uint16_t v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void ajouter32(QByteArray& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xFF));
}

void ajouter64(QByteArray& b, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i) b.append(char((v >> (8 * i)) & 0xFF));
}

// Windows-1252, "?" where it lacks the letter (its converter puts the
// control byte 0x1A there).
QByteArray ansi(const QString& s)
{
    QStringEncoder enc("windows-1252");
    return QByteArray(enc(s)).replace('\x1a', '?');
}

// UTF-16, low byte first, with its terminating zero.
QByteArray unicode(const QString& s)
{
    QByteArray r;
    for (const QChar c : s) ajouter16(r, c.unicode());
    ajouter16(r, 0);
    return r;
}

// 100-nanosecond intervals since 1601, 0 for an unknown time.
std::uint64_t dateFichier(const QDateTime& t)
{
    if (!t.isValid()) return 0;
    return std::uint64_t(t.toMSecsSinceEpoch()) * 10000ULL + 116444736000000000ULL;
}

// Local date and time as the FAT file system stores them (date, then time).
std::uint32_t dateFat(const QDateTime& t)
{
    if (!t.isValid()) return 0;
    const QDateTime l = t.toLocalTime();
    const QDate d = l.date();
    const QTime h = l.time();
    if (d.year() < 1980 || d.year() > 2107) return 0;
    const std::uint32_t date = std::uint32_t(((d.year() - 1980) << 9) | (d.month() << 5) | d.day());
    const std::uint32_t heure = std::uint32_t((h.hour() << 11) | (h.minute() << 5) | (h.second() / 2));
    return date | (heure << 16);
}

// The 8.3 name that a FAT volume would give the entry.
QByteArray nomCourt(const QString& nom)
{
    static const QString permis = QStringLiteral("!#$%&'()-@^_`{}~");
    auto valide = [](QChar ch) {
        const ushort u = ch.toUpper().unicode();
        return (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || permis.contains(QChar(u));
    };
    auto nettoyer = [&](const QString& s) {
        QByteArray r;
        for (QChar ch : s) {
            if (ch == ' ' || ch == '.') continue;
            r.append(valide(ch) ? char(ch.toUpper().unicode()) : '_');
        }
        return r;
    };
    auto toutValide = [&](const QString& s) {
        return std::all_of(s.begin(), s.end(), valide);
    };
    const qsizetype point = nom.lastIndexOf('.');
    const QString base = point > 0 ? nom.left(point) : nom;
    const QString ext = point > 0 ? nom.mid(point + 1) : QString();
    QByteArray b = nettoyer(base);
    const QByteArray e = nettoyer(ext).left(3);
    const bool exact = !base.isEmpty() && base.size() <= 8 && ext.size() <= 3
                       && toutValide(base) && toutValide(ext);
    if (!exact) b = (b.isEmpty() ? QByteArray("_") : b.left(6)) + "~1";
    return e.isEmpty() ? b : b + "." + e;
}

// A file-entry shell item: 0x31 directory, 0x32 file, then size, FAT
// date, attributes and the short name.
QByteArray elementFichier(const QString& nom, const QFileInfo& info, bool repertoire)
{
    QByteArray d;
    d.append(char(repertoire ? 0x31 : 0x32));
    d.append('\0');
    ajouter32(d, repertoire || !info.exists() ? 0 : std::uint32_t(info.size()));
    ajouter32(d, info.exists() ? dateFat(info.lastModified()) : 0);
    ajouter16(d, repertoire ? 0x10 : 0x20);
    d += nomCourt(nom);
    d.append('\0');
    if ((d.size() + 2) % 2) d.append('\0');
    QByteArray item;
    ajouter16(item, std::uint16_t(d.size() + 2));
    return item + d;
}

}  // namespace

int Plateforme::AjouterDocumentRecent(const QString& cibleDonnee)
{
    QString cible = cibleDonnee;
    // A path from the root of the current drive lies on the installer's drive.
    if (cible.startsWith('\\') && !cible.startsWith(QLatin1String("\\\\")))
        cible = DossierPropre().left(2) + cible;
    if (cible.size() < 2 || cible[1] != ':' || !cible[0].isLetter() || cible.contains(QChar(0)))
        return 0;
    const QString nom = cible.mid(cible.lastIndexOf('\\') + 1);
    if (nom.isEmpty() || nom.contains('/') || cible.size() == 2) return 0;

    // What the target is, when it exists.
    QFileInfo infoCible;
    try {
        infoCible = QFileInfo(VersHote(cible));
    } catch (const Erreur&) {
    }
    const bool existe = !infoCible.filePath().isEmpty() && infoCible.exists();
    const bool estRepertoire = existe && infoCible.isDir();

    QByteArray lien;
    // ---- Header (76 bytes) ----
    ajouter32(lien, 0x4C);
    lien += QByteArray::fromHex("0114020000000000c000000000000046");
    // The target's ID list and its link information, plus the description.
    // The description sits last, before the terminal block: it ends in a
    // non-zero byte and holds no zero pair, so that a reader scanning back
    // from the end for the first zero pair stops at the end of the link
    // information and can append string data there.
    ajouter32(lien, 0x01 | 0x02 | 0x04);
    std::uint32_t attributs = estRepertoire ? 0x10 : 0x20;
    if (existe && !infoCible.isWritable()) attributs |= 0x01;
    ajouter32(lien, attributs);
    ajouter64(lien, existe ? dateFichier(infoCible.birthTime().isValid() ? infoCible.birthTime()
                                                                         : infoCible.lastModified())
                           : 0);
    ajouter64(lien, existe ? dateFichier(infoCible.lastRead()) : 0);
    ajouter64(lien, existe ? dateFichier(infoCible.lastModified()) : 0);
    ajouter32(lien, existe && !estRepertoire ? std::uint32_t(infoCible.size()) : 0);
    ajouter32(lien, 0);        // icon index
    ajouter32(lien, 1);        // show normal
    ajouter16(lien, 0);        // hot key
    ajouter16(lien, 0);
    ajouter32(lien, 0);
    ajouter32(lien, 0);

    // ---- LinkTargetIDList: computer, drive, each folder, the file ----
    const QString lettre = cible.left(1).toUpper();
    QByteArray liste;
    ajouter16(liste, 0x14);
    liste.append(char(0x1F));
    liste.append(char(0x50));
    liste += QByteArray::fromHex("e04fd020ea3a6910a2d808002b30309d");
    {
        QByteArray lecteur;
        ajouter16(lecteur, 0x19);
        lecteur.append(char(0x2F));
        QByteArray nomLecteur = (lettre + ":\\").toLatin1();
        nomLecteur.resize(20, '\0');
        lecteur += nomLecteur;
        ajouter16(lecteur, 0);
        liste += lecteur;
    }
    const QStringList parties = cible.mid(2).split('\\', Qt::SkipEmptyParts);
    QString partiel = cible.left(2);
    for (qsizetype i = 0; i < parties.size(); ++i) {
        partiel += "\\" + parties[i];
        QFileInfo info;
        try {
            info = QFileInfo(VersHote(partiel));
        } catch (const Erreur&) {
        }
        const bool dernier = i + 1 == parties.size();
        liste += elementFichier(parties[i], info, dernier ? estRepertoire : true);
    }
    ajouter16(liste, 0);
    ajouter16(lien, std::uint16_t(liste.size()));
    lien += liste;

    // ---- LinkInfo: fixed volume with its label, local base path in
    // Windows-1252 and in Unicode (a header of 0x24 bytes has the offsets of
    // the Unicode forms), so that a path with any letters is kept whole ----
    QString libelle;
    for (const Lecteur& l : config_.lecteurs)
        if (l.lettre == cible[0].toLower()) libelle = QFileInfo(l.racine).fileName().toUpper();
    QByteArray volume;
    const QByteArray etiquette = ansi(libelle).left(32);
    ajouter32(volume, std::uint32_t(16 + etiquette.size() + 1));
    ajouter32(volume, 3);                                  // fixed drive
    ajouter32(volume, std::uint32_t(qHash(lettre + libelle)) | 1);
    ajouter32(volume, 0x10);
    volume += etiquette;
    volume.append('\0');
    const QByteArray base = ansi(lettre + cible.mid(1)), baseUnicode = unicode(lettre + cible.mid(1));
    QByteArray info;
    const std::uint32_t debutBase = 0x24 + std::uint32_t(volume.size());
    const std::uint32_t debutSuffixe = debutBase + std::uint32_t(base.size()) + 1;
    const std::uint32_t debutBaseUnicode = debutSuffixe + 1;
    const std::uint32_t debutSuffixeUnicode = debutBaseUnicode + std::uint32_t(baseUnicode.size());
    ajouter32(info, debutSuffixeUnicode + 2);
    ajouter32(info, 0x24);
    ajouter32(info, 0x01);
    ajouter32(info, 0x24);
    ajouter32(info, debutBase);
    ajouter32(info, 0);
    ajouter32(info, debutSuffixe);
    ajouter32(info, debutBaseUnicode);
    ajouter32(info, debutSuffixeUnicode);
    info += volume;
    info += base;
    info.append('\0');
    info.append('\0');        // empty common path suffix
    info += baseUnicode;
    ajouter16(info, 0);       // and its Unicode form; the link information
    lien += info;             // ends with a zero pair, as the tail scan needs

    // ---- Description: the target's name, 1 to 255 ANSI characters ----
    const QByteArray description = ansi(nom).left(255);
    ajouter16(lien, std::uint16_t(description.size()));
    lien += description;

    ajouter32(lien, 0);       // terminal block

    // ---- Into the recent-documents folder, whole or not at all ----
    const QString dossier = config_.xdgDataHome + "/recent-links";
    try {
        interne::creerDossiers(dossier);
    } catch (const Erreur&) {
        return 0;
    }
    QString fichier = nom + ".lnk";
    // Names are compared without regard to case: an earlier link to the
    // same target under other capitals is the one replaced.
    if (!QFileInfo::exists(dossier + "/" + fichier))
        for (const QString& present : QDir(dossier).entryList(QDir::AllEntries | QDir::Hidden | QDir::System))
            if (present.toUpper() == fichier.toUpper()) {
                fichier = present;
                break;
            }
    // Written under a hidden name and renamed when complete, so that a
    // failed write never leaves a partial link under the real name.
    try {
        interne::remplacer(dossier + "/" + fichier, lien);
    } catch (const Erreur&) {
        return 0;
    }
    return 1;
}

}  // namespace plateforme
