#!/usr/bin/env bash
# The Windows stage: cross-builds the library, the simulated NIC interface
# library, the tools and the tests for 64-bit Windows with mingw-w64, and
# runs the tests under wine64 through CTest; then runs the demonstration
# with lxnicctl.exe and compares its output with the Linux programs' (a
# Linux build of the tools in LINUX_BUILD, default build/, built if needed).
#
#   scripts/windows/test.sh [BUILD_DIR [LINUX_BUILD]]
#
# Xerces-C for Windows is built once into LXNICCFG_WINDOWS_DEPS (default
# .deps/). Wine keeps its prefix in BUILD_DIR/wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${1:-build-windows}
linux_build=${2:-build}
deps=${LXNICCFG_WINDOWS_DEPS:-$root/.deps}
jobs=$(nproc)

./scripts/windows/setup.sh
./scripts/windows/xerces.sh "$deps"

# The locales Wine runs under, made into a folder of the build (the
# machine's own locale settings are left alone).
mkdir -p "$build/locales"
for locale in en_US ja_JP; do
  [ -d "$build/locales/$locale.UTF-8" ] || localedef -i "$locale" -f UTF-8 "$build/locales/$locale.UTF-8"
done

# A private Wine prefix, and one wine server kept running for the whole
# stage: each test process then starts in a fraction of a second.
export WINEPREFIX="$root/$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export LOCPATH="$root/$build/locales"
# The programs started from here find the locale in LOCPATH; this shell does
# not look there and would warn.
{ export LC_ALL=en_US.UTF-8; } 2>/dev/null
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
# A server already running for this prefix is used as it is, and left running.
if "$wineserver" -p >/dev/null 2>&1; then
  trap '"$wineserver" -k 2>/dev/null || true' EXIT
fi
"$wine64" wineboot --init >/dev/null 2>&1 || true

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DLXNICCFG_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" -j "$jobs" --output-on-failure

# The demonstration: lxnicctl.exe under Wine says what the Linux lxnicctl
# says (Windows programs end their lines with CR LF; those are compared as
# line feeds).
if [ ! -x "$linux_build/tools/lxnicctl/lxnicctl" ] || [ ! -x "$linux_build/tools/lxnicdefs/lxnicdefs" ]; then
  cmake -S . -B "$linux_build" -G Ninja >/dev/null
  cmake --build "$linux_build" -j "$jobs" --target lxnicctl lxnicdefs
fi
echo "-- the demonstration under Wine, compared with Linux"
# True when STATUS is 0; otherwise says that the demonstration WHERE failed,
# with the last lines of its output FILE.
demo_ended_well() {
  local where=$1 status=$2 file=$3
  [ "$status" -eq 0 ] && return 0
  echo "the demonstration $where failed (exit code $status); its last lines:" >&2
  tail -n 30 "$file" >&2
  return 1
}
status=0
./scripts/demo-steps.sh "$root/$linux_build/tools/lxnicdefs/lxnicdefs" "$root/$linux_build/tools/lxnicctl/lxnicctl" \
  > "$build/demo-linux.txt" 2>&1 || status=$?
demo_ended_well "on Linux" "$status" "$build/demo-linux.txt"
# Runs the demonstration under Wine into demo-windows.txt; true when it ends
# well and says what the Linux one says.
windows_demo() {
  local status=0
  ./scripts/demo-steps.sh "$wine64 $root/$build/bin/lxnicdefs.exe" "$wine64 $root/$build/bin/lxnicctl.exe" \
    > "$build/demo-windows.raw" 2>&1 || status=$?
  tr -d '\r' < "$build/demo-windows.raw" > "$build/demo-windows.txt"
  demo_ended_well "under Wine" "$status" "$build/demo-windows.txt" || return 1
  if ! diff -u "$build/demo-linux.txt" "$build/demo-windows.txt"; then
    echo "the demonstration under Wine differs from the Linux one" >&2
    return 1
  fi
}
# A run under Wine that fails is run once more: a second failure fails the
# stage; a failure that does not come back is left in the log with the step
# that failed and its last lines, to be looked into.
if ! windows_demo; then
  echo "-- the demonstration under Wine, once more"
  windows_demo
fi
echo "the demonstration under Wine gives the same $(wc -l < "$build/demo-windows.txt") lines as on Linux"
