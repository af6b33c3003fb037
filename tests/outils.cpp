#include "tests/outils.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plateforme;

Configuration PlateformeTest::configurationDans(const QString& racine)
{
    Configuration c;
    c.home = racine + "/home";
    const QString media = racine + "/media/AGENDA";
    const QString sys = racine + "/sys";
    for (const QString& d : {c.home, media, sys}) QDir().mkpath(d);
    c.lecteurs = {{'c', c.home, c.home}, {'d', media, "AGENDA"}, {'z', sys, "/"}};
    c.dossierPropre = media;
    c.xdgDataHome = c.home + "/.local/share";
    c.xdgConfigHome = c.home + "/.config";
    c.xdgDataDir = sys + "/usr/local/share";
    c.xdgConfigDir = sys + "/etc/xdg";
    c.repertoireSysteme = c.home + "/.local/lib";
    return c;
}

PlateformeTest::PlateformeTest(const QString& racine) : Plateforme(configurationDans(racine)) {}
PlateformeTest::PlateformeTest(Configuration c) : Plateforme(std::move(c)) {}

int PlateformeTest::MsgBox(const QString& texte, int style, const QString& titre)
{
    boites.push_back({texte, style, titre});
    if (!reponses.empty()) {
        int r = reponses.front();
        reponses.pop_front();
        return r;
    }
    return (style & 7) == vbOKOnly ? vbOK : vbYes;
}

void PlateformeTest::LaisserEvenements()
{
    Plateforme::LaisserEvenements();
    if (crochet) crochet();
}

bool PlateformeTest::Demarrer(const QString& programme)
{
    demarres.push_back(programme);
    return true;
}

bool PlateformeTest::OuvrirDocument(const QString& chemin)
{
    ouverts.push_back(chemin);
    return true;
}

void PlateformeTest::Terminer()
{
    ++fins;
    throw FinProgramme{};
}

double PlateformeTest::Horloge()
{
    if (pasHorloge == 0.0)
        return QDateTime::currentMSecsSinceEpoch() / 86400000.0;
    horloge += pasHorloge;
    return horloge;
}

void PlateformeTest::Bip() { ++bips; }

void environnementHorsEcran(const QTemporaryDir& runtime)
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
}

void ecrireFichier(const QString& chemin, const QByteArray& octets)
{
    QDir().mkpath(QFileInfo(chemin).path());
    QFile f(chemin);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(octets);
}

QByteArray lireFichier(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void copierSupportExemple(const QString& dossier)
{
    QDir().mkpath(dossier);
    // The medium's files, and the Windows program file that only tests use.
    for (const QDir source : {QDir(QStringLiteral(SUPPORT_EXEMPLE)), QDir(QStringLiteral(SUPPORT_ESSAIS))})
        for (const QString& nom : source.entryList(QDir::Files)) {
            QFile::remove(dossier + "/" + nom);
            QFile::copy(source.filePath(nom), dossier + "/" + nom);
            QFile(dossier + "/" + nom).setPermissions(QFile(source.filePath(nom)).permissions());
        }
}

void preparerSupport(const QString& dossier, const QMap<QString, QString>& cles)
{
    copierSupportExemple(dossier);
    const QString inf = dossier + "/Install.inf";
    QStringDecoder dec("windows-1252");
    QStringList lignes = QString(dec(lireFichier(inf))).split("\r\n", Qt::SkipEmptyParts);
    for (auto it = cles.begin(); it != cles.end(); ++it) {
        auto l = std::find_if(lignes.begin(), lignes.end(),
                              [&](const QString& s) { return s.startsWith(it.key() + "="); });
        if (l == lignes.end()) lignes << it.key() + "=" + it.value();
        else *l = it.key() + "=" + it.value();
    }
    QStringEncoder enc("windows-1252");
    QByteArray octets;
    for (const QString& l : lignes) octets += enc(l) + "\r\n";
    ecrireFichier(inf, octets);
}

bool copierSetup(const QString& dossier)
{
    QFile::remove(dossier + "/setup");
    return QFile::copy(SETUP_EXE, dossier + "/setup")
        && QFile(dossier + "/setup").setPermissions(QFile(SETUP_EXE).permissions());
}

QProcessEnvironment environnementSansEcran(const Bac& bac)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        env.remove(v);
    env.insert("HOME", bac.home());
    env.insert("XDG_DATA_DIRS", bac.racine() + "/sys/usr/local/share");
    env.insert("XDG_CONFIG_DIRS", bac.racine() + "/sys/etc/xdg");
    return env;
}

bool monterTmpfs(const QString& dossier, qint64 octets, bool lectureSeule, qint64 inodes)
{
    static const bool prive = [] {
        if (::unshare(CLONE_NEWNS) != 0) {
            // Without the right to make one, a user namespace of our own gives it.
            const uid_t uid = ::geteuid();
            const gid_t gid = ::getegid();
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
            ecrireFichier("/proc/self/setgroups", "deny");
            ecrireFichier("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1");
            ecrireFichier("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
        }
        return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }();
    if (!prive) return false;
    QDir().mkpath(dossier);
    const QByteArray options = "size=" + QByteArray::number(octets) + ",mode=0755" +
                               (inodes > 0 ? ",nr_inodes=" + QByteArray::number(inodes) : QByteArray());
    return ::mount("tmpfs", QFile::encodeName(dossier).constData(), "tmpfs", lectureSeule ? MS_RDONLY : 0,
                   options.constData()) == 0;
}

Bac::~Bac()
{
    QFile montages("/proc/self/mounts");
    if (!montages.open(QIODevice::ReadOnly)) return;
    QList<QByteArray> points;
    for (const QByteArray& ligne : montages.readAll().split('\n')) {
        const QList<QByteArray> champs = ligne.split(' ');
        if (champs.size() > 1 && champs[1].startsWith(QFile::encodeName(dir.path()) + "/")) points.prepend(champs[1]);
    }
    for (const QByteArray& point : points) ::umount2(point.constData(), MNT_DETACH);
}

QMap<QString, QByteArray> arbre(const QString& racine)
{
    QMap<QString, QByteArray> t;
    QDirIterator it(racine, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString c = it.next();
        t[c.mid(racine.size())] = it.fileInfo().isDir() ? QByteArray("/") : lireFichier(c);
    }
    return t;
}

QMap<QString, QString> lnkinfo(const QString& hote)
{
    QProcess pr;
    pr.setProcessChannelMode(QProcess::MergedChannels);
    pr.start("lnkinfo", {hote});
    const bool fini = pr.waitForFinished(20000) && pr.exitStatus() == QProcess::NormalExit && pr.exitCode() == 0;
    const QString s = QString::fromLocal8Bit(pr.readAll());
    EXPECT_TRUE(fini && !s.contains("Error", Qt::CaseInsensitive)) << "lnkinfo (liblnk-utils): " << s.toStdString();
    QMap<QString, QString> champs;
    for (const QString& l : s.split('\n'))
        if (const qsizetype i = l.indexOf(':'); i >= 0) champs.insert(l.left(i).trimmed(), l.mid(i + 1).trimmed());
    return champs;
}

int dansUnEnfant(const std::function<int()>& f)
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(f());
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
}
