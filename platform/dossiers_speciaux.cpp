#include "platform/plateforme.h"

namespace plateforme {

QString Plateforme::DossierSpecial(int) const { return {}; }

}  // namespace plateforme
