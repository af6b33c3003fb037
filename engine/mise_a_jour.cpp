// An install over an earlier one of the same directory: the versions
// compared as versions, and the words that say what is done.
#include "wizard/install.h"

#include <QRegularExpression>

namespace {

// Numbers and words of a version ("2.10b" gives 2, 10, b).
QStringList morceaux(const QString& v)
{
    static const QRegularExpression morceau(QStringLiteral("[0-9]+|[^\\W\\d_]+"));
    QStringList r;
    for (auto it = morceau.globalMatch(v); it.hasNext();) r << it.next().captured();
    return r;
}

bool nombre(const QString& s) { return !s.isEmpty() && s[0].isDigit(); }

// Digits compared as the numbers they write, however long.
int comparerNombres(QString a, QString b)
{
    while (a.size() > 1 && a.startsWith(u'0')) a.remove(0, 1);
    while (b.size() > 1 && b.startsWith(u'0')) b.remove(0, 1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

}  // namespace

int Install::ComparerVersions(const QString& a, const QString& b)
{
    const QStringList x = morceaux(a), y = morceaux(b);
    for (qsizetype i = 0; i < std::max(x.size(), y.size()); ++i) {
        if (i >= x.size() || i >= y.size()) {
            // What is left of the longer one: zeros change nothing (2.0 is
            // 2.0.0), a word marks an earlier release (2.0 is newer than
            // 2.0beta), a number a later one (2.0.1).
            const QStringList& reste = i >= x.size() ? y : x;
            const int signe = i >= x.size() ? -1 : 1;
            for (qsizetype j = i; j < reste.size(); ++j) {
                if (!nombre(reste[j])) return -signe;
                if (comparerNombres(reste[j], QStringLiteral("0")) != 0) return signe;
            }
            return 0;
        }
        int c;
        if (nombre(x[i]) && nombre(y[i])) c = comparerNombres(x[i], y[i]);
        else if (nombre(x[i]) != nombre(y[i])) c = nombre(x[i]) ? 1 : -1;
        else c = x[i].compare(y[i], Qt::CaseInsensitive);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    return 0;
}

QString Install::TexteMiseAJour(const QString& nom, const QString& avant, const QString& apres)
{
    // Without the new version nothing tells which way it goes.
    if (apres.isEmpty() || (!avant.isEmpty() && ComparerVersions(apres, avant) == 0))
        return QString::fromUtf8("Réinstallation de ") + nom + (apres.isEmpty() ? QString() : u' ' + apres);
    if (avant.isEmpty()) return QString::fromUtf8("Mise à jour de ") + nom + QString::fromUtf8(" vers ") + apres;
    if (ComparerVersions(apres, avant) > 0)
        return QString::fromUtf8("Mise à jour de ") + nom + u' ' + avant + QString::fromUtf8(" vers ") + apres;
    return QString::fromUtf8("Retour de ") + nom + u' ' + avant + QString::fromUtf8(" à ") + apres;
}
