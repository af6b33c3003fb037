// Moving between the start, install, uninstall and final pages.
#include "wizard/install.h"

using plateforme::Essayer;

void Install::OptionDépart_Click(std::int16_t)
{
    BSuiv->setEnabled(true);
}

void Install::BSuiv_Click()
{
    Courant = Courant + 1;
    if (Courant == 0) {
        FrameDépart->show();
    } else if (Courant == 1) {
        FrameDépart->hide();
        if (OptionDépart[1]->isChecked()) FrameInstall->show();
        if (OptionDépart[2]->isChecked()) {
            FrameDésinst->show();
            Essayer([&] { VerifierRepertoire(); });
            Annul->setText("Terminer");
        }
    } else if (Courant == 2) {
        PB->hide();
        Picture2->show();
        FrameInstall->hide();
    }
    BPréc->setEnabled(true);
    BSuiv->setEnabled(false);
}

void Install::BPréc_Click()
{
    Courant = Courant - 1;
    if (Courant == 0) {
        FrameDépart->show();
        FrameDésinst->hide();
        FrameInstall->hide();
    } else if (Courant == 1) {
        FrameDépart->hide();
        if (OptionDépart[1]->isChecked()) FrameInstall->show();
        if (OptionDépart[2]->isChecked()) {
            FrameDésinst->show();
            Essayer([&] { VerifierRepertoire(); });
        }
    }
    BSuiv->setEnabled(true);
    if (Courant == 0) BPréc->setEnabled(false);
}

void Install::Annul_Click()
{
    P.Terminer();
}
