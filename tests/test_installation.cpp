// The install command and its shortcut sets, end to end through the window, on file systems that fail as in the field.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <memory>

using namespace plateforme;

namespace {

const QString Assistant = "Assistant Installation";

// A shell link that lnkinfo reads, pointing at `cible`.
void verifierLien(const QString& hote, const QString& cible)
{
    EXPECT_TRUE(lnkinfo(hote).value("Local path").contains(cible, Qt::CaseInsensitive)) << hote.toStdString();
}

// The hidden files directly in `dossier`, sorted.
QStringList cachesDe(const QString& d) { return QDir(d).entryList({".*"}, QDir::Files | QDir::Hidden, QDir::Name); }

class Installation : public ::testing::Test {
protected:
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;

    QString home() const { return bac.home(); }
    QString applications() const { return home() + "/.local/share/applications"; }
    QString applicationsTous() const { return bac.racine() + "/sys/usr/local/share/applications"; }
    // The shortcut files' folders, the user's and all users'.
    QString liens() const { return home() + "/.local/share/assistant-installation/liens"; }
    QString liensTous() const { return bac.racine() + "/sys/usr/local/share/assistant-installation/liens"; }
    QString bureau() const { return home() + "/Desktop"; }
    // The install directory; before the window exists, the sample's.
    QString installe(const QString& nom = {}) const
    {
        return home() + "/" + QString(w ? w->RepDef : "Programmes\\Agenda").replace('\\', '/') + "/" + nom;
    }

    // A fresh temporary tree with the sample medium, for a case that needs one of its own.
    void neuf(const QMap<QString, QString>& cles = {})
    {
        w.reset();
        p.reset();
        Bac b;
        bac.dir.swap(b.dir);
        preparerSupport(bac.support(), cles);
    }

    // Builds the window on the prepared medium and moves to the install page.
    void ouvrir(const Configuration* c = nullptr)
    {
        w.reset();
        p = c ? std::make_unique<PlateformeTest>(*c) : std::make_unique<PlateformeTest>(bac.racine());
        p->pasHorloge = 1e-5;  // a shell link that never comes is given up in a few clock readings
        w = std::make_unique<Install>(*p);
        w->Form_Load();
        w->show();
        w->OptionDépart[1]->click();
        w->BSuiv->click();
        ASSERT_TRUE(w->FrameInstall->isVisible());
    }
    void installer() { w->Command1->click(); }

    // After the boxes `boites`: success announced when nothing is missing, else the one report of what is.
    void verifierFin(const QStringList& manquants = {}, Boites boites = {})
    {
        const bool termine = manquants.isEmpty();
        EXPECT_EQ(w->Lfic->text(), termine ? "Installation terminée" : "Installation incomplète");
        EXPECT_EQ(w->BSuiv->text() == "Terminer >" && w->BSuiv->isEnabled(), termine);
        EXPECT_TRUE(w->Annul->isEnabled() != termine && !w->installationEnCours);
        if (!termine)
            boites.push_back({"L'installation n'est pas complète, ces fichiers n'ont pas pu être installés :\r\n" +
                                  manquants.join("\r\n"), vbCritical, Assistant});
        EXPECT_EQ(p->boites, boites);
    }
};

// Each refusal (no directory below the drive, one not made, No to the free-space question) writes nothing; then
// Yes to both installs the sample, with its counts, texts and links, and "ouii" asks for no web shortcut.
TEST_F(Installation, RefusPuisInstallation)
{
    preparerSupport(bac.support(), {{"RaccourciWEB", "ouii"}, {"URLRaccourciWEB", "http://exemple.org/agenda"},
                                    {"NomRaccourciWEB", "Site Agenda"}});
    ouvrir();
    const QString defaut = w->RepDef;
    const float pbMaxDepart = w->PbMax;
    w->TailleInstall = 99999999.5;  // its fraction written as a French reader writes numbers
    const BoiteMessage place{" Il me semble que le lecteur " + w->Drive1->Drive() + " ne contient pas les 99999999,5 "
                             "Mo nécessaires... mais je peux me tromper... Voulez vous continuer ?", 20, " oh, oh ??"};
    const auto inexistant = [](const QString& rep) {
        return BoiteMessage{"Le répertoire c:\\" + rep + " n'existe pas... voulez vous le créer ?", 36,
                            "Répertoire inexistant"};
    };
    const auto impossible = [](const QString& r) { return BoiteMessage{"Impossible de créér " + r, 16, Assistant}; };
    const BoiteMessage racine{"Le programme ne peut pas être installé à la racine du lecteur c:\\ : indiquez un "
                              "répertoire d'installation.", vbCritical, Assistant};
    struct Cas { QString repDef, reper; std::deque<int> reponses; Boites boites; };
    for (const Cas& c : {Cas{"", "", {}, {racine}}, Cas{defaut, "\\\\ \\", {}, {racine}},
                         Cas{"..\\..\\dehors", "..\\..\\dehors", {}, {impossible("..\\..\\dehors")}},
                         Cas{"Jeux\\...", "Jeux\\...", {}, {impossible("Jeux\\...")}},
                         Cas{defaut, defaut, {vbNo}, {place}},
                         Cas{defaut, "Absent\\Sous", {}, {place, inexistant("Absent\\Sous"), impossible("Absent\\Sous")}},
                         Cas{defaut, "..\\dehors", {}, {place, inexistant("..\\dehors"), impossible("..\\dehors")}},
                         Cas{defaut, "Outils", {vbYes, vbNo}, {place, inexistant("Outils")}}}) {
        SCOPED_TRACE(c.reper.toStdString());
        const auto avant = arbre(bac.racine());
        p->boites.clear();
        p->reponses = c.reponses;
        w->RepDef = c.repDef;
        w->Reper->setText(c.reper);
        installer();
        EXPECT_EQ(p->boites, c.boites);
        EXPECT_EQ(arbre(bac.racine()), avant);
        EXPECT_EQ(w->Reper->text(), c.boites.size() == 3 ? defaut : c.reper);  // one not made gives way to the default
        EXPECT_TRUE(!w->PB->isVisible() && w->Etape == 0 && w->PbMax == pbMaxDepart);
    }

    p->boites.clear();
    installer();
    verifierFin({}, {place, inexistant("Outils")});
    for (const char* nom : {"agenda", "Agenda.html", "Modeles.dat", "agenda.png"})
        EXPECT_EQ(lireFichier(installe(nom)), lireFichier(bac.support() + "/" + nom)) << nom;
    EXPECT_TRUE(w->PbMax == pbMaxDepart + 8 && w->Etape == int(w->PbMax)) << w->Etape;  // all steps drawn, no more
    // The help file came last, with one blank; the root of d: keeps its single backslash.
    EXPECT_EQ(w->Lfic->toolTip(), "d:\\Agenda.html ---> c:\\Outils\\Agenda.html");
    verifierLien(liens() + "/Programmes/Agenda/Agenda.lnk", "c:\\Outils\\agenda");
    verifierLien(liens() + "/Programmes/Agenda/Aide de Agenda.lnk", "c:\\Outils\\Agenda.html");
    EXPECT_TRUE(arbre(liens() + "/Favoris").isEmpty());
}

// All users: their folders where writable (no desktop link, the favourite in both scopes, opening its address from
// the menus), else the user's, box unticked; a group that cannot be made is reported once, the desktop link made all
// the same. The folders desktops read hold only desktop entries. No address, no favourite.
TEST_F(Installation, TousUtilisateursOuRepli)
{
    const QByteArray url = "[InternetShortcut]\r\nURL=http://exemple.org/agenda\r\n";
    const QString groupe = "c:\\.local\\share\\assistant-installation\\liens\\Programmes\\Jeux\\Agenda";
    const BoiteMessage introuvable{"Le répertoire '" + groupe + "' est introuvable.", 16, "Création d'un raccourci"};
    enum { Tous, Repli, GroupeImpossible, SansDossier };
    for (const int cas : {Tous, Repli, GroupeImpossible, SansDossier}) {
        SCOPED_TRACE(cas);
        neuf({{"RaccourciWEB", cas == Tous ? "Oui" : "OUI"}, {"URLRaccourciWEB", "http://exemple.org/agenda"},
              {"NomRaccourciWEB", "Site Agenda"},
              {"NomGroupeDéfaut", cas == GroupeImpossible ? "Jeux\\Agenda" : "Agenda"}});
        const QString autostartTous = bac.racine() + "/sys/etc/xdg/autostart";
        // Rights do not stop root: a file where the folder should be does.
        const QString donneesTous = bac.racine() + "/sys/usr/local/share/assistant-installation";
        if (cas == Tous) QDir().mkpath(QFileInfo(donneesTous).path());
        else ecrireFichier(donneesTous, "pas un dossier");
        if (cas == SansDossier) ecrireFichier(liens() + "/Programmes", "pas un dossier");
        ouvrir();
        w->AllUSERs->setChecked(true);
        w->ChDem->setChecked(true);
        installer();
        const QString dans = cas == GroupeImpossible ? groupe + "\\" : "";
        const QString raison = " : répertoire introuvable";   // a file stands where the folder should
        if (cas <= Repli) verifierFin();
        else verifierFin({dans + "Agenda.lnk" + raison, dans + "Aide de " + w->NomDef + ".lnk" + raison},
                         cas == SansDossier ? Boites{} : Boites{introuvable, introuvable});
        EXPECT_EQ(w->AllUSERs->isChecked(), cas == Tous);
        // All users' entries show icons of all users' theme, none in the user's home.
        if (cas == Tous)
            EXPECT_TRUE(QFileInfo::exists(bac.racine() + "/sys/usr/local/share/icons/hicolor/48x48/apps")
                        && !QFileInfo::exists(home() + "/.local/share/icons"));
        EXPECT_EQ(w->LabI1->isVisible(), cas <= Repli);
        const QString l = cas == Tous ? liensTous() : liens();
        if (cas <= Repli) verifierLien(l + "/Programmes/Agenda/Agenda.lnk", "agenda");
        EXPECT_FALSE(QFileInfo::exists(liens() + "/Programmes/Jeux"));
        if (cas == SansDossier) EXPECT_EQ(lireFichier(liens() + "/Programmes"), "pas un dossier");
        verifierLien(l + "/Demarrage/Agenda.lnk", "agenda");
        if (cas == Tous) EXPECT_FALSE(QFileInfo::exists(liens() + "/Bureau/Agenda.lnk"));
        else verifierLien(liens() + "/Bureau/Agenda.lnk", "agenda");
        EXPECT_EQ(lireFichier(liens() + "/Favoris/Site Agenda.url"), cas <= Repli ? url : QByteArray());  // not after
        if (cas == Tous) EXPECT_EQ(lireFichier(liensTous() + "/Favoris/Site Agenda.url"), url);            // a failure
        // The folders desktops read hold the entries and nothing else; the favourite's opens its address.
        QStringList entrees;
        const QString autostart = home() + "/.config/autostart";
        for (const QString& d : {bureau(), applications(), autostart, applicationsTous(), autostartTous})
            for (const auto& [f, octets] : arbre(d).asKeyValueRange())
                if (octets != "/") entrees << QDir(bac.racine()).relativeFilePath(d + f);
        const QString u = "home/.local/share/applications/", t = "sys/usr/local/share/applications/";
        const QStringList seuls{"home/Desktop/Agenda.desktop", "home/.config/autostart/Agenda.desktop"};
        const QStringList attendues[] = {
            {t + "Agenda/Agenda.desktop", t + "Agenda/Aide de Agenda.desktop", t + "Site Agenda.desktop",
             u + "Site Agenda.desktop", "sys/etc/xdg/autostart/Agenda.desktop"},
            seuls + QStringList{u + "Agenda/Agenda.desktop", u + "Agenda/Aide de Agenda.desktop", u + "Site Agenda.desktop"},
            seuls, seuls};
        EXPECT_EQ(QSet<QString>(entrees.begin(), entrees.end()),
                  QSet<QString>(attendues[cas].begin(), attendues[cas].end()));
        const QByteArray favori = "\nType=Application\nName=Site Agenda\nExec=xdg-open \"http://exemple.org/agenda\"\n";
        if (cas <= Repli) EXPECT_TRUE(lireFichier(bac.racine() + "/" + u + "Site Agenda.desktop").contains(favori));

        for (const QString& d : {liens(), liensTous()}) QFile::remove(d + "/Favoris/Site Agenda.url");
        w->URLInet.clear();
        w->CreerRaccourciWeb();
        for (const QString& d : {liens(), liensTous()}) EXPECT_FALSE(QFileInfo::exists(d + "/Favoris/Site Agenda.url"));
    }
}

// Runs again and again, a click during one refused: a copy newer than the medium's is kept, an older one replaced;
// a killed run's hidden copies go at the next install, nothing else does, nor a locked one.
TEST_F(Installation, ExecutionsSuccessives)
{
    // Only the program and help file: the other files are always copied.
    preparerSupport(bac.support(), {{"F1", ""}, {"F2", ""}, {"F3", ""}, {"F4", ""}});
    const QString marque = ".~assistant~", enCours = ".agenda" + marque + "EnCour";
    // The user's own files, however close their names come.
    const QStringList gardes{".agenda.a1B2c3", ".agenda.config", ".notes.txt" + marque + "a1B2c3",
                             ".agenda" + marque + "court"};
    for (const QString& n : gardes + QStringList{".agenda" + marque + "a1B2c3", ".AGENDA.HTML" + marque + "zzzzzz"})
        ecrireFichier(installe(n), "reste");
    ecrireFichier(home() + "/.local/lib32/.Outils.dll" + marque + "Q1q2Q3", "reste");
    ecrireFichier(liens() + "/Bureau/.Agenda.lnk" + marque + "AbCdEf", "reste");  // a shortcut's write killed
    ecrireFichier(installe(enCours), "en cours");
    const int verrou = ::open(QFile::encodeName(installe(enCours)).constData(), O_RDONLY);
    ASSERT_EQ(::flock(verrou, LOCK_EX), 0);
    ouvrir();
    int clics = 0;
    p->crochet = [&] {
        if (clics++ >= 3) return;
        const std::pair avant{w->PbMax, w->Etape};
        w->Reper->setText("Autre");  // a second run would ask about it
        w->Command1->click();
        w->Reper->setText(w->RepDef);
        EXPECT_TRUE(w->installationEnCours && std::pair(w->PbMax, w->Etape) == avant);
    };
    installer();
    ::close(verrou);
    p->crochet = nullptr;
    EXPECT_GE(clics, 3);
    verifierFin();
    QStringList caches = gardes + QStringList{enCours};
    caches.sort();
    EXPECT_EQ(cachesDe(installe()), caches);
    EXPECT_TRUE(cachesDe(home() + "/.local/lib32").isEmpty() && cachesDe(liens() + "/Bureau").isEmpty());

    // The help file, changed since, is newer than the medium's; the program is made older.
    const QString prog = installe("agenda"), aide = installe("Agenda.html");
    for (const QString& f : {prog, aide}) ecrireFichier(f, "local");
    const timespec jadis[2] = {{0, 0}, {0, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(prog).constData(), jadis, 0), 0);
    installer();
    verifierFin();
    EXPECT_EQ(lireFichier(prog), lireFichier(bac.support() + "/agenda"));
    EXPECT_EQ(lireFichier(aide), "local");
    EXPECT_EQ(w->Lfic->toolTip(), "d:\\agenda  ---> c:\\Programmes\\Agenda\\agenda");  // the program's, two blanks
    caches.removeAll(enCours);  // no longer locked, the copy that was being written is debris too
    EXPECT_EQ(cachesDe(installe()), caches);
}

// A drive of the table whose root is gone, or the medium lazily unmounted mid-copy (its mount point left as a
// bare folder, never read as the medium): the drive does not answer, one message, and the command ends there.
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
    ouvrir(&c);
    const Boites indisponible{{"Lecteur indisponible", 16, "Sélectionnez un lecteur"}};
    w->Drive1->setDrive("e:");
    QDir(parti).removeRecursively();
    installer();
    EXPECT_EQ(p->boites, indisponible);
    EXPECT_FALSE(w->installationEnCours || w->BSuiv->text() == "Terminer >");
    EXPECT_FALSE(QFileInfo::exists(parti));

    // The medium pulled out during the system files, then during the program: the command ends there.
    w->Drive1->setDrive("c:");
    for (const int quand : {2, 3}) {
        SCOPED_TRACE(quand);
        if (quand == 3) {
            ASSERT_TRUE(monterTmpfs(cle, 4 << 20));
            preparerSupport(cle);
        }
        // The system files went in before e: was found gone: again from the start.
        for (const char* lib : {"/.local/lib", "/.local/lib32"}) QDir(home() + lib).removeRecursively();
        p->boites.clear();
        int fichiers = 0;
        p->crochet = [&] {
            if (++fichiers == quand) ASSERT_EQ(::umount2(QFile::encodeName(cle).constData(), MNT_DETACH), 0);
        };
        installer();
        EXPECT_EQ(p->boites, indisponible);
        EXPECT_NE(w->BSuiv->text(), "Terminer >");
        EXPECT_THROW(p->VersHote("f:\\Install.inf"), Erreur);
        // At the system file no install directory is made; in the program's files, none after the pull is tried.
        EXPECT_EQ(QFileInfo::exists(installe()), quand == 3);
        EXPECT_FALSE(QFileInfo::exists(installe("Agenda.html")));
    }
}

// A full disk (warned of first) or a file-size limit: the file that did not fit is named with its reason, with no
// partial or hidden copy, and no link points at a program that did not. A read-only home: all named, nothing made.
TEST_F(Installation, DisquePleinLimiteOuLectureSeule)
{
    // A disk and a size limit that the sample's files fit, and Gros.dat not.
    qint64 echantillon = 0, plusGrand = 0;
    for (const QFileInfo& f : QDir(SUPPORT_EXEMPLE).entryInfoList(QDir::Files)) {
        echantillon += f.size();
        plusGrand = qMax(plusGrand, f.size());
    }
    const qint64 disque = 2 * echantillon + (1 << 20);
    const QString requis = QString::number(disque / (1 << 20) + 2);
    rlimit avant {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &avant), 0);
    rlimit limitee = avant;
    limitee.rlim_cur = rlim_t(plusGrand) + (64 << 10);
    for (const bool limite : {false, true}) {
        SCOPED_TRACE(limite);
        // On the small disk the description says less than the files take: they are what is counted.
        neuf({{limite ? "F5" : "Programme", "Gros.dat"}, {"EspaceRequis", limite ? requis + "Mo" : "1Mo"}});
        ecrireFichier(bac.support() + "/Gros.dat", QByteArray(disque + (1 << 20), 'g'));
        if (!limite) ASSERT_TRUE(monterTmpfs(home(), disque));
        if (limite) ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limitee), 0);
        ouvrir();
        p->reponses = {vbYes};
        installer();
        ::setrlimit(RLIMIT_FSIZE, &avant);
        if (!limite) {
            // The warning counts what the files take, more than the description says.
            QString figure = p->boites.front().texte.section(" ne contient pas les ", 1).section(" Mo ", 0, 0);
            EXPECT_GT(figure.replace(',', '.').toDouble(), disque / double(1 << 20)) << figure.toStdString();
            p->boites.erase(p->boites.begin());
        }
        verifierFin({"c:\\Programmes\\Agenda\\Gros.dat : " +
                     QString(limite ? "fichier trop volumineux" : "disque plein")});
        EXPECT_FALSE(QFileInfo::exists(installe("Gros.dat")));
        EXPECT_EQ(cachesDe(installe()), QStringList());
        EXPECT_EQ(lireFichier(installe("Modeles.dat")), lireFichier(bac.support() + "/Modeles.dat"));
        for (const QString& f : {liens() + "/Programmes/Agenda/Agenda.lnk", applications() + "/Agenda/Agenda.desktop"})
            EXPECT_EQ(QFileInfo::exists(f), limite) << f.toStdString();
    }

    neuf();
    ASSERT_TRUE(monterTmpfs(home(), 1 << 20, true));
    ouvrir();
    installer();
    p->boites.erase(p->boites.begin());  // the free-space warning, answered yes
    const QString refuse = " : lecture seule", absent = " : répertoire introuvable";
    verifierFin({"c:\\.local\\lib\\Outils.dll" + refuse, "c:\\Programmes\\Agenda" + refuse,
                 "c:\\Programmes\\Agenda\\agenda" + absent, "c:\\Programmes\\Agenda\\Agenda.html" + absent,
                 "c:\\Programmes\\Agenda\\Modeles.dat" + absent, "c:\\Programmes\\Agenda\\agenda.png" + absent});
    EXPECT_TRUE(arbre(home()).isEmpty());

    // No inode left where the shortcuts, entries and the record go: each says so, none blames a missing folder.
    neuf();
    ASSERT_TRUE(monterTmpfs(home() + "/.local/share", 1 << 20, false, 1));
    ouvrir();
    installer();
    verifierFin({"Agenda.lnk : disque plein", "Aide de Agenda.lnk : disque plein",
                 "enregistrement de l'installation : disque plein"});
}

// The disk fills up while the shortcuts are made, a few pages short or more: nothing is left empty or half-written
// under its real name, no hidden copy stays, and once there is room the next install makes all.
TEST_F(Installation, DisquePleinPendantLesRaccourcis)
{
    for (const unsigned long pages : {0, 1, 2, 3, 5}) {
        SCOPED_TRACE(pages);
        neuf();
        ASSERT_TRUE(monterTmpfs(home(), 8 << 20));
        ouvrir();
        const QString remplissage = home() + "/remplissage";
        p->crochet = [&] {
            if (w->Lfic->text() != "Création des icônes." || QFileInfo::exists(remplissage)) return;
            struct statvfs v {};
            ASSERT_EQ(::statvfs(QFile::encodeName(home()).constData(), &v), 0);
            ecrireFichier(remplissage, QByteArray(qsizetype((v.f_bavail - pages) * v.f_bsize), 'r'));
        };
        installer();
        const bool termine = w->Lfic->text() == "Installation terminée";
        if (pages == 0) EXPECT_FALSE(termine);
        if (!termine) EXPECT_EQ(p->boites.back().titre, Assistant);
        for (const auto& [f, octets] : arbre(home()).asKeyValueRange()) {
            EXPECT_TRUE(!octets.isEmpty() && !f.contains("~assistant~")) << f.toStdString();
            if (f.endsWith(".desktop")) EXPECT_TRUE(octets.contains("X-Assistant-Raccourci=")) << f.toStdString();
        }

        QFile::remove(remplissage);
        p->crochet = {};
        p->boites.clear();
        installer();
        verifierFin();
        for (const auto& [entree, lien] : {std::pair{applications() + "/Agenda/Agenda.desktop", "Programmes/Agenda/"},
                                           {bureau() + "/Agenda.desktop", "Bureau/"}})
            EXPECT_TRUE(lireFichier(entree).contains(QByteArray("X-Assistant-Raccourci=") + lien + "Agenda.lnk"))
                << entree.toStdString();
    }
}

// Versions compared as versions, and what an install over an earlier one says it does.
TEST(Versions, CompareesEtDites)
{
    for (const auto& [a, b, signe] : {std::tuple{"2.10", "2.9", 1}, {"2.0", "2.0.0", 0}, {"2.0.1", "2.0", 1},
                                      {"2.0", "2.0beta", 1}, {"1.0-rc2", "1.0-rc10", -1}, {"V3", "v3", 0},
                                      {"99999999999999999999", "99999999999999999998", 1}, {"1.a", "1.1", -1}}) {
        EXPECT_EQ(Install::ComparerVersions(a, b), signe) << a << " " << b;
        EXPECT_EQ(Install::ComparerVersions(b, a), -signe) << b << " " << a;
    }
    for (const auto& [avant, apres, texte] :
         {std::tuple{"1.0", "2.0", "Mise à jour de Météo 1.0 vers 2.0"}, {"2.0", "1.0", "Retour de Météo 2.0 à 1.0"},
          {"2.0", "2.0.0", "Réinstallation de Météo 2.0.0"}, {"", "2.0", "Mise à jour de Météo vers 2.0"},
          {"1.0", "", "Réinstallation de Météo"}, {"", "", "Réinstallation de Météo"}})
        EXPECT_EQ(Install::TexteMiseAJour(QString::fromUtf8("Météo"), avant, apres), QString::fromUtf8(texte));
}

}  // namespace
