// The window at start-up, the moves between its pages, and the commands of
// the final page.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace plateforme;

struct Fenetre : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;

    void demarrer()
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
    // Shows the window and makes it active, for keyboard input.
    bool montrer()
    {
        w->show();
        QApplication::setActiveWindow(w.get());
        return QTest::qWaitForWindowActive(w.get());
    }
    // Which pages are shown: start, install, uninstall, final.
    std::string pages() const
    {
        std::string s;
        s += w->FrameDépart->isHidden() ? '-' : 'D';
        s += w->FrameInstall->isHidden() ? '-' : 'I';
        s += w->FrameDésinst->isHidden() ? '-' : 'U';
        s += w->Picture2->isHidden() ? '-' : 'F';
        return s;
    }
};

// The welcome names the group, the buttons the program; only the start page
// shows, under the final page.
TEST_F(Fenetre, DemarrageConstruitLesLegendes)
{
    demarrer();
    const std::pair<QString, const char*> legendes[] = {
        {w->LabInfo->text(), "Bienvenue dans le programme d'installation de Mon Agenda"},
        {w->Label3->text(), "Les fichiers présents dans le répertoire ''Programmes\\Agenda'' devront être effacés "
                            "manuellement !"},
        {w->Command1->text(), "Installation du programme Agenda"},
        {w->Command3->text(), "Lancer Agenda"},
        {w->Uninst->text(), "Désinstallation complète de Agenda"},
    };
    for (const auto& [vu, attendu] : legendes) EXPECT_EQ(vu, QString::fromUtf8(attendu));
    EXPECT_EQ(pages(), "D---");
    EXPECT_EQ(w->children().last(), w->Picture2);
}

// The tests' machine has no font at all (tests/CMakeLists.txt): every
// caption is set in the face the program carries and fits in its control.
TEST_F(Fenetre, LegendesEnLiberationSansDansLeursControles)
{
    demarrer();
    ASSERT_TRUE(montrer());
    w->LabI1->show();
    int vus = 0;
    for (QWidget* c : w->findChildren<QWidget*>()) {
        const QFontMetrics m = c->fontMetrics();
        QString texte;
        int largeur = 0, hauteur = 0;   // what the caption needs
        if (auto* l = qobject_cast<QLabel*>(c); l && !l->text().trimmed().isEmpty()) {
            texte = l->text();
            largeur = l->wordWrap() ? l->width() : l->sizeHint().width();
            hauteur = l->wordWrap() ? l->heightForWidth(l->width()) : m.height();
        } else if (auto* b = qobject_cast<QAbstractButton*>(c); b && !dynamic_cast<CaseACocher*>(b) &&
                                                              !dynamic_cast<BoutonMultiligne*>(b)) {
            texte = b->text();
            const bool caseOuOption = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
            largeur = caseOuOption ? b->sizeHint().width() : m.horizontalAdvance(QString(texte).remove('&')) + 6;
            hauteur = m.height();
        } else if (auto* g = qobject_cast<QGroupBox*>(c); g && !g->title().isEmpty()) {
            texte = g->title();
            largeur = m.horizontalAdvance(texte) + 12;
        } else {
            continue;
        }
        ++vus;
        SCOPED_TRACE(texte.toStdString());
        EXPECT_EQ(QFontInfo(c->font()).family(), "Liberation Sans");
        EXPECT_LE(largeur, c->width());
        EXPECT_LE(hauteur, c->height());
    }
    EXPECT_GE(vus, 20);
}

// Next and Back between the pages. A missing install directory is reported
// at each visit of the uninstall page; once that page has shown, the cancel
// button reads "Terminer". Next after a finished install shows the final
// page.
TEST_F(Fenetre, NavigationEntreLesPages)
{
    demarrer();
    const BoiteMessage absent{QString::fromUtf8("Le répertoire: c:\\Programmes\\Agenda n'existe plus, "
                                                "la désinstallation n'est pas possible"),
                              vbCritical, QString::fromUtf8("Echec à la désinstallation")};
    w->OptionDépart[2]->click();
    w->BSuiv->click();
    EXPECT_EQ(pages(), "--U-");
    EXPECT_TRUE(w->BPréc->isEnabled());
    EXPECT_FALSE(w->BSuiv->isEnabled());
    EXPECT_FALSE(w->Uninst->isEnabled());
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
    // As the install command leaves it when it has finished.
    w->BSuiv->setEnabled(true);
    w->BSuiv->click();
    EXPECT_EQ(pages(), "---F");
    EXPECT_THROW(w->Annul->click(), FinProgramme);
}

// The row's access keys move between the pages, but not from under the
// final page.
TEST_F(Fenetre, TouchesDAcces)
{
    demarrer();
    ASSERT_TRUE(montrer());
    w->OptionDépart[1]->click();
    w->OptionDépart[1]->setFocus();
    auto touche = [](Qt::Key k) {
        // An access key clicks its button after a short animation.
        QTest::keyClick(QApplication::focusWidget(), k, Qt::AltModifier);
        QTest::qWait(250);
    };
    touche(Qt::Key_S);
    EXPECT_EQ(pages(), "-I--");
    touche(Qt::Key_P);
    EXPECT_EQ(pages(), "D---");

    // Under the final page the row's keys do nothing.
    w->Picture2->show();
    w->Command13->setFocus();
    const std::int16_t avant = w->Courant;
    touche(Qt::Key_S);
    touche(Qt::Key_A);
    EXPECT_EQ(w->Courant, avant);
    EXPECT_EQ(p->fins, 0);
}

// On the final page, which covers the others, Tab and Shift+Tab go round
// its own buttons only, from the first one: the focus does not stay on the
// button that showed the page.
TEST_F(Fenetre, TabulationResteSurLaPageFinale)
{
    demarrer();
    ASSERT_TRUE(montrer());
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    w->BSuiv->setEnabled(true);
    w->BSuiv->setFocus();
    QTest::keyClick(w->BSuiv, Qt::Key_Space);
    ASSERT_EQ(pages(), "---F");
    // Tab, with a Shift+Tab every third key.
    const std::vector<QWidget*> attendus{w->Command3, w->Command13, w->Command4, w->Command13, w->Command4,
                                         w->Command3, w->Command4, w->Command3, w->Command13};
    std::vector<QWidget*> vus;
    for (std::size_t i = 0; i < attendus.size(); ++i) {
        vus.push_back(QApplication::focusWidget());
        QTest::keyClick(vus.back(), i % 3 == 2 ? Qt::Key_Backtab : Qt::Key_Tab);
    }
    EXPECT_EQ(vus, attendus);
    EXPECT_EQ(pages(), "---F");
}

// Help opens the medium's file, whatever the case of its name, and warns
// after opening it when it is not there; Launch starts the installed
// program and ends, as Quit does.
TEST_F(Fenetre, CommandesDeLaPageFinale)
{
    demarrer();
    w->Command2->click();
    EXPECT_EQ(p->boites, Boites({{QString::fromUtf8("Le fichier Agenda.html n'est pas dans le répertoire spécifié "
                                                    "par le fichier INSTALL.INF"),
                                  vbExclamation, ""}}));
    ecrireFichier(bac.support() + "/agenda.HTML", "<html></html>");
    w->Command2->click();
    // The medium is a drive root: one backslash only.
    EXPECT_EQ(p->ouverts, std::vector<QString>({"d:\\Agenda.html", "d:\\Agenda.html"}));
    EXPECT_EQ(p->boites.size(), 1u);

    w->Drive1->setDrive("z:");
    EXPECT_THROW(w->Command3->click(), FinProgramme);
    EXPECT_EQ(p->demarres, std::vector<QString>({"z:\\Programmes\\Agenda\\Agenda.exe"}));
    EXPECT_THROW(w->Command13->click(), FinProgramme);
    EXPECT_EQ(p->fins, 2);
}

}  // namespace
