#!/usr/bin/env bash
# Runs the fuzz targets (fuzz/): builds them with clang in build-fuzz, writes the seed inputs our
# own writers make, and runs each target for SECONDS (default 30) on its corpus, which grows in
# build-fuzz/corpus/TARGET across runs. An input that crashes, hangs (over 1 s), runs out of
# memory, leaks or trips a sanitizer is copied to tests/data/fuzz/TARGET/, where the replay test
# runs it from then on; the script then fails.
#
#   scripts/fuzz.sh                  # every target, 30 s each (what CI runs)
#   scripts/fuzz.sh 3600 rtf emf     # an hour each for two targets
#   ORMELIT_FUZZ_BUILD=DIR scripts/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(project settings cli rtf wmf emf picture)
./scripts/install-deps.sh

build=${ORMELIT_FUZZ_BUILD:-build-fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DORMELIT_FUZZ=ON -DORMELIT_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target ormelit-fuzzseeds "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"

rm -rf "$build/seeds"
"$build/ormelit-fuzzseeds" "$build/seeds" "${targets[@]}"

status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    log="$build/fuzz-$target.log"
    rm -rf "$artifacts"
    mkdir -p "$corpus" "$artifacts"
    result=0
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2560 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" "$build/seeds/$target" \
        >"$log" 2>&1 || result=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "$target: ${runs:-?} inputs in ${seconds} s, corpus $(ls "$corpus" | wc -l) files"
    shopt -s nullglob
    kept=()
    for f in "$artifacts"/*; do
        case "$(basename "$f")" in
        slow-unit-*) ;;  # slower than usual but within the time limit: no fault
        *) kept+=("$f") ;;
        esac
    done
    shopt -u nullglob
    if [ "$result" -ne 0 ] || [ ${#kept[@]} -gt 0 ]; then
        status=1
        mkdir -p "tests/data/fuzz/$target"
        for f in "${kept[@]}"; do
            cp "$f" "tests/data/fuzz/$target/"
            echo "  kept tests/data/fuzz/$target/$(basename "$f")"
        done
        tail -n 60 "$log"
    fi
done
exit $status
