#include "wizard/ligne_commande.h"

#include "wizard/install.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

using plateforme::Decision;
using plateforme::EtatFichier;
using plateforme::Essayer;

OptionsLigneDeCommande AnalyserArguments(const QStringList& arguments)
{
    OptionsLigneDeCommande o;
    for (const QString& a : arguments) {
        const qsizetype egal = a.indexOf('=');
        const QString nom = egal < 0 ? a : a.left(egal);
        const QString valeur = a.mid(egal + 1);
        bool* drapeau = nom == "--aide" ? &o.aide
                      : nom == "--silencieux" ? &o.silencieux
                      : nom == "--desinstaller" ? &o.desinstaller
                      : nom == "--sans-icones" ? &o.sansIcones
                      : nom == "--demarrage" ? &o.demarrage
                      : nom == "--tous-utilisateurs" ? &o.tousUtilisateurs
                      : nom == "--forcer" ? &o.forcer
                      : nom == "--installes" ? &o.installes : nullptr;
        if (drapeau && egal < 0) {
            *drapeau = true;
        } else if (nom == "--lecteur" && egal > 0 && valeur.size() >= 1 && valeur[0].isLetter()
                   && (valeur.size() == 1 || valeur.mid(1) == ":" || valeur.mid(1) == ":\\")) {
            o.lecteur = valeur.left(1) + ":";
        } else if (nom == "--repertoire" && egal > 0) {
            o.repertoire = valeur;
        } else if (nom == "--support" && egal > 0 && valeur.startsWith('/')) {
            o.support = valeur;
        } else {
            o.erreur = QString::fromUtf8("option inconnue ou mal écrite : ") + a;
            return o;
        }
    }
    // The window takes --desinstaller (the uninstall already chosen) and
    // --support; the install page's choices are made in the window.
    if (!o.aide && !o.silencieux && !o.installes
        && (o.sansIcones || o.demarrage || o.tousUtilisateurs || o.forcer || o.lecteur || o.repertoire))
        o.erreur = QString::fromUtf8("ces options demandent --silencieux");
    return o;
}

QString TexteAide()
{
    return QString::fromUtf8(
        "Usage : setup [--aide] [--installes] [--desinstaller] [--silencieux [options]]\n"
        "Sans argument, l'assistant s'ouvre dans sa fenêtre.\n"
        "\n"
        "  --aide                affiche ce texte\n"
        "  --installes           liste les programmes installés par l'assistant (nom,\n"
        "                        version, répertoire, date), un par ligne\n"
        "  --silencieux          installe sans fenêtre ni question, avec les choix\n"
        "                        par défaut d'Install.inf (pour l'utilisateur courant)\n"
        "  --desinstaller        ouvre l'assistant sur la désinstallation ; avec\n"
        "                        --silencieux : retire les raccourcis, les réglages\n"
        "                        et les fichiers installés (ceux que l'utilisateur a\n"
        "                        modifiés ou ajoutés restent)\n"
        "  --support=DOSSIER     le dossier d'Install.inf, au lieu de celui de setup\n"
        "  --lecteur=X:          lecteur d'installation\n"
        "  --repertoire=TEXTE    répertoire d'installation, depuis la racine du lecteur\n"
        "                        (créé s'il n'existe pas)\n"
        "  --sans-icones         sans groupe de programmes ni raccourci sur le bureau\n"
        "  --demarrage           lance le programme à l'ouverture de session\n"
        "  --tous-utilisateurs   raccourcis pour tous les utilisateurs\n"
        "  --forcer              installe même si l'espace libre semble insuffisant\n"
        "\n"
        "Une ligne par décision, puis un bilan. Code de sortie : 0 tout est fait,\n"
        "1 quelque chose a échoué ou a été refusé, 2 mauvaise utilisation.\n");
}

// The marks that would turn or break the line (line separators, direction
// overrides) are escaped too.
QString EchapperLigne(const QString& texte)
{
    QString r;
    for (const QChar c : texte) {
        const char16_t u = c.unicode();
        if (u == '\n') r += QLatin1String("\\n");
        else if (u == '\r') r += QLatin1String("\\r");
        else if (u == '\t') r += QLatin1String("\\t");
        else if (u <= 0xFF && plateforme::EstControle(c)) r += QStringLiteral("\\x%1").arg(int(u), 2, 16, QChar('0'));
        else if (u == 0x2028 || u == 0x2029 || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            r += QStringLiteral("\\u%1").arg(int(u), 4, 16, QChar('0'));
        else r += c;
    }
    return r;
}

namespace {

// A line is out at once, but for the thousands of a tree's files copied or
// deleted (`enSerie`), which go out with the next other line or when the
// buffer is full.
void ligne(const QString& texte, std::FILE* flux = stdout, bool enSerie = false)
{
    std::fputs((EchapperLigne(texte) + '\n').toUtf8().constData(), flux);
    if (!enSerie) std::fflush(flux);
}

// The platform of an unattended run: every message box is written out and
// answered as the options say, every decision is a line of output.
class PlateformeSilencieuse : public plateforme::Plateforme {
public:
    PlateformeSilencieuse(plateforme::Configuration c, const OptionsLigneDeCommande& o)
        : Plateforme(std::move(c)), options_(o)
    {
    }

    // Every failure is told once, as a decision; the boxes that report it
    // are not counted again.
    int echecs = 0, copies = 0, gardes = 0, raccourcisCrees = 0, raccourcisRetires = 0, supprimes = 0;
    // The names of the files that Install.inf has installed, and where.
    QStringList nomsInstalles;
    QString dossier, programme;
    bool espaceRefuse = false;

    int MsgBox(const QString& texte, int style, const QString& titre) override
    {
        using namespace plateforme;
        const int boutons = style & 7;
        int reponse = boutons == vbYesNo || boutons == vbYesNoCancel ? vbYes : vbOK;
        QString garde, pourquoi;
        if (titre == QString::fromUtf8(" oh, oh ??")) {
            reponse = options_.forcer ? vbYes : vbNo;
            espaceRefuse = !options_.forcer;
        } else if (titre.startsWith(QString::fromUtf8("Désinstallation de ")) && boutons == vbYesNo
                   && (style & 0x300) == 0) {
            reponse = vbYes;   // file by file, so that each is judged below
        } else if (titre == QLatin1String("Alors ?") && texte.startsWith(QLatin1String("Supprimer "))
                   && texte.endsWith(QLatin1String(" ?"))) {
            // With nobody to ask, only the files that the medium installs
            // go, their names letter for letter (MODELES.DAT is another
            // file than Modeles.dat here); whatever else the user keeps in
            // the directory stays, and is named.
            // With a record, only the files it lists go, as they were
            // written: one the user changed since is the user's now.
            const QString nom = texte.mid(10, texte.size() - 12);
            EtatFichier etat = EtatFichier::Etranger;
            Essayer([&] { etat = EtatInstalle(dossier + "\\" + nom, programme); });
            const bool installe = etat == EtatFichier::SansReleve ? nomsInstalles.contains(nom, Qt::CaseSensitive)
                                                                  : etat == EtatFichier::Intact;
            reponse = installe ? vbYes : vbNo;
            if (!installe) {
                garde = dossier + "\\" + nom;
                pourquoi = QString::fromUtf8(etat == EtatFichier::Modifie ? "modifié depuis l'installation"
                                                                           : "pas installé par ce programme");
            }
        }
        // The box's own line breaks become " / "; whatever else a name holds
        // is shown escaped by ligne().
        QString plat = texte;
        plat.replace(QLatin1String("\r\n"), QLatin1String(" / "));
        static const QRegularExpression espaces(QStringLiteral(" {2,}"));
        plat = plat.replace(espaces, QStringLiteral(" ")).trimmed();
        const char* mots[] = {"", "OK", "Annuler", "", "", "", "Oui", "Non"};
        ligne(QString::fromUtf8("message « ") + titre.trimmed() + QString::fromUtf8(" » : ") + plat
              + QString::fromUtf8(" → ") + QString::fromUtf8(mots[reponse]));
        if (!garde.isEmpty()) Journal(Decision::Garde, garde, pourquoi);
        return reponse;
    }

    void Journal(Decision d, const QString& objet, const QString& detail) override
    {
        const char* mot = "";
        switch (d) {
        case Decision::Copie: mot = "copié"; ++copies; break;
        case Decision::Garde: mot = "gardé"; ++gardes; break;
        case Decision::Ignore: mot = "ignoré"; break;
        case Decision::Echec: mot = "échec"; ++echecs; break;
        case Decision::RaccourciCree: mot = "raccourci créé"; ++raccourcisCrees; break;
        case Decision::RaccourciSupprime: mot = "raccourci retiré"; ++raccourcisRetires; break;
        case Decision::Supprime: mot = "supprimé"; ++supprimes; break;
        case Decision::ReglagesEffaces: mot = "réglages effacés"; break;
        case Decision::Information: return ligne(objet);
        }
        ligne(QString::fromUtf8(mot) + " : " + objet + (detail.isEmpty() ? QString() : " (" + detail + ")"), stdout,
              d == Decision::Copie || d == Decision::Supprime);
    }

    // The only ends of a run from here are failures (no Install.inf).
    [[noreturn]] void Terminer() override
    {
        std::fflush(stdout);
        std::_Exit(1);
    }
    bool Demarrer(const QString&) override { return false; }
    bool OuvrirDocument(const QString&) override { return false; }
    void Bip() override {}

private:
    const OptionsLigneDeCommande& options_;
};

}  // namespace

plateforme::Configuration ConfigurationPour(const OptionsLigneDeCommande& o)
{
    plateforme::Configuration c = plateforme::Configuration::depuisEnvironnement();
    if (o.support) c.dossierPropre = *o.support;
    return c;
}

int ExecuterSansFenetre(const OptionsLigneDeCommande& o)
{
    PlateformeSilencieuse p(ConfigurationPour(o), o);
    if (p.configuration().home.isEmpty()) {
        ligne(QString::fromUtf8("échec : le dossier personnel de l'utilisateur est introuvable"));
        return 1;
    }
    if (o.installes) {
        // One install a line: name, version, directory, date.
        for (const plateforme::Installation& i : p.Installations()) {
            QStringList champs;
            for (const QString& c : {i.programme, i.version, i.repertoire, i.date}) champs << EchapperLigne(c);
            std::fputs((champs.join('\t') + '\n').toUtf8().constData(), stdout);
        }
        return 0;
    }
    Install w(p);
    w.Form_Load();
    if (p.CopieConservee() && !o.desinstaller) {
        ligne(QString::fromUtf8("Installation abandonnée : cette copie de l'assistant désinstalle ") + w.NomProg
              + QString::fromUtf8(", elle n'a pas ses fichiers"));
        return 1;
    }
    if (o.lecteur) {
        try {
            w.Drive1->setDrive(*o.lecteur);
        } catch (const plateforme::Erreur&) {
            ligne(QString::fromUtf8("lecteur inconnu : ") + *o.lecteur, stderr);
            return 2;
        }
        w.Letr = w.Drive1->Drive().left(2);
    }

    // The pages as a user goes through them, with the choices of the options.
    w.OptionDépart[o.desinstaller ? 2 : 1]->setChecked(true);
    if (o.desinstaller) {
        // No directory below the drive: nothing of the program's to remove,
        // and the shortcuts and settings of one still installed stay.
        if (o.repertoire && !Install::SousLaRacine(*o.repertoire)) {
            ligne(QString::fromUtf8("Désinstallation abandonnée : --repertoire ne nomme aucun répertoire sous la "
                                    "racine du lecteur, rien n'a été retiré"));
            return 1;
        }
        if (o.repertoire) w.RepDef = Install::RepertoireNormal(*o.repertoire);
        p.nomsInstalles << w.Prog << w.Aide;
        for (QString* f : w.EmplacementsF()) p.nomsInstalles << *f;
        w.BSuiv_Click();   // checks the directory
        p.dossier = w.Chemin;
        p.programme = w.NomProg;
        if (w.Uninst->isEnabled()) w.Uninst_Click();
        const bool fait = p.echecs == 0;
        ligne(QString::fromUtf8(fait ? "Désinstallation terminée : " : "Désinstallation incomplète : ")
              + QString::fromUtf8("%1 fichier(s) supprimé(s), %2 raccourci(s) retiré(s), %3 échec(s)")
                    .arg(p.supprimes).arg(p.raccourcisRetires).arg(p.echecs));
        return fait ? 0 : 1;
    }

    w.BSuiv_Click();
    if (o.repertoire) w.Reper->setText(*o.repertoire);
    w.CHIcones->setChecked(!o.sansIcones);
    w.ChDem->setChecked(o.demarrage);
    w.AllUSERs->setChecked(o.tousUtilisateurs);
    w.Command1_Click();
    const bool fait = w.BSuiv->text() == "Terminer >" && p.echecs == 0;
    const QString bilan = QString::fromUtf8("%1 fichier(s) copié(s), %2 gardé(s), %3 raccourci(s) créé(s), %4 échec(s)")
                              .arg(p.copies).arg(p.gardes).arg(p.raccourcisCrees).arg(p.echecs);
    if (fait) ligne(QString::fromUtf8("Installation terminée : ") + bilan);
    else if (p.espaceRefuse)
        ligne(QString::fromUtf8("Installation abandonnée : espace libre insuffisant, rien n'a été copié "
                                "(--forcer pour installer quand même)"));
    else ligne(QString::fromUtf8("Installation incomplète : ") + bilan);
    return fait ? 0 : 1;
}
