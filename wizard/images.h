// The window's own pictures, drawn by the program.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The title bar's icon (32 x 32 and 16 x 16).
QIcon IconeFenetre();
// The decoration at the left of the pages, drawn for a box of `taille`
// (118 x 221 at the design's size) on a screen of `dpr` device pixels a pixel.
QPixmap ImageCote(QSize taille, qreal dpr);
