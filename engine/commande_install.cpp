// The install command: checks, directory, copies, shortcuts, then the
// finish button.
#include "wizard/install.h"

#include <QRegularExpression>

#include <optional>

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

// A double as a French user reads numbers: up to 15 significant digits, no
// trailing zeros, a comma before the fraction ("3", "1,5", "1E+20").
QString texteNombre(double d)
{
    QString t = QString::number(d, 'g', 15);
    t.replace("e+", "E+");
    t.replace("e-", "E-");
    t.replace('.', ',');
    return t;
}

// A directory made of names only: its empty parts are passed over, as paths
// are, but none may climb ("..") or leave the drive.
bool repertoireSur(const QString& repertoire)
{
    QString noms = repertoire;
    noms.replace(QRegularExpression(QStringLiteral("\\\\+")), QStringLiteral("\\"));
    return Install::NomSur(Install::RepertoireNormal(noms));
}

// Ends the record of what the command writes, whatever way it is left.
struct GardeInventaire {
    plateforme::Plateforme& p;
    ~GardeInventaire() { p.FermerInventaire(); }
};

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

QString Install::RepertoireNormal(const QString& repertoire)
{
    qsizetype debut = 0, fin = repertoire.size();
    while (debut < fin && repertoire[debut] == '\\') ++debut;
    while (fin > debut && repertoire[fin - 1] == '\\') --fin;
    return repertoire.mid(debut, fin - debut);
}

bool Install::SousLaRacine(const QString& repertoire)
{
    for (const QString& partie : repertoire.split('\\'))
        if (!partie.trimmed().isEmpty()) return true;
    return false;
}

void Install::Command1_Click()
{
    // The command lets events run between files: a second click arriving
    // then would start another installation over the one under way.
    if (installationEnCours) return;
    GardeInstallation garde(installationEnCours);

    // Each step runs on its own: a failure abandons the step and the next
    // one follows; a step that ends the command sets `fin`.
    bool fin = false;
    Manquants.clear();
    CopiesFaites.clear();
    GardeInventaire inventaire{P};
    const auto enregistrement = [&](bool complet) {
        return plateforme::Enregistrement{NomProg, Version, AllUSERs->isChecked(), complet, GroupeFait,
                                          QString::fromUtf8("Désinstaller ") + NomProg, Chemin + "\\" + Prog};
    };
    try {
        const QString lecteur = Drive1->Drive().left(2);

        // 1
        pas([&] { Annul->setEnabled(true); });

        // Backslashes before or after the directory name the same folder as
        // without them.
        const QString reper = RepertoireNormal(Reper->text());
        const auto refuser = [&](const QString& texte, const QString& raison) {
            P.MsgBox(texte, plateforme::vbCritical, QString::fromUtf8("Assistant Installation"));
            P.Journal(plateforme::Decision::Echec, lecteur + "\\" + reper, raison);
        };
        // The drive's root is the user's own (c: is the whole home folder):
        // nothing is installed there, whatever Install.inf or the page says.
        if (!SousLaRacine(reper)) {
            refuser(QString::fromUtf8("Le programme ne peut pas être installé à la racine du lecteur ") + lecteur +
                        QString::fromUtf8("\\ : indiquez un répertoire d'installation."),
                    QString::fromUtf8("racine du lecteur"));
            return;
        }
        // A default directory is not questioned: one that cannot be made (a
        // part such as "..") is refused here, before anything is written.
        if (reper == RepDef && !repertoireSur(RepDef)) {
            refuser(QString::fromUtf8("Impossible de créér ") + RepDef, QString::fromUtf8("nom de répertoire non valide"));
            return;
        }
        // Nor where the directory really is the home, a drive's root or one
        // of the user's folders, as typed or through a link: the program's
        // files would replace the user's own, and its uninstall delete them.
        QString protege;
        pas([&] { protege = P.DossierProtege(lecteur + "\\" + reper); });
        if (!protege.isEmpty()) {
            refuser(QString::fromUtf8("Le programme ne peut pas être installé dans ") + lecteur + "\\" + reper +
                        QString::fromUtf8(" : ce répertoire est ") + protege +
                        QString::fromUtf8(". Indiquez un autre répertoire d'installation."),
                    QString::fromUtf8("répertoire de l'utilisateur"));
            return;
        }

        // 2. Free space.
        pas([&] {
            const std::int32_t libre = EspaceLibre(Drive1->Drive());
            bool nombre = false;
            double requis = TailleInstall.toDouble(&nombre);
            if (!nombre) throw Erreur{plateforme::ErrAcces, "TailleInstall"};
            // What the files really take, when the description says less
            // (a folder of thousands of files is counted whole), and the
            // copy of the wizard kept for the uninstall where it goes on
            // the same drive.
            double octets = OctetsAInstaller();
            plateforme::Essayer([&] { octets += double(P.OctetsAssistantAConserver(lecteur, AllUSERs->isChecked())); });
            requis = std::max(requis, std::ceil(octets / (1024.0 * 1024.0) * 10) / 10);
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
            if (reper == RepDef) return;
            const QString repertoire = lecteur + "\\" + reper;
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
                    refuser(QString::fromUtf8("Impossible de créér ") + Reper->text(),
                            QString::fromUtf8("répertoire introuvable"));
                    Reper->setText(RepDef);
                    return;
                }
            }
            RepDef = reper;
        });
        if (fin) return;

        // An install over an earlier one into the same directory says what
        // it does before it writes anything; from here on, what it writes
        // is its record.
        pas([&] {
            const QString repertoire = lecteur + "\\" + RepDef;
            if (const auto avant = P.InstallationDans(repertoire, NomProg)) {
                const QString texte = TexteMiseAJour(NomProg, avant->version, Version);
                Lfic->setText(texte);
                Lfic->show();
                P.Journal(plateforme::Decision::Information, texte);
                P.LaisserEvenements();
            }
            P.CommencerInventaire(repertoire, NomProg);
        });
        // The record names every file written, so that an uninstall without
        // the medium, or the next upgrade, removes exactly those; it is
        // written again once the favourite is made.
        const auto enregistrer = [&] {
            try {
                P.EnregistrerInventaire(enregistrement(Manquants.empty()));
            } catch (const Erreur& e) {
                if (e.numero == plateforme::ErrDelai) throw;
                // The copy kept for uninstalling names itself.
                NoterManque(e.detail.startsWith('/') ? QString::fromUtf8("enregistrement de l'installation") : e.detail,
                            e);
            }
        };
        GroupeFait.clear();

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
            // Existing levels fail as such; the first other failure is why
            // the directory is missing, if it is.
            std::optional<Erreur> echec;
            const auto creer = [&](const QString& rep) {
                try {
                    P.CreerRepertoire(rep);
                } catch (const Erreur& e) {
                    if (e.numero == plateforme::ErrDelai) throw;
                    if (!echec && e.numero != plateforme::ErrAcces) echec = e;
                }
            };
            const qsizetype barre = Chemin.indexOf('\\', 3);
            if (barre >= 0) creer(Chemin.left(barre));
            pas([&] { AvancerProgression(); });
            creer(Chemin);
            bool existe = true;
            pas([&] { existe = !P.Lister(Chemin, true).isEmpty(); });
            if (!existe) NoterManque(Chemin, echec.value_or(Erreur{plateforme::ErrAcces, Chemin}));
            QStringList noms{Prog, Aide};
            for (QString* f : EmplacementsF()) noms << *f;
            pas([&] { P.SupprimerTemporaires(Chemin, noms); });
        });

        // An installed copy as new as the installer's or newer stays; a
        // date that cannot be read keeps it too.
        auto aJour = [&](const QString& source, const QString& destination) {
            if (!FichierExiste(destination)) return false;
            bool garder = true;
            pas([&] { garder = P.DateModification(destination) >= P.DateModification(source); });
            if (garder) {
                P.Journal(plateforme::Decision::Garde, destination,
                          QString::fromUtf8("la copie installée est aussi récente"));
                pas([&] { P.InventorierGarde(destination); });
            }
            return garder;
        };
        // A name that is no file below the directory is never copied.
        auto sur = [&](const QString& nom) {
            if (NomSur(nom)) return true;
            NoterManque(nom, QString::fromUtf8("nom de fichier non valide"), plateforme::Decision::Ignore);
            return false;
        };

        // 9. The program.
        pas([&] {
            const QString source = dossier + "\\" + Prog;
            const QString destination = Chemin + "\\" + Prog;
            if (sur(Prog) && !aJour(source, destination)) {
                Lfic->setText(NomProg);
                Lfic->setToolTip(source + "  ---> " + destination);
                if (CreerDossiersDe(Prog)) CopierUn(source, destination);
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
                if (sur(Aide) && !aJour(source, destination)) {
                    Lfic->setText("Fichier aide");
                    AvancerProgression();
                    P.LaisserEvenements();
                    Lfic->setToolTip(source + " ---> " + destination);
                    if (CreerDossiersDe(Aide)) CopierUn(source, destination);
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

        pas([&] { enregistrer(); });

        // What was written is on the disk before anything is announced.
        pas([&] {
            try {
                P.Synchroniser();
            } catch (const Erreur& e) {
                if (e.numero == plateforme::ErrDelai) throw;
                NoterManque(e.detail, e);
            }
        });

        // 14
        pas([&] { P.Sablier(false); });
        if (!Manquants.empty()) {
            // Not a success: the user hears what is missing and why, and may
            // try again once the cause is mended.
            Lfic->setText(QString::fromUtf8("Installation incomplète"));
            QString texte = QString::fromUtf8("L'installation n'est pas complète, ces fichiers n'ont pas pu être "
                                              "installés :");
            for (const Manque& m : Manquants) texte += "\r\n" + m.fichier + " : " + m.raison;
            P.MsgBox(texte, plateforme::vbCritical, QString::fromUtf8("Assistant Installation"));
            return;
        }
        Lfic->setText(QString::fromUtf8("Installation terminée"));
        Annul->setEnabled(false);
        BSuiv->setText("Terminer >");
        BSuiv->setEnabled(true);

        // 15
        if (Inet.toLower() == "oui") {
            pas([&] { CreerRaccourciWeb(); });
            pas([&] { enregistrer(); });
            pas([&] { P.Synchroniser(); });
        }
    } catch (const Erreur&) {
        // Only a drive that does not answer gets here. Nothing is undone and
        // the pointer keeps its shape; what was written is recorded.
        plateforme::Essayer([&] { P.EnregistrerInventaire(enregistrement(false)); });
        plateforme::Essayer([&] {
            P.MsgBox("Lecteur indisponible", plateforme::vbCritical,
                     QString::fromUtf8("Sélectionnez un lecteur"));
            P.Journal(plateforme::Decision::Echec, Drive1->Drive().left(2), QString::fromUtf8("lecteur indisponible"));
        });
    }
}
