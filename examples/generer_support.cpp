// Writes the Windows files of the sample medium into the folder given as
// argument: Agenda.exe, the program with its calendar icon, and Outils.dll,
// a library without resources.
//
// Agenda.exe is a real Windows program file and yet runs here: its first
// line, before the DOS header's pointer to the PE header, is shell text that
// hands over to the Qt demonstration beside it. The system runs a file that
// is not a native executable with /bin/sh, which stops at that line.
#include "examples/dessin_agenda.h"
#include "examples/fabrique_icones.h"

#include <QFile>

#include <cstdio>

static bool ecrire(const QString& chemin, const QByteArray& octets, bool executable)
{
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(octets) != octets.size()) return false;
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    return true;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString dossier = QString::fromLocal8Bit(argv[1]);
    // The group lists the small image first: readers must choose the best
    // 32 x 32 one, the full-colour image rather than the 256-colour one.
    const QList<fabrique::ImageIcone> images = {
        fabrique::imageDib(DessinerAgenda(16), 32),
        fabrique::imageDib(DessinerAgenda(32), 8),
        fabrique::imageDib(DessinerAgenda(32), 32),
        fabrique::imagePng(DessinerAgenda(48)),
    };
    const QByteArray lanceur = "MZ=1 exec \"$(dirname \"$0\")/agenda-demo\" \"$@\"\n";
    if (!ecrire(dossier + "/Agenda.exe", fabrique::fichierPE(images, lanceur), true) ||
        !ecrire(dossier + "/Outils.dll", fabrique::fichierPE({}, "MZ", true), false)) {
        std::fprintf(stderr, "cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
