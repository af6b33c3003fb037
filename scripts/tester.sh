#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test headless.
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"
installer_paquets "${PAQUETS_CONSTRUCTION[@]}" libgtest-dev googletest fonts-dejavu-core \
    liblnk-utils desktop-file-utils libglib2.0-bin python3-xdg gtk-update-icon-cache \
    patchelf binutils libxcursor1 xvfb xauth xdotool
construire -DASSISTANT_TESTS=ON
export QT_QPA_PLATFORM=offscreen
cd "$RACINE/build"
ctest --output-on-failure -j"$(nproc)" --timeout 300
