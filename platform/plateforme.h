// The one interface between the wizard and the operating system.
//
// Every path given to or returned by this class is in drive notation
// ("c:\Programmes\Agenda"); only the implementation knows host paths.
// Operations report failure by throwing `Erreur` with a number that says what
// went wrong; callers that ignore failures wrap the statement in `Essayer`.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QByteArray>

#include <cstdint>
#include <functional>
#include <vector>

namespace plateforme {

// Failure numbers, in the numbering the wizard's handlers test for.
enum NumeroErreur : int {
    ErrDelai = 25,          // the drive does not answer (medium gone, I/O error)
    ErrNomInvalide = 52,    // bad file name: "/", NUL, "." or "..", unknown drive
    ErrIntrouvable = 53,    // file not found
    ErrExiste = 58,         // file or directory already exists
    ErrDisquePlein = 61,    // no space left, file-size limit
    ErrPermission = 70,     // read-only or access denied
    ErrAcces = 75,          // path/file access error (not empty, wrong kind, other)
    ErrChemin = 76,         // path not found
};

struct Erreur {
    int numero;
    QString detail;
    int systeme = 0;    // the errno behind it; 0 when a rule of the platform refused
};

// Runs one statement whose failure is ignored: the caller goes on with the
// next statement. Only platform failures are swallowed; the end of the
// process (and anything else) passes through.
template <class F>
inline void Essayer(F&& f)
{
    try {
        f();
    } catch (const Erreur&) {
    }
}

// Message-box style numbers and answers.
enum : int {
    vbOKOnly = 0, vbYesNoCancel = 3, vbYesNo = 4,
    vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64,
    vbDefaultButton2 = 256,
    vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7,
};

struct Lecteur {
    QChar lettre;       // small letter: 'c'
    QString racine;     // host path of the root, without trailing slash ("/" for z:)
    QString libelle;    // shown in the drive list after the letter: "/home/alice", "AGENDA"
    // A medium: present only while its root is still a mount point, so that
    // a drive taken away is never written to through the folder it leaves.
    bool amovible = false;
};

// Drive geometry as the free-space figure needs it (64-bit: large disks).
struct Geometrie {
    std::int64_t secteursParCluster = 0;
    std::int64_t octetsParSecteur = 0;
    std::int64_t clustersLibres = 0;
    std::int64_t clustersTotal = 0;
};

// What an installation or uninstallation decided about one file or
// shortcut, for a run that reports as it goes.
enum class Decision {
    Copie,               // copied into place
    Garde,               // left as it was (already there, as new or newer)
    Ignore,              // not copied, by a rule (unsafe name, system file)
    Echec,               // could not be done; the detail says why
    RaccourciCree,
    RaccourciSupprime,
    Supprime,            // an installed file deleted
    ReglagesEffaces,
};

struct Version {
    int majeur, mineur, revision;
};

// Where the platform finds its folders. Built from the environment for the
// real program; tests build one of their own in a temporary directory.
struct Configuration {
    std::vector<Lecteur> lecteurs;   // drive table, c: first
    QString dossierPropre;           // host folder of the running wizard
    QString home;                    // $HOME, or the user database's; "" when neither names a folder
    QString xdgDataHome;             // $XDG_DATA_HOME or ~/.local/share
    QString xdgConfigHome;           // $XDG_CONFIG_HOME or ~/.config
    QString xdgDataDir;              // first of $XDG_DATA_DIRS or /usr/local/share
    QString xdgConfigDir;            // first of $XDG_CONFIG_DIRS or /etc/xdg
    QString repertoireSysteme;       // host path, ~/.local/lib

    // The drive table of this machine (home, mounted media, /) and the XDG
    // folders of the environment; the own folder from /proc/self/exe.
    static Configuration depuisEnvironnement();
};

class Plateforme {
public:
    explicit Plateforme(Configuration config);
    virtual ~Plateforme();

    const Configuration& configuration() const { return config_; }

    // ---- Paths -------------------------------------------------------
    // Drive notation to host path, resolving each existing name without
    // regard to case. A missing final part keeps its case as written.
    // Throws ErrNomInvalide for an unknown drive or a name holding "/",
    // NUL, "." or "..".
    QString VersHote(const QString& chemin) const;
    // Host path to drive notation with the longest matching drive root; a
    // drive root keeps its backslash ("d:\"), other paths have none.
    QString VersLecteur(const QString& hote) const;
    // The texts of the drive list, in drive-table order: "c: [/home/alice]".
    QStringList TextesLecteurs() const;

    // ---- File system -------------------------------------------------
    // Name (without folder) of the entry at `chemin` if it is a normal file
    // (or a directory when `repertoires`), else "". Throws when the name is
    // invalid or the drive does not answer.
    QString Lister(const QString& chemin, bool repertoires) const;
    // Names of the normal files directly inside a directory, sorted by name.
    // Throws ErrChemin when `dossier` is not an existing directory.
    QStringList FichiersNormaux(const QString& dossier) const;
    void CreerRepertoire(const QString& chemin);     // one level
    void SupprimerRepertoire(const QString& chemin); // empty only
    // Whole-file copy replacing the destination (not a read-only one),
    // through a hidden temporary file renamed at the end; keeps the source's
    // modification time and permission bits. `entreBlocs` runs between
    // blocks so that the window can repaint.
    void CopierFichier(const QString& source, const QString& destination,
                       const std::function<void()>& entreBlocs = {});
    // Deletes one file (a link itself, never its target); refuses a
    // read-only one.
    void SupprimerFichier(const QString& chemin);
    // Modification time in nanoseconds since the epoch.
    std::int64_t DateModification(const QString& chemin) const;
    std::int64_t Longueur(const QString& chemin) const;
    // Lines of a text file; a line ends at CR LF or a lone CR. The text is
    // Windows-1252, or UTF-8 when it starts with a byte-order mark or is
    // valid UTF-8 holding multi-byte sequences (which Windows-1252 text with
    // accents never is in practice).
    QStringList LireLignes(const QString& chemin) const;
    // Creates or replaces the file with each line followed by CR LF. A line
    // holding CR or LF, which would read back as two, is refused (ErrAcces)
    // and nothing is written.
    void EcrireLignes(const QString& chemin, const QStringList& lignes);
    QByteArray LireOctets(const QString& chemin) const;
    // Writes `octets` at `position`, creating the file when missing; with
    // `tronquer` the file ends after them.
    void EcrireOctets(const QString& chemin, std::int64_t position,
                      const QByteArray& octets, bool tronquer = false);
    // Every write above and every copy is made whole or not at all: into a
    // hidden temporary file beside the destination (".<name>.XXXXXX"),
    // renamed over it once complete; a failure leaves the old file as it was.
    //
    // Removes from `dossier` the temporary files that a copy or write of one
    // of `noms` left behind when the process was killed; a temporary file
    // still being written (by another wizard) is left alone.
    void SupprimerTemporaires(const QString& dossier, const QStringList& noms);
    // Puts on the disk what the copies and writes since the last call left
    // in the system's cache (one sync of each file system written).
    void Synchroniser();

    // ---- Shell ---------------------------------------------------------
    // Special folder by CSIDL number, "" when there is none. The shortcut
    // files' folders are the wizard's own, below its data folder; the
    // platform pairs each file written there with the desktop entry that
    // desktops read. Per-user folders are made when missing, all users' ones
    // where the system's data folder can be written. When a folder could not
    // be made, `pourquoi` (when given) gets the reason; otherwise its number
    // is 0.
    QString DossierSpecial(int csidl, Erreur* pourquoi = nullptr) const;
    // Writes a Shell Link to `cible` named NomFichier(cible) + ".lnk" into
    // the recent-documents folder (CSIDL 8). 1 on success, 0 otherwise.
    int AjouterDocumentRecent(const QString& cible);
    // The icon of a file, `taille` pixels square (32, the standard size, at
    // one device pixel a pixel): the first icon of a Windows program,
    // library or .ico file; for any other program an image beside it with
    // the same base name (meteo.png, .svg or .ico), else the theme's generic
    // program icon. A null image for a file that is no program and holds no
    // icon, or that is missing.
    QImage IconeFichier(const QString& chemin, int taille = 32) const;

    // ---- Process and system ------------------------------------------
    // Own folder, with a trailing backslash only at a drive root.
    QString DossierPropre() const;
    Version VersionPropre() const { return {2, 0, 0}; }
    QString RepertoireSysteme() const;
    Geometrie GeometrieDisque(const QString& racine) const;
    // Deletes the settings file of application `nom`; a name that names no
    // application (empty, ".", "..", "/" or NUL) deletes nothing.
    void EffacerReglages(const QString& nom);

    // ---- Toolkit -----------------------------------------------------
    virtual int MsgBox(const QString& texte, int style, const QString& titre);
    // One decision of the procedures: nothing in the window, a line of
    // output for a run from the command line.
    virtual void Journal(Decision, const QString& /*objet*/, const QString& /*detail*/ = {}) {}
    virtual void LaisserEvenements();
    // Repaints only: no input is handled (used between blocks of a copy).
    virtual void Repeindre();
    void Sablier(bool occupe);

    // ---- Replaced in tests -------------------------------------------
    virtual bool Demarrer(const QString& programme);
    virtual bool OuvrirDocument(const QString& chemin);
    [[noreturn]] virtual void Terminer();
    virtual double Horloge();   // days, so that 5e-5 is 4.32 seconds
    virtual void Bip();

    // Desktop entries paired with shortcut files: called with the host
    // path of every .lnk or .url file written or deleted (after success).
    void raccourciEcrit(const QString& hote);
    void raccourciSupprime(const QString& hote);

protected:
    Configuration config_;

private:
    // Host folders written since the last Synchroniser().
    QStringList aSynchroniser_;
};

// Starts the wizard's own executable again (same arguments) at `fraction`
// of the present scale factor, once at most; returns only when it is not
// started again.
void RelancerAEchelle(double fraction, char** argv);
// In the wizard started again: gives QT_SCALE_FACTOR back its first value,
// once the application object has read it.
void RetablirEchelle();

}  // namespace plateforme
