#include "platform/plateforme.h"

namespace plateforme {

void Plateforme::raccourciEcrit(const QString&) {}
void Plateforme::raccourciSupprime(const QString&) {}

}  // namespace plateforme
