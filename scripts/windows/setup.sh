#!/usr/bin/env bash
# Installs what the Windows build and its tests need (Debian 12, as root):
# the mingw-w64 cross compilers, Wine to run the results, dpkg-dev to unpack
# Debian's Xerces-C source package, zip for the distributable and the locale
# tools that make the Japanese locale Wine is run under.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix  # cross compilers (posix thread model)
  binutils-mingw-w64-x86-64                               # windres, dlltool, objdump for PE files
  wine64                                                  # runs the Windows programs and tests
  dpkg-dev                                                # dpkg-source: unpacks the Xerces-C source package
  googletest                                              # GoogleTest sources, cross-built for the tests
  zip                                                     # the distributable
  locales                                                 # localedef: the Japanese locale for Wine
)

missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ] || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
