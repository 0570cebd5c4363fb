#!/bin/sh
# Installs the build into a temporary prefix and builds the examples against that install as an
# outside user would, once through find_package and once through pkg-config; then runs them.
# Fails when an installed header does not compile on its own (one it includes was not installed),
# when a program's own Vec2, World or tickRate meets ours, when a library defines a global symbol
# outside its namespace, when the headless example links SDL or OpenGL or prints other resting
# places than expected, or when the window example does not quit on Escape. Needs an X display; usage:
#   examples_test.sh <build dir> <source dir>
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/games/scrapvolt" || fail "no games/scrapvolt"
desktop=$prefix/share/applications/scrapvolt.desktop
grep -qx Exec=scrapvolt "$desktop" && grep -Eq '^Categories=(.*;)?Game;' "$desktop" ||
    fail "the desktop entry does not start scrapvolt as a Game"
grep -qx Icon=scrapvolt "$desktop" && test -f "$prefix/share/icons/hicolor/scalable/apps/scrapvolt.svg" ||
    fail "the desktop entry's icon is not installed"

PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name scrapvolt-physics.pc)")
export PKG_CONFIG_PATH
cxx="${CXX:-c++} -std=c++20 -Wall -Wextra -Wpedantic -Werror"
for header in $(cd "$prefix/include" && find scrapvolt -name '*.h'); do
    case $header in scrapvolt/shell/*) module=scrapvolt-shell ;; *) module=scrapvolt-physics ;; esac
    echo "#include <$header>" | $cxx -fsyntax-only $(pkg-config --cflags $module) -x c++ - ||
        fail "$header does not compile on its own"
done

# A program with names of its own that the libraries also use (Vec2, Polygon, World, screen,
# tickRate...) builds against every installed header and links with the libraries.
includes=$(cd "$prefix/include" && find scrapvolt -name '*.h' | sed 's/^/-include /')
$cxx -o "$work/own_names" $includes $(pkg-config --cflags scrapvolt-shell) \
    "$source/tests/install/own_names.cpp" "$source/tests/install/own_names_other.cpp" \
    $(pkg-config --libs scrapvolt-shell scrapvolt-physics-draw) ||
    fail "a program's own names meet the libraries' names"
# The libraries define no strong global symbol outside their namespace but main.
for library in $(find "$prefix" -name 'libscrapvolt_*.a'); do
    outside=$(nm -C --defined-only --extern-only "$library" | grep -E '^[0-9a-f]* [TDBRG] ' |
        cut -d' ' -f3- | grep -v -E '^((typeinfo|typeinfo name|vtable|VTT) for )?scrapvolt::' |
        grep -v -x main || true)
    [ -z "$outside" ] || fail "$(basename "$library") defines outside the namespace: $outside"
done

# Builds both examples into $work/<way>/, with the link line of the headless one in link.txt.
cd "$work"
for example in falling_boxes spinning_polygon; do
    cmake -S "$source/examples/$example" -B cmake/$example-build -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_CXX_FLAGS=-Werror >/dev/null
    cmake --build cmake/$example-build >/dev/null
    cp cmake/$example-build/$example cmake/
done
cp cmake/falling_boxes-build/CMakeFiles/falling_boxes.dir/link.txt cmake/link.txt
# The engine's floating-point flags reach whoever compiles its headers, both ways.
grep -q -- -ffp-contract=off cmake/falling_boxes-build/CMakeFiles/falling_boxes.dir/flags.make ||
    fail "Scrapvolt::physics does not carry -ffp-contract=off to its consumers"
for module in scrapvolt-physics scrapvolt-physics-draw; do
    pkg-config --cflags $module | grep -q -- -ffp-contract=off ||
        fail "pkg-config --cflags $module lacks -ffp-contract=off"
done
mkdir pkg-config
physics_libs=$(pkg-config --libs scrapvolt-physics)
echo "$physics_libs" >pkg-config/link.txt
$cxx -O2 -o pkg-config/falling_boxes $(pkg-config --cflags scrapvolt-physics) \
    "$source/examples/falling_boxes/falling_boxes.cpp" $physics_libs
$cxx -O2 -o pkg-config/spinning_polygon $(pkg-config --cflags scrapvolt-shell) \
    "$source/examples/spinning_polygon/spinning_polygon.cpp" \
    $(pkg-config --libs scrapvolt-shell scrapvolt-physics-draw)

export APPDATA="$work" SDL_AUDIODRIVER=dummy  # its preferences file goes to the temporary folder
for way in cmake pkg-config; do
    if ldd $way/falling_boxes | cat - $way/link.txt | grep -E 'libSDL|libGL|libOpenGL|-l(SDL|GL)'
    then
        fail "the headless example ($way) links SDL or OpenGL"
    fi
    $way/falling_boxes | diff "$source/tests/install/falling_boxes.expected" - ||
        fail "the headless example ($way) printed other resting places"

    timeout 20 $way/spinning_polygon &
    pid=$!
    window=$(timeout 10 xdotool search --sync --onlyvisible --class spinning_polygon | head -n 1)
    [ -n "$window" ] || fail "no window of the window example ($way)"
    xdotool windowfocus --sync "$window" key Escape
    wait $pid || fail "the window example ($way) did not quit with status 0 on Escape"
done
echo "install, find_package and pkg-config builds, both examples: ok"
