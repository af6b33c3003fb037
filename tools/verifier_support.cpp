// Checks a publisher's folder before it becomes an installation medium:
// reads its Install.inf as the wizard does and reports, in French like the
// wizard, what would go wrong on the customer's machine. Exit status 1 when
// something must be mended, 0 otherwise (warnings included).
//
//   verifier-support DOSSIER
#include "platform/plateforme.h"
#include "wizard/install.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace {

namespace fs = std::filesystem;

QTextStream sortie(stdout);
int erreurs = 0;

void erreur(const QString& texte)
{
    sortie << "erreur : " << texte << '\n';
    ++erreurs;
}

void avertissement(const QString& texte) { sortie << "attention : " << texte << '\n'; }

// The platform on the folder alone, seen as the root of drive d:, where the
// wizard finds the files beside it.
plateforme::Configuration configuration(const QString& dossier)
{
    plateforme::Configuration c;
    c.lecteurs = {{'d', dossier, "SUPPORT"}};
    c.dossierPropre = dossier;
    c.home = QDir::homePath();
    return c;
}

// Windows-1252 leaves five bytes undefined; a text with them, or with NUL
// bytes (UTF-16), is in neither encoding the wizard reads.
QString encodage(const QByteArray& octets)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString essai = utf8(octets);
    if (!utf8.hasError()) return QStringLiteral("UTF-8");
    for (const char c : octets)
        if (c == 0 || c == '\x81' || c == '\x8d' || c == '\x8f' || c == '\x90' || c == '\x9d') return {};
    return QStringLiteral("Windows-1252");
}

QString guillemets(const QString& nom) { return QString::fromUtf8("« ") + nom + QString::fromUtf8(" »"); }

// Why the wizard would refuse a name ("nom de fichier non valide"), in the
// publisher's terms; empty for a name it takes.
QString raisonNom(const QString& nom)
{
    if (plateforme::AUnControle(nom)) return QString::fromUtf8("il contient un caractère de contrôle");
    if (nom.contains(':')) return QString::fromUtf8("un nom ne peut pas contenir « : »");
    if (nom.contains('/'))
        return QString::fromUtf8("les dossiers s'y séparent par \\ : écrivez ") + QString(nom).replace('/', '\\');
    if (!Install::NomSur(nom))
        return QString::fromUtf8("une partie en est vide ou n'a que des points (\\ au début, à la fin ou doublé, "
                                 ". ou ..)");
    return {};
}

// The entries of Install.inf, checked one by one in the order the wizard
// copies them, so that a name that differs from an earlier one in letter
// case alone is told where the wizard would refuse it.
struct Entrees {
    plateforme::Plateforme& p;
    Install& w;
    QString inf, dossier;
    // As the wizard's CopiesFaites: each destination (in capitals), the host
    // file copied there and the entry that named it.
    QHash<QString, std::pair<QString, QString>> faites;
    QSet<QString> dits;      // names already told wrong, told once
    QSet<QString> comptes;   // the files and links of [Fichiers], folders' included
    int deDossiers = 0;      // of which from whole-folder entries
    int systeme = 0;

    QString ou(const QString& cle, const QString& nom) const
    {
        return guillemets(nom) + QString::fromUtf8(", nommé dans ") + inf + " (" + cle + ")";
    }
    bool nomValide(const QString& cle, const QString& nom)
    {
        const QString raison = raisonNom(nom);
        if (raison.isEmpty()) return true;
        if (!dits.contains(nom)) erreur(ou(cle, nom) + " : nom de fichier non valide, " + raison);
        dits << nom;
        return false;
    }
    // The host file of a name of the medium, letter case aside; empty when
    // there is no such regular file.
    QString trouver(const QString& cle, const QString& nom)
    {
        QString trouve;
        plateforme::Essayer([&] { trouve = p.Lister("d:\\" + nom, false); });
        if (!trouve.isEmpty()) return p.VersHote("d:\\" + nom);
        if (!dits.contains(nom)) erreur(ou(cle, nom) + ", n'est pas dans " + dossier);
        dits << nom;
        return {};
    }

    // Programme, NomAide and the single files of [Fichiers].
    void fichier(const QString& cle, const QString& nom)
    {
        if (nom.isEmpty() || !nomValide(cle, nom)) return;
        if (nom.contains('*')) {
            erreur(ou(cle, nom) + QString::fromUtf8(" : * ne vaut que seul (F1=*) ou après le nom d'un dossier "
                                                    "(lib\\*)"));
            return;
        }
        const QString hote = trouver(cle, nom);
        if (hote.isEmpty()) return;
        const QString destination = nom.toUpper();
        if (const auto fait = faites.constFind(destination); fait != faites.cend() && fait->first != hote) {
            erreur(ou(cle, nom) + QString::fromUtf8(" : un autre fichier porte ce nom à la casse près (") +
                   guillemets(fait->second) + QString::fromUtf8("), le programme d'installation ne l'installerait pas"));
            return;
        }
        faites.insert(destination, {hote, nom});
        if (cle.startsWith('F')) comptes << destination;
    }

    // lib\* or *: the folder walked as the wizard copies it, in the same
    // order; links must stay inside it, and nothing else than files,
    // folders and links can go.
    void dossierEntier(const QString& cle, const QString& nom)
    {
        const QString sous = nom == "*" ? QString() : nom.chopped(2);
        if (!sous.isEmpty() && !nomValide(cle, nom)) return;
        QString racine;
        plateforme::Essayer([&] { racine = p.VersHote(w.SourceDossier(nom)); });
        std::error_code ec;
        if (racine.isEmpty() || !fs::is_directory(fs::path(racine.toStdString()), ec)) {
            erreur(ou(cle, nom) + " : le dossier " + sous + " n'est pas dans " + dossier);
            return;
        }
        parcourir(cle, nom, racine, {}, Install::ExclusDossier(nom), sous.isEmpty() ? QString() : sous + "\\");
    }
    void parcourir(const QString& cle, const QString& nom, const QString& racine, const QString& relatif,
                   const QStringList& exclus, const QString& prefixe)
    {
        const QString ici = relatif.isEmpty() ? racine : racine + '/' + relatif;
        QStringList noms;
        std::error_code ec;
        for (fs::directory_iterator it(fs::path(ici.toStdString()), ec), fin; !ec && it != fin; it.increment(ec)) {
            const QString n = QString::fromStdString(it->path().filename().string());
            if (!exclus.contains(n, Qt::CaseInsensitive)) noms << n;
        }
        if (ec) {
            erreur(ou(cle, nom) + " : " + prefixe + QString(relatif).replace('/', '\\') +
                   QString::fromUtf8(" ne peut pas être lu"));
            return;
        }
        noms.sort();
        for (const QString& n : noms) {
            const QString r = relatif.isEmpty() ? n : relatif + '/' + n;
            const QString affiche = prefixe + QString(r).replace('/', '\\');
            const fs::path chemin((racine + '/' + r).toStdString());
            const fs::file_status st = fs::symlink_status(chemin, ec);
            if (fs::is_directory(st)) {
                parcourir(cle, nom, racine, r, {}, prefixe);
                continue;
            }
            if (fs::is_symlink(st)) {
                const QString cible = QString::fromStdString(fs::read_symlink(chemin, ec).string());
                const qsizetype barre = r.lastIndexOf('/');
                const QString vers = QDir::cleanPath((barre < 0 ? QString() : r.left(barre + 1)) + cible);
                if (cible.isEmpty() || cible.startsWith('/') || vers == ".." || vers.startsWith("../")) {
                    erreur(ou(cle, nom) + " : " + affiche + " -> " + cible + QString::fromUtf8(" : lien qui sort du "
                           "dossier, le programme d'installation ne le copierait pas"));
                    continue;
                }
            } else if (!fs::is_regular_file(st)) {
                erreur(ou(cle, nom) + " : " + affiche + QString::fromUtf8(" : pas un fichier ordinaire (tube, "
                       "périphérique ou socket), le programme d'installation ne le copierait pas"));
                continue;
            }
            // Taken whatever an earlier name held: the wizard does not
            // compare a folder's files with what it copied before.
            const QString destination = affiche.toUpper();
            if (!comptes.contains(destination)) ++deDossiers;
            comptes << destination;
            faites.insert(destination, {racine + '/' + r, affiche});
        }
    }

    // A system file lands directly in ~/.local/lib and ~/.local/lib32,
    // whose folders the wizard never makes below them.
    void fichierSysteme(const QString& cle, const QString& nom)
    {
        if (nom.isEmpty() || !nomValide(cle, nom)) return;
        if (nom.contains('\\') || nom.contains('*')) {
            erreur(ou(cle, nom) + QString::fromUtf8(" : un fichier système est un fichier seul, copié tel quel dans "
                                                    "~/.local/lib : ni dossier ni *"));
            return;
        }
        if (!trouver(cle, nom).isEmpty()) ++systeme;
    }
};

// Every check of the folder; the exit status.
int verifier(const QString& dossier)
{
    if (!QFileInfo(dossier).isDir()) {
        erreur(dossier + " n'est pas un dossier");
        return 1;
    }
    plateforme::Plateforme p(configuration(dossier));

    QString inf;
    plateforme::Essayer([&] { inf = p.Lister("d:\\Install.inf", false); });
    if (inf.isEmpty()) {
        erreur("pas de fichier Install.inf dans " + dossier);
        return 1;
    }
    const QByteArray octets = p.LireOctets("d:\\" + inf);
    const QString code = encodage(octets);
    if (code.isEmpty()) {
        erreur(inf + " n'est ni en Windows-1252 ni en UTF-8 (UTF-16 ?) : enregistrez-le en Windows-1252 ou en UTF-8");
        return 1;
    }
    const QString texte = code == "UTF-8" ? QString::fromUtf8(octets) : QString(QStringDecoder("windows-1252")(octets));
    // A line feed alone ends no line: the line runs on into the next.
    QList<int> lf;
    int numero = 1;
    for (qsizetype i = 0; i < texte.size(); ++i)
        if (texte[i] == '\n') {
            if (i == 0 || texte[i - 1] != '\r') lf << numero;
            ++numero;
        }
    if (!lf.isEmpty() && lf.size() == numero - 1) {
        // Read as one line, nothing else in it would make sense.
        erreur(inf + " a des fins de ligne LF seules : le programme d'installation n'y lirait qu'une ligne ; "
                     "enregistrez-le avec des fins de ligne CR LF");
        return 1;
    }
    if (!lf.isEmpty())
        erreur(inf + " : la ligne " + QString::number(lf.first()) + " finit par LF seul, elle se joindrait à la "
                     "suivante ; enregistrez-le avec des fins de ligne CR LF");

    // The text as the reader holds it: each line followed by CR LF.
    Install w(p);
    QString lignes = texte;
    lignes.replace("\r\n", "\r").replace('\n', ' ');
    for (const QString& l : lignes.split('\r')) w.InfosInf += l + "\r\n";
    if (w.InfosInf.size() > 32767)
        erreur(inf + " dépasse 32 767 caractères : les valeurs au-delà seraient lues vides");
    w.LireParametres();

    // A key written with a space before "=" is not the key at all.
    static const QRegularExpression espace(QStringLiteral(
        "(^|\\n)\\s*((DisqueInstall|RépertoireInstall|NomGroupe)Défaut|Programme|NomProgramme|NomAide|"
        "EspaceRequis|(URL|Nom)?RaccourciWEB|Info[12]|Version|Fs?[0-9]+)\\s+="));
    QStringList espacees;
    for (auto it = espace.globalMatch(texte); it.hasNext();) {
        espacees << it.next().captured(2);
        erreur(QString::fromUtf8("« ") + espacees.last() +
               QString::fromUtf8(" = » : un espace avant le signe = cache la clé, écrivez ") + espacees.last() + "=");
    }
    // Slots beyond the last the wizard reads are never installed.
    static const QRegularExpression hors(QStringLiteral("(^|\\n)\\s*(F|Fs)([0-9]+)="));
    for (auto it = hors.globalMatch(texte); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(3).toInt() > (m.captured(2) == "F" ? 21 : 8))
            erreur(m.captured(2) + m.captured(3) + QString::fromUtf8(" dépasse les ") +
                   (m.captured(2) == "F" ? "21 fichiers" : QString::fromUtf8("8 fichiers système")) +
                   QString::fromUtf8(" que lit le programme d'installation : il ne serait pas installé"));
    }

    // Keys whose pattern lies inside another key's: the shorter must come first.
    for (const auto& [court, longs] : {std::pair<QString, QStringList>{"Programme", {"NomProgramme"}},
                                       {"RaccourciWEB", {"URLRaccourciWEB", "NomRaccourciWEB"}}}) {
        if (espacees.contains(court)) continue;   // told above
        const qsizetype position = w.InfosInf.indexOf(QRegularExpression("(^|\\n)" + court + "="));
        for (const QString& l : longs) {
            const qsizetype autre = w.InfosInf.indexOf(l + "=");
            if (autre >= 0 && (position < 0 || autre < position))
                erreur("la ligne " + court + "= doit venir avant la ligne " + l + "= dans [Général]");
        }
    }

    if (w.Prog.isEmpty()) erreur("la clé Programme de [Général] est vide ou absente");
    // Every name as the wizard takes it, in the order it copies them.
    Entrees e{p, w, inf, dossier};
    e.fichier("Programme", w.Prog);
    e.fichier("NomAide", w.Aide);
    int i = 1;
    for (QString* f : w.EmplacementsF()) {
        const QString cle = "F" + QString::number(i++);
        if (Install::EntreeDossier(*f)) e.dossierEntier(cle, *f);
        else e.fichier(cle, *f);
    }
    i = 1;
    for (QString* f : w.EmplacementsFs()) e.fichierSysteme("Fs" + QString::number(i++), *f);
    QStringList noms{w.Prog, w.Aide};
    for (QString* f : w.EmplacementsF()) noms << *f;
    for (QString* f : w.EmplacementsFs()) noms << *f;

    // What the customer would miss without an error on this machine.
    QString programmeTrouve;
    if (Install::NomSur(w.Prog)) plateforme::Essayer([&] { programmeTrouve = p.Lister("d:\\" + w.Prog, false); });
    if (!programmeTrouve.isEmpty()) {
        const QFileInfo programme(p.VersHote("d:\\" + w.Prog));
        const QByteArray debut = p.LireOctets("d:\\" + w.Prog).left(4);
        // A Windows program is started through its handler; a Linux program
        // or script gets its execute right back when it is installed.
        if (!programme.isExecutable() && !debut.startsWith("MZ") && debut != "\x7f" "ELF" && !debut.startsWith("#!"))
            erreur(w.Prog + QString::fromUtf8(" n'est pas exécutable (chmod +x) : ni le bouton Lancer ni les "
                                              "menus ne le démarreraient"));
        const QStringList bases = QStringList{programme.fileName(), programme.completeBaseName()};
        for (const QString& image : QDir(dossier).entryList(QDir::Files))
            for (const QString& base : QSet<QString>(bases.begin(), bases.end()))
                for (const char* ext : {".png", ".svg", ".ico"})
                    if (image.compare(base + ext, Qt::CaseInsensitive) == 0 &&
                        !noms.contains(image, Qt::CaseInsensitive))
                        avertissement(image + " (l'icône de " + w.Prog + ") n'est pas dans [Fichiers] : "
                                      "les menus ne l'auront pas une fois le programme installé");
    }
    // The free space the wizard asks for counts every file it copies.
    const double octetsFichiers = w.OctetsAInstaller();
    const QString taille = w.TailleInstall.toString();
    w.ConvertirTaille();
    const double mo = w.TailleInstall.toDouble();
    if (!taille.endsWith("Mo")) avertissement("EspaceRequis=" + taille + " ne finit pas par Mo : il vaut 0 Mo");
    else if (mo * 1024 * 1024 < octetsFichiers)
        avertissement("EspaceRequis=" + taille + " est moins que la taille des fichiers (" +
                      QString::number(octetsFichiers / 1048576.0, 'f', 1) + " Mo : le programme, l'aide et les " +
                      QString::number(e.comptes.size()) + " fichiers de [Fichiers])");

    sortie << inf << " : " << code << ", programme " << w.Prog << ", "
           << (w.Version.isEmpty() ? QString::fromUtf8("sans version") : "version " + w.Version) << ", "
           << e.comptes.size() << " fichier(s)";
    if (e.deDossiers) sortie << " dont " << e.deDossiers << " de dossiers entiers";
    sortie << ", " << e.systeme << QString::fromUtf8(" fichier(s) système\n");
    return erreurs ? 1 : 0;
}

// Qt's notes (no runtime folder, no fonts) are not the publisher's concern.
void silence(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage : %s DOSSIER\n", argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(silence);
    QApplication app(argc, argv);
    int code = 1;
    try {
        code = verifier(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    } catch (const plateforme::Erreur& e) {
        erreur(QString::fromUtf8("lecture impossible : ") + e.detail);
    }
    sortie.flush();
    return code;
}
