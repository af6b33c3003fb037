#include "wizard/install.h"
void Install::Command2_Click() {}
void Install::Command3_Click() {}
void Install::Command4_Click() {}
void Install::Command13_Click() { P.Terminer(); }
