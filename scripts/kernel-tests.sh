#!/usr/bin/env bash
# Runs the tests labelled "kernel" inside a QEMU VM with Debian's own kernel
# (bonding, 802.1Q and emulated NICs), never on this machine's network.
# The VM boots twice: the first runs every kernel test (the host pulls a
# cable when a test asks, through QMP) and saves a script; the second, a
# fresh server, loads that script and checks it gives the same teams and
# VLANs. The kernel and the initramfs are kept in build-vm/cache.
# Usage: scripts/kernel-tests.sh [BUILD_DIR]   (default: build, already built)
# A machine that cannot run the VM fails the run and says what it lacks;
# LXNICCFG_KERNEL_TESTS=skip skips it on purpose, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
cache=build-vm/cache

if [ "${LXNICCFG_KERNEL_TESTS:-run}" = skip ]; then
  echo "kernel tests: SKIPPED because LXNICCFG_KERNEL_TESTS=skip: bonds, VLANs and ethtool settings were NOT tested"
  exit 0
fi
cannot() {
  echo "kernel tests: cannot run: $1" >&2
  echo "kernel tests: (scripts/setup.sh installs what the VM needs; LXNICCFG_KERNEL_TESTS=skip skips the VM on purpose)" >&2
  exit 1
}
for tool in qemu-system-x86_64 busybox depmod cpio xz python3 apt-get dpkg-deb; do
  command -v "$tool" >/dev/null || cannot "$tool is not installed"
done
[ -x "$build/tests/linux/lxnicif_linux_kernel_tests" ] || cannot "no kernel tests in $build (build it first)"
[ "$(id -u)" = 0 ] || cannot "fetching the kernel package needs root"
./scripts/vm/prepare.sh "$cache" || cannot "the kernel or the initramfs could not be prepared"
out=$(realpath -m build-vm/run)
rm -rf "$out"
mkdir -p "$out/sync"

vm() {
  local label=$1 title=$2
  printf '#!/bin/sh\nexport LXNIC_VM=1 LXNICIF_TRACE=1 LXNIC_VM_SYNC=%s\ncd %s && exec ctest -L %s --no-tests=error --output-on-failure --timeout 300\n' \
    "$out/sync" "$build" "'^$label\$'" > "$out/run.sh"
  echo "-- VM: $title"
  python3 scripts/vm/qmp-link.py "$out/qmp" "$out/sync" &
  local qmp=$! status=0
  ./scripts/vm/run.sh "$cache" "$out" "$build" || status=$?
  kill "$qmp" 2>/dev/null || true
  wait "$qmp" 2>/dev/null || true
  [ -f "$out/guest.log" ] && cat "$out/guest.log"
  return "$status"
}

vm kernel "the kernel tests"
vm kernel-load "loading the saved script into a fresh server"
