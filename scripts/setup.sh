#!/usr/bin/env bash
# Installs everything the project needs to build and test (Debian 12, as root).
set -euo pipefail

packages=(
  build-essential cmake ninja-build g++     # compiler and build tools
  libxerces-c-dev                           # XML parser
  libgtest-dev libgmock-dev                 # unit tests
  libcli11-dev                              # command-line parsing of the tools
  libnl-3-dev libnl-route-3-dev libnl-genl-3-dev  # netlink of the Linux NIC interface library
  nlohmann-json3-dev                        # JSON of the simulated server's state
  valgrind                                  # memory checking of the test suite, instruction counts of the benchmarks
  clang libclang-rt-14-dev                  # libFuzzer targets and their runtime
  help2man                                  # man pages from the programs' --help
  bash-completion                           # helpers the completion script uses, and its test
  pkgconf                                   # pkg-config, for the test of the installed pkg-config file
  dpkg-dev                                  # dpkg-shlibdeps, with which CPack finds the packages' dependencies
  python3-pytest                            # tests of the Ansible collection's modules
  qemu-system-x86 busybox-static kmod cpio xz-utils python3  # the kernel test VM
)
# Installed without the packages they recommend: ansible-core alone runs the
# collection (it would otherwise bring every community collection along).
lean_packages=(
  ansible-core                              # the Ansible collection and its playbook test
)

missing_of() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_lean < <(missing_of "${lean_packages[@]}")
if ((${#missing[@]} + ${#missing_lean[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  ((${#missing[@]} == 0)) || apt-get install -y -qq "${missing[@]}"
  ((${#missing_lean[@]} == 0)) || apt-get install -y -qq --no-install-recommends "${missing_lean[@]}"
fi
