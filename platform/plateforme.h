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
#include <memory>
#include <optional>
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
// `systeme` of an ErrAcces about a file that is no regular file (a pipe, a
// device, a socket): never opened for reading or writing.
inline constexpr int PasUnFichierOrdinaire = -1;
// ... about a symbolic link that leads out of the folder it is copied with.
inline constexpr int LienSortant = -2;

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

// C0 and C1 control characters and DEL: never part of a name the wizard
// writes, never printed as they are.
inline bool EstControle(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}
inline bool AUnControle(const QString& s)
{
    for (const QChar c : s)
        if (EstControle(c)) return true;
    return false;
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
    Information,         // what the run does, in a sentence (the object)
};

struct Version {
    int majeur, mineur, revision;
};

// An earlier install, as its record tells it.
struct Installation {
    QString programme, version;
    QString repertoire;    // the install directory, in drive notation as it is named now
    QString date;          // local time, "2026-12-09 10:31:02"
    bool tousUtilisateurs = false;
};

// A file of an install directory, as its record knows it.
enum class EtatFichier {
    SansReleve,   // no record of an install there: nothing is known
    Intact,       // written by the install and unchanged since
    Modifie,      // written by the install, changed since (the user's now)
    Etranger,     // not written by the install
};

// What the install command tells of itself when its record is written.
struct Enregistrement {
    QString programme, version;
    bool tousUtilisateurs = false;
    // The copy went through: what the earlier record of the directory lists
    // and this install did not write is removed (unless changed since).
    bool complet = false;
    QString groupe;             // the program group's folder (drive notation), "" for no uninstall entry
    QString nomDesinstalleur;   // the uninstall entry's name
    QString programmeInstalle;  // the installed program (drive notation), for the entry's icon
};

namespace interne { struct Element; }

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
    // The wizard to keep for later uninstalls: its executable, and the
    // folder that holds it with its launcher and libraries (setup and
    // assistant/), "" when it runs alone; no executable, nothing is kept.
    QString executable;
    QString racineAssistant;

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
    // Throws ErrNomInvalide for an unknown drive or a name holding "/", a
    // control character (NUL, CR, LF, ESC…), "." or "..".
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
    // blocks so that the window can repaint. Without `remplacer`, an entry
    // already at the destination (a file, a link, anything) is never
    // replaced: ErrExiste.
    void CopierFichier(const QString& source, const QString& destination,
                       const std::function<void()>& entreBlocs = {}, bool remplacer = true);
    // What a folder holds below it, `exclus` (names directly in it, any
    // case) left out: its files and links, and the bytes of its files.
    struct Mesure {
        qint64 fichiers = 0, octets = 0;
    };
    Mesure MesurerArborescence(const QString& source, const QStringList& exclus = {}) const;
    // Copies the folder `source` with what it holds below it into
    // `destination`, made as needed: each file as CopierFichier does, each
    // folder made, each symbolic link that stays inside as a link; a link
    // that leads out (LienSortant), a pipe, a device or a socket
    // (PasUnFichierOrdinaire) is refused. `parEntree` is told of each file
    // or link, by its path below `source` ("lib\\libx.so.1"), when it is
    // done (no error) or refused; a folder that cannot be made is told
    // too, and nothing below it is tried. A drive that stops answering is
    // thrown (ErrDelai); so is whatever `parEntree` throws.
    void CopierArborescence(const QString& source, const QString& destination, const QStringList& exclus,
                            const std::function<void(const QString& relatif, const Erreur* echec)>& parEntree);
    // Deletes one file (a link itself, never its target); refuses a
    // read-only one, and one in a folder that DossierProtege names.
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
    // What the folder at `chemin` really is (links followed) when it holds
    // the user's own things: the root of a drive or of the file system, the
    // home, one of the user's folders (desktop, documents…), the settings or
    // the system directory, or a folder holding one of them; "" for any
    // other folder, and for one that does not exist. Nothing is installed
    // into such a folder, nor deleted from it.
    QString DossierProtege(const QString& chemin) const;
    // Puts on the disk what the copies and writes since the last call left
    // in the system's cache (one sync of each file system written).
    void Synchroniser();

    // ---- Install records ---------------------------------------------
    // Every install this account can see (its own and all users').
    std::vector<Installation> Installations() const;
    // The install of `programme` into `repertoire` (links followed), if one
    // is recorded. Each program in a directory has its own record: another
    // program there is never an earlier version of this one.
    std::optional<Installation> InstallationDans(const QString& repertoire, const QString& programme) const;
    // The install of `programme` that a run of the wizard is about: the one
    // its kept copy was made for, else the one into `repertoire`, else the
    // program's latest.
    std::optional<Installation> InstallationDe(const QString& programme, const QString& repertoire) const;
    // Whether the wizard runs from the copy an install kept (the program's
    // files are not beside it).
    bool CopieConservee() const;
    // The bytes that keeping this wizard for the uninstall adds on `lecteur`
    // ("c:"): none when the same wizard is kept already, or when the data
    // folder where it would go lies on another drive.
    qint64 OctetsAssistantAConserver(const QString& lecteur, bool tousUtilisateurs) const;
    // From here on, what the platform writes or makes is the record of an
    // install of `programme` into `repertoire`, until FermerInventaire().
    void CommencerInventaire(const QString& repertoire, const QString& programme);
    // A file the install left as it was: still the program's when the
    // earlier install wrote it and nobody changed it since.
    void InventorierGarde(const QString& chemin);
    // Writes the record (again after later writes). The first time, after a
    // complete copy, removes what the earlier install wrote and this one did
    // not, and keeps the description, the wizard and its uninstall entry.
    void EnregistrerInventaire(const Enregistrement& e);
    void FermerInventaire();
    // Removes the links and desktop entries that the record of the install
    // of `programme` into `repertoire` lists.
    void RetirerRaccourcisInscrits(const QString& repertoire, const QString& programme);
    EtatFichier EtatInstalle(const QString& chemin, const QString& programme) const;
    // The files and links that the install of `programme` into `repertoire` wrote in its
    // sub-folders and that are still as written, by their path below it
    // ("lib\\libx.so.1"), in the record's order.
    QStringList FichiersInstallesDessous(const QString& repertoire, const QString& programme) const;
    // Once none of its files is left as written: removes the install's
    // uninstall entry, the folders it made (when empty), its record, and the
    // kept wizard when no other install uses it. True when it did.
    bool ConclureDesinstallation(const QString& repertoire, const QString& programme);

    // ---- Shell ---------------------------------------------------------
    // Special folder by CSIDL number, "" when there is none. The shortcut
    // files' folders are the wizard's own, below its data folder; the
    // platform pairs each file written there with the desktop entry that
    // desktops read. Per-user folders are made when missing, all users' ones
    // where the system's data folder can be written; without `creer` a
    // missing one is named, not made (an uninstall looks where an install
    // would have written). When a folder could not be made, `pourquoi`
    // (when given) gets the reason; otherwise its number is 0.
    QString DossierSpecial(int csidl, Erreur* pourquoi = nullptr, bool creer = true) const;
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
    struct Releves;
    std::unique_ptr<Releves> releves_;
    void conserver(const QString& dossier, const Enregistrement& e);
    void retirerElement(const interne::Element& e, const QString& pourquoi);
};

// Starts the wizard's own executable again (same arguments) at `fraction`
// of the present scale factor, once at most; returns only when it is not
// started again.
void RelancerAEchelle(double fraction, char** argv);
// In the wizard started again: gives QT_SCALE_FACTOR back its first value,
// once the application object has read it.
void RetablirEchelle();

}  // namespace plateforme
