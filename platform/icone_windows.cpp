// Icons of Windows program files, libraries and .ico files.
//
// The file is untrusted: every offset and size read from it is checked
// against its length before use, and the number of directory entries looked
// at is bounded, so that a damaged or hostile file gives no icon rather than
// a crash or a long stall.
#include "platform/linux_interne.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace plateforme {
namespace {

// Real icons have a handful of images; more are not looked at.
constexpr int ImagesExaminees = 64;
// Larger images are refused before anything is allocated for them.
constexpr int CoteMaximum = 1024;
// The file's bytes; reads outside them give 0 and are never relied on, as
// each structure is checked with `contient` first.
class Octets {
public:
    Octets(const uchar* donnees, std::uint64_t taille) : d_(donnees), n_(taille) {}
    std::uint64_t taille() const { return n_; }
    bool contient(std::uint64_t position, std::uint64_t longueur) const
    {
        return position <= n_ && longueur <= n_ - position;
    }
    const uchar* a(std::uint64_t position) const { return d_ + position; }
    std::uint32_t u8(std::uint64_t p) const { return contient(p, 1) ? d_[p] : 0; }
    std::uint32_t u16(std::uint64_t p) const
    {
        return contient(p, 2) ? std::uint32_t(d_[p]) | std::uint32_t(d_[p + 1]) << 8 : 0;
    }
    std::uint32_t u32(std::uint64_t p) const
    {
        return contient(p, 4) ? u16(p) | u16(p + 2) << 16 : 0;
    }
    std::uint32_t be32(std::uint64_t p) const
    {
        return contient(p, 4) ? std::uint32_t(d_[p]) << 24 | std::uint32_t(d_[p + 1]) << 16 |
                                    std::uint32_t(d_[p + 2]) << 8 | std::uint32_t(d_[p + 3])
                              : 0;
    }
    Octets partie(std::uint64_t position, std::uint64_t longueur) const
    {
        return contient(position, longueur) ? Octets(d_ + position, longueur) : Octets(d_, 0);
    }

private:
    const uchar* d_;
    std::uint64_t n_;
};

// One image of an icon, as its own header describes it.
struct Candidat {
    Octets donnees;
    int largeur = 0, hauteur = 0, bpp = 0;
    bool png = false;
};

bool estPng(const Octets& d)
{
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return d.contient(0, 8) && std::equal(signature, signature + 8, d.a(0));
}

std::optional<Candidat> decrire(const Octets& d)
{
    Candidat c{d};
    if (estPng(d)) {
        if (!d.contient(12, 12) || std::string_view(reinterpret_cast<const char*>(d.a(12)), 4) != "IHDR")
            return std::nullopt;
        const std::uint32_t w = d.be32(16), h = d.be32(20);
        if (w < 1 || h < 1 || w > CoteMaximum || h > CoteMaximum) return std::nullopt;
        c.largeur = int(w);
        c.hauteur = int(h);
        c.bpp = 32;
        c.png = true;
        return c;
    }
    const std::uint32_t tailleEnTete = d.u32(0);
    if (tailleEnTete < 40 || !d.contient(0, tailleEnTete)) return std::nullopt;
    const auto w = std::int32_t(d.u32(4));
    const auto hh = std::int32_t(d.u32(8));
    const int bpp = int(d.u16(14));
    const std::uint32_t compression = d.u32(16);
    // The height counts the colour rows and the mask rows.
    const std::int64_t h = std::abs(std::int64_t(hh)) / 2;
    if (w < 1 || w > CoteMaximum || h < 1 || h > CoteMaximum || compression != 0) return std::nullopt;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
    c.largeur = w;
    c.hauteur = int(h);
    c.bpp = bpp;
    return c;
}

QImage decoderDib(const Candidat& c)
{
    const Octets& d = c.donnees;
    const int w = c.largeur, h = c.hauteur, bpp = c.bpp;
    const std::uint64_t tailleEnTete = d.u32(0);
    const bool basEnHaut = std::int32_t(d.u32(8)) > 0;

    std::vector<QRgb> palette;
    std::uint64_t position = tailleEnTete;
    if (bpp <= 8) {
        const std::uint32_t maximum = 1u << bpp;
        std::uint32_t n = d.u32(32);
        if (n == 0 || n > maximum) n = maximum;
        if (!d.contient(position, std::uint64_t(n) * 4)) return {};
        for (std::uint32_t i = 0; i < n; ++i) {
            const uchar* q = d.a(position + i * 4);
            palette.push_back(qRgb(q[2], q[1], q[0]));
        }
        position += std::uint64_t(n) * 4;
    }
    const std::uint64_t pasCouleur = (std::uint64_t(w) * bpp + 31) / 32 * 4;
    const std::uint64_t pasMasque = (std::uint64_t(w) + 31) / 32 * 4;
    if (!d.contient(position, pasCouleur * h)) return {};
    const std::uint64_t positionMasque = position + pasCouleur * h;
    // A 32-bit image carries its own alpha; some writers leave its mask out.
    const bool masque = d.contient(positionMasque, pasMasque * h);
    if (!masque && bpp != 32) return {};

    QImage img(w, h, QImage::Format_ARGB32);
    if (img.isNull()) return {};
    bool alphaPresent = false;
    for (int y = 0; y < h; ++y) {
        const int ligne = basEnHaut ? h - 1 - y : y;
        const uchar* src = d.a(position + pasCouleur * ligne);
        auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            switch (bpp) {
            case 32:
                dst[x] = qRgba(src[x * 4 + 2], src[x * 4 + 1], src[x * 4], src[x * 4 + 3]);
                alphaPresent = alphaPresent || src[x * 4 + 3] != 0;
                break;
            case 24:
                dst[x] = qRgb(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]);
                break;
            default: {
                const int parOctet = 8 / bpp;
                const int decalage = 8 - bpp * (x % parOctet + 1);
                const std::size_t i = (src[x / parOctet] >> decalage) & ((1 << bpp) - 1);
                dst[x] = i < palette.size() ? palette[i] : qRgb(0, 0, 0);
            }
            }
        }
    }
    // Without an alpha channel the mask says which pixels are transparent.
    if (masque && !alphaPresent) {
        for (int y = 0; y < h; ++y) {
            const int ligne = basEnHaut ? h - 1 - y : y;
            const uchar* src = d.a(positionMasque + pasMasque * ligne);
            auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const bool transparent = (src[x / 8] >> (7 - x % 8)) & 1;
                dst[x] = transparent ? qRgba(0, 0, 0, 0) : (dst[x] | 0xFF000000u);
            }
        }
    } else if (!alphaPresent) {
        for (int y = 0; y < h; ++y) {
            auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) dst[x] |= 0xFF000000u;
        }
    }
    return img;
}

QImage decoder(const Candidat& c, int taille)
{
    // A PNG image under the limits of any picture, at the size drawn.
    if (c.png)
        return interne::decoderPng(QByteArray::fromRawData(reinterpret_cast<const char*>(c.donnees.a(0)),
                                                           qsizetype(c.donnees.taille())), taille);
    return interne::auCarre(decoderDib(c), taille);
}

// The best image: the size asked for with the most colours; otherwise the
// nearest size (a larger one before a smaller one at the same distance, as
// it loses less when scaled), then the most colours. An image that cannot be
// decoded gives way to the next one.
QImage meilleure(std::vector<Candidat> candidats, int taille)
{
    auto ecart = [&](const Candidat& c) { return std::abs(c.largeur - taille) + std::abs(c.hauteur - taille); };
    std::stable_sort(candidats.begin(), candidats.end(), [&](const Candidat& a, const Candidat& b) {
        if (ecart(a) != ecart(b)) return ecart(a) < ecart(b);
        const bool aPlusGrand = a.largeur >= taille, bPlusGrand = b.largeur >= taille;
        if (aPlusGrand != bPlusGrand) return aPlusGrand;
        return a.bpp > b.bpp;
    });
    for (const Candidat& c : candidats) {
        QImage img = decoder(c, taille);
        if (!img.isNull()) return img;
    }
    return {};
}

QImage iconeIco(const Octets& f, int taille)
{
    if (!f.contient(0, 6) || f.u16(0) != 0 || f.u16(2) != 1) return {};
    const int nombre = std::min<int>(int(f.u16(4)), ImagesExaminees);
    std::vector<Candidat> candidats;
    for (int i = 0; i < nombre; ++i) {
        const std::uint64_t entree = 6 + 16 * std::uint64_t(i);
        if (!f.contient(entree, 16)) break;
        const std::uint32_t taille = f.u32(entree + 8), position = f.u32(entree + 12);
        if (!f.contient(position, taille)) continue;
        if (auto c = decrire(f.partie(position, taille))) candidats.push_back(*c);
    }
    return meilleure(std::move(candidats), taille);
}

// The resources of a PE file: section table and resource directory.
class Ressources {
public:
    explicit Ressources(const Octets& f) : f_(f)
    {
        if (!f.contient(0, 0x40) || f.u16(0) != 0x5A4D) return;
        const std::uint64_t pe = f.u32(0x3C);
        if (!f.contient(pe, 24) || f.u32(pe) != 0x00004550) return;
        const std::uint64_t coff = pe + 4;
        const std::uint32_t sections = f.u16(coff + 2);
        const std::uint32_t tailleOptionnel = f.u16(coff + 16);
        const std::uint64_t optionnel = coff + 20;
        if (!f.contient(optionnel, tailleOptionnel)) return;
        std::uint32_t repertoires;
        switch (f.u16(optionnel)) {
        case 0x10B: repertoires = 96; break;   // PE32
        case 0x20B: repertoires = 112; break;  // PE32+
        default: return;
        }
        if (tailleOptionnel < repertoires + 3 * 8 || f.u32(optionnel + repertoires - 4) < 3) return;
        const std::uint32_t rvaRessources = f.u32(optionnel + repertoires + 16);
        sections_ = optionnel + tailleOptionnel;
        if (!f.contient(sections_, std::uint64_t(sections) * 40)) return;
        nombreSections_ = sections;
        if (rvaRessources == 0) return;
        if (auto p = position(rvaRessources, 16)) base_ = *p;
    }

    bool valide() const { return base_.has_value(); }

    // File position of `longueur` bytes at a virtual address, when they lie
    // in the raw data of one section.
    std::optional<std::uint64_t> position(std::uint32_t rva, std::uint64_t longueur) const
    {
        for (std::uint32_t i = 0; i < nombreSections_; ++i) {
            const std::uint64_t s = sections_ + 40 * std::uint64_t(i);
            const std::uint32_t adresse = f_.u32(s + 12), tailleBrute = f_.u32(s + 16), brute = f_.u32(s + 20);
            if (rva < adresse || rva - adresse >= tailleBrute) continue;
            const std::uint64_t decalage = rva - adresse;
            if (longueur > tailleBrute - decalage) return std::nullopt;
            const std::uint64_t p = brute + decalage;
            if (!f_.contient(p, longueur)) return std::nullopt;
            return p;
        }
        return std::nullopt;
    }

    // The data of resource `type`: the entry of identifier `id` (the first
    // entry when absent), in its first language.
    std::optional<Octets> donnees(std::uint32_t type, std::optional<std::uint32_t> id) const
    {
        if (!base_) return std::nullopt;
        auto t = entree(0, type);
        if (!t || !(*t & 0x80000000u)) return std::nullopt;
        auto n = id ? entree(*t & 0x7FFFFFFFu, *id) : entree(*t & 0x7FFFFFFFu, std::nullopt);
        if (!n) return std::nullopt;
        std::uint32_t v = *n;
        // Down through the language level to the data entry.
        for (int niveau = 0; (v & 0x80000000u) && niveau < 2; ++niveau) {
            auto l = entree(v & 0x7FFFFFFFu, std::nullopt);
            if (!l) return std::nullopt;
            v = *l;
        }
        if (v & 0x80000000u) return std::nullopt;
        const std::uint64_t donnee = *base_ + v;
        if (!f_.contient(donnee, 16)) return std::nullopt;
        const std::uint32_t taille = f_.u32(donnee + 4);
        auto p = position(f_.u32(donnee), taille);
        if (!p) return std::nullopt;
        return f_.partie(*p, taille);
    }

private:
    // In the directory at `decalage` from the resource base: the value of
    // the entry with identifier `id`, or of the first entry.
    std::optional<std::uint32_t> entree(std::uint32_t decalage, std::optional<std::uint32_t> id) const
    {
        const std::uint64_t rep = *base_ + decalage;
        if (!f_.contient(rep, 16)) return std::nullopt;
        const std::uint32_t nommees = f_.u16(rep + 12), numerotees = f_.u16(rep + 14);
        const std::uint32_t total = nommees + numerotees;
        if (total == 0 || !f_.contient(rep + 16, std::uint64_t(total) * 8)) return std::nullopt;
        if (!id) return f_.u32(rep + 16 + 4);
        for (std::uint32_t i = nommees; i < total; ++i) {
            const std::uint64_t e = rep + 16 + 8 * std::uint64_t(i);
            if (f_.u32(e) == *id) return f_.u32(e + 4);
        }
        return std::nullopt;
    }

    Octets f_;
    std::uint64_t sections_ = 0;
    std::uint32_t nombreSections_ = 0;
    std::optional<std::uint64_t> base_;
};

constexpr std::uint32_t RT_ICON = 3, RT_GROUP_ICON = 14;

QImage iconePe(const Octets& f, int taille)
{
    const Ressources r(f);
    if (!r.valide()) return {};
    const auto groupe = r.donnees(RT_GROUP_ICON, std::nullopt);
    if (!groupe || !groupe->contient(0, 6) || groupe->u16(0) != 0 || groupe->u16(2) != 1) return {};
    const int nombre = std::min<int>(int(groupe->u16(4)), ImagesExaminees);
    std::vector<Candidat> candidats;
    for (int i = 0; i < nombre; ++i) {
        const std::uint64_t e = 6 + 14 * std::uint64_t(i);
        if (!groupe->contient(e, 14)) break;
        const auto image = r.donnees(RT_ICON, groupe->u16(e + 12));
        if (!image) continue;
        if (auto c = decrire(*image)) candidats.push_back(*c);
    }
    return meilleure(std::move(candidats), taille);
}

}  // namespace

QImage interne::iconeWindows(const QByteArray& octets, int taille)
{
    const Octets f(reinterpret_cast<const uchar*>(octets.constData()), std::uint64_t(octets.size()));
    if (f.u16(0) == 0x5A4D) return iconePe(f, taille);
    return iconeIco(f, taille);
}

QImage interne::auCarre(const QImage& image, int taille)
{
    if (image.isNull()) return {};
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    if (img.size() == QSize(taille, taille)) return img;
    const QImage reduite = img.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                               .scaled(taille, taille, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage finale(taille, taille, QImage::Format_ARGB32_Premultiplied);
    finale.fill(Qt::transparent);
    QPainter p(&finale);
    p.drawImage((taille - reduite.width()) / 2, (taille - reduite.height()) / 2, reduite);
    p.end();
    return finale.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace plateforme
