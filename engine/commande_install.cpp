#include "wizard/install.h"
void Install::Command1_Click() {}
