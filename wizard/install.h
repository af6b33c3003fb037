// The main window and the installer state it owns.
#pragma once

#include "platform/plateforme.h"
#include "wizard/controles.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QHash>
#include <QToolButton>
#include <QVariant>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

// The installer state: one record for the whole run, never saved.
struct EtatInstallation {
    QString Chemin;
    QString RepSys;
    QString Letr;
    QString Aide;
    QString F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12, F13, F14, F15,
        F16, F17, F18, F19, F20, F21;
    QString Fs1, Fs2, Fs3, Fs4, Fs5, Fs6, Fs7, Fs8;
    std::int16_t Courant = 0;
    std::int16_t Etape = 0;
    QVariant A;              // empty until the system files are counted
    QString InfosInf;
    float PbMax = 0;
    QVariant TailleInstall;  // text of EspaceRequis, then a double
    QString DSKDef;
    QString RepDef;
    QString NomDef;
    QString Prog;
    QString NomProg;
    QString Inet;
    QString URLInet;
    QString NOMInet;
    QString Version;         // the program's version (key Version), any text

    // The file slots in their order, for the walks over them.
    std::array<QString*, 21> EmplacementsF();
    std::array<QString*, 8> EmplacementsFs();
};

class Install : public QWidget, public EtatInstallation {
public:
    explicit Install(plateforme::Plateforme& p, QWidget* parent = nullptr);

    plateforme::Plateforme& P;

    // ---- Controls (names of the window's layout) -------------------------
    QPushButton* Command2;
    QPushButton* BPréc;
    QPushButton* BSuiv;
    QPushButton* Annul;
    QGroupBox* FrameInstall;
    QGroupBox* FrameDésinst;
    QGroupBox* FrameDépart;
    PictureBox* Picture2;
    QLabel* Image2;
    // start page
    QLabel* LabInfo;
    PictureBox* Picture1;
    QLabel* Label4;
    std::array<QRadioButton*, 3> OptionDépart{};  // elements 1 and 2
    // install page
    QLabel* Label1;
    DriveListBox* Drive1;
    QLineEdit* Reper;
    QCheckBox* CHIcones;
    QLabel* LabI1;
    QCheckBox* ChDem;
    QCheckBox* AllUSERs;
    QLabel* Label6;
    QToolButton* Command1;
    QLabel* Label7;
    QLabel* Lfic;
    PictureBox* PB;
    // uninstall page
    QPushButton* Command6;
    QPushButton* Command11;
    FileListBox* File2;
    CadreImage* Image1;
    std::array<Ligne*, 2> Line1{};
    QPushButton* Uninst;
    QLabel* Label3;
    // final page
    QLabel* Label8;
    QLabel* Label9;
    QToolButton* Command3;
    QPushButton* Command13;
    QPushButton* Command4;
    QLabel* Label2;

    // ---- Start-up ------------------------------------------------------
    void Form_Load();
    // Where the program's own files are (its icon, its help): the
    // installer's folder, or the install directory for the kept copy.
    QString DossierDuProgramme();
    // The fraction of the present scale at which the window, with a window
    // manager's frame, fits on the screen: 1 unless the screen is too small
    // (a small screen at a large scale factor).
    double EchelleQuiTient() const;

    // ---- Installation description --------------------------------------
    void LireFichierINF();
    QString LireValeur(const QString& Section, const QString& Cle) const;
    void LireParametres();
    void ConvertirTaille();
    void CompterFichiers();

    // ---- Navigation ----------------------------------------------------
    void OptionDépart_Click(std::int16_t Index);
    void BSuiv_Click();
    void BPréc_Click();
    void Annul_Click();

    // ---- Installation ----------------------------------------------------
    void Command1_Click();
    void CopierFichiersSystem();
    void CopierFichiers();
    void CopierFichierSystem(const QString& nom);
    void CopierFichier(const QString& nom);
    // An entry that names a whole folder of the medium: lib\* (or *, the
    // whole medium but the wizard's own files, FichiersDeLAssistant).
    static bool EntreeDossier(const QString& nom);
    // Makes the folders of a name with folder parts below Chemin; false
    // (noted) when one cannot be made.
    bool CreerDossiersDe(const QString& nom);
    static const QStringList FichiersDeLAssistant;
    void CopierDossier(const QString& nom);
    // The medium's folder of such an entry, and what it leaves out.
    QString SourceDossier(const QString& nom);
    static QStringList ExclusDossier(const QString& nom);
    // What each folder entry holds, measured once for the progress and the
    // free space.
    plateforme::Plateforme::Mesure MesureDossier(const QString& nom);
    QHash<QString, plateforme::Plateforme::Mesure> MesuresDossiers;
    // The bytes of every file the install copies, folders' included.
    double OctetsAInstaller();
    bool ExisteSystem(const QString& nom);
    bool ExisteSystem32(const QString& nom);
    bool FichierExiste(const QString& chemin);
    void AvancerProgression();
    std::int32_t EspaceLibre(const QString& lecteur);

    // ---- Shortcuts -------------------------------------------------------
    QString DossierSpecial(std::int32_t CsIdl);
    void CreerIcones();
    void CreerRaccourciDemarrage();
    void CreerRaccourciWeb();

    // ---- Uninstallation --------------------------------------------------
    void VerifierRepertoire();
    void Command6_Click();
    void Command11_Click();
    void Uninst_Click();

    // ---- Help, launch, about, quit ---------------------------------------
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command13_Click();

    // True while the install command runs: a second click is refused.
    bool installationEnCours = false;

    // ---- Upgrades and the record of the install -------------------------
    // The program group's folder that CreerIcones made ("" without one):
    // the uninstall entry goes there.
    QString GroupeFait;
    // Why DossierSpecial last gave "" (number 0 when it did not fail).
    plateforme::Erreur EchecDossier{0, {}};
    // Whether version `a` is older (<0), the same (0) or newer (>0) than
    // `b`, compared as versions: 2.10 is newer than 2.9.
    static int ComparerVersions(const QString& a, const QString& b);
    // What an install over an earlier one does: "Mise à jour de Météo 1.0
    // vers 2.0", "Réinstallation de Météo 2.0", "Retour de Météo 2.0 à 1.0".
    static QString TexteMiseAJour(const QString& nom, const QString& avant, const QString& apres);

    // ---- What the install command could not put in place ----------------
    struct Manque {
        QString fichier;   // where it should be (drive notation), or the name as given
        QString raison;
    };
    // Emptied when the command starts; told to the user before it could
    // announce a success.
    std::vector<Manque> Manquants;
    // The destinations copied by this run of the command (in capitals), and
    // from where (host path).
    QHash<QString, QString> CopiesFaites;
    // Copies one file into place; a failure is noted among the missing
    // files and answers false, except a drive that does not answer, which
    // is thrown to end the command.
    bool CopierUn(const QString& source, const QString& destination);
    void NoterManque(const QString& fichier, const QString& raison,
                     plateforme::Decision d = plateforme::Decision::Echec);
    void NoterManque(const QString& fichier, const plateforme::Erreur& e);
    // The failure in the user's words: "disque plein", "accès refusé" …
    static QString RaisonEchec(const plateforme::Erreur& e);
    // Whether a file name from Install.inf may be used below a folder: no
    // part that is empty or only dots, no root, drive, "/" or control
    // character.
    static bool NomSur(const QString& nom);
    // An install directory as typed or given, without the backslashes
    // before and after it (they name the same folder).
    static QString RepertoireNormal(const QString& repertoire);
    // Whether a directory names something below the drive's root: parts
    // that are empty or blank name no folder.
    static bool SousLaRacine(const QString& repertoire);

protected:
    void closeEvent(QCloseEvent*) override;
    // Keeps the access keys of the controls under the final page from acting
    // while that page covers them.
    bool eventFilter(QObject* objet, QEvent* evenement) override;
    // Tab stays on the final page while it is shown.
    bool focusNextPrevChild(bool suivant) override;

private:
    bool sousPageFinale(const QWidget* w) const;
    void construireFenetre();
    void connecter();
};
