// Copying the system files and the program files named in Install.inf.
#include "wizard/install.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>

using plateforme::Decision;
using plateforme::Essayer;

namespace {

// The handling of one file: a failure abandons it, except a drive that stops
// answering, which ends the install command.
template <class F>
void unFichier(F&& f)
{
    try {
        f();
    } catch (const plateforme::Erreur& e) {
        if (e.numero == plateforme::ErrDelai) throw;
    }
}

// The installer's folder without the backslash it has at a drive root.
QString dossierInstallateur(plateforme::Plateforme& P)
{
    QString dossier = P.DossierPropre();
    if (dossier.endsWith('\\')) dossier.chop(1);
    return dossier;
}

void compterCopie(QVariant& A)
{
    A = A.toLongLong() + 1;  // an empty count starts from nothing
}

QString texteCompte(const QVariant& A)
{
    return (A.isValid() ? QString::number(A.toLongLong()) : QString()) +
           QString::fromUtf8(" fichier(s) copié(s)");
}

// Whether the listing of `chemin` (normal files only) gives `nom` back,
// letter case aside. A listing that fails counts as present, so that nothing
// is copied over what could not be checked.
bool listeDonne(plateforme::Plateforme& P, const QString& chemin, const QString& nom)
{
    bool present = true;
    // The listing gives the last part of the name only: a name with a
    // folder part is present when that file is.
    const QString dernier = nom.section('\\', -1);
    Essayer([&] { present = P.Lister(chemin, false).toUpper() == dernier.toUpper(); });
    return present;
}

}  // namespace

bool Install::NomSur(const QString& nom)
{
    // A name from Install.inf is relative to its folder. One that could reach
    // outside it or name the folder itself is never used: the description
    // file is input, not a list of places to write.
    if (nom.contains(':') || nom.contains('/') || plateforme::AUnControle(nom)) return false;
    for (const QString& partie : nom.split('\\'))
        if (partie.trimmed().isEmpty() || std::all_of(partie.begin(), partie.end(), [](QChar c) { return c == '.'; }))
            return false;
    return true;
}

bool Install::CopierUn(const QString& source, const QString& destination)
{
    // A file named twice (the program is often one of the files too) is
    // copied once: the second copy would only repeat the first, and could
    // fail where the first has already put the file in place. Another file
    // whose name differs only in letter case would land on the first.
    QString origine;
    Essayer([&] { origine = P.VersHote(source); });
    if (const auto fait = CopiesFaites.constFind(destination.toUpper()); fait != CopiesFaites.cend()) {
        if (*fait == origine) return true;
        NoterManque(destination, QString::fromUtf8("un autre fichier porte ce nom à la casse près"));
        return false;
    }
    // One that failed is not tried again, nor told twice.
    for (const Manque& m : Manquants)
        if (m.fichier == destination) return false;
    try {
        P.CopierFichier(source, destination, [this] { P.Repeindre(); });
        P.Journal(Decision::Copie, destination);
        CopiesFaites.insert(destination.toUpper(), origine);
        return true;
    } catch (const plateforme::Erreur& e) {
        // A drive that stops answering ends the install command.
        if (e.numero == plateforme::ErrDelai) throw;
        NoterManque(destination, e);
        return false;
    }
}

void Install::NoterManque(const QString& fichier, const QString& raison, plateforme::Decision d)
{
    // A file named twice (the program is often one of the files too) is
    // told once.
    for (const Manque& m : Manquants)
        if (m.fichier == fichier) return;
    P.Journal(d, fichier, raison);
    Manquants.push_back({fichier, raison});
}

void Install::NoterManque(const QString& fichier, const plateforme::Erreur& e)
{
    NoterManque(fichier, RaisonEchec(e));
}

QString Install::RaisonEchec(const plateforme::Erreur& e)
{
    switch (e.numero) {
    case plateforme::ErrDisquePlein:
        return QString::fromUtf8(e.systeme == EFBIG ? "fichier trop volumineux"
                                 : e.systeme == EDQUOT ? "quota du disque dépassé" : "disque plein");
    case plateforme::ErrPermission:
        return QString::fromUtf8(e.systeme == EROFS ? "lecture seule"
                                 : e.systeme == 0 ? "fichier en lecture seule" : "accès refusé");
    case plateforme::ErrIntrouvable: return QString::fromUtf8("fichier introuvable");
    case plateforme::ErrChemin: return QString::fromUtf8("répertoire introuvable");
    case plateforme::ErrNomInvalide: return QString::fromUtf8("nom de fichier non valide");
    case plateforme::ErrExiste: return QString::fromUtf8("un fichier de ce nom existe déjà");
    case plateforme::ErrDelai: return QString::fromUtf8("lecteur indisponible");
    case plateforme::ErrAcces:
        if (e.systeme == plateforme::PasUnFichierOrdinaire) return QString::fromUtf8("pas un fichier ordinaire");
        if (e.systeme == plateforme::LienSortant) return QString::fromUtf8("lien qui sort du dossier");
        [[fallthrough]];
    default: return QString::fromUtf8("erreur d'accès au fichier");
    }
}

void Install::CopierFichiersSystem()
{
    P.Sablier(true);
    Label7->setText(QString());
    // Without a system directory nothing is copied; the install command
    // restores the pointer.
    if (RepSys.isEmpty()) return;
    A = 0;
    // What a wizard killed in the middle of a copy left behind.
    QStringList noms;
    for (QString* nom : EmplacementsFs()) noms << *nom;
    Essayer([&] { P.SupprimerTemporaires(RepSys, noms); });
    if (RepSys.right(2) != "32") Essayer([&] { P.SupprimerTemporaires(RepSys + "32", noms); });
    for (QString* nom : EmplacementsFs()) CopierFichierSystem(*nom);
    Label6->setText(texteCompte(A));
    repaint();
    P.LaisserEvenements();
    P.Sablier(false);
}

void Install::CopierFichiers()
{
    P.Sablier(true);
    Label7->setText(QString());
    for (QString* nom : EmplacementsF()) CopierFichier(*nom);
    Label6->setText(texteCompte(A));
    P.LaisserEvenements();
    repaint();
    P.Sablier(false);
}

void Install::CopierFichierSystem(const QString& nom)
{
    if (nom.isEmpty()) return;
    AvancerProgression();
    // A failure ends this file: it is noted and not counted and, for the
    // first copy, the second one is not tried.
    unFichier([&] {
        const QString dossier = dossierInstallateur(P);
        Lfic->setText(nom);
        P.LaisserEvenements();
        if (!NomSur(nom)) return NoterManque(nom, QString::fromUtf8("nom de fichier non valide"), Decision::Ignore);
        // A system file already there is never replaced.
        const auto garde = [&](const QString& destination) {
            P.Journal(Decision::Garde, destination, QString::fromUtf8("déjà présent"));
        };
        // Never over anything in place, even what the listing does not see
        // (a hidden file, a link to nowhere): other programs may own it.
        // Copied (1), kept (0) or failed and noted (-1).
        const auto copie = [&](const QString& destination) {
            try {
                P.CopierFichier(dossier + "\\" + nom, destination, [this] { P.Repeindre(); }, false);
            } catch (const plateforme::Erreur& e) {
                if (e.numero == plateforme::ErrDelai) throw;
                if (e.numero == plateforme::ErrExiste) {
                    garde(destination);
                    return 0;
                }
                NoterManque(destination, e);
                return -1;
            }
            P.Journal(Decision::Copie, destination);
            return 1;
        };
        if (!ExisteSystem(nom)) {
            const int r = copie(RepSys + "\\" + nom);
            if (r < 0) return;
            if (r > 0) compterCopie(A);
        } else {
            garde(RepSys + "\\" + nom);
        }
        // A system directory whose name does not end in 32 has a "32"
        // sibling that gets its own copy.
        if (RepSys.right(2) != "32") {
            if (ExisteSystem32(nom)) garde(RepSys + "32\\" + nom);
            else if (copie(RepSys + "32\\" + nom) > 0) compterCopie(A);
        }
    });
}

void Install::CopierFichier(const QString& nom)
{
    if (nom.isEmpty()) return;
    if (EntreeDossier(nom)) return CopierDossier(nom);
    AvancerProgression();
    unFichier([&] {
        const QString dossier = dossierInstallateur(P);
        P.LaisserEvenements();
        if (!NomSur(nom)) return NoterManque(nom, QString::fromUtf8("nom de fichier non valide"), Decision::Ignore);
        // A program file named like a file of the system directory is left
        // to the system's copy.
        if (!ExisteSystem(nom)) {
            Lfic->setText(nom);
            if (CreerDossiersDe(nom) && CopierUn(dossier + "\\" + nom, Chemin + "\\" + nom)) compterCopie(A);
        } else {
            P.Journal(Decision::Ignore, nom, QString::fromUtf8("un fichier de ce nom est dans le répertoire système"));
        }
    });
}

bool Install::CreerDossiersDe(const QString& nom)
{
    // The folders of a name such as share\meteo\villes.txt, made below the
    // directory as needed.
    const QStringList parties = nom.split('\\');
    QString rep = Chemin;
    for (qsizetype i = 0; i + 1 < parties.size(); ++i) {
        rep += "\\" + parties[i];
        try {
            P.CreerRepertoire(rep);
        } catch (const plateforme::Erreur& e) {
            if (e.numero == plateforme::ErrDelai) throw;
            if (e.numero == plateforme::ErrAcces) continue;   // one already there
            NoterManque(Chemin + "\\" + nom, e);
            return false;
        }
    }
    return true;
}

bool Install::EntreeDossier(const QString& nom) { return nom == "*" || nom.endsWith("\\*"); }

const QStringList Install::FichiersDeLAssistant{"setup", "qt.conf", "assistant", "Install.inf"};

QString Install::SourceDossier(const QString& nom)
{
    const QString dossier = dossierInstallateur(P);
    return nom == "*" ? dossier : dossier + "\\" + nom.chopped(2);
}

QStringList Install::ExclusDossier(const QString& nom) { return nom == "*" ? FichiersDeLAssistant : QStringList(); }

plateforme::Plateforme::Mesure Install::MesureDossier(const QString& nom)
{
    if (!MesuresDossiers.contains(nom)) MesuresDossiers.insert(nom, P.MesurerArborescence(SourceDossier(nom), ExclusDossier(nom)));
    return MesuresDossiers.value(nom);
}

double Install::OctetsAInstaller()
{
    double octets = 0;
    const QString dossier = dossierInstallateur(P);
    QStringList noms{Prog, Aide};
    for (QString* f : EmplacementsF()) noms << *f;
    for (QString* f : EmplacementsFs()) noms << *f;
    // A file named twice (the program is often one of the files too) takes
    // its room once.
    noms.removeDuplicates();
    for (const QString& nom : noms) {
        if (nom.isEmpty()) continue;
        Essayer([&] {
            octets += EntreeDossier(nom) ? double(MesureDossier(nom).octets)
                    : NomSur(nom)        ? double(P.Longueur(dossier + "\\" + nom))
                                         : 0.0;
        });
    }
    return octets;
}

void Install::CopierDossier(const QString& nom)
{
    const QString sous = nom == "*" ? QString() : nom.chopped(2);
    if (!sous.isEmpty() && !NomSur(sous)) {
        AvancerProgression();
        return NoterManque(nom, QString::fromUtf8("nom de fichier non valide"), Decision::Ignore);
    }
    const QString destination = sous.isEmpty() ? Chemin : Chemin + "\\" + sous;
    const QString prefixe = sous.isEmpty() ? QString() : sous + "\\";
    QString racine;
    Essayer([&] { racine = P.VersHote(SourceDossier(nom)); });
    QElapsedTimer evenements;
    try {
        // Each file of the folder is a step, a line, a count, as one named.
        P.CopierArborescence(SourceDossier(nom), destination, ExclusDossier(nom),
                             [&](const QString& relatif, const plateforme::Erreur* e) {
                                 AvancerProgression();
                                 const QString cible = destination + "\\" + relatif;
                                 Lfic->setText(prefixe + relatif);
                                 if (e) {
                                     NoterManque(cible, *e);
                                 } else {
                                     P.Journal(Decision::Copie, cible);
                                     if (!CopiesFaites.contains(cible.toUpper())) compterCopie(A);
                                     CopiesFaites.insert(cible.toUpper(),
                                                         racine + '/' + QString(relatif).replace('\\', '/'));
                                 }
                                 // The window repaints and takes clicks a hundred
                                 // times a second, not once per file of thousands.
                                 if (!evenements.isValid() || evenements.elapsed() >= 10) {
                                     P.LaisserEvenements();
                                     evenements.start();
                                 }
                             });
    } catch (const plateforme::Erreur& e) {
        if (e.numero == plateforme::ErrDelai) throw;
        NoterManque(nom, e);   // the folder itself is missing on the medium, or cannot be made
    }
}

bool Install::ExisteSystem(const QString& nom)
{
    // No system directory holds nothing (a bare "\" + name would name a file
    // at the root of the installer's drive instead).
    if (RepSys.isEmpty()) return false;
    return listeDonne(P, RepSys + "\\" + nom, nom);
}

bool Install::ExisteSystem32(const QString& nom)
{
    if (RepSys.isEmpty()) return false;
    return listeDonne(P, RepSys + "32\\" + nom, nom);
}

bool Install::FichierExiste(const QString& chemin)
{
    bool present = true;
    Essayer([&] { present = !P.Lister(chemin, false).isEmpty(); });
    return present;
}
