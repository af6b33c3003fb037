// Icons of program files and .ico files, their drawing in the start page's
// icon box, and the sample medium's program file.
#include "tests/outils.h"

#include "examples/dessin_agenda.h"
#include "examples/fabrique_icones.h"
#include "extras/icone.h"
#include "wizard/controles.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

using fabrique::ImageIcone;

namespace {

QImage uni(int cote, QColor couleur)
{
    QImage img(cote, cote, QImage::Format_ARGB32);
    img.fill(couleur);
    return img;
}

// Four colours in quadrants and a transparent top-left corner: enough to
// see rows, columns, palette and mask come out in their places.
QImage motif(int cote, QList<QColor> couleurs)
{
    QImage img(cote, cote, QImage::Format_ARGB32);
    for (int y = 0; y < cote; ++y)
        for (int x = 0; x < cote; ++x) {
            const int q = (y < cote / 2 ? 0 : 2) + (x < cote / 2 ? 0 : 1);
            img.setPixel(x, y, couleurs[q % couleurs.size()].rgb());
        }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) img.setPixel(x, y, qRgba(0, 0, 0, 0));
    return img;
}

class Icones : public ::testing::Test {
protected:
    Bac bac;
    PlateformeTest p{bac.racine()};

    QImage icone(const QString& nom, const QByteArray& octets)
    {
        ecrireFichier(bac.support() + "/" + nom, octets);
        return p.IconeFichier("d:\\" + nom);
    }
};

TEST_F(Icones, LeProgrammeExempleDonneSonIcone32x32PleinesCouleurs)
{
    copierSupportExemple(bac.support());
    const QImage img = p.IconeFichier("d:\\Agenda.exe");
    ASSERT_EQ(img.size(), QSize(32, 32));
    EXPECT_EQ(img.format(), QImage::Format_ARGB32);
    // Among a 16 x 16, a 256-colour and a full-colour 32 x 32 and a 48 x 48
    // image, the full-colour 32 x 32 one, pixel for pixel.
    EXPECT_EQ(img, DessinerAgenda(32));
    QSet<QRgb> couleurs;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) couleurs.insert(img.pixel(x, y));
    EXPECT_GT(couleurs.size(), 20);
    // The library of the medium holds no resources.
    EXPECT_TRUE(p.IconeFichier("d:\\Outils.dll").isNull());
}

TEST_F(Icones, ChaqueProfondeurSeDecodeAvecSonMasque)
{
    const QImage quatre = motif(32, {Qt::red, Qt::green, Qt::blue, Qt::yellow});
    const QImage deux = motif(32, {Qt::white, Qt::black});
    const struct {
        int bpp;
        QImage source;
    } cas[] = {{1, deux}, {4, quatre}, {8, quatre}, {24, quatre}, {32, quatre}};
    for (const auto& c : cas) {
        const QImage ico = icone("a.ico", fabrique::fichierIco({fabrique::imageDib(c.source, c.bpp)}));
        EXPECT_EQ(ico, c.source) << c.bpp << " bpp, .ico";
        const QImage pe = icone("a.exe", fabrique::fichierPE({fabrique::imageDib(c.source, c.bpp)}));
        EXPECT_EQ(pe, c.source) << c.bpp << " bpp, program";
    }
    EXPECT_EQ(icone("png.ico", fabrique::fichierIco({fabrique::imagePng(quatre)})), quatre);
    EXPECT_EQ(icone("png.dll", fabrique::fichierPE({fabrique::imagePng(quatre)}, "MZ", true)), quatre);
}

TEST_F(Icones, UneImage32BitsSansAlphaPrendSonMasque)
{
    const QImage source = motif(32, {Qt::red, Qt::green, Qt::blue, Qt::yellow});
    ImageIcone i = fabrique::imageDib(source, 32);
    for (int k = 0; k < 32 * 32; ++k) i.donnees[40 + 4 * k + 3] = 0;
    EXPECT_EQ(icone("masque.ico", fabrique::fichierIco({i})), source);
}

TEST_F(Icones, LeChoixPrefere32x32LePlusDeCouleursPuisLaTailleLaPlusProche)
{
    // 32 x 32: most colours wins, whatever the order.
    const QImage choisie = icone("choix.ico", fabrique::fichierIco({
        fabrique::imageDib(uni(16, Qt::red), 32),
        fabrique::imageDib(uni(32, Qt::yellow), 4),
        fabrique::imageDib(uni(32, Qt::green), 24),
        fabrique::imageDib(uni(32, Qt::cyan), 8),
        fabrique::imageDib(uni(48, Qt::magenta), 32),
    }));
    ASSERT_EQ(choisie.size(), QSize(32, 32));
    EXPECT_EQ(choisie.pixel(10, 10), QColor(Qt::green).rgb());

    // No 32 x 32: at equal distance the larger image, brought to 32 x 32.
    const QImage reduite = icone("reduite.exe", fabrique::fichierPE({
        fabrique::imageDib(uni(16, Qt::red), 32),
        fabrique::imageDib(uni(48, Qt::blue), 32),
    }));
    ASSERT_EQ(reduite.size(), QSize(32, 32));
    EXPECT_EQ(reduite.pixel(16, 16), QColor(Qt::blue).rgb());
    const QImage agrandie = icone("agrandie.ico", fabrique::fichierIco({fabrique::imageDib(uni(16, Qt::red), 8)}));
    ASSERT_EQ(agrandie.size(), QSize(32, 32));
    EXPECT_EQ(agrandie.pixel(31, 31), QColor(Qt::red).rgb());

    // An image that cannot be decoded gives way to the next best one.
    ImageIcone cassee = fabrique::imageDib(uni(32, Qt::red), 32);
    cassee.donnees.truncate(100);
    const QImage secours = icone("secours.ico", fabrique::fichierIco({cassee, fabrique::imageDib(uni(32, Qt::blue), 8)}));
    EXPECT_EQ(secours.pixel(3, 3), QColor(Qt::blue).rgb());
}

TEST_F(Icones, CeQuiNEstPasUneIconeDonneUneImageNulle)
{
    EXPECT_TRUE(icone("notes.txt", "Ceci n'est pas une icône.\r\n").isNull());
    EXPECT_TRUE(icone("vide.exe", "").isNull());
    EXPECT_TRUE(icone("mz.exe", "MZ").isNull());
    EXPECT_TRUE(p.IconeFichier("d:\\absent.exe").isNull());
    EXPECT_TRUE(p.IconeFichier("q:\\Agenda.exe").isNull());
    EXPECT_TRUE(p.IconeFichier("d:\\..\\x.ico").isNull());
    QDir().mkpath(bac.support() + "/dossier.exe");
    EXPECT_TRUE(p.IconeFichier("d:\\dossier.exe").isNull());
    // A pipe has nobody writing into it: opening it would wait forever.
    ASSERT_EQ(mkfifo(QFile::encodeName(bac.support() + "/tube.ico").constData(), 0600), 0);
    EXPECT_TRUE(p.IconeFichier("d:\\tube.ico").isNull());
    // A cursor file is not an icon file.
    QByteArray curseur = fabrique::fichierIco({fabrique::imageDib(uni(32, Qt::red), 32)});
    curseur[2] = 2;
    EXPECT_TRUE(icone("c.cur", curseur).isNull());
}

TEST_F(Icones, LesDecalagesFauxDUnFichierIcoSontRefuses)
{
    const QByteArray bon = fabrique::fichierIco({fabrique::imageDib(uni(32, Qt::red), 32)});
    ASSERT_FALSE(icone("bon.ico", bon).isNull());
    auto modifie = [&](int position, std::uint32_t valeur) {
        QByteArray b = bon;
        fabrique::poser32(b, position, valeur);
        return icone("faux.ico", b);
    };
    EXPECT_TRUE(modifie(6 + 12, 0xFFFFFFF0u).isNull());           // image beyond the end
    EXPECT_TRUE(modifie(6 + 8, 0xFFFFFFFFu).isNull());            // size beyond the end
    EXPECT_TRUE(modifie(6 + 8, 20).isNull());                     // header cut short
    EXPECT_TRUE(modifie(22, 0xFFFFFFFFu).isNull());               // header size
    EXPECT_TRUE(modifie(22 + 4, 0x7FFFFFFF).isNull());            // width
    EXPECT_TRUE(modifie(22 + 8, 0x80000000u).isNull());           // height
    EXPECT_TRUE(modifie(22 + 12, 0x00100001u).isNull());          // 16 bpp: unsupported
    QByteArray nombreux = bon;
    fabrique::poser16(nombreux, 4, 0xFFFF);                        // 65535 entries announced
    EXPECT_FALSE(icone("nombreux.ico", nombreux).isNull());
    // A PNG announcing a huge image is refused before it is decoded.
    QByteArray png = fabrique::fichierIco({fabrique::imagePng(uni(32, Qt::red))});
    QByteArray geant = png;
    const int ihdr = 22 + 16;
    for (int k = 0; k < 4; ++k) geant[ihdr + k] = char(k == 1 ? 0x01 : 0);  // 65536 wide
    EXPECT_FALSE(icone("png.ico", png).isNull());
    EXPECT_TRUE(icone("geant.ico", geant).isNull());
}

TEST_F(Icones, UnProgrammeTronqueOuAbimeNeFaitNiPlanterNiAttendre)
{
    copierSupportExemple(bac.support());
    const QByteArray exe = lireFichier(bac.support() + "/Agenda.exe");
    ASSERT_GT(exe.size(), 4096);
    // Cut anywhere: an icon when the chosen image is whole, else none.
    for (int n = 0; n < exe.size(); n += 61) {
        const QImage img = icone("coupe.exe", exe.left(n));
        EXPECT_TRUE(img.isNull() || img.size() == QSize(32, 32)) << n;
        if (n < 0x400) EXPECT_TRUE(img.isNull()) << n;  // no resource section yet
    }
    // Headers and directories pointing anywhere.
    auto modifie = [&](int position, std::uint32_t valeur) {
        QByteArray b = exe;
        fabrique::poser32(b, position, valeur);
        return icone("faux.exe", b);
    };
    EXPECT_TRUE(modifie(0x3C, 0xFFFFFFF0u).isNull());   // PE header beyond the end
    EXPECT_TRUE(modifie(0x3C, 0x200).isNull());         // no PE signature there
    const int optionnel = 0x80 + 24;
    EXPECT_TRUE(modifie(optionnel + 96 + 16, 0x7FFFFFF0).isNull());  // resources at no section
    EXPECT_TRUE(modifie(optionnel + 92, 2).isNull());                // too few data directories
    const int sectionRsrc = optionnel + 0xE0 + 40;
    EXPECT_TRUE(modifie(sectionRsrc + 20, 0xFFFFFF00u).isNull());    // raw data beyond the end
    const int rsrc = 0x400;
    EXPECT_TRUE(modifie(rsrc + 12, 0xFFFF0000u).isNull());           // 65535 named types
    EXPECT_TRUE(modifie(rsrc + 16 + 8 + 4, 0x80000000u).isNull());   // group type loops to the root
    EXPECT_TRUE(modifie(rsrc + 16 + 8 + 4, 0x7FFFFFF0u).isNull());   // group type out of bounds
    // Random damage: any answer but a crash or a wrong size.
    QRandomGenerator aleas(20261207);
    for (int essai = 0; essai < 300; ++essai) {
        QByteArray b = exe;
        for (int k = 0; k < 8; ++k)
            b[int(aleas.bounded(0x400 + 0x200))] = char(aleas.bounded(256));
        const QImage img = icone("abime.exe", b);
        EXPECT_TRUE(img.isNull() || img.size() == QSize(32, 32));
    }
}

TEST_F(Icones, DessinerIconeDessineEnHautAGaucheSurLeFond)
{
    copierSupportExemple(bac.support());
    const QColor fond(212, 208, 200);
    PictureBox boite;
    boite.resize(41, 41);
    boite.setBackColor(fond);
    DessinerIcone(p, boite, "d:\\Agenda.exe");

    QImage attendue(boite.Image().size(), QImage::Format_RGB32);
    attendue.fill(fond);
    QPainter peintre(&attendue);
    peintre.drawImage(0, 0, DessinerAgenda(32));
    peintre.end();
    EXPECT_EQ(boite.Image().convertToFormat(QImage::Format_RGB32), attendue);
    EXPECT_NE(boite.Image().pixel(16, 20), fond.rgb());
    EXPECT_EQ(boite.Image().pixel(0, 0), fond.rgb());  // the icon's own transparent corner
    EXPECT_EQ(boite.Image().pixel(35, 35), fond.rgb());

    // A file without an icon leaves the box as it was.
    PictureBox vide;
    vide.resize(41, 41);
    vide.setBackColor(fond);
    ecrireFichier(bac.support() + "/lisez-moi.txt", "texte");
    DessinerIcone(p, vide, "d:\\lisez-moi.txt");
    DessinerIcone(p, vide, "d:\\absent.exe");
    QImage unie(vide.Image().size(), QImage::Format_RGB32);
    unie.fill(fond);
    EXPECT_EQ(vide.Image().convertToFormat(QImage::Format_RGB32), unie);
}

TEST_F(Icones, LeDemarrageMontreLIconeDuProgrammeDuSupport)
{
    copierSupportExemple(bac.support());
    Install w(p);
    w.Form_Load();
    const QImage image = w.Picture1->Image();
    QImage attendue(image.size(), QImage::Format_RGB32);
    attendue.fill(w.Picture1->BackColor());
    QPainter peintre(&attendue);
    peintre.drawImage(0, 0, DessinerAgenda(32));
    peintre.end();
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), attendue);
}

TEST(SupportExemple, ToutFichierNommeParInstallInfEstPresent)
{
    Bac bac;
    copierSupportExemple(bac.support());
    const QStringList lignes = PlateformeTest(bac.racine()).LireLignes("d:\\Install.inf");
    QStringList noms;
    for (const QString& l : lignes)
        if ((l.startsWith("F") || l.startsWith("Programme=") || l.startsWith("NomAide=")) && l.contains('='))
            if (const QString v = l.section('=', 1); !v.isEmpty()) noms << v;
    EXPECT_TRUE(noms.contains("Agenda.exe"));
    EXPECT_TRUE(noms.contains("agenda-demo"));
    for (const QString& n : noms) EXPECT_TRUE(QFile::exists(bac.support() + "/" + n)) << n.toStdString();
    EXPECT_TRUE(QFileInfo(bac.support() + "/Agenda.exe").isExecutable());
    EXPECT_TRUE(QFileInfo(bac.support() + "/agenda-demo").isExecutable());
}

TEST(SupportExemple, LeShellLanceLaDemonstrationDepuisAgendaExe)
{
    QTemporaryDir dir;
    QFile::copy(QStringLiteral(SUPPORT_EXEMPLE) + "/Agenda.exe", dir.filePath("Agenda.exe"));
    // A stand-in for the demonstration that records how it was started.
    ecrireFichier(dir.filePath("agenda-demo"), "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"$(dirname \"$0\")/lance.txt\"\n");
    QFile(dir.filePath("agenda-demo")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const int code = QProcess::execute("/bin/sh", {dir.filePath("Agenda.exe"), "un", "deux mots"});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(QString::fromUtf8(lireFichier(dir.filePath("lance.txt"))),
              dir.filePath("agenda-demo") + "\nun\ndeux mots\n");
}

TEST(SupportExemple, LaDemonstrationGardeSesReglagesSousLeNomDuProgramme)
{
    QTemporaryDir config;
    QProcess demo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config.path());
    demo.setProcessEnvironment(env);
    demo.start(QStringLiteral(SUPPORT_EXEMPLE) + "/agenda-demo", {});
    ASSERT_TRUE(demo.waitForStarted(10000));
    // Where an uninstallation erases the settings of a program named Agenda.
    const QString reglages = config.filePath("Agenda.ini");
    for (int i = 0; i < 200 && !QFile::exists(reglages); ++i) QThread::msleep(50);
    demo.kill();
    demo.waitForFinished(10000);
    EXPECT_TRUE(lireFichier(reglages).contains("DernierLancement=")) << reglages.toStdString();
}

}  // namespace
