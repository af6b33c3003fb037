// The window at start-up and the Install.inf it reads, the moves between its pages, the commands of the final page,
// the progress bar and the free-space figure.
#include "engine/progression.h"
#include "tests/outils.h"
#include "wizard/install.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QStringEncoder>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <limits>

namespace {
using namespace plateforme;

struct Fenetre : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;
    // The sample medium, its help file not there yet.
    void SetUp() override
    {
        preparerSupport(bac.support(), {{"NomGroupeDéfaut", "Mon Agenda"}, {"NomAide", "Aide.html"}});
        ouvrir();
    }
    // Opens the window, on `octets` as the description when given (named in capitals as on old media: the lookup
    // ignores case).
    void ouvrir(const QByteArray& octets = {})
    {
        if (!octets.isNull()) ecrireFichier(bac.support() + "/INSTALL.INF", octets);
        w.reset();
        p = std::make_unique<PlateformeTest>(bac.racine());
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }
    bool montrer()
    {
        w->show();
        QApplication::setActiveWindow(w.get());
        return QTest::qWaitForWindowActive(w.get());
    }
    // Which pages are shown: start, install, uninstall, final.
    std::string pages() const
    {
        return {w->FrameDépart->isHidden() ? '-' : 'D', w->FrameInstall->isHidden() ? '-' : 'I',
                w->FrameDésinst->isHidden() ? '-' : 'U', w->Picture2->isHidden() ? '-' : 'F'};
    }
};

// The welcome names the group, the buttons the program; only the start page shows, under the final page.
// With no font on the machine (tests/CMakeLists.txt), each caption is in the program's own face and fits.
TEST_F(Fenetre, LegendesEnLiberationSansDansLeursControles)
{
    EXPECT_EQ(QStringList({w->LabInfo->text(), w->Label3->text(), w->Command1->text(), w->Command3->text(),
                           w->Uninst->text()}),
              QString::fromUtf8("Bienvenue dans le programme d'installation de Mon Agenda|Les fichiers présents dans "
                                "le répertoire ''Programmes\\Agenda'' devront être effacés manuellement !|"
                                "Installation du programme Agenda|Lancer Agenda|Désinstallation complète de Agenda")
                  .split('|'));
    EXPECT_EQ(pages(), "D---");
    EXPECT_EQ(w->children().last(), w->Picture2);
    // The program's icon at the box's top-left, unscaled on both program buttons and the uninstall page.
    const QImage agenda = p->IconeFichier("d:\\agenda");
    ASSERT_EQ(agenda.size(), QSize(32, 32));
    const QImage icone = w->Picture1->Image().convertToFormat(QImage::Format_RGB32);
    QImage attendue(icone.size(), QImage::Format_RGB32);
    attendue.fill(w->Picture1->BackColor());
    QPainter(&attendue).drawImage(0, 0, agenda);
    EXPECT_EQ(icone, attendue);
    EXPECT_EQ(w->Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32), icone);
    for (QToolButton* b : {w->Command1, w->Command3})
        EXPECT_EQ(b->icon().pixmap(icone.size()).toImage().convertToFormat(QImage::Format_RGB32), icone);

    ASSERT_TRUE(montrer());
    w->LabI1->show();
    int vus = 0;
    for (QWidget* c : w->findChildren<QWidget*>()) {
        const QFontMetrics m = c->fontMetrics();
        int largeur = 0, hauteur = m.height();  // what the caption needs
        if (auto* l = qobject_cast<QLabel*>(c); l && !l->text().trimmed().isEmpty()) {
            largeur = l->wordWrap() ? l->width() : l->sizeHint().width();
            if (l->wordWrap()) hauteur = l->heightForWidth(l->width());
        } else if (auto* b = qobject_cast<QAbstractButton*>(c);
                   b && !dynamic_cast<CaseACocher*>(b) && !dynamic_cast<BoutonMultiligne*>(b)) {
            const bool caseOuOption = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
            largeur = caseOuOption ? b->sizeHint().width() : m.horizontalAdvance(b->text().remove('&')) + 6;
        } else if (auto* g = qobject_cast<QGroupBox*>(c); g && !g->title().isEmpty()) {
            largeur = m.horizontalAdvance(g->title()) + 12;
            hauteur = 0;  // the title sits on the frame
        } else {
            continue;
        }
        ++vus;
        SCOPED_TRACE((c->property("text").toString() + c->property("title").toString()).toStdString());
        EXPECT_EQ(QFontInfo(c->font()).family(), "Liberation Sans");
        EXPECT_LE(largeur, c->width());
        EXPECT_LE(hauteur, c->height());
    }
    EXPECT_GE(vus, 20);
}

// A missing install directory is told at each visit of the uninstall page, which turns Cancel into "Terminer".
// On the final page Help opens the medium's file whatever the case of its name, warning after opening it
// when it is absent; Launch starts the installed program and ends, as Quit and "Terminer" do.
TEST_F(Fenetre, NavigationEtPageFinale)
{
    const BoiteMessage absent{QString::fromUtf8("Le répertoire: c:\\Programmes\\Agenda n'existe plus, "
                                                "la désinstallation n'est pas possible"),
                              vbCritical, QString::fromUtf8("Echec à la désinstallation")};
    w->OptionDépart[2]->click();
    w->BSuiv->click();
    EXPECT_EQ(pages(), "--U-");
    EXPECT_EQ(std::tuple(w->BPréc->isEnabled(), w->BSuiv->isEnabled(), w->Uninst->isEnabled()),
              std::tuple(true, false, false));
    w->BPréc->click();
    EXPECT_EQ(pages(), "D---");
    EXPECT_FALSE(w->BPréc->isEnabled());
    w->BSuiv->click();
    EXPECT_EQ(p->boites, Boites({absent, absent}));
    w->BPréc->click();
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    EXPECT_EQ(pages(), "-I--");
    EXPECT_EQ(w->Annul->text(), "Terminer");
    w->BSuiv->setEnabled(true);  // as the install command leaves it when it has finished
    w->BSuiv->click();
    EXPECT_EQ(pages(), "---F");
    w->Command2->click();
    EXPECT_EQ(p->boites, Boites({absent, absent, {QString::fromUtf8("Le fichier Aide.html n'est pas dans le "
                                                                   "répertoire spécifié par le fichier INSTALL.INF"),
                                                  vbExclamation, ""}}));
    ecrireFichier(bac.support() + "/aide.HTML", "<html></html>");
    w->Command2->click();
    EXPECT_EQ(p->ouverts, std::vector<QString>({"d:\\Aide.html", "d:\\Aide.html"}));  // a root: one backslash
    EXPECT_EQ(p->boites.size(), 3u);
    w->Drive1->setDrive("z:");
    EXPECT_THROW(w->Command3->click(), FinProgramme);
    EXPECT_EQ(p->demarres, std::vector<QString>({"z:\\Programmes\\Agenda\\agenda"}));
    EXPECT_THROW(w->Command13->click(), FinProgramme);
    EXPECT_THROW(w->Annul->click(), FinProgramme);
    EXPECT_EQ(p->fins, 3);
}

// The row's access keys move between the pages. On the final page, which covers the others, they do
// nothing, and Tab and Shift+Tab go round its own buttons only, from the first one.
TEST_F(Fenetre, ClavierSurLaPageFinale)
{
    ASSERT_TRUE(montrer());
    w->OptionDépart[1]->click();
    w->OptionDépart[1]->setFocus();
    auto touche = [](Qt::Key k) {
        QTest::keyClick(QApplication::focusWidget(), k, Qt::AltModifier);
        QTest::qWait(250);  // an access key clicks its button after a short animation
    };
    touche(Qt::Key_S);
    EXPECT_EQ(pages(), "-I--");
    touche(Qt::Key_P);
    EXPECT_EQ(pages(), "D---");
    w->BSuiv->click();
    w->BSuiv->setEnabled(true);
    w->BSuiv->setFocus();
    QTest::keyClick(w->BSuiv, Qt::Key_Space);
    ASSERT_EQ(pages(), "---F");
    // Tab, with a Shift+Tab every third key; then the row's access keys.
    const std::vector<QWidget*> attendus{w->Command3, w->Command13, w->Command4, w->Command13, w->Command4,
                                         w->Command3, w->Command4, w->Command3, w->Command13};
    std::vector<QWidget*> vus;
    for (std::size_t i = 0; i < attendus.size(); ++i) {
        vus.push_back(QApplication::focusWidget());
        QTest::keyClick(vus.back(), i % 3 == 2 ? Qt::Key_Backtab : Qt::Key_Tab);
    }
    EXPECT_EQ(vus, attendus);
    touche(Qt::Key_S);
    touche(Qt::Key_A);
    EXPECT_EQ(w->Courant, 2);
    EXPECT_EQ(p->fins, 0);
    EXPECT_EQ(pages(), "---F");
}

// Reading Install.inf, through the same window, once the sample's has gone.
using Lecture = Fenetre;

// Windows-1252, UTF-8 with or without its mark, and a mix of the two. "key=" from the header's length + 2 past its
// line start, to the next CR before the 16-bit end position. The size runs to a "Mo" in capitals.
TEST_F(Lecture, CodagesBornesEtTaille)
{
    QFile::remove(bac.support() + "/Install.inf");
    const QString inf = QString::fromUtf8("[Général]\r\nRépertoireInstallDéfaut=Données\\Agenda\r\nEspaceRequis=3Mo\r\n"
                                          "Info1=Merci.\r\n[Fichiers]\r\nF1=Agenda.exe\r\nF2=\r\nF3=Modeles.dat\r\n"
                                          "[FichiersSystem]\r\nFs1=Outils.dll\r\n");
    const QByteArray ansi = QStringEncoder("windows-1252")(inf), utf8 = inf.toUtf8();
    for (const QByteArray& octets : {ansi, utf8, "\xEF\xBB\xBF" + utf8}) {
        ouvrir(octets);
        EXPECT_EQ(QStringList({w->RepDef, w->TailleInstall.toString(), w->Label8->text(), w->F1, w->F2, w->F3,
                               w->Fs1, QString::number(w->PbMax)}),
                  QStringList({QString::fromUtf8("Données\\Agenda"), "3", "Merci.", "Agenda.exe", "", "Modeles.dat",
                               "Outils.dll", "3"}));
    }
    // A valid UTF-8 é, then the lone Windows-1252 bytes of é and the euro sign.
    ouvrir(QByteArray("[G\xc3\xa9n\xc3\xa9ral]\r\nNomProgramme=Caf\xe9 \x80\r\n"));
    EXPECT_EQ(w->NomProg, QString::fromUtf8("Café €"));

    ouvrir(QByteArray("[Fichiers]\r\nF1=fin"));
    EXPECT_EQ(w->F1, "fin");  // read from a file, the last line is ended all the same
    const QString x(32759, 'x');
    for (auto [texte, attendu] : {std::pair{QString("[S]\r\nK=1\r\n"), QString("1")},
                                  {"[S]\r\nK=\r\nK=2\r\n", ""}, {"abcK=1\r\n", ""}, {"abcdK=1\r\n", "1"},
                                  {"K=0\r\n[S]\r\nK =1\r\n[T]\r\nXK=a=b\r\n", "a=b"}, {"[S]\r\nK=a\nL=b\r\n", "a\nL=b"},
                                  {"[S]\r\nK=" + x + "\r\n", x}, {"[S]\r\nK=x" + x + "\r\n", ""},
                                  {"[S]\r\nK=fin", ""}}) {
        w->InfosInf = texte;
        EXPECT_EQ(w->LireValeur("S", "K"), attendu) << texte.left(30).toStdString();
    }
    for (const auto& [texte, attendu] : {std::pair{"12Mo", 12.0}, {"1.5Mo", 1.5}, {" 1 2 Mo", 12}, {"2,5Mo", 2},
                                         {"-3Mo", -3}, {"1e2Mo", 100}, {"12mo", 0}, {"12", 0}, {"abcMo", 0}}) {
        w->TailleInstall = QString::fromUtf8(texte);
        w->ConvertirTaille();
        EXPECT_DOUBLE_EQ(w->TailleInstall.toDouble(), attendu) << texte;
    }
}

// Absent, hidden or a folder: the message and the end; unreadable (the process's memory, even to root): empty values.
TEST_F(Lecture, AbsentOuIllisible)
{
    QFile::remove(bac.support() + "/Install.inf");
    for (const QString cas : {"", ".Install.inf", "Install.inf/x"}) {
        if (!cas.isEmpty()) ecrireFichier(bac.support() + "/" + cas, "x");
        EXPECT_THROW(ouvrir(), FinProgramme) << cas.toStdString();
        EXPECT_EQ(p->boites, Boites({{"Installation impossible, le fichier Install.INF est absent", 16,
                                      "Assistant installateur"}}));
    }
    ASSERT_TRUE(QDir(bac.support() + "/Install.inf").removeRecursively());
    ASSERT_TRUE(QFile::link("/proc/self/mem", bac.support() + "/Install.inf"));
    ouvrir();
    EXPECT_TRUE(w->InfosInf.isEmpty() && p->boites.empty()) << w->InfosInf.toStdString();
}

using Progression = Fenetre;  // the install page's bar and free-space figure, on the same window

// The bar fills from the left in proportion, never past its edge. A drive that cannot be asked answers the required
// space, rounded half to even; a real one its free Mo, a full one 0.
TEST_F(Progression, BarreEtEspaceLibre)
{
    const QRgb plein = w->palette().color(QPalette::Active, QPalette::Highlight).rgb();
    const QRgb fond = w->PB->BackColor().rgb();
    w->PB->show();
    w->PB->Cls();
    // Width filled from the left edge in the bar's colour; -1 when any other pixel is not the background.
    const auto rempli = [&] {
        const QImage& im = w->PB->Image();
        int bord = 0;
        while (bord < im.width() && im.pixel(bord, 0) == plein) ++bord;
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x)
                if (im.pixel(x, y) != (x < bord ? plein : fond)) return -1;
        return bord;
    };
    w->PbMax = 20;
    const int largeur = w->PB->Image().width();
    ASSERT_GT(largeur, 40);
    for (int i = 0; i < 5; ++i) w->AvancerProgression();
    EXPECT_NEAR(rempli(), largeur / 4.0, 1.0);
    for (int i = 0; i < 16; ++i) w->AvancerProgression();  // past the maximum: full, no wider
    EXPECT_EQ(rempli(), largeur);
    w->Etape = std::numeric_limits<std::int16_t>::max() - 1;
    for (int i = 0; i < 2; ++i) w->AvancerProgression();
    EXPECT_EQ(w->Etape, std::numeric_limits<std::int16_t>::max());  // 16 bits: stops at its largest value

    ASSERT_TRUE(QDir(bac.support()).removeRecursively());
    for (auto [taille, attendu] : {std::pair{1.6, 2}, {2.5, 2}, {3.5, 4}, {-1.5, -2}, {1e12, 2147483647}}) {
        w->TailleInstall = taille;
        EXPECT_EQ(w->EspaceLibre("d:"), attendu) << "medium gone, " << taille;
        EXPECT_EQ(w->EspaceLibre("q:"), attendu) << "unknown drive, " << taille;
    }
    ASSERT_TRUE(monterTmpfs(bac.home(), 4 << 20));
    EXPECT_EQ(w->EspaceLibre(w->Drive1->Drive()), 4);
    ecrireFichier(bac.home() + "/plein", QByteArray(4 << 20, 'x'));
    EXPECT_EQ(w->EspaceLibre("c:"), 0);
}

TEST(MoLibres, KoPerClusterThenMoRoundedHalfToEvenIn64Bits)
{
    struct Cas { std::int64_t secteurs, libres; std::int32_t attendu; };
    for (const auto& [secteurs, libres, attendu] : {Cas{8, 2560, 10}, Cas{0, 0, 0},
                         Cas{1, 1'000'000, 488}, Cas{1, 1023, 0},  // 512-byte clusters: counted in bytes
                         Cas{3, 1024, 2}, Cas{5, 1024, 2},  // 1.5 and 2.5 Ko per cluster
                         Cas{8, 384, 2}, Cas{8, 640, 2},  // 1.5 and 2.5 Mo
                         Cas{8, std::int64_t(1) << 30, 4 * 1024 * 1024},  // 4 TiB: wraps in 32 bits
                         Cas{8, std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int32_t>::max()}})
        EXPECT_EQ(MoLibres(plateforme::Geometrie{secteurs, 512, libres, 0}), attendu) << secteurs << '/' << libres;
}

}  // namespace
