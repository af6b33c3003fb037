// Icon drawing.
#pragma once

#include <QString>

class PictureBox;
namespace plateforme { class Plateforme; }

// Draws the first icon of `Fichier` at the top-left corner of `Picture1`;
// nothing for a file without one.
void DessinerIcone(plateforme::Plateforme& p, PictureBox& Picture1, const QString& Fichier);
