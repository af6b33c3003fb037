#include "wizard/install.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    plateforme::Plateforme p(plateforme::Configuration::depuisEnvironnement());
    // Without a home folder there is no c: drive to install into, and no
    // folder of the user's for the shortcuts.
    if (p.configuration().home.isEmpty()) {
        p.MsgBox(QString::fromUtf8("Installation impossible, le dossier personnel de l'utilisateur est introuvable"),
                 plateforme::vbOKOnly + plateforme::vbCritical, QString::fromUtf8("Assistant installateur"));
        p.Terminer();
    }
    Install fenetre(p);
    fenetre.Form_Load();
    fenetre.show();
    return app.exec();
}
