// Free-space arithmetic of the install page, apart from the window so that
// it can be checked on any geometry.
#pragma once

#include "platform/plateforme.h"

#include <cstdint>

// Rounds to the nearest whole number, a half going to the even neighbour.
double ArrondiPair(double x);
// Free Mo of a drive: Ko per cluster rounded, then Mo rounded, in 64 bits,
// saturated at the largest 32-bit value. 0 for a geometry left empty.
std::int32_t MoLibres(const plateforme::Geometrie& g);
