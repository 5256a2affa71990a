#!/usr/bin/env bash
# Boots the kernel test VM once: OUT/run.sh runs inside it, chrooted into
# this machine's root (read-only, with a throw-away overlay), with OUT and
# the build folder shared read-write at their own paths. The VM has four
# emulated NICs on an internal hub with no way out (e1000, e1000 82545EM,
# e1000e, virtio-net; their links are n1..n4) and a QMP socket at OUT/qmp
# through which the host can pull a cable.
# Usage: scripts/vm/run.sh CACHE OUT BUILD
# Exit: run.sh's exit code; 2 when the VM reported none (timeout, panic),
# after printing the console's tail.
set -uo pipefail
cache=$(realpath "$1") out=$(realpath "$2") build=$(realpath "$3")
[ -f "$out/run.sh" ] || { echo "vm: no $out/run.sh" >&2; exit 2; }
rm -f "$out/rc" "$out/guest.log" "$out/qmp"
nics=()
i=1
for device in e1000 e1000-82545em e1000e virtio-net-pci; do
  nics+=(-netdev "hubport,id=n$i,hubid=0" -device "$device,netdev=n$i,romfile=")
  i=$((i + 1))
done
start=$SECONDS
timeout --kill-after=10 "${VM_TIMEOUT:-420}" qemu-system-x86_64 \
  -machine pc,accel=tcg -cpu max -smp 1 -m 1024 \
  -nographic -no-reboot -nic none \
  -kernel "$cache/vmlinux" -initrd "$cache/initrd.cpio.gz" \
  -append "console=ttyS0 panic=-1 quiet vm_rw=$out,$build" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$out,mount_tag=rw0,security_model=none,multidevs=remap" \
  -virtfs "local,path=$build,mount_tag=rw1,security_model=none,multidevs=remap" \
  -qmp "unix:$out/qmp,server=on,wait=off" \
  "${nics[@]}" </dev/null >"$out/console.log" 2>&1
status=$?
echo "vm: qemu ended with $status after $((SECONDS - start)) s"
if [ ! -f "$out/rc" ]; then
  echo "vm: the VM reported no result$([ $status = 124 ] && echo ' (timed out)'); the console's last lines:"
  tail -25 "$out/console.log"
  exit 2
fi
exit "$(cat "$out/rc")"
