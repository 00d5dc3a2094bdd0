# Shared by run.sh and test.sh: install what is missing (Debian 12), configure and build.
# Sourced, not run.

SCOUTLY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SCOUTLY_BUILD=${SCOUTLY_BUILD:-$SCOUTLY_ROOT/build}

# Build tools and libraries, then the programs the tests talk to.
SCOUTLY_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libcurl4-openssl-dev libgif-dev libjpeg62-turbo-dev fonts-dejavu-core
    qstat microsocks dante-server tinyproxy ngircd python3-irc weechat-headless
    desktop-file-utils
)
# What only the checks need (.ci/run), never a user who builds and runs the program.
SCOUTLY_TEST_PACKAGES=(clang-format)

# scoutly_ensure_packages [PACKAGE...]: the given packages, or SCOUTLY_PACKAGES.
scoutly_ensure_packages() {
    local wanted=("$@") missing=()
    [ ${#wanted[@]} -eq 0 ] && wanted=("${SCOUTLY_PACKAGES[@]}")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Install them with: sudo apt-get install --no-install-recommends ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Extra configure options (a sanitized build, say) come in $SCOUTLY_CMAKE_ARGS.
scoutly_build() {
    if [ ! -f "$SCOUTLY_BUILD/build.ninja" ]; then
        local launcher=()
        # Rebuilds of several trees (sanitized, worktrees) reuse each other's objects.
        command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        # shellcheck disable=SC2086
        cmake -S "$SCOUTLY_ROOT" -B "$SCOUTLY_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            "${launcher[@]}" ${SCOUTLY_CMAKE_ARGS:-} >/dev/null
    fi
    cmake --build "$SCOUTLY_BUILD"
}
