#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# from another directory: they must find their libraries and the shipped
# definitions without any environment set up for them. The tree also holds
# the man pages, the bash completion, and a pkg-config file and CMake package
# with which a small C program is built and run ("consumer": not for a
# sanitizer build, whose library needs its runtime loaded first).
#   install_test.sh BUILD_DIR [consumer]
set -euo pipefail
build=${1:?usage: install_test.sh BUILD_DIR [consumer]}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cd /
unset LD_LIBRARY_PATH
check=$("$prefix/bin/lxnicdefs" check "$prefix/share/lxniccfg/lxnicdefs.xml")
grep -q "checksum: matches" <<<"$check"
check=$("$prefix/bin/lxnicdefs" check "$prefix/share/lxniccfg/lxnicdefs-linux.xml")
grep -q "checksum: matches" <<<"$check"
# The NIC interface library loads its backends from its own folder.
for f in liblxnicif.so.1 liblxnicif-sim.so.1 liblxnicif-linux.so.1; do
  ls "$prefix"/lib*/"$f" >/dev/null
done
listing=$("$prefix/bin/lxnicctl" --state "$prefix/state.json" list)
grep -q "TEAM" <<<"$listing"
for f in include/lxniccfg.h include/lxnicif.h share/bash-completion/completions/lxnicctl \
         share/bash-completion/completions/lxnicdefs; do
  test -f "$prefix/$f" || { echo "missing: $f"; exit 1; }
done
libdir=$(dirname "$(find "$prefix" -name liblxniccfg.so.1 | head -n1)")

# Man pages, when help2man was there to make them.
if command -v help2man >/dev/null; then
  for page in lxnicctl lxnicdefs; do
    grep -q "Exit codes:" <<<"$(man -l "$prefix/share/man/man1/$page.1" 2>/dev/null)" ||
      { echo "man page of $page lacks its exit codes"; exit 1; }
  done
fi

# Completion, with bash-completion's helpers, when they are installed. (Each
# output is taken whole before grep looks at it: "grep -q" in a pipeline
# would end it early, and pipefail would count the writer's broken pipe.)
if [ -f /usr/share/bash-completion/bash_completion ]; then
  complete() {
    bash -c '
      source /usr/share/bash-completion/bash_completion
      source "$1/share/bash-completion/completions/lxnicctl"
      shift
      COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      _lxnic lxnicctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
      printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix" "$@"
  }
  export PATH="$prefix/bin:$PATH"
  [ "$(complete lxnicctl te)" = team ] || { echo "completion of 'te': $(complete lxnicctl te)"; exit 1; }
  grep -qx dissolve <<<"$(complete lxnicctl team "")" || { echo "completion of 'team '"; exit 1; }
  grep -qx -- --state <<<"$(complete lxnicctl --st)" || { echo "completion of '--st'"; exit 1; }
  grep -qx -- --all <<<"$(complete lxnicctl show --a)" || { echo "completion of 'show --a'"; exit 1; }
  grep -qx -- --quiet <<<"$(complete lxnicctl show --)" || { echo "completion of 'show --'"; exit 1; }
  grep -qx eth2/10 <<<"$(complete lxnicctl --state "$prefix/state.json" show eth)" ||
    { echo "completion of targets"; exit 1; }
fi

if [ "${2:-}" = consumer ]; then
  work=$prefix/consumer
  mkdir -p "$work"
  # pkg-config
  export PKG_CONFIG_PATH=$libdir/pkgconfig
  cc -Wall -Werror -o "$work/by-pkg-config" "$here/consumer/consumer.c" $(pkg-config --cflags --libs lxniccfg) \
    -Wl,-rpath,"$(pkg-config --variable=libdir lxniccfg)"
  grep -q "GetNicList 0, 6 adapters" <<<"$(LXNICIF_STATE=$prefix/state.json "$work/by-pkg-config")"
  # find_package(lxniccfg)
  cmake -S "$here/consumer" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/build" >/dev/null
  grep -q "GetNicList 0, 6 adapters" <<<"$(LXNICIF_STATE=$prefix/state.json "$work/build/consumer")"
fi
echo "installed tree works"
