#!/usr/bin/env bash
# Tries a medium on a bare Debian 12 (debootstrap --variant=minbase: no Qt,
# no fonts, no X libraries), as a customer's machine: the medium's setup runs
# in a chroot that reaches only an X server of the host (Xvfb). Opens the
# window, installs by clicks, checks the desktop entries' icon, starts the
# installed program as its menu entry says and looks for its window, and
# prints the medium's sizes and its start-up time beside the build tree's
# wizard. Downloads about 100 MB the first time (the root is kept in ESSAI,
# by default /var/tmp/assistant-essai). Root only.
#
#   scripts/essai_debian_nue.sh [SUPPORT]
#
# SUPPORT is a medium (with setup), or a publisher's folder (Install.inf and
# its files) made into one by support.sh; by default the sample's folder of
# the build tree. The build tree is build/, or ASSISTANT_CONSTRUCTION.
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"
installer_paquets debootstrap xvfb xauth xdotool imagemagick x11-utils xz-utils
ESSAI="${ESSAI:-/var/tmp/assistant-essai}"
construction="$(cd "${ASSISTANT_CONSTRUCTION:-$RACINE/build}" && pwd)"
export ASSISTANT_CONSTRUCTION="$construction"
racine="$ESSAI/racine"
if [ ! -x "$racine/bin/sh" ]; then
    mkdir -p "$ESSAI"
    debootstrap --variant=minbase bookworm "$racine" > "$ESSAI/debootstrap.log"
fi
support="${1:-$construction/support}"
if [ ! -x "$support/setup" ]; then
    rm -rf "$ESSAI/support"
    "$RACINE/scripts/support.sh" "$support" "$ESSAI/support"
    support="$ESSAI/support"
fi

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
echo "Support : $support (groupe « $groupe », programme « $nom » : $programme)"
[ -n "$nom" ] && [ -n "$programme" ] || { echo "erreur : NomProgramme ou Programme manque dans $inf" >&2; exit 1; }

# The chroot: the medium at /media/SUPPORT, a user home, /proc for the
# wizard's drive table, the host's X socket.
rm -rf "$racine/media/SUPPORT" "$racine/root"/* "$racine/root"/.[!.]* 2>/dev/null || true
mkdir -p "$racine/media/SUPPORT" "$racine/tmp/.X11-unix"
cp -a "$support/." "$racine/media/SUPPORT/"
montages=()
monter() { mount --bind "$1" "$2"; montages+=("$2"); }
demonter() { for ((i=${#montages[@]}-1; i>=0; i--)); do umount "${montages[$i]}" || true; done; }
trap demonter EXIT
mount -t proc proc "$racine/proc"; montages+=("$racine/proc")
monter /tmp/.X11-unix "$racine/tmp/.X11-unix"

ecrans="$ESSAI/ecrans"
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
dans=(chroot "$racine" env -i HOME=/root DISPLAY="$DISPLAY" PATH=/usr/bin:/bin)

echo "== Démarrage (ms, 5 fois chacun)"
arbre=(); support_=()
for i in 1 2 3 4 5; do
    arbre+=("$(cd "$construction" && demarrage ./setup)")
    support_+=("$(demarrage "${dans[@]}" /media/SUPPORT/setup)")
done
echo "assistant de l'arbre de construction : ${arbre[*]}"
echo "support sur Debian nue             : ${support_[*]}"

echo "== Installation par clics"
"${dans[@]}" /media/SUPPORT/setup > "$ESSAI/setup.log" 2>&1 &
setup=$!
pids+=("$setup")
if ! w=$(fenetre $setup "$ASSISTANT"); then
    kill $setup 2>/dev/null || true
    code=0; wait $setup || code=$?
    echo "erreur : setup n'a pas ouvert sa fenêtre (code de sortie $code) ; journal :" >&2
    sed 's/^/  /' "$ESSAI/setup.log" >&2
    exit 1
fi
sleep 1
eval "$(xdotool getwindowgeometry --shell "$w")"
clic() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep "${3:-0.7}"; }
import -window root "$ecrans/1-depart.png"
clic 233 244                 # Installer le programme et les fichiers nécessaires
xdotool key alt+s; sleep 0.7 # Suivant
import -window root "$ecrans/2-installation.png"
clic 387 175 2               # Installation du programme
import -window root "$ecrans/3-installe.png"
clic 453 335                 # Terminer >
import -window root "$ecrans/4-finale.png"
kill $setup 2>/dev/null || true
wait $setup 2>/dev/null || true
echo "journal de setup :"; sed 's/^/  /' "$ESSAI/setup.log"

echo "== Entrées de bureau"
menu="$racine/root/.local/share/applications/$groupe/$nom.desktop"
for e in "$menu" "$racine/root/Desktop/$nom.desktop"; do
    [ -f "$e" ] || { echo "erreur : $e manque" >&2; exit 1; }
    icone=$(grep '^Icon=' "$e" | cut -d= -f2-)
    echo "$e : Icon=$icone"
    [ -f "$racine$icone" ] && identify "$racine$icone"
done
ls "$racine/root/.config/menus/applications-merged/"

# As a desktop starts it: the entry's Exec= in its Path=, the entry's own
# escapes undone and its field codes dropped, then read as a shell would.
echo "== Programme installé"
dossier=$(grep -m1 '^Path=' "$menu" | cut -d= -f2-)
commande=$(grep -m1 '^Exec=' "$menu" | cut -d= -f2- | sed -e 's/\\\\/\\/g' -e 's/ *%[fFuUick]//g' -e 's/%%/%/g')
echo "Exec : $commande (dans ${dossier:-/root})"
[ -f "$racine$dossier/$programme" ] || { echo "erreur : $dossier/$programme n'est pas installé" >&2; exit 1; }
"${dans[@]}" sh -c 'cd "${1:-/root}" && eval "exec $2"' sh "$dossier" "$commande" > "$ESSAI/programme.log" 2>&1 &
lance=$!
pids+=("$lance")
nom_motif=$(printf '%s' "$nom" | sed 's/[][\\.*^$+?(){}|]/\\&/g')
if f=$(fenetre $lance "$nom_motif"); then
    sleep 1
    echo "fenêtre « $(xdotool getwindowname "$f") » ouverte"
    import -window root "$ecrans/5-programme.png"
    kill $lance 2>/dev/null || true
else
    kill $lance 2>/dev/null || true
    code=0; wait $lance || code=$?
    echo "erreur : $nom ne s'ouvre pas sur la Debian nue (code de sortie $code) ; son journal :" >&2
    sed 's/^/  /' "$ESSAI/programme.log" >&2
    exit 1
fi

echo "== Taille du support"
du -sh "$support"
echo "tar.xz : $(tar -C "$support" -cf - . | xz -9e -T2 | wc -c) octets"
echo "tar.gz : $(tar -C "$support" -cf - . | gzip -9 | wc -c) octets"
echo "Captures : $ecrans"
