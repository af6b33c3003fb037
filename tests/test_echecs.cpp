// Installations that fail, on real file systems: a full disk, a file-size
// limit, a read-only home, a medium unmounted mid-copy, debris of a killed
// run, and descriptions that name unsafe places. None may end in a success,
// write outside the install directory or harm what was there.
#include "tests/outils.h"
#include "wizard/install.h"

#include <QDir>
#include <QFile>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <memory>

using namespace plateforme;

namespace {

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

struct Echecs : ::testing::Test {
    Bac bac;
    std::unique_ptr<PlateformeTest> p;
    std::unique_ptr<Install> w;

    QString installe(const QString& nom = {}) const { return bac.home() + "/Programmes/Agenda/" + nom; }
    QString applications() const { return bac.home() + "/.local/share/applications"; }

    void ouvrir(Configuration c)
    {
        w.reset();
        p = std::make_unique<PlateformeTest>(std::move(c));
        p->pasHorloge = 1e-5;
        w = std::make_unique<Install>(*p);
        w->Form_Load();
        w->show();
        w->OptionDépart[1]->click();
        w->BSuiv->click();
    }
    void ouvrir() { ouvrir(PlateformeTest::configurationDans(bac.racine())); }

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
};

// A disk that fills up: the file that did not fit is named with its reason
// and leaves no partial or hidden copy; the free-space figure is the real
// one (no fallback), so the warning comes first. When the program itself
// is what did not fit, no link points at it.
TEST_F(Echecs, DisquePlein)
{
    ecrireFichier(bac.support() + "/Gros.dat", QByteArray(3 << 20, 'g'));
    for (const bool programme : {false, true}) {
        SCOPED_TRACE(programme);
        ASSERT_TRUE(monterTmpfs(bac.home(), 2 << 20));
        preparerSupport(bac.support(), programme ? QMap<QString, QString>{{"Programme", "Gros.dat"}}
                                                 : QMap<QString, QString>{{"F5", "Gros.dat"}});
        ouvrir();
        p->reponses = {vbYes};
        w->Command1->click();
        const auto place = p->boites.front();
        p->boites.erase(p->boites.begin());
        EXPECT_TRUE(place.texte.contains(" ne contient pas les 3 Mo ")) << place.texte.toStdString();
        verifierRapport({"c:\\Programmes\\Agenda\\Gros.dat : disque plein"});
        EXPECT_FALSE(QFileInfo::exists(installe("Gros.dat")));
        EXPECT_TRUE(cachesDe(installe()).isEmpty()) << cachesDe(installe()).join(' ').toStdString();
        EXPECT_EQ(lireFichier(installe("Modeles.dat")), lireFichier(bac.support() + "/Modeles.dat"));
        const QString lien = applications() + "/Agenda/Agenda.lnk";
        EXPECT_EQ(QFileInfo::exists(lien), !programme);
        EXPECT_EQ(QFileInfo::exists(applications() + "/Agenda/Agenda.desktop"), !programme);
        EXPECT_EQ(w->LabI1->isVisible(), !programme);
        ASSERT_EQ(::umount2(QFile::encodeName(bac.home()).constData(), MNT_DETACH), 0);
    }
}

// A file-size limit and a read-only home, each told with its own reason.
TEST_F(Echecs, LimiteDeTailleEtDossierEnLectureSeule)
{
    ecrireFichier(bac.support() + "/Gros.dat", QByteArray(2 << 20, 'g'));
    preparerSupport(bac.support(), {{"F5", "Gros.dat"}});
    rlimit avant {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &avant), 0);
    rlimit limite = avant;
    limite.rlim_cur = 1 << 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limite), 0);
    ouvrir();
    w->Command1->click();
    ::setrlimit(RLIMIT_FSIZE, &avant);
    verifierRapport({"c:\\Programmes\\Agenda\\Gros.dat : fichier trop volumineux"});
    EXPECT_TRUE(cachesDe(installe()).isEmpty());

    // Nothing can be written: every file is named, nothing is made.
    Bac ro;
    preparerSupport(ro.support());
    ASSERT_TRUE(monterTmpfs(ro.home(), 1 << 20, true));
    ouvrir(PlateformeTest::configurationDans(ro.racine()));
    w->TailleInstall = 0.0;
    w->Command1->click();
    const QString refuse = QString::fromUtf8(" : disque protégé en écriture");
    const QString absent = QString::fromUtf8(" : répertoire introuvable");
    verifierRapport({"c:\\.local\\lib\\Outils.dll" + absent, "c:\\Programmes\\Agenda" + refuse,
                     "c:\\Programmes\\Agenda\\Agenda.exe" + absent, "c:\\Programmes\\Agenda\\Agenda.html" + absent,
                     "c:\\Programmes\\Agenda\\Modeles.dat" + absent, "c:\\Programmes\\Agenda\\agenda-demo" + absent});
    EXPECT_TRUE(arbre(ro.home()).isEmpty());
}

// The medium lazily unmounted in the middle of the copies: its mount point
// stays behind as a bare folder, which is never read as the medium; the
// drive does not answer and the command ends with its one message.
TEST_F(Echecs, SupportDemonte)
{
    const QString cle = bac.racine() + "/media/CLE";
    ASSERT_TRUE(monterTmpfs(cle, 4 << 20));
    preparerSupport(cle);
    Configuration c = PlateformeTest::configurationDans(bac.racine());
    c.lecteurs.push_back({'e', cle, "CLE", true});
    c.dossierPropre = cle;
    ouvrir(c);
    EXPECT_EQ(p->VersHote("e:\\Install.inf"), cle + "/Install.inf");
    int fichiers = 0;
    p->crochet = [&] {
        if (++fichiers == 2) ASSERT_EQ(::umount2(QFile::encodeName(cle).constData(), MNT_DETACH), 0);
    };
    w->Command1->click();
    EXPECT_EQ(p->boites.size(), 1u);
    EXPECT_EQ(p->boites.back().texte, "Lecteur indisponible");
    verifierPasDeSucces();
    EXPECT_TRUE(QFileInfo(cle).isDir());
    EXPECT_THROW(p->VersHote("e:\\Install.inf"), Erreur);
    // It ended at the system file: no install directory was made.
    EXPECT_FALSE(QFileInfo::exists(installe()));
}

// What a killed run left: its own hidden copies of the files it installs go
// at the next install or at the uninstall, nothing else does, and a copy
// still being written (locked) is left to its writer.
TEST_F(Echecs, TemporairesAbandonnes)
{
    preparerSupport(bac.support());
    const QStringList restes{".Agenda.exe.a1B2c3", ".MODELES.DAT.zzzzzz"};
    const QStringList gardes{".notes.txt.a1B2c3", ".Agenda.exe.court", ".Agenda.exe", "Agenda.exe.a1B2c3"};
    for (const QString& n : restes + gardes) ecrireFichier(installe(n), "reste");
    ecrireFichier(bac.home() + "/.local/lib32/.Outils.dll.Q1q2Q3", "reste");
    ecrireFichier(installe(".agenda-demo.EnCour"), "en cours");
    const int verrou = ::open(QFile::encodeName(installe(".agenda-demo.EnCour")).constData(), O_RDONLY);
    ASSERT_EQ(::flock(verrou, LOCK_EX), 0);
    ouvrir();
    w->Command1->click();
    EXPECT_EQ(w->Lfic->text(), QString::fromUtf8("Installation terminée"));
    EXPECT_EQ(cachesDe(installe()),
              QStringList({".Agenda.exe", ".Agenda.exe.court", ".agenda-demo.EnCour", ".notes.txt.a1B2c3"}));
    EXPECT_TRUE(QFileInfo::exists(installe("Agenda.exe.a1B2c3")));
    EXPECT_TRUE(cachesDe(bac.home() + "/.local/lib32").isEmpty());
    ::close(verrou);

    // The complete uninstall takes the debris of its files too.
    ecrireFichier(installe(".Agenda.html.XyZ123"), "reste");
    w->OptionDépart[2]->setChecked(true);
    w->BPréc->click();
    w->BSuiv->click();
    p->reponses = {vbYes, vbNo};
    w->Uninst->click();
    EXPECT_EQ(cachesDe(installe()), QStringList({".Agenda.exe", ".Agenda.exe.court", ".notes.txt.a1B2c3"}));
}

// No directory below the drive (the key missing, or only backslashes
// typed), or a default one that climbs out: one message, nothing written.
TEST_F(Echecs, RepertoireRacineOuHorsDuLecteur)
{
    const QString racine = QString::fromUtf8("Le programme ne peut pas être installé à la racine du lecteur c:\\ : "
                                             "indiquez un répertoire d'installation.");
    struct Cas {
        QString repDef, reper, message;
    };
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
        EXPECT_EQ(p->boites.size(), 1u);
        EXPECT_EQ(p->boites.front().texte, c.message);
        EXPECT_EQ(p->boites.front().style, vbCritical);
        EXPECT_EQ(arbre(bac.racine()), avant);
        EXPECT_FALSE(w->PB->isVisible());
    }
}

// Names with an empty or dotted part are never copied: a system file named
// with a trailing backslash does not replace the one in place, and each
// such name is reported.
TEST_F(Echecs, NomsDangereux)
{
    preparerSupport(bac.support(), {{"Fs1", "Outils.dll\\"}, {"F1", "Agenda.exe\\\\"}, {"F2", "..."},
                                    {"F3", "Sous\\\\Modeles.dat"}, {"NomAide", ".\\Agenda.html"}});
    ecrireFichier(bac.home() + "/.local/lib/Outils.dll", "le sien");
    ouvrir();
    w->Command1->click();
    const QString invalide = " : nom de fichier non valide";
    verifierRapport({"Outils.dll\\" + invalide, ".\\Agenda.html" + invalide, "Agenda.exe\\\\" + invalide,
                     "..." + invalide, "Sous\\\\Modeles.dat" + invalide});
    EXPECT_EQ(lireFichier(bac.home() + "/.local/lib/Outils.dll"), "le sien");
    EXPECT_FALSE(QFileInfo::exists(bac.home() + "/.local/lib32/Outils.dll"));
    EXPECT_EQ(QDir(installe()).entryList(QDir::Files, QDir::Name), QStringList({"Agenda.exe", "agenda-demo"}));
}

}  // namespace
