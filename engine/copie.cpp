// Copying the system files and the program files named in Install.inf.
#include "wizard/install.h"

using plateforme::Essayer;

namespace {

// A name from Install.inf is relative to its folder. One that could reach
// outside it (a ".." part, a root, a drive, a host separator, NUL) is never
// copied: the description file is input, not a list of places to write.
bool nomSur(const QString& nom)
{
    if (nom.startsWith('\\') || nom.contains(':') || nom.contains('/') || nom.contains(QChar(0)))
        return false;
    for (const QString& partie : nom.split('\\'))
        if (partie == "." || partie == "..") return false;
    return true;
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
    Essayer([&] { present = P.Lister(chemin, false).toUpper() == nom.toUpper(); });
    return present;
}

}  // namespace

void Install::CopierFichiersSystem()
{
    P.Sablier(true);
    Label7->setText(QString());
    // Without a system directory nothing is copied; the install command
    // restores the pointer.
    if (RepSys.isEmpty()) return;
    A = 0;
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
    // A failure ends this file: it is not counted and, for the first copy,
    // the second one is not tried.
    Essayer([&] {
        const QString dossier = dossierInstallateur(P);
        Lfic->setText(nom);
        P.LaisserEvenements();
        if (!nomSur(nom)) return;
        const auto repeindre = [this] { P.Repeindre(); };
        if (!ExisteSystem(nom)) {
            P.CopierFichier(dossier + "\\" + nom, RepSys + "\\" + nom, repeindre);
            compterCopie(A);
        }
        // A system directory whose name does not end in 32 has a "32"
        // sibling that gets its own copy.
        if (RepSys.right(2) != "32" && !ExisteSystem32(nom)) {
            P.CopierFichier(dossier + "\\" + nom, RepSys + "32\\" + nom, repeindre);
            compterCopie(A);
        }
    });
}

void Install::CopierFichier(const QString& nom)
{
    if (nom.isEmpty()) return;
    AvancerProgression();
    Essayer([&] {
        const QString dossier = dossierInstallateur(P);
        P.LaisserEvenements();
        if (!nomSur(nom)) return;
        // A program file named like a file of the system directory is left
        // to the system's copy.
        if (!ExisteSystem(nom)) {
            Lfic->setText(nom);
            P.CopierFichier(dossier + "\\" + nom, Chemin + "\\" + nom, [this] { P.Repeindre(); });
            compterCopie(A);
        }
    });
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
