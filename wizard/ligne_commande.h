// The wizard's command line: an unattended install or uninstall that runs
// the window's own procedures, without a display and without a question.
#pragma once

#include "platform/plateforme.h"

#include <QString>
#include <QStringList>

#include <optional>

struct OptionsLigneDeCommande {
    bool aide = false;
    bool silencieux = false;
    bool desinstaller = false;
    bool sansIcones = false;
    bool demarrage = false;
    bool tousUtilisateurs = false;
    bool forcer = false;
    bool installes = false;
    std::optional<QString> lecteur;
    std::optional<QString> repertoire;
    // The folder of Install.inf (host path) instead of the wizard's own: the
    // copy an install kept starts the wizard so.
    std::optional<QString> support;
    QString erreur;   // not empty when the arguments are wrong
};

// The arguments after the program's name.
OptionsLigneDeCommande AnalyserArguments(const QStringList& arguments);
QString TexteAide();

// Runs the unattended install or uninstall, or the list of installs, once
// the application exists; the result is the exit status: 0 when everything
// asked was done, 1 when something failed or was refused.
int ExecuterSansFenetre(const OptionsLigneDeCommande& options);
// The platform's configuration for these options.
plateforme::Configuration ConfigurationPour(const OptionsLigneDeCommande& options);
// A line as it may be printed: control characters (NUL, CR, LF, ESC, the
// C1 controls) escaped, so that it stays one line and prints what it says.
QString EchapperLigne(const QString& texte);
