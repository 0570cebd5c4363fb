#!/bin/sh
# Builds Scrapvolt the ways a programmer takes it in without installing it, on a machine that
# has a compiler and CMake but none of the project's other dependencies (each find_package of
# OpenGL, PkgConfig, GoogleTest and Google Benchmark is switched off):
#   subproject <source>  add_subdirectory and FetchContent: only Scrapvolt::physics is linked;
#                        the configure must not need the others, and the program must run;
#   toplevel <source>    a plain configure of the project itself without GoogleTest or Google
#                        Benchmark builds the game, with the tests and benchmark left out.
set -eu
way=$1
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
without="-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON"

case $way in
subproject)
    without="$without -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON"
    for how in add_subdirectory FetchContent; do
        cmake -S "$source/tests/install/subproject" -B "$work/$how" $without \
            -DSCRAPVOLT_WAY=$how -DSCRAPVOLT_SOURCE="$source" \
            -DFETCHCONTENT_SOURCE_DIR_SCRAPVOLT="$source" -DCMAKE_CXX_FLAGS=-Werror \
            >"$work/$how.log" 2>&1 || { cat "$work/$how.log"; fail "$how: configure"; }
        cmake --build "$work/$how" -j2 >>"$work/$how.log" 2>&1 ||
            { cat "$work/$how.log"; fail "$how: build"; }
        "$work/$how/falling_boxes" | diff "$source/tests/install/falling_boxes.expected" - ||
            fail "$how: the example printed other resting places"
        # The subproject builds the engine and nothing of the game, tests or benchmark.
        if [ -e "$work/$how/scrapvolt/game" ] || [ -e "$work/$how/scrapvolt/tests" ] ||
            [ -e "$work/$how/scrapvolt/bench" ]; then
            fail "$how: the subproject configured the game, tests or benchmark"
        fi
    done
    echo "add_subdirectory and FetchContent, engine only, without OpenGL or pkg-config: ok"
    ;;
toplevel)
    cmake -S "$source" -B "$work/build" $without >"$work/log" 2>&1 ||
        { cat "$work/log"; fail "configure without GoogleTest"; }
    grep -q "GoogleTest not found" "$work/log" || fail "no word that the tests are left out"
    cmake --build "$work/build" --target scrapvolt -j2 >>"$work/log" 2>&1 ||
        { cat "$work/log"; fail "the game does not build without GoogleTest"; }
    [ ! -e "$work/build/tests" ] || fail "tests configured without GoogleTest"
    echo "top-level build without GoogleTest or Google Benchmark: ok"
    ;;
*) fail "usage: consumers_test.sh subproject|toplevel <source dir>" ;;
esac
