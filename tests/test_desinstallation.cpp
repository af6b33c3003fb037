// The uninstall page's commands on a temporary home, through the real
// window: shortcut removal, settings erase and the deletion of the install
// directory's files with each answer.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace fs = std::filesystem;
using namespace plateforme;
using Chemins = std::set<std::string>;


namespace {

// The test platform with a hook run while a message box is open, so that a
// test can change the file system under a question.
class PlateformeEssai : public PlateformeTest {
public:
    using PlateformeTest::PlateformeTest;
    std::function<void(const QString&)> pendantBoite;
    int MsgBox(const QString& texte, int style, const QString& titre) override
    {
        if (pendantBoite) pendantBoite(texte);
        return PlateformeTest::MsgBox(texte, style, titre);
    }
};

QStringList inf(const QString& repDef, const QString& nomDef, const QString& nomProg, const QString& nomInet)
{
    return {QString::fromUtf8("[Général]"), QString::fromUtf8("DisqueInstallDéfaut=C"),
            QString::fromUtf8("RépertoireInstallDéfaut=") + repDef, QString::fromUtf8("NomGroupeDéfaut=") + nomDef,
            "Programme=Agenda.exe", "NomProgramme=" + nomProg, "NomAide=Agenda.html", "EspaceRequis=1Mo",
            "RaccourciWEB=oui", "URLRaccourciWEB=http://agenda.example/", "NomRaccourciWEB=" + nomInet,
            "Info1=Merci.", "Info2=Fin.", "[Fichiers]", "F1=Agenda.exe", "F2=Agenda.html", "F3=Modeles.dat",
            "[FichiersSystem]"};
}

// Everything under a folder, links not followed: kind, bytes (or the link's
// target) and permission bits, by path relative to the folder.
struct Entree {
    char genre;
    std::string contenu;
    fs::perms droits;
    bool operator==(const Entree&) const = default;
};
using Instantane = std::map<std::string, Entree>;

Instantane instantane(const QString& racine)
{
    Instantane m;
    const fs::path base = racine.toStdString();
    for (auto it = fs::recursive_directory_iterator(base); it != fs::recursive_directory_iterator(); ++it) {
        const fs::file_status s = it->symlink_status();
        Entree e{fs::is_directory(s) ? 'd' : fs::is_fifo(s) ? 'p' : '?', {}, s.permissions()};
        if (fs::is_symlink(s))
            e = {'l', fs::read_symlink(it->path()).string(), s.permissions()};
        else if (fs::is_regular_file(s))
            e = {'f', lireFichier(QString::fromStdString(it->path().string())).toStdString(), s.permissions()};
        m[it->path().lexically_relative(base).string()] = e;
    }
    return m;
}

// Paths of `avant` missing from `apres`; fails the test when anything was
// added or changed, except what `ignorer` accepts.
Chemins disparus(const Instantane& avant, const Instantane& apres,
                 const std::function<bool(const std::string&)>& ignorer = {})
{
    Chemins partis;
    for (const auto& [chemin, e] : avant) {
        auto it = apres.find(chemin);
        if (it == apres.end())
            partis.insert(chemin);
        else
            EXPECT_TRUE(it->second == e) << "changed: " << chemin;
    }
    for (const auto& [chemin, e] : apres)
        EXPECT_TRUE(avant.count(chemin) || (ignorer && ignorer(chemin))) << "added: " << chemin;
    return partis;
}

class Desinstallation : public ::testing::Test {
protected:
    Bac bac;
    std::unique_ptr<PlateformeEssai> p;
    std::unique_ptr<Install> w;
    Instantane avant;

    QString rep() const { return bac.home() + "/Programmes/Agenda"; }
    std::string rel(const QString& hote) const { return QDir(bac.racine()).relativeFilePath(hote).toStdString(); }
    Chemins dansRep(const QStringList& noms) const
    {
        Chemins c;
        for (const QString& n : noms) c.insert(rel(rep() + "/" + n));
        return c;
    }

    void ouvrir(const QStringList& lignes = inf("Programmes\\Agenda", "Agenda", "Agenda", "Site Agenda"))
    {
        ecrireInf(bac.support() + "/Install.inf", lignes);
        w.reset();
        p = std::make_unique<PlateformeEssai>(bac.racine());
        // The all-users folders exist on a machine; the lookup never makes them.
        const Configuration& c = p->configuration();
        for (const QString& d : {c.xdgDataDir + "/applications", c.xdgDataDir + "/favorites",
                                 c.xdgConfigDir + "/autostart"})
            QDir().mkpath(d);
        // Per-user folders are made by the lookup: make them now, so that a
        // snapshot taken before the uninstall already holds them.
        for (int csidl : {0, 2, 6, 7, 8, 16}) p->DossierSpecial(csidl);
        w = std::make_unique<Install>(*p);
        w->Form_Load();
    }

    // Reaches the uninstall page as the user does, takes a snapshot and
    // clicks the button with these answers.
    void desinstaller(std::deque<int> reponses)
    {
        w->OptionDépart[2]->click();
        w->BSuiv->click();
        cliquer(w->Uninst, std::move(reponses));
    }
    void cliquer(QAbstractButton* bouton, std::deque<int> reponses = {})
    {
        p->boites.clear();
        avant = instantane(bac.racine());
        p->reponses = std::move(reponses);
        bouton->click();
    }
    Chemins partis() { return disparus(avant, instantane(bac.racine())); }

    // Host folder of a special folder; every one but the all-users desktop has one here.
    QString dossier(int csidl)
    {
        const QString d = p->DossierSpecial(csidl);
        EXPECT_FALSE(d.isEmpty()) << "CSIDL " << csidl;
        return d.isEmpty() ? bac.racine() + "/nulle-part" : p->VersHote(d);
    }

    void fichiersInstalles()
    {
        ecrireFichier(rep() + "/Agenda.exe", "MZ\x90\0programme");
        ecrireFichier(rep() + "/Agenda.html", "<html>aide</html>");
        ecrireFichier(rep() + "/Modeles.dat", "modeles");
    }

    // Every shortcut an installation can leave, in either form, plus the
    // settings; returns the paths that the removal must take away.
    Chemins raccourcisInstalles()
    {
        const QByteArray lnk("L\0\0\0\x01\x14\x02\0", 8);
        const QByteArray url("[InternetShortcut]\r\nURL=http://agenda.example/\r\n");
        Chemins r{rel(dossier(2) + "/Agenda"), rel(dossier(23) + "/Agenda")};
        for (const auto& [csidl, nom] : std::initializer_list<std::pair<int, QString>>{
                 {2, "Agenda/Agenda.lnk"}, {2, "Agenda/Aide de Agenda.lnk"}, {16, "Agenda.lnk"}, {0, "Agenda.url"},
                 {7, "Agenda.lnk"}, {6, "Site Agenda.url"}, {23, "Agenda/Agenda.url"},
                 {23, "Agenda/Aide de Agenda.url"}, {24, "Agenda.url"}, {31, "Site Agenda.url"}}) {
            const QString chemin = dossier(csidl) + "/" + nom;
            ecrireFichier(chemin, nom.endsWith(".lnk") ? lnk : url);
            r.insert(rel(chemin));
        }
        const QString reglages = p->configuration().xdgConfigHome + "/Agenda.ini";
        ecrireFichier(reglages, "[General]\nvu=1\n");
        r.insert(rel(reglages));
        return r;
    }

    // The listing's names; their order is the platform's, so compared sorted.
    QStringList liste() const
    {
        QStringList l;
        for (int i = 0; i < w->File2->ListCount(); ++i) l << w->File2->List(i);
        l.sort();
        return l;
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
                              "           Il y a ") +
                QString::number(n) +
                QString::fromUtf8(" fichiers ?\r\n\r\n- Si vous cliquez sur Non tous les fichiers partiront "
                                  "d'un coup..."),
            36, QString::fromUtf8("Désinstallation de ") + nomProg};
}
BoiteMessage supprimer(const QString& nom) { return {"Supprimer " + nom + " ?", 67, "Alors ?"}; }

// No to the first question: only the shortcuts and settings go, never a
// user's file beside them or another program's settings. With the files
// gone, the same happens without a question.
TEST_F(Desinstallation, NonALaPremiereQuestionPuisRepertoireVide)
{
    ouvrir();
    fichiersInstalles();
    Chemins raccourcis = raccourcisInstalles();
    ecrireFichier(dossier(16) + "/Notes.txt", "a moi");
    ecrireFichier(p->configuration().xdgConfigHome + "/Autre.ini", "[General]\nx=1\n");
    desinstaller({vbNo});
    EXPECT_EQ(p->boites, Boites({question1()}));
    EXPECT_EQ(partis(), raccourcis);
    EXPECT_EQ(liste(), QStringList({"Agenda.exe", "Agenda.html", "Modeles.dat"}));

    for (const QString& f : liste()) QFile::remove(rep() + "/" + f);
    ouvrir();
    raccourcis = raccourcisInstalles();
    desinstaller({});
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(partis(), raccourcis);
    EXPECT_TRUE(QFileInfo(rep()).isDir());
}

// No to the second question: every listed file goes without more questions.
// Only files directly inside are listed: links, hidden files, subfolders and
// a pipe stay, a link to a file outside goes as a link, a read-only file
// stays listed without a message, and nothing else anywhere changes.
TEST_F(Desinstallation, NonALaSecondeQuestionSupprimeLesFichiersListesSeulement)
{
    ouvrir();
    fichiersInstalles();
    ecrireFichier(rep() + "/Lecture.seule", "garde");
    QFile(rep() + "/Lecture.seule").setPermissions(QFile::ReadOwner);
    const QString dehors = bac.home() + "/Documents";
    ecrireFichier(dehors + "/lettre.txt", "ma lettre");
    ecrireFichier(dehors + "/.secret", "cache");
    ecrireFichier(rep() + "/.reglages", "cache");
    ecrireFichier(rep() + "/Donnees/base.dat", "base");
    ASSERT_EQ(::mkfifo(QFile::encodeName(rep() + "/tube").constData(), 0644), 0);
    for (const auto& [cible, lien] : {std::pair{dehors + "/lettre.txt", QString("lien.txt")}, {dehors, "Documents"},
                                      {dehors + "/.secret", ".lien"}, {"absent", "mort"}})
        ASSERT_EQ(::symlink(QFile::encodeName(cible).constData(), QFile::encodeName(rep() + "/" + lien).constData()),
                  0);
    desinstaller({vbYes, vbNo});

    EXPECT_EQ(p->boites, Boites({question1(), question2(5)}));
    EXPECT_EQ(partis(), dansRep({"Agenda.exe", "Agenda.html", "Modeles.dat", "lien.txt"}));
    EXPECT_EQ(liste(), QStringList({"Lecture.seule"}));
    EXPECT_TRUE(w->Uninst->isEnabled());
}

// One by one: Yes, No and Cancel; a file added meanwhile was never listed,
// so it is neither counted nor offered; Cancel once the directory has gone
// says so and turns the button off.
TEST_F(Desinstallation, UnParUn)
{
    ouvrir(inf("Programmes\\Agenda", "Agenda", "", ""));
    for (const char* nom : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}) ecrireFichier(rep() + "/" + nom, nom);

    // Yes for a and b, Cancel on c: nothing more is offered.
    desinstaller({vbYes, vbYes, vbYes, vbYes, vbCancel});
    // An empty program name leaves the title bare.
    EXPECT_EQ(p->boites, Boites({question1(""), question2(5, ""), supprimer("a.txt"), supprimer("b.txt"),
                                 supprimer("c.txt")}));
    EXPECT_EQ(partis(), dansRep({"a.txt", "b.txt"}));
    EXPECT_EQ(liste(), QStringList({"c.txt", "d.txt", "e.txt"}));
    EXPECT_TRUE(w->Uninst->isEnabled());

    // No for c and e.
    ecrireFichier(rep() + "/f.txt", "f");
    cliquer(w->Uninst, {vbYes, vbYes, vbNo, vbYes, vbNo});
    EXPECT_EQ(p->boites, Boites({question1(""), question2(3, ""), supprimer("c.txt"), supprimer("d.txt"),
                                 supprimer("e.txt")}));
    EXPECT_EQ(partis(), dansRep({"d.txt"}));
    EXPECT_EQ(liste(), QStringList({"c.txt", "e.txt", "f.txt"}));

    p->pendantBoite = [&](const QString& texte) {
        if (texte.startsWith("Supprimer ")) QDir(rep()).removeRecursively();
    };
    cliquer(w->Uninst, {vbYes, vbYes, vbCancel});
    ASSERT_EQ(p->boites.size(), 4u);
    EXPECT_EQ(p->boites[3].texte, QString::fromUtf8("Le répertoire: c:\\Programmes\\Agenda n'existe plus, "
                                                    "la désinstallation n'est pas possible"));
    EXPECT_EQ(p->boites[3].style, 16);
    EXPECT_FALSE(w->Uninst->isEnabled());
}

// With no directory below the drive, the listing is the user's whole home:
// its files are never offered, though shortcuts and settings still go.
TEST_F(Desinstallation, RacineDuLecteurNeSupprimeAucunFichier)
{
    ouvrir(inf("", "Agenda", "Agenda", "Site Agenda"));
    ecrireFichier(bac.home() + "/lettre.txt", "ma lettre");
    ecrireFichier(bac.home() + "/Agenda.exe", "MZ");
    const Chemins raccourcis = raccourcisInstalles();
    desinstaller({vbYes, vbNo});
    ASSERT_EQ(w->Chemin, "c:\\");
    EXPECT_EQ(liste(), QStringList({"Agenda.exe", "lettre.txt"}));
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(partis(), raccourcis);
}

// A group holding a user's file stays, one holding only .url forms goes; an
// empty group goes even without shortcuts; then nothing is left to remove.
TEST_F(Desinstallation, GroupesRetiresSeulementVides)
{
    ouvrir();
    const QString g = dossier(2) + "/Agenda", gc = dossier(23) + "/Agenda";
    for (const QString& f : {g + "/Agenda.lnk", g + "/Aide de Agenda.lnk", g + "/Mes notes.txt",
                             gc + "/Agenda.url", gc + "/Aide de Agenda.url"})
        ecrireFichier(f, "L");
    cliquer(w->Command6);
    EXPECT_EQ(partis(), Chemins({rel(g + "/Agenda.lnk"), rel(g + "/Aide de Agenda.lnk"), rel(gc + "/Agenda.url"),
                                 rel(gc + "/Aide de Agenda.url"), rel(gc)}));
    EXPECT_TRUE(p->boites.empty());

    QFile::remove(g + "/Mes notes.txt");
    cliquer(w->Command6);
    EXPECT_EQ(partis(), Chemins({rel(g)}));
    cliquer(w->Command6);
    EXPECT_TRUE(partis().empty());
}

// An empty group name puts the shortcuts into the Programs folder itself,
// which stays even when they were all it held; an empty web shortcut name
// never names a hidden ".url" file; a group name that climbs out of the
// Programs folder reaches nothing there.
TEST_F(Desinstallation, NomsVidesOuRemontantsNeDesignentRienDAutre)
{
    ouvrir(inf("Programmes\\Agenda", "", "Agenda", ""));
    Chemins attendus;
    for (int csidl : {2, 23})
        for (const char* nom : {"/Agenda.lnk", "/Aide de .url"}) {
            ecrireFichier(dossier(csidl) + nom, "L");
            attendus.insert(rel(dossier(csidl) + nom));
        }
    ecrireFichier(dossier(6) + "/.url", "cache");
    ecrireFichier(dossier(31) + "/.url", "cache");
    cliquer(w->Command6);
    EXPECT_EQ(partis(), attendus);

    ouvrir(inf("Programmes\\Agenda", "..", "Agenda", "Site Agenda"));
    const QString parent = QFileInfo(dossier(2)).path();
    ecrireFichier(parent + "/Agenda.lnk", "L");
    QDir().mkpath(parent + "/vide");
    cliquer(w->Command6);
    EXPECT_TRUE(partis().empty());
}

TEST_F(Desinstallation, ReglagesEffacesPourCeProgrammeSeulement)
{
    ouvrir();
    // The installed program keeps its settings where Qt puts them for it.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(p->configuration().xdgConfigHome));
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Agenda").setValue("Fenetre/largeur", 640);
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Autre").setValue("x", 1);
    ASSERT_TRUE(QFileInfo::exists(p->configuration().xdgConfigHome + "/Agenda.ini"));

    cliquer(w->Command11);
    EXPECT_TRUE(QSettings(QSettings::IniFormat, QSettings::UserScope, "Agenda").allKeys().isEmpty());
    EXPECT_EQ(QSettings(QSettings::IniFormat, QSettings::UserScope, "Autre").value("x").toInt(), 1);
    // Once more: nothing to erase, nothing shown.
    cliquer(w->Command11);
    EXPECT_TRUE(p->boites.empty());
    EXPECT_TRUE(partis().empty());
}

// The sample medium installed through the window with every option, then
// uninstalled in a later run: what remains is what the installation added
// outside the shortcuts and the install directory's files.
TEST_F(Desinstallation, SupportExempleInstallePuisDesinstalle)
{
    copierSupportExemple(bac.support());
    ouvrir(inf("Programmes\\Agenda", "Agenda", "Agenda", "Site Agenda") << "Fs1=Outils.dll");
    p->pasHorloge = 1e-5;
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    w->ChDem->setChecked(true);
    cliquer(w->Command1);
    const Instantane propre = avant;
    ASSERT_EQ(w->BSuiv->text(), "Terminer >");
    ASSERT_TRUE(QFileInfo(dossier(7) + "/Agenda.lnk").isFile());
    ASSERT_TRUE(QFileInfo(rep() + "/Agenda.exe").isFile());

    ouvrir(inf("Programmes\\Agenda", "Agenda", "Agenda", "Site Agenda") << "Fs1=Outils.dll");
    desinstaller({vbYes, vbNo});
    EXPECT_EQ(p->boites, Boites({question1(), question2(3)}));
    // The system files are never uninstalled; the install directory stays,
    // empty; the desktop's icon theme folders may stay, emptied of our icon.
    const Chemins restes = {"home/Programmes", "home/Programmes/Agenda", "home/.local/lib", "home/.local/lib32",
                            "home/.local/lib/Outils.dll", "home/.local/lib32/Outils.dll"};
    const Instantane apres = instantane(bac.racine());
    EXPECT_TRUE(disparus(propre, apres, [&](const std::string& c) {
                    return restes.count(c) || (c.starts_with("home/.local/share/icons") && apres.at(c).genre == 'd');
                }).empty());
    for (const std::string& c : restes) EXPECT_TRUE(apres.count(c)) << c;
}

}  // namespace
