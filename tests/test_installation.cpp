// The install command and its shortcut sets, end to end through the window:
// the sample medium installed into a temporary home.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

using namespace plateforme;

namespace {

const QString Vide;

// The sample medium in the installer's folder, with some keys of its
// Install.inf given other values (a key that is missing is added to the
// first section).
void preparerSupport(const Bac& bac, const QMap<QString, QString>& cles = {})
{
    copierSupportExemple(bac.support());
    ASSERT_TRUE(QFileInfo::exists(bac.support() + "/Install.inf"));
    if (cles.isEmpty()) return;
    QStringDecoder dec("windows-1252");
    QStringList lignes = QString(dec(lireFichier(bac.support() + "/Install.inf"))).split("\r\n");
    if (!lignes.isEmpty() && lignes.last().isEmpty()) lignes.removeLast();
    for (auto it = cles.begin(); it != cles.end(); ++it) {
        bool remplace = false;
        for (QString& l : lignes)
            if (l.startsWith(it.key() + "=")) {
                l = it.key() + "=" + it.value();
                remplace = true;
            }
        if (!remplace) lignes.insert(1, it.key() + "=" + it.value());
    }
    ecrireInf(bac.support() + "/Install.inf", lignes);
}

timespec dateDe(const QString& hote)
{
    struct stat st {};
    ::stat(QFile::encodeName(hote).constData(), &st);
    return st.st_mtim;
}

void fixerDate(const QString& hote, timespec t)
{
    const timespec deux[2] = {t, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(hote).constData(), deux, 0), 0);
}

// A shell link as this system writes it: the header's size and the flag
// byte of a link without string data, and, when the reader is installed,
// a link that `lnkinfo` reads and whose target is `cible`.
void verifierLien(const QString& hote, const QString& cible)
{
    SCOPED_TRACE(hote.toStdString());
    ASSERT_TRUE(QFileInfo(hote).isFile());
    const QByteArray b = lireFichier(hote);
    ASSERT_GE(b.size(), 80);
    EXPECT_EQ(static_cast<unsigned char>(b[0]), 0x4C);
    EXPECT_EQ(static_cast<unsigned char>(b[20]), 3);
    EXPECT_EQ(b.right(4), QByteArray(4, '\0'));
    const QString lnkinfo = QStandardPaths::findExecutable("lnkinfo");
    if (lnkinfo.isEmpty()) return;
    QProcess p;
    p.start(lnkinfo, {hote});
    ASSERT_TRUE(p.waitForFinished(10000));
    const QString sortie = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << sortie.toStdString();
    EXPECT_TRUE(sortie.contains(cible, Qt::CaseInsensitive)) << sortie.toStdString();
}

QStringList contenu(const QString& hote)
{
    return QDir(hote).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

class Installation : public ::testing::Test {
protected:
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;
    float pbMaxDepart = 0;

    QString home() const { return bac.home(); }
    QString sys() const { return bac.racine() + "/sys"; }
    QString applications() const { return home() + "/.local/share/applications"; }
    QString autostart() const { return home() + "/.config/autostart"; }
    QString favoris() const { return home() + "/.local/share/favorites"; }
    QString bureau() const { return p->VersHote(p->DossierSpecial(0)); }
    QString applicationsTous() const { return sys() + "/usr/local/share/applications"; }
    QString autostartTous() const { return sys() + "/etc/xdg/autostart"; }
    QString favorisTous() const { return sys() + "/usr/local/share/favorites"; }

    // Builds the window on the (prepared) medium and moves to the install
    // page as a user does.
    void ouvrir(std::unique_ptr<PlateformeTest> plateforme = {})
    {
        p = plateforme ? std::move(plateforme) : std::make_unique<PlateformeTest>(bac.racine());
        // A shortcut whose shell link never comes falls back in a few clock
        // readings instead of 4.32 seconds.
        p->pasHorloge = 1e-5;
        w = std::make_unique<Install>(*p);
        w->Form_Load();
        w->show();
        for (const QString* nom : {&w->Prog, &w->Aide})
            ASSERT_TRUE(nom->isEmpty() || QFileInfo::exists(bac.support() + "/" + *nom)) << nom->toStdString();
        w->OptionDépart[1]->click();
        w->BSuiv->click();
        ASSERT_TRUE(w->FrameInstall->isVisible());
        pbMaxDepart = w->PbMax;
    }

    void installer() { w->Command1->click(); }

    // Host path of the install directory for a directory relative to c:.
    QString dossierInstalle(const QString& rep) const { return home() + "/" + QString(rep).replace('\\', '/'); }

    // The names of the program files of the medium that are not system files.
    QStringList fichiersProgramme() const
    {
        QStringList n{w->Prog};
        if (!w->Aide.isEmpty()) n << w->Aide;
        for (QString* f : w->EmplacementsF())
            if (!f->isEmpty() && !n.contains(*f)) n << *f;
        return n;
    }
    QStringList fichiersSysteme() const
    {
        QStringList n;
        for (QString* f : w->EmplacementsFs())
            if (!f->isEmpty()) n << *f;
        return n;
    }

    // What a finished installation shows on the install page.
    void verifierTermine()
    {
        EXPECT_EQ(w->Lfic->text(), QString::fromUtf8("Installation terminée"));
        EXPECT_TRUE(w->Lfic->isVisible());
        EXPECT_TRUE(w->Label7->isVisible());
        EXPECT_EQ(w->Label7->text(), Vide);
        EXPECT_TRUE(w->PB->isVisible());
        EXPECT_FALSE(w->Annul->isEnabled());
        EXPECT_EQ(w->BSuiv->text(), "Terminer >");
        EXPECT_TRUE(w->BSuiv->isEnabled());
        EXPECT_FALSE(w->installationEnCours);
    }

    // Nothing of an installation happened: the page is as it was.
    void verifierNonInstalle()
    {
        EXPECT_EQ(w->BSuiv->text(), QString::fromUtf8(" &Suivant >"));
        EXPECT_FALSE(w->BSuiv->isEnabled());
        EXPECT_TRUE(w->Annul->isEnabled());
        EXPECT_FALSE(w->PB->isVisible());
        EXPECT_FALSE(w->Lfic->isVisible());
        EXPECT_EQ(w->PbMax, pbMaxDepart);
        EXPECT_EQ(w->Etape, 0);
        EXPECT_FALSE(QFileInfo::exists(home() + "/Programmes"));
        EXPECT_FALSE(w->installationEnCours);
    }

    void verifierFichiers(const QString& rep)
    {
        for (const QString& nom : fichiersProgramme()) {
            SCOPED_TRACE(nom.toStdString());
            const QString installe = dossierInstalle(rep) + "/" + nom;
            ASSERT_TRUE(QFileInfo(installe).isFile());
            EXPECT_EQ(lireFichier(installe), lireFichier(bac.support() + "/" + nom));
            EXPECT_EQ(QFileInfo(installe).permissions(), QFileInfo(bac.support() + "/" + nom).permissions());
        }
        for (const QString& nom : fichiersSysteme())
            for (const QString& lib : {"/.local/lib/", "/.local/lib32/"}) {
                SCOPED_TRACE((lib + nom).toStdString());
                EXPECT_EQ(lireFichier(home() + lib + nom), lireFichier(bac.support() + "/" + nom));
            }
    }
};

TEST_F(Installation, OptionsParDefautInstallentLeSupportEtSesRaccourcis)
{
    preparerSupport(bac);
    ouvrir();
    EXPECT_TRUE(w->CHIcones->isChecked());
    EXPECT_FALSE(w->ChDem->isChecked());
    EXPECT_FALSE(w->AllUSERs->isChecked());
    EXPECT_FALSE(w->LabI1->isVisible());
    const QString rep = w->RepDef;

    installer();

    EXPECT_TRUE(p->boites.empty()) << p->boites.front().texte.toStdString();
    verifierTermine();
    verifierFichiers(rep);
    EXPECT_EQ(w->Chemin, "c:\\" + rep);
    EXPECT_EQ(w->Letr, "c:");
    EXPECT_EQ(w->RepDef, rep);
    // Every step planned was drawn: the bar is full and no further.
    EXPECT_EQ(w->PbMax, pbMaxDepart + 8);
    EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax));
    const int copies = fichiersSysteme().size() * 2 + [&] {
        int n = 0;
        for (QString* f : w->EmplacementsF()) n += !f->isEmpty();
        return n;
    }();
    EXPECT_EQ(w->Label6->text(), QString::number(copies) + QString::fromUtf8(" fichier(s) copié(s)"));
    // The help file came last; the installer sits at the root of d:, whose
    // backslash is not doubled.
    EXPECT_EQ(w->Lfic->toolTip(), "d:\\" + w->Aide + " ---> c:\\" + rep + "\\" + w->Aide);

    // Group, program and help links; the desktop link; nothing else.
    EXPECT_TRUE(w->LabI1->isVisible());
    const QString groupe = applications() + "/" + w->NomDef;
    verifierLien(groupe + "/" + w->NomProg + ".lnk", w->Prog);
    verifierLien(groupe + "/Aide de " + w->NomDef + ".lnk", w->Aide);
    verifierLien(bureau() + "/" + w->NomProg + ".lnk", w->Prog);
    for (const QString& f : contenu(groupe)) EXPECT_FALSE(f.endsWith(".url")) << f.toStdString();
    EXPECT_FALSE(QFileInfo::exists(autostart() + "/" + w->NomProg + ".lnk"));
    EXPECT_TRUE(contenu(favoris()).filter(".url").isEmpty());
    EXPECT_TRUE(contenu(applicationsTous()).isEmpty());

    // The finish button leads to the final page.
    w->BSuiv->click();
    EXPECT_EQ(w->Courant, 2);
    EXPECT_TRUE(w->Picture2->isVisible());
    EXPECT_FALSE(w->FrameInstall->isVisible());
    EXPECT_FALSE(w->PB->isVisible());
}

TEST_F(Installation, ManqueDePlaceDemandeEtNonArrete)
{
    preparerSupport(bac, {{"EspaceRequis", "99999999Mo"}});
    ouvrir();
    p->reponses = {vbNo};
    installer();

    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites[0].texte, QString::fromUtf8(" Il me semble que le lecteur ") + w->Drive1->Drive() +
                                      QString::fromUtf8(" ne contient pas les 99999999 Mo nécessaires... mais je "
                                                        "peux me tromper... Voulez vous continuer ?"));
    EXPECT_EQ(p->boites[0].titre, " oh, oh ??");
    EXPECT_EQ(p->boites[0].style, 20);
    verifierNonInstalle();

    // Yes goes on; a size with a fraction is written as a number.
    w->TailleInstall = 99999999.5;
    p->reponses = {vbYes};
    const QString rep = w->RepDef;
    installer();
    ASSERT_EQ(p->boites.size(), 2u);
    EXPECT_TRUE(p->boites[1].texte.contains(" ne contient pas les 99999999.5 Mo "));
    verifierTermine();
    verifierFichiers(rep);
}

TEST_F(Installation, RepertoireTapeAbsentEstDemandePuisCree)
{
    preparerSupport(bac);
    ouvrir();
    const QString defaut = w->RepDef;

    // No: nothing is made and the typed text stays.
    w->Reper->setText("Outils");
    p->reponses = {vbNo};
    installer();
    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites[0].texte, QString::fromUtf8("Le répertoire c:\\Outils n'existe pas... voulez vous le créer ?"));
    EXPECT_EQ(p->boites[0].titre, QString::fromUtf8("Répertoire inexistant"));
    EXPECT_EQ(p->boites[0].style, 36);
    EXPECT_FALSE(QFileInfo::exists(home() + "/Outils"));
    EXPECT_EQ(w->Reper->text(), "Outils");
    EXPECT_EQ(w->RepDef, defaut);
    verifierNonInstalle();

    // Yes: made, and used by the files and the links.
    p->reponses = {vbYes};
    installer();
    EXPECT_EQ(p->boites.size(), 2u);
    verifierTermine();
    EXPECT_EQ(w->RepDef, "Outils");
    EXPECT_EQ(w->Chemin, "c:\\Outils");
    verifierFichiers("Outils");
    verifierLien(applications() + "/" + w->NomDef + "/" + w->NomProg + ".lnk", "Outils");

    // A typed directory that exists is not questioned.
    QDir().mkpath(home() + "/Existant");
    w->Reper->setText("Existant");
    installer();
    EXPECT_EQ(p->boites.size(), 2u);
    EXPECT_EQ(w->RepDef, "Existant");
    verifierFichiers("Existant");
}

TEST_F(Installation, RepertoireQuiNePeutEtreCreeRemetLeDefaut)
{
    preparerSupport(bac);
    ouvrir();
    const QString defaut = w->RepDef;

    // The parent is missing: one level is not enough.
    w->Reper->setText("Absent\\Sous");
    installer();
    ASSERT_EQ(p->boites.size(), 2u);
    EXPECT_EQ(p->boites[0].titre, QString::fromUtf8("Répertoire inexistant"));
    EXPECT_EQ(p->boites[1].texte, QString::fromUtf8("Impossible de créér Absent\\Sous"));
    EXPECT_EQ(p->boites[1].titre, "Assistant Installation");
    EXPECT_EQ(p->boites[1].style, 16);
    EXPECT_EQ(w->Reper->text(), defaut);
    EXPECT_EQ(w->RepDef, defaut);
    EXPECT_FALSE(QFileInfo::exists(home() + "/Absent"));
    verifierNonInstalle();

    // A name that would leave the drive is refused the same way.
    w->Reper->setText("..\\dehors");
    installer();
    ASSERT_EQ(p->boites.size(), 4u);
    EXPECT_EQ(p->boites[3].texte, QString::fromUtf8("Impossible de créér ..\\dehors"));
    EXPECT_FALSE(QFileInfo::exists(bac.racine() + "/dehors"));
    EXPECT_EQ(w->Reper->text(), defaut);
    verifierNonInstalle();
}

// The all-users folders cannot be written: the group, desktop and start-up
// links all fall back to the user's folders, the favourite goes only to the
// user's, and the box is shown unticked.
TEST_F(Installation, TousUtilisateursRefusRetombeSurLUtilisateur)
{
    preparerSupport(bac, {{"RaccourciWEB", "OUI"},
                          {"URLRaccourciWEB", "http://exemple.org/agenda"},
                          {"NomRaccourciWEB", "Site Agenda"}});
    const QString partage = sys() + "/usr/local/share";
    QDir().mkpath(favorisTous());
    QDir().mkpath(autostartTous());
    const bool racine = ::geteuid() == 0;
    if (racine) {
        // Rights do not stop root: a file where the folder should be does.
        ecrireFichier(applicationsTous(), "pas un dossier");
    } else {
        QFile(partage).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ouvrir();
    w->AllUSERs->setChecked(true);
    w->ChDem->setChecked(true);
    const QString rep = w->RepDef;

    installer();
    if (!racine) QFile(partage).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    EXPECT_TRUE(p->boites.empty()) << p->boites.front().texte.toStdString();
    EXPECT_FALSE(w->AllUSERs->isChecked());
    verifierTermine();
    verifierFichiers(rep);
    EXPECT_EQ(w->PbMax, pbMaxDepart + 9);
    EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax));

    const QString groupe = applications() + "/" + w->NomDef;
    verifierLien(groupe + "/" + w->NomProg + ".lnk", w->Prog);
    verifierLien(groupe + "/Aide de " + w->NomDef + ".lnk", w->Aide);
    verifierLien(bureau() + "/" + w->NomProg + ".lnk", w->Prog);
    verifierLien(autostart() + "/" + w->NomProg + ".lnk", w->Prog);
    EXPECT_TRUE(contenu(autostartTous()).isEmpty());
    EXPECT_TRUE(contenu(favorisTous()).isEmpty());
    EXPECT_EQ(lireFichier(favoris() + "/Site Agenda.url"), "[InternetShortcut]\r\nURL=http://exemple.org/agenda\r\n");
}

// Neither Programs folder can hold the group: the command goes on without
// it, once, and the rest of the installation is made. A group that cannot
// be made gets the links' own message; a Programs folder that cannot be
// found is passed over in silence.
TEST_F(Installation, AucunGroupePossibleNeBouclePas)
{
    preparerSupport(bac, {{QString::fromUtf8("NomGroupeDéfaut"), "Jeux\\Agenda"}});
    ouvrir();
    ASSERT_EQ(w->NomDef, "Jeux\\Agenda");
    w->AllUSERs->setChecked(true);

    installer();

    EXPECT_FALSE(w->AllUSERs->isChecked());
    verifierTermine();
    ASSERT_EQ(p->boites.size(), 2u);
    for (const BoiteMessage& b : p->boites) {
        EXPECT_EQ(b.texte, QString::fromUtf8("Le répertoire 'c:\\.local\\share\\applications\\Jeux\\Agenda' est "
                                             "introuvable."));
        EXPECT_EQ(b.titre, QString::fromUtf8("Création d'un raccourci"));
        EXPECT_EQ(b.style, 16);
    }
    EXPECT_FALSE(QFileInfo::exists(applications() + "/Jeux"));
    verifierLien(bureau() + "/" + w->NomProg + ".lnk", w->Prog);
    EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax));
}

TEST_F(Installation, DossierProgrammesIntrouvableEstPasseSansMessage)
{
    preparerSupport(bac);
    ecrireFichier(applicationsTous(), "pas un dossier");
    ecrireFichier(applications(), "pas un dossier");
    ouvrir();
    w->AllUSERs->setChecked(true);

    installer();

    EXPECT_FALSE(w->AllUSERs->isChecked());
    verifierTermine();
    EXPECT_TRUE(p->boites.empty()) << p->boites.front().texte.toStdString();
    EXPECT_TRUE(QFileInfo(applications()).isFile());
    verifierLien(bureau() + "/" + w->NomProg + ".lnk", w->Prog);
    EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax));
}

// The all-users folders can be written: the links go there only (Linux has
// no all-users desktop: no desktop link, no message), the favourite to both.
TEST_F(Installation, TousUtilisateursAccepte)
{
    preparerSupport(bac, {{"RaccourciWEB", "Oui"},
                          {"URLRaccourciWEB", "http://exemple.org/agenda"},
                          {"NomRaccourciWEB", "Site Agenda"}});
    QDir().mkpath(applicationsTous());
    QDir().mkpath(autostartTous());
    QDir().mkpath(favorisTous());
    ouvrir();
    w->AllUSERs->setChecked(true);
    w->ChDem->setChecked(true);

    installer();

    EXPECT_TRUE(p->boites.empty()) << p->boites.front().texte.toStdString();
    EXPECT_TRUE(w->AllUSERs->isChecked());
    verifierTermine();
    const QString groupe = applicationsTous() + "/" + w->NomDef;
    verifierLien(groupe + "/" + w->NomProg + ".lnk", w->Prog);
    verifierLien(groupe + "/Aide de " + w->NomDef + ".lnk", w->Aide);
    verifierLien(autostartTous() + "/" + w->NomProg + ".lnk", w->Prog);
    EXPECT_FALSE(QFileInfo::exists(applications() + "/" + w->NomDef));
    EXPECT_FALSE(QFileInfo::exists(bureau() + "/" + w->NomProg + ".lnk"));
    EXPECT_FALSE(QFileInfo::exists(autostart() + "/" + w->NomProg + ".lnk"));
    const QByteArray url = "[InternetShortcut]\r\nURL=http://exemple.org/agenda\r\n";
    EXPECT_EQ(lireFichier(favorisTous() + "/Site Agenda.url"), url);
    EXPECT_EQ(lireFichier(favoris() + "/Site Agenda.url"), url);
}

// Without the icon option and with a word other than oui, no shortcut at all.
TEST_F(Installation, SansOptionsNiWebAucunRaccourci)
{
    preparerSupport(bac, {{"RaccourciWEB", "ouii"},
                          {"URLRaccourciWEB", "http://exemple.org/agenda"},
                          {"NomRaccourciWEB", "Site Agenda"}});
    ouvrir();
    w->CHIcones->setChecked(false);
    installer();
    verifierTermine();
    EXPECT_FALSE(w->LabI1->isVisible());
    EXPECT_FALSE(QFileInfo::exists(applications() + "/" + w->NomDef));
    EXPECT_FALSE(QFileInfo::exists(bureau() + "/" + w->NomProg + ".lnk"));
    EXPECT_FALSE(QFileInfo::exists(favoris() + "/Site Agenda.url"));
    // The icon steps are counted in the total all the same.
    EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax) - 2);
}

// The program and help file only; the other files are always copied.
const QMap<QString, QString> SansAutresFichiers{{"F1", ""}, {"F2", ""}, {"F3", ""}, {"F4", ""}};

TEST_F(Installation, SecondeInstallationGardeLesCopiesAJour)
{
    preparerSupport(bac, SansAutresFichiers);
    ouvrir();
    const QString rep = w->RepDef;
    installer();
    verifierTermine();
    const float apresPremiere = w->PbMax;
    const int etapes = w->Etape;

    // Installed copies changed but dated as the installer's (the equal
    // case) or later: neither is copied again.
    const QString prog = dossierInstalle(rep) + "/" + w->Prog;
    const QString aide = dossierInstalle(rep) + "/" + w->Aide;
    ecrireFichier(prog, "programme local");
    fixerDate(prog, dateDe(bac.support() + "/" + w->Prog));
    ecrireFichier(aide, "aide locale");
    timespec plusTard = dateDe(bac.support() + "/" + w->Aide);
    plusTard.tv_sec += 3600;
    fixerDate(aide, plusTard);

    installer();
    EXPECT_TRUE(p->boites.empty());
    verifierTermine();
    EXPECT_EQ(w->PbMax, apresPremiere + 8);
    // A help file left in place takes one step fewer than the eight.
    EXPECT_EQ(w->Etape, etapes + fichiersSysteme().size() + 7);
    EXPECT_EQ(lireFichier(prog), "programme local");
    EXPECT_EQ(lireFichier(aide), "aide locale");
}

TEST_F(Installation, RegleDesDates)
{
    preparerSupport(bac, SansAutresFichiers);
    ouvrir();
    const QString rep = w->RepDef;
    const QString prog = dossierInstalle(rep) + "/" + w->Prog;
    const QString aide = dossierInstalle(rep) + "/" + w->Aide;
    // An older program is replaced, a newer help file is kept.
    ecrireFichier(prog, "ancien");
    timespec avant = dateDe(bac.support() + "/" + w->Prog);
    avant.tv_sec -= 86400;
    fixerDate(prog, avant);
    ecrireFichier(aide, "plus recente");
    timespec apres = dateDe(bac.support() + "/" + w->Aide);
    apres.tv_sec += 86400;
    fixerDate(aide, apres);

    installer();
    verifierTermine();
    EXPECT_EQ(lireFichier(prog), lireFichier(bac.support() + "/" + w->Prog));
    EXPECT_EQ(lireFichier(aide), "plus recente");
    // The program's tool tip, with its two blanks, was the last one set.
    EXPECT_EQ(w->Lfic->toolTip(), "d:\\" + w->Prog + "  ---> c:\\" + rep + "\\" + w->Prog);
}

TEST_F(Installation, DateIlliblePasseLaCopie)
{
    preparerSupport(bac, SansAutresFichiers);
    ouvrir();
    const QString rep = w->RepDef;
    // The installer's help file is gone: the installed one cannot be
    // compared and stays.
    QFile::remove(bac.support() + "/" + w->Aide);
    const QString aide = dossierInstalle(rep) + "/" + w->Aide;
    ecrireFichier(aide, "ancienne aide");
    fixerDate(aide, timespec{1000, 0});

    installer();
    EXPECT_TRUE(p->boites.empty());
    verifierTermine();
    EXPECT_EQ(lireFichier(aide), "ancienne aide");
    EXPECT_TRUE(QFileInfo::exists(dossierInstalle(rep) + "/" + w->Prog));
}

// Lets a test act at the points where the command lets events run.
class PlateformeCrochet : public PlateformeTest {
public:
    using PlateformeTest::PlateformeTest;
    std::function<void()> crochet;
    void LaisserEvenements() override
    {
        PlateformeTest::LaisserEvenements();
        if (crochet) crochet();
    }
};

TEST_F(Installation, SecondClicPendantLaCommandeRefuse)
{
    preparerSupport(bac);
    auto plateforme = std::make_unique<PlateformeCrochet>(bac.racine());
    PlateformeCrochet* crochet = plateforme.get();
    ouvrir(std::move(plateforme));
    int clics = 0;
    crochet->crochet = [&] {
        if (clics >= 3) return;
        ++clics;
        EXPECT_TRUE(w->installationEnCours);
        const float avant = w->PbMax;
        const int etape = w->Etape;
        w->Reper->setText("Autre");  // a re-entry would ask about it
        w->Command1->click();
        w->Reper->setText(w->RepDef);
        EXPECT_EQ(w->PbMax, avant);
        EXPECT_EQ(w->Etape, etape);
    };
    installer();
    crochet->crochet = nullptr;
    EXPECT_EQ(clics, 3);
    EXPECT_TRUE(p->boites.empty());
    verifierTermine();
    EXPECT_EQ(w->PbMax, pbMaxDepart + 8);

    // Once it is over, the command runs again.
    installer();
    EXPECT_EQ(w->PbMax, pbMaxDepart + 16);

    // Ending the program in the middle (the cancel button) leaves no
    // command marked as running.
    crochet->crochet = [&] { w->Annul_Click(); };
    EXPECT_THROW(w->Command1_Click(), FinProgramme);
    EXPECT_FALSE(w->installationEnCours);
}

// A drive of the table whose root is gone does not answer: one message,
// and the command ends there.
TEST_F(Installation, LecteurQuiNeRepondPas)
{
    preparerSupport(bac);
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    const QString parti = bac.racine() + "/media/PARTI";
    QDir().mkpath(parti);
    c.lecteurs.push_back({'e', parti, "PARTI"});
    ouvrir(std::make_unique<PlateformeTest>(c));
    w->Drive1->setDrive("e:");
    ASSERT_TRUE(w->Drive1->Drive().startsWith("e:"));
    QDir(parti).removeRecursively();

    for (const QString& rep : {w->RepDef, QString("Ailleurs")}) {
        SCOPED_TRACE(rep.toStdString());
        p->boites.clear();
        w->Reper->setText(rep);
        installer();
        ASSERT_EQ(p->boites.size(), 1u);
        EXPECT_EQ(p->boites[0].texte, "Lecteur indisponible");
        EXPECT_EQ(p->boites[0].titre, QString::fromUtf8("Sélectionnez un lecteur"));
        EXPECT_EQ(p->boites[0].style, 16);
        EXPECT_NE(w->BSuiv->text(), "Terminer >");
        EXPECT_NE(w->Lfic->text(), QString::fromUtf8("Installation terminée"));
        EXPECT_TRUE(w->Annul->isEnabled());
        EXPECT_FALSE(w->installationEnCours);
    }
    EXPECT_FALSE(QFileInfo::exists(parti));
}

}  // namespace
