#include "wizard/polices.h"

#include <QFontDatabase>
#include <QStringList>

QString FamilleArial()
{
    // Registered once: the three styles the layout uses (plain italic is
    // drawn nowhere; a font registered costs start-up time).
    static const QString famille = [] {
        QString f;
        for (const char* style : {"Regular", "Bold", "BoldItalic"}) {
            const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/polices/LiberationSans-%1.ttf")
                                                                 .arg(QLatin1String(style)));
            const QStringList familles = QFontDatabase::applicationFontFamilies(id);
            if (f.isEmpty() && !familles.isEmpty()) f = familles.first();
        }
        return f.isEmpty() ? QStringLiteral("Arial") : f;
    }();
    return famille;
}

QFont PoliceArial(double points, bool gras, bool italique)
{
    QFont f(FamilleArial());
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(gras);
    f.setItalic(italique);
    return f;
}

QFont PoliceDefaut()
{
    QFont f(FamilleArial());
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8);
    return f;
}
