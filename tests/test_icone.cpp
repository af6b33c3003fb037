// Icons of program files and .ico files.
#include "tests/outils.h"
#include "examples/fabrique_icones.h"
#include "platform/linux_interne.h"
#include "extras/icone.h"
#include "wizard/controles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
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

// Colours in quadrants, a transparent corner: rows, columns, palette and mask must land in place.
QImage motif(QList<QColor> c)
{
    QImage img(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            img.setPixel(x, y, x < 5 && y < 3 ? qRgba(0, 0, 0, 0) : c[(y / 16 * 2 + x / 16) % c.size()].rgb());
    return img;
}

// A file with a 32-bit value written over it at a position.
using Ecriture = std::pair<int, std::uint32_t>;
QByteArray abime(QByteArray octets, int position, std::uint32_t valeur)
{
    poser32(octets, position, valeur);
    return octets;
}

struct Icones : ::testing::Test {
    Bac bac;
    PlateformeTest p{bac.racine()};

    QImage icone(const QString& nom, const QByteArray& octets)
    {
        ecrireFichier(bac.support() + "/" + nom, octets);
        return p.IconeFichier("d:\\" + nom);
    }
};

// Each depth with its mask, then the choice: among the 32 x 32 ones, whatever the order, the one with the most
// colours; else the nearest size, the larger at equal distance, brought to 32 x 32; one that cannot be decoded
// gives way to the next best. Then the icons of other programs.
TEST_F(Icones, ProfondeursChoixEtAutresProgrammes)
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

    ImageIcone cassee = imageDib(uni(32, Qt::red), 32);
    cassee.donnees.truncate(100);
    const struct { QString nom; QList<ImageIcone> images; QColor attendue; } cas[] = {
        {"choix.ico", {imageDib(uni(16, Qt::red), 32), imageDib(uni(32, Qt::yellow), 4),
                       imageDib(uni(32, Qt::green), 24), imageDib(uni(32, Qt::cyan), 8),
                       imageDib(uni(48, Qt::magenta), 32)}, Qt::green},
        {"reduite.exe", {imageDib(uni(16, Qt::red), 32), imageDib(uni(48, Qt::blue), 32)}, Qt::blue},
        {"agrandie.ico", {imageDib(uni(16, Qt::red), 8)}, Qt::red},
        {"secours.ico", {cassee, imageDib(uni(32, Qt::blue), 8)}, Qt::blue},
    };
    for (const auto& c : cas) {
        const QImage img = icone(c.nom, c.nom.endsWith(".exe") ? fichierPE(c.images) : fichierIco(c.images));
        ASSERT_EQ(img.size(), QSize(32, 32)) << c.nom.toStdString();
        for (int k : {3, 16, 31}) EXPECT_EQ(img.pixel(k, k), c.attendue.rgb()) << c.nom.toStdString() << " " << k;
    }

    // Other programs: an image beside, whatever its case, at the screen's density, else the generic icon.
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10'>"
                           "<rect width='20' height='10' fill='#0000ff'/></svg>";
    ecrireFichier(bac.support() + "/Meteo.exe", "MZ");
    ecrireFichier(bac.support() + "/METEO.SVG", svg);
    const QImage meteo = p.IconeFichier("d:\\Meteo.exe", 64);
    ASSERT_EQ(meteo.size(), QSize(64, 64));
    EXPECT_EQ(meteo.pixel(32, 32), qRgb(0, 0, 255));  // 2:1, centred
    EXPECT_EQ(qAlpha(meteo.pixel(32, 8)), 0);
    ecrireFichier(bac.support() + "/faux", QByteArray("\x7f" "ELF\x02\x01\x01", 7) + QByteArray(100, '\0'));
    ecrireFichier(bac.support() + "/faux.png", "pas une image");
    const QImage generique = p.IconeFichier("d:\\faux");
    EXPECT_EQ(generique, plateforme::interne::iconeGenerique(32));
    int opaques = 0;
    for (int k = 0; k < 32 * 32; ++k) opaques += qAlpha(generique.pixel(k % 32, k / 32)) > 128;
    EXPECT_GT(opaques, 200);  // never an empty square
    copierSupportExemple(bac.support());
    EXPECT_EQ(p.IconeFichier("d:\\Outils.dll"), generique);  // a library without resources
    ecrireFichier(bac.support() + "/Meteo.txt", "texte");  // no program: nothing, even with an image beside
    EXPECT_TRUE(p.IconeFichier("d:\\Meteo.txt").isNull());

}

// Damaged files, and what is no icon, give none: never a crash, a wait (on a pipe nobody writes into), an
// icon of the wrong size or a drawing.
TEST_F(Icones, LesFichiersAbimesOuSansIconeNeDonnentRien)
{
    const QByteArray bon = fichierIco({imageDib(uni(32, Qt::red), 32)});
    // A text, an empty program, a cursor file (type 2 in the header).
    for (auto [nom, octets] : {std::pair{"notes.txt", QByteArray("Ceci n'est pas une icône.")},
                               {"vide.exe", QByteArray()}, {"c.cur", abime(bon, 0, 0x00020000u)}})
        ecrireFichier(bac.support() + "/" + nom, octets);
    QDir().mkpath(bac.support() + "/dossier.exe");
    ASSERT_EQ(mkfifo(QFile::encodeName(bac.support() + "/tube.ico").constData(), 0600), 0);
    PictureBox boite;
    boite.resize(41, 41);
    boite.setBackColor(Qt::darkCyan);
    const QImage avant = boite.Image();
    ASSERT_EQ(avant.pixelColor(0, 0), QColor(Qt::darkCyan));
    for (const char* chemin : {"d:\\notes.txt", "d:\\vide.exe", "d:\\c.cur", "d:\\dossier.exe",
                               "d:\\tube.ico", "d:\\absent.exe", "q:\\Agenda.exe", "d:\\..\\x.ico"}) {
        EXPECT_TRUE(p.IconeFichier(chemin).isNull()) << chemin;
        DessinerIcone(p, boite, chemin);
    }
    EXPECT_EQ(boite.Image(), avant);

    // Image or size beyond the end, short header, header size, width, height, 16 bpp (unsupported).
    const Ecriture cas[] = {{18, 0xFFFFFFF0u}, {14, 0xFFFFFFFFu}, {14, 20},         {22, 0xFFFFFFFFu},
                            {26, 0x7FFFFFFF},  {30, 0x80000000u}, {34, 0x00100001u}};
    for (const auto& [position, valeur] : cas)
        EXPECT_TRUE(icone("faux.ico", abime(bon, position, valeur)).isNull()) << position << " " << valeur;
    QByteArray nombreux = bon;
    poser16(nombreux, 4, 0xFFFF);  // 65535 entries announced, one there: read, as the undamaged file is
    EXPECT_FALSE(icone("nombreux.ico", nombreux).isNull());
    // A PNG announcing a 65536-wide image is refused before it is decoded (a sound one is read: see above).
    EXPECT_TRUE(icone("geant.ico", abime(fichierIco({imagePng(uni(32, Qt::red))}), 22 + 16, 0x00000100u)).isNull());

    // Programs, read straight from the bytes: the generic icon would hide an absent one.
    copierSupportExemple(bac.support());
    const QByteArray exe = lireFichier(bac.support() + "/Agenda.exe");
    ASSERT_GT(exe.size(), 4096);
    using plateforme::interne::iconeWindows;
    const int optionnel = 0x80 + 24, sectionRsrc = optionnel + 0xE0 + 40, rsrc = 0x400;
    // PE header beyond the end or no signature there, resources at no section, too few data directories, raw
    // data beyond the end, 65535 named types, group type looping to the root or out of bounds.
    const Ecriture casPE[] = {{0x3C, 0xFFFFFFF0u}, {0x3C, 0x200}, {optionnel + 96 + 16, 0x7FFFFFF0},
                              {optionnel + 92, 2}, {sectionRsrc + 20, 0xFFFFFF00u}, {rsrc + 12, 0xFFFF0000u},
                              {rsrc + 28, 0x80000000u}, {rsrc + 28, 0x7FFFFFF0u}};
    for (const auto& [position, valeur] : casPE)
        EXPECT_TRUE(iconeWindows(abime(exe, position, valeur), 32).isNull()) << position << " " << valeur;
    // Cut anywhere (nothing before the resources at 0x400), or headers damaged at random.
    QRandomGenerator aleas(20261207);
    for (int n = 0; n < exe.size(); n += 31) {
        QByteArray b = exe;
        for (int k = 0; k < 8; ++k) b[int(aleas.bounded(0x600))] = char(aleas.bounded(256));
        for (const QImage& img : {iconeWindows(exe.left(n), 32), iconeWindows(b, 32)})
            EXPECT_TRUE(img.isNull() || img.size() == QSize(32, 32)) << n;
        if (n < 0x400) EXPECT_TRUE(iconeWindows(exe.left(n), 32).isNull()) << n;
    }
}

// The bytes of a picture as Qt writes it, at its own depth.
QByteArray png(const QImage& image)
{
    QByteArray o;
    QBuffer tampon(&o);
    tampon.open(QIODevice::WriteOnly);
    image.save(&tampon, "PNG");
    return o;
}

QImage rect(int largeur, int hauteur, QColor couleur, QImage::Format format = QImage::Format_ARGB32)
{
    QImage img(largeur, hauteur, format);
    img.fill(couleur);
    return img;
}

// A picture beside a program is drawn from what the medium holds and within bounds, or the program gets the
// generic icon: never another file (a private one of the user's here), never a hang (a test that hangs is
// stopped by CTest). Every document but the sound ones would otherwise show something.
TEST_F(Icones, LesImagesVoisinesRestentDansLeurContenuEtDansLeursBornes)
{
    const QString prive = bac.home() + "/prive.png";
    ecrireFichier(prive, png(uni(8, Qt::red)));
    QFile(prive).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ecrireFichier(bac.support() + "/rouge.css", "rect { fill: #ff0000; }");
    const QByteArray externe = QFile::encodeName(prive), w3c = "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                                                             "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">";
    auto svg = [](const QByteArray& corps, const QByteArray& prologue = {}) {
        return prologue + "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                          "width='32' height='32'><rect width='32' height='32' fill='#0000ff'/>" + corps + "</svg>";
    };
    auto image = [](const QByteArray& type, const QByteArray& octets) {
        return "<image width='32' height='32' xlink:href='data:image/" + type + ";base64," + octets.toBase64() + "'/>";
    };
    QByteArray emboite = "<rect id='n0' width='1' height='1'/>", lourd = "<path id='p' d='M0 0";
    for (int n = 1; n <= 15; ++n)
        emboite += "<g id='n" + QByteArray::number(n) + "'>" +
                   QByteArray(4, '.').replace(".", "<use xlink:href='#n" + QByteArray::number(n - 1) + "'/>") + "</g>";
    while (lourd.size() < 40000) lourd += " L1 1";
    lourd += "'/>" + QByteArray(20, '.').replace(".", "<use xlink:href='#p'/>");
    const QByteArray entites = "<!DOCTYPE svg [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
                               "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>]>";
    const struct { const char* nom; QByteArray octets; QRgb attendue; } cas[] = {
        {"svg", svg(image("png", png(uni(8, Qt::red)))), qRgb(255, 0, 0)},
        {"svg", svg("<use xlink:href='#v'/><defs><rect id='v' width='32' height='32' fill='url(#d)'/>"
                    "<linearGradient id='d'><stop offset='0' stop-color='#00ff00'/></linearGradient></defs>", w3c),
         qRgb(0, 255, 0)},
        {"png", png(rect(4096, 1024, Qt::red)), qRgb(255, 0, 0)},
        {"svg", svg("<image width='32' height='32' xlink:href='" + externe + "'/>")},
        {"svg", svg("<use xlink:href='autre.svg#a'/>")},
        {"svg", svg(image("png", svg("<image width='32' height='32' xlink:href='" + externe + "'/>")))},
        {"svg", svg(image("png", png(rect(5000, 10, Qt::red))))},
        {"svg", svg("", "<?xml-stylesheet type=\"text/css\" href=\"rouge.css\"?>")},
        {"svg", svg("<style>@import 'rouge.css';</style>")},
        {"svg", svg("<rect width='9' height='9' style='fill: url( \"autre.svg#d\")'/>")},
        {"svg", svg("<text>&e;</text>", "<!DOCTYPE svg [<!ENTITY e SYSTEM '" + externe + "'>]>")},
        {"svg", svg("<text>&c;</text>", entites)},
        {"svg", svg("<text>&e;</text>", w3c)},
        {"svg", svg("", "<!DOCTYPE svg SYSTEM 'svg.dtd'>")},
        {"svg", svg("<defs>" + emboite + "</defs><use xlink:href='#n15'/>")},
        {"svg", svg("<g id='a'><use xlink:href='#b'/></g><g id='b'><use xlink:href='#a'/></g>")},
        {"svg", svg(QByteArray(100, '.').replace(".", "<g>") + QByteArray(100, '.').replace(".", "</g>"))},
        {"svg", svg("<defs>" + lourd + "</defs>")},
        {"svg", svg("<!--" + QByteArray(1 << 20, 'x') + "-->")},
        {"png", png(rect(5000, 10, Qt::red))},
        {"png", png(rect(3000, 3000, Qt::red, QImage::Format_RGBA64))},   // 72 MB once decoded
    };
    const QImage generique = plateforme::interne::iconeGenerique(32);
    ecrireFichier(bac.support() + "/meteo", QByteArray("\x7f" "ELF", 4));
    for (const auto& c : cas) {
        const QString voisine = bac.support() + "/meteo." + c.nom;
        ecrireFichier(voisine, c.octets);
        const QImage img = p.IconeFichier("d:\\meteo");
        if (c.attendue) EXPECT_EQ(img.pixel(16, 16), c.attendue) << c.octets.left(300).toStdString();
        else EXPECT_EQ(img, generique) << c.octets.left(300).toStdString();
        QFile::remove(voisine);
    }

    // The same picture under two paths is decoded once: both answers share their pixels. One that changed is read
    // again.
    const QByteArray bleu = png(uni(300, Qt::blue));
    for (const char* nom : {"/a", "/b"}) {
        ecrireFichier(bac.support() + nom, QByteArray("\x7f" "ELF", 4));
        ecrireFichier(bac.support() + nom + ".png", bleu);
    }
    const QImage a = p.IconeFichier("d:\\a", 48);
    EXPECT_EQ(a.pixel(24, 24), qRgb(0, 0, 255));
    EXPECT_EQ(p.IconeFichier("d:\\b", 48).cacheKey(), a.cacheKey());
    ecrireFichier(bac.support() + "/b.png", "abime");
    EXPECT_EQ(p.IconeFichier("d:\\b", 48), plateforme::interne::iconeGenerique(48));
}

}  // namespace
