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

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

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

QStringList inf(const QString& repDef, const QString& nomDef, const QString& nomProg,
                const QString& nomInet)
{
    return {QString::fromUtf8("[Général]"),
            QString::fromUtf8("DisqueInstallDéfaut=C"),
            QString::fromUtf8("RépertoireInstallDéfaut=") + repDef,
            QString::fromUtf8("NomGroupeDéfaut=") + nomDef,
            "Programme=Agenda.exe",
            "NomProgramme=" + nomProg,
            "NomAide=Agenda.html",
            "EspaceRequis=1Mo",
            "RaccourciWEB=oui",
            "URLRaccourciWEB=http://agenda.example/",
            "NomRaccourciWEB=" + nomInet,
            "Info1=Merci.",
            "Info2=Fin.",
            "[Fichiers]",
            "F1=Agenda.exe",
            "F2=Agenda.html",
            "F3=Modeles.dat",
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
        Entree e{'?', {}, s.permissions()};
        if (fs::is_symlink(s)) {
            e.genre = 'l';
            e.contenu = fs::read_symlink(it->path()).string();
        } else if (fs::is_regular_file(s)) {
            e.genre = 'f';
            e.contenu = lireFichier(QString::fromStdString(it->path().string())).toStdString();
        } else if (fs::is_directory(s)) {
            e.genre = 'd';
        } else if (fs::is_fifo(s)) {
            e.genre = 'p';
        }
        m[it->path().lexically_relative(base).string()] = e;
    }
    return m;
}

// Paths of `avant` missing from `apres`; fails the test when anything was
// added or changed.
std::set<std::string> disparus(const Instantane& avant, const Instantane& apres)
{
    std::set<std::string> partis;
    for (const auto& [chemin, e] : avant) {
        auto it = apres.find(chemin);
        if (it == apres.end())
            partis.insert(chemin);
        else
            EXPECT_TRUE(it->second == e) << "changed: " << chemin;
    }
    for (const auto& [chemin, e] : apres)
        EXPECT_TRUE(avant.count(chemin)) << "added: " << chemin;
    return partis;
}

class Desinstallation : public ::testing::Test {
protected:
    Bac bac;
    std::unique_ptr<PlateformeEssai> p;
    std::unique_ptr<Install> w;

    QString rep() const { return bac.home() + "/Programmes/Agenda"; }
    std::string rel(const QString& hote) const { return QDir(bac.racine()).relativeFilePath(hote).toStdString(); }

    void ouvrir(const QStringList& lignes)
    {
        ecrireInf(bac.support() + "/Install.inf", lignes);
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
    void ouvrir() { ouvrir(inf("Programmes\\Agenda", "Agenda", "Agenda", "Site Agenda")); }

    // The uninstall page, as the user reaches it.
    void pageDesinstallation()
    {
        w->OptionDépart[2]->click();
        w->BSuiv->click();
        p->boites.clear();
    }

    // Host folder of a special folder; every one but the all-users desktop
    // has one here.
    QString dossier(int csidl)
    {
        const QString d = p->DossierSpecial(csidl);
        EXPECT_FALSE(d.isEmpty()) << "CSIDL " << csidl;
        return d.isEmpty() ? bac.racine() + "/nulle-part" : p->VersHote(d);
    }

    // The program's files, as an installation leaves them.
    void fichiersInstalles()
    {
        ecrireFichier(rep() + "/Agenda.exe", "MZ\x90\0programme");
        ecrireFichier(rep() + "/Agenda.html", "<html>aide</html>");
        ecrireFichier(rep() + "/Modeles.dat", "modeles");
    }

    // Every shortcut an installation can leave, in either form, plus the
    // settings; returns the paths that the removal must take away.
    std::set<std::string> raccourcisInstalles()
    {
        const QByteArray lnk("L\0\0\0\x01\x14\x02\0", 8);
        const QByteArray url("[InternetShortcut]\r\nURL=http://agenda.example/\r\n");
        std::set<std::string> r;
        auto poser = [&](const QString& chemin, const QByteArray& octets) {
            ecrireFichier(chemin, octets);
            r.insert(rel(chemin));
        };
        const QString g = dossier(2) + "/Agenda";
        poser(g + "/Agenda.lnk", lnk);
        poser(g + "/Aide de Agenda.lnk", lnk);
        r.insert(rel(g));
        poser(dossier(16) + "/Agenda.lnk", lnk);
        poser(dossier(0) + "/Agenda.url", url);
        poser(dossier(7) + "/Agenda.lnk", lnk);
        poser(dossier(6) + "/Site Agenda.url", url);
        const QString gc = dossier(23) + "/Agenda";
        poser(gc + "/Agenda.url", url);
        poser(gc + "/Aide de Agenda.url", url);
        r.insert(rel(gc));
        poser(dossier(24) + "/Agenda.url", url);
        poser(dossier(31) + "/Site Agenda.url", url);
        poser(p->configuration().xdgConfigHome + "/Agenda.ini", "[General]\nvu=1\n");
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

const QString titre = QString::fromUtf8("Désinstallation de Agenda");
const QString question1 =
    QString::fromUtf8("Voulez vous supprimer TOUS les fichiers de '' c:\\Programmes\\Agenda '' ????");
QString question2(int n)
{
    return QString::fromUtf8("Voudrez vous confirmer la suppression des fichiers un par un (recommandé).\r\n"
                             "           Il y a ") +
           QString::number(n) +
           QString::fromUtf8(" fichiers ?\r\n\r\n- Si vous cliquez sur Non tous les fichiers partiront "
                             "d'un coup...");
}

TEST_F(Desinstallation, NonALaPremiereQuestionRetireRaccourcisEtReglagesSeulement)
{
    ouvrir();
    fichiersInstalles();
    const std::set<std::string> raccourcis = raccourcisInstalles();
    // A file of the user's beside the shortcuts, and another program's settings.
    ecrireFichier(dossier(16) + "/Notes.txt", "a moi");
    ecrireFichier(p->configuration().xdgConfigHome + "/Autre.ini", "[General]\nx=1\n");
    pageDesinstallation();
    const Instantane avant = instantane(bac.racine());

    p->reponses = {vbNo};
    w->Uninst->click();

    ASSERT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites[0].texte, question1);
    EXPECT_EQ(p->boites[0].titre, titre);
    EXPECT_EQ(p->boites[0].style, 292);
    EXPECT_EQ(disparus(avant, instantane(bac.racine())), raccourcis);
    EXPECT_EQ(liste(), QStringList({"Agenda.exe", "Agenda.html", "Modeles.dat"}));
}

TEST_F(Desinstallation, NonALaSecondeQuestionSupprimeToutSansAutreQuestion)
{
    ouvrir();
    fichiersInstalles();
    pageDesinstallation();
    const Instantane avant = instantane(bac.racine());

    p->reponses = {vbYes, vbNo};
    w->Uninst->click();

    ASSERT_EQ(p->boites.size(), 2u);
    EXPECT_EQ(p->boites[0].style, 292);
    EXPECT_EQ(p->boites[1].texte, question2(3));
    EXPECT_EQ(p->boites[1].titre, titre);
    EXPECT_EQ(p->boites[1].style, 36);
    const std::string r = rel(rep()) + "/";
    EXPECT_EQ(disparus(avant, instantane(bac.racine())),
              std::set<std::string>({r + "Agenda.exe", r + "Agenda.html", r + "Modeles.dat"}));
    EXPECT_TRUE(liste().isEmpty());
    EXPECT_TRUE(w->Uninst->isEnabled());
}

TEST_F(Desinstallation, UnParUnAnnulerAuTroisiemePuisRefusGardes)
{
    ouvrir(inf("Programmes\\Agenda", "Agenda", "", ""));
    for (const char* nom : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
        ecrireFichier(rep() + "/" + nom, nom);
    pageDesinstallation();

    // Yes for a and b, Cancel on c: nothing more is offered.
    p->reponses = {vbYes, vbYes, vbYes, vbYes, vbCancel};
    w->Uninst->click();
    ASSERT_EQ(p->boites.size(), 5u);
    // An empty program name leaves the title bare.
    EXPECT_EQ(p->boites[0].titre, QString::fromUtf8("Désinstallation de "));
    EXPECT_EQ(p->boites[1].texte, question2(5));
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(p->boites[i].texte, QString("Supprimer %1.txt ?").arg(QChar('a' + i - 2)));
        EXPECT_EQ(p->boites[i].titre, "Alors ?");
        EXPECT_EQ(p->boites[i].style, 67);
    }
    EXPECT_EQ(liste(), QStringList({"c.txt", "d.txt", "e.txt"}));
    EXPECT_EQ(QDir(rep()).entryList(QDir::Files), QStringList({"c.txt", "d.txt", "e.txt"}));
    EXPECT_TRUE(w->Uninst->isEnabled());

    // Again on what is left, with a file added meanwhile: it was never
    // listed, so it is neither counted nor offered. No for c and e.
    ecrireFichier(rep() + "/f.txt", "f");
    p->boites.clear();
    p->reponses = {vbYes, vbYes, vbNo, vbYes, vbNo};
    w->Uninst->click();
    ASSERT_EQ(p->boites.size(), 5u);
    EXPECT_EQ(p->boites[1].texte, question2(3));
    EXPECT_EQ(p->boites[4].texte, "Supprimer e.txt ?");
    EXPECT_EQ(QDir(rep()).entryList(QDir::Files), QStringList({"c.txt", "e.txt", "f.txt"}));
    EXPECT_EQ(liste(), QStringList({"c.txt", "e.txt", "f.txt"}));
}

TEST_F(Desinstallation, AnnulerQuandLeRepertoireADisparuLeSignaleEtDesactive)
{
    ouvrir();
    fichiersInstalles();
    pageDesinstallation();

    // The directory goes while the first per-file question is open.
    p->pendantBoite = [&](const QString& texte) {
        if (texte.startsWith("Supprimer ")) QDir(rep()).removeRecursively();
    };
    p->reponses = {vbYes, vbYes, vbCancel};
    w->Uninst->click();

    ASSERT_EQ(p->boites.size(), 4u);
    EXPECT_EQ(p->boites[3].texte, QString::fromUtf8("Le répertoire: c:\\Programmes\\Agenda n'existe plus, "
                                                    "la désinstallation n'est pas possible"));
    EXPECT_EQ(p->boites[3].style, 16);
    EXPECT_FALSE(w->Uninst->isEnabled());
}

TEST_F(Desinstallation, RepertoireVideRetireRaccourcisSansMessage)
{
    ouvrir();
    QDir().mkpath(rep());
    const std::set<std::string> raccourcis = raccourcisInstalles();
    pageDesinstallation();
    const Instantane avant = instantane(bac.racine());

    w->Uninst->click();
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(disparus(avant, instantane(bac.racine())), raccourcis);
    EXPECT_TRUE(QFileInfo(rep()).isDir());
}

TEST_F(Desinstallation, FichierEnLectureSeuleResteListeSansMessage)
{
    ouvrir();
    fichiersInstalles();
    QFile(rep() + "/Modeles.dat").setPermissions(QFile::ReadOwner);
    pageDesinstallation();

    p->reponses = {vbYes, vbNo};
    w->Uninst->click();
    EXPECT_EQ(p->boites.size(), 2u);
    EXPECT_EQ(lireFichier(rep() + "/Modeles.dat"), "modeles");
    EXPECT_EQ(liste(), QStringList({"Modeles.dat"}));
}

// Links, hidden files, subfolders and a pipe in the install directory: only
// the listed files go, a link to a file outside goes as a link, and nothing
// else anywhere changes.
TEST_F(Desinstallation, RienQueLesFichiersListesDirectementDansLeRepertoire)
{
    ouvrir();
    fichiersInstalles();
    const QString dehors = bac.home() + "/Documents";
    ecrireFichier(dehors + "/lettre.txt", "ma lettre");
    ecrireFichier(dehors + "/.secret", "cache");
    ecrireFichier(rep() + "/.reglages", "cache");
    ecrireFichier(rep() + "/Donnees/base.dat", "base");
    ASSERT_EQ(::mkfifo(QFile::encodeName(rep() + "/tube").constData(), 0644), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(dehors + "/lettre.txt").constData(),
                        QFile::encodeName(rep() + "/lien.txt").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(dehors).constData(),
                        QFile::encodeName(rep() + "/Documents").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(dehors + "/.secret").constData(),
                        QFile::encodeName(rep() + "/.lien").constData()), 0);
    ASSERT_EQ(::symlink("absent", QFile::encodeName(rep() + "/mort").constData()), 0);
    pageDesinstallation();
    EXPECT_EQ(liste(), QStringList({"Agenda.exe", "Agenda.html", "Modeles.dat", "lien.txt"}));
    const Instantane avant = instantane(bac.racine());

    p->reponses = {vbYes, vbNo};
    w->Uninst->click();

    ASSERT_EQ(p->boites.size(), 2u);
    EXPECT_EQ(p->boites[1].texte, question2(4));
    const std::string r = rel(rep()) + "/";
    EXPECT_EQ(disparus(avant, instantane(bac.racine())),
              std::set<std::string>(
                  {r + "Agenda.exe", r + "Agenda.html", r + "Modeles.dat", r + "lien.txt"}));
    EXPECT_EQ(lireFichier(dehors + "/lettre.txt"), "ma lettre");
    EXPECT_TRUE(liste().isEmpty());
}

// With no directory below the drive, the listing is the user's whole home:
// its files are never offered, though shortcuts and settings still go.
TEST_F(Desinstallation, RacineDuLecteurNeSupprimeAucunFichier)
{
    ouvrir(inf("", "Agenda", "Agenda", "Site Agenda"));
    ecrireFichier(bac.home() + "/lettre.txt", "ma lettre");
    ecrireFichier(bac.home() + "/Agenda.exe", "MZ");
    const std::set<std::string> raccourcis = raccourcisInstalles();
    pageDesinstallation();
    ASSERT_EQ(w->Chemin, "c:\\");
    ASSERT_EQ(liste(), QStringList({"Agenda.exe", "lettre.txt"}));
    const Instantane avant = instantane(bac.racine());

    p->reponses = {vbYes, vbNo};
    w->Uninst->click();
    EXPECT_TRUE(p->boites.empty());
    EXPECT_EQ(disparus(avant, instantane(bac.racine())), raccourcis);
}

// ---- Shortcut removal alone -------------------------------------------------

TEST_F(Desinstallation, GroupeAvecUnFichierDeLUtilisateurResteEtGroupeUrlPart)
{
    ouvrir();
    const QString g = dossier(2) + "/Agenda";
    ecrireFichier(g + "/Agenda.lnk", "L");
    ecrireFichier(g + "/Aide de Agenda.lnk", "L");
    ecrireFichier(g + "/Mes notes.txt", "a moi");
    const QString gc = dossier(23) + "/Agenda";
    ecrireFichier(gc + "/Agenda.url", "[InternetShortcut]\r\n");
    ecrireFichier(gc + "/Aide de Agenda.url", "[InternetShortcut]\r\n");
    pageDesinstallation();

    w->Command6->click();
    EXPECT_EQ(QDir(g).entryList(QDir::Files | QDir::Hidden), QStringList({"Mes notes.txt"}));
    EXPECT_FALSE(QFileInfo::exists(gc));
    EXPECT_TRUE(QFileInfo(dossier(23)).isDir());
    EXPECT_TRUE(p->boites.empty());

    // Nothing left to remove: a second click changes nothing.
    const Instantane avant = instantane(bac.racine());
    w->Command6->click();
    EXPECT_TRUE(disparus(avant, instantane(bac.racine())).empty());
}

TEST_F(Desinstallation, GroupeVideRetireMemeSansRaccourci)
{
    ouvrir();
    QDir().mkpath(dossier(2) + "/Agenda");
    w->Command6->click();
    EXPECT_FALSE(QFileInfo::exists(dossier(2) + "/Agenda"));
    EXPECT_TRUE(QFileInfo(dossier(2)).isDir());
}

// An empty group name puts the shortcuts into the Programs folder itself,
// which stays even when they were all it held; an empty web shortcut name
// never names a hidden ".url" file.
TEST_F(Desinstallation, NomsVidesNeDesignentRienDAutre)
{
    ouvrir(inf("Programmes\\Agenda", "", "Agenda", ""));
    for (int csidl : {2, 23}) {
        ecrireFichier(dossier(csidl) + "/Agenda.lnk", "L");
        ecrireFichier(dossier(csidl) + "/Aide de .url", "[InternetShortcut]\r\n");
    }
    ecrireFichier(dossier(6) + "/.url", "cache");
    ecrireFichier(dossier(31) + "/.url", "cache");
    const Instantane avant = instantane(bac.racine());

    w->Command6->click();
    std::set<std::string> attendus;
    for (int csidl : {2, 23})
        for (const char* nom : {"/Agenda.lnk", "/Aide de .url"}) attendus.insert(rel(dossier(csidl) + nom));
    EXPECT_EQ(disparus(avant, instantane(bac.racine())), attendus);
    EXPECT_TRUE(QFileInfo(dossier(2)).isDir());
    EXPECT_TRUE(QFileInfo(dossier(23)).isDir());
}

// A group name that climbs out of the Programs folder reaches nothing there.
TEST_F(Desinstallation, NomDeGroupeQuiRemonteNeSortPasDuDossier)
{
    ouvrir(inf("Programmes\\Agenda", "..", "Agenda", "Site Agenda"));
    const QString parent = QFileInfo(dossier(2)).path();
    ecrireFichier(parent + "/Agenda.lnk", "L");
    QDir().mkpath(parent + "/vide");
    const Instantane avant = instantane(bac.racine());
    w->Command6->click();
    EXPECT_TRUE(disparus(avant, instantane(bac.racine())).empty());
}

// ---- Settings ---------------------------------------------------------------

TEST_F(Desinstallation, ReglagesEffacesPourCeProgrammeSeulement)
{
    ouvrir();
    // The installed program keeps its settings where Qt puts them for it.
    const QString config = p->configuration().xdgConfigHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "Agenda");
        s.setValue("Fenetre/largeur", 640);
        QSettings autre(QSettings::IniFormat, QSettings::UserScope, "Autre");
        autre.setValue("x", 1);
    }
    ASSERT_TRUE(QFileInfo::exists(config + "/Agenda.ini"));

    w->Command11->click();
    EXPECT_TRUE(QSettings(QSettings::IniFormat, QSettings::UserScope, "Agenda").allKeys().isEmpty());
    EXPECT_EQ(QSettings(QSettings::IniFormat, QSettings::UserScope, "Autre").value("x").toInt(), 1);
    // Once more: nothing to erase, nothing shown.
    w->Command11->click();
    EXPECT_TRUE(p->boites.empty());
    EXPECT_TRUE(QFileInfo::exists(config + "/Autre.ini"));
}

}  // namespace

// ---- After a real installation ------------------------------------------------

// The sample medium installed through the window with every option, then
// uninstalled in a later run: what remains is what the installation added
// outside the shortcuts and the install directory's files.
TEST_F(Desinstallation, SupportExempleInstallePuisDesinstalle)
{
    copierSupportExemple(bac.support());
    ouvrir(inf("Programmes\\Agenda", "Agenda", "Agenda", "Site Agenda") << "Fs1=Outils.dll");
    const Instantane avant = instantane(bac.racine());
    p->pasHorloge = 1e-5;
    w->OptionDépart[1]->click();
    w->BSuiv->click();
    w->ChDem->setChecked(true);
    w->Command1->click();
    ASSERT_EQ(w->BSuiv->text(), "Terminer >");
    for (const QString& f : {dossier(2) + "/Agenda/Agenda.lnk", dossier(2) + "/Agenda/Aide de Agenda.lnk",
                             dossier(0) + "/Agenda.lnk", dossier(7) + "/Agenda.lnk",
                             dossier(6) + "/Site Agenda.url"})
        EXPECT_TRUE(QFileInfo(f).isFile()) << f.toStdString();
    ASSERT_TRUE(QFileInfo(rep() + "/Agenda.exe").isFile());

    w.reset();
    p = std::make_unique<PlateformeEssai>(bac.racine());
    w = std::make_unique<Install>(*p);
    w->Form_Load();
    pageDesinstallation();
    p->reponses = {vbYes, vbNo};
    w->Uninst->click();

    ASSERT_EQ(p->boites.size(), 2u);
    EXPECT_EQ(p->boites[1].texte, question2(3));
    const Instantane apres = instantane(bac.racine());
    std::set<std::string> restes;
    for (const auto& [chemin, e] : apres) {
        // The desktop's icon theme folders may stay, emptied of our icon.
        if (chemin.starts_with("home/.local/share/icons")) {
            EXPECT_EQ(e.genre, 'd') << chemin;
            continue;
        }
        if (!avant.count(chemin))
            restes.insert(chemin);
        else
            EXPECT_TRUE(avant.at(chemin) == e) << "changed: " << chemin;
    }
    for (const auto& [chemin, e] : avant) EXPECT_TRUE(apres.count(chemin)) << "gone: " << chemin;
    // The system files are never uninstalled; the install directory stays, empty.
    EXPECT_EQ(restes, std::set<std::string>({"home/Programmes", "home/Programmes/Agenda",
                                             "home/.local/lib/Outils.dll", "home/.local/lib32/Outils.dll"}));
}
