#!/usr/bin/env bash
# Installs what the benchmarks need, builds them and prints every figure with
# its target (Debian 12, as root). Options go to lxniccfg_bench, e.g.
#   bench/run.sh                      # everything, 1, 8 and 64 MB
#   bench/run.sh --sizes=1,8 --only=load,process
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
# SAXCount (the whole-process baseline), /usr/bin/time (peak memory of a
# process) and hyperfine (for cross-checks, see BENCHMARKS.md).
missing=()
for p in libxerces-c-samples time hyperfine; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLXNICCFG_BENCH=ON -DLXNICCFG_TESTS=OFF >/dev/null
ninja -C build-bench lxniccfg_bench lxniccfg_load
echo "machine: $(nproc) cores; $(uptime)"
build-bench/bench/lxniccfg_bench "$@"
