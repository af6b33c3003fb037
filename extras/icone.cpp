// Icon drawing: the first icon of a file at the top-left corner of the
// start page's icon box.
#include "extras/icone.h"

#include "platform/plateforme.h"
#include "wizard/controles.h"

void DessinerIcone(plateforme::Plateforme& p, PictureBox& Picture1, const QString& Fichier)
{
    // A file without an icon leaves the box as it was.
    plateforme::Essayer([&] { Picture1.DessinerImage(0, 0, p.IconeFichier(Fichier)); });
}
