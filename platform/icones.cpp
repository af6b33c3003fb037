// The icon of a file: its own Windows icon, an image beside a program, or
// the theme's generic program icon.
//
// The pictures come from the installation medium, which may be broken or
// hostile: each is bounded before it is decoded (its sides, the memory its
// decoding takes, and for an SVG what it refers to and how large it grows
// once its <use> elements are expanded), decoded at the size it is drawn,
// and once per run whatever path it is asked under.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QBuffer>
#include <QCache>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMultiHash>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>
#include <vector>

namespace plateforme {

namespace {

// Icons are looked for in files up to this size only.
constexpr qint64 TailleFichierMaximum = qint64(256) << 20;
// An image beside a program is an icon, not a photograph.
constexpr qint64 TailleImageMaximum = qint64(16) << 20;
constexpr qint64 TailleSvgMaximum = qint64(1) << 20;
// What an SVG may grow to once every <use> is expanded, in 64ths of an
// element: 10000 elements, each standing for 64 characters of attributes or
// 8 of text, a text element for 8 (Qt lays each out on its own). What
// QSvgRenderer draws at the start page's size in well under a second.
constexpr qint64 PoidsSvgMaximum = 10000 * 64;
// Nesting, <use> expansions included: the renderer goes down it recursively.
constexpr int ProfondeurSvgMaximum = 64;
// Qt's own guard, for every picture the process decodes (the SVG's data:
// images included): in megabytes.
constexpr int DecodageMaximumMo = 64;

// The largest size of the entries' icons drawn from a PNG.
constexpr int CoteInstalleMaximum = 256;

enum class Genre : char { Windows = 'w', Png = 'p', Svg = 's' };

// Set once for the process, before the first picture of an icon is decoded.
void limiterDecodage()
{
    static const bool limite = (QImageReader::setAllocationLimit(DecodageMaximumMo), true);
    Q_UNUSED(limite);
}

// The size a PNG declares, from its header.
QSize taillePng(QByteArray octets)
{
    QBuffer tampon(&octets);
    tampon.open(QIODevice::ReadOnly);
    return QImageReader(&tampon, "png").size();
}

bool dimensionsAdmises(const QSize& s)
{
    return !s.isEmpty() && s.width() <= interne::CoteImageMaximum && s.height() <= interne::CoteImageMaximum;
}

// An image that the document carries itself: PNG or JPEG in base64 only, so
// that QSvgRenderer decodes the very bytes checked here, within the limits
// of any picture.
bool imageIntegree(const QString& valeur)
{
    static const QRegularExpression forme(QStringLiteral("^data:image/(png|jpeg);base64,([A-Za-z0-9+/=\\s]*)$"));
    const QRegularExpressionMatch m = forme.match(valeur);
    if (!m.hasMatch()) return false;
    QByteArray octets = QByteArray::fromBase64(m.captured(2).toLatin1());
    QBuffer tampon(&octets);
    tampon.open(QIODevice::ReadOnly);
    QImageReader lecteur(&tampon);
    return lecteur.format() == m.captured(1).toLatin1() && dimensionsAdmises(lecteur.size());
}

// A style that reaches outside the document: an @import, or a url() that is
// not one of the document's own elements.
bool styleExterne(const QString& texte)
{
    if (texte.contains(QLatin1String("@import"), Qt::CaseInsensitive)) return true;
    if (!texte.contains(QLatin1String("url("), Qt::CaseInsensitive)) return false;
    static const QRegularExpression url(QStringLiteral("url\\(\\s*['\"]?\\s*(.?)"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (auto it = url.globalMatch(texte); it.hasNext();)
        if (it.next().captured(1) != QLatin1String("#")) return true;
    return false;
}

// An element or attribute name as written, with or without a prefix.
bool nomSvg(QStringView nom, QStringView local)
{
    return nom == local || (nom.endsWith(local) && nom.size() > local.size() && nom[nom.size() - local.size() - 1] == u':');
}

// A bare <!DOCTYPE svg>, or one naming the W3C's SVG DTD as many editors
// write it, which no renderer fetches. Any other external subset, and any
// internal one (entities: billion laughs; default attributes), is refused.
bool dtdAdmise(const QXmlStreamReader& xml)
{
    if (xml.text().contains(u'[')) return false;
    if (xml.dtdPublicId().isEmpty() && xml.dtdSystemId().isEmpty()) return true;
    return xml.dtdPublicId().startsWith(u"-//W3C//DTD SVG ") && xml.dtdSystemId().startsWith(u"http://www.w3.org/");
}

// True when the SVG document draws from its own content only and stays
// bounded: no external file or address (Qt 6.4's renderer loads any image
// path it is given, and an xml-stylesheet's file), no entity or DTD of its
// own (dtdAdmise), and once its references are expanded, within
// PoidsSvgMaximum and ProfondeurSvgMaximum (a loop never is). Read as
// QSvgRenderer reads it: names as written, without namespaces.
bool svgSain(const QByteArray& octets)
{
    struct Element {
        qint64 poids = 0;
        QString cible;             // the id a reference names
        std::vector<int> enfants;
    };
    std::vector<Element> elements;
    QMultiHash<QString, int> ids;
    std::vector<int> ouverts;
    QXmlStreamReader xml(octets);
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!dtdAdmise(xml)) return false;
            break;
        case QXmlStreamReader::EntityReference:
        case QXmlStreamReader::ProcessingInstruction:
            return false;
        case QXmlStreamReader::StartElement: {
            const int i = int(elements.size());
            if (!ouverts.empty()) elements[ouverts.back()].enfants.push_back(i);
            ouverts.push_back(i);
            const QStringView nom = xml.qualifiedName();
            const bool image = nomSvg(nom, u"image");
            Element e;
            e.poids = nomSvg(nom, u"text") || nomSvg(nom, u"tspan") || nomSvg(nom, u"textPath") ? 8 * 64 : 64;
            for (const QXmlStreamAttribute& a : xml.attributes()) {
                const QStringView n = a.qualifiedName();
                const QString v = a.value().toString();
                e.poids += v.size();
                if (n == u"id") ids.insert(v, i);
                if (nomSvg(n, u"href")) {
                    // An image's path would be opened as a file, even "#x".
                    if (image ? !imageIntegree(v) : !v.startsWith(u'#')) return false;
                    if (!image) e.cible = v.mid(1);
                } else if (styleExterne(v)) {
                    return false;
                }
            }
            elements.push_back(std::move(e));
            break;
        }
        case QXmlStreamReader::EndElement:
            ouverts.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (ouverts.empty()) break;
            if (styleExterne(xml.text().toString())) return false;
            if (!xml.isWhitespace()) elements[ouverts.back()].poids += 8 * xml.text().size();
            break;
        default:
            break;
        }
    }
    if (xml.hasError() || elements.empty()) return false;

    // The weight and height of each element once expanded, each worked out
    // once; a reference to an id that several elements carry follows them
    // all. A loop of references goes ever deeper.
    std::vector<bool> vu(elements.size());
    std::vector<qint64> poids(elements.size());
    std::vector<int> hauteur(elements.size());
    auto visiter = [&](auto& soi, int i, int profondeur) -> bool {
        if (vu[i]) return profondeur + hauteur[i] <= ProfondeurSvgMaximum;
        if (profondeur > ProfondeurSvgMaximum) return false;
        qint64 somme = elements[i].poids;
        int h = 0;
        auto suivre = [&](int j) {
            if (!soi(soi, j, profondeur + 1)) return false;
            somme += poids[j];
            h = std::max(h, hauteur[j] + 1);
            return somme <= PoidsSvgMaximum;
        };
        for (int e : elements[i].enfants)
            if (!suivre(e)) return false;
        if (!elements[i].cible.isEmpty())
            for (int c : ids.values(elements[i].cible))
                if (!suivre(c)) return false;
        poids[i] = somme;
        hauteur[i] = h;
        vu[i] = true;
        return true;
    };
    return visiter(visiter, 0, 0);
}

QImage dessinerSvg(const QByteArray& octets, int taille)
{
    if (!svgSain(octets)) return {};
    limiterDecodage();
    QSvgRenderer svg(octets);
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

// The icon of a picture's bytes at `taille`, decoded once per run: keyed by
// their SHA-256, so that the installed copy of a file, or the same file
// asked again, is not decoded again.
QImage image(const QByteArray& octets, Genre genre, int taille)
{
    static QCache<QByteArray, QImage> decodees(16 << 10);   // KiB
    const QByteArray cle = QCryptographicHash::hash(octets, QCryptographicHash::Sha256) + char(genre)
                         + QByteArray::number(taille);
    if (const QImage* img = decodees.object(cle)) return *img;
    QImage img;
    if (genre == Genre::Svg) {
        img = dessinerSvg(octets, taille);
    } else if (genre == Genre::Windows) {
        img = interne::iconeWindows(octets, taille);
    } else {
        // Each pass over a large PNG inflates all of it: one pass at the
        // largest size installed, the smaller sizes drawn from it.
        const QSize s = taillePng(octets);
        img = taille < CoteInstalleMaximum && std::max(s.width(), s.height()) > CoteInstalleMaximum
                ? interne::auCarre(image(octets, genre, CoteInstalleMaximum), taille)
                : interne::decoderPng(octets, taille);
    }
    decodees.insert(cle, new QImage(img), std::max<qsizetype>(1, img.sizeInBytes() >> 10));
    return img;
}

// The whole of a regular file of at most `maximum` bytes; nothing otherwise
// (a pipe would never answer).
std::optional<QByteArray> lire(const QString& chemin, qint64 maximum)
{
    if (!QFileInfo(chemin).isFile()) return std::nullopt;
    // Read rather than mapped: a medium taken out while the file is mapped
    // would end the process.
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly) || f.size() > maximum) return std::nullopt;
    return f.readAll();
}

struct Trouvee {
    QByteArray octets;
    Genre genre;
    QImage image;
};

// The picture that gives the host file its icon at `taille`: the file itself
// when it is a Windows program, library or .ico file; else, for a program,
// meteo.png, .svg or .ico beside meteo or meteo.exe, the name compared
// without regard to case as every name of the wizard is.
std::optional<Trouvee> trouver(const QString& hote, int taille)
{
    if (!QFileInfo(hote).isFile()) return std::nullopt;
    QFile fichier(hote);
    if (!fichier.open(QIODevice::ReadOnly) || fichier.size() > TailleFichierMaximum) return std::nullopt;
    const QByteArray debut = fichier.read(4);
    if (debut.startsWith("MZ") || debut == QByteArray("\0\0\1\0", 4)) {
        const QByteArray octets = debut + fichier.readAll();
        const QImage img = image(octets, Genre::Windows, taille);
        if (!img.isNull()) return Trouvee{octets, Genre::Windows, img};
    }
    fichier.close();
    if (!interne::estProgramme(hote)) return std::nullopt;
    const QFileInfo programme(hote);
    QStringList bases{programme.fileName()};
    if (!programme.suffix().isEmpty()) bases << programme.completeBaseName();
    const QStringList voisins = programme.dir().entryList(QDir::Files | QDir::Hidden);
    const struct { const char* extension; Genre genre; qint64 maximum; } formats[] = {
        {"png", Genre::Png, TailleImageMaximum}, {"svg", Genre::Svg, TailleSvgMaximum},
        {"ico", Genre::Windows, TailleImageMaximum}};
    for (const QString& base : bases)
        for (const auto& f : formats)
            for (const QString& v : voisins)
                if (v.compare(base + '.' + QLatin1String(f.extension), Qt::CaseInsensitive) == 0) {
                    const auto voisin = lire(programme.dir().filePath(v), f.maximum);
                    if (!voisin) continue;
                    const QImage img = image(*voisin, f.genre, taille);
                    if (!img.isNull()) return Trouvee{*voisin, f.genre, img};
                }
    return std::nullopt;
}

QByteArray enPng(const QImage& image)
{
    QByteArray png;
    QBuffer tampon(&png);
    tampon.open(QIODevice::WriteOnly);
    return image.save(&tampon, "PNG") ? png : QByteArray();
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

QImage interne::decoderPng(const QByteArray& octets, int taille)
{
    limiterDecodage();
    QByteArray copie = octets;
    QBuffer tampon(&copie);
    tampon.open(QIODevice::ReadOnly);
    // PNG is read by Qt itself: without this, the reader would load every
    // image plugin to ask it first.
    QImageReader lecteur(&tampon, "png");
    lecteur.setAutoDetectImageFormat(false);
    const QSize s = lecteur.size();
    if (!dimensionsAdmises(s)) return {};
    // Qt's PNG reader scales 8-bit images row by row while it decodes them:
    // a large picture never lies in memory whole.
    const QSize dessinee = s.scaled(taille, taille, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (dessinee.width() < s.width()) lecteur.setScaledSize(dessinee);
    return auCarre(lecteur.read(), taille);
}

QImage interne::iconePropre(const QString& hote, int taille)
{
    const auto t = trouver(hote, taille);
    return t ? t->image : QImage();
}

std::vector<interne::FichierIcone> interne::fichiersIcone(const QString& hote)
{
    const auto t = trouver(hote, 32);
    if (!t) return {};
    if (t->genre == Genre::Svg) return {{QStringLiteral("scalable"), QStringLiteral("svg"), t->octets}};
    if (t->genre == Genre::Windows) return {{QStringLiteral("32x32"), QStringLiteral("png"), enPng(t->image)}};
    // A PNG as it is at its own size, and drawn at the usual sizes below it.
    const QSize s = taillePng(t->octets);
    const int cote = std::max(s.width(), s.height());
    std::vector<FichierIcone> fichiers{{QStringLiteral("%1x%1").arg(cote), QStringLiteral("png"), t->octets}};
    for (int n : {48, 64, 128, CoteInstalleMaximum})
        if (n < cote) {
            const QByteArray png = enPng(image(t->octets, Genre::Png, n));
            if (!png.isEmpty()) fichiers.push_back({QStringLiteral("%1x%1").arg(n), QStringLiteral("png"), png});
        }
    return fichiers;
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
