# Debian packages the project needs, and a function that installs the missing ones.
# Sourced by the tools in this folder.

# librsvg2-bin renders the icon's PNG sizes; dpkg-dev (dpkg-shlibdeps) computes the game package's
# dependencies.
BUILD_PACKAGES=(g++ cmake make pkg-config libgtest-dev libbenchmark-dev
    libsdl1.2-compat-dev libsdl-mixer1.2-dev libx11-dev libgl-dev libglu1-mesa-dev
    librsvg2-bin dpkg-dev)
# Window tests: a virtual X server with software OpenGL, input, screenshots and window managers
# (openbox, and GNOME's mutter, which needs a D-Bus session). Package test: lintian and the
# validators of desktop entries and AppStream metadata. clang: the engine's tests under its
# sanitizers, and its fuzz targets. The aarch64 cross compiler, its C library and qemu-user: the
# determinism check.
TEST_PACKAGES=(xvfb xauth xdotool imagemagick libgl1-mesa-dri openbox mutter dbus
    lintian desktop-file-utils appstream clang
    g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user)

# clang's sanitizer and fuzzer runtimes: a package of their own from LLVM 14 on in Debian 12,
# which clang only recommends (so --no-install-recommends leaves it out); older releases ship them
# with clang.
ensure_clang_runtimes() {
    local version
    version=$(clang -dumpversion | cut -d. -f1)
    if apt-cache show "libclang-rt-$version-dev" >/dev/null 2>&1; then
        ensure_packages "libclang-rt-$version-dev"
    fi
}

package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs every named package that is not installed yet, through apt-get as root or sudo.
ensure_packages() {
    if ! command -v dpkg-query >/dev/null 2>&1; then
        echo "error: this script installs its dependencies with apt-get (Debian or Ubuntu);" >&2
        echo "       install the equivalents of: $*" >&2
        return 1
    fi
    local missing=() p
    for p in "$@"; do
        # Older releases ship the classic SDL 1.2 instead of the compatibility layer.
        if [ "$p" = libsdl1.2-compat-dev ] && package_installed libsdl1.2-dev; then
            continue
        fi
        package_installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "error: missing packages: ${missing[*]}" >&2
            echo "       run this as root, or install sudo, or install them yourself with" >&2
            echo "       apt-get install ${missing[*]}" >&2
            return 1
        fi
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    local i
    for i in "${!missing[@]}"; do
        if [ "${missing[$i]}" = libsdl1.2-compat-dev ] &&
            ! apt-cache show libsdl1.2-compat-dev >/dev/null 2>&1; then
            missing[$i]=libsdl1.2-dev
        fi
    done
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}
