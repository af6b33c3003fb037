// Help, launch, about and quit.
#include "wizard/install.h"

using plateforme::Essayer;

void Install::Command2_Click()
{
    QString F;
    Essayer([&] {
        const QString dossier = DossierDuProgramme();
        F = dossier + (dossier.endsWith('\\') ? "" : "\\") + Aide;
    });
    Essayer([&] { P.OuvrirDocument(F); });
    // A listing that fails finds nothing, as does a missing file.
    QString trouve;
    Essayer([&] { trouve = P.Lister(F, false); });
    if (trouve.toUpper() != Aide.toUpper())
        P.MsgBox("Le fichier " + Aide +
                     QString::fromUtf8(" n'est pas dans le répertoire spécifié par le fichier INSTALL.INF"),
                 plateforme::vbExclamation, QString());
    Command2->setToolTip(F);
}

void Install::Command3_Click()
{
    Essayer([&] { P.Demarrer(Drive1->Drive().left(2) + "\\" + RepDef + "\\" + Prog); });
    P.Terminer();
}

void Install::Command4_Click()
{
    P.MsgBox(QString::fromUtf8("Ce programme peut être utilisé par tous pour tous types de logiciels.") +
                 QString::fromUtf8(" Assistant d'installation, écrit par l'équipe de l'assistant."),
             plateforme::vbInformation, "Installation");
}

void Install::Command13_Click()
{
    P.Terminer();
}
