#include "platform/plateforme.h"

namespace plateforme {

int Plateforme::AjouterDocumentRecent(const QString&) { return 0; }

}  // namespace plateforme
