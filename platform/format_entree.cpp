// The Desktop Entry format as this platform writes and reads it: the mark
// of our entries, string escapes, and what an existing entry says.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace plateforme::interne {

const QString CleMarque = QStringLiteral("X-Assistant-Raccourci");
const QString CleDesinstallation = QStringLiteral("X-Assistant-Desinstallation");

// A string value cannot hold most control characters, so they and "%" go
// as %XX: the rest stays readable.
QString valeurMarque(const QString& raccourci)
{
    QString r;
    for (const QChar c : raccourci) {
        const ushort u = c.unicode();
        const bool sur = c != '%' && u >= 0x20 && !(u >= 0x7f && u <= 0x9f);
        r += sur ? QString(c) : QString::fromLatin1(QString(c).toUtf8().toPercentEncoding());
    }
    return r;
}

QString raccourciDeMarque(const QString& valeur)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(valeur.toUtf8()));
}

// A folder as compared: without symbolic links when it exists.
QString cheminNormal(const QString& chemin)
{
    const QString c = QFileInfo(chemin).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(chemin) : c;
}

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
        if (ligne.startsWith(CleMarque + '='))
            e.source = raccourciDeMarque(desechapper(ligne.mid(CleMarque.size() + 1)));
        // An uninstall entry is ours too; it names the launcher, no link.
        else if (ligne.startsWith(CleDesinstallation + '='))
            e.source = desechapper(ligne.mid(CleDesinstallation.size() + 1));
        else if (ligne.startsWith(QLatin1String("Icon="))) e.icone = desechapper(ligne.mid(5));
    }
    return e;
}

}  // namespace plateforme::interne
