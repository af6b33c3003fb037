# Installs the Debian packages given as arguments when some are missing,
# as root or through sudo.
installer_paquets() {
    local manquants=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || manquants+=("$p")
    done
    [ ${#manquants[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installation des paquets : ${manquants[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${manquants[@]}"
}

# libx11-dev and the rest: the static Xlib of the sample's program.
PAQUETS_CONSTRUCTION=(g++ make cmake pkg-config qt6-base-dev qt6-svg-dev libgl-dev fonts-liberation2 nettle-dev
    libx11-dev libxcb1-dev libxau-dev libxdmcp-dev)

construire() {
    cmake -S "$RACINE" -B "$RACINE/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$RACINE/build" -j"$(nproc)"
}
