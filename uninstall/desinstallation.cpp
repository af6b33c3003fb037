// The complete uninstall: shortcuts and settings, then the files of the
// install directory, all at once or one by one.
#include "wizard/install.h"

using plateforme::Essayer;

void Install::Uninst_Click()
{
    Essayer([&] { Command6_Click(); });
    Essayer([&] { Command11_Click(); });

    const QString titre = QString::fromUtf8("Désinstallation de ") + NomProg;
    // A directory that is, as named or through a link, the home, a drive's
    // root or one of the user's folders holds the user's own files, not an
    // installation's: none is ever offered, nor deleted.
    QString protege;
    try {
        protege = P.DossierProtege(File2->Path());
    } catch (const plateforme::Erreur&) {
        return;   // where it leads cannot be told: nothing is deleted
    }
    if (!protege.isEmpty()) {
        P.MsgBox(QString::fromUtf8("Aucun fichier ne sera supprimé de ") + Chemin +
                     QString::fromUtf8(" : ce répertoire est ") + protege + ".",
                 plateforme::vbCritical, titre);
        P.Journal(plateforme::Decision::Echec, Chemin, QString::fromUtf8("aucun fichier supprimé"));
        return;
    }

    // The hidden copies that a killed installation left of its files go
    // first: they were never the user's, and no listing shows them.
    QStringList decrits{Prog, Aide};
    for (QString* f : EmplacementsF()) decrits << *f;
    Essayer([&] { P.SupprimerTemporaires(File2->Path(), decrits); });

    // The files the listing shows, read once: each index keeps naming the
    // file it named when the loop began, whatever is deleted meanwhile. The
    // install's files in its sub-folders follow, as its record lists them
    // and as it wrote them (those the user changed are the user's now).
    QStringList noms;
    for (std::int16_t i = 0; i < File2->ListCount(); ++i) noms << File2->List(i);
    Essayer([&] { noms << P.FichiersInstallesDessous(File2->Path(), NomProg); });
    // Nothing left there (files removed by hand, an earlier run): the
    // install's record and what it kept go too.
    if (noms.isEmpty()) return Essayer([&] { P.ConclureDesinstallation(Chemin, NomProg); });

    if (P.MsgBox("Voulez vous supprimer TOUS les fichiers de '' " + Chemin + " '' ????",
                 plateforme::vbYesNo + plateforme::vbQuestion + plateforme::vbDefaultButton2,
                 titre) != plateforme::vbYes)
        return;

    const bool unParUn =
        P.MsgBox(QString::fromUtf8("Voudrez vous confirmer la suppression des fichiers un par un "
                                   "(recommandé).") +
                     "\r\n" + QString(10, ' ') + " Il y a " + QString::number(noms.size()) +
                     " fichiers ?" + "\r\n\r\n" +
                     "- Si vous cliquez sur Non tous les fichiers partiront d'un coup...",
                 plateforme::vbYesNo + plateforme::vbQuestion, titre) == plateforme::vbYes;

    const QString dossier = File2->Path();
    for (const QString& nom : noms) {
        if (unParUn) {
            const std::int16_t reponse = static_cast<std::int16_t>(
                P.MsgBox("Supprimer " + nom + " ?", plateforme::vbYesNoCancel + plateforme::vbInformation,
                         "Alors ?"));
            if (reponse == plateforme::vbCancel) {
                Essayer([&] { VerifierRepertoire(); });
                return;
            }
            if (reponse != plateforme::vbYes) continue;
        }
        // A file that will not go (read-only, in use, gone) just stays.
        try {
            P.SupprimerFichier(dossier + "\\" + nom);
            P.Journal(plateforme::Decision::Supprime, dossier + "\\" + nom);
        } catch (const plateforme::Erreur& e) {
            P.Journal(plateforme::Decision::Echec, dossier + "\\" + nom, RaisonEchec(e));
        }
    }
    Essayer([&] { File2->Refresh(); });
    Essayer([&] { P.ConclureDesinstallation(Chemin, NomProg); });
}
