#include "wizard/install.h"
void Install::Uninst_Click() {}
