#include "wizard/install.h"
#include "extras/degrade.h"
void PeindreDegrade(PictureBox&, std::optional<bool>, std::optional<bool>, std::optional<bool>, std::optional<bool>, std::optional<bool>, std::optional<bool>, std::optional<bool>) {}
