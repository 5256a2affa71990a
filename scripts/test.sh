#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite plainly, the
# Ansible collection's tests against the plain build, the suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, under ThreadSanitizer and
# under valgrind memcheck, then runs each fuzzing target briefly on its seed
# corpus. The Debian packages of the plain build are built, checked and
# unpacked into a throw-away root (nothing is installed on the machine). The
# Windows build is cross-built with mingw-w64, its tests and the
# demonstration run under Wine, and its zip is made. The Linux NIC interface
# library's kernel tests run in a QEMU VM with Debian's own kernel right
# after the plain build (scripts/kernel-tests.sh). Every stage has a
# heading; the first stage that fails ends the run with a non-zero exit, and
# the time of every stage is listed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

jobs=$(nproc)
fuzz_seconds=${LXNICCFG_FUZZ_SECONDS:-30}
timings=()

stage() {
  local title=$1; shift
  echo
  echo "======== $title ========"
  local start=$SECONDS
  "$@"
  timings+=("$(printf '%5ds  %s' $((SECONDS - start)) "$title")")
}

build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

run() {
  local dir=$1; shift
  build "$dir" "$@"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

asan() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run build-asan -DLXNICCFG_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
}

tsan() {
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    run build-tsan -DLXNICCFG_TSAN=ON -DCMAKE_BUILD_TYPE=Debug
}

# The plain build's tests under valgrind. A test fails when valgrind finds an
# invalid access, a use of an uninitialised value or a definitely or
# indirectly lost block (exit code 99); what is still reachable at exit is
# not a leak. Tests labelled "huge" are left out: their 100 MB inputs run for
# many minutes under valgrind and exercise nothing the others do not.
memcheck() {
  local options=(
    --tool=memcheck -q --num-callers=40
    --leak-check=full --show-leak-kinds=definite,indirect
    --errors-for-leak-kinds=definite,indirect --error-exitcode=99
    --suppressions="$PWD/tests/valgrind.supp"
  )
  rm -f build/Testing/Temporary/MemoryChecker.*.log
  # The tests are configured without a CTest dashboard, so the memory checker
  # is named on the command line.
  if ! ctest --test-dir build -j "$jobs" -LE huge -T memcheck --output-on-failure \
      --overwrite MemoryCheckCommand="$(command -v valgrind)" \
      --overwrite MemoryCheckCommandOptions="${options[*]}"; then
    # valgrind writes its findings to one log per test.
    for log in build/Testing/Temporary/MemoryChecker.*.log; do
      [ -s "$log" ] && { echo "---- $log"; cat "$log"; }
    done
    return 1
  fi
}

# The Ansible collection's module tests, and its playbook run with parallel
# forks on a fleet of 20 simulated servers on this machine (each with its own
# state file in a temporary folder), both against the plain build's lxnicctl.
collection() {
  PYTHONDONTWRITEBYTECODE=1 LXNICCTL="$PWD/build/tools/lxnicctl/lxnicctl" \
    pytest-3 -q -p no:cacheprovider ansible/ansible_collections/lxniccfg/net/tests
}

# The Windows stage (Xerces-C for Windows is built once and kept in .deps/),
# its demonstration compared with the plain build's, then the distributable.
windows() {
  ./scripts/windows/test.sh build-windows build
  ./scripts/windows/package.sh build-windows
}

fuzz() {
  for target in checksum_fuzzer definitions_fuzzer script_reader_fuzzer; do
    echo "-- $target, ${fuzz_seconds}s"
    # libFuzzer's progress lines and recommended dictionary are left out; its
    # summary and any finding stay.
    ./fuzz/run.sh "$target" "$fuzz_seconds" 2>&1 | grep -v '^#[0-9]' |
      sed '/^###### Recommended dictionary/,/^###### End of recommended dictionary/d'
  done
}

stage "plain build" run build
# The VM must run; LXNICCFG_KERNEL_TESTS=skip leaves it out on purpose, and
# the list of stage times says so.
vm_title="Linux kernel tests in a virtual machine"
[ "${LXNICCFG_KERNEL_TESTS:-run}" = skip ] && vm_title+=" (SKIPPED: LXNICCFG_KERNEL_TESTS=skip)"
stage "$vm_title" ./scripts/kernel-tests.sh build
stage "Debian packages of the plain build" ./tests/tools/deb_test.sh build
stage "Windows build under Wine" windows
stage "Ansible collection: modules, and a playbook on 20 simulated servers" collection
stage "AddressSanitizer + UndefinedBehaviorSanitizer build" asan
stage "ThreadSanitizer build" tsan
stage "valgrind memcheck of the plain build" memcheck
stage "fuzzing, ${fuzz_seconds}s per target" fuzz

echo
echo "======== stage times ========"
printf '%s\n' "${timings[@]}"
