#!/usr/bin/env bash
# Builds the Windows distributable from a Windows build (made by
# scripts/windows/test.sh, or configured with cmake/mingw-w64-x86_64.cmake):
#
#   scripts/windows/package.sh [BUILD_DIR]
#
# writes BUILD_DIR/lxniccfg-VERSION-win64.zip, which holds
#   bin/      lxniccfg.dll, the simulated lxnicif.dll, lxnicui.dll,
#             lxnicctl.exe and lxnicdefs.exe
#   include/  lxniccfg.h and lxnicif.h
#   lib/      liblxniccfg.dll.a (MinGW import library), lxniccfg.def,
#             lxnicif.def and liblxnicif_ordinals.a
#   share/lxniccfg/lxnicdefs.xml, the shipped definitions
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-windows}
[ -f "$build/CMakeCache.txt" ] || { echo "no Windows build in $build: run scripts/windows/test.sh" >&2; exit 1; }
cmake --build "$build" -j "$(nproc)" --target lxniccfg lxnicif_sim lxnicui lxnicctl lxnicdefs
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name="lxniccfg-$version-win64"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/$name" >/dev/null
rm -f "$build/$name.zip"
(cd "$stage" && zip -qr -X "$OLDPWD/$build/$name.zip" "$name")
echo "$build/$name.zip:"
unzip -l "$build/$name.zip" | sed -n '4,$p' | awk 'NF == 4 {print "  " $4}'
