// The check of the install directory when the uninstall page opens.
#include "wizard/install.h"

using plateforme::Essayer;

void Install::VerifierRepertoire()
{
    Chemin = Letr + "\\" + RepDef;
    // A directory that has gone since the listing was last pointed at it
    // leaves the same path behind: the failure itself tells it is missing.
    bool trouve = false;
    Essayer([&] {
        File2->setPath(Chemin);
        trouve = true;
        File2->Refresh();
    });
    if (!trouve || File2->Path() != Chemin) {
        P.MsgBox(QString::fromUtf8("Le répertoire: ") + Chemin +
                     QString::fromUtf8(" n'existe plus, la désinstallation n'est pas possible"),
                 plateforme::vbCritical, QString::fromUtf8("Echec à la désinstallation"));
        P.Journal(plateforme::Decision::Echec, Chemin, QString::fromUtf8("répertoire introuvable"));
        Uninst->setEnabled(false);
    }
}
