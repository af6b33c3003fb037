#!/usr/bin/env bash
# Tries a medium on a bare Debian (debootstrap --variant=minbase: no Qt, no
# fonts, no X libraries), as a customer's machine: the medium's setup runs
# in a chroot that reaches only an X server of the host (Xvfb). Says which
# C runtime the wizard runs with (the machine's or the medium's), opens the
# window and reads its text, installs by clicks up to "Installation
# terminée", checks the desktop entries and their icon, starts the installed
# program as its menu entry says and says whether its window opened, then
# uninstalls, installs and uninstalls again by the command line. Prints the
# start-up times, the launcher's probe cost and the medium's sizes, and
# keeps screenshots. Root only.
#
#   scripts/essai_debian_nue.sh [--modele RACINE] VERSION [SUPPORT]
#
# VERSION is 11, 12 or 13. SUPPORT is a medium (with setup), or a
# publisher's folder (Install.inf and its files) made into one by
# support.sh; by default the sample's folder of the build tree (build/, or
# ASSISTANT_CONSTRUCTION). The root is kept in ESSAI (by default
# /var/tmp/assistant-essai-USER), one per version, made the first time by
# debootstrap (about 100 MB downloaded) or copied from RACINE, a minbase
# root of that version made before. The exit status is 0 when every check
# passed.
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"

usage() { echo "usage : $0 [--modele RACINE] 11|12|13 [SUPPORT]" >&2; exit 2; }
modele=""
if [ "${1:-}" = "--modele" ]; then
    [ $# -ge 2 ] || usage
    modele="$2"
    shift 2
fi
[ $# -ge 1 ] && [ $# -le 2 ] || usage
case "$1" in 11) suite=bullseye ;; 12) suite=bookworm ;; 13) suite=trixie ;; *) usage ;; esac
version="$1"
[ "$(id -u)" -eq 0 ] || { echo "erreur : l'essai se fait en root (chroot, montages)" >&2; exit 1; }
installer_paquets debootstrap xvfb xauth xdotool imagemagick x11-utils xz-utils tesseract-ocr tesseract-ocr-fra

ESSAI="${ESSAI:-/var/tmp/assistant-essai-$(id -un)}"
mkdir -p "$ESSAI"
# One trial at a time in a folder: they share its roots.
exec 9>"$ESSAI/verrou"
flock -n 9 || { echo "erreur : un autre essai tourne déjà dans $ESSAI" >&2; exit 1; }
construction="$(cd "${ASSISTANT_CONSTRUCTION:-$RACINE/build}" && pwd)"
export ASSISTANT_CONSTRUCTION="$construction"

racine="$ESSAI/debian-$version"
if [ ! -x "$racine/bin/sh" ]; then
    rm -rf "$racine.partiel"
    if [ -n "$modele" ]; then
        [ -x "$modele/bin/sh" ] || { echo "erreur : $modele n'est pas une racine Debian" >&2; exit 1; }
        cp -a "$modele/." "$racine.partiel/"
    else
        echo "debootstrap $suite (journal : $ESSAI/debootstrap-$version.log)"
        debootstrap --variant=minbase "$suite" "$racine.partiel" > "$ESSAI/debootstrap-$version.log" 2>&1
    fi
    mv "$racine.partiel" "$racine"
fi
support="${2:-$construction/support}"
if [ ! -x "$support/setup" ]; then
    rm -rf "$ESSAI/support"
    "$RACINE/scripts/support.sh" "$support" "$ESSAI/support"
    support="$ESSAI/support"
fi
support="$(cd "$support" && pwd)"

# The names the wizard will use, read as it reads them: the first "Clé="
# after the section's title. The file may be Windows-1252 or UTF-8.
inf="$(find "$support" -maxdepth 1 -iname install.inf | head -1)"
if iconv -f UTF-8 -t UTF-8 "$inf" >/dev/null 2>&1; then
    texte_inf="$(sed '1s/^\xef\xbb\xbf//' "$inf" | tr -d '\r')"
else
    texte_inf="$(iconv -f WINDOWS-1252 -t UTF-8 "$inf" | tr -d '\r')"
fi
valeur_inf() {
    local reste="$texte_inf"
    case "$reste" in *"[$1]"*) reste="${reste#*"[$1]"}" ;; esac
    case "$reste" in *"$2="*) reste="${reste#*"$2="}" ;; *) return 0 ;; esac
    printf '%s' "${reste%%$'\n'*}"
}
groupe="$(valeur_inf Général NomGroupeDéfaut)"
groupe="${groupe//\\//}"
nom="$(valeur_inf Général NomProgramme)"
programme="$(valeur_inf Général Programme)"
programme="${programme//\\//}"
repertoire="$(valeur_inf Général RépertoireInstallDéfaut)"
repertoire="${repertoire//\\//}"
echo "Debian $version ($suite, $racine) ; support : $support (groupe « $groupe », programme « $nom » : $programme)"
[ -n "$nom" ] && [ -n "$programme" ] || { echo "erreur : NomProgramme ou Programme manque dans $inf" >&2; exit 1; }

reussis=0
echecs=0
ok() { echo "OK : $*"; reussis=$((reussis + 1)); }
echec() { echo "ÉCHEC : $*"; echecs=$((echecs + 1)); }

# The chroot: the medium at /media/SUPPORT, an empty home, /proc for the
# wizard's drive table, /dev/pts for a program that wants a terminal, the
# host's X socket.
rm -rf "$racine/media/SUPPORT" "$racine/root" "$racine/tmp"/* "$racine/tmp"/.[!.]* 2>/dev/null || true
mkdir -p "$racine/media/SUPPORT" "$racine/root" "$racine/tmp/.X11-unix"
chmod 700 "$racine/root"
cp -a "$support/." "$racine/media/SUPPORT/"
montages=()
demonter() { for ((i=${#montages[@]}-1; i>=0; i--)); do umount "${montages[$i]}" || true; done; montages=(); }
mount -t proc proc "$racine/proc"; montages+=("$racine/proc")
mount --bind /dev/pts "$racine/dev/pts"; montages+=("$racine/dev/pts")
mount --bind /tmp/.X11-unix "$racine/tmp/.X11-unix"; montages+=("$racine/tmp/.X11-unix")

ecrans="$ESSAI/ecrans-$version"
rm -rf "$ecrans"
mkdir -p "$ecrans"
# A display of our own: the server picks a free number and writes it once
# it accepts connections. -noreset: otherwise the server resets each time
# its last client leaves, and refuses the next wizard started meanwhile.
: > "$ESSAI/ecran"
Xvfb -displayfd 3 -noreset -screen 0 800x500x24 -nolisten tcp 3>"$ESSAI/ecran" >/dev/null 2>&1 &
xvfb=$!
pids=()
arreter() { for p in "${pids[@]}" "$xvfb"; do kill "$p" 2>/dev/null || true; done; demonter; }
trap arreter EXIT
for _ in $(seq 100); do
    [ -s "$ESSAI/ecran" ] && break
    kill -0 $xvfb 2>/dev/null || { echo "erreur : Xvfb s'est arrêté au démarrage" >&2; exit 1; }
    sleep 0.1
done
[ -s "$ESSAI/ecran" ] || { echo "erreur : Xvfb n'a pas ouvert d'écran en 10 s" >&2; exit 1; }
export DISPLAY=":$(head -1 "$ESSAI/ecran")"
echo "Écran : $DISPLAY"

# The window whose name matches $2, once it is on the screen (looked for
# every 10 ms, about 40 s at most), while process $1 lives. Fails saying
# why on stderr.
fenetre() {
    for _ in $(seq 1000); do
        xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1 | grep . && return 0
        if ! kill -0 "$1" 2>/dev/null; then
            echo "le processus s'est arrêté sans ouvrir de fenêtre « $2 »" >&2
            return 1
        fi
        sleep 0.01
    done
    echo "aucune fenêtre « $2 » au bout de 40 s" >&2
    return 1
}
ASSISTANT="Assistant d'installation"
# Start-up: from the start of the process to its window on the screen;
# "échec" when it never came.
demarrage() {
    local debut fin
    debut=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    local pid=$!
    if ! fenetre $pid "$ASSISTANT" >/dev/null; then
        echo échec
        return
    fi
    fin=$(date +%s%N)
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "$ASSISTANT" >/dev/null 2>&1 || break
        sleep 0.05
    done
    echo $(( (fin - debut) / 1000000 ))
}
# The text of window $1 as a reader sees it, read from screenshot $2.
lire() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    convert "$2" -crop "${WIDTH}x${HEIGHT}+$X+$Y" -resize 300% -colorspace Gray "$ecrans/lecture.png"
    tesseract "$ecrans/lecture.png" - -l fra 2>/dev/null | tr -s ' \n' ' '
}
sans_ecran=(chroot "$racine" env -i HOME=/root PATH=/usr/bin:/bin)
dans=("${sans_ecran[@]}" DISPLAY="$DISPLAY")

echo "== Démarrage (ms, 5 fois chacun)"
arbre=(); support_=()
for i in 1 2 3 4 5; do
    arbre+=("$(cd "$construction" && demarrage ./setup)")
    support_+=("$(demarrage "${dans[@]}" /media/SUPPORT/setup)")
done
echo "assistant de l'arbre de construction : ${arbre[*]}"
echo "support sur Debian $version nue       : ${support_[*]}"

echo "== Fenêtre"
"${dans[@]}" /media/SUPPORT/setup > "$ESSAI/setup.log" 2>&1 &
setup=$!
pids+=("$setup")
if ! w=$(fenetre $setup "$ASSISTANT"); then
    kill $setup 2>/dev/null || true
    code=0; wait $setup || code=$?
    echec "setup n'a pas ouvert sa fenêtre (code de sortie $code) ; journal :"
    sed 's/^/  /' "$ESSAI/setup.log"
    echo "$reussis réussi(s), $echecs échec(s)"
    exit 1
fi
sleep 1
# The launcher starts the wizard in its own process: the machine's loader
# runs it as itself, the medium's as the loader.
exe=$(readlink "/proc/$setup/exe")
case "$exe" in
    */assistant/runtime/ld-linux-x86-64.so.2) execution="celui du support (assistant/runtime)" ;;
    */assistant/setup) execution="celui de la machine" ;;
    *) execution="inconnu ($exe)" ;;
esac
echo "environnement d'exécution C et C++ : $execution"
# With the medium's runtime, none of the machine's C runtime is mapped.
melange=$(awk '$6 ~ /\/lib(c|m|pthread|dl|rt|resolv|util|anl|nss_[a-z]+|stdc\+\+|gcc_s)[-.][0-9a-z.]*so|\/ld-/ {print $6}' \
    "/proc/$setup/maps" | sort -u | grep -v "^$racine/media/SUPPORT/" || true)
case "$execution" in
    celui\ du\ support*) [ -z "$melange" ] && ok "aucune bibliothèque C ou C++ de la machine chargée" \
                             || echec "runtime mêlé à celui de la machine : $melange" ;;
esac
eval "$(xdotool getwindowgeometry --shell "$w")"
clic() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep "${3:-0.7}"; }
import -window root "$ecrans/1-depart.png"
texte=$(lire "$w" "$ecrans/1-depart.png")
# The welcome text ends with the program group's name.
case "$texte" in *"Bienvenue dans le programme d"*"$groupe"*"Installer le programme"*)
    ok "fenêtre ouverte, texte lisible : « ${texte:0:100}… »" ;;
    *) echec "texte de la fenêtre illisible : « $texte »" ;; esac

echo "== Installation par clics"
clic 233 244                 # Installer le programme et les fichiers nécessaires
xdotool key alt+s; sleep 0.7 # Suivant
import -window root "$ecrans/2-installation.png"
clic 387 175 2               # Installation du programme
import -window root "$ecrans/3-installe.png"
texte=$(lire "$w" "$ecrans/3-installe.png")
case "$texte" in *"Installation terminée"*) ok "l'installation par clics finit sur « Installation terminée »" ;;
    *) echec "pas de « Installation terminée » : « $texte »" ;; esac
clic 453 335                 # Terminer >
import -window root "$ecrans/4-finale.png"
kill $setup 2>/dev/null || true
wait $setup 2>/dev/null || true
echo "journal de setup :"; sed 's/^/  /' "$ESSAI/setup.log"

echo "== Entrées de bureau"
menu="$racine/root/.local/share/applications/$groupe/$nom.desktop"
for e in "$menu" "$racine/root/Desktop/$nom.desktop"; do
    [ -f "$e" ] || { echec "$e manque"; continue; }
    icone=$(grep -m1 '^Icon=' "$e" | cut -d= -f2-)
    # A file of the installation, or a name of the icon theme.
    case "$icone" in
        /*) fichier="$racine$icone" ;;
        *) fichier=$(find "$racine/root/.local/share/icons/hicolor" "$racine/usr/local/share/icons/hicolor" \
                          "$racine/usr/share/icons/hicolor" -name "$icone.*" 2>/dev/null | head -1 || true) ;;
    esac
    if [ -n "$icone" ] && [ -f "$fichier" ]; then
        ok "$e : Icon=$icone ($(identify "$fichier" 2>/dev/null | head -1 | cut -d' ' -f2-4))"
    else
        echec "$e : Icon=$icone introuvable"
    fi
done

# As a desktop starts it: the entry's Exec= in its Path=, the entry's own
# escapes undone and its field codes dropped, then read as a shell would.
echo "== Programme installé"
if [ -f "$menu" ]; then
    dossier=$(grep -m1 '^Path=' "$menu" | cut -d= -f2-)
    commande=$(grep -m1 '^Exec=' "$menu" | cut -d= -f2- | sed -e 's/\\\\/\\/g' -e 's/ *%[fFuUick]//g' -e 's/%%/%/g')
    echo "Exec : $commande (dans ${dossier:-/root})"
    "${dans[@]}" sh -c 'cd "${1:-/root}" && eval "exec $2"' sh "$dossier" "$commande" > "$ESSAI/programme.log" 2>&1 &
    lance=$!
    pids+=("$lance")
    nom_motif=$(printf '%s' "$nom" | sed 's/[][\\.*^$+?(){}|]/\\&/g')
    if f=$(fenetre $lance "$nom_motif" 2>/dev/null); then
        sleep 1
        ok "$nom a ouvert sa fenêtre « $(xdotool getwindowname "$f") »"
        import -window root "$ecrans/5-programme.png"
        kill $lance 2>/dev/null || true
    else
        kill $lance 2>/dev/null || true
        code=0; wait $lance || code=$?
        echec "$nom n'a pas ouvert de fenêtre (code de sortie $code) ; son journal :"
        sed 's/^/  /' "$ESSAI/programme.log"
    fi
fi

echo "== Ligne de commande"
installe="$racine/root/$repertoire/$programme"
ligne() {   # what it does, what is expected of the program's file afterwards (present or absent), options
    local quoi=$1 attendu=$2 code=0; shift 2
    "${sans_ecran[@]}" /media/SUPPORT/setup "$@" > "$ESSAI/ligne.log" 2>&1 || code=$?
    local present=absent; [ -f "$installe" ] && present=present
    if [ $code -eq 0 ] && [ $present = "$attendu" ]; then
        ok "$quoi : code 0, $(tail -1 "$ESSAI/ligne.log")"
    else
        echec "$quoi : code $code, $programme $present ; journal :"
        sed 's/^/  /' "$ESSAI/ligne.log"
    fi
}
ligne "désinstallation de l'installation par clics" absent --silencieux --desinstaller
ligne "installation" present --silencieux
ligne "désinstallation" absent --silencieux --desinstaller

echo "== Coût de la sonde du lanceur (setup --aide, ms, moyenne de 20)"
aide() {
    local debut=$(date +%s%N)
    for _ in $(seq 20); do "${sans_ecran[@]}" "$@" /media/SUPPORT/setup --aide >/dev/null 2>&1; done
    echo $(( ($(date +%s%N) - debut) / 20000000 ))
}
case "$execution" in celui\ du\ support*) choix=support ;; *) choix=machine ;; esac
echo "avec la sonde : $(aide) ; sans (ASSISTANT_EXECUTION=$choix) : $(aide env ASSISTANT_EXECUTION=$choix)"

echo "== Taille du support"
du -sh "$support"
echo "tar.xz : $(tar -C "$support" -cf - . | xz -9e -T2 | wc -c) octets"
echo "tar.gz : $(tar -C "$support" -cf - . | gzip -9 | wc -c) octets"
echo "Captures : $ecrans"
echo "$reussis réussi(s), $echecs échec(s)"
[ $echecs -eq 0 ]
