#include "wizard/install.h"
void Install::Command6_Click() {}
void Install::Command11_Click() {}
