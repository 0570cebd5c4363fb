#!/bin/sh
# Makes the Debian packages from a built tree into a temporary folder (cpack, as the package target
# does) and checks them as a distribution would: each package holds what it must and nothing of
# the other's, the game's dependencies were computed from its binary, lintian finds no error, and
# the desktop entry and the AppStream metadata pass their validators (without the network).
# Usage: package_test.sh <build dir>
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
game=$(ls "$work"/scrapvolt_*.deb) && dev=$(ls "$work"/scrapvolt-dev_*.deb) ||
    fail "cpack made: $(ls "$work")"

# Every path of the package (without the leading "."), one a line.
contents() { dpkg-deb -c "$1" | awk '{print substr($6, 2)}'; }
contents "$game" >"$work/game.txt"
contents "$dev" >"$work/dev.txt"
expect() {  # expect <list> <extended regular expression a line must match>
    grep -Eqx "$2" "$work/$1.txt" || fail "$1 package lacks $2"
}
expect game /usr/games/scrapvolt
expect game /usr/games/scrapvolt-replay
expect game /usr/share/applications/scrapvolt.desktop
expect game '/usr/share/metainfo/[a-z.]+\.metainfo\.xml'
expect game /usr/share/icons/hicolor/scalable/apps/scrapvolt.svg
for size in 16 32 48 256; do
    expect game "/usr/share/icons/hicolor/${size}x$size/apps/scrapvolt.png"
done
expect game /usr/share/man/man6/scrapvolt.6.gz
expect game /usr/share/man/man6/scrapvolt-replay.6.gz
expect dev /usr/include/scrapvolt/physics/world.h
expect dev /usr/include/scrapvolt/shell/game.h
expect dev '/usr/lib/(.*/)?libscrapvolt_(physics|physics_draw|shell)\.a'
expect dev '/usr/lib/(.*/)?cmake/Scrapvolt/ScrapvoltConfig\.cmake'
expect dev '/usr/lib/(.*/)?pkgconfig/scrapvolt-shell\.pc'
for package in game dev; do
    name=scrapvolt && [ $package = dev ] && name=scrapvolt-dev
    expect $package "/usr/share/doc/$name/copyright"
    expect $package "/usr/share/doc/$name/changelog.gz"
done
! grep -Eq '^/usr/(include|lib)/' "$work/game.txt" || fail "the game package holds development files"
! grep -Eq '^/usr/(games|share/(applications|icons|metainfo|man))/' "$work/dev.txt" ||
    fail "the development package holds game files"

[ "$(dpkg-deb -f "$game" Section)" = games ] || fail "the game's section is not games"
dpkg-deb -f "$game" Depends | grep -q 'libsdl1\.2' ||
    fail "the game's dependencies were not computed from its binary"

lintian --fail-on error \
    "$game" "$dev" || fail "lintian"

dpkg-deb -x "$game" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/scrapvolt.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli validate-tree"
echo "packages, their contents, lintian, desktop entry and AppStream metadata: ok"
