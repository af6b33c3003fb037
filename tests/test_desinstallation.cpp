// The uninstall page's commands on a temporary home, through the real window.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <set>

using namespace plateforme;
using Chemins = std::set<QString>;
using Arbre = QMap<QString, QByteArray>;

namespace {

// Everything under a folder by relative path, links not followed (a pipe is never opened): a link as "-> "
// and its target, else its rights, then "/" or a file's bytes.
Arbre instantane(const QString& racine)
{
    Arbre r;
    QDirIterator it(racine, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f(it.next());
        QByteArray& v = r[QDir(racine).relativeFilePath(f.filePath())];
        v = f.isSymLink() ? "-> " + f.symLinkTarget().toUtf8() : QByteArray::number(int(f.permissions()), 16);
        if (!f.isSymLink()) v += f.isDir() ? "/" : f.isFile() ? " " + lireFichier(f.filePath()) : "";
    }
    return r;
}

class Desinstallation : public ::testing::Test {
protected:
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;
    Arbre avant;

    QString rep() const { return bac.home() + "/Programmes/Agenda"; }
    QString rel(const QString& hote) const { return QDir(bac.racine()).relativeFilePath(hote); }
    // Host folder of a special folder; a missing one throws.
    QString dossier(int csidl) const { return p->VersHote(p->DossierSpecial(csidl)); }

    // Opens the window on the sample medium with these names and a web shortcut.
    void ouvrir(const QString& repDef = "Programmes\\Agenda", const QString& nomDef = "Agenda",
                const QString& nomProg = "Agenda", const QString& nomInet = "Site Agenda")
    {
        preparerSupport(bac.support(), {{"RépertoireInstallDéfaut", repDef}, {"NomGroupeDéfaut", nomDef},
                                        {"NomProgramme", nomProg}, {"RaccourciWEB", "oui"},
                                        {"URLRaccourciWEB", "http://agenda.example/"}, {"NomRaccourciWEB", nomInet}});
        w.reset();
        p = std::make_unique<PlateformeTest>(bac.racine());
        // The folders desktops read exist on a machine; the shortcut files' are made now, for the snapshots to
        // hold them.
        for (const char* d : {"/sys/usr/local/share/applications", "/sys/etc/xdg/autostart", "/home/Desktop",
                              "/home/.local/share/applications", "/home/.config/autostart"})
            QDir().mkpath(bac.racine() + d);
        for (int csidl : {0, 2, 6, 7, 8, 16, 23, 24, 31}) p->DossierSpecial(csidl);
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }

    // Clicks, after a snapshot, with these answers to the boxes.
    void cliquer(QAbstractButton* bouton, std::deque<int> reponses = {})
    {
        p->boites.clear();
        avant = instantane(bac.racine());
        p->reponses = std::move(reponses);
        bouton->click();
    }
    // Reaches the uninstall page as the user does, then clicks the button.
    void desinstaller(std::deque<int> reponses)
    {
        w->OptionDépart[2]->click();
        w->BSuiv->click();
        cliquer(w->Uninst, std::move(reponses));
    }
    // The paths of `avant` gone since, "+path" for one added, "~path" for one changed.
    Chemins partis() const
    {
        Chemins r;
        const Arbre apres = instantane(bac.racine());
        for (const QString& c : avant.keys() + apres.keys())
            if (avant.value(c) != apres.value(c)) r.insert(apres.contains(c) ? (avant.contains(c) ? "~" : "+") + c : c);
        return r;
    }

    // Writes every shortcut an installation can leave, in either form, and the settings: what must go.
    Chemins raccourcisInstalles()
    {
        Chemins r{rel(dossier(2) + "/Agenda"), rel(dossier(23) + "/Agenda")};
        for (const QString& f : {dossier(2) + "/Agenda/Agenda.lnk", dossier(2) + "/Agenda/Aide de Agenda.lnk",
                                 dossier(16) + "/Agenda.lnk", dossier(0) + "/Agenda.url", dossier(7) + "/Agenda.lnk",
                                 dossier(6) + "/Site Agenda.url", dossier(23) + "/Agenda/Agenda.url",
                                 dossier(23) + "/Agenda/Aide de Agenda.url", dossier(24) + "/Agenda.url",
                                 dossier(31) + "/Site Agenda.url", p->configuration().xdgConfigHome + "/Agenda.ini"}) {
            ecrireFichier(f, "[General]\nvu=1\n");
            r.insert(rel(f));
        }
        return r;
    }
};

// The two questions before any deletion and the one asked for each file.
BoiteMessage question1(const QString& nomProg = "Agenda")
{
    return {QString::fromUtf8("Voulez vous supprimer TOUS les fichiers de '' c:\\Programmes\\Agenda '' ????"), 292,
            QString::fromUtf8("Désinstallation de ") + nomProg};
}
BoiteMessage question2(int n, const QString& nomProg = "Agenda")
{
    return {QString::fromUtf8("Voudrez vous confirmer la suppression des fichiers un par un (recommandé).\r\n"
                              "           Il y a %1 fichiers ?\r\n\r\n- Si vous cliquez sur Non tous les "
                              "fichiers partiront d'un coup...").arg(n),
            36, QString::fromUtf8("Désinstallation de ") + nomProg};
}
BoiteMessage supprimer(const QString& nom) { return {"Supprimer " + nom + " ?", 67, "Alors ?"}; }

// No to the first question: only shortcuts, their groups and the settings go, never a user's file beside them
// nor another program's settings. No to the second: the files directly inside go at once, a link as a link;
// hidden files, folders, a pipe and a read-only file stay, silently. Then, with no program name (a bare title),
// one by one: Yes, No, Cancel, then nothing more; once the directory has gone, Cancel says so and turns the button off.
TEST_F(Desinstallation, NonAuxQuestionsPuisUnParUn)
{
    ouvrir();
    for (const char* nom : {"Agenda.exe", "Agenda.html", "Modeles.dat", "Lecture.seule", ".reglages", "Donnees/base"})
        ecrireFichier(rep() + "/" + nom, nom);
    QFile(rep() + "/Lecture.seule").setPermissions(QFile::ReadOwner);
    const QString dehors = bac.home() + "/Documents";
    for (const char* nom : {"/lettre.txt", "/.secret"}) ecrireFichier(dehors + nom, "a moi");
    ASSERT_EQ(::mkfifo(QFile::encodeName(rep() + "/tube").constData(), 0644), 0);
    for (const auto& [cible, lien] : {std::pair{dehors + "/lettre.txt", "lien.txt"}, {dehors, "Documents"},
                                      {dehors + "/.secret", ".lien"}, {"absent", "mort"}})
        ASSERT_TRUE(QFile::link(cible, rep() + "/" + lien));
    Chemins raccourcis = raccourcisInstalles();
    raccourcis.erase(rel(dossier(2) + "/Agenda"));  // it keeps the user's notes
    for (const QString& f : {dossier(2) + "/Agenda/Mes notes.txt", dossier(16) + "/Notes.txt",
                             p->configuration().xdgConfigHome + "/Autre.ini"})
        ecrireFichier(f, "a moi");
    desinstaller({vbNo});
    EXPECT_EQ(p->boites, Boites({question1()}));
    EXPECT_EQ(partis(), raccourcis);

    cliquer(w->Uninst, {vbYes, vbNo});
    EXPECT_EQ(p->boites, Boites({question1(), question2(5)}));
    EXPECT_EQ(partis(), Chemins({"home/Programmes/Agenda/Agenda.exe", "home/Programmes/Agenda/Agenda.html",
                                 "home/Programmes/Agenda/Modeles.dat", "home/Programmes/Agenda/lien.txt"}));
    EXPECT_EQ(w->File2->List(0), "Lecture.seule");

    ouvrir("Programmes\\Agenda", "Agenda", "", "");
    for (const char* nom : {"a.txt", "b.txt", "c.txt", "d.txt"}) ecrireFichier(rep() + "/" + nom, nom);
    desinstaller({vbYes, vbYes, vbYes, vbNo, vbCancel});
    EXPECT_EQ(p->boites, Boites({question1(""), question2(5, ""), supprimer("a.txt"), supprimer("b.txt"),
                                 supprimer("c.txt")}));
    EXPECT_EQ(partis(), Chemins({"home/Programmes/Agenda/a.txt"}));
    EXPECT_TRUE(w->Uninst->isEnabled());
    QDir(rep()).removeRecursively();
    cliquer(w->Uninst, {vbYes, vbYes, vbCancel});
    ASSERT_EQ(p->boites.size(), 4u);
    EXPECT_EQ(p->boites[3].texte, QString::fromUtf8("Le répertoire: c:\\Programmes\\Agenda n'existe plus, "
                                                    "la désinstallation n'est pas possible"));
    EXPECT_FALSE(w->Uninst->isEnabled());
}

// Names that designate nothing else. With no directory below the drive, the listing is the user's whole home:
// its files are never offered, which one box says, though the shortcuts and settings still go. An empty group name puts the
// shortcuts in the Programs folder itself, which stays; an empty web shortcut name never names a hidden ".url";
// a group name climbing out of Programs reaches nothing.
TEST_F(Desinstallation, NomsQuiNeDesignentRienDAutre)
{
    ouvrir("", "Agenda", "Agenda", "Site Agenda");
    ecrireFichier(bac.home() + "/lettre.txt", "ma lettre");
    const Chemins raccourcis = raccourcisInstalles();
    desinstaller({vbYes, vbNo});
    ASSERT_EQ(w->File2->List(0), "lettre.txt");
    EXPECT_EQ(p->boites, Boites({{"Aucun fichier ne sera supprimé de c:\\ : ce répertoire est le dossier personnel de "
                                  "l'utilisateur.", vbCritical, "Désinstallation de Agenda"}}));
    EXPECT_EQ(partis(), raccourcis);

    ouvrir("Programmes\\Agenda", "", "Agenda", "");
    Chemins attendus;
    for (int csidl : {2, 23})
        for (const char* nom : {"/Agenda.lnk", "/Aide de .url"}) {
            ecrireFichier(dossier(csidl) + nom, "L");
            attendus.insert(rel(dossier(csidl) + nom));
        }
    for (int csidl : {6, 31}) ecrireFichier(dossier(csidl) + "/.url", "cache");
    cliquer(w->Command6);
    EXPECT_EQ(partis(), attendus);

    ouvrir("Programmes\\Agenda", "..", "Agenda", "Site Agenda");
    const QString parent = QFileInfo(dossier(2)).path();
    ecrireFichier(parent + "/Agenda.lnk", "L");
    QDir().mkpath(parent + "/vide");
    cliquer(w->Command6);
    EXPECT_TRUE(partis().empty());
}

// The install directory replaced by a link to the home, its parent, the file system's root or a folder of the user's:
// the install refuses it before writing anything, the uninstall deletes no file there, each saying why in one box,
// and nothing outside changes but the shortcuts and settings. A link to another folder of the drive (Programmes
// moved to a larger disk) works for both.
TEST_F(Desinstallation, RepertoireLie)
{
    for (const char* nom : {"/Agenda.html", "/Modeles.dat", "/agenda", "/Documents/lettre.txt"})
        ecrireFichier(bac.home() + nom, "a moi");
    const QString ailleurs = bac.home() + "/Disque2/Agenda";
    QDir().mkpath(ailleurs);
    const QString refus = "Le programme ne peut pas être installé dans c:\\Programmes\\Agenda : ce répertoire est ";
    const QString aucun = "Aucun fichier ne sera supprimé de c:\\Programmes\\Agenda : ce répertoire est ";
    for (const auto& [cible, quoi] :
         {std::pair{bac.home(), QString("le dossier personnel de l'utilisateur (c:\\)")},
          {bac.racine(), "un dossier qui contient le dossier personnel de l'utilisateur"},
          {QString("/"), "la racine du système de fichiers"},
          {bac.home() + "/Documents", "le dossier « Documents » de l'utilisateur (c:\\Documents)"},
          {ailleurs, ""}}) {
        SCOPED_TRACE(cible.toStdString());
        ouvrir();
        p->pasHorloge = 1e-5;
        QDir().mkpath(bac.home() + "/Programmes");
        QFile::remove(rep());
        ASSERT_TRUE(QFile::link(cible, rep()));
        w->OptionDépart[1]->click();
        w->BSuiv->click();
        cliquer(w->Command1);
        if (!quoi.isEmpty()) {
            EXPECT_EQ(p->boites, Boites({{refus + quoi + ". Indiquez un autre répertoire d'installation.", vbCritical,
                                          "Assistant Installation"}}));
            EXPECT_TRUE(partis().empty());
        } else {
            EXPECT_EQ(w->Lfic->text(), "Installation terminée");
            EXPECT_EQ(lireFichier(ailleurs + "/Modeles.dat"), lireFichier(bac.support() + "/Modeles.dat"));
        }
        w->BPréc->click();
        Chemins raccourcis = raccourcisInstalles();
        desinstaller({vbYes, vbNo});
        if (!quoi.isEmpty()) {
            EXPECT_EQ(p->boites, Boites({{aucun + quoi + ".", vbCritical, "Désinstallation de Agenda"}}));
            EXPECT_EQ(partis(), raccourcis);
        } else {
            EXPECT_EQ(p->boites, Boites({question1(), question2(4)}));
            EXPECT_TRUE(QDir(ailleurs).isEmpty());
        }
    }
    for (const char* nom : {"/Agenda.html", "/Modeles.dat", "/agenda", "/Documents/lettre.txt"})
        EXPECT_EQ(lireFichier(bac.home() + nom), "a moi") << nom;
}

// The sample medium installed with every option, then uninstalled in a later run of the copy the install kept: only
// the system files and the emptied directory remain. A killed run's hidden copy of one of its files goes too, a
// user's hidden file of a close name stays.
TEST_F(Desinstallation, SupportExempleInstallePuisDesinstalle)
{
    ouvrir();
    p->pasHorloge = 1e-5;
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    w->ChDem->setChecked(true);
    cliquer(w->Command1);
    const Arbre propre = avant;

    // A later run, from the copy the install kept: it uninstalls, it cannot install.
    const QString gardes = bac.home() + "/.local/share/assistant-installation/installations";
    const QStringList copies = QDir(gardes).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(copies.size(), 1);
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    c.dossierPropre = gardes + "/" + copies[0];
    w.reset();
    p = std::make_unique<PlateformeTest>(c);
    w = std::make_unique<Install>(*p);
    w->Form_Load();
    EXPECT_FALSE(w->OptionDépart[1]->isEnabled());
    for (const char* nom : {"/.Agenda.html.~assistant~XyZ123", "/.Agenda.html.a1B2c3"}) ecrireFichier(rep() + nom, nom);
    desinstaller({vbYes, vbNo});
    EXPECT_EQ(p->boites, Boites({question1(), question2(4)}));
    avant = propre;
    EXPECT_EQ(partis(), Chemins({"+home/Programmes", "+home/Programmes/Agenda", "+home/.local/lib",
                               "+home/.local/lib/Outils.dll", "+home/.local/lib32", "+home/.local/lib32/Outils.dll",
                               "+home/Programmes/Agenda/.Agenda.html.a1B2c3"}));
}

}  // namespace
