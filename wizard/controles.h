// Controls of the main window that Qt has no direct equivalent for.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QWidget>

#include <cstdint>

namespace plateforme { class Plateforme; }

// Twips to device-independent pixels (15 twips a pixel).
constexpr int tw(int twips) { return (twips + 7) / 15; }

// A picture box: a surface with a persistent image and a user coordinate
// system. Drawing always goes into the persistent image, which is what the
// widget shows; `AutoRedraw` is kept as a property so that drawing routines
// can save and restore it.
class PictureBox : public QWidget {
public:
    explicit PictureBox(QWidget* parent = nullptr);

    bool AutoRedraw = false;
    std::int16_t DrawWidth = 1;
    std::int16_t DrawStyle = 0;
    std::int16_t DrawMode = 13;

    // 1 twips (the design default), 3 pixels, 0 user (after ScaleWidth or
    // ScaleHeight is set).
    std::int16_t ScaleMode() const { return scaleMode_; }
    void setScaleMode(std::int16_t mode);
    // A standard scale follows the current size, even before a hidden box
    // has had its first resize event; only a user scale is stored.
    float ScaleWidth() const { return scaleMode_ == 3 ? float(width()) : scaleMode_ == 1 ? width() * 15.0f : scaleWidth_; }
    float ScaleHeight() const { return scaleMode_ == 3 ? float(height()) : scaleMode_ == 1 ? height() * 15.0f : scaleHeight_; }
    void setScaleWidth(float w);
    void setScaleHeight(float h);

    QColor BackColor() const { return fond_; }
    void setBackColor(const QColor& c);

    // Filled box between two corners in user coordinates (the `Line ... BF`
    // method); clipped to the surface.
    void Boite(double x1, double y1, double x2, double y2, const QColor& couleur);
    // Erases the persistent image to the background colour.
    void Cls();
    // Draws an image with its top-left corner at pixel (x, y).
    void DessinerImage(int x, int y, const QImage& image);
    // What the surface holds now: the picture given to other controls.
    QPixmap Picture() const;
    // The persistent image (device pixels).
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void assurerImage();
    QImage image_;
    QColor fond_;
    // The last box drawn, while nothing else drew over it.
    QRect derniereBoite_;
    QRgb derniereCouleur_ = 0;
    std::int16_t scaleMode_ = 1;
    float scaleWidth_ = 0, scaleHeight_ = 0;
};

// A picture control: it takes the size of the picture it is given, as the
// design's image controls do, so that the picture shows whole and unscaled.
class CadreImage : public QLabel {
public:
    explicit CadreImage(QWidget* parent = nullptr);
    void setPixmap(const QPixmap& image);
};

// The drive list: one entry per drive of the platform's table.
class DriveListBox : public QComboBox {
public:
    DriveListBox(plateforme::Plateforme& p, QWidget* parent = nullptr);
    // Current drive text, "c: [/home/alice]".
    QString Drive() const { return currentText(); }
    // Selects the drive whose letter is the first character of `lecteur`
    // (any case); throws plateforme::Erreur when there is none.
    void setDrive(const QString& lecteur);

protected:
    // A drive text longer than the box ends in an ellipsis rather than in a
    // cut letter; the whole text is the box's tool tip.
    void paintEvent(QPaintEvent*) override;
};

// The hidden file list of the uninstall page.
class FileListBox : public QListWidget {
public:
    FileListBox(plateforme::Plateforme& p, QWidget* parent = nullptr);
    QString Path() const { return chemin_; }
    // Fails (throws) and keeps the previous directory when `chemin` is not
    // an existing directory; otherwise reads it.
    void setPath(const QString& chemin);
    void Refresh();
    std::int16_t ListCount() const { return static_cast<std::int16_t>(noms_.size()); }
    QString List(int index) const { return noms_.value(index); }

private:
    plateforme::Plateforme& p_;
    QString chemin_;
    QStringList noms_;
};

// A straight line between two points of its parent, in twips.
class Ligne : public QWidget {
public:
    Ligne(int x1, int y1, int x2, int y2, QColor couleur, int largeur, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPointF a_, b_;
    QColor couleur_;
    int largeur_;
};

// A check box whose caption wraps onto a second line when it is wider than
// the box, as the design's two-line check boxes do; the caption itself is
// unchanged.
class CaseACocher : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A push button whose caption wraps onto several lines when it is wider than
// the button; the caption itself is unchanged.
class BoutonMultiligne : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override;
};
