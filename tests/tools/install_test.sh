#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# from another directory: they must find their libraries and the shipped
# definitions without any environment set up for them.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: install_test.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cd /
unset LD_LIBRARY_PATH
check=$("$prefix/bin/lxnicdefs" check "$prefix/share/lxniccfg/lxnicdefs.xml")
grep -q "checksum: matches" <<<"$check"
listing=$("$prefix/bin/lxnicctl" --state "$prefix/state.json" list)
grep -q "TEAM" <<<"$listing"
for f in include/lxniccfg.h include/lxnicif.h; do test -f "$prefix/$f"; done
echo "installed tree works"
