#!/usr/bin/env bash
# Installs what is needed, builds, and opens the wizard on the sample medium.
set -euo pipefail
RACINE="$(cd "$(dirname "$0")/.." && pwd)"
. "$RACINE/scripts/paquets.sh"
installer_paquets "${PAQUETS_CONSTRUCTION[@]}" qt6-qpa-plugins \
    xdg-utils desktop-file-utils libglib2.0-bin
construire -DASSISTANT_TESTS=OFF
# The wizard reads Install.inf from its own folder, where the medium was
# assembled: build/setup is the installer a user would start.
exec "$RACINE/build/setup"
