// The sample program that the sample medium installs: a month calendar that
// remembers the last day chosen in its settings file, so that an
// uninstallation has saved settings to erase. It needs nothing beyond a bare
// system: Xlib is linked in statically, and the text is drawn with the X
// server's own "fixed" font, which every server has.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::chrono;
namespace fs = std::filesystem;

const char* const Mois[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                            "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
// Window layout, in pixels: a header band, the days' names, six weeks of
// days, the line about the last day chosen.
constexpr int Largeur = 300, Hauteur = 262, Colonne = 40, Ligne = 28, Marge = 10;
constexpr int Bande = 34, HautGrille = 60, BasGrille = HautGrille + 6 * Ligne;

// The core fonts are Latin-1; the strings here are UTF-8 and all within it.
std::string latin1(const std::string& s)
{
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = s[i];
        if (c >= 0x80 && i + 1 < s.size()) r += static_cast<char>((c & 0x03) << 6 | (s[++i] & 0x3f));
        else r += s[i];
    }
    return r;
}

std::string ecrireJour(year_month_day j)
{
    return std::to_string(unsigned(j.day())) + " " + Mois[unsigned(j.month()) - 1] + " " + std::to_string(int(j.year()));
}

// Where QSettings(IniFormat, UserScope, "Agenda") keeps them.
fs::path cheminReglages()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return fs::path(xdg) / "Agenda.ini";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : "/";
    }
    return fs::path(home) / ".config" / "Agenda.ini";
}

// [Agenda] DernierJour, when it holds a valid YYYY-MM-DD date.
year_month_day lireDernierJour(const fs::path& chemin)
{
    std::ifstream f(chemin);
    std::string ligne, section;
    while (std::getline(f, ligne)) {
        if (!ligne.empty() && ligne.back() == '\r') ligne.pop_back();
        if (ligne.starts_with('[')) section = ligne;
        int a, m, j;
        char reste;
        if (section == "[Agenda]" && ligne.starts_with("DernierJour=") &&
            std::sscanf(ligne.c_str() + 12, "%4d-%2d-%2d%c", &a, &m, &j, &reste) == 3)
            if (const year_month_day d{year(a), month(m), day(j)}; d.ok()) return d;
    }
    return {};
}

// Written whole each time, through a temporary file: a crash never leaves
// half a file for the next start, nor for QSettings.
bool ecrireReglages(const fs::path& chemin, const std::string& lancement, year_month_day jour)
{
    std::error_code erreur;
    fs::create_directories(chemin.parent_path(), erreur);
    std::string texte = "[Agenda]\nDernierLancement=" + lancement + "\n";
    if (jour.ok()) {
        char j[16];
        std::snprintf(j, sizeof j, "%04d-%02u-%02u", int(jour.year()), unsigned(jour.month()), unsigned(jour.day()));
        texte += std::string("DernierJour=") + j + "\n";
    }
    std::string temporaire = chemin.string() + ".XXXXXX";
    const int fd = mkstemp(temporaire.data());
    if (fd < 0) return false;
    bool ok = write(fd, texte.data(), texte.size()) == static_cast<ssize_t>(texte.size());
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temporaire.c_str(), chemin.c_str()) == 0) return true;
    unlink(temporaire.c_str());
    return false;
}

// The 32-pixel icon, as the medium's agenda.png draws it: a page with a
// red header, two binding rings, a grid of days with one marked.
unsigned long pixelIcone(double x, double y)
{
    const auto dans = [&](double x0, double y0, double x1, double y1) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
    if (dans(9, 2, 11, 9) || dans(20, 2, 22, 9)) return 0xff3c4048;
    if (!dans(3, 6, 29, 30)) return 0;
    if (!dans(4, 7, 28, 29)) return y < 13 ? 0xff781a16 : 0xff6e7682;
    if (y < 13) return 0xffc8302a;
    const double cx = (x - 6) / 4, cy = (y - 15) / 4;
    if (cx >= 0 && cx < 5 && cy >= 0 && cy < 3 && cx - std::floor(cx) > 0.15 && cy - std::floor(cy) > 0.15)
        return int(cx) == 3 && int(cy) == 1 ? 0xff1e64c8 : 0xff96a2b4;
    return 0xfff4f6fa;
}

struct Agenda {
    Display* d; Window fenetre; Pixmap tampon; GC gc; XFontStruct* police;
    year_month_day aujourdhui, choisi; year_month mois;
    fs::path reglages; std::string lancement;
    std::map<int, unsigned long> couleurs;  // each one asked of the server once

    unsigned long couleur(int rvb)
    {
        if (const auto i = couleurs.find(rvb); i != couleurs.end()) return i->second;
        XColor c{};
        c.red = ((rvb >> 16) & 0xff) * 257, c.green = ((rvb >> 8) & 0xff) * 257, c.blue = (rvb & 0xff) * 257;
        XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &c);
        return couleurs[rvb] = c.pixel;
    }
    void texte(int x, int y, const std::string& s, int rvb, bool centre = false, bool gras = false)
    {
        const std::string t = latin1(s);
        if (centre) x -= XTextWidth(police, t.data(), int(t.size())) / 2;
        XSetForeground(d, gc, couleur(rvb));
        for (int i = 0; i <= int(gras); ++i) XDrawString(d, tampon, gc, x + i, y, t.data(), int(t.size()));
    }
    void rectangle(int x, int y, int l, int h, int rvb, bool plein = true)
    {
        XSetForeground(d, gc, couleur(rvb));
        plein ? XFillRectangle(d, tampon, gc, x, y, l, h) : XDrawRectangle(d, tampon, gc, x, y, l, h);
    }
    void enregistrer()
    {
        if (!ecrireReglages(reglages, lancement, choisi))
            std::fprintf(stderr, "agenda : impossible d'enregistrer %s\n", reglages.c_str());
    }
    int decalage() const { return int(weekday(sys_days(mois / 1)).iso_encoding()) - 1; }
    int nombreJours() const { return int(unsigned((mois / last).day())); }

    void dessiner()
    {
        const int milieu = (police->ascent - police->descent) / 2;  // from a centre line to the baseline
        rectangle(0, 0, Largeur, Hauteur, 0xffffff);
        rectangle(0, 0, Largeur, Bande, 0xc8302a);
        texte(Largeur / 2, Bande / 2 + milieu, std::string(Mois[unsigned(mois.month()) - 1]) + " " +
                                                   std::to_string(int(mois.year())), 0xffffff, true, true);
        for (int x : {8, Largeur - 32}) rectangle(x, 6, 24, 22, 0xffffff, false);
        texte(20, Bande / 2 + milieu, "<", 0xffffff, true, true);
        texte(Largeur - 20, Bande / 2 + milieu, ">", 0xffffff, true, true);
        const char* const semaine[] = {"lu", "ma", "me", "je", "ve", "sa", "di"};
        for (int c = 0; c < 7; ++c) texte(Marge + c * Colonne + Colonne / 2, 48 + milieu, semaine[c], 0x5a6270, true);
        for (int l = 0; l <= 6; ++l) rectangle(Marge, HautGrille + l * Ligne, 7 * Colonne, 1, 0xd8dde6);
        for (int n = 1; n <= nombreJours(); ++n) {
            const int i = decalage() + n - 1, x = Marge + i % 7 * Colonne, y = HautGrille + i / 7 * Ligne;
            const year_month_day jour = mois / n;
            int encre = i % 7 >= 5 ? 0x8a94a6 : 0x20242a;
            if (jour == choisi) {
                rectangle(x + 3, y + 3, Colonne - 6, Ligne - 5, 0x1e64c8);
                encre = 0xffffff;
            }
            if (jour == aujourdhui) {
                rectangle(x + 2, y + 2, Colonne - 5, Ligne - 4, 0xc8302a, false);
                rectangle(x + 3, y + 3, Colonne - 7, Ligne - 6, 0xc8302a, false);
            }
            texte(x + Colonne / 2, y + Ligne / 2 + milieu, std::to_string(n), encre, true, jour == aujourdhui);
        }
        texte(Largeur / 2, (BasGrille + Hauteur) / 2 + milieu,
              choisi.ok() ? "Dernier jour consulté : " + ecrireJour(choisi) : "Choisissez un jour.", 0x20242a, true);
        XCopyArea(d, tampon, fenetre, gc, 0, 0, Largeur, Hauteur, 0, 0);
    }

    void clic(int x, int y)
    {
        if (y < Bande && x < 40) mois -= months(1);
        else if (y < Bande && x >= Largeur - 40) mois += months(1);
        else if (x >= Marge && x < Marge + 7 * Colonne && y >= HautGrille && y < BasGrille) {
            const int n = (y - HautGrille) / Ligne * 7 + (x - Marge) / Colonne - decalage() + 1;
            if (n < 1 || n > nombreJours()) return;
            choisi = mois / n;
            enregistrer();
        } else return;
        dessiner();
    }
};

}  // namespace

int main()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char lancement[32];
    std::strftime(lancement, sizeof lancement, "%Y-%m-%dT%H:%M:%S", &local);
    Agenda a{};
    a.aujourdhui = year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday;
    a.mois = a.aujourdhui.year() / a.aujourdhui.month();
    a.reglages = cheminReglages();
    a.lancement = lancement;
    a.choisi = lireDernierJour(a.reglages);
    // Each launch is noted at once, display or not: the settings exist from
    // the first run.
    a.enregistrer();

    a.d = XOpenDisplay(nullptr);
    if (!a.d) {
        const char* ecran = std::getenv("DISPLAY");
        std::fprintf(stderr, "agenda : aucun écran graphique accessible (DISPLAY=%s) ; lancez Agenda depuis une session de bureau.\n",
                     ecran ? ecran : "");
        return 1;
    }
    a.police = XLoadQueryFont(a.d, "fixed");
    if (!a.police) {
        std::fprintf(stderr, "agenda : le serveur X n'a pas la police « fixed »\n");
        return 1;
    }
    const int ecran = DefaultScreen(a.d);
    a.fenetre = XCreateSimpleWindow(a.d, RootWindow(a.d, ecran), 0, 0, Largeur, Hauteur, 0, 0, WhitePixel(a.d, ecran));
    a.tampon = XCreatePixmap(a.d, a.fenetre, Largeur, Hauteur, DefaultDepth(a.d, ecran));
    a.gc = XCreateGC(a.d, a.fenetre, 0, nullptr);
    XSetFont(a.d, a.gc, a.police->fid);

    XStoreName(a.d, a.fenetre, "Agenda");
    XChangeProperty(a.d, a.fenetre, XInternAtom(a.d, "_NET_WM_NAME", False), XInternAtom(a.d, "UTF8_STRING", False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>("Agenda"), 6);
    XClassHint classe{const_cast<char*>("agenda"), const_cast<char*>("Agenda")};
    XSetClassHint(a.d, a.fenetre, &classe);
    XSizeHints taille{};
    taille.flags = PMinSize | PMaxSize;
    taille.min_width = taille.max_width = Largeur, taille.min_height = taille.max_height = Hauteur;
    XSetWMNormalHints(a.d, a.fenetre, &taille);
    std::vector<unsigned long> icone{32, 32};  // width, height, pixels; format 32 is longs for Xlib
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) icone.push_back(pixelIcone(x + 0.5, y + 0.5));
    XChangeProperty(a.d, a.fenetre, XInternAtom(a.d, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icone.data()), int(icone.size()));
    const Atom protocoles = XInternAtom(a.d, "WM_PROTOCOLS", False);
    Atom fermer = XInternAtom(a.d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(a.d, a.fenetre, &fermer, 1);
    XSelectInput(a.d, a.fenetre, ExposureMask | ButtonPressMask | KeyPressMask);
    XMapWindow(a.d, a.fenetre);

    for (bool fin = false; !fin;) {
        XEvent e;
        XNextEvent(a.d, &e);
        if (e.type == Expose && e.xexpose.count == 0) a.dessiner();
        else if (e.type == ButtonPress && e.xbutton.button == Button1) a.clic(e.xbutton.x, e.xbutton.y);
        else if (e.type == ClientMessage && e.xclient.message_type == protocoles &&
                 static_cast<Atom>(e.xclient.data.l[0]) == fermer)
            fin = true;
        else if (e.type == KeyPress) {
            const KeySym touche = XLookupKeysym(&e.xkey, 0);
            if (touche == XK_Escape) fin = true;
            else if (touche == XK_Left || touche == XK_Right) {
                a.mois += months(touche == XK_Left ? -1 : 1);
                a.dessiner();
            }
        }
    }
    XCloseDisplay(a.d);
    return 0;
}
