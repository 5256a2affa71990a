#!/usr/bin/env bash
# Installs what the benchmarks need, builds them and prints every figure with
# its target (Debian 12, as root). Options go to lxniccfg_bench, or after
# --scale to lxnicctl_scale alone, e.g.
#   bench/run.sh                      # everything: 1, 8 and 64 MB, then lxnicctl's time per VLAN
#   bench/run.sh --sizes=1,8 --only=load,process
#   bench/run.sh --scale              # only lxnicctl: 64 adapters, 512 and 4094 VLANs each
#   bench/run.sh --scale --adapters=16 --sizes=256,1024 --rounds=1
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
ninja -C build-bench lxniccfg_bench lxniccfg_load lxnicctl_scale
echo "machine: $(nproc) cores; $(uptime)"
if [[ ${1:-} == --scale ]]; then
  shift
  exec build-bench/bench/lxnicctl_scale "$@"
fi
build-bench/bench/lxniccfg_bench "$@"
echo
build-bench/bench/lxnicctl_scale
