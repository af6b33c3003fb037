#!/usr/bin/env bash
# Writes a medium as one self-extracting file:
#
#   scripts/autoextractible.sh SUPPORT FICHIER.run
#
# The file is a POSIX shell header followed by the medium as a gzip'd tar
# (gzip, tar, sha256sum and mktemp: what every bare system has). Started as
# ./FICHIER.run or sh FICHIER.run, it checks its checksum before anything
# else, unpacks into a new temporary folder where programs can run (TMPDIR
# or /tmp, else the user's cache folder), runs setup there with every
# argument as given and under the caller's umask, removes the folder and
# ends with setup's exit status. ASSISTANT_EXTRAIRE=DOSSIER only unpacks it
# into DOSSIER.
#
# Not makeself: its files take the options before a -- for their own (an
# unknown one stops them), force umask 077 on what they unpack, or else on
# what setup then makes, and stop when their temporary folder is noexec.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage : $0 SUPPORT FICHIER.run" >&2; exit 2; }
support="$1"
sortie="$2"
[ -x "$support/setup" ] || { echo "erreur : $support/setup manque" >&2; exit 1; }
archive="$(mktemp)"
trap 'rm -f "$archive"' EXIT
tar -C "$support" --sort=name --owner=0 --group=0 --numeric-owner -cf - . | gzip -9n > "$archive"

entete() {
    cat <<'ENTETE'
#!/bin/sh
# An installation medium: a gzip'd tar follows these lines. Run it as
# ./FILE.run [setup's options], or sh FILE.run when it lost its execute
# right; ASSISTANT_EXTRAIRE=FOLDER sh FILE.run only unpacks it there.
lignes=@LIGNES@
somme=@SOMME@
fichier=$0
archive() { tail -n +$((lignes + 1)) "$fichier"; }
if [ "$(archive | sha256sum | cut -d ' ' -f 1)" != "$somme" ]; then
    echo "$fichier est abîmé ou incomplet : téléchargez-le de nouveau." >&2
    exit 1
fi
deballer() { archive | gzip -dc | tar -x --no-same-owner --no-same-permissions -C "$1"; }
if [ -n "${ASSISTANT_EXTRAIRE:-}" ]; then
    mkdir -p "$ASSISTANT_EXTRAIRE" && deballer "$ASSISTANT_EXTRAIRE"
    exit
fi

# A new folder where programs can run: TMPDIR (or /tmp) may be mounted
# noexec, the user's cache folder rarely is.
dossier=
essayer() {
    d=$(mktemp -d "$1/installation.XXXXXX" 2>/dev/null) || return 1
    if printf '#!/bin/sh\n' > "$d/essai" && chmod +x "$d/essai" && "$d/essai" 2>/dev/null; then
        rm -f "$d/essai"
        dossier=$d
        return 0
    fi
    rm -rf "$d"
    return 1
}
cache=${XDG_CACHE_HOME:-}
case "$cache" in /*) ;; *) cache=${HOME:+$HOME/.cache} ;; esac
if ! essayer "${TMPDIR:-/tmp}" && ! { [ -n "$cache" ] && mkdir -p "$cache" && essayer "$cache"; }; then
    echo "Aucun dossier temporaire ne permet de lancer l'installation (${TMPDIR:-/tmp} ne permet pas" \
         "d'exécuter de programme) : donnez-en un autre dans TMPDIR." >&2
    exit 1
fi
trap 'rm -rf "$dossier"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
deballer "$dossier" || exit 1
"$dossier/setup" "$@"
exit $?
ENTETE
}
lignes="$(entete | wc -l)"
somme="$(sha256sum < "$archive" | cut -d' ' -f1)"
{ entete | sed -e "s/@LIGNES@/$lignes/" -e "s/@SOMME@/$somme/"; cat "$archive"; } > "$sortie"
chmod 755 "$sortie"
