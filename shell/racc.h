// Shortcut files: shell links (.lnk) and Internet shortcuts (.url).
#pragma once

#include <QString>

#include <cstdint>

class Install;
namespace plateforme { class Plateforme; }

namespace Racc {

// The part of a path after its last backslash ("" when it ends with one).
QString NomFichier(const QString& chemin);

// A shell link `Dossier`\`Nom`.lnk to `Cible`, made from the link that the
// recent-documents service writes; an Internet shortcut when that link does
// not come.
void CreerRaccourci(Install& f, const QString& Dossier, const QString& Nom,
                    const QString& Cible, const QString& Arguments,
                    const QString& RepTravail, std::int16_t IndexIcone,
                    const QString& FichierIcone, std::int16_t Affichage);

// An Internet shortcut `Nom`.url in `Dossier` (with or without its trailing
// backslash), written whole or not at all. Shows nothing; a failure throws
// the platform's Erreur for the caller to pass over or note.
void CreerRaccourciUrl(plateforme::Plateforme& p, const QString& Dossier,
                       const QString& Nom, const QString& URL,
                       const QString& FichierIcone = QString(), int IndexIcone = 0);

}  // namespace Racc
