#include "wizard/controles.h"

#include "platform/plateforme.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>

// ---- PictureBox ----------------------------------------------------------

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), fond_(palette().color(QPalette::Button))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::assurerImage()
{
    const qreal dpr = devicePixelRatioF();
    const QSize taille = (QSizeF(size()) * dpr).toSize().expandedTo(QSize(1, 1));
    if (image_.size() == taille) return;
    derniereBoite_ = QRect();
    QImage neuve(taille, QImage::Format_RGB32);
    neuve.setDevicePixelRatio(dpr);
    neuve.fill(fond_);
    if (!image_.isNull()) {
        QPainter p(&neuve);
        p.drawImage(0, 0, image_);
    }
    image_ = neuve;
}

void PictureBox::setScaleMode(std::int16_t mode)
{
    scaleMode_ = mode;
}

// Giving one dimension makes the scale a user one; the other keeps the
// figure it had under the standard scale.
void PictureBox::setScaleWidth(float w)
{
    scaleHeight_ = ScaleHeight();
    scaleWidth_ = w;
    scaleMode_ = 0;
}

void PictureBox::setScaleHeight(float h)
{
    scaleWidth_ = ScaleWidth();
    scaleHeight_ = h;
    scaleMode_ = 0;
}

void PictureBox::setBackColor(const QColor& c)
{
    fond_ = c;
    Cls();
}

void PictureBox::Boite(double x1, double y1, double x2, double y2, const QColor& couleur)
{
    assurerImage();
    const double largeur = ScaleWidth(), hauteur = ScaleHeight();
    if (largeur == 0 || hauteur == 0) return;
    // User units to device pixels; rounding each edge makes adjacent boxes
    // tile the surface without gaps or overlaps.
    const double kx = image_.width() / largeur;
    const double ky = image_.height() / hauteur;
    int gauche = int(std::lround(std::min(x1, x2) * kx));
    int droite = int(std::lround(std::max(x1, x2) * kx));
    int haut = int(std::lround(std::min(y1, y2) * ky));
    int bas = int(std::lround(std::max(y1, y2) * ky));
    const QRect r = QRect(QPoint(gauche, haut), QPoint(droite - 1, bas - 1))
                        .intersected(QRect(QPoint(0, 0), image_.size()));
    if (r.isEmpty()) return;
    // An opaque box on the 32-bit image is rows of one value: written
    // directly, a gradient's 256 boxes cost nothing next to a painter each.
    const QRgb valeur = couleur.rgb() | 0xff000000u;
    // The same box again on an image nothing else drew on since (a progress
    // bar of thousands of steps moves a pixel every few of them) changes
    // nothing.
    if (r == derniereBoite_ && valeur == derniereCouleur_) return;
    derniereBoite_ = r;
    derniereCouleur_ = valeur;
    uchar* const pixels = image_.bits();
    const qsizetype ligne = image_.bytesPerLine();
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(pixels + y * ligne) + r.left(), r.width(), valeur);
    update();
}

void PictureBox::Cls()
{
    assurerImage();
    image_.fill(fond_);
    derniereBoite_ = QRect();
    update();
}

void PictureBox::DessinerImage(int x, int y, const QImage& image)
{
    if (image.isNull()) return;
    assurerImage();
    QPainter p(&image_);
    p.drawImage(QPoint(x, y), image);
    p.end();
    derniereBoite_ = QRect();
    update();
}

QPixmap PictureBox::Picture() const
{
    return QPixmap::fromImage(image_);
}

void PictureBox::paintEvent(QPaintEvent* e)
{
    assurerImage();
    QPainter p(this);
    p.drawImage(e->rect(), image_, QRectF(QPointF(e->rect().topLeft()) * image_.devicePixelRatio(),
                                            QSizeF(e->rect().size()) * image_.devicePixelRatio()));
}

void PictureBox::resizeEvent(QResizeEvent*)
{
    assurerImage();
}

// ---- CadreImage --------------------------------------------------------------

CadreImage::CadreImage(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CadreImage::setPixmap(const QPixmap& image)
{
    QLabel::setPixmap(image);
    if (!image.isNull()) resize(image.deviceIndependentSize().toSize());
}

// ---- DriveListBox ----------------------------------------------------------

DriveListBox::DriveListBox(plateforme::Plateforme& p, QWidget* parent) : QComboBox(parent)
{
    addItems(p.TextesLecteurs());
    setToolTip(currentText());
    connect(this, &QComboBox::currentTextChanged, this, &QWidget::setToolTip);
}

void DriveListBox::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    const QRect texte = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    opt.currentText = fontMetrics().elidedText(opt.currentText, Qt::ElideRight, texte.width());
    p.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

void DriveListBox::setDrive(const QString& lecteur)
{
    if (!lecteur.isEmpty()) {
        const QChar lettre = lecteur[0].toLower();
        for (int i = 0; i < count(); ++i)
            if (!itemText(i).isEmpty() && itemText(i)[0].toLower() == lettre) {
                setCurrentIndex(i);
                return;
            }
    }
    throw plateforme::Erreur{68, lecteur};  // device unavailable
}

// ---- FileListBox -----------------------------------------------------------

FileListBox::FileListBox(plateforme::Plateforme& p, QWidget* parent) : QListWidget(parent), p_(p) {}

void FileListBox::setPath(const QString& chemin)
{
    QStringList noms = p_.FichiersNormaux(chemin);  // throws when not a directory
    chemin_ = chemin;
    noms_ = noms;
    clear();
    addItems(noms_);
}

void FileListBox::Refresh()
{
    if (chemin_.isEmpty()) return;
    noms_ = p_.FichiersNormaux(chemin_);
    clear();
    addItems(noms_);
}

// ---- Ligne -----------------------------------------------------------------

Ligne::Ligne(int x1, int y1, int x2, int y2, QColor couleur, int largeur, QWidget* parent)
    : QWidget(parent), couleur_(couleur), largeur_(largeur)
{
    const int marge = largeur;
    const QRect cadre = QRect(QPoint(tw(std::min(x1, x2)), tw(std::min(y1, y2))),
                              QPoint(tw(std::max(x1, x2)), tw(std::max(y1, y2))))
                            .adjusted(-marge, -marge, marge, marge);
    setGeometry(cadre);
    a_ = QPointF(tw(x1) - cadre.left(), tw(y1) - cadre.top());
    b_ = QPointF(tw(x2) - cadre.left(), tw(y2) - cadre.top());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Ligne::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(couleur_, largeur_, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a_, b_);
}

// ---- CaseACocher -----------------------------------------------------------

namespace {

// Breaks a caption at spaces so that each line fits `largeur` pixels.
QString couper(const QString& texte, const QFontMetrics& m, int largeur)
{
    QStringList lignes;
    QString ligne;
    for (const QString& mot : texte.split(' ')) {
        const QString essai = ligne.isEmpty() ? mot : ligne + ' ' + mot;
        if (!ligne.isEmpty() && m.horizontalAdvance(essai) > largeur) {
            lignes << ligne;
            ligne = mot;
        } else {
            ligne = essai;
        }
    }
    lignes << ligne;
    return lignes.join('\n');
}

}  // namespace

void CaseACocher::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const int indicateur = style()->pixelMetric(QStyle::PM_IndicatorWidth, &opt, this) +
                           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, this);
    opt.text = couper(opt.text, fontMetrics(), width() - indicateur - 2);
    p.drawControl(QStyle::CE_CheckBox, opt);
}

void BoutonMultiligne::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text = couper(opt.text, fontMetrics(), width() - 6);
    p.drawControl(QStyle::CE_PushButton, opt);
}
