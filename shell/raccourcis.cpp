#include "wizard/install.h"
QString Install::DossierSpecial(std::int32_t CsIdl) { return P.DossierSpecial(CsIdl); }
void Install::CreerIcones() {}
void Install::CreerRaccourciDemarrage() {}
void Install::CreerRaccourciWeb() {}
