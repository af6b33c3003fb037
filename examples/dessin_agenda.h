// The sample program's icon: a desk calendar page with its red header, two
// binding rings and a grid of days, one of them marked.
#pragma once

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

inline QImage DessinerAgenda(int taille)
{
    QImage img(taille, taille, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 32-unit grid; the small size keeps fewer, larger days.
    p.scale(taille / 32.0, taille / 32.0);
    const bool petit = taille < 24;

    // Shadow, then the page.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(QRectF(3.5, 6.5, 26.5, 24.5), 3, 3);
    QLinearGradient page(0, 6, 0, 30);
    page.setColorAt(0, QColor(255, 255, 255));
    page.setColorAt(1, QColor(222, 228, 236));
    p.setBrush(page);
    p.setPen(QPen(QColor(110, 118, 130), 1));
    p.drawRoundedRect(QRectF(2.5, 5.5, 26, 24), 3, 3);

    // Header band, clipped to the page's rounded top.
    QPainterPath haut;
    haut.addRoundedRect(QRectF(2.5, 5.5, 26, 24), 3, 3);
    p.save();
    p.setClipPath(haut);
    QLinearGradient rouge(0, 5, 0, 13);
    rouge.setColorAt(0, QColor(236, 88, 72));
    rouge.setColorAt(1, QColor(188, 36, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(rouge);
    p.drawRect(QRectF(2, 5, 27, petit ? 9 : 7.5));
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(120, 26, 22), 1));
    p.drawRoundedRect(QRectF(2.5, 5.5, 26, 24), 3, 3);

    // Binding rings.
    p.setPen(QPen(QColor(60, 64, 72), petit ? 2.4 : 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 2.5), QPointF(10, 8.5));
    p.drawLine(QPointF(21, 2.5), QPointF(21, 8.5));

    // Days.
    const int colonnes = petit ? 3 : 5, lignes = petit ? 2 : 3;
    const double x0 = 5.5, y0 = petit ? 17 : 15.5, largeur = 20.0, hauteur = petit ? 10.0 : 11.5;
    const double pasX = largeur / colonnes, pasY = hauteur / lignes;
    p.setPen(Qt::NoPen);
    for (int l = 0; l < lignes; ++l)
        for (int c = 0; c < colonnes; ++c) {
            const bool marque = petit ? (l == 1 && c == 1) : (l == 1 && c == 3);
            p.setBrush(marque ? QColor(30, 100, 200) : QColor(150, 162, 180));
            const double bord = petit ? 1.6 : 1.2;
            p.drawRoundedRect(QRectF(x0 + c * pasX + bord / 2, y0 + l * pasY + bord / 2, pasX - bord, pasY - bord),
                              0.8, 0.8);
        }
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}
