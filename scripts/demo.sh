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

./scripts/demo-steps.sh "$PWD/build/tools/lxnicdefs/lxnicdefs" "$PWD/build/tools/lxnicctl/lxnicctl"
