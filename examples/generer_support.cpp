// Writes the generated files of the sample medium: into the medium's folder
// agenda.png, the program's icon beside it, and Outils.dll, a Windows
// library without resources that stands for a system file; into the tests'
// folder Agenda.exe, a Windows program file with the same calendar icon,
// for the readers of Windows icons.
#include "examples/dessin_agenda.h"
#include "examples/fabrique_icones.h"

#include <QFile>

#include <cstdio>

static bool ecrire(const QString& chemin, const QByteArray& octets)
{
    QFile f(chemin);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(octets) == octets.size();
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <medium folder> <tests folder>\n", argv[0]);
        return 2;
    }
    const QString support = QString::fromLocal8Bit(argv[1]);
    const QString essais = QString::fromLocal8Bit(argv[2]);
    // The group lists the small image first: readers must choose the best
    // 32 x 32 one, the full-colour image rather than the 256-colour one.
    const QList<fabrique::ImageIcone> images = {
        fabrique::imageDib(DessinerAgenda(16), 32),
        fabrique::imageDib(DessinerAgenda(32), 8),
        fabrique::imageDib(DessinerAgenda(32), 32),
        fabrique::imagePng(DessinerAgenda(48)),
    };
    if (!DessinerAgenda(64).save(support + "/agenda.png", "PNG") ||
        !ecrire(support + "/Outils.dll", fabrique::fichierPE({}, "MZ", true)) ||
        !ecrire(essais + "/Agenda.exe", fabrique::fichierPE(images))) {
        std::fprintf(stderr, "cannot write into %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
