// Writes icon images, .ico files and small Windows program files (PE) that
// carry icons in their resources. Used by the generator of the sample
// medium and by the tests, which build files of every kind with it.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QVector>

#include <cstdint>
#include <stdexcept>

namespace fabrique {

// One image of an icon: its size, colour depth and encoded bytes (a DIB
// without file header, or a PNG).
struct ImageIcone {
    int largeur = 0;
    int hauteur = 0;
    int bpp = 0;
    QByteArray donnees;
};

inline void ecrire16(QByteArray& o, std::uint32_t v)
{
    o.append(char(v & 0xFF));
    o.append(char((v >> 8) & 0xFF));
}

inline void ecrire32(QByteArray& o, std::uint32_t v)
{
    ecrire16(o, v & 0xFFFF);
    ecrire16(o, v >> 16);
}

inline void poser16(QByteArray& o, int pos, std::uint32_t v)
{
    o[pos] = char(v & 0xFF);
    o[pos + 1] = char((v >> 8) & 0xFF);
}

inline void poser32(QByteArray& o, int pos, std::uint32_t v)
{
    poser16(o, pos, v & 0xFFFF);
    poser16(o, pos + 2, v >> 16);
}

inline void aligner(QByteArray& o, int alignement)
{
    while (o.size() % alignement) o.append('\0');
}

// A DIB as icon resources hold it: BITMAPINFOHEADER with twice the height,
// palette for 8 bpp and less, colour rows bottom-up, then the AND mask
// (1 = transparent). Pixels with alpha below 128 are transparent below
// 32 bpp; at 32 bpp the alpha channel is kept as it is.
inline ImageIcone imageDib(const QImage& source, int bpp)
{
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    QVector<QRgb> palette;
    QVector<int> indices;
    if (bpp <= 8) {
        // Black first so that transparent pixels have a colour of their own;
        // further colours as met, then the nearest one once the table is full.
        const int maximum = 1 << bpp;
        palette.append(qRgb(0, 0, 0));
        indices.resize(w * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = img.pixel(x, y) | 0xFF000000u;
                int trouve = -1;
                if (qAlpha(img.pixel(x, y)) < 128) {
                    trouve = 0;
                } else {
                    trouve = palette.indexOf(c);
                    if (trouve < 0 && palette.size() < maximum) {
                        palette.append(c);
                        trouve = palette.size() - 1;
                    }
                    if (trouve < 0) {
                        int meilleur = 1 << 30;
                        for (int i = 0; i < palette.size(); ++i) {
                            const int dr = qRed(c) - qRed(palette[i]);
                            const int dg = qGreen(c) - qGreen(palette[i]);
                            const int db = qBlue(c) - qBlue(palette[i]);
                            const int d = dr * dr + dg * dg + db * db;
                            if (d < meilleur) meilleur = d, trouve = i;
                        }
                    }
                }
                indices[y * w + x] = trouve;
            }
        palette.resize(maximum, qRgb(0, 0, 0));
    }

    QByteArray o;
    ecrire32(o, 40);
    ecrire32(o, std::uint32_t(w));
    ecrire32(o, std::uint32_t(2 * h));
    ecrire16(o, 1);
    ecrire16(o, std::uint32_t(bpp));
    ecrire32(o, 0);  // BI_RGB
    const int pasCouleur = ((w * bpp + 31) / 32) * 4;
    const int pasMasque = ((w + 31) / 32) * 4;
    ecrire32(o, std::uint32_t((pasCouleur + pasMasque) * h));
    ecrire32(o, 0);
    ecrire32(o, 0);
    ecrire32(o, 0);
    ecrire32(o, 0);
    for (QRgb c : palette) {
        o.append(char(qBlue(c)));
        o.append(char(qGreen(c)));
        o.append(char(qRed(c)));
        o.append('\0');
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray ligne(pasCouleur, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb c = img.pixel(x, y);
            const bool transparent = qAlpha(c) < 128;
            switch (bpp) {
            case 32:
                ligne[x * 4] = char(qBlue(c));
                ligne[x * 4 + 1] = char(qGreen(c));
                ligne[x * 4 + 2] = char(qRed(c));
                ligne[x * 4 + 3] = char(qAlpha(c));
                break;
            case 24:
                ligne[x * 3] = char(transparent ? 0 : qBlue(c));
                ligne[x * 3 + 1] = char(transparent ? 0 : qGreen(c));
                ligne[x * 3 + 2] = char(transparent ? 0 : qRed(c));
                break;
            default: {
                const int i = indices[y * w + x];
                const int parOctet = 8 / bpp;
                const int decalage = 8 - bpp * (x % parOctet + 1);
                ligne[x / parOctet] = char(ligne[x / parOctet] | (i << decalage));
            }
            }
        }
        o.append(ligne);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray ligne(pasMasque, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(img.pixel(x, y)) < (bpp == 32 ? 1 : 128))
                ligne[x / 8] = char(ligne[x / 8] | (0x80 >> (x % 8)));
        o.append(ligne);
    }
    return {w, h, bpp, o};
}

inline ImageIcone imagePng(const QImage& source)
{
    QByteArray o;
    QBuffer tampon(&o);
    tampon.open(QIODevice::WriteOnly);
    source.convertToFormat(QImage::Format_ARGB32).save(&tampon, "PNG");
    return {source.width(), source.height(), 32, o};
}

// The 14 first bytes of a directory entry, shared by .ico files and icon
// groups (width and height 0 stand for 256).
inline void ecrireEntree(QByteArray& o, const ImageIcone& i)
{
    o.append(char(i.largeur >= 256 ? 0 : i.largeur));
    o.append(char(i.hauteur >= 256 ? 0 : i.hauteur));
    o.append(char(i.bpp < 8 ? (1 << i.bpp) : 0));
    o.append('\0');
    ecrire16(o, 1);
    ecrire16(o, std::uint32_t(i.bpp));
    ecrire32(o, std::uint32_t(i.donnees.size()));
}

inline QByteArray fichierIco(const QList<ImageIcone>& images)
{
    QByteArray o;
    ecrire16(o, 0);
    ecrire16(o, 1);
    ecrire16(o, std::uint32_t(images.size()));
    std::uint32_t position = 6 + 16 * std::uint32_t(images.size());
    for (const ImageIcone& i : images) {
        ecrireEntree(o, i);
        ecrire32(o, position);
        position += std::uint32_t(i.donnees.size());
    }
    for (const ImageIcone& i : images) o.append(i.donnees);
    return o;
}

// A 32-bit Windows program (or library) with a code section and, when
// `images` is not empty, a resource section holding one icon group (ID 1)
// made of the images (RT_ICON 1, 2, ...). `debut` replaces the start of the
// DOS header up to its pointer to the PE header: a program file can start
// with a line of shell text and so run on a Unix system too.
inline QByteArray fichierPE(const QList<ImageIcone>& images, const QByteArray& debut = "MZ",
                            bool bibliotheque = false)
{
    constexpr std::uint32_t alignFichier = 0x200, alignSection = 0x1000;
    constexpr std::uint32_t rvaCode = 0x1000, rvaRessources = 0x2000;
    constexpr int positionPE = 0x80;
    if (!debut.startsWith("MZ") || debut.size() > 0x3C)
        throw std::invalid_argument("start of the DOS header");

    // Resources: the type directory (RT_ICON 3 before RT_GROUP_ICON 14, by
    // ID), one name directory per type, one language directory per
    // resource, the data entries, then the data.
    QByteArray rsrc;
    if (!images.isEmpty()) {
        const int n = images.size();
        const int racine = 0;
        const int dirIcones = racine + 16 + 2 * 8;
        const int dirGroupe = dirIcones + 16 + n * 8;
        const int langues = dirGroupe + 16 + 8;
        const int entrees = langues + (n + 1) * (16 + 8);
        int donnees = entrees + (n + 1) * 16;
        auto repertoire = [&](int nombre) {
            ecrire32(rsrc, 0);
            ecrire32(rsrc, 0);
            ecrire16(rsrc, 4);
            ecrire16(rsrc, 0);
            ecrire16(rsrc, 0);
            ecrire16(rsrc, std::uint32_t(nombre));
        };
        repertoire(2);
        ecrire32(rsrc, 3);
        ecrire32(rsrc, 0x80000000u | std::uint32_t(dirIcones));
        ecrire32(rsrc, 14);
        ecrire32(rsrc, 0x80000000u | std::uint32_t(dirGroupe));
        repertoire(n);
        for (int i = 0; i < n; ++i) {
            ecrire32(rsrc, std::uint32_t(i + 1));
            ecrire32(rsrc, 0x80000000u | std::uint32_t(langues + i * 24));
        }
        repertoire(1);
        ecrire32(rsrc, 1);
        ecrire32(rsrc, 0x80000000u | std::uint32_t(langues + n * 24));
        for (int i = 0; i <= n; ++i) {
            repertoire(1);
            ecrire32(rsrc, 0x040C);  // French (France)
            ecrire32(rsrc, std::uint32_t(entrees + i * 16));
        }
        QByteArray groupe;
        ecrire16(groupe, 0);
        ecrire16(groupe, 1);
        ecrire16(groupe, std::uint32_t(n));
        for (int i = 0; i < n; ++i) {
            ecrireEntree(groupe, images[i]);
            ecrire16(groupe, std::uint32_t(i + 1));
        }
        QList<QByteArray> blocs;
        for (const ImageIcone& i : images) blocs.append(i.donnees);
        blocs.append(groupe);
        QByteArray corps;
        for (const QByteArray& b : blocs) {
            ecrire32(rsrc, rvaRessources + std::uint32_t(donnees + corps.size()));
            ecrire32(rsrc, std::uint32_t(b.size()));
            ecrire32(rsrc, 1252);
            ecrire32(rsrc, 0);
            corps.append(b);
            aligner(corps, 4);
        }
        rsrc.append(corps);
    }

    // Code: the entry point returns at once (a library's entry returns TRUE).
    QByteArray code = bibliotheque ? QByteArray("\xB8\x01\x00\x00\x00\xC2\x0C\x00", 8)
                                   : QByteArray("\x31\xC0\xC3", 3);
    const std::uint32_t tailleCode = std::uint32_t(code.size());
    aligner(code, alignFichier);
    const std::uint32_t tailleRsrc = std::uint32_t(rsrc.size());
    aligner(rsrc, alignFichier);
    const int nbSections = rsrc.isEmpty() ? 1 : 2;
    auto alignerSection = [](std::uint32_t v) { return (v + alignSection - 1) / alignSection * alignSection; };

    QByteArray o(positionPE, '\0');
    o.replace(0, debut.size(), debut);
    poser32(o, 0x3C, positionPE);
    o.append("PE\0\0", 4);
    // COFF header.
    ecrire16(o, 0x14C);
    ecrire16(o, std::uint32_t(nbSections));
    ecrire32(o, 0);
    ecrire32(o, 0);
    ecrire32(o, 0);
    ecrire16(o, 0xE0);
    ecrire16(o, bibliotheque ? 0x2102 : 0x0103);  // no relocations in the program
    // Optional header (PE32).
    ecrire16(o, 0x10B);
    o.append(char(14));
    o.append(char(0));
    ecrire32(o, std::uint32_t(code.size()));
    ecrire32(o, std::uint32_t(rsrc.size()));
    ecrire32(o, 0);
    ecrire32(o, rvaCode);
    ecrire32(o, rvaCode);
    ecrire32(o, rvaRessources);
    ecrire32(o, bibliotheque ? 0x10000000u : 0x00400000u);
    ecrire32(o, alignSection);
    ecrire32(o, alignFichier);
    ecrire16(o, 5);
    ecrire16(o, 1);
    ecrire16(o, 2);
    ecrire16(o, 0);
    ecrire16(o, 5);
    ecrire16(o, 1);
    ecrire32(o, 0);
    ecrire32(o, rvaRessources + alignerSection(tailleRsrc ? tailleRsrc : 1) * (nbSections - 1));
    ecrire32(o, alignFichier);
    ecrire32(o, 0);
    ecrire16(o, 2);  // GUI
    ecrire16(o, 0);
    ecrire32(o, 0x100000);
    ecrire32(o, 0x1000);
    ecrire32(o, 0x100000);
    ecrire32(o, 0x1000);
    ecrire32(o, 0);
    ecrire32(o, 16);
    for (int i = 0; i < 16; ++i) {
        const bool ressources = i == 2 && !rsrc.isEmpty();
        ecrire32(o, ressources ? rvaRessources : 0);
        ecrire32(o, ressources ? tailleRsrc : 0);
    }
    auto section = [&](const char* nom, std::uint32_t taille, std::uint32_t rva, std::uint32_t tailleBrute,
                       std::uint32_t position, std::uint32_t caracteristiques) {
        QByteArray n(nom);
        n.resize(8, '\0');
        o.append(n);
        ecrire32(o, taille);
        ecrire32(o, rva);
        ecrire32(o, tailleBrute);
        ecrire32(o, position);
        ecrire32(o, 0);
        ecrire32(o, 0);
        ecrire16(o, 0);
        ecrire16(o, 0);
        ecrire32(o, caracteristiques);
    };
    section(".text", tailleCode, rvaCode, std::uint32_t(code.size()), alignFichier, 0x60000020u);
    if (!rsrc.isEmpty())
        section(".rsrc", tailleRsrc, rvaRessources, std::uint32_t(rsrc.size()),
                alignFichier + std::uint32_t(code.size()), 0x40000040u);
    aligner(o, alignFichier);
    o.append(code);
    o.append(rsrc);
    return o;
}

}  // namespace fabrique
