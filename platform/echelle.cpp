// Starting again at a smaller scale, for a screen too small for the window.
//
// Qt fixes a program's scale factor when the application object is made, so
// the wizard that finds itself too large starts its own executable again
// with QT_SCALE_FACTOR lowered: everything, fonts and pictures included, is
// then drawn by Qt at the smaller scale. It happens once at most, and the
// variable is given back its first value before the wizard starts anything
// (the installed program must not inherit it).
//
// A wizard started by a medium's launcher starts the launcher again: through
// the carried loader /proc/self/exe is the loader, and the launcher gives the
// wizard the medium's folder again.
#include "platform/plateforme.h"

#include <QByteArray>

#include <cstdlib>
#include <unistd.h>

namespace plateforme {

namespace {

const char* const Origine = "ASSISTANT_ECHELLE_ORIGINE";
bool relance = false;
// Read before main: the installer's folder is read from the same variable,
// which is then unset.
const QByteArray lanceur = qgetenv("ASSISTANT_RACINE");

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
    const QByteArray soi = lanceur.startsWith('/') ? lanceur + (lanceur.endsWith('/') ? "setup" : "/setup")
                                                   : QByteArray("/proc/self/exe");
    ::execv(soi.constData(), argv);
    // Not started again: this scale it is.
    RetablirEchelle();
}

}  // namespace plateforme
