// Helpers shared by the Linux implementation files of the platform.
#pragma once

#include "platform/plateforme.h"

#include <QByteArray>
#include <QString>

namespace plateforme::interne {

// Throws the Erreur that matches an errno value (ENOENT 53, EEXIST 58,
// ENOSPC/EFBIG/EDQUOT 61, EACCES/EPERM/EROFS 70, EIO/ETIMEDOUT/ENOMEDIUM/
// ENXIO/ENODEV/ESTALE 25, anything else 75).
[[noreturn]] void echec(int err, const QString& detail);
// A host path as the file-name bytes of the system calls (UTF-8).
QByteArray octets(const QString& hote);
// True when the host path names a .lnk or .url file (any case).
bool estRaccourci(const QString& hote);

}  // namespace plateforme::interne
