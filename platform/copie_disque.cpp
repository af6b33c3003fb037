#include "platform/plateforme.h"

#include <QFile>

namespace plateforme {

void Plateforme::CopierFichier(const QString& s, const QString& d, const std::function<void()>&)
{
    QFile::remove(VersHote(d));
    if (!QFile::copy(VersHote(s), VersHote(d))) throw Erreur{ErrAcces, s};
}

Geometrie Plateforme::GeometrieDisque(const QString&) const { return {}; }

}  // namespace plateforme
