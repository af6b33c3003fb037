#!/usr/bin/env bash
# A medium made by scripts/support.sh needs nothing of the machine beyond
# the base system: what setup and every carried library load (ldd, then the
# libraries really mapped by a running setup, under Xvfb and offscreen) lies
# in the medium or among the base system's libraries. The script refuses a
# folder it cannot make a medium of, and on a small screen at a scale factor
# of 2 the window opens wholly on the screen.
#
#   tests/support_autonome.sh BUILD_DIR
set -uo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
construction="$(cd "$1" && pwd)"
export ASSISTANT_CONSTRUCTION="$construction"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
echecs=0
echec() { echo "ÉCHEC : $*"; echecs=$((echecs + 1)); }
BASE="$(sed -n '/^BASE="/,/"$/p' "$RACINE/scripts/support.sh" | tr -d '"' | sed 's/^BASE=//' | tr '\n' ' ')"
# A library of the base system, by its soname or its file (libz.so.1.2.13).
de_la_base() {
    local b
    for b in $BASE; do case "$1" in "$b" | "$b".*) return 0 ;; esac; done
    return 1
}

# Folders it refuses, each with its reason.
refus() {   # name, expected words of the message, the setup of the folder, a destination inside it
    local nom=$1 motif=$2 preparation=$3 dedans=${4:-}
    local d="$tmp/refus-$nom"
    cp -a "$construction/support" "$d"
    (cd "$d" && eval "$preparation")
    local sortie destination="$tmp/sortie-$nom"
    [ -n "$dedans" ] && destination="$d/$dedans"
    if sortie=$("$RACINE/scripts/support.sh" "$d" "$destination" 2>&1); then echec "$nom accepté"; fi
    echo "$sortie" | grep -q "$motif" || echec "$nom : « $sortie » sans « $motif »"
    [ -e "$d/$dedans" ] && [ -n "$dedans" ] && echec "$nom : $d/$dedans a été créé"
    return 0
}
refus sans-inf "pas de fichier Install.inf" "rm Install.inf"
refus fichier-absent "Modeles.dat.*n'est pas dans" "rm Modeles.dat"
refus utf16 "ni en Windows-1252 ni en UTF-8" "iconv -f windows-1252 -t utf-16 Install.inf > x && mv x Install.inf"
refus lf-seuls "fins de ligne LF seules" "tr -d '\r' < Install.inf > x && mv x Install.inf"
refus programme-adresse "« http://x », nommé dans" "sed -i 's|^Programme=agenda|Programme=http://x|' Install.inf"
refus cle-espacee "« Programme = » : un espace" "sed -i 's|^Programme=|Programme =|' Install.inf"
refus non-executable "Modeles.dat n'est pas exécutable" "sed -i 's|^Programme=agenda|Programme=Modeles.dat|' Install.inf"
refus dans-le-dossier "est dans" "true" "SUPPORT"

# A destination whose path holds spaces and accents.
"$RACINE/scripts/support.sh" "$construction/support" "$tmp/mon support é" >/dev/null && [ -x "$tmp/mon support é/setup" ] \
    || echec "support.sh vers un chemin avec des espaces"
rm -rf "$tmp/mon support é"

medium="$tmp/medium"
"$RACINE/scripts/support.sh" "$construction/support" "$medium" --archive "$tmp/medium.run" || { echo "ÉCHEC : support.sh"; exit 1; }
[ -f "$medium/qt.conf" ] && [ -f "$medium/assistant/plugins/platforms/libqxcb.so" ] \
    && [ -f "$medium/assistant/plugins/platforms/libqoffscreen.so" ] || echec "qt.conf ou plugins absents"

# Static view: every ELF of the medium and what ldd finds for it.
nelf=0
while IFS= read -r -d '' elf; do
    head -c4 "$elf" | grep -q ELF || continue
    nelf=$((nelf + 1))
    while read -r nom _ chemin _; do
        case "$chemin" in "$medium"/*) continue ;; esac
        de_la_base "$nom" || echec "ldd $elf : $nom vient de ${chemin:-nulle part}"
    done < <(env -u LD_LIBRARY_PATH ldd "$elf" | grep '=>')
done < <(find "$medium/setup" "$medium/assistant" -type f -print0)
[ $nelf -ge 40 ] || echec "seulement $nelf fichiers ELF vus"

# Running: what the process maps, with Qt's platforms in turn.
cartes() {   # description, platform plugin, environment
    local quoi=$1 plugin=$2; shift 2
    env -i PATH=/usr/bin:/bin HOME="$tmp/home" "$@" "$medium/setup" >"$tmp/setup.log" 2>&1 &
    local pid=$! ok=""
    for _ in $(seq 300); do
        grep -q "libqxcb.so\|libqoffscreen.so" "/proc/$pid/maps" 2>/dev/null && grep -q "libQt6Widgets" "/proc/$pid/maps" && { ok=1; break; }
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    sleep 0.5
    local libs; libs=$(awk '$6 ~ /\.so/ {print $6}' "/proc/$pid/maps" 2>/dev/null | sort -u)
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
    [ -n "$ok" ] || { echec "$quoi : setup n'a pas démarré ($(cat "$tmp/setup.log"))"; return; }
    for l in $libs; do
        case "$l" in "$medium"/*) continue ;; esac
        de_la_base "$(basename "$l")" || echec "$quoi : setup charge $l"
    done
    echo "$libs" | grep -q "^$medium/assistant/plugins/platforms/$plugin" || echec "$quoi : pas de $plugin du support"
}
mkdir -p "$tmp/home"
cartes offscreen libqoffscreen.so QT_QPA_PLATFORM=offscreen
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c "
    $(declare -f cartes echec de_la_base); BASE='$BASE'; medium='$medium'; tmp='$tmp'; echecs=0
    cartes xcb libqxcb.so DISPLAY=\$DISPLAY XAUTHORITY=\$XAUTHORITY
    # Scale factor 2: the window started again at a scale that fits.
    env -i PATH=/usr/bin:/bin HOME=$tmp/home DISPLAY=\$DISPLAY XAUTHORITY=\$XAUTHORITY QT_SCALE_FACTOR=2 $medium/setup >/dev/null 2>&1 &
    w=''
    for _ in \$(seq 600); do w=\$(xdotool search --onlyvisible --name \"Assistant d'installation\" 2>/dev/null | head -1); [ -n \"\$w\" ] && break; sleep 0.05; done
    sleep 0.5
    eval \"\$(xdotool getwindowgeometry --shell \$w)\"
    kill %1
    echo \"fenêtre à l'échelle 2 : \$X,\$Y \${WIDTH}x\$HEIGHT\"
    [ \$X -ge 0 ] && [ \$Y -ge 0 ] && [ \$((X + WIDTH)) -le 1024 ] && [ \$((Y + HEIGHT)) -le 768 ] && [ \$WIDTH -gt 900 ] || echec \"fenêtre hors de l'écran\"
    # The sample's program opens its window with the server's own font.
    env -i PATH=/usr/bin:/bin HOME=$tmp/home DISPLAY=\$DISPLAY XAUTHORITY=\$XAUTHORITY $medium/agenda >/dev/null 2>&1 &
    w=''
    for _ in \$(seq 600); do w=\$(xdotool search --onlyvisible --name '^Agenda\$' 2>/dev/null | head -1); [ -n \"\$w\" ] && break; sleep 0.05; done
    kill %1
    [ -n \"\$w\" ] || echec \"agenda n'ouvre pas sa fenêtre\"
    exit \$echecs" || echecs=$((echecs + 1))

# The sample's program needs nothing beyond the base system either, and
# without a display says so, its launch noted in its settings first.
while IFS=$'\t' read -r nom chemin; do
    de_la_base "$nom" || echec "agenda charge $nom depuis ${chemin:-nulle part}"
done < <(env -u LD_LIBRARY_PATH ldd "$medium/agenda" | sed -n 's/^[[:space:]]*\([^ ]*\) => \(.*\) (0x[0-9a-f]*)$/\1\t\2/p')
env -i PATH=/usr/bin:/bin HOME="$tmp/sans-ecran" "$medium/agenda" 2>"$tmp/agenda.log"
[ $? -eq 1 ] && grep -q "écran" "$tmp/agenda.log" || echec "agenda sans écran : $(cat "$tmp/agenda.log")"
grep -q "^DernierLancement=" "$tmp/sans-ecran/.config/Agenda.ini" 2>/dev/null || echec "agenda n'a pas noté son lancement"

# The self-extracting file holds the medium.
sh "$tmp/medium.run" --check >/dev/null 2>&1 || echec "medium.run --check"
sh "$tmp/medium.run" --noexec --quiet --target "$tmp/extrait" >/dev/null || echec "medium.run --noexec"
diff -r "$medium" "$tmp/extrait" >/dev/null || echec "medium.run ne rend pas le support"

if [ $echecs -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; exit 1; fi
