#include "wizard/install.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    plateforme::Plateforme p(plateforme::Configuration::depuisEnvironnement());
    Install fenetre(p);
    fenetre.Form_Load();
    fenetre.show();
    return app.exec();
}
