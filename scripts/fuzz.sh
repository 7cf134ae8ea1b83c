#!/usr/bin/env bash
# Runs the fuzz targets (fuzz/): builds them with clang in build-fuzz, writes the seed inputs our
# own writers make, and runs each target for SECONDS (default 30) on its corpus, which grows in
# build-fuzz/corpus/TARGET across runs. An input that crashes, hangs (over 1 s), runs out of
# memory, leaks or trips a sanitizer is copied to tests/data/fuzz/TARGET/, where the replay test
# runs it from then on, and so does every later fuzz run; the script then fails. A failure of
# the seed writer keeps the project it was reading. Each target's line gives the inputs it ran
# and the seconds it really ran; everything the run put in the temporary folder goes with it.
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
# Everything the seed writer and the targets put in the temporary folder goes with the run,
# however it ends.
work=$(mktemp -d "${TMPDIR:-/tmp}/ormelit-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work

status=0
failed=()
# Copies the given inputs to the replay test's folder of target.
keep() {
    local target=$1
    shift
    mkdir -p "tests/data/fuzz/$target"
    for f in "$@"; do
        cp "$f" "tests/data/fuzz/$target/"
        echo "  kept tests/data/fuzz/$target/$(basename "$f")"
    done
}

rm -rf "$build/seeds"
seedlog="$build/fuzz-seeds.log"
if ! "$build/ormelit-fuzzseeds" "$build/seeds" "${targets[@]}" >"$seedlog" 2>&1; then
    # A reader fault hit by our own seeds: the project the seed writer was reading is the
    # reproducer (it reads projects only through the command line). The targets still run on
    # whatever seeds were written.
    status=1
    failed+=("seeds")
    echo "seeds: the seed writer failed"
    shopt -s nullglob
    left=("$work"/ormelit-fuzz-seed-*.ovx)
    shopt -u nullglob
    [ ${#left[@]} -gt 0 ] && keep project "${left[@]}"
    tail -n 60 "$seedlog"
fi

for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    log="$build/fuzz-$target.log"
    rm -rf "$artifacts"
    mkdir -p "$corpus" "$artifacts" "$build/seeds/$target"
    # The inputs kept from earlier findings (slow ones among them) run first, under the same
    # one-second limit, so that a slowness that comes back fails here too.
    kept_inputs=()
    [ -d "tests/data/fuzz/$target" ] && kept_inputs=("tests/data/fuzz/$target")
    result=0
    began=$SECONDS
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2560 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" "$build/seeds/$target" \
        "${kept_inputs[@]}" \
        >"$log" 2>&1 || result=$?
    took=$((SECONDS - began))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    shopt -s nullglob
    kept=()
    for f in "$artifacts"/*; do
        case "$(basename "$f")" in
        slow-unit-*) ;;  # slower than usual but within the time limit: no fault
        *) kept+=("$f") ;;
        esac
    done
    shopt -u nullglob
    if [ "$result" -eq 0 ] && [ ${#kept[@]} -eq 0 ]; then
        echo "$target: ${runs:-?} inputs in $took s, corpus $(ls "$corpus" | wc -l) files"
        continue
    fi
    status=1
    failed+=("$target")
    echo "$target: FAILED after $took s (exit $result), ${runs:-no count of} inputs run," \
        "${#kept[@]} reproducer(s)"
    [ ${#kept[@]} -gt 0 ] && keep "$target" "${kept[@]}"
    tail -n 60 "$log"
done
if [ $status -ne 0 ]; then
    echo "fuzzing failed: ${failed[*]}"
fi
exit $status
