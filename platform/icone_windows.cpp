#include "platform/plateforme.h"

namespace plateforme {

QImage Plateforme::IconeFichier(const QString&) const { return {}; }

}  // namespace plateforme
