// The install command: checks, directory, copies, shortcuts, then the
// finish button.
#include "wizard/install.h"

using plateforme::Erreur;

namespace {

// Runs one statement of the command. Any failure abandons that statement
// only (the answer says whether it went through); a drive that does not
// answer ends the whole command, through the handler of Command1_Click.
template <class F>
bool pas(F&& f)
{
    try {
        f();
        return true;
    } catch (const Erreur& e) {
        if (e.numero == plateforme::ErrDelai) throw;
        return false;
    }
}

// A double as the message texts show numbers: up to 15 significant digits,
// no trailing zeros, a point before the fraction ("3", "1.5", "1E+20").
QString texteNombre(double d)
{
    QString t = QString::number(d, 'g', 15);
    t.replace("e+", "E+");
    t.replace("e-", "E-");
    return t;
}

// Marks the command as running for as long as it is on the stack, whatever
// way it is left (end of the command, early return, end of the program).
struct GardeInstallation {
    bool& enCours;
    explicit GardeInstallation(bool& b) : enCours(b) { enCours = true; }
    ~GardeInstallation() { enCours = false; }
    GardeInstallation(const GardeInstallation&) = delete;
    GardeInstallation& operator=(const GardeInstallation&) = delete;
};

}  // namespace

void Install::Command1_Click()
{
    // The command lets events run between files: a second click arriving
    // then would start another installation over the one under way.
    if (installationEnCours) return;
    GardeInstallation garde(installationEnCours);

    // Each step runs on its own: a failure abandons the step and the next
    // one follows; a step that ends the command sets `fin`.
    bool fin = false;
    try {
        const QString lecteur = Drive1->Drive().left(2);

        // 1
        pas([&] { Annul->setEnabled(true); });

        // 2. Free space.
        pas([&] {
            const std::int32_t libre = EspaceLibre(Drive1->Drive());
            bool nombre = false;
            const double requis = TailleInstall.toDouble(&nombre);
            if (!nombre) throw Erreur{plateforme::ErrAcces, "TailleInstall"};
            if (requis > libre) {
                const int r = P.MsgBox(
                    QString::fromUtf8(" Il me semble que le lecteur ") + Drive1->Drive() +
                        QString::fromUtf8(" ne contient pas les ") + texteNombre(requis) +
                        QString::fromUtf8(" Mo nécessaires... mais je peux me tromper... Voulez vous continuer ?"),
                    plateforme::vbYesNo + plateforme::vbCritical, QString::fromUtf8(" oh, oh ??"));
                if (r == plateforme::vbNo) fin = true;
            }
        });
        if (fin) return;

        // 3. A typed directory is confirmed and created; the default one is
        // created silently in step 8.
        pas([&] {
            if (Reper->text() == RepDef) return;
            const QString repertoire = lecteur + "\\" + Reper->text();
            // A test that fails counts as a missing directory.
            auto existe = [&] {
                bool oui = false;
                pas([&] { oui = !P.Lister(repertoire, true).isEmpty(); });
                return oui;
            };
            if (!existe()) {
                const int r = P.MsgBox(QString::fromUtf8("Le répertoire ") + repertoire +
                                           QString::fromUtf8(" n'existe pas... voulez vous le créer ?"),
                                       plateforme::vbYesNo + plateforme::vbQuestion,
                                       QString::fromUtf8("Répertoire inexistant"));
                if (r == plateforme::vbNo) {
                    fin = true;
                    return;
                }
                pas([&] { P.CreerRepertoire(repertoire); });
                if (!existe()) {
                    fin = true;
                    P.MsgBox(QString::fromUtf8("Impossible de créér ") + Reper->text(), plateforme::vbCritical,
                             QString::fromUtf8("Assistant Installation"));
                    Reper->setText(RepDef);
                    return;
                }
            }
            RepDef = Reper->text();
        });
        if (fin) return;

        // 4
        pas([&] { P.Sablier(true); });
        PB->show();
        PB->Cls();

        // 5
        PbMax = PbMax + 8;
        pas([&] { AvancerProgression(); });

        // 6
        QString dossier;
        pas([&] {
            dossier = P.DossierPropre();
            if (dossier.endsWith('\\')) dossier.chop(1);
        });
        Letr = lecteur;

        // 7
        Label7->show();
        Lfic->show();
        Label7->setText(QString());
        pas([&] { CopierFichiersSystem(); });

        // 8. The first level below the root, then the directory itself;
        // deeper missing levels are not made.
        pas([&] {
            Chemin = lecteur + "\\" + RepDef;
            const qsizetype barre = Chemin.indexOf('\\', 3);
            if (barre >= 0) pas([&] { P.CreerRepertoire(Chemin.left(barre)); });
            pas([&] { AvancerProgression(); });
            pas([&] { P.CreerRepertoire(Chemin); });
        });

        // An installed copy as new as the installer's or newer stays; a
        // date that cannot be read keeps it too.
        auto aJour = [&](const QString& source, const QString& destination) {
            if (!FichierExiste(destination)) return false;
            bool garder = true;
            pas([&] { garder = P.DateModification(destination) >= P.DateModification(source); });
            return garder;
        };
        auto repeindre = [this] { P.Repeindre(); };

        // 9. The program.
        pas([&] {
            const QString source = dossier + "\\" + Prog;
            const QString destination = Chemin + "\\" + Prog;
            if (!aJour(source, destination)) {
                Lfic->setText(NomProg);
                Lfic->setToolTip(source + "  ---> " + destination);
                pas([&] { P.CopierFichier(source, destination, repeindre); });
            }
            AvancerProgression();
        });

        // 10. The help file.
        pas([&] {
            if (Aide.isEmpty()) {
                AvancerProgression();
            } else {
                const QString source = dossier + "\\" + Aide;
                const QString destination = Chemin + "\\" + Aide;
                if (!aJour(source, destination)) {
                    Lfic->setText("Fichier aide");
                    AvancerProgression();
                    P.LaisserEvenements();
                    Lfic->setToolTip(source + " ---> " + destination);
                    pas([&] { P.CopierFichier(source, destination, repeindre); });
                }
            }
            AvancerProgression();
        });

        // 11
        pas([&] { CopierFichiers(); });

        // 12
        if (CHIcones->isChecked()) pas([&] { CreerIcones(); });
        if (ChDem->isChecked()) pas([&] { CreerRaccourciDemarrage(); });

        // 13
        pas([&] {
            AvancerProgression();
            Lfic->setText(Lfic->text() + "..");
            P.LaisserEvenements();
        });

        // 14
        pas([&] { P.Sablier(false); });
        Lfic->setText(QString::fromUtf8("Installation terminée"));
        Annul->setEnabled(false);
        BSuiv->setText("Terminer >");
        BSuiv->setEnabled(true);

        // 15
        if (Inet.toLower() == "oui") pas([&] { CreerRaccourciWeb(); });
    } catch (const Erreur&) {
        // Only a drive that does not answer gets here. Nothing is undone and
        // the pointer keeps its shape.
        plateforme::Essayer([&] {
            P.MsgBox("Lecteur indisponible", plateforme::vbCritical,
                     QString::fromUtf8("Sélectionnez un lecteur"));
        });
    }
}
