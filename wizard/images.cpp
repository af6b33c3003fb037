#include "wizard/images.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

// Both pictures show the same subject: a disc rising out of a closed
// cardboard box, drawn on a 32-unit grid (the title bar's size) and scaled.

void dessinerDisque(QPainter& p, QPointF centre, qreal rayon)
{
    // Silver with a rainbow sheen, a darker rim and the clear hub.
    QConicalGradient reflet(centre, 60);
    reflet.setColorAt(0.00, QColor(236, 240, 246));
    reflet.setColorAt(0.12, QColor(180, 214, 255));
    reflet.setColorAt(0.22, QColor(236, 200, 255));
    reflet.setColorAt(0.32, QColor(255, 246, 200));
    reflet.setColorAt(0.45, QColor(200, 206, 216));
    reflet.setColorAt(0.55, QColor(246, 248, 252));
    reflet.setColorAt(0.66, QColor(190, 232, 220));
    reflet.setColorAt(0.78, QColor(214, 198, 255));
    reflet.setColorAt(0.90, QColor(196, 202, 214));
    reflet.setColorAt(1.00, QColor(236, 240, 246));
    p.setPen(QPen(QColor(96, 108, 128), rayon / 12.0));
    p.setBrush(reflet);
    p.drawEllipse(centre, rayon, rayon);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(centre, rayon * 0.36, rayon * 0.36);
    p.setPen(QPen(QColor(120, 130, 148), rayon / 16.0));
    p.setBrush(QColor(40, 60, 96, 120));
    p.drawEllipse(centre, rayon * 0.14, rayon * 0.14);
}

void dessinerBoite(QPainter& p)
{
    // Two side faces and the top of a box seen from above, on the 32 grid.
    const QPointF haut(16, 12.5), gauche(3, 17), devant(16, 21.5), droite(29, 17);
    const QPointF bas(16, 30.5), basGauche(3, 26), basDroite(29, 26);
    const QColor trait(96, 60, 24);
    p.setPen(QPen(trait, 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    QLinearGradient faceGauche(gauche, devant);
    faceGauche.setColorAt(0, QColor(214, 158, 86));
    faceGauche.setColorAt(1, QColor(190, 130, 62));
    p.setBrush(faceGauche);
    p.drawPolygon(QPolygonF({gauche, devant, bas, basGauche}));

    QLinearGradient faceDroite(devant, droite);
    faceDroite.setColorAt(0, QColor(168, 108, 46));
    faceDroite.setColorAt(1, QColor(140, 88, 36));
    p.setBrush(faceDroite);
    p.drawPolygon(QPolygonF({devant, droite, basDroite, bas}));

    QLinearGradient dessus(gauche, droite);
    dessus.setColorAt(0, QColor(240, 196, 128));
    dessus.setColorAt(1, QColor(222, 172, 104));
    p.setBrush(dessus);
    p.drawPolygon(QPolygonF({gauche, haut, droite, devant}));

    // The slit between the flaps, where the disc comes out, and the tape.
    p.setPen(QPen(QColor(110, 70, 30), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 14.75), QPointF(22.5, 19.25));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 232, 196, 200));
    p.drawPolygon(QPolygonF({QPointF(14.2, 21.0), QPointF(17.8, 21.0), QPointF(17.8, 30.0), QPointF(14.2, 29.4)}));
    // A label on the side.
    p.setBrush(QColor(255, 255, 255, 215));
    p.drawPolygon(QPolygonF({QPointF(20, 21.6), QPointF(26, 19.5), QPointF(26, 23.5), QPointF(20, 25.6)}));
    p.setPen(QPen(QColor(30, 100, 200), 0.8));
    p.drawLine(QPointF(21, 22.7), QPointF(25, 21.3));
    p.drawLine(QPointF(21, 24.2), QPointF(24, 23.2));
}

// The disc half out of the box: it stands in the slit, so the box hides
// what lies below the slit's line. The disc's plane runs along the slit,
// hence the shear that tilts its horizontal diameter like the slit.
void dessinerPaquet(QPainter& p)
{
    const QPointF a(9.5, 14.75), b(22.5, 19.25);
    const qreal pente = (b.y() - a.y()) / (b.x() - a.x());
    dessinerBoite(p);
    p.save();
    QPainterPath derriereFente;
    derriereFente.addPolygon(QPolygonF({QPointF(-4, -8), QPointF(36, -8), QPointF(36, a.y() + (36 - a.x()) * pente),
                                        QPointF(-4, a.y() + (-4 - a.x()) * pente)}));
    p.setClipPath(derriereFente);
    p.translate(16, 11.2);
    p.shear(0, pente);
    dessinerDisque(p, QPointF(0, 0), 8.6);
    p.restore();
    // The front flap's edge passes in front of the disc.
    p.setPen(QPen(QColor(110, 70, 30), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
}

QPixmap icone(int cote)
{
    QPixmap pm(cote, cote);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(cote / 32.0, cote / 32.0);
    if (cote < 24) {
        // Small: a little fatter, so that it stays legible.
        p.translate(16, 17);
        p.scale(1.08, 1.08);
        p.translate(-16, -17);
    }
    dessinerPaquet(p);
    return pm;
}

}  // namespace

QIcon IconeFenetre()
{
    QIcon i;
    i.addPixmap(icone(16));
    i.addPixmap(icone(32));
    return i;
}

QPixmap ImageCote(QSize taille, qreal dpr)
{
    // Drawn on a 118 x 221 grid, at the screen's own resolution.
    const int w = 118, h = 221;
    QPixmap pm((QSizeF(taille) * dpr).toSize());
    pm.setDevicePixelRatio(dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(taille.width() / double(w), taille.height() / double(h));

    // Deep blue, lighter towards the top left.
    QLinearGradient fond(0, 0, w * 0.6, h);
    fond.setColorAt(0.0, QColor(46, 122, 214));
    fond.setColorAt(0.45, QColor(20, 78, 170));
    fond.setColorAt(1.0, QColor(8, 36, 96));
    p.fillRect(0, 0, w, h, fond);

    // A soft glow behind the subject.
    QRadialGradient halo(QPointF(60, 96), 70);
    halo.setColorAt(0, QColor(150, 210, 255, 150));
    halo.setColorAt(0.5, QColor(110, 180, 255, 50));
    halo.setColorAt(1, QColor(110, 180, 255, 0));
    p.fillRect(0, 0, w, h, halo);

    // Light rings and sweeping curves.
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < 4; ++k) {
        p.setPen(QPen(QColor(255, 255, 255, 34 - k * 6), 1.2));
        const qreal r = 46 + k * 16;
        p.drawEllipse(QPointF(60, 92), r, r);
    }
    QPainterPath vague;
    vague.moveTo(0, h - 58);
    vague.cubicTo(34, h - 78, 76, h - 38, w, h - 62);
    vague.lineTo(w, h);
    vague.lineTo(0, h);
    vague.closeSubpath();
    QLinearGradient teinteVague(0, h - 80, 0, h);
    teinteVague.setColorAt(0, QColor(255, 255, 255, 46));
    teinteVague.setColorAt(1, QColor(255, 255, 255, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(teinteVague);
    p.drawPath(vague);
    QPainterPath vague2;
    vague2.moveTo(0, h - 34);
    vague2.cubicTo(40, h - 50, 80, h - 14, w, h - 38);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1.4));
    p.drawPath(vague2);

    // Shadow on the ground, then the package itself, three times the icon.
    QRadialGradient ombre(QPointF(60, 150), 40);
    ombre.setColorAt(0, QColor(0, 10, 40, 120));
    ombre.setColorAt(1, QColor(0, 10, 40, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(ombre);
    p.save();
    p.translate(60, 150);
    p.scale(1, 0.28);
    p.drawEllipse(QPointF(0, 0), 44, 44);
    p.restore();
    p.save();
    p.translate(60 - 16 * 3.1, 148 - 30.5 * 3.1);
    p.scale(3.1, 3.1);
    dessinerPaquet(p);
    p.restore();

    // A few sparkles.
    auto etincelle = [&](QPointF c, qreal r, int alpha) {
        QPainterPath e;
        e.moveTo(c.x(), c.y() - r);
        e.quadTo(c, QPointF(c.x() + r, c.y()));
        e.quadTo(c, QPointF(c.x(), c.y() + r));
        e.quadTo(c, QPointF(c.x() - r, c.y()));
        e.quadTo(c, QPointF(c.x(), c.y() - r));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, alpha));
        p.drawPath(e);
    };
    etincelle(QPointF(98, 30), 7, 220);
    etincelle(QPointF(20, 52), 4.5, 170);
    etincelle(QPointF(100, 84), 4, 150);
    etincelle(QPointF(30, 16), 3, 130);

    // A thin light edge on the right, where the picture meets the page.
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(QPointF(w - 0.5, 0), QPointF(w - 0.5, h));
    return pm;
}
