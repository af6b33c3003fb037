#include "wizard/install.h"
void Install::CopierFichiersSystem() {}
void Install::CopierFichiers() {}
void Install::CopierFichierSystem(const QString&) {}
void Install::CopierFichier(const QString&) {}
bool Install::ExisteSystem(const QString&) { return true; }
bool Install::ExisteSystem32(const QString&) { return true; }
bool Install::FichierExiste(const QString&) { return true; }
