#!/usr/bin/env bash
# Builds a second tree with the address, undefined-behaviour and leak sanitizers (RelWithDebInfo,
# no benchmarks) and runs the whole suite there, GUI tests on the offscreen platform. Any
# sanitizer report fails the run, also one from a child process (ormelit-cli started by a test)
# whose exit code a test might have accepted: every report goes to a file, and the files are
# counted at the end.
#
#   scripts/sanitize.sh            # tree build-san, all cores
#   ORMELIT_SAN_BUILD=DIR scripts/sanitize.sh
#   scripts/sanitize.sh -R Fuzz    # arguments go to ctest
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
./scripts/install-deps.sh

build=${ORMELIT_SAN_BUILD:-build-san}
# g++ leaves float-to-integer overflow out of "undefined"; a coordinate of 1e20 cast to int must
# not pass silently, so it is asked for by name.
checks="address,undefined,float-cast-overflow"
sanitize="-fsanitize=$checks -fno-sanitize-recover=undefined,float-cast-overflow"
sanitize+=" -fno-omit-frame-pointer"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORMELIT_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$checks" \
    >/dev/null
cmake --build "$build" -j"$(nproc)"

reports="$root/$build/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
asan="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1"
asan+=":check_initialization_order=1:strict_init_order=1"
export ASAN_OPTIONS="$asan:log_path=$reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

status=0
start=$SECONDS
(cd "$build" && ctest --output-on-failure --timeout 1800 -j"$(nproc)" "$@") || status=$?
echo "sanitizer suite: $((SECONDS - start)) s"

shopt -s nullglob
found=("$reports"/*)
if [ ${#found[@]} -gt 0 ]; then
    echo "sanitizer reports: ${#found[@]}"
    for f in "${found[@]}"; do
        echo "==== $f"
        cat "$f"
    done
    status=1
fi
exit $status
