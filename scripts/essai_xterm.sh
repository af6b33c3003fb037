#!/usr/bin/env bash
# A real program on a medium: xterm as Debian ships it, with nothing of the
# publisher's but its icon and Install.inf; support.sh --bibliotheques
# carries its libraries, then essai_debian_nue.sh installs it by clicks on a
# bare Debian and opens its window. Root only (the trial's chroot).
#
#   scripts/essai_xterm.sh [--modele RACINE] [VERSION]
#
# VERSION 12 by default; the folder, the medium and the package are kept in
# ESSAI (by default /var/tmp/assistant-essai-USER) as xterm/.
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"
modele=()
if [ "${1:-}" = "--modele" ]; then modele=(--modele "$2"); shift 2; fi
version="${1:-12}"
installer_paquets imagemagick
ESSAI="${ESSAI:-/var/tmp/assistant-essai-$(id -un)}"
dossier="$ESSAI/xterm"
rm -rf "$dossier"
mkdir -p "$dossier/paquet" "$dossier/editeur"
# Its libraries must be on this machine for support.sh to carry them.
installer_paquets libxaw7 libxft2 libxinerama1 libxmu6 libxpm4 libxt6 libutempter0
(cd "$dossier/paquet" && apt-get download xterm >/dev/null 2>&1 && dpkg -x xterm_*.deb racine)
cp "$dossier/paquet/racine/usr/bin/xterm" "$dossier/editeur/"
convert "$dossier/paquet/racine/usr/share/pixmaps/xterm_48x48.xpm" "$dossier/editeur/xterm.png"
printf '%s\r\n' '[Général]' 'DisqueInstallDéfaut=C' 'RépertoireInstallDéfaut=Programmes\XTerm' 'NomGroupeDéfaut=Terminal' \
    'Programme=xterm' 'NomProgramme=XTerm' \
    "Version=$(dpkg-deb -f "$dossier"/paquet/xterm_*.deb Version)" 'EspaceRequis=6Mo' \
    'Info1=XTerm est installé.' 'Info2=Cliquez sur Lancer pour ouvrir un terminal.' \
    '[Fichiers]' 'F1=xterm' 'F2=xterm.png' '[FichiersSystem]' | iconv -f UTF-8 -t WINDOWS-1252 > "$dossier/editeur/Install.inf"
"$RACINE/scripts/support.sh" --bibliotheques "$dossier/editeur" "$dossier/support"
"$RACINE/scripts/essai_debian_nue.sh" "${modele[@]}" "$version" "$dossier/support"
