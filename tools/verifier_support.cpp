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

namespace {

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
        "EspaceRequis|(URL|Nom)?RaccourciWEB|Info[12]|Fs?[0-9]+)\\s+="));
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
    // Every file named must lie in the folder (names compared without
    // regard to case, as the wizard does).
    QStringList noms{w.Prog, w.Aide};
    for (QString* f : w.EmplacementsF()) noms << *f;
    for (QString* f : w.EmplacementsFs()) noms << *f;
    qint64 octetsFichiers = 0;
    for (const QString& nom : noms) {
        if (nom.isEmpty()) continue;
        QString trouve;
        if (Install::NomSur(nom)) plateforme::Essayer([&] { trouve = p.Lister("d:\\" + nom, false); });
        if (trouve.isEmpty()) {
            erreur(QString::fromUtf8("« ") + nom + QString::fromUtf8(" », nommé dans ") + inf + ", n'est pas dans " +
                   dossier);
            continue;
        }
        octetsFichiers += QFileInfo(p.VersHote("d:\\" + nom)).size();
    }

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
    const QString taille = w.TailleInstall.toString();
    w.ConvertirTaille();
    const double mo = w.TailleInstall.toDouble();
    if (!taille.endsWith("Mo")) avertissement("EspaceRequis=" + taille + " ne finit pas par Mo : il vaut 0 Mo");
    else if (mo * 1024 * 1024 < octetsFichiers)
        avertissement("EspaceRequis=" + taille + " est moins que la taille des fichiers (" +
                      QString::number(octetsFichiers / 1048576.0, 'f', 1) + " Mo)");

    int nf = 0, nfs = 0;
    for (QString* f : w.EmplacementsF()) nf += !f->isEmpty();
    for (QString* f : w.EmplacementsFs()) nfs += !f->isEmpty();
    sortie << inf << " : " << code << ", programme " << w.Prog << ", " << nf << " fichier(s), " << nfs
           << " fichier(s) système\n";
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
