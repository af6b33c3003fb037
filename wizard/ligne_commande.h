// The wizard's command line: an unattended install or uninstall that runs
// the window's own procedures, without a display and without a question.
#pragma once

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
    std::optional<QString> lecteur;
    std::optional<QString> repertoire;
    QString erreur;   // not empty when the arguments are wrong
};

// The arguments after the program's name.
OptionsLigneDeCommande AnalyserArguments(const QStringList& arguments);
QString TexteAide();

// Runs the unattended install or uninstall once the application exists;
// the result is the exit status: 0 when everything asked was done, 1 when
// something failed or was refused.
int ExecuterSansFenetre(const OptionsLigneDeCommande& options);
