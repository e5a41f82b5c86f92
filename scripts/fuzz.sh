#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and runs
# each for a given time, then replays the whole corpus once more to measure peak memory.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET (or FUZZ_SECONDS) defaults to 60. FUZZ_RUNS, when set, also stops a target
# once it has run that many inputs, whichever comes first. FUZZ_JOBS targets run side by side (the
# number of cores by default). FUZZ_BUILD_DIR is build/fuzz by default. New corpus entries go to
# $FUZZ_BUILD_DIR/corpus/<target> (the committed seeds in fuzz/corpus stay as they are); a crash
# is written to fuzz/crashes/<target>/ and makes the script fail. Prints one line per target:
# executions, seconds, corpus size, peak RSS and findings.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-${FUZZ_SECONDS:-60}}
[ $# -gt 0 ] && shift
all=(rle_decode lzss_decode rle_roundtrip lzss_roundtrip verify extract log_lines replay)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
jobs=${FUZZ_JOBS:-$(nproc)}
# Absolute: the replay target works in its own fixture directory.
build=$(realpath -m "${FUZZ_BUILD_DIR:-build/fuzz}")

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRPQ_FUZZ=ON -DRPQ_BUILD_TESTS=OFF -DRPQ_BUILD_UI=OFF -DRPQ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzzers >/dev/null

mkdir -p "$build/logs"
flags=(-rss_limit_mb=2560 -malloc_limit_mb=2048 -timeout=25 -dict="$root/fuzz/rpq.dict"
       -print_final_stats=1)
[ -n "${FUZZ_RUNS:-}" ] && flags+=(-runs="$FUZZ_RUNS")

run_one() {
  local t=$1
  local work="$build/corpus/$t" crashes="$root/fuzz/crashes/$t"
  mkdir -p "$work" "$crashes"
  # Inputs: the growing work corpus first (new units go there), then the seeds and every stored
  # crash reproducer, all of which are run once at the start.
  "$build/fuzz/fuzz_$t" "${flags[@]}" -max_total_time="$seconds" -artifact_prefix="$crashes/" \
    "$work" "$root/fuzz/corpus/$t" "$crashes" >"$build/logs/$t.log" 2>&1
}
export -f run_one
export build root seconds
export flags_str="${flags[*]}"

status=0
marker="$build/logs/started"
touch "$marker"
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c \
  'flags=($flags_str); run_one {} || { echo "fuzz_{}: FINDING, see $build/logs/{}.log" >&2; exit 1; }' \
  || status=1

# Peak memory over the whole corpus (seeds, reproducers and what the run found), one pass.
printf '%-16s %12s %8s %8s %10s %10s %s\n' target executions seconds corpus "peak_MB" \
  "replay_MB" findings
for t in "${targets[@]}"; do
  log="$build/logs/$t.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  units=$(find "$build/corpus/$t" "$root/fuzz/corpus/$t" -type f | wc -l)
  "$build/fuzz/fuzz_$t" "${flags[@]}" -runs=0 "$build/corpus/$t" "$root/fuzz/corpus/$t" \
    "$root/fuzz/crashes/$t" >"$build/logs/$t.replay.log" 2>&1 || status=1
  replay=$(sed -n 's/^stat::peak_rss_mb: *//p' "$build/logs/$t.replay.log" | tail -1)
  # A finding is a reproducer written during this run, or a sanitizer or invariant report.
  findings=$(find "fuzz/crashes/$t" -type f -newer "$marker" | wc -l)
  if grep -qE '^==[0-9]+==ERROR|^SUMMARY: |fuzz invariant broken|ERROR: libFuzzer' "$log"; then
    findings=$((findings > 0 ? findings : 1))
  fi
  [ "$findings" -ne 0 ] && status=1
  printf '%-16s %12s %8s %8s %10s %10s %s\n' "$t" "${execs:-?}" "${took:-?}" "$units" \
    "${peak:-?}" "${replay:-?}" "$findings"
done
exit $status
