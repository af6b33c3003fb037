// Removal of the shortcuts an installation made, and of the program's
// saved settings. Both are silent: every failure is passed over.
#include "wizard/install.h"

using plateforme::Essayer;

namespace {

// Where the shortcuts of one folder live and which of them go.
struct Dossier {
    std::int32_t csidl;
    bool groupe;    // the program group inside the folder, removed when empty
    bool programme; // program shortcut
    bool aide;      // help shortcut (program groups only)
    bool web;       // web shortcut
};

// Per-user folders first, then the all-users ones.
constexpr Dossier dossiers[] = {
    {2, true, true, true, false},    // Programs menu
    {16, false, true, false, false}, // desktop directory
    {0, false, true, false, false},  // desktop
    {7, false, true, false, false},  // Startup
    {6, false, false, false, true},  // Favorites
    {23, true, true, true, false},   // all users' Programs menu
    {25, false, true, false, false}, // all users' desktop
    {24, false, true, false, false}, // all users' Startup
    {31, false, false, false, true}, // all users' Favorites
};

}  // namespace

void Install::Command6_Click()
{
    const QString aide = QString::fromUtf8("Aide de ") + NomDef;
    for (const Dossier& d : dossiers) {
        QString dossier;
        Essayer([&] { dossier = DossierSpecial(d.csidl); });
        // No such folder here: nothing of ours can be in it.
        if (dossier.isEmpty()) continue;

        // An empty group name puts the group's shortcuts straight into the
        // Programs folder, which is then no group of ours to remove.
        const bool avecGroupe = d.groupe && !NomDef.isEmpty();
        const QString rep = avecGroupe ? dossier + "\\" + NomDef : dossier;
        auto supprimer = [&](const QString& nom) {
            Essayer([&] {
                P.SupprimerFichier(rep + "\\" + nom);
                P.Journal(plateforme::Decision::RaccourciSupprime, rep + "\\" + nom);
            });
        };

        if (d.programme) supprimer(NomProg + ".lnk");
        if (d.aide) supprimer(aide + ".lnk");
        if (d.programme) supprimer(NomProg + ".url");
        if (d.aide) supprimer(aide + ".url");
        // Without a name no web shortcut was made: ".url" alone would be
        // some other hidden file.
        if (d.web && !NOMInet.isEmpty()) supprimer(NOMInet + ".url");

        if (avecGroupe) Essayer([&] { P.SupprimerRepertoire(rep); });
    }
    // Those that the install's record lists besides, under names of an
    // earlier version or description.
    Essayer([&] { P.RetirerRaccourcisInscrits(Letr + "\\" + RepDef, NomProg); });
}

void Install::Command11_Click()
{
    const QString nom = NomProg;
    Essayer([&] {
        P.EffacerReglages(nom);
        P.Journal(plateforme::Decision::ReglagesEffaces, nom);
    });
}
