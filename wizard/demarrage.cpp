// Start-up: the load event of the main window.
#include "wizard/install.h"

#include "extras/degrade.h"
#include "extras/icone.h"

using plateforme::Essayer;

QString Install::DossierDuProgramme()
{
    // The copy an install kept has the description, not the files: the
    // program's icon and help are where it was installed.
    QString dossier;
    Essayer([&] { dossier = P.CopieConservee() ? DSKDef + "\\" + RepDef : P.DossierPropre(); });
    return dossier;
}

void Install::Form_Load()
{
    Courant = 0;
    Essayer([&] {
        FrameInstall->move(tw(2085), FrameInstall->y());
        FrameDépart->move(tw(2925), FrameDépart->y());
    });
    Essayer([&] { Picture1->setBackColor(palette().color(QPalette::Button)); });
    LireFichierINF();
    Essayer([&] { LireParametres(); });
    if (Aide.isEmpty()) Command2->setEnabled(false);
    Essayer([&] { ConvertirTaille(); });
    Essayer([&] { CompterFichiers(); });
    // The program already installed here: the pages name its directory
    // (an upgrade goes there, an uninstall removes it), wherever the
    // medium's default points.
    Essayer([&] {
        if (const auto i = P.InstallationDe(NomProg, DSKDef + "\\" + RepDef); i && i->repertoire.size() > 3) {
            DSKDef = i->repertoire.left(2);
            RepDef = i->repertoire.mid(3);
        }
    });
    LabInfo->setText(QString::fromUtf8("Bienvenue dans le programme d'installation de ") + NomDef);
    Label3->setText(QString::fromUtf8("Les fichiers présents dans le répertoire ''") + RepDef +
                    QString::fromUtf8("'' devront être effacés manuellement !"));

    Essayer([&] {
        Picture1->AutoRedraw = true;
        DessinerIcone(P, *Picture1, DossierDuProgramme() + "\\" + Prog);
        Picture1->AutoRedraw = false;
    });
    const QPixmap icone = Picture1->Picture();
    Command1->setIcon(icone);
    Command3->setIcon(icone);
    Image1->setPixmap(icone);

    Command3->setText("Lancer " + NomProg);
    Uninst->setText(QString::fromUtf8("Désinstallation complète de ") + NomProg);
    const plateforme::Version v = P.VersionPropre();
    Label2->setText(QString("%1.%2.%3").arg(v.majeur).arg(v.mineur).arg(v.revision));

    Essayer([&] { Drive1->setDrive(DSKDef); });
    Letr = Drive1->Drive().left(2);

    // The system directory comes in a buffer of 128 characters: a longer
    // path does not fit and gives none.
    Essayer([&] {
        const QString rep = P.RepertoireSysteme();
        RepSys = rep.size() <= 127 ? rep : QString();
    });
    Label6->setToolTip(RepSys);
    Command1->setText("Installation du programme " + NomProg);
    Reper->setText(RepDef);
    Picture2->raise();
    Essayer([&] { PeindreDegrade(*Picture2, false, false, true, false, false, false, false); });
    // The copy an install kept holds the description, not the program's
    // files: it uninstalls, it cannot install.
    if (P.CopieConservee()) OptionDépart[1]->setEnabled(false);
}
