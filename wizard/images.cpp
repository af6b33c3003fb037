#include "wizard/images.h"

#include <QPainter>

QIcon IconeFenetre()
{
    QPixmap p(32, 32);
    p.fill(Qt::darkBlue);
    return QIcon(p);
}

QPixmap ImageCote()
{
    QPixmap p(118, 221);
    p.fill(Qt::darkBlue);
    return p;
}
