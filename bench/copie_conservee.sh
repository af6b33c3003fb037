#!/usr/bin/env bash
# What the wizard kept for uninstalls weighs, for one program and for a
# second one installed by the same wizard: the second shares the first's copy
# of the wizard, so it adds only its record, description and launcher.
#
#   bench/copie_conservee.sh [SUPPORT]
#
# SUPPORT is a medium made by scripts/support.sh; by default one is made from
# the sample of the build tree (build/, or ASSISTANT_CONSTRUCTION).
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
support="${1:-}"
if [ -z "$support" ]; then
    support="$tmp/support"
    "$RACINE/scripts/support.sh" "${ASSISTANT_CONSTRUCTION:-$RACINE/build}/support" "$support" >/dev/null
fi
# The second program: the same files under other names, into another folder.
second="$tmp/second"
cp -a "$support" "$second"
inf="$(find "$second" -maxdepth 1 -iname install.inf)"
LC_ALL=C sed -i -e 's/^\(NomProgramme\|NomGroupeD.faut\)=\(.*\)\r$/\1=\2 bis\r/' \
       -e 's/^\(R.pertoireInstallD.faut=.*\)\r$/\1Bis\r/' "$inf"

export HOME="$tmp/home" XDG_DATA_DIRS="$tmp/sys/share" XDG_CONFIG_DIRS="$tmp/sys/etc"
unset XDG_DATA_HOME XDG_CONFIG_HOME DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
W="$HOME/.local/share/assistant-installation"
octets() { du -sb "$1" 2>/dev/null | cut -f1; }

"$support/setup" --silencieux >/dev/null
un=$(octets "$W")
"$second/setup" --silencieux >/dev/null
deux=$(octets "$W")
echo "support : $(octets "$support") octets"
echo "gardé après le premier programme : $un octets (copie de l'assistant : $(octets "$W/assistant") octets)"
echo "gardé après le second : $deux octets ($(ls "$W/assistant" | wc -l) copie(s) de l'assistant)"
echo "ajouté par le second programme : $((deux - un)) octets"
