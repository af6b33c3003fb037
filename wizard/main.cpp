#include "wizard/install.h"
#include "wizard/ligne_commande.h"
#include "wizard/polices.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// An unattended run writes its own lines; the toolkit's notes (no runtime
// folder, no fonts) would only blur them.
void silence(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Without a display the window cannot open: the user is told in French how
// to install without one, instead of the toolkit's abort.
[[noreturn]] void sansEcran()
{
    std::fputs("Aucun écran n'a été trouvé : l'assistant ne peut pas ouvrir sa fenêtre.\n"
               "Pour installer sans écran : setup --silencieux (setup --aide pour les options).\n",
               stderr);
    // Called from inside the toolkit's start-up too: nothing to tidy.
    std::_Exit(2);
}

QtMessageHandler sortieQt = nullptr;

// While the application object is made: a platform plugin that finds no
// display (none named, or one that does not answer) ends the start-up with a
// fatal message. The platform's notes are left out meanwhile: when it fails
// they say the same in English.
void demarrageGraphique(QtMsgType type, const QMessageLogContext& contexte, const QString& message)
{
    if (type == QtFatalMsg && message.contains(QStringLiteral("platform plugin"))) sansEcran();
    if (type != QtFatalMsg && contexte.category && QByteArray(contexte.category).startsWith("qt.qpa.")) return;
    sortieQt(type, contexte, message);
}

}  // namespace

int main(int argc, char** argv)
{
    // The medium's launcher asks whether the wizard loads with this
    // machine's libraries: having got here, it does.
    if (qEnvironmentVariableIsSet("ASSISTANT_SONDE")) return 0;

    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const OptionsLigneDeCommande options = AnalyserArguments(arguments);
    if (!options.erreur.isEmpty()) {
        std::fputs((EchapperLigne(options.erreur) + "\n\n" + TexteAide()).toUtf8().constData(), stderr);
        return 2;
    }
    if (options.aide) {
        std::fputs(TexteAide().toUtf8().constData(), stdout);
        return 0;
    }
    if (options.silencieux || options.installes) {
        // No display is needed, whatever the caller's environment says.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(silence);
        int argc1 = 1;
        QApplication app(argc1, argv);
        return ExecuterSansFenetre(options);
    }

    sortieQt = qInstallMessageHandler(demarrageGraphique);
    QApplication app(argc, argv);
    qInstallMessageHandler(sortieQt);
    plateforme::RetablirEchelle();
    QApplication::setFont(PoliceDefaut());
    plateforme::Plateforme p(ConfigurationPour(options));
    // Without a home folder there is no c: drive to install into, and no
    // folder of the user's for the shortcuts.
    if (p.configuration().home.isEmpty()) {
        p.MsgBox(QString::fromUtf8("Installation impossible, le dossier personnel de l'utilisateur est introuvable"),
                 plateforme::vbOKOnly + plateforme::vbCritical, QString::fromUtf8("Assistant installateur"));
        p.Terminer();
    }
    Install fenetre(p);
    // A screen too small for the window at this scale (a small screen at a
    // large scale factor): the wizard starts again at a scale that fits.
    plateforme::RelancerAEchelle(fenetre.EchelleQuiTient(), argv);
    fenetre.Form_Load();
    // Started to uninstall (the menu entry an install left): that choice is
    // made, the rest is the user's.
    if (options.desinstaller && fenetre.OptionDépart[2]->isEnabled()) {
        fenetre.OptionDépart[2]->setChecked(true);
        fenetre.OptionDépart_Click(2);
    }
    fenetre.show();
    return app.exec();
}
