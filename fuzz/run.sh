#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one of them.
#   fuzz/run.sh TARGET [SECONDS]    e.g. fuzz/run.sh definitions_fuzzer 300
# Crashes are written to fuzz/findings/; new interesting inputs stay in a
# scratch corpus so that the seed corpus in the repository stays small.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?target name}
seconds=${2:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DLXNICCFG_FUZZ=ON -DLXNICCFG_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target "$target" -j 2
corpus=${target%_fuzzer}
scratch=build-fuzz/corpus/$corpus
mkdir -p "$scratch" fuzz/findings
dict=()
[ -f "fuzz/$corpus.dict" ] && dict=(-dict="fuzz/$corpus.dict")
./build-fuzz/fuzz/"$target" "${dict[@]}" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 \
  -artifact_prefix=fuzz/findings/ "$scratch" "fuzz/corpus/$corpus"
