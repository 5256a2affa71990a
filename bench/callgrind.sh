#!/usr/bin/env bash
# Instruction counts of the benchmarks under callgrind: repeatable even on a
# loaded machine. Each subject and its baseline run once; the ratios are of
# instructions executed in the program. Time spent in the kernel is not
# counted, so the figures of writing a file (whose baseline is little more
# than a system call) mean something only as wall time.
#   bench/callgrind.sh BUILD_DIR [lxniccfg_bench options, default --sizes=1,8]
#   e.g. bench/callgrind.sh build-bench --sizes=1 --only=load,script
set -euo pipefail
build=${1:?usage: bench/callgrind.sh BUILD_DIR [--sizes=1,8] [--only=load,script,panel]}
shift
options=("$@")
((${#options[@]})) || options=(--sizes=1,8)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/cg.out" \
  "$build/bench/lxniccfg_bench" --quick "${options[@]}" >/dev/null 2>"$out/log" || {
  cat "$out/log" >&2
  exit 1
}
# One dump per measured run: its name and its total instruction count.
for f in "$out"/cg.out.*; do
  name=$(sed -n 's/^desc: Trigger: Client Request: //p' "$f")
  total=$(sed -n 's/^summary: //p' "$f")
  [[ -n $name ]] && echo "$name $total"
done | sort -t/ -k1,1 | awk '
  { split($1, part, "/"); key = part[1]; side = part[2]; count[key, side] = $2; keys[key] = 1 }
  END {
    for (k in keys) {
      s = count[k, "subject"]; b = count[k, "baseline"]
      if (s == "" || b == "") continue
      printf "%-22s subject %14d  baseline %14d  ratio %6.2f\n", k, s, b, s / b
      if (count[k, "checksum"] != "") printf "%-22s checksum pass alone %14d\n", k, count[k, "checksum"]
    }
  }' | sort
