// Time to open the wizard's window (Form_Load, show and the first paint)
// on the sample medium whose program's icon beside it is each of the worst
// pictures a medium may hold, whether drawn or refused (nested <use>, a
// reference loop, an external image), and the heaviest text, <tspan>
// elements and paths on either side of the bounds; a 4096 x 4096 PNG. Run
// with QT_SCALE_FACTOR=2 for the icon a dense screen draws.
//
//   bench_icones_hostiles
#include "tests/outils.h"
#include "examples/dessin_agenda.h"
#include "platform/linux_interne.h"
#include "wizard/install.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray svg(const QByteArray& corps)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' viewBox='0 0 1000 1000'>"
         + corps + "</svg>";
}

// A path of `octets` bytes of lines across the whole picture: the most
// costly to fill for its size.
QByteArray chemin(int octets)
{
    QRandomGenerator aleas(7);
    QByteArray d = "<path fill='#c03020' stroke='#203080' stroke-width='3' d='M0 0";
    while (d.size() < octets) d += " L" + QByteArray::number(aleas.bounded(1000)) + " " + QByteArray::number(aleas.bounded(1000));
    return d + "'/>";
}

QByteArray repete(const QByteArray& motif, int n)
{
    QByteArray r;
    for (int i = 0; i < n; ++i) r += motif;
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    environnementHorsEcran(runtime);
    QApplication app(argc, argv);

    QByteArray emboite = "<rect id='n0' width='1' height='1'/>";
    for (int n = 1; n <= 15; ++n)
        emboite += "<g id='n" + QByteArray::number(n) + "'>" +
                   repete("<use xlink:href='#n" + QByteArray::number(n - 1) + "'/>", 4) + "</g>";
    QByteArray grande;
    QBuffer tampon(&grande);
    tampon.open(QIODevice::WriteOnly);
    DessinerAgenda(4096).save(&tampon, "PNG");

    const struct { const char* nom; const char* fichier; QByteArray octets; } cas[] = {
        {"sample icon (64 x 64 PNG)", nullptr, {}},
        {"4096 x 4096 PNG", "agenda.png", grande},
        {"15 levels of 4 nested <use>", "agenda.svg", svg("<defs>" + emboite + "</defs><use xlink:href='#n15'/>")},
        {"reference loop", "agenda.svg",
         svg("<g id='a'><use xlink:href='#b'/></g><g id='b'><use xlink:href='#a'/></g>")},
        {"external image", "agenda.svg", svg("<image width='9' height='9' xlink:href='/etc/x.png'/>")},
        {"1 MiB path", "agenda.svg", svg(chemin(1000000))},
        {"600 KB path", "agenda.svg", svg(chemin(600000))},
        {"600 KB of text", "agenda.svg", svg("<text y='500' font-size='10'>" + QByteArray(600000, 'a') + "</text>")},
        {"75 KB of text", "agenda.svg", svg("<text y='500' font-size='10'>" + QByteArray(75000, 'a') + "</text>")},
        {"9000 <tspan>", "agenda.svg", svg("<text y='500' font-size='10'>" + repete("<tspan>a</tspan>", 9000) + "</text>")},
        {"1100 <tspan>", "agenda.svg", svg("<text y='500' font-size='10'>" + repete("<tspan>a</tspan>", 1100) + "</text>")},
    };
    double pire = 0;
    for (const auto& c : cas) {
        Bac bac;
        preparerSupport(bac.support());
        if (c.fichier) {
            QFile::remove(bac.support() + "/agenda.png");
            ecrireFichier(bac.support() + "/" + c.fichier, c.octets);
        }
        PlateformeTest p(bac.racine());
        QElapsedTimer t;
        t.start();
        Install w(p);
        w.Form_Load();
        w.show();
        w.repaint();
        const double ms = t.nsecsElapsed() / 1e6;
        pire = std::max(pire, ms);
        const bool generique = p.IconeFichier("d:\\agenda") == plateforme::interne::iconeGenerique(32);
        std::printf("%-30s %8lld bytes: %-13s window %7.1f ms\n", c.nom, static_cast<long long>(c.octets.size()),
                    generique ? "generic icon," : "drawn,", ms);
    }
    std::printf("slowest window: %.1f ms\n", pire);
    return 0;
}
