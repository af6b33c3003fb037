// The shortcut sets of an installation: program group, desktop, start at
// logon and the web favourite.
#include "wizard/install.h"

#include "shell/racc.h"

using plateforme::Essayer;

// Only the install makes the user's folders it writes in: an uninstall that
// looks for shortcuts leaves none behind.
QString Install::DossierSpecial(std::int32_t CsIdl)
{
    return P.DossierSpecial(CsIdl, &EchecDossier, installationEnCours);
}

namespace {

// Special folders of the two scopes: all users first, then the user's own.
enum : std::int32_t {
    ProgrammesTous = 23, ProgrammesUtilisateur = 2,
    BureauTous = 25, BureauUtilisateur = 0,
    DemarrageTous = 24, DemarrageUtilisateur = 7,
    FavorisTous = 31, FavorisUtilisateur = 6,
};

// Whether the file a link would start is in place: a copy that failed
// leaves nothing for a link to point at.
bool installe(Install& f, const QString& cible)
{
    bool present = false;
    Essayer([&] { present = !f.P.Lister(cible, false).isEmpty(); });
    return present;
}

// A plain link to an installed file: no arguments, working directory or
// icon. None to a file that is not there. One that cannot be made for want
// of the user's own folder, or of a name (".lnk" alone is a hidden file that
// no menu shows), is noted among what the installation lacks.
void lien(Install& f, const QString& dossier, const QString& nom, const QString& cible,
          const plateforme::Erreur& echecDossier)
{
    if (!installe(f, cible)) return;
    // A control character (from NomProgramme or NomGroupeDéfaut) names no
    // file a menu could show under that name.
    if (plateforme::AUnControle(nom) || plateforme::AUnControle(dossier))
        return f.NoterManque(dossier + "\\" + nom + ".lnk", QString::fromUtf8("nom de fichier non valide"));
    if (dossier.isEmpty())
        return echecDossier.numero ? f.NoterManque(nom + ".lnk", echecDossier)   // the real reason: full, read-only
                                   : f.NoterManque(nom + ".lnk", QString::fromUtf8("dossier de l'utilisateur introuvable"));
    if (nom.isEmpty())
        return f.NoterManque(dossier + "\\.lnk", QString::fromUtf8("raccourci sans nom (NomProgramme vide)"));
    Racc::CreerRaccourci(f, dossier, nom, cible, QString(), QString(), 0, QString(), 0);
}

}  // namespace

void Install::CreerIcones()
{
    const QString lecteur = Drive1->Drive().left(2);
    const QString programme = lecteur + "\\" + RepDef + "\\" + Prog;
    const QString aide = lecteur + "\\" + RepDef + "\\" + Aide;

    const std::size_t manquaient = Manquants.size();
    Essayer([&] { P.Sablier(true); });
    Lfic->setText(QString::fromUtf8("Création des icônes."));
    Essayer([&] { P.LaisserEvenements(); });

    // The group under the Programs menu. When the all-users one cannot be
    // made the box is unticked and the user's own menu is used; when that
    // fails too there is no group, and the links into it report the missing
    // folder themselves, as they do when the user's Programs folder itself
    // is missing.
    QString groupe;
    for (;;) {
        const bool tous = AllUSERs->isChecked();
        QString programmes;
        Essayer([&] { programmes = DossierSpecial(tous ? ProgrammesTous : ProgrammesUtilisateur); });
        bool trouve = false;
        if (!programmes.isEmpty()) {
            // Without a group name the links go into the Programs folder itself.
            groupe = NomDef.isEmpty() ? programmes : programmes + "\\" + NomDef;
            Essayer([&] { P.CreerRepertoire(groupe); });
            Essayer([&] { trouve = !P.Lister(groupe, true).isEmpty(); });
        }
        if (trouve || !tous) {
            if (programmes.isEmpty()) groupe.clear();
            break;
        }
        AllUSERs->setChecked(false);
    }
    // The uninstall entry joins the program's own there.
    GroupeFait = groupe;

    const plateforme::Erreur echecGroupe = EchecDossier;
    Essayer([&] { lien(*this, groupe, NomProg, programme, echecGroupe); });
    Essayer([&] { AvancerProgression(); });

    // Read again: an untick above sends this one to the user's desktop.
    // There is no all-users desktop here: nothing to make, nothing missing.
    Essayer([&] {
        const bool tous = AllUSERs->isChecked();
        const QString bureau = DossierSpecial(tous ? BureauTous : BureauUtilisateur);
        if (!bureau.isEmpty() || !tous) lien(*this, bureau, NomProg, programme, EchecDossier);
    });

    if (!Aide.isEmpty()) Essayer([&] { lien(*this, groupe, "Aide de " + NomDef, aide, echecGroupe); });

    // Only once the program really has all its links.
    if (Manquants.size() == manquaient && installe(*this, programme)) LabI1->show();
    Essayer([&] { AvancerProgression(); });
}

void Install::CreerRaccourciDemarrage()
{
    const QString lecteur = Drive1->Drive().left(2);
    const QString programme = lecteur + "\\" + RepDef + "\\" + Prog;

    Essayer([&] { P.Sablier(true); });
    PbMax = PbMax + 1;
    Lfic->setText(QString::fromUtf8("Création des icônes."));
    Essayer([&] { P.LaisserEvenements(); });

    // The start-up folder is not made here: a missing one is reported by
    // the link itself.
    Essayer([&] {
        const bool tous = AllUSERs->isChecked();
        const QString demarrage = DossierSpecial(tous ? DemarrageTous : DemarrageUtilisateur);
        if (!demarrage.isEmpty() || !tous) lien(*this, demarrage, NomProg, programme, EchecDossier);
    });

    Essayer([&] { AvancerProgression(); });
}

void Install::CreerRaccourciWeb()
{
    if (NOMInet.isEmpty()) return;
    // Shown to nobody (the installation has been announced), but known.
    const auto favori = [this](const QString& dossier) {
        try {
            Racc::CreerRaccourciUrl(P, dossier, NOMInet, URLInet);
        } catch (const plateforme::Erreur& e) {
            NoterManque(dossier + "\\" + NOMInet + ".url", e);
        }
    };

    // With the box ticked the favourite goes to both scopes; when the
    // all-users one cannot be made, neither is.
    if (AllUSERs->isChecked()) {
        QString favoris;
        Essayer([&] { favoris = DossierSpecial(FavorisTous); });
        if (URLInet.isEmpty() || favoris.isEmpty()) return;
        favori(favoris);
    }

    QString favoris;
    Essayer([&] { favoris = DossierSpecial(FavorisUtilisateur); });
    if (URLInet.isEmpty() || favoris.isEmpty()) return;
    favori(favoris);
}
