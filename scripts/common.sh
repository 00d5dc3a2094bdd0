# Shared by run.sh and test.sh: install what is missing (Debian 12), configure and build.
# Sourced, not run.

SCOUTLY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SCOUTLY_BUILD=${SCOUTLY_BUILD:-$SCOUTLY_ROOT/build}

# What building and running the program need, nothing more: ./run.sh installs only these.
# The demo's chat also wants ngircd, which run.sh never installs (the package starts a system
# IRC service); without it the demo runs without chat and says so.
SCOUTLY_RUN_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libcurl4-openssl-dev libgif-dev libjpeg62-turbo-dev fonts-dejavu-core
)
# What the tests and checks need on top (./test.sh, .ci/run): the programs the tests talk
# to, the formatter, and the tools that build and check the Debian package.
SCOUTLY_TEST_PACKAGES=(
    qstat microsocks dante-server tinyproxy ngircd python3-irc weechat-headless
    desktop-file-utils clang-format
    dpkg-dev file lintian appstream groff-base
)

# scoutly_ensure_packages [PACKAGE...]: the given packages, or SCOUTLY_RUN_PACKAGES. As root
# it installs what is missing; anyone else gets the one line that would, and a failure.
scoutly_ensure_packages() {
    local wanted=("$@") missing=()
    [ ${#wanted[@]} -eq 0 ] && wanted=("${SCOUTLY_RUN_PACKAGES[@]}")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages; install them with: sudo apt-get install --no-install-recommends ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# scoutly_build [TARGET...]: the given targets, or everything. Extra configure options (a
# sanitized build, say) come in $SCOUTLY_CMAKE_ARGS.
scoutly_build() {
    if [ ! -f "$SCOUTLY_BUILD/build.ninja" ]; then
        local launcher=()
        # Rebuilds of several trees (sanitized, worktrees) reuse each other's objects.
        command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        # shellcheck disable=SC2086
        cmake -S "$SCOUTLY_ROOT" -B "$SCOUTLY_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            "${launcher[@]}" ${SCOUTLY_CMAKE_ARGS:-} >/dev/null
    fi
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build "$SCOUTLY_BUILD" "${targets[@]}"
}
