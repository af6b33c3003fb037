#!/usr/bin/env bash
# Makes an installation medium out of a publisher's folder:
#
#   scripts/support.sh [--bibliotheques] [--archive FICHIER.run] DOSSIER_DU_PROGRAMME DESTINATION
#
# (the options may also come after the two folders.)
# DOSSIER_DU_PROGRAMME holds Install.inf and the files it names. DESTINATION
# (new, or an empty folder) receives those files, setup and assistant/:
# setup is a static launcher that starts assistant/setup, the wizard, with
# the Qt libraries and plugins under assistant/ that it loads beyond the base
# system (found through an $ORIGIN run path), and with the machine's C and
# C++ runtime or, when they are older than this machine's, the copy of this
# machine's in assistant/runtime/. With --archive, the medium is also
# written as one self-extracting file that runs setup once unpacked.
#
# The publisher's programs and libraries (ELF files) are checked too: what
# they need that neither the base system (BASE) nor the folder holds is
# told. With --bibliotheques it is carried: copied from this machine into a
# lib/ folder beside each program (what a library needs, beside it), the
# run paths set ($ORIGIN/lib, $ORIGIN), and the medium's Install.inf given
# an entry lib\* for that folder.
#
# The wizard comes from build/ (built when missing), or from the folder in
# ASSISTANT_CONSTRUCTION.
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"

usage() {
    echo "usage : $0 [--bibliotheques] [--archive FICHIER.run] DOSSIER_DU_PROGRAMME DESTINATION" >&2
    exit 2
}
archive=""
bibliotheques=""
dossiers=()
while [ $# -gt 0 ]; do
    case "$1" in
        --archive) { [ $# -ge 2 ] && [ -n "$2" ]; } || usage; archive="$2"; shift 2 ;;
        --archive=?*) archive="${1#--archive=}"; shift ;;
        --bibliotheques) bibliotheques=1; shift ;;
        -*) usage ;;
        *) dossiers+=("$1"); shift ;;
    esac
done
[ ${#dossiers[@]} -eq 2 ] || usage
source_="$(cd "${dossiers[0]}" 2>/dev/null && pwd)" || { echo "erreur : ${dossiers[0]} n'est pas un dossier" >&2; exit 1; }
destination="${dossiers[1]}"

# Libraries that every Debian 11, 12 and 13 system has (the sonames found
# in all three debootstrap --variant=minbase roots, scripts/base_commune.sh):
# never carried in assistant/lib. What they need in turn is each system's.
BASE="ld-linux-x86-64.so.2 libBrokenLocale.so.1 libacl.so.1 libanl.so.1 libapt-private.so.0.0 libattr.so.1
libaudit.so.1 libblkid.so.1 libbz2.so.1.0 libc.so.6 libcap-ng.so.0 libcrypt.so.1 libdb-5.3.so
libdebconfclient.so.0 libdl.so.2 libgcc_s.so.1 libgmp.so.10 libhogweed.so.6 liblz4.so.1 liblzma.so.5 libm.so.6
libmemusage.so libmount.so.1 libmvec.so.1 libnettle.so.8 libnsl.so.1 libnss_compat.so.2 libnss_dns.so.2
libnss_files.so.2 libnss_hesiod.so.2 libpam.so.0 libpam_misc.so.0 libpamc.so.0 libpcprofile.so libpcre2-8.so.0
libpthread.so.0 libresolv.so.2 librt.so.1 libseccomp.so.2 libselinux.so.1 libsmartcols.so.1 libstdc++.so.6
libsystemd.so.0 libthread_db.so.1 libtic.so.6 libtinfo.so.6 libudev.so.1 libutil.so.1 libuuid.so.1
libxxhash.so.0 libz.so.1 libzstd.so.1"
# The C and C++ runtime of this machine, carried in assistant/runtime for
# the systems whose own is older: the loader, the C library and the parts of
# it that older programs and the base libraries link to separately, the
# user database modules (getpwuid loads them), libstdc++ and libgcc_s. They
# are never mixed with the machine's: with the loader of one come all of
# its libraries.
RUNTIME="ld-linux-x86-64.so.2 libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 librt.so.1 libresolv.so.2
libutil.so.1 libanl.so.1 libnss_files.so.2 libnss_dns.so.2 libnss_compat.so.2 libstdc++.so.6 libgcc_s.so.1"
# The plugins setup loads: the X11 platform, the offscreen one (for the
# command line), SVG icons of the desktop's theme, dead keys.
PLUGINS="platforms/libqxcb.so platforms/libqoffscreen.so iconengines/libqsvgicon.so
platforminputcontexts/libcomposeplatforminputcontextplugin.so"

# Libraries that Qt opens itself rather than through the loader: the X
# cursor library, for the desktop's cursor theme.
OUVERTES="libXcursor.so.1"

installer_paquets patchelf binutils libxcursor1

construction="${ASSISTANT_CONSTRUCTION:-$RACINE/build}"
if [ ! -x "$construction/setup" ] || [ ! -x "$construction/lanceur" ] || [ ! -x "$construction/verifier-support" ]; then
    installer_paquets "${PAQUETS_CONSTRUCTION[@]}"
    construire
fi

# The folder first: what Install.inf names must be there.
QT_QPA_PLATFORM=offscreen "$construction/verifier-support" "$source_"
for reserve in setup assistant; do
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
assistant="$destination/assistant"
lib="$assistant/lib"
runtime="$assistant/runtime"
mkdir -p "$lib" "$runtime"
install -m 755 "$construction/lanceur" "$destination/setup"
strip --strip-unneeded "$destination/setup"
install -m 755 "$construction/setup" "$assistant/setup"
strip --strip-unneeded "$assistant/setup"
patchelf --set-rpath '$ORIGIN/lib' "$assistant/setup"

qtplugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)"
elfs=("$assistant/setup")
# The files of this machine that the medium carries, for their licences.
copies=()
for p in $PLUGINS; do
    mkdir -p "$assistant/plugins/$(dirname "$p")"
    install -m 644 "$qtplugins/$p" "$assistant/plugins/$p"
    copies+=("$(readlink -f "$qtplugins/$p")")
    patchelf --set-rpath '$ORIGIN/../../lib' "$assistant/plugins/$p"
    elfs+=("$assistant/plugins/$p")
done

# The file of a library of this machine, by its soname.
# awk reads to the end: leaving early would kill ldconfig with SIGPIPE at
# random, and pipefail would end the script without a word.
bibliotheque() {
    local chemin
    chemin="$(ldconfig -p | awk -v n="$1" '!trouve && $1 == n && /x86-64/ {print $NF; trouve = 1}')"
    [ -f "$chemin" ] || { echo "erreur : $1 est introuvable" >&2; exit 1; }
    readlink -f "$chemin"
}
for nom in $OUVERTES; do
    copies+=("$(bibliotheque "$nom")")
    install -m 644 "${copies[-1]}" "$lib/$nom"
    patchelf --set-rpath '$ORIGIN' "$lib/$nom"
    elfs+=("$lib/$nom")
done
for nom in $RUNTIME; do
    # The loader is run as a program.
    case "$nom" in ld-*) copies+=("$(readlink -f "/lib64/$nom")"); droits=755 ;;
                   *) copies+=("$(bibliotheque "$nom")"); droits=644 ;; esac
    install -m $droits "${copies[-1]}" "$runtime/$nom"
done

# What an ELF file itself needs (not what its libraries need in turn), as
# the loader finds it: one line per library, its soname, a tab, its path
# (empty when not found); paths may hold spaces.
dependances() {
    local besoins
    besoins=" $(readelf -dW "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | tr '\n' ' ') "
    env -u LD_LIBRARY_PATH ldd "$1" | sed -n \
        -e 's/^[[:space:]]*\([^ ]*\) => not found$/\1\t/p' \
        -e 's/^[[:space:]]*\([^ ]*\) => \(.*\) (0x[0-9a-f]*)$/\1\t\2/p' |
        while IFS=$'\t' read -r nom chemin; do
            case "$besoins" in *" $nom "*) printf '%s\t%s\n' "$nom" "$chemin" ;; esac
        done
}
dans() { case " $(echo $2) " in *" $1 "*) return 0 ;; esac; return 1; }
# The package of a file, wherever /lib and /usr/lib lead; none for a file
# of no package.
paquet() {
    { dpkg -S "$1" || dpkg -S "${1#/usr}" || dpkg -S "/usr$1"; } 2>/dev/null | head -1 | cut -d: -f1 || true
}

# Every library they need, and what those need, less the base system. A
# part of the C or C++ runtime must be carried with the rest of it.
declare -A vus=()
while [ ${#elfs[@]} -gt 0 ]; do
    elf="${elfs[0]}"
    elfs=("${elfs[@]:1}")
    while IFS=$'\t' read -r nom chemin; do
        [ -z "${vus[$nom]:-}" ] || continue
        vus[$nom]=1
        if dans "$nom" "$BASE"; then
            case "$(paquet "$chemin")" in libc6 | libstdc++6 | libgcc-s1)
                dans "$nom" "$RUNTIME" || { echo "erreur : $nom, dont $elf a besoin, manque à RUNTIME" >&2; exit 1; } ;;
            esac
            continue
        fi
        [ -f "$chemin" ] || { echo "erreur : $nom, dont $elf a besoin, est introuvable" >&2; exit 1; }
        copies+=("$(readlink -f "$chemin")")
        install -m 644 "${copies[-1]}" "$lib/$nom"
        patchelf --set-rpath '$ORIGIN' "$lib/$nom"
        elfs+=("$lib/$nom")
    done < <(dependances "$elf")
done

# Qt finds qt.conf beside the running program: the wizard, or the loader
# when it runs through the carried one.
printf '[Paths]\nPrefix=.\nPlugins=plugins\n' > "$assistant/qt.conf"
printf '[Paths]\nPrefix=..\nPlugins=plugins\n' > "$runtime/qt.conf"

# The licences of what the medium carries: the packages of the libraries,
# the plugins, the runtime (linked into the launcher too) and the font.
licences="$assistant/licences"
mkdir -p "$licences"
for f in "${copies[@]}" "$(dpkg -S LiberationSans-Regular.ttf | head -1 | cut -d: -f2 | tr -d ' ')"; do
    p="$(paquet "$f")"
    [ -n "$p" ] && [ -f "/usr/share/doc/$p/copyright" ] && cp "/usr/share/doc/$p/copyright" "$licences/$p"
done

# Nothing that setup loads may come from outside the medium or the base system.
manque=0
for elf in "$assistant/setup" "$assistant"/plugins/*/*.so "$lib"/*; do
    while IFS=$'\t' read -r nom chemin; do
        case "$chemin" in "$destination"/*) continue ;; esac
        dans "$nom" "$BASE" && continue
        echo "erreur : $elf charge $nom depuis ${chemin:-nulle part}" >&2
        manque=1
    done < <(dependances "$elf")
done
[ $manque -eq 0 ] || exit 1

# The launcher tries the wizard with the machine's runtime, which loads the
# wizard's libraries and not the plugins: nothing on the medium may need a
# newer version of the runtime than they do, or the try would not tell.
versions() {   # ELF files: the newest version of each kind (GLIBC_, GLIBCXX_...) they need of the runtime
    local f
    for f in "$@"; do
        readelf -VW "$f" | awk '
            /^Version needs section/ {besoins = 1; next}
            /^Version .* section/ {besoins = 0}
            besoins && / File: / {for (i = 1; i < NF; i++) if ($i == "File:") fichier = $(i + 1)}
            besoins && / Name: / {for (i = 1; i < NF; i++) if ($i == "Name:") print fichier, $(i + 1)}'
    done | while read -r fichier version; do
        dans "$fichier" "$RUNTIME" && [[ "$version" =~ ^([A-Z]+_)([0-9.]+)$ ]] && echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
    done | sort -k1,1 -k2,2V | awk '{v[$1] = $2} END {for (k in v) print k v[k]}' | sort
}
essai=("$assistant/setup")
while IFS=$'\t' read -r _ chemin; do
    case "$chemin" in "$lib"/*) essai+=("$chemin") ;; esac
done < <(env -u LD_LIBRARY_PATH ldd "$assistant/setup" | sed -n 's/^[[:space:]]*\([^ ]*\) => \(.*\) (0x[0-9a-f]*)$/\1\t\2/p')
declare -A essayees=()
while read -r v; do essayees[${v%%[0-9]*}]="$v"; done < <(versions "${essai[@]}")
while read -r v; do
    essayee="${essayees[${v%%[0-9]*}]:-}"
    [ -n "$essayee" ] && [ "$(printf '%s\n' "$v" "$essayee" | sort -V | tail -1)" = "$essayee" ] && continue
    echo "erreur : une bibliothèque du support demande $v, plus que l'assistant (${essayee:-rien})" >&2
    exit 1
done < <(versions "$assistant"/plugins/*/*.so "$lib"/*)

# The publisher's programs and libraries: what they need beyond the base
# system and the folder, told or (--bibliotheques) carried. Scripts and
# other files are left alone.
declare -A lib_de=()     # folder of the medium (relative) that got libraries -> 1
declare -A dit=()        # soname told missing for a file
manquantes=0
elf_du_programme() {     # ELF files of the publisher's part of the medium
    find "$destination" -path "$assistant" -prune -o -path "$destination/setup" -prune -o -type f -print0 |
        while IFS= read -r -d '' f; do
            [ "$(head -c4 "$f" | od -An -c | tr -d ' ')" = '177ELF' ] && printf '%s\0' "$f"
        done
}
a_un_chargeur() { readelf -lW "$1" 2>/dev/null | grep -q 'Requesting program interpreter'; }
# Prepends a folder of $ORIGIN to a file's run path, once.
chemin_de_recherche() {
    local ancien; ancien="$(patchelf --print-rpath "$1")"
    case ":$ancien:" in *":$2:"*) return ;; esac
    patchelf --set-rpath "$2${ancien:+:$ancien}" "$1"
}
file_elf=()
while IFS= read -r -d '' f; do file_elf+=("$f"); done < <(elf_du_programme)
while [ ${#file_elf[@]} -gt 0 ]; do
    elf="${file_elf[0]}"
    file_elf=("${file_elf[@]:1}")
    relatif="${elf#"$destination"/}"
    # A program looks in lib/ beside it, a library beside itself.
    if a_un_chargeur "$elf"; then ici="$(dirname "$elf")/lib"; origine='$ORIGIN/lib'
    else ici="$(dirname "$elf")"; origine='$ORIGIN'; fi
    while IFS=$'\t' read -r nom chemin; do
        case "$chemin" in "$destination"/*) continue ;; esac
        dans "$nom" "$BASE" && continue
        if [ -z "$bibliotheques" ]; then
            [ -n "${dit[$relatif:$nom]:-}" ] && continue
            dit[$relatif:$nom]=1
            if [ -f "$ici/$nom" ]; then
                echo "attention : $relatif a besoin de $nom, qui est dans ${ici#"$destination"/}/ mais hors de son" \
                     "chemin de recherche : --bibliotheques le règle" >&2
            else
                echo "attention : $relatif a besoin de $nom, que ni Debian nue ni le dossier n'ont" \
                     "(${chemin:-introuvable ici aussi}) : --bibliotheques l'emporte" >&2
            fi
            manquantes=$((manquantes + 1))
            continue
        fi
        if [ ! -e "$ici/$nom" ]; then
            [ -f "$chemin" ] || { echo "erreur : $nom, dont $relatif a besoin, est introuvable sur cette machine" \
                                       "(installez le paquet qui le fournit)" >&2; exit 1; }
            mkdir -p "$ici"
            install -m 644 "$(readlink -f "$chemin")" "$ici/$nom"
            patchelf --set-rpath '$ORIGIN' "$ici/$nom"
            echo "emportée : ${ici#"$destination"/}/$nom ($(paquet "$(readlink -f "$chemin")"), pour $relatif)"
            file_elf+=("$ici/$nom")
        fi
        chemin_de_recherche "$elf" "$origine"
        lib_de["$(realpath --relative-to="$destination" "$ici")"]=1
    done < <(dependances "$elf")
done
[ $manquantes -eq 0 ] || echo "attention : $manquantes bibliothèque(s) manquante(s), le programme ne démarrerait" \
                               "pas sur une Debian nue : --bibliotheques les emporte" >&2

# Each folder that got libraries is installed whole (lib\*), unless an entry
# of Install.inf already covers it. The medium's copy of Install.inf is
# changed, never the publisher's; bytes only, so its encoding and CR LF stay.
if [ ${#lib_de[@]} -gt 0 ]; then
    inf_medium="$(find "$destination" -maxdepth 1 -iname install.inf | head -1)"
    texte="$(iconv -f UTF-8 -t UTF-8 "$inf_medium" 2>/dev/null || iconv -f WINDOWS-1252 -t UTF-8 "$inf_medium")"
    texte="${texte//$'\r'/}"
    # As the wizard reads a key: its first "Fn=" after the section's title.
    valeur_f() {
        local reste="${texte#*"[Fichiers]"}"
        [ "$reste" != "$texte" ] || return 0
        case "$reste" in *"F$1="*) reste="${reste#*"F$1="}"; printf '%s' "${reste%%$'\n'*}" ;; esac
    }
    for dossier in "${!lib_de[@]}"; do
        entree="${dossier//\//\\}\\*"
        couvert=""
        for n in $(seq 21); do
            v="$(valeur_f $n)"
            case "$v" in '*' | *'\*') ;; *) continue ;; esac
            prefixe="${v%\*}"
            [ -z "$prefixe" ] || [[ "${entree,,}" == "${prefixe,,}"* ]] && couvert=1
        done
        [ -n "$couvert" ] && continue
        libre=""
        for n in $(seq 21); do [ -z "$(valeur_f $n)" ] && { libre=$n; break; }; done
        [ -n "$libre" ] || { echo "erreur : pas de place dans [Fichiers] pour $entree (21 fichiers au plus)" >&2; exit 1; }
        if LC_ALL=C grep -q "^F$libre=$(printf '\r')\$" "$inf_medium"; then
            LC_ALL=C sed -i "0,/^F$libre=\r\$/s//F$libre=${entree//\\/\\\\}\r/" "$inf_medium"
        elif LC_ALL=C grep -q "^\[Fichiers\]$(printf '\r')\$" "$inf_medium"; then
            LC_ALL=C sed -i "0,/^\[Fichiers\]\r\$/s//[Fichiers]\r\nF$libre=${entree//\\/\\\\}\r/" "$inf_medium"
        else
            [ -z "$(tail -c1 "$inf_medium")" ] || printf '\r\n' >> "$inf_medium"
            printf '[Fichiers]\r\nF%s=%s\r\n' "$libre" "$entree" >> "$inf_medium"
        fi
        texte="$(iconv -f UTF-8 -t UTF-8 "$inf_medium" 2>/dev/null || iconv -f WINDOWS-1252 -t UTF-8 "$inf_medium")"
        texte="${texte//$'\r'/}"
        echo "Install.inf du support : F$libre=$entree"
    done
    QT_QPA_PLATFORM=offscreen "$construction/verifier-support" "$destination" >/dev/null || {
        QT_QPA_PLATFORM=offscreen "$construction/verifier-support" "$destination" >&2; exit 1; }
fi

echo "Support prêt : $destination ($(du -sh "$destination" | cut -f1))"

if [ -n "$archive" ]; then
    "$RACINE/scripts/autoextractible.sh" "$destination" "$archive"
    echo "Fichier autoextractible : $archive ($(du -sh "$archive" | cut -f1))"
fi
