#!/usr/bin/env bash
# Tries a medium on a bare Debian 12 (debootstrap --variant=minbase: no Qt,
# no fonts, no X libraries), as a customer's machine: the medium's setup runs
# in a chroot that reaches only an X server of the host (Xvfb). Opens the
# window, installs by clicks, checks the desktop entries' icon, and prints
# the medium's sizes and its start-up time beside the build tree's wizard.
# Downloads about 100 MB the first time (the root is kept in ESSAI, by
# default /var/tmp/assistant-essai). Root only.
#
#   scripts/essai_debian_nue.sh [SUPPORT]     (default: a medium made from the sample)
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"
installer_paquets debootstrap xvfb xauth xdotool imagemagick x11-utils xz-utils
ESSAI="${ESSAI:-/var/tmp/assistant-essai}"
racine="$ESSAI/racine"
if [ ! -x "$racine/bin/sh" ]; then
    mkdir -p "$ESSAI"
    debootstrap --variant=minbase bookworm "$racine" > "$ESSAI/debootstrap.log"
fi
support="${1:-}"
if [ -z "$support" ]; then
    support="$ESSAI/support"
    rm -rf "$support"
    "$RACINE/scripts/support.sh" "$RACINE/build/support" "$support"
fi

# The chroot: the medium at /media/AGENDA, a user home, /proc for the
# wizard's drive table, the host's X socket.
rm -rf "$racine/media/AGENDA" "$racine/root"/* "$racine/root"/.[!.]* 2>/dev/null || true
mkdir -p "$racine/media/AGENDA" "$racine/tmp/.X11-unix"
cp -a "$support/." "$racine/media/AGENDA/"
montages=()
monter() { mount --bind "$1" "$2"; montages+=("$2"); }
demonter() { for ((i=${#montages[@]}-1; i>=0; i--)); do umount "${montages[$i]}" || true; done; }
trap demonter EXIT
mount -t proc proc "$racine/proc"; montages+=("$racine/proc")
monter /tmp/.X11-unix "$racine/tmp/.X11-unix"

ecrans="$ESSAI/ecrans"
mkdir -p "$ecrans"
Xvfb :57 -screen 0 800x500x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb; demonter' EXIT
export DISPLAY=:57
sleep 1

# The wizard's window, once it is on the screen (looked for every 10 ms).
fenetre() {
    for _ in $(seq 1000); do
        xdotool search --onlyvisible --name "Assistant d'installation" 2>/dev/null | head -1 | grep . && return
        sleep 0.01
    done
}
# Start-up: from the start of the process to its window on the screen.
demarrage() {
    local debut fin
    debut=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    local pid=$!
    fenetre >/dev/null
    fin=$(date +%s%N)
    kill $pid; wait $pid 2>/dev/null || true
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "Assistant d'installation" >/dev/null 2>&1 || break
        sleep 0.05
    done
    echo $(( (fin - debut) / 1000000 ))
}
dans=(chroot "$racine" env -i HOME=/root DISPLAY=:57 PATH=/usr/bin:/bin)

echo "== Démarrage (ms, 5 fois chacun)"
arbre=(); support_=()
for i in 1 2 3 4 5; do
    arbre+=("$(cd "$RACINE/build" && demarrage ./setup)")
    support_+=("$(demarrage "${dans[@]}" /media/AGENDA/setup)")
done
echo "assistant de l'arbre de construction : ${arbre[*]}"
echo "support sur Debian nue             : ${support_[*]}"

echo "== Installation par clics"
"${dans[@]}" /media/AGENDA/setup > "$ESSAI/setup.log" 2>&1 &
setup=$!
w=$(fenetre)
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
echo "journal de setup :"; sed 's/^/  /' "$ESSAI/setup.log"

echo "== Entrées de bureau"
for e in "$racine/root/.local/share/applications/Agenda/Agenda.desktop" "$racine/root/Desktop/Agenda.desktop"; do
    icone=$(grep '^Icon=' "$e" | cut -d= -f2-)
    echo "$e : Icon=$icone"
    [ -f "$racine$icone" ] && identify "$racine$icone"
done
ls "$racine/root/.config/menus/applications-merged/"

echo "== Taille du support"
du -sh "$support"
echo "tar.xz : $(tar -C "$support" -cf - . | xz -9e -T2 | wc -c) octets"
echo "tar.gz : $(tar -C "$support" -cf - . | gzip -9 | wc -c) octets"
echo "Captures : $ecrans"
