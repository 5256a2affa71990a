#!/usr/bin/env bash
# Prepares what the kernel test VM boots: Debian's own kernel (fetched with
# apt-get download and unpacked, never installed on this machine), its
# uncompressed image, and a small initramfs that mounts this machine's root
# read-only over 9p and runs the tests from there.
# Usage: scripts/vm/prepare.sh CACHE_DIR
# Leaves CACHE_DIR/vmlinux and CACHE_DIR/initrd.cpio.gz; both are kept
# between runs and rebuilt only when Debian's kernel or the init changes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=$(realpath -m "${1:?cache folder}")
mkdir -p "$cache"
cd "$cache"

# The metapackage names the current kernel package (linux-image-6.1.0-NN-amd64).
package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/{print $2; exit}')
if [ -z "$package" ]; then
  apt-get update -qq
  package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/{print $2; exit}')
fi
[ -n "$package" ] || { echo "prepare: no kernel package found for linux-image-amd64" >&2; exit 1; }
kver=${package#linux-image-}

if [ "$(cat kver 2>/dev/null)" != "$kver" ] || [ ! -d "kroot/lib/modules/$kver" ]; then
  rm -rf kroot vmlinux initrd.cpio.gz kver
  echo "prepare: fetching $package"
  apt-get download "$package" >/dev/null 2>&1 || apt-get download "$package"
  dpkg-deb -x "${package}"_*.deb kroot
  rm -f "${package}"_*.deb
  depmod -b kroot "$kver"   # the package carries no modules.dep
  echo "$kver" > kver
fi

# QEMU boots the uncompressed ELF image directly (PVH entry), which saves
# the slow decompression inside the emulated machine.
if [ ! -s vmlinux ]; then
  image="kroot/boot/vmlinuz-$kver"
  found=0
  for offset in $(LC_ALL=C grep -aboP '\xfd7zXZ\x00' "$image" | cut -d: -f1); do
    tail -c +$((offset + 1)) "$image" | xz -dcq > vmlinux.tmp 2>/dev/null || true
    if [ "$(head -c 4 vmlinux.tmp | od -An -c | tr -d ' ')" = '177ELF' ]; then
      mv vmlinux.tmp vmlinux; found=1; break
    fi
  done
  rm -f vmlinux.tmp
  [ "$found" = 1 ] || { echo "prepare: no xz-compressed kernel image in $image" >&2; exit 1; }
fi

# The initramfs: busybox, the modules the tests need (with their
# dependencies) and the init script. Rebuilt when the init changes.
stamp=$(sha256sum "$here/init" "$here/prepare.sh" | sha256sum | cut -c1-16)
if [ ! -s initrd.cpio.gz ] || [ "$(cat initrd.stamp 2>/dev/null)" != "$stamp" ]; then
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  mkdir -p "$root"/{bin,sbin,dev,proc,sys,tmp,run,etc,mnt,lib/modules/$kver}
  cp /bin/busybox "$root/bin/busybox"
  for applet in $("$root/bin/busybox" --list); do
    [ -e "$root/bin/$applet" ] || ln -s busybox "$root/bin/$applet"
  done
  modules="$cache/kroot/lib/modules/$kver"
  declare -A seen=()
  add_module() {
    local name=$1 line path deps dep
    line=$(grep -E "/${name}\.ko(\.xz)?:" "$modules/modules.dep" | head -1) ||
      { echo "prepare: no module $name" >&2; return 1; }
    path=${line%%:*}; deps=${line#*:}
    [ -n "${seen[$path]:-}" ] && return 0
    seen[$path]=1
    mkdir -p "$root/lib/modules/$kver/$(dirname "$path")"
    cp "$modules/$path" "$root/lib/modules/$kver/$path"
    for dep in $deps; do add_module "$(basename "$dep" .ko)"; done
  }
  for m in bonding 8021q dummy veth e1000 e1000e virtio_pci virtio_net 9p 9pnet_virtio overlay; do
    add_module "$m"
  done
  cp "$modules"/modules.{order,builtin,builtin.modinfo} "$root/lib/modules/$kver/"
  depmod -b "$root" "$kver"
  install -m 755 "$here/init" "$root/init"
  (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) > initrd.cpio.gz.tmp
  mv initrd.cpio.gz.tmp initrd.cpio.gz
  echo "$stamp" > initrd.stamp
fi
echo "prepare: kernel $kver, $(du -h vmlinux | cut -f1) image, $(du -h initrd.cpio.gz | cut -f1) initramfs in $cache"
