#!/usr/bin/env bash
# Prints the sonames of the libraries that every given system root has, for
# support.sh's BASE list (what a medium never carries):
#
#   scripts/base_commune.sh RACINE...
#
# for instance roots made by debootstrap --variant=minbase of each Debian
# version a medium must start on. Only the folders where the loader looks
# count (not gconv/ or security/ below them). One soname a line, sorted.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage : $0 RACINE..." >&2; exit 2; }
sonames() {
    local d
    for d in lib lib64 lib/x86_64-linux-gnu usr/lib usr/lib64 usr/lib/x86_64-linux-gnu; do
        [ -d "$1/$d" ] && find "$1/$d/" -maxdepth 1 -name '*.so*' -type f
    done | while IFS= read -r f; do
        readelf -d "$f" 2>/dev/null | sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p'
    done | sort -u
}
commun="$(sonames "$1")"
shift
for racine in "$@"; do
    commun="$(comm -12 <(echo "$commun") <(sonames "$racine"))"
done
echo "$commun"
