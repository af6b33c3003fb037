// Reading the shortcut files that desktop entries are made from: the
// target of a shell link, the address of an Internet shortcut.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace plateforme::interne {

namespace {

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

}  // namespace

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
    // The Unicode forms hold every letter; the others only Windows-1252's.
    if (entete >= 0x24 && lire32(info, 28) != 0) {
        base = chaineUnicode(info, lire32(info, 28));
        suffixe = chaineUnicode(info, lire32(info, 32));
    } else {
        base = chaineAnsi(info, lire32(info, 16));
        suffixe = chaineAnsi(info, lire32(info, 24));
    }
    if (!base || !suffixe || (base->isEmpty() && suffixe->isEmpty())) return std::nullopt;
    return *base + *suffixe;
}

// The URL= and IconFile= values of the [InternetShortcut] section, or of
// its [InternetShortcut.W] twin, where Windows puts them again in UTF-7
// when Windows-1252 lacks some of their letters.
Url lireUrl(const QByteArray& b)
{
    QStringDecoder dec("windows-1252");
    QString texte = dec(b);
    texte.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
    Url lus[2];
    bool vus[2] = {false, false};
    int section = -1;   // 0 the ANSI section, 1 the Unicode one
    for (const QString& l : texte.split('\n')) {
        const QString ligne = l.trimmed();
        if (ligne.startsWith('[')) {
            section = ligne.compare(QLatin1String("[InternetShortcut]"), Qt::CaseInsensitive) == 0     ? 0
                    : ligne.compare(QLatin1String("[InternetShortcut.W]"), Qt::CaseInsensitive) == 0 ? 1
                                                                                                      : -1;
            continue;
        }
        const qsizetype egal = ligne.indexOf('=');
        if (section < 0 || egal < 0) continue;
        const QString cle = ligne.left(egal).trimmed();
        QString valeur = ligne.mid(egal + 1).trimmed();
        if (section == 1) {
            QStringDecoder utf7("UTF-7");
            valeur = utf7(valeur.toLatin1());
            if (utf7.hasError()) continue;
        }
        if (!vus[section] && cle.compare(QLatin1String("URL"), Qt::CaseInsensitive) == 0) {
            lus[section].url = valeur;
            vus[section] = true;
        } else if (cle.compare(QLatin1String("IconFile"), Qt::CaseInsensitive) == 0) {
            lus[section].fichierIcone = valeur;
        }
    }
    Url u = lus[0];
    if (!lus[1].url.isEmpty()) u.url = lus[1].url;
    if (!lus[1].fichierIcone.isEmpty()) u.fichierIcone = lus[1].fichierIcone;
    return u;
}

// A path in drive notation ("c:\..." or "\..." on the installer's drive),
// as opposed to an address.
bool notationLecteur(const QString& s)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z]:(\\\\|$)|\\\\(?!\\\\))"));
    return re.match(s).hasMatch();
}

}  // namespace plateforme::interne
