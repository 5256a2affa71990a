#!/usr/bin/env bash
# Builds the Debian packages of a build with CPack, checks what each holds and
# depends on (dpkg-deb), lets apt-get resolve installing them as on a fresh
# machine, and runs lxnicctl and lxnicdefs from the installed files.
#
# Nothing is installed on this machine: "apt-get install --simulate" resolves
# the packages and every dependency against the machine's package lists exactly
# as "apt-get install ./*.deb" would, without touching the package database,
# and "dpkg -x" unpacks them into a throw-away root. So the other test stages
# (and anything else running here) never see the packages, and a run that
# stops half way leaves nothing behind.
#   deb_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: deb_test.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$work" && cpack -G DEB -B "$work/debs" --config "$build/CPackConfig.cmake" >/dev/null 2>&1) ||
  { echo "deb_test: cpack failed"; exit 1; }
cd "$work/debs"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
lib=liblxniccfg1_${version}_$arch.deb dev=liblxniccfg-dev_${version}_$arch.deb tools=lxniccfg-tools_${version}_$arch.deb
for deb in "$lib" "$dev" "$tools"; do test -f "$deb" || { echo "missing package $deb"; ls; exit 1; }; done

fail() { echo "deb_test: $*"; exit 1; }
holds() {  # holds DEB PATH...
  local deb=$1 listing; shift
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for path in "$@"; do grep -qx "./$path" <<<"$listing" || fail "$deb does not hold $path"; done
}
holds "$lib" usr/lib/liblxniccfg.so.1 usr/lib/liblxnicif.so.1 usr/lib/liblxnicif-sim.so.1 usr/lib/liblxnicif-linux.so.1
holds "$dev" usr/include/lxniccfg.h usr/include/lxnicif.h usr/lib/liblxniccfg.so usr/lib/pkgconfig/lxniccfg.pc \
  usr/lib/cmake/lxniccfg/lxniccfgConfig.cmake usr/lib/cmake/lxniccfg/lxniccfgTargets.cmake
holds "$tools" usr/bin/lxnicctl usr/bin/lxnicdefs usr/share/lxniccfg/lxnicdefs.xml usr/share/lxniccfg/lxnicdefs-linux.xml \
  usr/share/man/man1/lxnicctl.1 usr/share/man/man1/lxnicdefs.1 usr/share/bash-completion/completions/lxnicctl
# The library package holds no headers or .so link, the -dev package no library.
if dpkg-deb -c "$lib" | awk '{print $6}' | grep 'include/\|\.so$' >/dev/null; then fail "$lib holds development files"; fi
if dpkg-deb -c "$dev" | awk '{print $6}' | grep '\.so\.1' >/dev/null; then fail "$dev holds the library itself"; fi

depends() { dpkg-deb -f "$1" Depends; }
grep -q "liblxniccfg1 (= $version)" <<<"$(depends "$dev")" || fail "$dev does not depend on liblxniccfg1 $version"
grep -q "liblxniccfg1 (= $version)" <<<"$(depends "$tools")" || fail "$tools does not depend on liblxniccfg1 $version"
grep -q "libxerces-c3.2" <<<"$(depends "$lib")" || fail "$lib does not depend on Xerces-C: $(depends "$lib")"
grep -q "libstdc++6" <<<"$(depends "$lib")" || fail "$lib does not depend on libstdc++6"
grep -q "libnl-genl-3-200" <<<"$(depends "$lib")" || fail "$lib does not depend on libnl: $(depends "$lib")"

# apt resolves installing all three, dependencies included.
simulated=$(apt-get install --simulate --no-install-recommends ./"$lib" ./"$dev" ./"$tools" 2>&1) ||
  fail "apt-get cannot install the packages: $simulated"
for package in liblxniccfg1 liblxniccfg-dev lxniccfg-tools; do
  grep -q "^Conf $package " <<<"$simulated" || fail "apt-get would not configure $package: $simulated"
done

# The installed files work from where the packages put them.
root=$work/root
for deb in "$lib" "$dev" "$tools"; do dpkg -x "$deb" "$root"; done
cd /
unset LD_LIBRARY_PATH
grep -qx "lxnicctl $version" <<<"$("$root/usr/bin/lxnicctl" --version)" || fail "lxnicctl --version"
listing=$("$root/usr/bin/lxnicctl" --state "$work/state.json" list)
grep -q "Team 1" <<<"$listing" || fail "installed lxnicctl list: $listing"
for defs in lxnicdefs.xml lxnicdefs-linux.xml; do
  grep -q "checksum: matches" <<<"$("$root/usr/bin/lxnicdefs" check "$root/usr/share/lxniccfg/$defs")" ||
    fail "installed lxnicdefs check $defs"
done
# The Linux back end loads from the installed tree; it lists the interfaces of
# a network namespace of its own (when one can be made), not this machine's.
if unshare --net true 2>/dev/null; then
  unshare --net "$root/usr/bin/lxnicctl" --backend linux --state-dir "$work/state" list >/dev/null ||
    fail "installed lxnicctl --backend linux list"
fi
echo "Debian packages: $lib $dev $tools"
