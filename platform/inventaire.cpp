// The record of an install, kept in the wizard's data folder: what the
// install wrote (files with their size and SHA-256, the folders it made,
// links, desktop entries, menu files, icons, the system files), so that an
// upgrade removes what it no longer writes and an uninstall, with or without
// the medium, removes exactly that and nothing of the user's.
//
// The record is plain text, one line a thing, fields separated by tabs:
//     programme	Agenda
//     fichier	/home/alice/Programmes/Agenda/agenda	1172936	<SHA-256>
// Paths are host paths; a tab, a line feed or a percent sign in one is
// written %09, %0A or %25.
#include "platform/linux_interne.h"
#include "platform/plateforme.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plateforme::interne {

namespace {

Releve* actif = nullptr;

constexpr const char* Genres[] = {"fichier", "lien", "dossier", "systeme", "raccourci", "entree", "menu", "icone",
                                  "desinstalleur"};

QString echapperChamp(QString s)
{
    if (!s.contains(u'%') && !s.contains(u'\t') && !s.contains(u'\n')) return s;
    return s.replace(u'%', QLatin1String("%25")).replace(u'\t', QLatin1String("%09")).replace(u'\n', QLatin1String("%0A"));
}

QString desechapperChamp(QString s)
{
    if (!s.contains(u'%')) return s;
    return s.replace(QLatin1String("%09"), QLatin1String("\t")).replace(QLatin1String("%0A"), QLatin1String("\n"))
        .replace(QLatin1String("%25"), QLatin1String("%"));
}

}  // namespace

QString cibleDe(const QString& hote)
{
    char cible[4096];
    const ssize_t n = ::readlink(octets(hote).constData(), cible, sizeof cible);
    return n > 0 && n < ssize_t(sizeof cible) ? QString::fromUtf8(cible, n) : QString();
}

Releve* inventaireActif() { return actif; }
void activerInventaire(Releve* r) { actif = r; }

Element* Releve::trouver(const QString& hote)
{
    // The elements are only ever appended to: those added since the last
    // lookup are indexed, not the whole list again for each file of a tree.
    // Starting from the index's size re-indexes, in order, what duplicates
    // of a record read may have kept it behind by: the last one still wins.
    if (index_.size() > qsizetype(elements.size())) index_.clear();
    for (std::size_t i = index_.size(); i < elements.size(); ++i) index_.insert(elements[i].hote, i);
    const auto i = index_.constFind(hote);
    return i == index_.cend() ? nullptr : &elements[*i];
}

void inventorier(Element e)
{
    if (!actif || e.hote.isEmpty()) return;
    if (Element* present = actif->trouver(e.hote)) {
        // A folder made stays made; a file written again is as now.
        if (present->genre != Element::Dossier) *present = std::move(e);
        return;
    }
    actif->elements.push_back(std::move(e));
}

QByteArray Sha256::hex()
{
    std::uint8_t empreinte[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx_, sizeof empreinte, empreinte);
    return QByteArray(reinterpret_cast<const char*>(empreinte), sizeof empreinte).toHex();
}

void inventorierEcrit(Element::Genre genre, const QString& hote, const QByteArray& contenu)
{
    if (!actif) return;
    Sha256 h;
    h.ajouter(contenu);
    inventorier({genre, hote, contenu.size(), h.hex(), {}});
}

QByteArray empreinte(const QString& hote, qint64* taille)
{
    // Only a regular file is read: a pipe put in its place would never end.
    const int fd = ::open(octets(hote).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return {};
    struct stat st {};
    QByteArray r;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        Sha256 h;
        char tampon[1 << 16];
        qint64 lus = 0;
        ssize_t n;
        while ((n = ::read(fd, tampon, sizeof tampon)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) {
                h.ajouter(QByteArrayView(tampon, n));
                lus += n;
            }
        if (n == 0) {
            r = h.hex();
            if (taille) *taille = lus;
        }
    }
    ::close(fd);
    return r;
}

bool intact(const Element& e)
{
    if (e.genre == Element::Lien) return cibleDe(e.hote) == e.cible;
    qint64 taille = -1;
    const QByteArray sha = empreinte(e.hote, &taille);
    return !sha.isEmpty() && taille == e.taille && sha == e.sha256;
}

QByteArray texteReleve(const Releve& r)
{
    QString t = QStringLiteral("# Installation faite par l'assistant d'installation : ce qu'elle a écrit, pour la "
                               "mettre à jour ou la désinstaller.\n");
    const auto ligne = [&t](const QStringList& champs) {
        QStringList e;
        for (const QString& c : champs) e << echapperChamp(c);
        t += e.join(u'\t') + u'\n';
    };
    ligne({QStringLiteral("programme"), r.programme});
    ligne({QStringLiteral("version"), r.version});
    ligne({QStringLiteral("repertoire"), r.repertoire});
    ligne({QStringLiteral("emplacement"), r.emplacement});
    ligne({QStringLiteral("date"), r.date});
    ligne({QStringLiteral("tous-utilisateurs"), r.tousUtilisateurs ? QStringLiteral("oui") : QStringLiteral("non")});
    if (!r.assistant.isEmpty()) ligne({QStringLiteral("assistant"), r.assistant});
    for (const Element& e : r.elements) {
        QStringList champs{QLatin1String(Genres[e.genre]), e.hote};
        if (e.genre == Element::Lien) champs << e.cible;
        else if (e.taille >= 0) champs << QString::number(e.taille) << QString::fromLatin1(e.sha256);
        ligne(champs);
    }
    return t.toUtf8();
}

std::optional<Releve> lireReleve(const QString& fichier, bool elements)
{
    QFile f(fichier);
    if (!QFileInfo(fichier).isFile() || !f.open(QIODevice::ReadOnly)) return std::nullopt;
    Releve r;
    r.fichier = fichier;
    for (const QByteArray& brute : f.readAll().split('\n')) {
        if (brute.isEmpty() || brute.startsWith('#')) continue;
        QStringList champs;
        for (const QByteArray& c : brute.split('\t')) champs << desechapperChamp(QString::fromUtf8(c));
        const QString cle = champs.value(0), v = champs.value(1);
        if (cle == QLatin1String("programme")) r.programme = v;
        else if (cle == QLatin1String("version")) r.version = v;
        else if (cle == QLatin1String("repertoire")) r.repertoire = v;
        else if (cle == QLatin1String("emplacement")) r.emplacement = v;
        else if (cle == QLatin1String("date")) r.date = v;
        else if (cle == QLatin1String("tous-utilisateurs")) r.tousUtilisateurs = v == QLatin1String("oui");
        else if (cle == QLatin1String("assistant")) r.assistant = v;
        else if (const auto g = std::find(std::begin(Genres), std::end(Genres), cle.toLatin1()); g != std::end(Genres)
                 && v.startsWith(u'/')) {
            if (!elements) break;   // the header was all that was asked, and comes first
            Element e{Element::Genre(g - std::begin(Genres)), v, -1, {}, {}};
            if (e.genre == Element::Lien) e.cible = champs.value(2);
            else if (champs.size() >= 4) {
                e.taille = champs[2].toLongLong();
                e.sha256 = champs[3].toLatin1();
            }
            r.elements.push_back(std::move(e));
        }
    }
    // A record that names no install directory is no record of ours.
    if (!r.emplacement.startsWith(u'/')) return std::nullopt;
    return r;
}

QString dossierDonnees(const Configuration& c, bool tous)
{
    return (tous ? c.xdgDataDir : c.xdgDataHome) + QStringLiteral("/assistant-installation");
}

QString nomReleve(const QString& emplacement, const QString& programme)
{
    QString lisible = QFileInfo(emplacement).fileName().toLower();
    lisible.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    // One record per program and directory.
    const QByteArray cle = emplacement.toUtf8() + '\0' + programme.toUtf8();
    return lisible + u'-'
        + QString::fromLatin1(QCryptographicHash::hash(cle, QCryptographicHash::Sha256).toHex().left(12));
}

std::vector<Releve> releves(const Configuration& c, bool elements)
{
    std::vector<Releve> r;
    for (const bool tous : {false, true}) {
        const QDir d(dossierDonnees(c, tous) + QStringLiteral("/installations"));
        for (const QString& nom : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            if (auto releve = lireReleve(d.filePath(nom) + QStringLiteral("/installation.txt"), elements))
                r.push_back(std::move(*releve));
    }
    return r;
}

}  // namespace plateforme::interne
