#include "wizard/install.h"
void Install::AvancerProgression() {}
std::int32_t Install::EspaceLibre(const QString&) { return 0; }
