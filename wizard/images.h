// The window's own pictures, drawn by the program.
#pragma once

#include <QIcon>
#include <QPixmap>

// The title bar's icon (32 x 32 and 16 x 16).
QIcon IconeFenetre();
// The decoration at the left of the pages, 118 x 221.
QPixmap ImageCote();
