#include "wizard/install.h"
#include "wizard/polices.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    plateforme::RetablirEchelle();
    QApplication::setFont(PoliceDefaut());
    plateforme::Plateforme p(plateforme::Configuration::depuisEnvironnement());
    Install fenetre(p);
    // A screen too small for the window at this scale (a small screen at a
    // large scale factor): the wizard starts again at a scale that fits.
    plateforme::RelancerAEchelle(fenetre.EchelleQuiTient(), argv);
    fenetre.Form_Load();
    fenetre.show();
    return app.exec();
}
