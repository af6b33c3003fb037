// The faces the window is drawn with.
#pragma once

#include <QFont>
#include <QString>

// The face that stands for the layout's Arial: Liberation Sans, which has
// Arial's metrics, carried in the program so that every caption fits its
// box whatever fonts the machine has, or none at all.
QString FamilleArial();
// That face at a size in points.
QFont PoliceArial(double points, bool gras = false, bool italique = false);
// The program's default face, for what the layout gives no font (message
// boxes included).
QFont PoliceDefaut();
