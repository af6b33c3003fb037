// Icons of program files and .ico files, their drawing at start-up (with the
// final page's gradient), and the sample medium's program file.
#include "tests/outils.h"

#include "examples/dessin_agenda.h"
#include "examples/fabrique_icones.h"
#include "platform/linux_interne.h"
#include "extras/icone.h"
#include "wizard/controles.h"
#include "wizard/install.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace fabrique;

namespace {

QImage uni(int cote, QColor couleur)
{
    QImage img(cote, cote, QImage::Format_ARGB32);
    img.fill(couleur);
    return img;
}

// Colours in quadrants and a transparent top-left corner: rows, columns,
// palette and mask each have to come out in their places.
QImage motif(QList<QColor> c)
{
    QImage img(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            img.setPixel(x, y, x < 5 && y < 3 ? qRgba(0, 0, 0, 0) : c[(y / 16 * 2 + x / 16) % c.size()].rgb());
    return img;
}

// A 32-bit value written over a file at a position.
using Ecriture = std::pair<int, std::uint32_t>;

class Icones : public ::testing::Test {
protected:
    Bac bac;
    PlateformeTest p{bac.racine()};

    QImage icone(const QString& nom, const QByteArray& octets)
    {
        ecrireFichier(bac.support() + "/" + nom, octets);
        return p.IconeFichier("d:\\" + nom);
    }
    // `octets` with `valeur` written over the 32 bits at `position`.
    QImage abime(QByteArray octets, int position, std::uint32_t valeur, const QString& nom)
    {
        poser32(octets, position, valeur);
        return icone(nom, octets);
    }
};

TEST_F(Icones, ChaqueProfondeurSeDecodeAvecSonMasque)
{
    const QImage quatre = motif({Qt::red, Qt::green, Qt::blue, Qt::yellow});
    const QImage deux = motif({Qt::white, Qt::black});
    for (int bpp : {1, 4, 8, 24, 32}) {
        const QImage& source = bpp == 1 ? deux : quatre;
        EXPECT_EQ(icone("a.ico", fichierIco({imageDib(source, bpp)})), source) << bpp << " bpp, .ico";
        EXPECT_EQ(icone("a.exe", fichierPE({imageDib(source, bpp)})), source) << bpp << " bpp, program";
    }
    EXPECT_EQ(icone("png.ico", fichierIco({imagePng(quatre)})), quatre);
    EXPECT_EQ(icone("png.dll", fichierPE({imagePng(quatre)}, "MZ", true)), quatre);
    // 32 bits with no alpha at all: the AND mask decides.
    ImageIcone sansAlpha = imageDib(quatre, 32);
    for (int k = 0; k < 32 * 32; ++k) sansAlpha.donnees[40 + 4 * k + 3] = 0;
    EXPECT_EQ(icone("masque.ico", fichierIco({sansAlpha})), quatre);
}

TEST_F(Icones, LeChoixPrefere32x32LePlusDeCouleursPuisLaTailleLaPlusProche)
{
    ImageIcone cassee = imageDib(uni(32, Qt::red), 32);
    cassee.donnees.truncate(100);
    const struct { QString nom; QList<ImageIcone> images; QColor attendue; } cas[] = {
        // Most colours among the 32 x 32 ones, whatever the order.
        {"choix.ico", {imageDib(uni(16, Qt::red), 32), imageDib(uni(32, Qt::yellow), 4),
                       imageDib(uni(32, Qt::green), 24), imageDib(uni(32, Qt::cyan), 8),
                       imageDib(uni(48, Qt::magenta), 32)}, Qt::green},
        // At equal distance the larger one, brought to 32 x 32.
        {"reduite.exe", {imageDib(uni(16, Qt::red), 32), imageDib(uni(48, Qt::blue), 32)}, Qt::blue},
        {"agrandie.ico", {imageDib(uni(16, Qt::red), 8)}, Qt::red},
        // One that cannot be decoded gives way to the next best.
        {"secours.ico", {cassee, imageDib(uni(32, Qt::blue), 8)}, Qt::blue},
    };
    for (const auto& c : cas) {
        const QImage img = icone(c.nom, c.nom.endsWith(".exe") ? fichierPE(c.images) : fichierIco(c.images));
        ASSERT_EQ(img.size(), QSize(32, 32)) << c.nom.toStdString();
        for (int k : {3, 16, 31}) EXPECT_EQ(img.pixel(k, k), c.attendue.rgb()) << c.nom.toStdString() << " " << k;
    }
}

TEST_F(Icones, CeQuiNEstPasUneIconeDonneUneImageNulle)
{
    ecrireFichier(bac.support() + "/notes.txt", "Ceci n'est pas une icône.\r\n");
    ecrireFichier(bac.support() + "/vide.exe", "");
    ecrireFichier(bac.support() + "/notes.png", lireFichier(bac.support() + "/notes.txt"));
    QByteArray curseur = fichierIco({imageDib(uni(32, Qt::red), 32)});
    curseur[2] = 2;  // a cursor file
    ecrireFichier(bac.support() + "/c.cur", curseur);
    QDir().mkpath(bac.support() + "/dossier.exe");
    // A pipe has nobody writing into it: opening it would wait forever.
    ASSERT_EQ(mkfifo(QFile::encodeName(bac.support() + "/tube.ico").constData(), 0600), 0);
    // Nor is anything drawn for them: the box keeps what it holds.
    PictureBox boite;
    boite.resize(41, 41);
    boite.setScaleMode(3);
    boite.Boite(10, 10, 30, 30, Qt::darkCyan);
    const QImage avant = boite.Image();
    for (const char* chemin : {"d:\\notes.txt", "d:\\vide.exe", "d:\\c.cur", "d:\\dossier.exe",
                               "d:\\tube.ico", "d:\\absent.exe", "q:\\Agenda.exe", "d:\\..\\x.ico"}) {
        EXPECT_TRUE(p.IconeFichier(chemin).isNull()) << chemin;
        DessinerIcone(p, boite, chemin);
    }
    EXPECT_EQ(boite.Image(), avant);
    EXPECT_EQ(avant.pixelColor(20, 20), QColor(Qt::darkCyan));
}

TEST_F(Icones, LesDecalagesFauxDUnFichierIcoSontRefuses)
{
    const QByteArray bon = fichierIco({imageDib(uni(32, Qt::red), 32)});
    ASSERT_FALSE(icone("bon.ico", bon).isNull());
    // Image or size beyond the end, header cut short, header size, width,
    // height, 16 bpp (unsupported).
    const Ecriture cas[] = {{18, 0xFFFFFFF0u}, {14, 0xFFFFFFFFu}, {14, 20},         {22, 0xFFFFFFFFu},
                            {26, 0x7FFFFFFF},  {30, 0x80000000u}, {34, 0x00100001u}};
    for (const auto& [position, valeur] : cas)
        EXPECT_TRUE(abime(bon, position, valeur, "faux.ico").isNull()) << position << " " << valeur;
    QByteArray nombreux = bon;
    poser16(nombreux, 4, 0xFFFF);  // 65535 entries announced, one there
    EXPECT_FALSE(icone("nombreux.ico", nombreux).isNull());
    // A PNG announcing a 65536-wide image is refused before it is decoded.
    const QByteArray png = fichierIco({imagePng(uni(32, Qt::red))});
    ASSERT_FALSE(icone("png.ico", png).isNull());
    EXPECT_TRUE(abime(png, 22 + 16, 0x00000100u, "geant.ico").isNull());
}

TEST_F(Icones, UnProgrammeTronqueOuAbimeNeFaitNiPlanterNiAttendre)
{
    copierSupportExemple(bac.support());
    const QByteArray exe = lireFichier(bac.support() + "/Agenda.exe");
    ASSERT_GT(exe.size(), 4096);
    // What the file itself holds, as the generic icon would hide its absence.
    auto abime = [](QByteArray octets, int position, std::uint32_t valeur) {
        poser32(octets, position, valeur);
        return plateforme::interne::iconeWindows(octets, 32);
    };
    // Cut anywhere: an icon when the chosen image is whole, else none.
    for (int n = 0; n < exe.size(); n += 61) {
        const QImage img = plateforme::interne::iconeWindows(exe.left(n), 32);
        EXPECT_TRUE(img.isNull() || img.size() == QSize(32, 32)) << n;
        if (n < 0x400) EXPECT_TRUE(img.isNull()) << n;  // no resource section yet
    }
    const int optionnel = 0x80 + 24, sectionRsrc = optionnel + 0xE0 + 40, rsrc = 0x400;
    const Ecriture cas[] = {
        {0x3C, 0xFFFFFFF0u},                // PE header beyond the end
        {0x3C, 0x200},                      // no PE signature there
        {optionnel + 96 + 16, 0x7FFFFFF0},  // resources at no section
        {optionnel + 92, 2},                // too few data directories
        {sectionRsrc + 20, 0xFFFFFF00u},    // raw data beyond the end
        {rsrc + 12, 0xFFFF0000u},           // 65535 named types
        {rsrc + 28, 0x80000000u},           // group type loops to the root
        {rsrc + 28, 0x7FFFFFF0u}};          // group type out of bounds
    for (const auto& [position, valeur] : cas)
        EXPECT_TRUE(abime(exe, position, valeur).isNull()) << position << " " << valeur;
    // Random damage to the headers: any answer but a crash or a wrong size.
    QRandomGenerator aleas(20261207);
    for (int essai = 0; essai < 300; ++essai) {
        QByteArray b = exe;
        for (int k = 0; k < 8; ++k) b[int(aleas.bounded(0x600))] = char(aleas.bounded(256));
        const QImage img = plateforme::interne::iconeWindows(b, 32);
        EXPECT_TRUE(img.isNull() || img.size() == QSize(32, 32)) << essai;
    }
}

// Any other program brings its icon as an image beside it, whatever the
// case of its name; a program without one gets the generic icon, a file
// that is no program nothing.
TEST_F(Icones, ImageVoisineSinonIconeGenerique)
{
    const QByteArray elf = QByteArray("\x7f" "ELF\x02\x01\x01", 7) + QByteArray(100, '\0');
    QBuffer png, ico;
    ASSERT_TRUE(uni(48, Qt::red).save(&png, "PNG"));
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10'>"
                           "<rect width='20' height='10' fill='#0000ff'/></svg>";
    const QImage generique = plateforme::interne::iconeGenerique(32);
    ASSERT_EQ(generique.size(), QSize(32, 32));
    const struct { QString programme; QByteArray octets; QString voisin; QByteArray image; QImage attendue; } cas[] = {
        {"meteo", elf, "meteo.png", png.data(), uni(32, Qt::red)},
        {"Meteo.exe", "MZ", "METEO.SVG", svg, {}},   // blue, 2:1, centred
        {"outil.bin", elf, "outil.ico", fichierIco({imageDib(uni(32, Qt::green), 32)}), uni(32, Qt::green)},
        {"agenda.exe", fichierPE({imageDib(uni(32, Qt::yellow), 32)}), "agenda.png", png.data(), uni(32, Qt::yellow)},
        {"seul", elf, "", {}, generique},
        {"faux", elf, "faux.png", "pas une image", generique},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.programme.toStdString());
        Bac b;
        PlateformeTest q(b.racine());
        ecrireFichier(b.support() + "/" + c.programme, c.octets);
        if (!c.voisin.isEmpty()) ecrireFichier(b.support() + "/" + c.voisin, c.image);
        const QImage img = q.IconeFichier("d:\\" + c.programme);
        ASSERT_EQ(img.size(), QSize(32, 32));
        if (!c.attendue.isNull()) {
            EXPECT_EQ(img, c.attendue);
        } else {
            EXPECT_EQ(img.pixel(16, 16), qRgb(0, 0, 255));
            EXPECT_EQ(qAlpha(img.pixel(16, 4)), 0);
        }
        // Asked at a screen's density, the same icon at twice the size.
        EXPECT_EQ(q.IconeFichier("d:\\" + c.programme, 64).size(), QSize(64, 64));
    }
    // Not a program: the image beside it is not its icon.
    ecrireFichier(bac.support() + "/lisez-moi.txt", "texte");
    ecrireFichier(bac.support() + "/lisez-moi.png", png.data());
    EXPECT_TRUE(p.IconeFichier("d:\\lisez-moi.txt").isNull());
    // The generic icon is never an empty square.
    int opaques = 0;
    for (int k = 0; k < 32 * 32; ++k) opaques += qAlpha(generique.pixel(k % 32, k / 32)) > 128;
    EXPECT_GT(opaques, 200);
}

TEST_F(Icones, LeDemarrageDessineLIconeDuProgrammeEtLeDegrade)
{
    copierSupportExemple(bac.support());
    // Of 16 x 16, 256-colour 32 x 32, full-colour 32 x 32 and 48 x 48 images.
    const QImage windows = p.IconeFichier("d:\\Agenda.exe");
    EXPECT_EQ(windows, DessinerAgenda(32));
    QSet<QRgb> couleurs;
    for (int k = 0; k < 32 * 32; ++k) couleurs.insert(windows.pixel(k % 32, k / 32));
    EXPECT_GT(couleurs.size(), 20);
    // A library without resources.
    EXPECT_EQ(p.IconeFichier("d:\\Outils.dll"), plateforme::interne::iconeGenerique(32));
    // The sample's program brings agenda.png.
    const QImage agenda = p.IconeFichier("d:\\agenda");
    EXPECT_EQ(agenda, plateforme::interne::auCarre(QImage(bac.support() + "/agenda.png"), 32));

    Install w(p);
    w.Form_Load();
    // Drawn at the top-left of the box, the same picture unscaled on both
    // program buttons and, whole, on the uninstall page.
    const QImage icone = w.Picture1->Image().convertToFormat(QImage::Format_RGB32);
    QImage attendue(icone.size(), QImage::Format_RGB32);
    attendue.fill(w.Picture1->BackColor());
    QPainter(&attendue).drawImage(0, 0, agenda);
    EXPECT_EQ(icone, attendue);
    EXPECT_EQ(w.Image1->size(), w.Picture1->size());
    EXPECT_EQ(w.Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32), icone);
    for (QToolButton* b : {w.Command1, w.Command3}) {
        EXPECT_EQ(b->iconSize(), w.Picture1->size());
        EXPECT_EQ(b->icon().pixmap(icone.size()).toImage().convertToFormat(QImage::Format_RGB32), icone);
    }

    // The final page: blue rising left to right in vertical bands, its twips
    // scale back afterwards.
    PictureBox& page = *w.Picture2;
    const QImage degrade = page.Image();
    ASSERT_EQ(degrade.size(), page.size());
    EXPECT_EQ(degrade.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(degrade.pixel(degrade.width() - 1, degrade.height() - 1), qRgb(0, 0, 255));
    EXPECT_EQ(degrade.pixel(degrade.width() / 2, 10), degrade.pixel(degrade.width() / 2, degrade.height() - 10));
    EXPECT_EQ(page.ScaleMode(), 1);
    EXPECT_EQ(page.ScaleWidth(), page.width() * 15.f);
}

// The sample medium holds every file its Install.inf names, and its program
// is a native one that starts without a shell's help.
TEST(SupportExemple, ToutFichierNommeParInstallInfEstPresentEtLeProgrammeDemarre)
{
    Bac bac;
    copierSupportExemple(bac.support());
    QStringList noms;
    for (const QString& l : PlateformeTest(bac.racine()).LireLignes("d:\\Install.inf"))
        if (l.contains('=') && (l.startsWith("F") || l.startsWith("Programme=") || l.startsWith("NomAide=")))
            if (const QString v = l.section('=', 1); !v.isEmpty()) noms << v;
    EXPECT_TRUE(noms.contains("agenda") && noms.contains("agenda.png")) << noms.join(' ').toStdString();
    for (const QString& n : noms) EXPECT_TRUE(QFile::exists(bac.support() + "/" + n)) << n.toStdString();
    const QString agenda = bac.support() + "/agenda";
    EXPECT_TRUE(lireFichier(agenda).startsWith("\x7f" "ELF"));
    QProcess programme;
    programme.setProgram(agenda);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", bac.home() + "/.config");
    programme.setProcessEnvironment(env);
    programme.start();
    ASSERT_TRUE(programme.waitForStarted(5000)) << programme.errorString().toStdString();
    // Running, and its settings noted at once.
    EXPECT_FALSE(programme.waitForFinished(1500));
    EXPECT_TRUE(QFile::exists(bac.home() + "/.config/Agenda.ini"));
    programme.kill();
    programme.waitForFinished(5000);
}

}  // namespace
