#!/usr/bin/env bash
# A medium made by scripts/support.sh needs nothing of the machine beyond
# the base system: its setup is a static launcher, and what the wizard and
# every carried library load (their own needs, then the libraries really
# mapped by a running wizard, under Xvfb and offscreen, with this machine's
# runtime and with the carried one) lies in the medium, among the base
# system's libraries or what those need here. The launcher passes its
# arguments through from any folder, without a display the window says in
# French how to install without one, and the self-extracting file installs
# from a noexec temporary folder under the caller's umask. The script refuses
# a folder it cannot make a medium of, and on a small screen at a scale
# factor of 2 the window opens wholly on the screen.
#
#   tests/support_autonome.sh BUILD_DIR
set -uo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
construction="$(cd "$1" && pwd)"
export ASSISTANT_CONSTRUCTION="$construction"
tmp="$(mktemp -d)"
trap 'umount "$tmp/noexec" 2>/dev/null; rm -rf "$tmp"' EXIT
echecs=0
echec() { echo "ÉCHEC : $*"; echecs=$((echecs + 1)); }
BASE="$(sed -n '/^BASE="/,/"$/p' "$RACINE/scripts/support.sh" | tr -d '"' | sed 's/^BASE=//' | tr '\n' ' ')"
# What the base system's libraries need in turn on this machine is this
# machine's business (libsystemd's libcap here, on Debian 12).
cache="$(ldconfig -p)"
for b in $BASE; do
    chemin="$(echo "$cache" | awk -v n="$b" '$1 == n && /x86-64/ {print $NF}' | head -1)"
    [ -n "$chemin" ] && BASE="$BASE $(ldd "$chemin" 2>/dev/null | awk '$2 == "=>" {print $1}' | tr '\n' ' ')"
done
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
# What the wizard itself would refuse or fail on: the check tells why, and
# the wizard's unattended install of the same folder does not succeed.
# A line F5=... after F4 (the name as given, backslashes included).
F5() { L="F5=$1" awk '{print} /^F4=agenda.png\r$/ {printf "%s\r\n", ENVIRON["L"]}' Install.inf > x && mv x Install.inf; }
refus_installation() {   # as refus
    refus "$@"
    local sortie
    sortie=$(env -i PATH=/usr/bin:/bin HOME="$(mktemp -d -p "$tmp")" "$construction/setup" --silencieux --forcer \
             --support="$tmp/refus-$1" 2>&1) && echec "$1 : l'assistant l'installe : $sortie"
    return 0
}
refus_installation barre 'écrivez share\\Modeles.dat' "mkdir share && mv Modeles.dat share/ && sed -i 's|^F3=Modeles.dat|F3=share/Modeles.dat|' Install.inf"
refus_installation points "nom de fichier non valide" "F5 '..\agenda'"
refus_installation casse "un autre fichier porte ce nom à la casse près" "echo autre > MODELES.DAT && F5 MODELES.DAT"
refus_installation etoile "ne vaut que seul" "F5 '*.dat'"
refus_installation dossier-absent "le dossier lib n'est pas dans" "F5 'lib\*'"
refus_installation lien-sortant "lien qui sort du dossier" "mkdir lib && ln -s ../agenda lib/agenda && F5 'lib\*'"
refus_installation tube "pas un fichier ordinaire" "mkdir lib && mkfifo lib/t && F5 'lib\*'"
refus_installation systeme-dossier "ni dossier ni" "mkdir lib && mv Outils.dll lib/ && sed -i 's|^Fs1=|Fs1=lib\\\\|' Install.inf"
refus_installation systeme-etoile "ni dossier ni" "sed -i 's|^Fs1=Outils.dll|Fs1=*|' Install.inf"
refus au-dela "F22 dépasse les 21 fichiers" "sed -i 's|^F4=agenda.png\r|&\nF22=Modeles.dat\r|' Install.inf"
# Folders below the install directory (the program's own in bin\), a whole
# folder with its library link, the version: checked, then installed as the
# check says.
d="$tmp/arborescence"
cp -a "$construction/support" "$d"
(cd "$d" && mkdir -p share/agenda doc lib && echo Paris > share/agenda/villes.txt && echo doc > doc/lisez.txt \
    && echo so > lib/libx.so.1.2 && ln -s libx.so.1.2 lib/libx.so.1 && F5 'share\agenda\villes.txt' \
    && sed -i 's|^F5=.*\r|&\nF6=doc\\lisez.txt\r\nF7=lib\\*\r|; s|^NomProgramme=Agenda\r|&\nVersion=2.1\r|' Install.inf \
    && mkdir bin && mv agenda bin/ && sed -i 's|^Programme=agenda|Programme=bin\\agenda|; s|^F1=agenda|F1=bin\\agenda|' Install.inf)
sortie="$("$construction/verifier-support" "$d" 2>&1)" && echo "$sortie" | grep -q "version 2.1, 8 fichier(s) dont 2 de dossiers entiers" \
    || echec "arborescence refusée ou mal comptée : $sortie"
maison="$tmp/maison-arborescence"
mkdir -p "$maison"
sortie="$(env -i PATH=/usr/bin:/bin HOME="$maison" "$construction/setup" --silencieux --support="$d" 2>&1)" \
    && [ "$(readlink "$maison/Programmes/Agenda/lib/libx.so.1")" = libx.so.1.2 ] \
    && [ -f "$maison/Programmes/Agenda/share/agenda/villes.txt" ] && [ -x "$maison/Programmes/Agenda/bin/agenda" ] \
    && echo "$sortie" | grep -q "^Installation terminée" || echec "arborescence non installée : $sortie"

# A program of the publisher's own: share\, doc\, its library in lib\ (the
# link libx.so.1 -> libx.so.1.2) and X11, which the base system lacks.
# --bibliotheques carries X11 and what it needs into lib/, sets the run
# paths and adds lib\* to the medium's Install.inf (Windows-1252, CR LF
# kept); installed, run, upgraded by a second medium (a file dropped, one
# added) and uninstalled without the medium, by the command line, the home
# is as it was but for ~/.local/lib*.
pub="$tmp/meteo"
mkdir -p "$pub/share/meteo" "$pub/doc" "$pub/lib"
echo 'int x_version(void) { return 12; }' > "$tmp/x.c"
cc -shared -fPIC -Wl,-soname,libx.so.1 -o "$pub/lib/libx.so.1.2" "$tmp/x.c" && ln -s libx.so.1.2 "$pub/lib/libx.so.1"
printf '#include <stdio.h>\n#include <X11/Xlib.h>\nint x_version(void);\nint main(void) { printf("meteo %%d %%s\\n", x_version(), XDisplayName(":7")); return 0; }\n' > "$tmp/meteo.c"
cc -o "$pub/meteo" "$tmp/meteo.c" "$pub/lib/libx.so.1.2" -lX11
echo Paris > "$pub/share/meteo/villes.txt"; echo lisez > "$pub/doc/lisez.txt"; echo ancien > "$pub/ancien.dat"
printf '[Général]\r\nDisqueInstallDéfaut=C\r\nRépertoireInstallDéfaut=Programmes\\Meteo\r\nNomGroupeDéfaut=Météo\r\nProgramme=meteo\r\nNomProgramme=Météo\r\nVersion=1.0\r\nEspaceRequis=3Mo\r\n[Fichiers]\r\nF1=meteo\r\nF2=share\\meteo\\villes.txt\r\nF3=doc\\lisez.txt\r\nF4=ancien.dat\r\n[FichiersSystem]\r\n' \
    | iconv -f UTF-8 -t WINDOWS-1252 > "$pub/Install.inf"
sortie="$("$RACINE/scripts/support.sh" "$pub" "$tmp/meteo-sans" 2>&1)"
echo "$sortie" | grep -q "meteo a besoin de libX11.so.6" && echo "$sortie" | grep -q "libx.so.1, qui est dans lib/ mais hors de son chemin" \
    || echec "sans --bibliotheques, les bibliothèques manquantes ne sont pas dites : $sortie"
m1="$tmp/meteo-1"
sortie="$("$RACINE/scripts/support.sh" --bibliotheques "$pub" "$m1" 2>&1)" || echec "support.sh --bibliotheques : $sortie"
[ "$(patchelf --print-rpath "$m1/meteo")" = '$ORIGIN/lib' ] && [ "$(patchelf --print-rpath "$m1/lib/libX11.so.6")" = '$ORIGIN' ] \
    && [ -f "$m1/lib/libxcb.so.1" ] && [ "$(readlink "$m1/lib/libx.so.1")" = libx.so.1.2 ] && [ -z "$(patchelf --print-rpath "$pub/meteo")" ] \
    || echec "bibliothèques mal emportées : $sortie"
LC_ALL=C grep -q "^\[G.n.ral\]"$'\r'"\$" "$m1/Install.inf" && ! iconv -f UTF-8 -t UTF-8 "$m1/Install.inf" >/dev/null 2>&1 \
    && [ "$(LC_ALL=C grep -c $'\r$' "$m1/Install.inf")" = "$(($(wc -l < "$pub/Install.inf") + 1))" ] \
    && LC_ALL=C grep -q '^F5=lib\\\*'$'\r''$' "$m1/Install.inf" && ! grep -q 'lib\\\*' "$pub/Install.inf" \
    || echec "Install.inf du support : $(cat -A "$m1/Install.inf")"
maison="$tmp/maison-meteo"
mkdir -p "$maison"
installe="$maison/Programmes/Meteo"
sortie="$(env -i PATH=/usr/bin:/bin HOME="$maison" "$m1/setup" --silencieux 2>&1)" || echec "installation de meteo : $sortie"
[ "$(env -i "$installe/meteo")" = "meteo 12 :7" ] || echec "meteo installé ne démarre pas : $(env -i "$installe/meteo" 2>&1)"
liens="$(env -u LD_LIBRARY_PATH ldd "$installe/meteo" 2>&1)"
echo "$liens" | grep -q "libX11.so.6 => $installe/lib/libX11.so.6" \
    || echec "meteo charge libX11 d'ailleurs : $liens / $(ls -l "$installe/lib" 2>&1)"
m2="$tmp/meteo-2"
cp -a "$m1" "$m2" && rm "$m2/ancien.dat" && echo nouveau > "$m2/nouveau.dat"
sed -i 's/^Version=1.0\r/Version=2.0\r/; s/^F4=ancien.dat\r/F4=nouveau.dat\r/' "$m2/Install.inf"
sortie="$(env -i PATH=/usr/bin:/bin HOME="$maison" "$m2/setup" --silencieux 2>&1)"
echo "$sortie" | grep -q "Mise à jour de Météo 1.0 vers 2.0" && [ ! -e "$installe/ancien.dat" ] && [ -f "$installe/nouveau.dat" ] \
    && [ -L "$installe/lib/libx.so.1" ] || echec "mise à jour de meteo : $sortie"
releve=("$maison"/.local/share/assistant-installation/installations/meteo-*/setup)
sortie="$(env -i PATH=/usr/bin:/bin HOME="$maison" "${releve[0]}" --silencieux --desinstaller 2>&1)" \
    || echec "désinstallation de meteo : $sortie"
reste="$(cd "$maison" && find . -mindepth 1 -not -path './.local' -not -path './.local/lib*' | tr '\n' ' ')"
[ -z "$reste" ] || echec "la désinstallation de meteo laisse $reste"

# A destination whose path holds spaces and accents; its setup starts from
# there.
"$RACINE/scripts/support.sh" "$construction/support" "$tmp/mon support é" >/dev/null \
    && "$tmp/mon support é/setup" --aide | grep -q "^Usage : setup" || echec "support.sh vers un chemin avec des espaces"
rm -rf "$tmp/mon support é"

medium="$tmp/medium"
"$RACINE/scripts/support.sh" "$construction/support" "$medium" --archive "$tmp/medium.run" || { echo "ÉCHEC : support.sh"; exit 1; }
for f in assistant/qt.conf assistant/runtime/qt.conf assistant/plugins/platforms/libqxcb.so \
         assistant/plugins/platforms/libqoffscreen.so assistant/runtime/ld-linux-x86-64.so.2 assistant/runtime/libstdc++.so.6; do
    [ -f "$medium/$f" ] || echec "$f absent du support"
done
# The launcher loads nothing at all.
readelf -lW "$medium/setup" | grep -q INTERP && echec "setup demande un chargeur"
readelf -d "$medium/setup" | grep -q "no dynamic section" || echec "setup n'est pas statique"

# Static view: every ELF of the medium and where the loader finds what it
# needs itself.
nelf=0
while IFS= read -r -d '' elf; do
    head -c4 "$elf" | grep -q ELF || continue
    nelf=$((nelf + 1))
    besoins=" $(readelf -dW "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | tr '\n' ' ') "
    while read -r nom _ chemin _; do
        case "$besoins" in *" $nom "*) ;; *) continue ;; esac
        case "$chemin" in "$medium"/*) continue ;; esac
        de_la_base "$nom" || echec "ldd $elf : $nom vient de ${chemin:-nulle part}"
    done < <(env -u LD_LIBRARY_PATH ldd "$elf" 2>/dev/null | grep '=>')
done < <(find "$medium/setup" "$medium/assistant" -type f -print0)
[ $nelf -ge 50 ] || echec "seulement $nelf fichiers ELF vus"

# Arguments reach the wizard as given, from another folder by a relative
# path, with either runtime; without a display the window says how to do
# without, the command line needs none.
for execution in machine support; do
    sortie="$(cd "$tmp" && env ASSISTANT_EXECUTION=$execution ./medium/setup "--x=é  y" z 2>&1)"
    [ $? -eq 2 ] && [ "$(echo "$sortie" | head -1)" = "option inconnue ou mal écrite : --x=é  y" ] \
        || echec "$execution : arguments mal transmis : $sortie"
    for ecran in "" DISPLAY=:4242; do
        sortie="$(env -i PATH=/usr/bin:/bin HOME="$tmp" ASSISTANT_EXECUTION=$execution $ecran "$medium/setup" 2>&1)"
        [ $? -eq 2 ] && echo "$sortie" | grep -q "^Pour installer sans écran : setup --silencieux (setup --aide" \
            && ! echo "$sortie" | grep -qi "plugin" || echec "$execution, sans écran ${ecran:-nommé} : $sortie"
    done
    env -i PATH=/usr/bin:/bin HOME="$tmp" ASSISTANT_EXECUTION=$execution "$medium/setup" --aide | grep -q "^Usage" \
        || echec "$execution : --aide sans écran"
done

# Running: what the process maps, with Qt's platforms in turn, and whose
# loader runs it: this machine's (the wizard is the process) or the carried
# one, with the carried C library.
cartes() {   # description, platform plugin, runtime expected (machine or support), environment
    local quoi=$1 plugin=$2 attendu=$3; shift 3
    env -i PATH=/usr/bin:/bin HOME="$tmp/home" "$@" "$medium/setup" >"$tmp/setup.log" 2>&1 &
    local pid=$! ok=""
    for _ in $(seq 300); do
        grep -q "libqxcb.so\|libqoffscreen.so" "/proc/$pid/maps" 2>/dev/null && grep -q "libQt6Widgets" "/proc/$pid/maps" && { ok=1; break; }
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    sleep 0.5
    local libs exe; libs=$(awk '$6 ~ /\.so/ {print $6}' "/proc/$pid/maps" 2>/dev/null | sort -u)
    exe=$(readlink "/proc/$pid/exe")
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
    [ -n "$ok" ] || { echec "$quoi : setup n'a pas démarré ($(cat "$tmp/setup.log"))"; return; }
    for l in $libs; do
        case "$l" in "$medium"/*) continue ;; esac
        de_la_base "$(basename "$l")" || echec "$quoi : setup charge $l"
    done
    echo "$libs" | grep -q "^$medium/assistant/plugins/platforms/$plugin" || echec "$quoi : pas de $plugin du support"
    local libc; libc=$(echo "$libs" | grep '/libc[.-]')
    case "$attendu:$exe:$libc" in
        machine:"$medium/assistant/setup":/*) case "$libc" in "$medium"/*) echec "$quoi : libc du support" ;; esac ;;
        support:"$medium/assistant/runtime/ld-linux-x86-64.so.2":"$medium/assistant/runtime/libc.so.6") ;;
        *) echec "$quoi : lancé par $exe avec $libc, pas par le chargeur $attendu" ;;
    esac
}
mkdir -p "$tmp/home"
cartes offscreen libqoffscreen.so machine QT_QPA_PLATFORM=offscreen
cartes "offscreen, runtime emporté" libqoffscreen.so support QT_QPA_PLATFORM=offscreen ASSISTANT_EXECUTION=support
# A wizard that the machine's loader cannot load (it needs a library only
# the carried runtime has) is started with the carried runtime, untold.
cp -a "$medium/assistant/setup" "$tmp/setup.sauve"
cp "$medium/assistant/runtime/libutil.so.1" "$medium/assistant/runtime/libessai.so.1"
patchelf --set-soname libessai.so.1 "$medium/assistant/runtime/libessai.so.1"
patchelf --add-needed libessai.so.1 "$medium/assistant/setup"
cartes "offscreen, bibliothèque que seul le runtime emporté a" libqoffscreen.so support QT_QPA_PLATFORM=offscreen
mv "$tmp/setup.sauve" "$medium/assistant/setup"
rm "$medium/assistant/runtime/libessai.so.1"
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c "
    $(declare -f cartes echec de_la_base); BASE='$BASE'; medium='$medium'; tmp='$tmp'; echecs=0
    cartes xcb libqxcb.so machine DISPLAY=\$DISPLAY XAUTHORITY=\$XAUTHORITY
    cartes 'xcb, runtime emporté' libqxcb.so support DISPLAY=\$DISPLAY XAUTHORITY=\$XAUTHORITY ASSISTANT_EXECUTION=support
    # Scale factor 2: the window started again at a scale that fits, through
    # the launcher with either runtime.
    for execution in machine support; do
        env -i PATH=/usr/bin:/bin HOME=$tmp/home DISPLAY=\$DISPLAY XAUTHORITY=\$XAUTHORITY QT_SCALE_FACTOR=2 \
            ASSISTANT_EXECUTION=\$execution $medium/setup >/dev/null 2>&1 &
        w=''
        for _ in \$(seq 600); do w=\$(xdotool search --onlyvisible --name \"Assistant d'installation\" 2>/dev/null | head -1); [ -n \"\$w\" ] && break; sleep 0.05; done
        sleep 0.5
        X=-1 Y=-1 WIDTH=0 HEIGHT=0
        [ -n \"\$w\" ] && eval \"\$(xdotool getwindowgeometry --shell \$w)\"
        kill %1; wait %1
        echo \"\$execution : fenêtre à l'échelle 2 : \$X,\$Y \${WIDTH}x\$HEIGHT\"
        [ \$X -ge 0 ] && [ \$Y -ge 0 ] && [ \$((X + WIDTH)) -le 1024 ] && [ \$((Y + HEIGHT)) -le 768 ] && [ \$WIDTH -gt 900 ] \
            || echec \"\$execution : fenêtre hors de l'écran\"
        for _ in \$(seq 100); do xdotool search --onlyvisible --name \"Assistant d'installation\" >/dev/null 2>&1 || break; sleep 0.05; done
    done
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

# The self-extracting file holds the medium, and refuses to run damaged.
ASSISTANT_EXTRAIRE="$tmp/extrait" sh "$tmp/medium.run" || echec "medium.run ne s'extrait pas"
diff -r "$medium" "$tmp/extrait" >/dev/null || echec "medium.run ne rend pas le support"
cp "$tmp/medium.run" "$tmp/abime.run"
printf 'x' | dd of="$tmp/abime.run" bs=1 seek=$(($(stat -c %s "$tmp/abime.run") - 100)) conv=notrunc 2>/dev/null
mkdir -p "$tmp/tmp-abime"
sortie="$(TMPDIR="$tmp/tmp-abime" "$tmp/abime.run" --aide 2>&1)"
[ $? -eq 1 ] && echo "$sortie" | grep -q "abîmé" && [ -z "$(ls -A "$tmp/tmp-abime")" ] || echec "abime.run : $sortie"
# From a temporary folder mounted noexec, under umask 022, setup's own
# options as given: an install whose folders anyone may open, in a folder of
# the user's cache that is gone afterwards; the exit status is setup's.
mkdir -p "$tmp/noexec" "$tmp/maison"
mount -t tmpfs -o noexec,size=64m tmpfs "$tmp/noexec" || echec "tmpfs noexec"
sortie="$(umask 022 && env -i PATH=/usr/bin:/bin HOME="$tmp/maison" TMPDIR="$tmp/noexec" "$tmp/medium.run" --silencieux 2>&1)"
[ $? -eq 0 ] || echec "medium.run --silencieux depuis un dossier noexec : $sortie"
droits="$(cd "$tmp/maison" && stat -c '%a %n' Programmes Programmes/Agenda Programmes/Agenda/Agenda.html Programmes/Agenda/agenda \
    .local/share/applications/Agenda 2>&1 | tr '\n' ',')"
[ "$droits" = "755 Programmes,755 Programmes/Agenda,644 Programmes/Agenda/Agenda.html,755 Programmes/Agenda/agenda,755 .local/share/applications/Agenda," ] \
    || echec "droits de l'installation par medium.run : $droits"
[ -z "$(ls -A "$tmp/maison/.cache")" ] || echec "medium.run laisse $(ls "$tmp/maison/.cache")"
cp "$tmp/medium.run" "$tmp/sans-droit.run" && chmod 644 "$tmp/sans-droit.run"
sortie="$(sh "$tmp/sans-droit.run" --bizarre 2>&1)"
[ $? -eq 2 ] && [ "$(echo "$sortie" | head -1)" = "option inconnue ou mal écrite : --bizarre" ] || echec "sh sans-droit.run --bizarre : $sortie"

if [ $echecs -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; exit 1; fi
