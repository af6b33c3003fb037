// The window at start-up, the moves between its pages, and the commands of the final page.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using namespace plateforme;

struct Fenetre : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;
    void SetUp() override
    {
        ecrireInf(bac.support() + "/Install.inf",
                  {QString::fromUtf8("[Général]"), QString::fromUtf8("DisqueInstallDéfaut=C"),
                   QString::fromUtf8("RépertoireInstallDéfaut=Programmes\\Agenda"),
                   QString::fromUtf8("NomGroupeDéfaut=Mon Agenda"), "Programme=Agenda.exe", "NomProgramme=Agenda",
                   "NomAide=Agenda.html", "Info1=Merci.", "Info2=Lancez."});
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
    EXPECT_EQ(p->boites, Boites({absent, absent, {QString::fromUtf8("Le fichier Agenda.html n'est pas dans le "
                                                                   "répertoire spécifié par le fichier INSTALL.INF"),
                                                  vbExclamation, ""}}));
    ecrireFichier(bac.support() + "/agenda.HTML", "<html></html>");
    w->Command2->click();
    EXPECT_EQ(p->ouverts, std::vector<QString>({"d:\\Agenda.html", "d:\\Agenda.html"}));  // a root: one backslash
    EXPECT_EQ(p->boites.size(), 3u);
    w->Drive1->setDrive("z:");
    EXPECT_THROW(w->Command3->click(), FinProgramme);
    EXPECT_EQ(p->demarres, std::vector<QString>({"z:\\Programmes\\Agenda\\Agenda.exe"}));
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

}  // namespace
