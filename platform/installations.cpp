// What outlives an install: its record, the description it came from and a
// copy of the wizard that made it (shared by every install of the same
// wizard), so that the program can be upgraded cleanly and uninstalled once
// the medium is gone. The procedures see installs through these operations;
// the records themselves are in inventaire.cpp.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace plateforme {

using interne::Element;
using interne::Releve;

struct Plateforme::Releves {
    std::optional<Releve> nouveau;  // the install under way
    std::optional<Releve> ancien;   // the earlier record of its directory
    bool enregistre = false;        // the stale things removed
    bool conserve = false;          // the copy of the wizard tried
    std::vector<Element> desinstalleurs;   // the earlier install's uninstall entries
    std::optional<Releve> lu;       // the record last read for the uninstall
};

Plateforme::Plateforme(Configuration config) : config_(std::move(config)), releves_(std::make_unique<Releves>()) {}

Plateforme::~Plateforme() { FermerInventaire(); }

namespace {

const QString NomReleve = QStringLiteral("installation.txt");

// The folder a host path really is; the path as written when it does not
// exist (a directory removed by hand keeps its record's name).
QString reel(const QString& hote)
{
    char* r = ::realpath(interne::octets(hote).constData(), nullptr);
    if (!r) return QDir::cleanPath(hote);
    const QString s = QString::fromUtf8(r);
    std::free(r);
    return s;
}

bool dans(const QString& chemin, const QString& dossier) { return chemin.startsWith(dossier + u'/'); }

Installation installation(const Plateforme& p, const Releve& r)
{
    // Drive letters follow the mounts of the day: the place, not the letter.
    QString repertoire = p.VersLecteur(r.emplacement);
    if (repertoire.isEmpty()) repertoire = r.repertoire;
    return {r.programme, r.version, repertoire, r.date, r.tousUtilisateurs};
}

std::optional<Releve> releveDans(const Configuration& c, const QString& emplacement, const QString& programme)
{
    for (const Releve& r : interne::releves(c))
        if (r.emplacement == emplacement && r.programme == programme) return interne::lireReleve(r.fichier);
    return std::nullopt;
}

// The kept copy's script: the shared wizard, on this install's description.
QByteArray script(const QString& assistant, const QString& dossier, const Releve& r)
{
    const auto cite = [](QString s) { return u'\'' + s.replace(u'\'', QLatin1String("'\\''")) + u'\''; };
    return ("#!/bin/sh\n# Désinstalle " + r.programme + " (" + r.repertoire +
            ") avec l'assistant qui l'a installé.\nexec " + cite(assistant + QStringLiteral("/setup")) +
            " --support=" + cite(dossier) + " \"$@\"\n")
        .toUtf8();
}

// Removes a folder of ours and what is in it, links as links.
void supprimerArbre(const QString& dossier)
{
    QDirIterator it(dossier, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList dossiers;
    while (it.hasNext()) {
        const QString f = it.next();
        const QFileInfo i(f);
        if (i.isDir() && !i.isSymLink()) dossiers.prepend(f);
        else ::unlink(interne::octets(f).constData());
    }
    for (const QString& d : dossiers) ::rmdir(interne::octets(d).constData());
    ::rmdir(interne::octets(dossier).constData());
}

// The kept wizard goes with the last install of its data folder W that
// uses it.
void liberer(const QString& W, const QString& assistant)
{
    if (assistant.isEmpty() || assistant.contains(u'/') || assistant.startsWith(u'.')) return;
    const QDir d(W + QStringLiteral("/installations"));
    for (const QString& nom : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (const auto r = interne::lireReleve(d.filePath(nom) + u'/' + NomReleve); r && r->assistant == assistant)
            return;
    supprimerArbre(W + QStringLiteral("/assistant/") + assistant);
}

}  // namespace

namespace {

// The name this wizard is kept under: the same wizard (to the byte) is kept
// once, whatever installed it. Empty when it cannot be told.
QString nomAssistant(const Configuration& c, const Version& v)
{
    if (c.executable.isEmpty()) return {};
    const QByteArray sha = interne::empreinte(c.executable);
    if (sha.isEmpty()) return {};
    return QStringLiteral("%1.%2.%3-").arg(v.majeur).arg(v.mineur).arg(v.revision) + QString::fromLatin1(sha.left(12));
}

// The device of `hote`, or of the nearest folder above it that exists.
std::optional<dev_t> peripherique(QString hote)
{
    struct stat st {};
    while (::stat(interne::octets(hote).constData(), &st) != 0) {
        const QString parent = QFileInfo(hote).absolutePath();
        if (parent == hote) return std::nullopt;
        hote = parent;
    }
    return st.st_dev;
}

}  // namespace

qint64 Plateforme::OctetsAssistantAConserver(const QString& lecteur, bool tousUtilisateurs) const
{
    const QString nom = nomAssistant(config_, VersionPropre());
    if (nom.isEmpty()) return 0;
    const QString W = interne::dossierDonnees(config_, tousUtilisateurs);
    if (QFileInfo(W + QStringLiteral("/assistant/") + nom + QStringLiteral("/setup")).isFile()) return 0;
    std::optional<dev_t> ici;
    try {
        ici = peripherique(VersHote(lecteur + u'\\'));
    } catch (const Erreur&) {
    }
    if (!ici || ici != peripherique(W)) return 0;
    if (config_.racineAssistant.isEmpty()) return QFileInfo(config_.executable).size();
    return QFileInfo(config_.racineAssistant + QStringLiteral("/setup")).size()
        + MesurerArborescence(VersLecteur(config_.racineAssistant + QStringLiteral("/assistant"))).octets;
}

QString interne::conserverAssistant(const Configuration& c, const QString& dossier, const Version& v)
{
    const QString nom = nomAssistant(c, v);
    if (nom.isEmpty()) return {};
    const QString cible = dossier + u'/' + nom;
    if (QFileInfo(cible + QStringLiteral("/setup")).isFile()) return nom;
    creerDossiers(dossier);
    // Made aside and put in place whole: a copy cut short is never taken
    // for the wizard.
    QByteArray modele = octets(dossier + QStringLiteral("/.") + nom + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(modele.data())) echec(errno, dossier);
    const QString temp = QString::fromUtf8(modele);
    try {
        ::chmod(modele.constData(), 0777 & ~masqueCreation());
        if (!c.racineAssistant.isEmpty()) {
            copierArbre(c.racineAssistant + QStringLiteral("/setup"), temp + QStringLiteral("/setup"));
            copierArbre(c.racineAssistant + QStringLiteral("/assistant"), temp + QStringLiteral("/assistant"));
        } else {
            copierArbre(c.executable, temp + QStringLiteral("/setup"));
        }
        if (::rename(modele.constData(), octets(cible).constData()) != 0 && !QFileInfo(cible + QStringLiteral("/setup")).isFile())
            echec(errno, cible);
    } catch (...) {
        supprimerArbre(temp);
        throw;
    }
    if (QFileInfo::exists(temp)) supprimerArbre(temp);   // another run kept it meanwhile
    return nom;
}

std::vector<Installation> Plateforme::Installations() const
{
    std::vector<Installation> r;
    for (const Releve& releve : interne::releves(config_)) r.push_back(installation(*this, releve));
    return r;
}

std::optional<Installation> Plateforme::InstallationDans(const QString& repertoire, const QString& programme) const
{
    if (auto r = releveDans(config_, reel(VersHote(repertoire)), programme)) return installation(*this, *r);
    return std::nullopt;
}

std::optional<Installation> Plateforme::InstallationDe(const QString& programme, const QString& repertoire) const
{
    // Started from its kept copy: that copy's own install.
    if (auto r = interne::lireReleve(config_.dossierPropre + u'/' + NomReleve, false)) return installation(*this, *r);
    std::optional<Releve> dernier;
    for (Releve& r : interne::releves(config_)) {
        if (r.programme != programme) continue;
        try {
            if (r.emplacement == reel(VersHote(repertoire))) return installation(*this, r);
        } catch (const Erreur&) {
        }
        if (!dernier || r.date > dernier->date) dernier = std::move(r);
    }
    if (dernier) return installation(*this, *dernier);
    return std::nullopt;
}

bool Plateforme::CopieConservee() const { return QFileInfo(config_.dossierPropre + u'/' + NomReleve).isFile(); }

// ---- The install ---------------------------------------------------------------

void Plateforme::CommencerInventaire(const QString& repertoire, const QString& programme)
{
    FermerInventaire();
    Releve& r = releves_->nouveau.emplace();
    r.repertoire = repertoire;
    r.emplacement = reel(VersHote(repertoire));
    r.programme = programme;
    releves_->ancien = releveDans(config_, r.emplacement, programme);
    releves_->enregistre = releves_->conserve = false;
    interne::activerInventaire(&r);
}

void Plateforme::FermerInventaire()
{
    if (releves_->nouveau && interne::inventaireActif() == &*releves_->nouveau) interne::activerInventaire(nullptr);
    releves_->nouveau.reset();
    releves_->ancien.reset();
}

void Plateforme::InventorierGarde(const QString& chemin)
{
    if (!releves_->nouveau || !releves_->ancien) return;
    // A file kept as it was is the program's only if the earlier install
    // wrote it and it has not changed since: a user's own stays the user's.
    const Element* e = releves_->ancien->trouver(VersHote(chemin));
    if (e && (e->genre == Element::Fichier || e->genre == Element::Lien) && interne::intact(*e)) interne::inventorier(*e);
}

void Plateforme::EnregistrerInventaire(const Enregistrement& d)
{
    if (!releves_->nouveau) return;
    Releve& r = *releves_->nouveau;
    // An install that wrote nothing has nothing to record.
    if (r.elements.empty() && !releves_->ancien) return;
    r.programme = d.programme;
    r.version = d.version;
    r.tousUtilisateurs = d.tousUtilisateurs;
    r.date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString W = interne::dossierDonnees(config_, d.tousUtilisateurs);
    const QString dossier = W + QStringLiteral("/installations/") + interne::nomReleve(r.emplacement, r.programme);

    if (!releves_->enregistre) {
        releves_->enregistre = true;
        if (releves_->ancien) {
            const Releve& ancien = *releves_->ancien;
            const auto nouveau = [&](const QString& hote) { return r.trouver(hote) != nullptr; };
            if (d.complet) {
                // An upgrade: what the earlier install wrote and this one did
                // not goes, unless the user changed it since.
                QStringList dossiers;
                for (const Element& e : ancien.elements) {
                    if (nouveau(e.hote)) continue;
                    switch (e.genre) {
                    case Element::Dossier: dossiers.prepend(e.hote); break;
                    case Element::Systeme: interne::inventorier(e); break;   // shared: never removed
                    case Element::Menu: case Element::Icone: break;   // follow the entries
                    case Element::Desinstalleur: releves_->desinstalleurs.push_back(e); break;   // made again below
                    default: retirerElement(e, QString::fromUtf8("plus installé par cette version")); break;
                    }
                }
                std::sort(dossiers.begin(), dossiers.end(), std::greater<>());
                for (const QString& dd : dossiers) ::rmdir(interne::octets(dd).constData());
            } else {
                // Incomplete: the record holds both, so that nothing of
                // either is forgotten.
                for (const Element& e : ancien.elements)
                    if (!nouveau(e.hote)) interne::inventorier(e);
            }
            // Folders that the earlier install made and this one found (or
            // could not remove: they hold something).
            for (const Element& e : ancien.elements)
                if (e.genre == Element::Dossier && QFileInfo(e.hote).isDir()) interne::inventorier(e);
        }
    }
    // The copy of the wizard, the first time: one that fails for want of
    // room is taken away whole, and the record still goes in, so that the
    // uninstall from a medium finds it.
    std::optional<Erreur> echecCopie;
    if (!releves_->conserve) {
        releves_->conserve = true;
        try {
            conserver(dossier, d);
        } catch (const Erreur& e) {
            echecCopie = Erreur{e.numero, QString::fromUtf8("copie de l'assistant pour la désinstallation"), e.systeme};
        }
        // The earlier uninstall entry, where this install made none in its place.
        for (const Element& e : std::exchange(releves_->desinstalleurs, {}))
            if (!r.trouver(e.hote)) retirerElement(e, {});
    }
    interne::creerDossiers(dossier);
    interne::remplacer(dossier + u'/' + NomReleve, interne::texteReleve(r));
    if (releves_->ancien) {
        // The record moved (to all users' or back): the old one goes.
        if (!releves_->ancien->fichier.isEmpty() && QFileInfo(releves_->ancien->fichier).absolutePath() != dossier) {
            supprimerArbre(QFileInfo(releves_->ancien->fichier).absolutePath());
            releves_->ancien->fichier.clear();
        }
        // The wizard the earlier install kept, when nothing uses it any more.
        liberer(W, releves_->ancien->assistant);
    }
    if (echecCopie) throw *echecCopie;
}

// The description and the wizard, kept where the record is, and the menu
// entry that starts the uninstall from them.
void Plateforme::conserver(const QString& dossier, const Enregistrement& d)
{
    Releve& r = *releves_->nouveau;
    const QString W = QFileInfo(QFileInfo(dossier).absolutePath()).absolutePath();
    interne::creerDossiers(dossier);
    QString inf;
    for (const QString& n : QDir(config_.dossierPropre).entryList(QDir::Files))
        if (n.compare(QLatin1String("Install.inf"), Qt::CaseInsensitive) == 0) inf = n;
    if (!inf.isEmpty() && QDir(config_.dossierPropre).filePath(inf) != dossier + QStringLiteral("/Install.inf")) {
        QFile source(QDir(config_.dossierPropre).filePath(inf));
        if (!source.open(QIODevice::ReadOnly)) throw Erreur{ErrAcces, source.fileName()};
        interne::remplacer(dossier + QStringLiteral("/Install.inf"), source.readAll());
    }

    // One copy of a wizard for every install it made.
    r.assistant = interne::conserverAssistant(config_, W + QStringLiteral("/assistant"), VersionPropre());
    if (r.assistant.isEmpty()) return;
    const QString assistant = W + QStringLiteral("/assistant/") + r.assistant;
    const QString lanceur = dossier + QStringLiteral("/setup");
    interne::remplacer(lanceur, script(assistant, dossier, r));
    ::chmod(interne::octets(lanceur).constData(), 0755);
    if (!d.groupe.isEmpty() && !d.nomDesinstalleur.isEmpty())
        interne::ecrireDesinstalleur(*this, VersHote(d.groupe), d.nomDesinstalleur, lanceur,
                                     d.programmeInstalle.isEmpty() ? QString() : VersHote(d.programmeInstalle));
}

// ---- What an upgrade or an uninstall removes -------------------------------------

void Plateforme::retirerElement(const Element& e, const QString& pourquoi)
{
    const QFileInfo i(e.hote);
    if (!i.exists() && !i.isSymLink()) return;
    const QString objet = VersLecteur(e.hote).isEmpty() ? e.hote : VersLecteur(e.hote);
    switch (e.genre) {
    case Element::Fichier:
    case Element::Lien:
        if (!interne::intact(e)) {
            Journal(Decision::Garde, objet, QString::fromUtf8("modifié depuis l'installation"));
            return;
        }
        if (::unlink(interne::octets(e.hote).constData()) == 0) Journal(Decision::Supprime, objet, pourquoi);
        else Journal(Decision::Echec, objet, QString::fromUtf8("impossible de le supprimer"));
        return;
    case Element::Raccourci:
        if (::unlink(interne::octets(e.hote).constData()) == 0) {
            raccourciSupprime(e.hote);
            Journal(Decision::RaccourciSupprime, objet);
        }
        return;
    case Element::Entree:
    case Element::Desinstalleur:
        if (interne::retirerEntree(config_, e.hote)) Journal(Decision::RaccourciSupprime, objet);
        return;
    default:
        return;
    }
}

void Plateforme::RetirerRaccourcisInscrits(const QString& repertoire, const QString& programme)
{
    std::optional<Releve> r;
    try {
        r = releveDans(config_, reel(VersHote(repertoire)), programme);
    } catch (const Erreur&) {
    }
    if (!r) return;
    // The uninstall's own entry stays until the program is gone.
    for (const Element& e : r->elements)
        if (e.genre == Element::Raccourci || e.genre == Element::Entree) retirerElement(e, {});
}

EtatFichier Plateforme::EtatInstalle(const QString& chemin, const QString& programme) const
{
    const QString hote = VersHote(chemin);
    const QString dossier = reel(QFileInfo(hote).absolutePath());
    std::optional<Releve>& lu = releves_->lu;
    const auto sien = [&](const Releve& r) {
        return r.programme == programme && (r.emplacement == dossier || dans(dossier, r.emplacement));
    };
    if (!lu || !sien(*lu)) {
        lu.reset();
        for (const Releve& r : interne::releves(config_))
            if (sien(r)) lu = interne::lireReleve(r.fichier);
        if (!lu) return EtatFichier::SansReleve;
    }
    const Element* e = lu->trouver(dossier + u'/' + QFileInfo(hote).fileName());
    if (e && (e->genre == Element::Fichier || e->genre == Element::Lien))
        return interne::intact(*e) ? EtatFichier::Intact : EtatFichier::Modifie;
    return EtatFichier::Etranger;
}

QStringList Plateforme::FichiersInstallesDessous(const QString& repertoire, const QString& programme) const
{
    const QString dossier = reel(VersHote(repertoire));
    const auto r = releveDans(config_, dossier, programme);
    QStringList noms;
    if (!r) return noms;
    for (const Element& e : r->elements) {
        if ((e.genre != Element::Fichier && e.genre != Element::Lien) || !dans(e.hote, dossier)) continue;
        const QString relatif = e.hote.mid(dossier.size() + 1);
        if (relatif.contains(u'/') && interne::intact(e)) noms << QString(relatif).replace(u'/', u'\\');
    }
    return noms;
}

bool Plateforme::ConclureDesinstallation(const QString& repertoire, const QString& programme)
{
    releves_->lu.reset();
    std::optional<Releve> r;
    try {
        r = releveDans(config_, reel(VersHote(repertoire)), programme);
    } catch (const Erreur&) {
    }
    if (!r) return false;
    // The folders the install made, deepest first, each once empty.
    QStringList dossiers;
    for (const Element& e : r->elements)
        if (e.genre == Element::Dossier) dossiers << e.hote;
    std::sort(dossiers.begin(), dossiers.end(), std::greater<>());
    const auto vider = [&] {
        for (const QString& d : dossiers) ::rmdir(interne::octets(d).constData());
    };
    // Still installed while one of its files is there as it was written.
    for (const Element& e : r->elements)
        if ((e.genre == Element::Fichier || e.genre == Element::Lien) && interne::intact(e)) {
            vider();
            return false;
        }

    for (const Element& e : r->elements)
        if (e.genre == Element::Desinstalleur || e.genre == Element::Raccourci || e.genre == Element::Entree)
            retirerElement(e, {});
    const QString dossier = QFileInfo(r->fichier).absolutePath();
    for (const QString& n : {NomReleve, QStringLiteral("Install.inf"), QStringLiteral("setup")})
        ::unlink(interne::octets(dossier + u'/' + n).constData());
    ::rmdir(interne::octets(dossier).constData());
    const QString W = QFileInfo(QFileInfo(dossier).absolutePath()).absolutePath();
    liberer(W, r->assistant);
    dossiers << W + QStringLiteral("/installations") << W + QStringLiteral("/assistant");
    std::sort(dossiers.begin(), dossiers.end(), std::greater<>());
    dossiers << W;
    vider();
    return true;
}

}  // namespace plateforme
