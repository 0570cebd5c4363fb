#!/bin/sh
# Makes the Debian packages from a built tree into a temporary folder (cpack, as the package target
# does) and checks them as a distribution would: each package holds what it must and nothing of
# the others', libraries and pkg-config files in the multiarch folder; the game's dependencies were
# computed from its binary and the engine's name no SDL, OpenGL, X11 or GLU package; every package
# carries the MIT licence; lintian finds no error or warning; the desktop entry and the AppStream
# metadata pass their validators (without the network); and an outside program builds and runs
# against the engine's package alone, unpacked into a folder, with CMake and with pkg-config.
# Usage: package_test.sh <build dir> <source dir>
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
game=$(ls "$work"/scrapvolt_*.deb) && dev=$(ls "$work"/scrapvolt-dev_*.deb) &&
    engine=$(ls "$work"/scrapvolt-physics-dev_*.deb) || fail "cpack made: $(ls "$work")"

# Every path of the package (without the leading "."), one a line.
contents() { dpkg-deb -c "$1" | awk '{print substr($6, 2)}'; }
contents "$game" >"$work/game.txt"
contents "$dev" >"$work/dev.txt"
contents "$engine" >"$work/engine.txt"
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
lib=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expect engine /usr/include/scrapvolt/physics/world.h
expect engine $lib/libscrapvolt_physics.a
expect engine $lib/cmake/Scrapvolt/ScrapvoltConfig.cmake
expect engine $lib/cmake/Scrapvolt/Scrapvolt_physics.cmake
expect engine $lib/pkgconfig/scrapvolt-physics.pc
expect engine /usr/share/doc/scrapvolt-physics-dev/examples/falling_boxes/falling_boxes.cpp
expect dev /usr/include/scrapvolt/shell/game.h
for library in physics_draw shell; do
    expect dev "$lib/libscrapvolt_$library\.a"
    expect dev "$lib/cmake/Scrapvolt/Scrapvolt_$library\.cmake"
    expect dev "$lib/pkgconfig/scrapvolt-$(echo $library | tr _ -)\.pc"
done
expect dev /usr/share/doc/scrapvolt-dev/examples/spinning_polygon/spinning_polygon.cpp
for package in game:scrapvolt dev:scrapvolt-dev engine:scrapvolt-physics-dev; do
    list=${package%%:*} name=${package#*:}
    expect $list "/usr/share/doc/$name/copyright"
    expect $list "/usr/share/doc/$name/changelog.gz"
    [ $list = game ] || expect $list "/usr/share/doc/$name/README"
    # No file in two packages, so that they install side by side.
    for other in game dev engine; do
        [ $other = $list ] || ! grep -vx '.*/' "$work/$list.txt" | grep -Fxq -f - "$work/$other.txt" ||
            fail "$list and $other hold the same file"
    done
done
! grep -Eq '^/usr/(include|lib)/' "$work/game.txt" || fail "the game package holds development files"
! grep -Eq '^/usr/(games|share/(applications|icons|metainfo|man))/' "$work/dev.txt" "$work/engine.txt" ||
    fail "a development package holds game files"
! grep -Eq '^/usr/(include/scrapvolt/shell|lib/.*(draw|shell))' "$work/engine.txt" ||
    fail "the engine's package holds the drawing or the shell"
! grep -Eq '^/usr/lib/[^/]+$|^/usr/lib/(pkgconfig|cmake)/' "$work/engine.txt" "$work/dev.txt" ||
    fail "a library or package file is outside the multiarch folder $lib"

# Every package carries the MIT licence, as the machine-readable copyright file states it.
for deb in "$game" "$dev" "$engine"; do
    name=$(dpkg-deb -f "$deb" Package)
    dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$name/copyright" >"$work/copyright"
    grep -qx 'License: Expat' "$work/copyright" &&
        grep -q 'Permission is hereby granted, free of charge' "$work/copyright" ||
        fail "$name does not carry the MIT licence"
done

[ "$(dpkg-deb -f "$game" Section)" = games ] || fail "the game's section is not games"
dpkg-deb -f "$game" Depends | grep -q 'libsdl1\.2' ||
    fail "the game's dependencies were not computed from its binary"
# Built with SDL 1.2 on SDL 2, the game asks for it: the computed dependency alone lets apt install
# the classic SDL 1.2, on which the game starts without multisampling.
if dpkg-query -W -f='${Status}' libsdl1.2-compat-shim 2>/dev/null | grep -q 'install ok installed'
then
    dpkg-deb -f "$game" Depends | grep -Eq '(^|, )libsdl1\.2-compat-shim(,|$)' ||
        fail "the game does not ask for the SDL 1.2 on SDL 2 it was built with"
fi

# The engine needs only a compiler; the drawing and the shell bring what they need.
! dpkg-deb -f "$engine" Depends | grep -Eiq 'sdl|gl|x11|glu' ||
    fail "the engine's package depends on $(dpkg-deb -f "$engine" Depends)"
version=$(dpkg-deb -f "$engine" Version)
dpkg-deb -f "$dev" Depends | grep -Fq "scrapvolt-physics-dev (= $version)" ||
    fail "scrapvolt-dev does not depend on the engine's package of its version"
for need in libsdl1.2 libsdl-mixer1.2-dev libx11-dev libgl-dev libglu; do
    dpkg-deb -f "$dev" Depends | grep -Fq $need || fail "scrapvolt-dev does not depend on $need"
done

lintian --fail-on error,warning "$game" "$dev" "$engine" || fail "lintian"

dpkg-deb -x "$game" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/scrapvolt.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli validate-tree"

# The engine's package alone, unpacked into a folder: its example builds with CMake and with
# pkg-config, without a ".." or a duplicate in the compiler's paths, and prints what it should.
dpkg-deb -x "$engine" "$work/engine"
examples=$work/engine/usr/share/doc/scrapvolt-physics-dev/examples
cmake -S "$examples/falling_boxes" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/engine/usr" \
    -DCMAKE_CXX_FLAGS=-Werror >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "cmake"; }
grep -qx "Scrapvolt_DIR:PATH=$work/engine$lib/cmake/Scrapvolt" "$work/cmake/CMakeCache.txt" ||
    fail "CMake found another Scrapvolt: $(grep Scrapvolt_DIR "$work/cmake/CMakeCache.txt")"
cmake --build "$work/cmake" >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "cmake --build"; }
grep -q '^Cflags: -I${includedir} -ffp-contract=off$' "$work/engine$lib/pkgconfig/scrapvolt-physics.pc" &&
    grep -qx 'prefix=/usr' "$work/engine$lib/pkgconfig/scrapvolt-physics.pc" ||
    fail "scrapvolt-physics.pc: $(cat "$work/engine$lib/pkgconfig/scrapvolt-physics.pc")"
flags=$(PKG_CONFIG_SYSROOT_DIR="$work/engine" PKG_CONFIG_LIBDIR="$work/engine$lib/pkgconfig" \
    pkg-config --cflags --libs scrapvolt-physics)
expected="-I$work/engine/usr/include -ffp-contract=off -L$work/engine$lib -lscrapvolt_physics"
[ "$(echo $flags)" = "$expected" ] ||
    fail "pkg-config gives: $flags"
${CXX:-c++} -std=c++20 -Wall -Werror -o "$work/falling_boxes" \
    "$examples/falling_boxes/falling_boxes.cpp" $flags || fail "c++ with pkg-config"
for program in "$work/cmake/falling_boxes" "$work/falling_boxes"; do
    "$program" | diff "$source/tests/install/falling_boxes.expected" - ||
        fail "$program printed other resting places"
done
echo "packages, their contents and dependencies, the licence, lintian, desktop entry, AppStream"
echo "metadata, and a program built against the engine's package alone: ok"
