# Shared by scripts/demo and scripts/test: installs the Debian packages the build needs
# (only those missing) and configures and builds into build/.
set -euo pipefail

TARVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TARVO_BUILD="${TARVO_BUILD:-$TARVO_ROOT/build}"

TARVO_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth fonts-wqy-microhei python3 tshark
    help2man desktop-file-utils
)

tarvo_install_packages() {
    local missing=()
    for p in "${TARVO_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

tarvo_build() {
    local launcher=()
    # A developer machine with ccache shares compiled objects between checkouts.
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$TARVO_ROOT" -B "$TARVO_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "${launcher[@]}" "$@" >/dev/null
    cmake --build "$TARVO_BUILD" -j"$(nproc)"
}
