#!/usr/bin/env bash
# Sets everything up, builds, and shows lxnicctl at work on a simulated server
# kept in a temporary state file: list, show a panel, change a setting (the
# dependency rules follow), create a team with a VLAN, save the configuration
# as a script, load it into a fresh server and list that one.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"

echo "== lxnicdefs check definitions/lxnicdefs.xml =="
./build/tools/lxnicdefs/lxnicdefs check definitions/lxnicdefs.xml

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lxnicctl() {
  printf '\n$ lxnicctl'
  printf ' %q' "$@"
  echo
  ./build/tools/lxnicctl/lxnicctl "$@"
}
state=(--state "$work/server.json")

lxnicctl "${state[@]}" list
lxnicctl "${state[@]}" show eth0 Advanced
lxnicctl "${state[@]}" set eth2 "SpeedDuplex=100 Mbps Full Duplex"
lxnicctl "${state[@]}" set eth0 "SpeedDuplex=10 Mbps Half Duplex"
lxnicctl "${state[@]}" set eth0 "JumboFrames=9014 Bytes"
lxnicctl "${state[@]}" team create "Team 2" --members 4,5 "LoadBalAlgorithm=IP Address"
lxnicctl "${state[@]}" vlan add "Team 2" --id 30 --name Storage
lxnicctl "${state[@]}" list
lxnicctl "${state[@]}" save "$work/config.xml"
echo
echo "\$ cat config.xml"
cat "$work/config.xml"
lxnicctl --state "$work/fresh.json" load "$work/config.xml" --dry-run
lxnicctl --state "$work/fresh.json" load "$work/config.xml"
lxnicctl --state "$work/fresh.json" list
