// Starting again at a smaller scale, for a screen too small for the window.
//
// Qt fixes a program's scale factor when the application object is made, so
// the wizard that finds itself too large starts its own executable again
// with QT_SCALE_FACTOR lowered: everything, fonts and pictures included, is
// then drawn by Qt at the smaller scale. It happens once at most, and the
// variable is given back its first value before the wizard starts anything
// (the installed program must not inherit it).
#include "platform/plateforme.h"

#include <QByteArray>

#include <cstdlib>
#include <unistd.h>

namespace plateforme {

namespace {

const char* const Origine = "ASSISTANT_ECHELLE_ORIGINE";
bool relance = false;

}  // namespace

void RetablirEchelle()
{
    if (!qEnvironmentVariableIsSet(Origine)) return;
    relance = true;
    const QByteArray origine = qgetenv(Origine);
    if (origine == "-") qunsetenv("QT_SCALE_FACTOR");
    else qputenv("QT_SCALE_FACTOR", origine);
    qunsetenv(Origine);
}

void RelancerAEchelle(double fraction, char** argv)
{
    if (relance || fraction >= 1.0 || fraction <= 0.0) return;
    const QByteArray avant = qgetenv("QT_SCALE_FACTOR");
    bool ok = false;
    double actuel = avant.toDouble(&ok);
    if (!ok || actuel <= 0) actuel = 1.0;
    qputenv(Origine, avant.isEmpty() ? QByteArray("-") : avant);
    qputenv("QT_SCALE_FACTOR", QByteArray::number(actuel * fraction, 'f', 3));
    ::execv("/proc/self/exe", argv);
    // Not started again: this scale it is.
    RetablirEchelle();
}

}  // namespace plateforme
