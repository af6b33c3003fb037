// Icon drawing: the first icon of a file at the top-left corner of the
// start page's icon box.
#include "extras/icone.h"

#include "platform/plateforme.h"
#include "wizard/controles.h"

#include <QtMath>

void DessinerIcone(plateforme::Plateforme& p, PictureBox& Picture1, const QString& Fichier)
{
    // The standard icon size (32 pixels at the design's scale), taken at the
    // screen's resolution so that it stays sharp on a dense screen. A file
    // without an icon leaves the box as it was.
    const qreal dpr = Picture1.devicePixelRatioF();
    const int cote = tw(480);
    plateforme::Essayer([&] {
        QImage icone = p.IconeFichier(Fichier, qRound(cote * dpr));
        icone.setDevicePixelRatio(dpr);
        Picture1.DessinerImage(0, 0, icone);
    });
}
