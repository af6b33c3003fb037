#include "wizard/install.h"
#include "shell/racc.h"
namespace Racc {
QString NomFichier(const QString& c) { return c; }
void CreerRaccourci(Install&, const QString&, const QString&, const QString&, const QString&, const QString&, std::int16_t, const QString&, std::int16_t) {}
void CreerRaccourciUrl(plateforme::Plateforme&, const QString&, const QString&, const QString&, const QString&, int) {}
}
