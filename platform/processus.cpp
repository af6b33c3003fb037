// Processes and the toolkit: message boxes, events, the pointer, starting
// a program or a document, the clock, the beep and the end.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plateforme {

using interne::echec;
using interne::octets;

// ---- Toolkit -------------------------------------------------------------------

int Plateforme::MsgBox(const QString& texte, int style, const QString& titre)
{
    QMessageBox boite(QApplication::activeWindow());
    boite.setWindowTitle(titre);
    boite.setTextFormat(Qt::PlainText);
    QString lignes = texte;
    lignes.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    boite.setText(lignes);

    switch (style & 0x70) {
    case vbCritical: boite.setIcon(QMessageBox::Critical); break;
    case vbQuestion: boite.setIcon(QMessageBox::Question); break;
    case vbExclamation: boite.setIcon(QMessageBox::Warning); break;
    case vbInformation: boite.setIcon(QMessageBox::Information); break;
    default: break;
    }

    struct Bouton {
        const char* texte;
        QMessageBox::ButtonRole role;
        int reponse;
    };
    const Bouton ok{"OK", QMessageBox::AcceptRole, vbOK};
    const Bouton annuler{"Annuler", QMessageBox::RejectRole, vbCancel};
    const Bouton abandonner{"&Abandonner", QMessageBox::DestructiveRole, 3};
    const Bouton recommencer{"&Recommencer", QMessageBox::AcceptRole, 4};
    const Bouton ignorer{"&Ignorer", QMessageBox::ActionRole, 5};
    const Bouton oui{"&Oui", QMessageBox::YesRole, vbYes};
    const Bouton non{"&Non", QMessageBox::NoRole, vbNo};
    std::vector<Bouton> jeu;
    switch (style & 7) {
    case 1: jeu = {ok, annuler}; break;
    case 2: jeu = {abandonner, recommencer, ignorer}; break;
    case 3: jeu = {oui, non, annuler}; break;
    case 4: jeu = {oui, non}; break;
    case 5: jeu = {recommencer, annuler}; break;
    default: jeu = {ok}; break;
    }

    std::vector<std::pair<QAbstractButton*, int>> boutons;
    for (const Bouton& b : jeu) {
        QPushButton* bouton = boite.addButton(QString::fromUtf8(b.texte), b.role);
        boutons.emplace_back(bouton, b.reponse);
        if (b.reponse == vbCancel) boite.setEscapeButton(bouton);
    }
    if (jeu.size() == 1) boite.setEscapeButton(boutons[0].first);
    const std::size_t defaut = std::min<std::size_t>((style >> 8) & 3, boutons.size() - 1);
    boite.setDefaultButton(static_cast<QPushButton*>(boutons[defaut].first));

    boite.exec();
    for (const auto& [bouton, reponse] : boutons)
        if (boite.clickedButton() == bouton) return reponse;
    return jeu.size() == 1 ? jeu[0].reponse : vbCancel;
}

void Plateforme::LaisserEvenements() { QCoreApplication::processEvents(); }

void Plateforme::Repeindre() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void Plateforme::Sablier(bool occupe)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    // One level of override at most, so that "normal" is normal however many
    // times "busy" was asked for.
    if (occupe) {
        if (!QGuiApplication::overrideCursor()) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    }
}

bool Plateforme::Demarrer(const QString& programme)
{
    const QString hote = VersHote(programme);
    struct stat st;
    if (::stat(octets(hote).constData(), &st) != 0) echec(errno, hote);
    if (!S_ISREG(st.st_mode)) throw Erreur{ErrIntrouvable, hote};

    // Everything the child needs is ready before fork: after it, only
    // async-signal-safe calls.
    QByteArray chemin = octets(hote);
    const QByteArray dossier = octets(hote.left(std::max<qsizetype>(hote.lastIndexOf(u'/'), 1)));
    char sh[] = "sh";
    char* arguments[] = {chemin.data(), nullptr};
    char* argumentsSh[] = {sh, chemin.data(), nullptr};

    int tube[2];
    if (::pipe2(tube, O_CLOEXEC) != 0) echec(errno, hote);
    const pid_t enfant = ::fork();
    if (enfant < 0) {
        const int err = errno;
        ::close(tube[0]);
        ::close(tube[1]);
        echec(err, hote);
    }
    if (enfant == 0) {
        // Detached: a grandchild in a session of its own, adopted by init.
        ::close(tube[0]);
        ::setsid();
        const pid_t petit = ::fork();
        if (petit != 0) ::_exit(petit < 0 ? 1 : 0);
        ::signal(SIGPIPE, SIG_DFL);
        int err = 0;
        if (::chdir(dossier.constData()) != 0) {
            err = errno;
        } else {
            ::execv(chemin.constData(), arguments);
            // A file with no known executable format is a shell script, as
            // execvp treats it.
            if (errno == ENOEXEC) ::execv("/bin/sh", argumentsSh);
            err = errno;
        }
        [[maybe_unused]] const ssize_t n = ::write(tube[1], &err, sizeof err);
        ::_exit(127);
    }

    ::close(tube[1]);
    int statut = 0;
    while (::waitpid(enfant, &statut, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t lus;
    while ((lus = ::read(tube[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(tube[0]);
    if (lus == ssize_t(sizeof err)) echec(err, hote);
    if (!WIFEXITED(statut) || WEXITSTATUS(statut) != 0) echec(EAGAIN, hote);
    return true;
}

bool Plateforme::OuvrirDocument(const QString& chemin)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(VersHote(chemin)));
}

void Plateforme::Terminer() { std::_Exit(0); }

double Plateforme::Horloge()
{
    const QDateTime maintenant = QDateTime::currentDateTime();
    return double(QDate(1899, 12, 30).daysTo(maintenant.date()))
        + maintenant.time().msecsSinceStartOfDay() / 86400000.0;
}

void Plateforme::Bip() { QApplication::beep(); }

}  // namespace plateforme
