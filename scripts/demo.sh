#!/usr/bin/env bash
# Sets everything up, builds, and shows the tools at work.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"
echo "== lxnicdefs check definitions/lxnicdefs.xml =="
./build/tools/lxnicdefs/lxnicdefs check definitions/lxnicdefs.xml
