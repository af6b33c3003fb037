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

#include <algorithm>
#include <functional>
#include <memory>

using namespace plateforme;

namespace {

using Cles = QMap<QString, QString>;

// A web shortcut asked for with the word `mot`.
Cles web(const QString& mot)
{
    return {{"RaccourciWEB", mot},
            {"URLRaccourciWEB", "http://exemple.org/agenda"},
            {"NomRaccourciWEB", "Site Agenda"}};
}
const QByteArray Url = "[InternetShortcut]\r\nURL=http://exemple.org/agenda\r\n";

void preparerSupport(const Bac& bac, const Cles& cles = {}) { ::preparerSupport(bac.support(), cles); }

// Gives `hote` the last-modified time of `reference`, shifted by `decalage` seconds.
void dater(const QString& hote, const QString& reference, long decalage)
{
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(reference).constData(), &st), 0);
    st.st_mtim.tv_sec += decalage;
    const timespec deux[2] = {st.st_mtim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(hote).constData(), deux, 0), 0);
}

// A shell link that the standard reader, when installed, reads with `cible` in it.
void verifierLien(const QString& hote, const QString& cible)
{
    SCOPED_TRACE(hote.toStdString());
    ASSERT_EQ(lireFichier(hote).left(4), QByteArray("L\0\0\0", 4));
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
    return QDir(hote).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

class Installation : public ::testing::Test {
protected:
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;
    float pbMaxDepart = 0;

    QString home() const { return bac.home(); }
    QString applications() const { return home() + "/.local/share/applications"; }
    QString autostart() const { return home() + "/.config/autostart"; }
    QString favoris() const { return home() + "/.local/share/favorites"; }
    QString bureau() const { return p->VersHote(p->DossierSpecial(0)); }
    QString applicationsTous() const { return bac.racine() + "/sys/usr/local/share/applications"; }
    QString autostartTous() const { return bac.racine() + "/sys/etc/xdg/autostart"; }
    QString favorisTous() const { return bac.racine() + "/sys/usr/local/share/favorites"; }
    QString installe(const QString& nom) const
    {
        return home() + "/" + QString(w->RepDef).replace('\\', '/') + "/" + nom;
    }
    QString lienProgramme(const QString& dossier) const { return dossier + "/" + w->NomProg + ".lnk"; }

    // Builds the window on the prepared medium and moves to the install page.
    void ouvrir(std::unique_ptr<PlateformeTest> plateforme = {})
    {
        w.reset();
        p = plateforme ? std::move(plateforme) : std::make_unique<PlateformeTest>(bac.racine());
        // A shell link that never comes is given up in a few clock readings.
        p->pasHorloge = 1e-5;
        w = std::make_unique<Install>(*p);
        w->Form_Load();
        w->show();
        w->OptionDépart[1]->click();
        w->BSuiv->click();
        ASSERT_TRUE(w->FrameInstall->isVisible());
        pbMaxDepart = w->PbMax;
    }

    void installer() { w->Command1->click(); }

    QStringList fichiersSysteme() const
    {
        QStringList n;
        for (QString* f : w->EmplacementsFs())
            if (!f->isEmpty()) n << *f;
        return n;
    }

    void verifierTermine()
    {
        EXPECT_EQ(w->Lfic->text(), QString::fromUtf8("Installation terminée"));
        EXPECT_EQ(w->BSuiv->text(), "Terminer >");
        EXPECT_EQ(w->Label7->text(), "");
        EXPECT_TRUE(w->Lfic->isVisible() && w->Label7->isVisible() && w->PB->isVisible());
        EXPECT_TRUE(w->BSuiv->isEnabled() && !w->Annul->isEnabled() && !w->installationEnCours);
    }

    // Nothing of an installation happened: the page is as it was.
    void verifierNonInstalle()
    {
        EXPECT_EQ(w->BSuiv->text(), QString::fromUtf8(" &Suivant >"));
        EXPECT_TRUE(!w->BSuiv->isEnabled() && w->Annul->isEnabled() && !w->installationEnCours);
        EXPECT_TRUE(!w->PB->isVisible() && !w->Lfic->isVisible());
        EXPECT_EQ(w->PbMax, pbMaxDepart);
        EXPECT_EQ(w->Etape, 0);
        EXPECT_FALSE(QFileInfo::exists(home() + "/Programmes"));
    }

    // The program files (bytes and rights) in the install directory, the
    // system files in both system directories.
    void verifierFichiers()
    {
        QStringList noms{w->Prog, w->Aide};
        for (QString* f : w->EmplacementsF())
            if (!f->isEmpty()) noms << *f;
        for (const QString& nom : noms) {
            SCOPED_TRACE(nom.toStdString());
            EXPECT_EQ(lireFichier(installe(nom)), lireFichier(bac.support() + "/" + nom));
            EXPECT_EQ(QFileInfo(installe(nom)).permissions(), QFileInfo(bac.support() + "/" + nom).permissions());
        }
        for (const QString& nom : fichiersSysteme())
            for (const QString& lib : {"/.local/lib/", "/.local/lib32/"})
                EXPECT_EQ(lireFichier(home() + lib + nom), lireFichier(bac.support() + "/" + nom))
                    << (lib + nom).toStdString();
    }

    // The group's program and help links, and a program link in each of `autres`.
    void verifierRaccourcis(const QString& dossierGroupe, const QStringList& autres)
    {
        const QString groupe = dossierGroupe + "/" + w->NomDef;
        verifierLien(lienProgramme(groupe), w->Prog);
        verifierLien(groupe + "/Aide de " + w->NomDef + ".lnk", w->Aide);
        for (const QString& d : autres) verifierLien(lienProgramme(d), w->Prog);
    }

    // A fresh temporary tree, for a case that needs one of its own.
    void neuf()
    {
        w.reset();
        p.reset();
        Bac b;
        bac.dir.swap(b.dir);
    }
};

// The page as a user meets it: not enough room (No stops before anything),
// typed directories refused or made, then an installation with the default
// options. A word other than oui asks for no web shortcut.
TEST_F(Installation, RefusPuisInstallationParDefaut)
{
    Cles cles = web("ouii");
    cles["EspaceRequis"] = "99999999Mo";
    preparerSupport(bac, cles);
    ouvrir();
    EXPECT_TRUE(w->CHIcones->isChecked());
    EXPECT_FALSE(w->ChDem->isChecked() || w->AllUSERs->isChecked() || w->LabI1->isVisible());
    const QString defaut = w->RepDef;
    auto place = [&](const QString& mo) {
        return BoiteMessage{QString::fromUtf8(" Il me semble que le lecteur ") + w->Drive1->Drive() +
                                QString::fromUtf8(" ne contient pas les ") + mo +
                                QString::fromUtf8(" Mo nécessaires... mais je peux me tromper... "
                                                  "Voulez vous continuer ?"),
                            20, " oh, oh ??"};
    };
    auto inexistant = [](const QString& rep) {
        return BoiteMessage{QString::fromUtf8("Le répertoire c:\\") + rep +
                                QString::fromUtf8(" n'existe pas... voulez vous le créer ?"),
                            36, QString::fromUtf8("Répertoire inexistant")};
    };
    p->reponses = {vbNo};
    installer();
    EXPECT_EQ(p->boites, Boites({place("99999999")}));
    verifierNonInstalle();
    w->TailleInstall = 0.0;

    // A missing parent (one level is made, not two) and a name leaving the
    // drive cannot be made: the default comes back.
    for (const QString rep : {"Absent\\Sous", "..\\dehors"}) {
        p->boites.clear();
        w->Reper->setText(rep);
        installer();
        EXPECT_EQ(p->boites, Boites({inexistant(rep), {QString::fromUtf8("Impossible de créér ") + rep, 16,
                                                       "Assistant Installation"}}));
        EXPECT_EQ(w->Reper->text(), defaut);
        EXPECT_EQ(w->RepDef, defaut);
        verifierNonInstalle();
    }
    EXPECT_FALSE(QFileInfo::exists(home() + "/Absent") || QFileInfo::exists(bac.racine() + "/dehors"));

    // No: nothing is made and the typed text stays.
    p->boites.clear();
    w->Reper->setText("Outils");
    p->reponses = {vbNo};
    installer();
    EXPECT_EQ(p->boites, Boites({inexistant("Outils")}));
    EXPECT_EQ(w->Reper->text(), "Outils");
    EXPECT_EQ(w->RepDef, defaut);
    verifierNonInstalle();
    EXPECT_FALSE(QFileInfo::exists(home() + "/Outils"));

    // Yes to both (a size with a fraction is written as a number): made, and
    // used by the files and the links.
    p->boites.clear();
    w->TailleInstall = 99999999.5;
    p->reponses = {vbYes, vbYes};
    installer();
    EXPECT_EQ(p->boites, Boites({place("99999999,5"), inexistant("Outils")}));
    verifierTermine();
    verifierFichiers();
    EXPECT_EQ(w->Chemin, "c:\\Outils");
    // Every step planned was drawn: the bar is full and no further.
    EXPECT_EQ(w->PbMax, pbMaxDepart + 8);
    EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax));
    int copies = fichiersSysteme().size() * 2;
    for (QString* f : w->EmplacementsF()) copies += !f->isEmpty();
    EXPECT_EQ(w->Label6->text(), QString::number(copies) + QString::fromUtf8(" fichier(s) copié(s)"));
    // The help file came last, with one blank; the root of d: keeps its single backslash.
    EXPECT_EQ(w->Lfic->toolTip(), "d:\\" + w->Aide + " ---> c:\\Outils\\" + w->Aide);
    EXPECT_TRUE(w->LabI1->isVisible());
    verifierRaccourcis(applications(), {bureau()});
    verifierLien(lienProgramme(applications() + "/" + w->NomDef), "Outils");
    EXPECT_TRUE(contenu(applications() + "/" + w->NomDef).filter(".url").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(lienProgramme(autostart())));
    EXPECT_TRUE(contenu(favoris()).isEmpty());
    EXPECT_TRUE(contenu(applicationsTous()).isEmpty());

    // A typed directory that exists is not questioned.
    p->boites.clear();
    w->TailleInstall = 0.0;
    QDir().mkpath(home() + "/Existant");
    w->Reper->setText("Existant");
    installer();
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(w->RepDef, "Existant");
    verifierFichiers();
}

TEST_F(Installation, SansOptionIconesAucunRaccourci)
{
    preparerSupport(bac);
    ouvrir();
    w->CHIcones->setChecked(false);
    installer();
    verifierTermine();
    EXPECT_FALSE(w->LabI1->isVisible());
    EXPECT_FALSE(QFileInfo::exists(applications() + "/" + w->NomDef) || QFileInfo::exists(lienProgramme(bureau())));
    // Their two steps are counted in the total all the same.
    EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax) - 2);
}

// All users, with every option and a web shortcut. Where the all-users
// folders can be written the links go there only (no all-users desktop on
// Linux: no desktop link, no message) and the favourite to both; where they
// cannot, everything falls back to the user's folders and the box is unticked.
TEST_F(Installation, TousUtilisateurs)
{
    for (const bool inscriptible : {true, false}) {
        SCOPED_TRACE(inscriptible);
        neuf();
        preparerSupport(bac, web(inscriptible ? "Oui" : "OUI"));
        QDir().mkpath(favorisTous());
        QDir().mkpath(autostartTous());
        const QString partage = bac.racine() + "/sys/usr/local/share";
        const auto droits = QFile(partage).permissions();
        if (inscriptible) QDir().mkpath(applicationsTous());
        // Rights do not stop root: a file where the folder should be does.
        else if (::geteuid() == 0) ecrireFichier(applicationsTous(), "pas un dossier");
        else QFile(partage).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        ouvrir();
        w->AllUSERs->setChecked(true);
        w->ChDem->setChecked(true);
        installer();
        QFile(partage).setPermissions(droits);

        EXPECT_TRUE(p->boites.empty()) << p->boites.front().texte.toStdString();
        verifierTermine();
        verifierFichiers();
        EXPECT_EQ(w->AllUSERs->isChecked(), inscriptible);
        EXPECT_EQ(w->PbMax, pbMaxDepart + 9);
        EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax));
        if (inscriptible) verifierRaccourcis(applicationsTous(), {autostartTous()});
        else verifierRaccourcis(applications(), {bureau(), autostart()});
        EXPECT_FALSE(QFileInfo::exists((inscriptible ? applications() : applicationsTous()) + "/" + w->NomDef));
        EXPECT_TRUE(contenu(inscriptible ? autostart() : autostartTous()).isEmpty());
        EXPECT_EQ(QFileInfo::exists(lienProgramme(bureau())), !inscriptible);
        EXPECT_EQ(lireFichier(favoris() + "/Site Agenda.url"), Url);
        if (inscriptible) EXPECT_EQ(lireFichier(favorisTous() + "/Site Agenda.url"), Url);
        else EXPECT_TRUE(contenu(favorisTous()).isEmpty());
        // Without an address, no favourite in either scope.
        QDir(favoris()).removeRecursively();
        QDir(favorisTous()).removeRecursively();
        QDir().mkpath(favorisTous());
        w->URLInet.clear();
        w->CreerRaccourciWeb();
        EXPECT_TRUE(contenu(favoris()).isEmpty() && contenu(favorisTous()).isEmpty());
    }
}

// Neither Programs folder can hold the group: the command goes on without
// it, once. A group that cannot be made gets the links' own message (one
// per link); a Programs folder that cannot be found is passed in silence.
TEST_F(Installation, AucunGroupePossibleNeBouclePas)
{
    for (const bool dossierIntrouvable : {false, true}) {
        SCOPED_TRACE(dossierIntrouvable);
        neuf();
        if (dossierIntrouvable) {
            preparerSupport(bac);
            ecrireFichier(applications(), "pas un dossier");
            ecrireFichier(applicationsTous(), "pas un dossier");
        } else {
            preparerSupport(bac, {{QString::fromUtf8("NomGroupeDéfaut"), "Jeux\\Agenda"}});
        }
        ouvrir();
        w->AllUSERs->setChecked(true);
        installer();

        EXPECT_FALSE(w->AllUSERs->isChecked());
        verifierTermine();
        const BoiteMessage introuvable{
            QString::fromUtf8("Le répertoire 'c:\\.local\\share\\applications\\Jeux\\Agenda' est introuvable."), 16,
            QString::fromUtf8("Création d'un raccourci")};
        EXPECT_EQ(p->boites, dossierIntrouvable ? Boites{} : Boites({introuvable, introuvable}));
        EXPECT_FALSE(QFileInfo::exists(applications() + "/Jeux"));
        verifierLien(lienProgramme(bureau()), w->Prog);
        EXPECT_EQ(w->Etape, static_cast<int>(w->PbMax));
    }
    EXPECT_TRUE(QFileInfo(applications()).isFile());
}

// The command run again and again: a click while it runs is refused, and
// the program and help file follow the date rule (an installed copy newer
// than or as old as the installer's is kept, an older one replaced, one
// whose source date cannot be read left alone).
TEST_F(Installation, ExecutionsSuccessives)
{
    // Only the program and help file: the other files are always copied.
    preparerSupport(bac, {{"F1", ""}, {"F2", ""}, {"F3", ""}, {"F4", ""}});
    ouvrir();
    int clics = 0;
    p->crochet = [&] {
        if (clics++ >= 3) return;
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
    p->crochet = nullptr;
    EXPECT_GE(clics, 3);
    EXPECT_TRUE(p->boites.empty());
    verifierTermine();
    EXPECT_EQ(w->PbMax, pbMaxDepart + 8);
    const int etapes = w->Etape;

    const QString prog = installe(w->Prog), progSource = bac.support() + "/" + w->Prog;
    const QString aide = installe(w->Aide), aideSource = bac.support() + "/" + w->Aide;
    ecrireFichier(prog, "programme local");
    dater(prog, progSource, 0);
    ecrireFichier(aide, "aide locale");
    dater(aide, aideSource, 3600);
    installer();
    verifierTermine();
    EXPECT_EQ(w->PbMax, pbMaxDepart + 16);
    // A help file left in place takes one step fewer than the eight.
    EXPECT_EQ(w->Etape, etapes + fichiersSysteme().size() + 7);
    EXPECT_EQ(lireFichier(prog), "programme local");
    EXPECT_EQ(lireFichier(aide), "aide locale");

    dater(prog, progSource, -86400);
    installer();
    EXPECT_EQ(lireFichier(prog), lireFichier(progSource));
    EXPECT_EQ(lireFichier(aide), "aide locale");
    // The program's tool tip, with its two blanks, was the last one set.
    EXPECT_EQ(w->Lfic->toolTip(), "d:\\" + w->Prog + "  ---> c:\\" + w->RepDef + "\\" + w->Prog);

    dater(aide, aideSource, -86400 * 365);
    QFile::remove(aideSource);
    installer();
    EXPECT_TRUE(p->boites.empty());
    verifierTermine();
    EXPECT_EQ(lireFichier(aide), "aide locale");

    // Ending the program mid-command (the cancel button) leaves none marked as running.
    p->crochet = [&] { w->Annul_Click(); };
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
        EXPECT_EQ(p->boites, Boites({{"Lecteur indisponible", 16, QString::fromUtf8("Sélectionnez un lecteur")}}));
        EXPECT_NE(w->BSuiv->text(), "Terminer >");
        EXPECT_TRUE(w->Annul->isEnabled() && !w->installationEnCours);
    }
    EXPECT_FALSE(QFileInfo::exists(parti));
}

}  // namespace
