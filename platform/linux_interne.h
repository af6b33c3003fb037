// Helpers shared by the Linux implementation files of the platform.
#pragma once

#include "platform/plateforme.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <sys/types.h>

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
// the debris that a killed write of the same name left.
class Temporaire {
public:
    // `dossier` and `nom` are the destination's host folder and name; a
    // failure throws as `echec` does, about `detail`.
    Temporaire(const QByteArray& dossier, const QByteArray& nom, const QString& detail);
    ~Temporaire();
    Temporaire(const Temporaire&) = delete;
    Temporaire& operator=(const Temporaire&) = delete;
    int fd() const { return fd_; }
    // Closes (a late write error shows there) and renames over `destination`.
    void valider(const QByteArray& destination, const QString& detail);

private:
    QByteArray chemin_;
    int fd_ = -1;
};
// The part of a temporary file's name before its six random characters.
QByteArray prefixeTemporaire(const QByteArray& nom);
// Removes from the host folder the temporary files whose names are one of
// `prefixes` (any case) and six random characters: only plain files of this
// user's that no process holds locked. Throws when the folder cannot be read.
void supprimerRestes(const QByteArray& dossier, const QList<QByteArray>& prefixes);

// Writes all of `n` bytes, retrying short and interrupted writes; false with
// errno set on failure.
bool ecrireTout(int fd, const char* p, std::size_t n);

// The desktop of xdg-user-dirs: XDG_DESKTOP_DIR="$HOME/..." or an absolute
// path (the last definition wins, as in a shell); anything else (relative,
// missing file or line) gives ~/Desktop. Host path.
QString dossierBureau(const Configuration& c);

// The drive table for a home directory, a user name and the text of
// /proc/self/mounts: c: the home, then one letter per volume mounted under
// /media/<user>, /run/media/<user> or /mnt, in the order of their mount
// points, and z: the root of the file system.
std::vector<Lecteur> lecteursDepuisMontages(const QByteArray& montages,
                                            const QString& utilisateur,
                                            const QString& home);

// Makes the host folder and those it lies in, as mkdir -p; throws what
// errno says of the first level that could not be made (ErrChemin when a
// file stands in the way).
void creerDossiers(const QString& hote);
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

// The folder of the entries' icon PNGs.
QString dossierIcones(const Configuration& c);
// The PNG of the icon that the host file `sourceHote` brings, shared by every
// entry that shows the same file's icon; "" when it has none.
QString iconeDe(const Plateforme& p, const QString& sourceHote);
// Every desktop entry under the special folders.
QStringList toutesLesEntrees(const Configuration& c);
// Deletes one of our icon PNGs once no entry shows it any more.
void libererIcone(const Configuration& c, const QString& icone);

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
// An image brought to `taille` pixels square, its proportions kept and the
// rest transparent.
QImage auCarre(const QImage& image, int taille);
// The theme's generic program icon, or a neutral one drawn here where the
// machine has no icon theme.
QImage iconeGenerique(int taille);
// The theme's name of that icon, for desktop entries.
inline constexpr char NomIconeGenerique[] = "application-x-executable";

}  // namespace plateforme::interne
