#!/usr/bin/env bash
# Builds Xerces-C for 64-bit Windows from Debian's own source package and
# installs it (static library, headers, CMake package) into a folder that the
# Windows build finds through LXNICCFG_WINDOWS_DEPS:
#
#   scripts/windows/xerces.sh DEPS_DIR
#
# The source comes through apt's source mechanism with a private deb-src
# list made from the machine's own package sources, so the machine's lists
# are left untouched. A folder that already holds this version is kept as it
# is: a second build does not rebuild it.
#
# Configuration: static library; the Windows transcoder and file manager;
# no network access; messages compiled in; XMLCh is char16_t, the same
# 16-bit type as on Linux (the exports' 16-bit wchar_t texts have the same
# representation).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
deps=${1:?usage: xerces.sh DEPS_DIR}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
prefix="$deps/xerces-c"
stamp="$prefix/.built-from"

version=$(dpkg-query -W -f='${source:Version}' libxerces-c-dev 2>/dev/null || true)
[ -n "$version" ] || version=$(apt-cache show --no-all-versions libxerces-c-dev | sed -n 's/^Version: //p')
wanted="xerces-c $version mingw-w64 x86_64 static char16_t"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
  echo "Xerces-C for Windows: $prefix ($version, already built)"
  exit 0
fi

work=$(mktemp -d "$deps/xerces-work.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A private apt configuration: the same archives as the machine's own
# sources, as deb-src entries.
apt_dir="$work/apt"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$apt_dir/sources.list.d/$(basename "$f")"
done
if [ -f /etc/apt/sources.list ]; then
  sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list > "$apt_dir/sources.list.d/main.list"
fi
apt_options=(
  -o Dir::Etc::SourceList=/dev/null
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o APT::Sandbox::User=root
)
echo "Xerces-C for Windows: fetching the source package xerces-c=$version"
apt-get -qq "${apt_options[@]}" update
(cd "$work" && apt-get -qq "${apt_options[@]}" source --download-only "xerces-c=$version" >/dev/null)
# apt checked the files against the archive's signed index; the uploader's
# own signature needs a keyring the machine does not have.
dpkg-source --no-check -x "$work"/xerces-c_*.dsc "$work/src" >/dev/null

echo "Xerces-C for Windows: building"
cmake -S "$work/src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF \
  -Dnetwork=OFF \
  -Dtranscoder=windows \
  -Dfile-manager=windows \
  -Dmutex-manager=standard \
  -Dmessage-loader=inmemory \
  -Dxmlch-type=char16_t \
  -DCMAKE_CXX_FLAGS="-w" >/dev/null
# Only the library: the rest of the tree (samples, tests) is not needed.
cmake --build "$work/build" --target xerces-c -j "$(nproc)"
rm -rf "$prefix"
cmake -DCMAKE_INSTALL_PREFIX="$prefix" -P "$work/build/src/cmake_install.cmake" >/dev/null
echo "$wanted" > "$stamp"
echo "Xerces-C for Windows: $prefix ($version)"
