// Shortcut files: shell links made from the recent-documents service's
// link, and Internet shortcuts.
#include "shell/racc.h"

#include "wizard/install.h"

#include <QStringEncoder>
#include <QUrl>

#include <chrono>
#include <thread>

using plateforme::Essayer;
using plateforme::Erreur;

namespace Racc {

namespace {

// The shell is given this long (in days: 4.32 seconds) to write its link.
constexpr double DelaiShell = 5e-5;

// Polls `pret` until it holds or the platform clock says the delay is over.
// Events are not processed meanwhile. A clock that stands still or jumps
// is not trusted to end the wait: the monotonic clock bounds it too.
template <class F>
bool attendre(plateforme::Plateforme& p, F&& pret)
{
    const double debut = p.Horloge();
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (pret()) return true;
        const double ecoule = p.Horloge() - debut;
        if (ecoule > DelaiShell || ecoule < -DelaiShell) return false;
        if (std::chrono::steady_clock::now() > limite) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// One string of the link's string data: its length in characters, then
// the characters (one byte each in Windows-1252). The length field is
// 16 bits wide, low byte first.
void ajouterChaine(QByteArray& b, const QByteArray& ansi)
{
    b.append(char(ansi.size() & 0xFF));
    b.append(char((ansi.size() >> 8) & 0xFF));
    b += ansi;
}

// A header field of the link: the low byte alone when the value fits in it
// (the shell's upper bytes stay), else the whole 32-bit value.
void poserChamp(QByteArray& b, int position, int valeur)
{
    if (valeur >= 0 && valeur <= 255) {
        b[position] = char(valeur);
        return;
    }
    const auto v = std::uint32_t(std::int32_t(valeur));
    for (int i = 0; i < 4; ++i) b[position + i] = char((v >> (8 * i)) & 0xFF);
}

// Writes one shortcut file; one that cannot be written is noted among what
// the installation is missing.
template <class F>
void ecrire(Install& f, const QString& fichier, F&& ecriture)
{
    try {
        ecriture();
    } catch (const Erreur& e) {
        f.NoterManque(fichier, e);
    }
}

// True when Windows-1252 has every letter of `s`.
bool ansiComplet(const QString& s)
{
    QStringEncoder enc("windows-1252");
    const QByteArray octets = enc(s);   // the conversion runs when its result is taken
    return !enc.hasError();
}

// The form of a value for the Windows-1252 section of an Internet shortcut:
// the value itself when it fits; an address as its URI in ASCII (the host
// in Punycode, the rest as %XX of UTF-8), still the same address; a path
// with "?" for each letter that section cannot hold.
QString formeAnsi(const QString& v, bool adresse)
{
    if (ansiComplet(v)) return v;
    const QUrl uri(v);
    if (adresse && uri.isValid() && !uri.scheme().isEmpty()) return QString::fromLatin1(uri.toEncoded());
    QString r;
    for (const QChar c : v) r += ansiComplet(c) ? c : QChar('?');
    return r;
}

// UTF-7 of `s`. The converter keeps the last bits of a run of encoded
// letters until more text comes, so a plain letter pushes them out and is
// dropped.
QString utf7(const QString& s)
{
    QStringEncoder enc("UTF-7");
    QByteArray r = enc(s + 'a');
    r.chop(1);
    return QString::fromLatin1(r);
}

// An address with its control characters as %XX of their UTF-8, as they
// stand in a URL, so that none of them ends the line.
QString sansControles(const QString& adresse)
{
    QString r;
    for (const QChar c : adresse) {
        const ushort u = c.unicode();
        const bool controle = u < 0x20 || (u >= 0x7f && u <= 0x9f);
        r += controle ? QString::fromLatin1(QString(c).toUtf8().toPercentEncoding()) : QString(c);
    }
    return r;
}

void repli(Install& f, const QString& Dossier, const QString& Nom, const QString& Cible)
{
    Essayer([&] { f.Lfic->setText("Raccourci Url"); });
    Essayer([&] { f.P.Bip(); });
    ecrire(f, Dossier + "\\" + Nom + ".url", [&] { CreerRaccourciUrl(f.P, Dossier, Nom, Cible, Cible, 0); });
}

}  // namespace

QString NomFichier(const QString& chemin)
{
    const qsizetype i = chemin.lastIndexOf('\\');
    return i < 0 ? chemin : chemin.mid(i + 1);
}

void CreerRaccourci(Install& f, const QString& Dossier, const QString& Nom,
                    const QString& Cible, const QString& Arguments,
                    const QString& RepTravail, std::int16_t IndexIcone,
                    const QString& FichierIcone, std::int16_t Affichage)
{
    plateforme::Plateforme& p = f.P;

    // 1. The destination folder must exist (a failed search counts as
    // missing).
    bool present = false;
    Essayer([&] { present = !p.Lister(Dossier, true).isEmpty(); });
    // A drive root has no name of its own to be listed under.
    const bool racine = (Dossier.size() == 2 || (Dossier.size() == 3 && Dossier[2] == '\\'))
                        && Dossier[1] == ':';
    if (!present && racine) Essayer([&] {
        p.FichiersNormaux(Dossier);
        present = true;
    });
    // Whatever stops the link is noted among what the installation lacks.
    const QString destination = Dossier + "\\" + Nom + ".lnk";
    if (!present) {
        Essayer([&] {
            p.MsgBox(QString::fromUtf8("Le répertoire '") + Dossier + QString::fromUtf8("' est introuvable."),
                     plateforme::vbCritical, QString::fromUtf8("Création d'un raccourci"));
        });
        f.NoterManque(destination, Erreur{plateforme::ErrChemin, Dossier});
        return;
    }

    // 2. The shell writes its link to the target.
    int resultat = 0;
    Essayer([&] { resultat = p.AjouterDocumentRecent(Cible); });
    if (resultat <= 0) {
        Essayer([&] {
            p.MsgBox(QString::fromUtf8("Erreur de création du raccourci."), plateforme::vbCritical,
                     QString::fromUtf8("Raccourci"));
        });
        f.NoterManque(destination, QString::fromUtf8("erreur de création du raccourci"));
        return;
    }

    // 3. Wait for the shell's link to appear.
    QString recents;
    Essayer([&] { recents = p.DossierSpecial(8); });
    const QString lienShell = recents + "\\" + NomFichier(Cible) + ".lnk";
    const bool apparu = attendre(p, [&] {
        bool trouve = false;
        Essayer([&] { trouve = !p.Lister(lienShell, false).isEmpty(); });
        return trouve;
    });
    if (!apparu) return repli(f, Dossier, Nom, Cible);

    // 4. Wait for it to hold something.
    const bool rempli = attendre(p, [&] {
        std::int64_t n = 0;
        Essayer([&] { n = p.Longueur(lienShell); });
        return n > 0;
    });
    if (!rempli) return repli(f, Dossier, Nom, Cible);

    QByteArray shell;
    Essayer([&] { shell = p.LireOctets(lienShell); });

    // 5. Tail scan: the kept part ends with the last zero pair before the
    // terminal block.
    const qsizetype L = shell.size();
    qsizetype k = 2;
    for (qsizetype q = L - 5; q >= 0; --q)
        if (shell[q] == 0 && shell[q + 1] == 0) {
            k = q + 2;
            break;
        }

    // The string data, in the order of the flags.
    QStringEncoder enc("windows-1252");
    const QByteArray repAnsi = enc(RepTravail);
    const QByteArray argAnsi = enc(Arguments);
    const bool avecIcone = !FichierIcone.isEmpty() || IndexIcone >= 1;
    const QByteArray iconeAnsi = avecIcone ? enc(FichierIcone.isEmpty() ? Cible : FichierIcone)
                                           : QByteArray();

    // A kept part without the whole header, or a string too long for its
    // 16-bit length, would make a link that no reader can use: the
    // Internet shortcut takes its place.
    const qsizetype maxChaine = 0xFFFF;
    if (k < 76 || repAnsi.size() > maxChaine || argAnsi.size() > maxChaine
        || iconeAnsi.size() > maxChaine) {
        Essayer([&] { p.SupprimerFichier(lienShell); });
        return repli(f, Dossier, Nom, Cible);
    }

    // 6. The kept part with its three patched header bytes.
    QByteArray lien = shell.left(k);
    int drapeaux = 3;
    if (!RepTravail.isEmpty()) drapeaux += 16;
    if (!Arguments.isEmpty()) drapeaux += 32;
    if (avecIcone) drapeaux += 64;
    lien[20] = char(drapeaux);
    poserChamp(lien, 56, IndexIcone);
    poserChamp(lien, 60, Affichage);

    // 8. String data, then the terminal block.
    if (!RepTravail.isEmpty()) ajouterChaine(lien, repAnsi);
    if (!Arguments.isEmpty()) ajouterChaine(lien, argAnsi);
    if (avecIcone) ajouterChaine(lien, iconeAnsi);
    lien.append(4, '\0');

    // The link ends right after its terminal block, whatever an earlier
    // file of that name held.
    ecrire(f, destination, [&] {
        p.EcrireOctets(destination, 0, lien, true);
        p.Journal(plateforme::Decision::RaccourciCree, destination);
    });

    // 7. The shell's link is no longer needed.
    Essayer([&] { p.SupprimerFichier(lienShell); });
}

void CreerRaccourciUrl(plateforme::Plateforme& p, const QString& Dossier, const QString& Nom,
                       const QString& URL, const QString& FichierIcone, int IndexIcone)
{
    // Without a folder the name would land at the root of the installer's
    // drive.
    if (Dossier.isEmpty()) return;
    const QString fichier = Dossier.endsWith('\\') ? Dossier + Nom + ".url"
                                                    : Dossier + "\\" + Nom + ".url";
    // A path in drive notation keeps what it holds: one with a line end is
    // refused by the line writer rather than cut in two.
    const bool chemin = (URL.size() >= 2 && URL[1] == ':' && URL[0].isLetter()) || URL.startsWith('\\');
    const QString adresse = chemin ? URL : sansControles(URL);
    QStringList lignes{QStringLiteral("[InternetShortcut]"), "URL=" + formeAnsi(adresse, !chemin)};
    if (!FichierIcone.isEmpty()) {
        lignes << "IconFile=" + formeAnsi(FichierIcone, false);
        lignes << "IconIndex=" + QString::number(IndexIcone);
    }
    // Letters that Windows-1252 lacks: the values whole in UTF-7, in the
    // section Windows itself adds for them.
    if (!ansiComplet(adresse) || !ansiComplet(FichierIcone)) {
        lignes << QStringLiteral("[InternetShortcut.W]") << "URL=" + utf7(adresse);
        if (!FichierIcone.isEmpty()) lignes << "IconFile=" + utf7(FichierIcone);
    }
    p.EcrireLignes(fichier, lignes);
    p.Journal(plateforme::Decision::RaccourciCree, fichier);
}

}  // namespace Racc
