#!/usr/bin/env bash
# The demonstration's steps, for any build of the tools:
#
#   scripts/demo-steps.sh "LXNICDEFS COMMAND" "LXNICCTL COMMAND"
#
# (a command may be a program run through wine64). It works in a temporary
# folder with relative paths, so that the output of the Linux and the
# Windows programs can be compared line for line.
set -Eeuo pipefail
# A step that fails ends the demonstration and says which one it was.
trap 'status=$?; echo "demo-steps: \"$BASH_COMMAND\" ended with exit code $status" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
read -r -a lxnicdefs_command <<< "$1"
read -r -a lxnicctl_command <<< "$2"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/definitions/lxnicdefs.xml" "$work/"
cd "$work"

echo "== lxnicdefs check lxnicdefs.xml =="
"${lxnicdefs_command[@]}" check lxnicdefs.xml

lxnicctl() {
  printf '\n$ lxnicctl'
  printf ' %q' "$@"
  echo
  "${lxnicctl_command[@]}" --defs lxnicdefs.xml "$@"
}
state=(--state server.json)

lxnicctl "${state[@]}" list
lxnicctl "${state[@]}" show eth0 Advanced
lxnicctl "${state[@]}" set eth2 "SpeedDuplex=100 Mbps Full Duplex"
lxnicctl "${state[@]}" set eth0 "SpeedDuplex=10 Mbps Half Duplex"
lxnicctl "${state[@]}" set eth2 "JumboFrames=9014 Bytes"
lxnicctl "${state[@]}" team create "Team 2" --members 4,5 "LoadBalAlgorithm=IP Address"
lxnicctl "${state[@]}" vlan add "Team 2" --id 30 --name Storage
lxnicctl "${state[@]}" list
lxnicctl "${state[@]}" save config.xml
echo
echo "\$ cat config.xml"
cat config.xml
lxnicctl --state fresh.json load config.xml --dry-run
lxnicctl --state fresh.json load config.xml
lxnicctl --state fresh.json list
