// The icon of a file: its own Windows icon, an image beside a program, or
// the theme's generic program icon.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

namespace plateforme {

namespace {

// Icons are looked for in files up to this size only.
constexpr qint64 TailleFichierMaximum = qint64(256) << 20;
// An image beside a program is an icon, not a photograph.
constexpr qint64 TailleImageMaximum = qint64(16) << 20;
constexpr int CoteImageMaximum = 4096;

QImage lireImage(const QString& chemin, const QByteArray& format, int taille)
{
    if (QFileInfo(chemin).size() > TailleImageMaximum) return {};
    if (format == "svg") {
        QSvgRenderer svg(chemin);
        if (!svg.isValid()) return {};
        QSizeF s = svg.defaultSize().isEmpty() ? QSizeF(taille, taille) : QSizeF(svg.defaultSize());
        s.scale(taille, taille, Qt::KeepAspectRatio);
        QImage img(taille, taille, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        svg.render(&p, QRectF(QPointF((taille - s.width()) / 2, (taille - s.height()) / 2), s));
        p.end();
        return img.convertToFormat(QImage::Format_ARGB32);
    }
    if (format == "ico") {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? interne::iconeWindows(f.readAll(), taille) : QImage();
    }
    // PNG is read by Qt itself: without this, the reader would load every
    // image plugin to ask it first.
    QImageReader lecteur(chemin, "png");
    lecteur.setAutoDetectImageFormat(false);
    const QSize s = lecteur.size();
    if (s.isEmpty() || s.width() > CoteImageMaximum || s.height() > CoteImageMaximum) return {};
    return interne::auCarre(lecteur.read(), taille);
}

// meteo.png, .svg or .ico beside meteo or meteo.exe, the name compared
// without regard to case as every name of the wizard is.
QImage imageVoisine(const QString& hote, int taille)
{
    const QFileInfo programme(hote);
    QStringList bases{programme.fileName()};
    if (!programme.suffix().isEmpty()) bases << programme.completeBaseName();
    const QStringList voisins = programme.dir().entryList(QDir::Files | QDir::Hidden);
    for (const QString& base : bases)
        for (const char* format : {"png", "svg", "ico"})
            for (const QString& v : voisins)
                if (v.compare(base + '.' + QLatin1String(format), Qt::CaseInsensitive) == 0) {
                    const QString chemin = programme.dir().filePath(v);
                    if (!QFileInfo(chemin).isFile()) continue;   // a pipe would never answer
                    const QImage img = lireImage(chemin, format, taille);
                    if (!img.isNull()) return img;
                }
    return {};
}

// A plain window with its title bar, on a 32-unit grid.
QImage iconeDessinee(int taille)
{
    QImage img(taille, taille, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(taille / 32.0, taille / 32.0);
    const QRectF cadre(3.5, 5.5, 25, 21);
    QPainterPath forme;
    forme.addRoundedRect(cadre, 2.5, 2.5);
    p.fillPath(forme, QColor(244, 245, 247));
    p.save();
    p.setClipPath(forme);
    p.fillRect(QRectF(3, 5, 26, 6), QColor(112, 124, 142));
    p.restore();
    p.setPen(QPen(QColor(78, 86, 98), 1));
    p.drawPath(forme);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(244, 245, 247));
    p.drawEllipse(QPointF(25, 8.2), 1.3, 1.3);
    p.setBrush(QColor(168, 176, 188));
    for (int k = 0; k < 3; ++k) p.drawRoundedRect(QRectF(7, 14 + 3.5 * k, k == 2 ? 11 : 18, 1.8), 0.9, 0.9);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

bool interne::estProgramme(const QString& hote)
{
    const QFileInfo i(hote);
    if (!i.isFile()) return false;
    if (i.isExecutable()) return true;
    QFile f(hote);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray debut = f.read(4);
    return debut.startsWith("MZ") || debut == QByteArray("\x7f" "ELF");
}

QImage interne::iconePropre(const QString& hote, int taille)
{
    // Only regular files: opening a pipe or a device could wait forever.
    if (!QFileInfo(hote).isFile()) return {};
    // Read rather than mapped: a medium taken out while the file is mapped
    // would end the process.
    QFile fichier(hote);
    if (!fichier.open(QIODevice::ReadOnly) || fichier.size() > TailleFichierMaximum) return {};
    const QByteArray debut = fichier.read(4);
    if (debut.startsWith("MZ") || debut == QByteArray("\0\0\1\0", 4)) {
        const QImage img = iconeWindows(debut + fichier.readAll(), taille);
        if (!img.isNull()) return img;
    }
    return estProgramme(hote) ? imageVoisine(hote, taille) : QImage();
}

QImage interne::iconeGenerique(int taille)
{
    const QIcon theme = QIcon::fromTheme(QLatin1String(NomIconeGenerique));
    if (!theme.isNull()) {
        const QImage img = auCarre(theme.pixmap(QSize(taille, taille), 1.0).toImage(), taille);
        if (!img.isNull()) return img;
    }
    return iconeDessinee(taille);
}

QImage Plateforme::IconeFichier(const QString& chemin, int taille) const
{
    if (taille < 1 || taille > 1024) return {};
    QString hote;
    try {
        hote = VersHote(chemin);
    } catch (const Erreur&) {
        return {};
    }
    QImage img = interne::iconePropre(hote, taille);
    if (img.isNull() && interne::estProgramme(hote)) img = interne::iconeGenerique(taille);
    return img;
}

}  // namespace plateforme
