// The window at start-up, the moves between its pages, and the commands of
// the final page.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList infExemple(const QString& aide = "Agenda.html")
{
    return {QString::fromUtf8("[Général]"),
            QString::fromUtf8("DisqueInstallDéfaut=C"),
            QString::fromUtf8("RépertoireInstallDéfaut=Programmes\\Agenda"),
            QString::fromUtf8("NomGroupeDéfaut=Mon Agenda"),
            "Programme=Agenda.exe",
            "NomProgramme=Agenda",
            "NomAide=" + aide,
            "EspaceRequis=3Mo",
            "Info1=Merci.",
            "Info2=Lancez.",
            "[Fichiers]",
            "F1=Agenda.exe"};
}

struct Fenetre : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;

    void demarrer(const QStringList& inf = infExemple())
    {
        ecrireInf(bac.support() + "/Install.inf", inf);
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

TEST_F(Fenetre, DemarrageConstruitLesLegendes)
{
    demarrer();
    EXPECT_EQ(w->size(), QSize(630, 351));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w->LabInfo->text(), QString::fromUtf8("Bienvenue dans le programme d'installation de Mon Agenda"));
    EXPECT_EQ(w->Label3->text(), QString::fromUtf8("Les fichiers présents dans le répertoire ''Programmes\\Agenda'' "
                                                   "devront être effacés manuellement !"));
    EXPECT_EQ(w->Command3->text(), "Lancer Agenda");
    EXPECT_EQ(w->Uninst->text(), QString::fromUtf8("Désinstallation complète de Agenda"));
    EXPECT_EQ(w->Command1->text(), "Installation du programme Agenda");
    EXPECT_EQ(w->Label2->text(), "2.0.0");
    EXPECT_EQ(w->Reper->text(), "Programmes\\Agenda");
    EXPECT_EQ(w->Letr, "c:");
    EXPECT_TRUE(w->Drive1->Drive().startsWith("c: ["));
    EXPECT_EQ(w->RepSys, "c:\\.local\\lib");
    EXPECT_EQ(w->Label6->toolTip(), w->RepSys);
    EXPECT_TRUE(w->Command2->isEnabled());
    EXPECT_EQ(w->Courant, 0);
    EXPECT_EQ(w->FrameInstall->x(), 139);
    EXPECT_EQ(w->FrameDépart->x(), 195);
    // Only the start page, the side picture, the help button and the row.
    EXPECT_EQ(pages(), "D---");
    EXPECT_FALSE(w->Image2->isHidden());
    EXPECT_FALSE(w->BPréc->isEnabled());
    EXPECT_FALSE(w->BSuiv->isEnabled());
    EXPECT_TRUE(w->Annul->isEnabled());
    EXPECT_EQ(w->BSuiv->text(), QString::fromUtf8(" &Suivant >"));
    // The final page is in front of everything.
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

TEST_F(Fenetre, SansAideLeBoutonAideResteInactif)
{
    demarrer(infExemple(""));
    EXPECT_FALSE(w->Command2->isEnabled());
}

TEST_F(Fenetre, ProgrammeAbsentDonneDesImagesVides)
{
    demarrer();
    // Agenda.exe is not on this medium: the picture is the background alone.
    const QImage image = w->Picture1->Image();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(5, 5), w->Picture1->BackColor());
}

TEST_F(Fenetre, DegradeDeLaPageFinale)
{
    demarrer();
    const QImage image = w->Picture2->Image();
    ASSERT_FALSE(image.isNull());
    const QColor gauche = image.pixelColor(0, image.height() / 2);
    const QColor droite = image.pixelColor(image.width() - 1, image.height() / 2);
    EXPECT_EQ(gauche.red(), 0);
    EXPECT_LT(gauche.blue(), 8);
    EXPECT_GT(droite.blue(), 248);
    EXPECT_EQ(droite.green(), 0);
}

TEST_F(Fenetre, InstallationAllerRetour)
{
    demarrer();
    w->OptionDépart[1]->click();
    EXPECT_TRUE(w->BSuiv->isEnabled());
    EXPECT_FALSE(w->BPréc->isEnabled());
    EXPECT_EQ(pages(), "D---");

    w->BSuiv->click();
    EXPECT_EQ(w->Courant, 1);
    EXPECT_EQ(pages(), "-I--");
    EXPECT_TRUE(w->BPréc->isEnabled());
    EXPECT_FALSE(w->BSuiv->isEnabled());
    EXPECT_EQ(w->Annul->text(), "&Annuler");

    w->BPréc->click();
    EXPECT_EQ(w->Courant, 0);
    EXPECT_EQ(pages(), "D---");
    EXPECT_TRUE(w->BSuiv->isEnabled());
    EXPECT_FALSE(w->BPréc->isEnabled());
}

TEST_F(Fenetre, ApresInstallationTerminerMeneALaPageFinale)
{
    demarrer();
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    // What the install command leaves when it has finished.
    w->PB->show();
    w->Annul->setEnabled(false);
    w->BSuiv->setText("Terminer >");
    w->BSuiv->setEnabled(true);

    // Back to the start page: the finish state stays.
    w->BPréc->click();
    EXPECT_EQ(pages(), "D---");
    EXPECT_FALSE(w->Annul->isEnabled());
    EXPECT_TRUE(w->BSuiv->isEnabled());
    EXPECT_EQ(w->BSuiv->text(), "Terminer >");
    w->BSuiv->click();
    EXPECT_EQ(pages(), "-I--");

    w->BSuiv->setEnabled(true);
    w->BSuiv->click();
    EXPECT_EQ(w->Courant, 2);
    EXPECT_EQ(pages(), "---F");
    EXPECT_TRUE(w->PB->isHidden());
    EXPECT_TRUE(w->BPréc->isEnabled());
    EXPECT_FALSE(w->BSuiv->isEnabled());

    // The handler's way back from the final page exists: the chosen page is
    // shown again behind the final page, which stays.
    w->BPréc_Click();
    EXPECT_EQ(w->Courant, 1);
    EXPECT_EQ(pages(), "-I-F");
}

TEST_F(Fenetre, DesinstallationPuisInstallationGardeTerminer)
{
    demarrer();
    QDir().mkpath(bac.home() + "/Programmes/Agenda");
    w->OptionDépart[2]->click();
    w->BSuiv->click();
    EXPECT_EQ(pages(), "--U-");
    EXPECT_EQ(w->Annul->text(), "Terminer");
    EXPECT_EQ(w->Chemin, "c:\\Programmes\\Agenda");
    EXPECT_TRUE(p->boites.empty());
    EXPECT_TRUE(w->Uninst->isEnabled());

    w->BPréc->click();
    EXPECT_EQ(pages(), "D---");
    EXPECT_EQ(w->Annul->text(), "Terminer");
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    EXPECT_EQ(pages(), "-I--");
    EXPECT_EQ(w->Annul->text(), "Terminer");
}

TEST_F(Fenetre, RepertoireAbsentSignaleAChaqueVisite)
{
    demarrer();
    w->OptionDépart[2]->click();
    w->BSuiv->click();
    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites[0].texte,
              QString::fromUtf8("Le répertoire: c:\\Programmes\\Agenda n'existe plus, la désinstallation n'est pas possible"));
    EXPECT_EQ(p->boites[0].titre, QString::fromUtf8("Echec à la désinstallation"));
    EXPECT_EQ(p->boites[0].style, 16);
    EXPECT_FALSE(w->Uninst->isEnabled());
    EXPECT_TRUE(w->Command6->isEnabled());
    EXPECT_TRUE(w->Command11->isEnabled());

    // The directory appears: the check passes but the button stays off.
    QDir().mkpath(bac.home() + "/Programmes/Agenda");
    w->BPréc->click();
    w->BSuiv->click();
    EXPECT_EQ(p->boites.size(), 1u);
    EXPECT_FALSE(w->Uninst->isEnabled());

    QDir(bac.home() + "/Programmes/Agenda").removeRecursively();
    w->BPréc->click();
    w->BSuiv->click();
    EXPECT_EQ(p->boites.size(), 2u);
}

TEST_F(Fenetre, ListeDesFichiers)
{
    demarrer();
    const QString rep = bac.home() + "/Programmes/Agenda";
    ecrireFichier(rep + "/b.txt", "b");
    ecrireFichier(rep + "/A.txt", "a");
    ecrireFichier(rep + "/.cache", "h");
    QDir().mkpath(rep + "/sous");
    w->OptionDépart[2]->click();
    w->BSuiv->click();
    ASSERT_EQ(w->File2->ListCount(), 2);
    EXPECT_EQ(w->File2->List(0), "A.txt");
    EXPECT_EQ(w->File2->List(1), "b.txt");
    EXPECT_TRUE(w->File2->isHidden());

    // The listing changes only when refreshed.
    ecrireFichier(rep + "/c.txt", "c");
    EXPECT_EQ(w->File2->ListCount(), 2);
    w->File2->Refresh();
    EXPECT_EQ(w->File2->ListCount(), 3);

    // A directory that does not exist keeps the previous one.
    EXPECT_THROW(w->File2->setPath("c:\\absent"), plateforme::Erreur);
    EXPECT_EQ(w->File2->Path(), "c:\\Programmes\\Agenda");
}

TEST_F(Fenetre, AnnulerTermineAToutMoment)
{
    demarrer();
    EXPECT_THROW(w->Annul->click(), FinProgramme);
    w->OptionDépart[2]->click();
    w->BSuiv->click();
    EXPECT_THROW(w->Annul->click(), FinProgramme);
    EXPECT_EQ(p->fins, 2);
}

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

// Tab goes round the controls of the page shown: on the final page, which
// covers the others, its own buttons only, the focus left on the button that
// showed it included.
TEST_F(Fenetre, TabulationParcourtLaPageVisible)
{
    demarrer();
    ASSERT_TRUE(montrer());
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    w->Drive1->setFocus();
    // Tab, with a Shift+Tab every third key when `retour`.
    auto parcours = [&](int tabs, bool retour) {
        std::vector<QWidget*> vus;
        for (int i = 0; i < tabs; ++i) {
            vus.push_back(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), retour && i % 3 == 2 ? Qt::Key_Backtab : Qt::Key_Tab);
        }
        return vus;
    };
    auto contient = [](const std::vector<QWidget*>& v, QWidget* x) { return std::find(v.begin(), v.end(), x) != v.end(); };
    const std::vector<QWidget*> page = parcours(12, false);
    for (QWidget* v : page) {
        ASSERT_NE(v, nullptr);
        EXPECT_TRUE(v->isVisible()) << v->metaObject()->className();
    }
    EXPECT_TRUE(contient(page, w->Reper) && contient(page, w->Command1));

    w->BSuiv->setEnabled(true);
    w->BSuiv->setFocus();
    QTest::keyClick(w->BSuiv, Qt::Key_Space);
    ASSERT_EQ(pages(), "---F");
    const std::vector<QWidget*> finale = parcours(9, true);
    for (QWidget* v : finale) EXPECT_TRUE(w->Picture2->isAncestorOf(v)) << (v ? v->metaObject()->className() : "none");
    EXPECT_TRUE(contient(finale, w->Command3) && contient(finale, w->Command13) && contient(finale, w->Command4));
    EXPECT_EQ(pages(), "---F");
}

// ---- Final-page commands ---------------------------------------------------

TEST_F(Fenetre, AideOuvreLeFichierDuSupport)
{
    demarrer();
    ecrireFichier(bac.support() + "/agenda.HTML", "<html></html>");
    w->Command2->click();
    ASSERT_EQ(p->ouverts.size(), 1u);
    // The medium is a drive root: one backslash only.
    EXPECT_EQ(p->ouverts[0], "d:\\Agenda.html");
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(w->Command2->toolTip(), "d:\\Agenda.html");
}

TEST_F(Fenetre, AideAbsenteAvertitApresLOuverture)
{
    demarrer();
    w->Command2->click();
    EXPECT_EQ(p->ouverts.size(), 1u);
    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites[0].texte,
              QString::fromUtf8("Le fichier Agenda.html n'est pas dans le répertoire spécifié par le fichier INSTALL.INF"));
    EXPECT_EQ(p->boites[0].style, 48);
    EXPECT_EQ(p->boites[0].titre, "");
    EXPECT_EQ(w->Command2->toolTip(), "d:\\Agenda.html");
}

TEST_F(Fenetre, LancerDemarrePuisTermine)
{
    demarrer();
    w->Drive1->setDrive("z:");
    EXPECT_THROW(w->Command3->click(), FinProgramme);
    ASSERT_EQ(p->demarres.size(), 1u);
    EXPECT_EQ(p->demarres[0], "z:\\Programmes\\Agenda\\Agenda.exe");
    EXPECT_EQ(p->fins, 1);
}

TEST_F(Fenetre, AProposEtQuitter)
{
    demarrer();
    w->Command4->click();
    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_TRUE(p->boites[0].texte.startsWith(
        QString::fromUtf8("Ce programme peut être utilisé par tous pour tous types de logiciels. ")));
    EXPECT_GT(p->boites[0].texte.size(), 75);
    EXPECT_EQ(p->boites[0].titre, "Installation");
    EXPECT_EQ(p->boites[0].style, 64);
    EXPECT_THROW(w->Command13->click(), FinProgramme);
    EXPECT_EQ(p->fins, 1);
}

}  // namespace
