// Reading Install.inf into the installer state.
#include "wizard/install.h"

using plateforme::Essayer;

void Install::LireFichierINF()
{
    const QString dossier = P.DossierPropre();
    const QString chemin = dossier + (dossier.endsWith('\\') ? "Install.inf" : "\\Install.inf");

    // A listing that fails counts as an absent file, like an empty one.
    bool absent = true;
    Essayer([&] { absent = P.Lister(chemin, false).isEmpty(); });
    if (absent) {
        P.MsgBox(QString::fromUtf8("Installation impossible, le fichier Install.INF est absent"),
                 plateforme::vbOKOnly + plateforme::vbCritical, QString::fromUtf8("Assistant installateur"));
        P.Terminer();
    }

    // A file that exists but cannot be read leaves the text read so far
    // (nothing): every value is then empty and the wizard opens with nothing
    // to install.
    InfosInf.clear();
    Essayer([&] {
        for (const QString& ligne : P.LireLignes(chemin)) InfosInf += ligne + "\r\n";
    });
}

QString Install::LireValeur(const QString& Section, const QString& Cle) const
{
    // Positions are counted from 1, as the file's format rules are written.
    const QString& T = InfosInf;
    const QString entete = "[" + Section + "]";
    const qsizetype trouve = T.indexOf(entete);
    const qsizetype debut = (trouve >= 0 ? trouve + 1 : 0) + entete.size() + 2;
    if (debut > T.size()) return {};

    const QString motif = Cle + "=";
    const qsizetype p = T.indexOf(motif, debut - 1);
    if (p < 0) return {};
    const qsizetype v = p + 1 + motif.size();
    if (v > T.size()) return {};
    const qsizetype cr = T.indexOf('\r', v - 1);
    if (cr < 0) return {};
    const qsizetype e = cr + 1;
    // The end position is a 16-bit counter: a value whose line ends past it
    // reads as empty.
    if (e > 32767) return {};
    return T.mid(v - 1, e - v);
}

void Install::LireParametres()
{
    const QString general = QString::fromUtf8("Général");
    Essayer([&] { DSKDef = LireValeur(general, QString::fromUtf8("DisqueInstallDéfaut")).left(1) + ":"; });
    // "\Programmes\Meteo" is written as naturally, for the same folder.
    RepDef = RepertoireNormal(LireValeur(general, QString::fromUtf8("RépertoireInstallDéfaut")));
    NomDef = LireValeur(general, QString::fromUtf8("NomGroupeDéfaut"));
    Prog = LireValeur(general, "Programme");
    NomProg = LireValeur(general, "NomProgramme");
    Aide = LireValeur(general, "NomAide");
    TailleInstall = LireValeur(general, "EspaceRequis");
    int i = 1;
    for (QString* f : EmplacementsF()) *f = LireValeur("Fichiers", "F" + QString::number(i++));
    Inet = LireValeur(general, "RaccourciWEB");
    URLInet = LireValeur(general, "URLRaccourciWEB");
    NOMInet = LireValeur(general, "NomRaccourciWEB");
    Version = LireValeur(general, "Version");
    i = 1;
    for (QString* f : EmplacementsFs()) *f = LireValeur("FichiersSystem", "Fs" + QString::number(i++));
    Label8->setText(LireValeur(general, "Info1"));
    Label9->setText(LireValeur(general, "Info2"));
}

namespace {

// The number written at the start of a text: blanks skipped anywhere, a
// point as decimal separator, an optional sign and exponent; reading stops
// at the first character that cannot continue the number.
double valeurNumerique(const QString& texte)
{
    QString chiffres;
    bool point = false, exposant = false, chiffreVu = false;
    for (QChar c : texte) {
        if (c == ' ' || c == '\t' || c == '\n') continue;
        const QChar precedent = chiffres.isEmpty() ? QChar() : chiffres.back();
        if (c.isDigit() && c.unicode() < 128) {
            chiffres += c;
            chiffreVu = true;
        } else if ((c == '+' || c == '-') && (chiffres.isEmpty() || precedent == 'e')) {
            chiffres += c;
        } else if (c == '.' && !point && !exposant) {
            chiffres += c;
            point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && chiffreVu && !exposant) {
            chiffres += 'e';
            exposant = true;
        } else {
            break;
        }
    }
    while (!chiffres.isEmpty() && !chiffres.back().isDigit() && chiffres.back() != '.') chiffres.chop(1);
    bool ok = false;
    const double v = chiffres.toDouble(&ok);
    return ok ? v : 0.0;
}

}  // namespace

void Install::ConvertirTaille()
{
    const QString texte = TailleInstall.toString();
    if (texte.right(2) == "Mo")
        TailleInstall = valeurNumerique(texte.left(texte.size() - 2));
    else
        TailleInstall = 0.0;
}

void Install::CompterFichiers()
{
    // A whole folder counts its files: the bar moves once for each.
    for (QString* f : EmplacementsF()) {
        if (f->isEmpty()) continue;
        double n = 1;
        if (EntreeDossier(*f)) Essayer([&] { n = double(MesureDossier(*f).fichiers); });
        PbMax += n;
    }
    for (QString* f : EmplacementsFs())
        if (!f->isEmpty()) PbMax += 1;
}
