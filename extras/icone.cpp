#include "wizard/install.h"
#include "extras/icone.h"
void DessinerIcone(plateforme::Plateforme&, PictureBox&, const QString&) {}
