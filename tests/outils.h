// Shared test fixtures: the real Linux platform on a drive table and XDG
// folders of the test's own, with only what needs a person or ends the
// process replaced.
#pragma once

#include "platform/plateforme.h"

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <ostream>
#include <vector>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Thrown by the test platform where the real one ends the process.
struct FinProgramme {};

struct BoiteMessage {
    QString texte;
    int style;
    QString titre;
};
using Boites = std::vector<BoiteMessage>;
// Message boxes compare whole: text, style and title.
inline bool operator==(const BoiteMessage& a, const BoiteMessage& b)
{
    return a.texte == b.texte && a.style == b.style && a.titre == b.titre;
}
inline void PrintTo(const BoiteMessage& b, std::ostream* os)
{
    *os << b.style << " \"" << b.titre.toStdString() << "\" " << b.texte.toStdString();
}

class PlateformeTest : public plateforme::Plateforme {
public:
    // Lays out, under `racine`: home/ (c:), media/AGENDA/ (d:, the
    // installer's folder by default) and sys/ (z:, with the all-users XDG
    // folders under sys/usr/local/share and sys/etc/xdg).
    static plateforme::Configuration configurationDans(const QString& racine);
    explicit PlateformeTest(const QString& racine);
    explicit PlateformeTest(plateforme::Configuration c);

    // Answers given to the next message boxes, in order. When none is left
    // the box answers its first button (OK or Yes).
    std::deque<int> reponses;
    std::vector<BoiteMessage> boites;
    std::vector<QString> demarres;
    std::vector<QString> ouverts;
    int fins = 0;
    int bips = 0;
    // The clock: real time, unless `pasHorloge` is set; then each reading
    // advances it by that many days, so a 4.32-second wait passes quickly.
    double horloge = 46000.0;
    double pasHorloge = 0.0;

    // Runs where the procedures let events run, so that a test can act there.
    std::function<void()> crochet;

    int MsgBox(const QString& texte, int style, const QString& titre) override;
    void LaisserEvenements() override;
    bool Demarrer(const QString& programme) override;
    bool OuvrirDocument(const QString& chemin) override;
    [[noreturn]] void Terminer() override;
    double Horloge() override;
    void Bip() override;
};

// A temporary directory with a test platform laid out in it.
// What a test mounted inside it (monterTmpfs) is unmounted with it.
struct Bac {
    ~Bac();
    QTemporaryDir dir;
    QString racine() const { return dir.path(); }
    QString home() const { return dir.path() + "/home"; }
    QString support() const { return dir.path() + "/media/AGENDA"; }
};

// Qt's offscreen platform (unless another is asked for) and an
// XDG_RUNTIME_DIR of the caller's own, before the QApplication is made.
void environnementHorsEcran(const QTemporaryDir& runtime);

// Writes raw bytes to a host file, creating its folders.
void ecrireFichier(const QString& chemin, const QByteArray& octets);
QByteArray lireFichier(const QString& chemin);
// Copies the sample medium (Install.inf and its files) into `dossier`, with
// Agenda.exe, a Windows program file with the sample's icon.
void copierSupportExemple(const QString& dossier);
// The sample medium in `dossier`, with some keys of its Install.inf given
// other values (a key it lacks is added at the end).
void preparerSupport(const QString& dossier, const QMap<QString, QString>& cles = {});

// The built wizard beside the medium at `dossier`, as a publisher ships it;
// false when it could not be put there.
bool copierSetup(const QString& dossier);
// The environment of the built wizard run as a child on the bac: no display
// at all, its home and its XDG folders.
QProcessEnvironment environnementSansEcran(const Bac& bac);

// Every file and folder under `racine`, hidden ones included, by its path
// below it: a folder as "/", a file as its bytes.
QMap<QString, QByteArray> arbre(const QString& racine);
// The fields lnkinfo reads in a shell link ("Local path" -> "C:\\..."); the
// test fails when lnkinfo does not read it cleanly.
QMap<QString, QString> lnkinfo(const QString& hote);
// The platform error that `f` throws, number 0 when it succeeds.
template <class F>
plateforme::Erreur echec(F&& f)
{
    try {
        f();
    } catch (const plateforme::Erreur& e) {
        return e;
    }
    return {0, {}};
}
// Runs `f` in a forked child; its exit code, -1 when it did not exit.
int dansUnEnfant(const std::function<int()>& f);

// Mounts a tmpfs of `octets` bytes (read-only when asked; with at most
// `inodes` files and folders, its root included, when given) at `dossier`,
// in a mount namespace of the test process's own, so that nothing outlives
// the test. False when the system refuses (the test must then fail, not skip).
bool monterTmpfs(const QString& dossier, qint64 octets, bool lectureSeule = false, qint64 inodes = 0);
