// Helpers shared by the Linux implementation files of the platform.
#pragma once

#include "platform/plateforme.h"

#include <QByteArray>
#include <QImage>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <sys/types.h>

#include <nettle/sha2.h>

#include <initializer_list>
#include <optional>
#include <vector>

namespace plateforme::interne {

// Throws the Erreur that matches an errno value: ENOENT 53 (76 when `detail`
// is a host path whose folder is missing too), ENOTDIR 76, ENAMETOOLONG 52,
// EEXIST 58, ENOTEMPTY 75, ENOSPC/EFBIG/EDQUOT 61, EACCES/EPERM/EROFS 70,
// EIO/ETIMEDOUT/ENOMEDIUM/ENXIO/ENODEV/ESTALE 25, anything else 75.
[[noreturn]] void echec(int err, const QString& detail);
// A host path as the file-name bytes of the system calls (UTF-8).
QByteArray octets(const QString& hote);
// True for the errno values of a drive that does not answer.
bool estDelai(int err);
QString sansBarreFinale(QString chemin);
QString joindre(const QString& dossier, const QString& nom);
// Drive notation to host path: each existing name resolved without regard
// to case, bad names and drives that do not answer refused; `racine` tells
// whether the path names the drive's root itself.
QString versHote(const Configuration& c, const QString& chemin, bool* racine = nullptr);
// Runs `f`. When it fails while the drive of one of `chemins` (drive
// notation) no longer answers (a medium pulled out, a lazy unmount), the
// failure is that drive's: a missing file or folder there says nothing else.
template <class F>
void surLecteurs(const Configuration& c, std::initializer_list<QString> chemins, F&& f)
{
    try {
        f();
    } catch (const Erreur& e) {
        if (e.numero != ErrDelai)
            for (const QString& chemin : chemins) versHote(c, chemin);
        throw;
    }
}
// True when the host path names a .lnk or .url file (any case).
bool estRaccourci(const QString& hote);
// Throws unless the host folder `dossier` exists: ErrChemin when it is
// missing or no folder, what errno says when it cannot be reached.
void dossierExistant(const QByteArray& dossier, const QString& detail);
// Replaces the file at `hote` by `contenu`, whole or not at all, through a
// Temporaire. An existing read-only one is refused as the original platform
// does, whoever the user is; an existing one keeps its permission bits.
void remplacer(const QString& hote, const QByteArray& contenu);
// True when the user may not write the existing file at `hote`. A file with
// no write permission for anyone counts as read-only even for root, whom
// access(2) would let write it.
bool lectureSeule(const QString& hote);

// The hidden temporary file of a copy or a write, beside its destination:
// ".<name>.~assistant~XXXXXX" (".copie.~assistant~XXXXXX" for a name too
// long to carry). It is locked while it is written, so that a cleanup can
// tell it from the debris of a killed process, and removed on every way out
// unless `valider` renamed it over the destination. Making one first removes
// the debris that a killed write of the same name left (unless the caller
// did for the whole folder: `nettoyer` false).
class Temporaire {
public:
    // `dossier` and `nom` are the destination's host folder and name; a
    // failure throws as `echec` does, about `detail`. With `repere`, an open
    // folder (`dossier` then names it for the cleanup only), names are taken
    // in it: no path walked again for each file of a tree.
    // With `nouveau` (nothing is there under the name yet), the file is
    // made without a name where the file system can (O_TMPFILE), and gets
    // its name once complete: a killed write leaves nothing at all.
    Temporaire(const QByteArray& dossier, const QByteArray& nom, const QString& detail, bool nettoyer = true,
               int repere = AT_FDCWD, bool nouveau = false);
    ~Temporaire();
    Temporaire(const Temporaire&) = delete;
    Temporaire& operator=(const Temporaire&) = delete;
    int fd() const { return fd_; }
    // Closes (a late write error shows there) and renames over `destination`
    // (a name in `repere`, when given);
    // without `remplacer`, an entry already there under that name (whatever
    // it is) is never replaced: the failure is ErrExiste.
    void valider(const QByteArray& destination, const QString& detail, bool remplacer = true);

private:
    // A name in the folder: made with one (`chemin_`), or named last.
    void nommer(const QByteArray& debut, const QString& detail);
    QByteArray chemin_;
    int fd_ = -1;
    int repere_ = AT_FDCWD;
    bool anonyme_ = false;
};
// The part of a temporary file's name before its six random characters.
QByteArray prefixeTemporaire(const QByteArray& nom);
// Removes from the host folder the temporary files whose names are one of
// `prefixes` (any case) and six random characters: only plain files of this
// user's that no process holds locked. Throws when the folder cannot be read.
void supprimerRestes(const QByteArray& dossier, const QList<QByteArray>& prefixes);

// The process's umask (read once).
mode_t masqueCreation();
// Makes the host folder `hote` and the missing folders above it; a failure
// throws as `echec` does, with the errno of the level that could not be made
// (no space or inode left, a read-only file system…).
void creerDossiers(const QString& hote);

// Lets a write beyond the file-size limit fail (EFBIG) instead of killing
// the process with SIGXFSZ.
void ignorerDepassementTaille();
// Copies a host file, folder (with what it holds) or link as it is, rights
// and dates kept, to a destination that does not exist yet.
void copierArbre(const QString& source, const QString& destination);

// Writes all of `n` bytes, retrying short and interrupted writes; false with
// errno set on failure.
bool ecrireTout(int fd, const char* p, std::size_t n);

// The desktop of xdg-user-dirs: XDG_DESKTOP_DIR="$HOME/..." or an absolute
// path (the last definition wins, as in a shell); anything else (relative,
// missing file or line) gives ~/Desktop. Host path.
QString dossierBureau(const Configuration& c);

// The folders of xdg-user-dirs (XDG_DOCUMENTS_DIR… in user-dirs.dirs) by
// their name ("DOCUMENTS"), host paths.
QMap<QString, QString> dossiersUtilisateur(const Configuration& c);
// What the existing host folder `reel` (links resolved) is when it holds
// the user's own things, "" otherwise: see Plateforme::DossierProtege.
QString protection(const Configuration& c, const QString& reel);

// The drive table for a home directory, a user name and the text of
// /proc/self/mounts: c: the home, then one letter per volume mounted under
// /media/<user>, /run/media/<user> or /mnt, in the order of their mount
// points, and z: the root of the file system.
std::vector<Lecteur> lecteursDepuisMontages(const QByteArray& montages,
                                            const QString& utilisateur,
                                            const QString& home);

// The folder of the shortcut files of the special folders: W/liens, W being
// the wizard's data folder, the user's or all users' (host path).
QString dossierLiens(const Configuration& c, bool tous);
// The folders that desktops read, where the desktop entries paired with the
// shortcut files go, user's first and all users' second (host paths). The
// favourites' entries go into the applications folders: `favoris` is empty.
struct DossiersSpeciaux {
    QString bureau;
    QStringList applications, favoris, demarrage;
};
DossiersSpeciaux dossiersSpeciaux(const Configuration& c);

// ---- Desktop entries ------------------------------------------------------
// The key that marks an entry as ours, naming its shortcut file by its path
// below W/liens ("Programmes/Jeux/Agenda.lnk").
extern const QString CleMarque;
// The key that marks the entry starting an uninstall, naming its launcher.
extern const QString CleDesinstallation;
// That path as the mark's value, and back: "%" and control characters as
// %XX (their UTF-8), so that the mark names any file exactly.
QString valeurMarque(const QString& raccourci);
QString raccourciDeMarque(const QString& valeur);
// A folder as compared: without symbolic links when it exists.
QString cheminNormal(const QString& chemin);
// A value of type string in a desktop entry, escaped and read back.
QString echapper(const QString& v);
QString desechapper(const QString& v);
// What an existing entry says: its shortcut file ("" when it is not ours;
// the file name alone for an entry beside its link, as made before the
// links had folders of their own) and its icon.
struct Existante {
    bool presente = false;
    QByteArray texte;
    QString source, icone;
};
Existante lireEntree(const QString& chemin);
// The target of a shell link in drive notation: the local base path and
// the common path suffix of its LinkInfo, in their Unicode form when it has
// one; nothing for a partial link.
std::optional<QString> cibleLien(const QByteArray& lien);
// The URL= and IconFile= values of an Internet shortcut; those of its
// [InternetShortcut.W] section (UTF-7, for letters that Windows-1252 lacks)
// when it has them.
struct Url {
    QString url, fichierIcone;
};
Url lireUrl(const QByteArray& fichier);
// A path in drive notation ("c:\..." or "\..." on the installer's drive), as
// opposed to an address.
bool notationLecteur(const QString& s);
// Makes again the menu merge file and directory entries of the program group
// that holds `dossierEntree`, below the applications folder
// `racineApplications`; removes them with the group's last entry of ours.
void menuDuGroupe(const Configuration& c, const QString& racineApplications, const QString& dossierEntree);

// The hicolor icon theme where the entries' icons go: the user's, or all
// users' for their entries.
QString dossierIcones(const Configuration& c, bool tous = false);
// The theme name of the icon that the host file `sourceHote` brings, its
// files installed at every size it has; shared by every entry that shows the
// same file's icon; "" when it has none.
QString iconeDe(const Plateforme& p, const QString& sourceHote, bool tous = false);
// Every desktop entry under the special folders.
QStringList toutesLesEntrees(const Configuration& c);
// Deletes the files of one of our icons (an entry's Icon= value) once no
// entry shows it any more, and the theme's folders they leave empty.
void libererIcone(const Configuration& c, const QString& icone);

// ---- Install records -------------------------------------------------------
// One thing an install wrote or made, by its host path.
struct Element {
    enum Genre { Fichier, Lien, Dossier, Systeme, Raccourci, Entree, Menu, Icone, Desinstalleur };
    Genre genre;
    QString hote;
    qint64 taille = -1;      // files: size and SHA-256 (hex) as written
    QByteArray sha256;
    QString cible;           // symbolic links: what they point at
};
// The record of one install directory.
struct Releve {
    QString programme, version;
    QString repertoire;      // drive notation, as chosen
    QString emplacement;     // where it really is (host path, links resolved)
    QString date;            // local time, "2026-12-09 10:31:02"
    bool tousUtilisateurs = false;
    QString assistant;       // the kept wizard's folder name, "" without one
    std::vector<Element> elements;
    QString fichier;         // host path of the record read, "" for a new one
    // The element of a host path, or null (an index kept in step, so that a
    // tree of thousands of files is looked up in no time). Elements are
    // added, never removed.
    Element* trouver(const QString& hote);

private:
    QHash<QString, std::size_t> index_;
};
// The record being made by the install under way, or null; what the
// platform writes or makes meanwhile goes into it.
Releve* inventaireActif();
void activerInventaire(Releve* r);
void inventorier(Element e);
// A file written whole with `contenu`.
void inventorierEcrit(Element::Genre genre, const QString& hote, const QByteArray& contenu);
// SHA-256, by nettle: the base systems all have it, and it uses the
// processor's own instructions where it has them (the files of a tree of
// thousands are hashed as they are copied).
class Sha256 {
public:
    Sha256() { sha256_init(&ctx_); }
    void ajouter(QByteArrayView octets)
    {
        sha256_update(&ctx_, std::size_t(octets.size()), reinterpret_cast<const std::uint8_t*>(octets.data()));
    }
    // In hexadecimal, as the record writes it; the hash starts again.
    QByteArray hex();

private:
    sha256_ctx ctx_;
};
// The SHA-256 (hex) of a regular file and its size; "" when it is no
// regular file or cannot be read.
QByteArray empreinte(const QString& hote, qint64* taille = nullptr);
// What a symbolic link points at, as written; "" for anything else.
QString cibleDe(const QString& hote);
// Whether the thing is still as the install left it (same size and SHA-256,
// or the same link).
bool intact(const Element& e);
QByteArray texteReleve(const Releve& r);
// With `elements` false, the header alone (who, what, where): what a list
// of the installs needs, read in no time whatever the install wrote.
std::optional<Releve> lireReleve(const QString& fichier, bool elements = true);
// The wizard's data folder (W), the user's or all users'.
QString dossierDonnees(const Configuration& c, bool tous);
// The name of the record's folder for an install directory (host path).
QString nomReleve(const QString& emplacement, const QString& programme);
// Copies the regular file `hs` to `hd` (host paths, its folder existing),
// whole or not at all, keeping its rights and dates; `source` and
// `destination` name them in failures. The copy goes into the install's
// record as `genre`. With `nettoyer`, what a killed copy of the same name
// left is removed first. With `reperes`, `hs` and `hd` are names in open
// folders, and the record names the copy by `reperes.hote`.
struct Reperes {
    int source = AT_FDCWD, destination = AT_FDCWD;
    QString hote;
};
void copierHote(const QByteArray& hs, const QByteArray& hd, const QString& source, const QString& destination,
                const std::function<void()>& entreBlocs, bool remplacer, Element::Genre genre, bool nettoyer,
                const Reperes& reperes = {});
// Every record of this account and of all users.
std::vector<Releve> releves(const Configuration& c, bool elements = false);
// Keeps one copy of the running wizard in the folder `dossier` (W/assistant),
// shared by every install it makes; the copy's name, "" when there is no
// wizard to keep (Configuration::executable empty).
QString conserverAssistant(const Configuration& c, const QString& dossier, const Version& v);
// Writes the desktop entry `nom` that starts the uninstall (the kept
// launcher `lanceur` with --desinstaller), in the menu folder paired with
// the program group's link folder `groupe` (host path), with the icon of
// the installed program `programme` (host path, "" for none).
void ecrireDesinstalleur(const Plateforme& p, const QString& groupe, const QString& nom, const QString& lanceur,
                         const QString& programme);
// Removes one of our desktop entries (not the user's own), the menus and
// icon following; true when it did.
bool retirerEntree(const Configuration& c, const QString& chemin);

// ---- Icons -----------------------------------------------------------------
// True when the existing host file is a program: executable, or an ELF or
// Windows program file.
bool estProgramme(const QString& hote);
// The icon that the host file brings with it, `taille` pixels square, or a
// null image: the first icon of a Windows program, library or .ico file,
// else for a program an image beside it with the same base name
// (meteo.png, .svg or .ico for meteo or meteo.exe).
QImage iconePropre(const QString& hote, int taille);
// The first icon of the bytes of a Windows program, library or .ico file.
QImage iconeWindows(const QByteArray& octets, int taille);
// The largest side of a picture that an icon is drawn from.
inline constexpr int CoteImageMaximum = 4096;
// PNG bytes decoded at `taille` pixels square (at that size already while
// decoding, where Qt can); a null image for one that declares more than
// CoteImageMaximum pixels a side, whose decoding would take more than 64 MB
// (Qt's allocation limit, which it sets for the process), or that does not
// decode.
QImage decoderPng(const QByteArray& octets, int taille);
// The files of the icon that the host file brings, for the icon theme: a
// sidecar SVG as it is (checked) under "scalable"; a sidecar PNG as it is
// under its own size, and drawn at 48, 64, 128 and 256 when it is larger;
// a Windows icon at 32. Folder names as hicolor's ("48x48"). None when the
// file brings no icon.
struct FichierIcone {
    QString dossier, extension;
    QByteArray octets;
};
std::vector<FichierIcone> fichiersIcone(const QString& hote);
// An image brought to `taille` pixels square, its proportions kept and the
// rest transparent.
QImage auCarre(const QImage& image, int taille);
// The theme's generic program icon, or a neutral one drawn here where the
// machine has no icon theme.
QImage iconeGenerique(int taille);
// The theme's name of that icon, for desktop entries.
inline constexpr char NomIconeGenerique[] = "application-x-executable";

}  // namespace plateforme::interne
