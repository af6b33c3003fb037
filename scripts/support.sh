#!/usr/bin/env bash
# Makes an installation medium out of a publisher's folder:
#
#   scripts/support.sh [--archive FICHIER.run] DOSSIER_DU_PROGRAMME DESTINATION
#
# (--archive may also come after the two folders.)
# DOSSIER_DU_PROGRAMME holds Install.inf and the files it names. DESTINATION
# (new, or an empty folder) receives those files, setup, qt.conf and, under
# assistant/, the Qt libraries and plugins that setup loads with what they
# need beyond a bare Debian 12 system, found through an $ORIGIN run path.
# With --archive, the medium is also written as one self-extracting file
# that runs setup once unpacked.
#
# The wizard comes from build/ (built when missing), or from the folder in
# ASSISTANT_CONSTRUCTION.
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"

usage() {
    echo "usage : $0 [--archive FICHIER.run] DOSSIER_DU_PROGRAMME DESTINATION" >&2
    exit 2
}
archive=""
dossiers=()
while [ $# -gt 0 ]; do
    case "$1" in
        --archive) { [ $# -ge 2 ] && [ -n "$2" ]; } || usage; archive="$2"; shift 2 ;;
        --archive=?*) archive="${1#--archive=}"; shift ;;
        -*) usage ;;
        *) dossiers+=("$1"); shift ;;
    esac
done
[ ${#dossiers[@]} -eq 2 ] || usage
source_="$(cd "${dossiers[0]}" 2>/dev/null && pwd)" || { echo "erreur : ${dossiers[0]} n'est pas un dossier" >&2; exit 1; }
destination="${dossiers[1]}"

# Libraries that every Debian 12 system has (debootstrap --variant=minbase):
# never carried.
BASE="ld-linux-x86-64.so.2 libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 librt.so.1 libresolv.so.2
libgcc_s.so.1 libstdc++.so.6 libz.so.1 libzstd.so.1 liblzma.so.5 liblz4.so.1 libbz2.so.1.0 libpcre2-8.so.0
libselinux.so.1 libsystemd.so.0 libudev.so.1 libcap.so.2 libgcrypt.so.20 libgpg-error.so.0 libmd.so.0
libuuid.so.1 libmount.so.1 libblkid.so.1 libcrypt.so.1 libacl.so.1 libattr.so.1 libaudit.so.1 libcap-ng.so.0
libtinfo.so.6 libffi.so.8"
# The plugins setup loads: the X11 platform, the offscreen one (for the
# command line), SVG icons of the desktop's theme, dead keys.
PLUGINS="platforms/libqxcb.so platforms/libqoffscreen.so iconengines/libqsvgicon.so
platforminputcontexts/libcomposeplatforminputcontextplugin.so"

# Libraries that Qt opens itself rather than through the loader: the X
# cursor library, for the desktop's cursor theme.
OUVERTES="libXcursor.so.1"

paquets=(patchelf binutils libxcursor1)
[ -n "$archive" ] && paquets+=(makeself)
installer_paquets "${paquets[@]}"

construction="${ASSISTANT_CONSTRUCTION:-$RACINE/build}"
if [ ! -x "$construction/setup" ] || [ ! -x "$construction/verifier-support" ]; then
    installer_paquets "${PAQUETS_CONSTRUCTION[@]}"
    construire
fi

# The folder first: what Install.inf names must be there.
QT_QPA_PLATFORM=offscreen "$construction/verifier-support" "$source_"
for reserve in setup qt.conf assistant; do
    if [ -e "$source_/$reserve" ]; then
        echo "erreur : $source_/$reserve porte un nom que le support réserve au programme d'installation" >&2
        exit 1
    fi
done
if [ -e "$destination" ] && [ -n "$(ls -A "$destination")" ]; then
    echo "erreur : $destination existe et n'est pas vide" >&2
    exit 1
fi
# Refused before anything is made there: a folder left in the publisher's
# folder would go onto the next medium.
destination="$(realpath -m "$destination")"
case "$destination/" in "$source_/"*) echo "erreur : $destination est dans $source_" >&2; exit 1 ;; esac
mkdir -p "$destination"
# Desktops mount a FAT stick with the execute right only for names ending in
# .exe: setup could not be started from it, nor its rights kept on the way.
if [ "$(stat -f -c %T "$destination")" = "msdos" ]; then
    echo "erreur : $destination est sur un système de fichiers FAT, où setup ne serait pas exécutable ;" \
         "formatez la clé en exFAT ou ext4, ou donnez le fichier autoextractible (--archive)" >&2
    rmdir "$destination" 2>/dev/null || true
    exit 1
fi

cp -a "$source_/." "$destination/"
lib="$destination/assistant/lib"
mkdir -p "$lib"
install -m 755 "$construction/setup" "$destination/setup"
strip --strip-unneeded "$destination/setup"
patchelf --set-rpath '$ORIGIN/assistant/lib' "$destination/setup"

qtplugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)"
elfs=("$destination/setup")
for p in $PLUGINS; do
    mkdir -p "$destination/assistant/plugins/$(dirname "$p")"
    install -m 644 "$qtplugins/$p" "$destination/assistant/plugins/$p"
    patchelf --set-rpath '$ORIGIN/../../lib' "$destination/assistant/plugins/$p"
    elfs+=("$destination/assistant/plugins/$p")
done

for nom in $OUVERTES; do
    # awk reads to the end: leaving early would kill ldconfig with SIGPIPE
    # at random, and pipefail would end the script without a word.
    chemin="$(ldconfig -p | awk -v n="$nom" '!trouve && $1 == n && /x86-64/ {print $NF; trouve = 1}')"
    [ -f "$chemin" ] || { echo "erreur : $nom est introuvable" >&2; exit 1; }
    install -m 644 "$(readlink -f "$chemin")" "$lib/$nom"
    patchelf --set-rpath '$ORIGIN' "$lib/$nom"
    elfs+=("$lib/$nom")
done

# What the loader finds for an ELF file: one line per library, its soname,
# a tab, its path (empty when not found); paths may hold spaces.
dependances() {
    env -u LD_LIBRARY_PATH ldd "$1" | sed -n \
        -e 's/^[[:space:]]*\([^ ]*\) => not found$/\1\t/p' \
        -e 's/^[[:space:]]*\([^ ]*\) => \(.*\) (0x[0-9a-f]*)$/\1\t\2/p'
}

# Every library they need, and what those need, less the base system.
declare -A vus=()
while [ ${#elfs[@]} -gt 0 ]; do
    elf="${elfs[0]}"
    elfs=("${elfs[@]:1}")
    while IFS=$'\t' read -r nom chemin; do
        [ -z "${vus[$nom]:-}" ] || continue
        vus[$nom]=1
        case " $(echo $BASE) " in *" $nom "*) continue ;; esac
        [ -f "$chemin" ] || { echo "erreur : $nom, dont $elf a besoin, est introuvable" >&2; exit 1; }
        install -m 644 "$(readlink -f "$chemin")" "$lib/$nom"
        patchelf --set-rpath '$ORIGIN' "$lib/$nom"
        elfs+=("$lib/$nom")
    done < <(dependances "$elf")
done

cat > "$destination/qt.conf" <<'CONF'
[Paths]
Prefix=assistant
Plugins=plugins
CONF

# The licences of what the medium carries: the packages of the libraries and
# the font.
licences="$destination/assistant/licences"
mkdir -p "$licences"
for f in "$lib"/* "$(dpkg -S LiberationSans-Regular.ttf | head -1 | cut -d: -f2 | tr -d ' ')"; do
    paquet="$(dpkg -S "$(basename "$f")" 2>/dev/null | head -1 | cut -d: -f1)" || true
    [ -n "$paquet" ] && [ -f "/usr/share/doc/$paquet/copyright" ] && cp "/usr/share/doc/$paquet/copyright" "$licences/$paquet"
done

# Nothing that setup loads may come from outside the medium or the base system.
manque=0
for elf in "$destination/setup" "$destination"/assistant/plugins/*/*.so "$lib"/*; do
    while IFS=$'\t' read -r nom chemin; do
        case "$chemin" in "$destination"/*) continue ;; esac
        case " $(echo $BASE) " in *" $nom "*) continue ;; esac
        echo "erreur : $elf charge $nom depuis ${chemin:-nulle part}" >&2
        manque=1
    done < <(dependances "$elf")
done
[ $manque -eq 0 ] || exit 1

echo "Support prêt : $destination ($(du -sh "$destination" | cut -f1))"

if [ -n "$archive" ]; then
    # gzip: the one compressor that a bare system unpacks with.
    makeself --gzip --nox11 --quiet "$destination" "$archive" "Installation" ./setup >/dev/null
    echo "Fichier autoextractible : $archive ($(du -sh "$archive" | cut -f1))"
fi
