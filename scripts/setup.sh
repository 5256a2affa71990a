#!/usr/bin/env bash
# Installs everything the project needs to build and test (Debian 12, as root).
set -euo pipefail

packages=(
  build-essential cmake ninja-build g++     # compiler and build tools
  libxerces-c-dev                           # XML parser
  libgtest-dev libgmock-dev                 # unit tests
  libcli11-dev                              # command-line parsing of the tools
  nlohmann-json3-dev                        # JSON of the simulated server's state
  valgrind                                  # memory checking of the test suite, instruction counts of the benchmarks
  clang libclang-rt-14-dev                  # libFuzzer targets and their runtime
  help2man                                  # man pages from the programs' --help
  bash-completion                           # helpers the completion script uses, and its test
  pkgconf                                   # pkg-config, for the test of the installed pkg-config file
  dpkg-dev                                  # dpkg-shlibdeps, with which CPack finds the packages' dependencies
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
