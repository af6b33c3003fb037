// The install command and its shortcut sets, end to end through the window:
// the sample medium installed into a temporary home, on real file systems
// that fail as they do in the field (full, size-limited, read-only, a
// medium unmounted mid-copy), and from descriptions that name unsafe places.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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
    ASSERT_FALSE(lnkinfo.isEmpty()) << "lnkinfo (liblnk-utils) is needed";
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

QStringList cachesDe(const QString& dossier)
{
    QStringList r = QDir(dossier).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression("^\\."));
    r.sort();
    return r;
}

// Every file and folder under `dossier`, with its bytes.
QMap<QString, QByteArray> arbre(const QString& dossier)
{
    QMap<QString, QByteArray> r;
    QDirIterator it(dossier, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString c = it.next();
        r[c.mid(dossier.size())] = QFileInfo(c).isDir() ? QByteArray("/") : lireFichier(c);
    }
    return r;
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
    QString installe(const QString& nom = {}) const
    {
        // Before the window exists: the sample's directory.
        return home() + "/" + QString(w ? w->RepDef : "Programmes\\Agenda").replace('\\', '/') + "/" + nom;
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

    void ouvrir(const Configuration& c) { ouvrir(std::make_unique<PlateformeTest>(c)); }
    void installer() { w->Command1->click(); }

    // The command ended without a success: nothing announced, the way on
    // closed, the cancel button still there.
    void verifierPasDeSucces()
    {
        EXPECT_NE(w->Lfic->text(), QString::fromUtf8("Installation terminée"));
        EXPECT_NE(w->BSuiv->text(), "Terminer >");
        EXPECT_TRUE(w->Annul->isEnabled());
    }
    // The one report of what is missing.
    void verifierRapport(const QStringList& lignes)
    {
        verifierPasDeSucces();
        EXPECT_EQ(w->Lfic->text(), QString::fromUtf8("Installation incomplète"));
        EXPECT_EQ(p->boites, Boites({{QString::fromUtf8("L'installation n'est pas complète, ces fichiers n'ont "
                                                        "pas pu être installés :\r\n") + lignes.join("\r\n"),
                                      vbCritical, "Assistant Installation"}}));
    }

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
// it, once. The links into a group that cannot be made get their own
// message (one per link), those for want of the user's Programs folder
// none; either way they are missing, and the command says so.
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
        verifierPasDeSucces();
        EXPECT_FALSE(w->LabI1->isVisible());
        const QString groupe = "c:\\.local\\share\\applications\\Jeux\\Agenda";
        const BoiteMessage introuvable{QString::fromUtf8("Le répertoire '") + groupe + "' est introuvable.", 16,
                                       QString::fromUtf8("Création d'un raccourci")};
        const QString rapport = QString::fromUtf8("L'installation n'est pas complète, ces fichiers n'ont pas pu "
                                                  "être installés :\r\n") +
                                (dossierIntrouvable
                                     ? QString::fromUtf8("Agenda.lnk : dossier de l'utilisateur introuvable\r\n"
                                                         "Aide de Agenda.lnk : dossier de l'utilisateur introuvable")
                                     : groupe + QString::fromUtf8("\\Agenda.lnk : répertoire introuvable\r\n") +
                                           groupe + QString::fromUtf8("\\Aide de Jeux\\Agenda.lnk : répertoire "
                                                                      "introuvable"));
        const BoiteMessage manque{rapport, vbCritical, "Assistant Installation"};
        EXPECT_EQ(p->boites, dossierIntrouvable ? Boites{manque} : Boites({introuvable, introuvable, manque}));
        EXPECT_FALSE(QFileInfo::exists(applications() + "/Jeux"));
        verifierLien(lienProgramme(bureau()), w->Prog);
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

// A drive of the table whose root is gone, or the medium lazily unmounted
// in the middle of the copies (its mount point stays behind as a bare
// folder, never read as the medium): the drive does not answer, one
// message, and the command ends there.
TEST_F(Installation, LecteurQuiNeRepondPas)
{
    const QString cle = bac.racine() + "/media/CLE", parti = bac.racine() + "/media/PARTI";
    ASSERT_TRUE(monterTmpfs(cle, 4 << 20));
    preparerSupport(cle);
    QDir().mkpath(parti);
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    c.lecteurs.push_back({'e', parti, "PARTI"});
    c.lecteurs.push_back({'f', cle, "CLE", true});
    c.dossierPropre = cle;
    ouvrir(c);
    w->Drive1->setDrive("e:");
    QDir(parti).removeRecursively();
    const Boites indisponible{{"Lecteur indisponible", 16, QString::fromUtf8("Sélectionnez un lecteur")}};
    for (const QString& rep : {w->RepDef, QString("Ailleurs")}) {
        SCOPED_TRACE(rep.toStdString());
        p->boites.clear();
        w->Reper->setText(rep);
        installer();
        EXPECT_EQ(p->boites, indisponible);
        verifierPasDeSucces();
        EXPECT_FALSE(w->installationEnCours);
    }
    EXPECT_FALSE(QFileInfo::exists(parti));

    // The system files went in before e: was found gone: again from the start.
    for (const char* lib : {"/.local/lib", "/.local/lib32"}) QDir(bac.home() + lib).removeRecursively();
    w->Drive1->setDrive("c:");
    w->Reper->setText(w->RepDef);
    p->boites.clear();
    int fichiers = 0;
    p->crochet = [&] {
        if (++fichiers == 2) ASSERT_EQ(::umount2(QFile::encodeName(cle).constData(), MNT_DETACH), 0);
    };
    installer();
    EXPECT_EQ(p->boites, indisponible);
    verifierPasDeSucces();
    EXPECT_THROW(p->VersHote("f:\\Install.inf"), Erreur);
    // It ended at the system file: no install directory was made.
    EXPECT_FALSE(QFileInfo::exists(installe()));
}

// A disk that fills up, or a file-size limit: the file that did not fit is
// named with its reason and leaves no partial or hidden copy; the free-space
// figure is the real one (no fallback), so the warning comes first. When the
// program itself is what did not fit, no link points at it. A read-only home:
// every file is named, nothing is made.
TEST_F(Installation, DisquePleinLimiteOuLectureSeule)
{
    // A disk and a size limit that the sample's files fit, and Gros.dat not.
    qint64 echantillon = 0, plusGrand = 0;
    for (const QFileInfo& f : QDir(SUPPORT_EXEMPLE).entryInfoList(QDir::Files)) {
        echantillon += f.size();
        plusGrand = std::max(plusGrand, f.size());
    }
    const qint64 disque = 2 * echantillon + (1 << 20);
    const QString requis = QString::number(disque / (1 << 20) + 2);
    ecrireFichier(bac.support() + "/Gros.dat", QByteArray(disque + (1 << 20), 'g'));
    rlimit avant {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &avant), 0);
    for (const int cas : {0, 1, 2}) {
        SCOPED_TRACE(cas);
        const bool programme = cas == 1, limite = cas == 2;
        if (!limite) ASSERT_TRUE(monterTmpfs(bac.home(), disque));
        preparerSupport(bac.support(), {{programme ? "Programme" : "F5", "Gros.dat"}, {"EspaceRequis", requis + "Mo"}});
        rlimit l = avant;
        l.rlim_cur = rlim_t(plusGrand) + (64 << 10);
        if (limite) ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &l), 0);
        ouvrir();
        p->reponses = {vbYes};
        installer();
        ::setrlimit(RLIMIT_FSIZE, &avant);
        if (!limite) {
            EXPECT_TRUE(p->boites.front().texte.contains(" ne contient pas les " + requis + " Mo "));
            p->boites.erase(p->boites.begin());
        }
        verifierRapport({QString::fromUtf8("c:\\Programmes\\Agenda\\Gros.dat : ") +
                         (limite ? "fichier trop volumineux" : "disque plein")});
        EXPECT_FALSE(QFileInfo::exists(installe("Gros.dat")));
        EXPECT_TRUE(cachesDe(installe()).isEmpty()) << cachesDe(installe()).join(' ').toStdString();
        EXPECT_EQ(lireFichier(installe("Modeles.dat")), lireFichier(bac.support() + "/Modeles.dat"));
        for (const char* lien : {"/Agenda/Agenda.lnk", "/Agenda/Agenda.desktop"})
            EXPECT_EQ(QFileInfo::exists(applications() + lien), !programme) << lien;
        EXPECT_EQ(w->LabI1->isVisible(), !programme);
        if (!limite) ASSERT_EQ(::umount2(QFile::encodeName(bac.home()).constData(), MNT_DETACH), 0);
    }

    Bac ro;
    preparerSupport(ro.support());
    ASSERT_TRUE(monterTmpfs(ro.home(), 1 << 20, true));
    ouvrir(PlateformeTest::configurationDans(ro.racine()));
    w->TailleInstall = 0.0;
    installer();
    const QString refuse = QString::fromUtf8(" : disque protégé en écriture");
    const QString absent = QString::fromUtf8(" : répertoire introuvable");
    verifierRapport({"c:\\.local\\lib\\Outils.dll" + absent, "c:\\Programmes\\Agenda" + refuse,
                     "c:\\Programmes\\Agenda\\agenda" + absent, "c:\\Programmes\\Agenda\\Agenda.html" + absent,
                     "c:\\Programmes\\Agenda\\Modeles.dat" + absent, "c:\\Programmes\\Agenda\\agenda.png" + absent});
    EXPECT_TRUE(arbre(ro.home()).isEmpty());
}

// The disk fills up while the shortcuts are made, a few pages short or
// more: what could not be made is named, nothing is left empty or
// half-written under its real name (links, entries, menus, icons), no
// hidden copy stays, and once there is room the next install makes all.
TEST_F(Installation, DisquePleinPendantLesRaccourcis)
{
    for (const unsigned long pages : {0, 1, 2, 3, 5}) {
        SCOPED_TRACE(pages);
        neuf();
        ASSERT_TRUE(monterTmpfs(home(), 4 << 20));
        preparerSupport(bac);
        ouvrir();
        const QString remplissage = home() + "/remplissage";
        p->crochet = [&] {
            if (w->Lfic->text() != QString::fromUtf8("Création des icônes.") || QFileInfo::exists(remplissage))
                return;
            struct statvfs v {};
            ASSERT_EQ(::statvfs(QFile::encodeName(home()).constData(), &v), 0);
            ecrireFichier(remplissage, QByteArray(qsizetype((v.f_bavail - pages) * v.f_bsize), 'r'));
        };
        installer();
        const bool termine = w->Lfic->text() == QString::fromUtf8("Installation terminée");
        if (pages == 0) EXPECT_FALSE(termine);
        if (!termine) EXPECT_EQ(p->boites.back().titre, "Assistant Installation");
        QDirIterator it(home(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            EXPECT_GT(QFileInfo(f).size(), 0) << f.toStdString();
            EXPECT_FALSE(f.contains("~assistant~")) << f.toStdString();
            if (f.endsWith(".desktop")) EXPECT_TRUE(lireFichier(f).contains("X-Assistant-Raccourci=")) << f.toStdString();
            if (termine && f.endsWith(".lnk") && !f.contains("recent-links"))
                EXPECT_TRUE(QFileInfo::exists(f.chopped(4) + ".desktop")) << f.toStdString();
        }

        QFile::remove(remplissage);
        p->crochet = {};
        p->boites.clear();
        installer();
        verifierTermine();
        for (const QString& entree : {applications() + "/Agenda/Agenda.desktop", bureau() + "/Agenda.desktop"})
            EXPECT_TRUE(lireFichier(entree).contains("X-Assistant-Raccourci=Agenda.lnk")) << entree.toStdString();
    }
}

// What a killed run left: its own hidden copies of the files it installs go
// at the next install or at the uninstall, nothing else does, and a copy
// still being written (locked) is left to its writer.
TEST_F(Installation, TemporairesAbandonnes)
{
    preparerSupport(bac.support());
    const QString marque = ".~assistant~";
    const QStringList restes{".agenda" + marque + "a1B2c3", ".MODELES.DAT" + marque + "zzzzzz"};
    // The user's own hidden files, however close their names come.
    const QStringList gardes{".agenda.a1B2c3", ".agenda.config", ".notes.txt" + marque + "a1B2c3",
                             ".agenda" + marque + "court", "agenda" + marque + "a1B2c3"};
    for (const QString& n : restes + gardes) ecrireFichier(installe(n), "reste");
    ecrireFichier(bac.home() + "/.local/lib32/.Outils.dll" + marque + "Q1q2Q3", "reste");
    ecrireFichier(bac.home() + "/.local/lib/.Outils.dll.backup", "le sien");
    // A shortcut's write killed on the desktop: the next write of it cleans up.
    ecrireFichier(home() + "/Desktop/.Agenda.lnk" + marque + "AbCdEf", "reste");
    const QString enCours = installe(".agenda.png" + marque + "EnCour");
    ecrireFichier(enCours, "en cours");
    const int verrou = ::open(QFile::encodeName(enCours).constData(), O_RDONLY);
    ASSERT_EQ(::flock(verrou, LOCK_EX), 0);
    ouvrir();
    w->Command1->click();
    EXPECT_EQ(w->Lfic->text(), QString::fromUtf8("Installation terminée"));
    QStringList attendus = gardes.filter(QRegularExpression("^\\.")) << QFileInfo(enCours).fileName();
    attendus.sort();
    EXPECT_EQ(cachesDe(installe()), attendus);
    EXPECT_TRUE(QFileInfo::exists(installe("agenda" + marque + "a1B2c3")));
    EXPECT_TRUE(cachesDe(bac.home() + "/.local/lib32").isEmpty());
    EXPECT_EQ(cachesDe(bac.home() + "/.local/lib"), QStringList{".Outils.dll.backup"});
    EXPECT_TRUE(cachesDe(bureau()).isEmpty());
    ::close(verrou);

    // The complete uninstall takes the debris of its files too.
    ecrireFichier(installe(".Agenda.html" + marque + "XyZ123"), "reste");
    w->OptionDépart[2]->setChecked(true);
    w->BPréc->click();
    w->BSuiv->click();
    p->reponses = {vbYes, vbNo};
    w->Uninst->click();
    attendus.removeAll(QFileInfo(enCours).fileName());
    EXPECT_EQ(cachesDe(installe()), attendus);
}

// No directory below the drive (the key missing, or only backslashes
// typed), or a default one that climbs out: one message, nothing written.
TEST_F(Installation, RepertoireRacineOuHorsDuLecteur)
{
    const QString racine = QString::fromUtf8("Le programme ne peut pas être installé à la racine du lecteur c:\\ : "
                                             "indiquez un répertoire d'installation.");
    struct Cas { QString repDef, reper, message; };
    for (const Cas& c : {Cas{"", "", racine}, Cas{"Programmes", "\\\\ \\", racine},
                         Cas{"..\\..\\dehors", "..\\..\\dehors", QString::fromUtf8("Impossible de créér ..\\..\\dehors")},
                         Cas{"Jeux\\...", "Jeux\\...", QString::fromUtf8("Impossible de créér Jeux\\...")}}) {
        SCOPED_TRACE(c.reper.toStdString());
        Bac b;
        bac.dir.swap(b.dir);
        preparerSupport(bac.support(), {{QString::fromUtf8("RépertoireInstallDéfaut"), c.repDef}});
        ouvrir();
        const auto avant = arbre(bac.racine());
        w->Reper->setText(c.reper);
        w->Command1->click();
        EXPECT_EQ(p->boites, Boites({{c.message, vbCritical, "Assistant Installation"}}));
        EXPECT_EQ(arbre(bac.racine()), avant);
        EXPECT_FALSE(w->PB->isVisible());
    }
}

// Names with an empty or dotted part are never copied: a system file named
// with a trailing backslash does not replace the one in place, and each
// such name is reported.
TEST_F(Installation, NomsDangereux)
{
    preparerSupport(bac.support(), {{"Fs1", "Outils.dll\\"}, {"F1", "agenda\\\\"}, {"F2", "..."},
                                    {"F3", "Sous\\\\Modeles.dat"}, {"NomAide", ".\\Agenda.html"}});
    ecrireFichier(bac.home() + "/.local/lib/Outils.dll", "le sien");
    ouvrir();
    w->Command1->click();
    const QString invalide = " : nom de fichier non valide";
    verifierRapport({"Outils.dll\\" + invalide, ".\\Agenda.html" + invalide, "agenda\\\\" + invalide,
                     "..." + invalide, "Sous\\\\Modeles.dat" + invalide});
    EXPECT_EQ(lireFichier(bac.home() + "/.local/lib/Outils.dll"), "le sien");
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/.local/lib32/Outils.dll"));
    EXPECT_EQ(QDir(installe()).entryList(QDir::Files, QDir::Name), QStringList({"agenda", "agenda.png"}));
}

}  // namespace
