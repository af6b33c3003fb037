// Temporary minimal implementation; replaced by the full Linux platform.
#include "platform/plateforme.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringDecoder>

#include <cstdlib>

namespace plateforme {

Configuration Configuration::depuisEnvironnement()
{
    Configuration c;
    c.home = QDir::homePath();
    c.lecteurs.push_back({'c', c.home, c.home});
    c.lecteurs.push_back({'z', "/", "/"});
    c.dossierPropre = QCoreApplication::applicationDirPath();
    c.xdgDataHome = c.home + "/.local/share";
    c.xdgConfigHome = c.home + "/.config";
    c.xdgDataDir = "/usr/local/share";
    c.xdgConfigDir = "/etc/xdg";
    c.repertoireSysteme = c.home + "/.local/lib";
    return c;
}

Plateforme::Plateforme(Configuration config) : config_(std::move(config)) {}
Plateforme::~Plateforme() = default;

QString Plateforme::VersHote(const QString& chemin) const
{
    if (chemin.size() < 2 || chemin[1] != ':') throw Erreur{ErrNomInvalide, chemin};
    for (const auto& l : config_.lecteurs)
        if (l.lettre == chemin[0].toLower()) {
            QString r = chemin.mid(2);
            r.replace('\\', '/');
            return l.racine + r;
        }
    throw Erreur{ErrNomInvalide, chemin};
}
QString Plateforme::VersLecteur(const QString& hote) const
{
    for (const auto& l : config_.lecteurs)
        if (hote.startsWith(l.racine)) {
            QString r = hote.mid(l.racine.size());
            r.replace('/', '\\');
            return QString(l.lettre) + ":" + (r.isEmpty() ? "\\" : r);
        }
    return hote;
}
QStringList Plateforme::TextesLecteurs() const
{
    QStringList t;
    for (const auto& l : config_.lecteurs) t << QString("%1: [%2]").arg(l.lettre).arg(l.libelle);
    return t;
}
QString Plateforme::Lister(const QString& chemin, bool repertoires) const
{
    QFileInfo i(VersHote(chemin));
    if ((i.isFile() || (repertoires && i.isDir())) && !i.fileName().startsWith('.')) return i.fileName();
    return {};
}
QStringList Plateforme::FichiersNormaux(const QString& dossier) const
{
    QDir d(VersHote(dossier));
    if (!d.exists()) throw Erreur{ErrChemin, dossier};
    return d.entryList(QDir::Files, QDir::Name);
}
void Plateforme::CreerRepertoire(const QString& c) { if (!QDir().mkdir(VersHote(c))) throw Erreur{ErrAcces, c}; }
void Plateforme::SupprimerRepertoire(const QString& c) { if (!QDir().rmdir(VersHote(c))) throw Erreur{ErrAcces, c}; }
void Plateforme::SupprimerFichier(const QString& c) { if (!QFile::remove(VersHote(c))) throw Erreur{ErrAcces, c}; }
std::int64_t Plateforme::DateModification(const QString& c) const
{
    QFileInfo i(VersHote(c));
    if (!i.exists()) throw Erreur{ErrIntrouvable, c};
    return i.lastModified().toMSecsSinceEpoch() * 1000000;
}
std::int64_t Plateforme::Longueur(const QString& c) const { return QFileInfo(VersHote(c)).size(); }
QStringList Plateforme::LireLignes(const QString& c) const
{
    QFile f(VersHote(c));
    if (!f.open(QIODevice::ReadOnly)) throw Erreur{ErrIntrouvable, c};
    QStringDecoder dec("windows-1252");
    QString t = dec(f.readAll());
    t.replace("\r\n", "\r");
    QStringList l = t.split('\r');
    if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
    return l;
}
void Plateforme::EcrireLignes(const QString&, const QStringList&) {}
QByteArray Plateforme::LireOctets(const QString&) const { return {}; }
void Plateforme::EcrireOctets(const QString&, std::int64_t, const QByteArray&, bool) {}
QString Plateforme::DossierPropre() const { return VersLecteur(config_.dossierPropre); }
QString Plateforme::RepertoireSysteme() const { return VersLecteur(config_.repertoireSysteme); }
void Plateforme::EffacerReglages(const QString&) {}
int Plateforme::MsgBox(const QString& texte, int, const QString& titre)
{
    QMessageBox::information(nullptr, titre, texte);
    return vbOK;
}
void Plateforme::LaisserEvenements() { QCoreApplication::processEvents(); }
void Plateforme::Repeindre() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
void Plateforme::Sablier(bool) {}
bool Plateforme::Demarrer(const QString&) { return false; }
bool Plateforme::OuvrirDocument(const QString&) { return false; }
void Plateforme::Terminer() { std::_Exit(0); }
double Plateforme::Horloge() { return 0; }
void Plateforme::Bip() {}

}  // namespace plateforme

#include "platform/linux_interne.h"
#include <cerrno>
namespace plateforme::interne {
void echec(int err, const QString& detail) { throw Erreur{err == ENOENT ? ErrIntrouvable : ErrAcces, detail}; }
QByteArray octets(const QString& hote) { return hote.toUtf8(); }
bool estRaccourci(const QString& hote) { return hote.endsWith(".lnk", Qt::CaseInsensitive) || hote.endsWith(".url", Qt::CaseInsensitive); }
}
