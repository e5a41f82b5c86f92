#!/usr/bin/env bash
# End-to-end benchmark: rpq extract against tar -xf of the same files, rpq insert against tar -cf
# of the same files, and the peak memory of extracting a pack with one large entry.
#
# Usage: scripts/bench.sh [BUILD_DIR]        (make bench passes its build directory)
# Environment (defaults in brackets):
#   BENCH_MB        total size of the entries before compression, in MiB [1024]
#   BENCH_ENTRIES   number of entries [20000]
#   BENCH_REPS      timed repetitions of each command [5]
#   BENCH_SINGLE_MB size of the one entry of the memory pack, in MiB [512]
#   BENCH_OUT       scratch directory, emptied first [bench-out]
#   BENCH_CODECS    0 skips the codec benchmark (BUILD_DIR/bench/rpq_bench) run at the end [1]
# A quick run: BENCH_MB=64 BENCH_ENTRIES=2000 BENCH_REPS=3 BENCH_SINGLE_MB=64 make bench
#
# Page caches are not dropped, so both sides run warm: each command runs once untimed before the
# repetitions, and the repetitions alternate between the two sides. Only the command is timed;
# removing its output and a sync happen outside the timed span. Needs about 5 times BENCH_MB of
# free disk space under BENCH_OUT.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir="${1:-build/release}"
rpq="$build_dir/cli/rpq"
make_pack="$build_dir/tests/make_pack"
for tool in "$rpq" "$make_pack"; do
  if [ ! -x "$tool" ]; then
    echo "bench: $tool not found; run 'make build' first" >&2
    exit 1
  fi
done
rpq="$(realpath "$rpq")"
make_pack="$(realpath "$make_pack")"

mb="${BENCH_MB:-1024}"
entries="${BENCH_ENTRIES:-20000}"
reps="${BENCH_REPS:-5}"
single_mb="${BENCH_SINGLE_MB:-512}"
out="${BENCH_OUT:-bench-out}"

rm -rf "$out"
mkdir -p "$out"
out="$(realpath "$out")"

# ---- helpers ---------------------------------------------------------------------------------

now() { date +%s.%N; }

# Runs "$@" once with output discarded and prints the seconds it took.
timed() {
  local start end
  start=$(now)
  "$@" >/dev/null 2>&1
  end=$(now)
  calc "$end - $start"
}

calc() { awk "BEGIN { printf \"%.6f\\n\", $1 }"; }

# median min max of the numbers on stdin, one per line.
stats() {
  sort -g | awk '{ v[NR] = $1 }
    END {
      med = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%.3f %.3f %.3f\n", med, v[1], v[NR]
    }'
}

row() {  # label median min max
  printf '  %-34s median %8.3f s   min %8.3f s   max %8.3f s\n' "$1" "$2" "$3" "$4"
}

machine() {
  echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')," \
    "$(awk '/MemTotal/ { printf "%.1f GiB RAM", $2 / 1048576 }' /proc/meminfo)," \
    "file system $(df -T "$out" | awk 'NR == 2 { print $2 }')"
}

# ---- the packs and the reference tar ---------------------------------------------------------

pack="$out/bench.rpq"
echo "Building $pack: $entries asset-like entries, $mb MiB before compression"
"$make_pack" bench "$pack" --entries "$entries" --total-bytes $((mb * 1048576))
echo "  pack size: $(stat -c %s "$pack") bytes"

# The files rpq extract writes, as the reference for tar.
ref="$out/ref"
mkdir -p "$ref"
"$rpq" extract -C "$ref" "$pack" >/dev/null 2>&1
tarball="$out/bench.tar"
tar -cf "$tarball" -C "$ref" bench
echo "  extracted: $(find "$ref/bench" -type f | wc -l) files, $(du -sb "$ref/bench" | cut -f1) bytes"

machine
echo "repetitions: $reps (after one untimed warm-up run of each command; caches warm for both)"
echo

# ---- extraction --------------------------------------------------------------------------------

xr="$out/x-rpq" xt="$out/x-tar"
# Empties an output folder; the sync lets each timed run start without the previous run's data
# still waiting to be written.
fresh() { rm -rf "$1"; mkdir -p "$1"; sync; }
fresh "$xr"; "$rpq" extract -C "$xr" "$pack" >/dev/null 2>&1
fresh "$xt"; tar -xf "$tarball" -C "$xt"
: >"$out/x-rpq.times"; : >"$out/x-tar.times"
for _ in $(seq "$reps"); do
  fresh "$xr"; timed "$rpq" extract -C "$xr" "$pack" >>"$out/x-rpq.times"
  fresh "$xt"; timed tar -xf "$tarball" -C "$xt" >>"$out/x-tar.times"
done
if ! diff -r "$ref/bench" "$xr/bench" >/dev/null; then
  echo "bench: the extracted files differ from the reference" >&2
  exit 1
fi
rm -rf "$xr" "$xt"

read -r xr_med xr_min xr_max < <(stats <"$out/x-rpq.times")
read -r xt_med xt_min xt_max < <(stats <"$out/x-tar.times")
echo "Extraction into an empty folder"
row "rpq extract -C DIR bench.rpq" "$xr_med" "$xr_min" "$xr_max"
row "tar -xf bench.tar -C DIR" "$xt_med" "$xt_min" "$xt_max"
x_ratio=$(calc "$xr_med / $xt_med")
printf '  ratio rpq/tar (medians): %.2fx   target <= 0.80x\n\n' "$x_ratio"

# ---- insertion -------------------------------------------------------------------------------

ir="$out/i-rpq" it="$out/i-tar.tar"
log="$ref/result.log"
fresh "$ir"; "$rpq" insert -C "$ir" "$log" >/dev/null 2>&1
rm -f "$it"; tar -cf "$it" -C "$ref" bench
: >"$out/i-rpq.times"; : >"$out/i-tar.times"
for _ in $(seq "$reps"); do
  fresh "$ir"; timed "$rpq" insert -C "$ir" "$log" >>"$out/i-rpq.times"
  rm -f "$it"; sync; timed tar -cf "$it" -C "$ref" bench >>"$out/i-tar.times"
done
if ! cmp -s "$pack" "$ir/bench.rpq"; then
  echo "bench: the rebuilt pack differs from the original" >&2
  exit 1
fi
rm -rf "$ir" "$it"

read -r ir_med ir_min ir_max < <(stats <"$out/i-rpq.times")
read -r it_med it_min it_max < <(stats <"$out/i-tar.times")
echo "Insertion with every extracted file present"
row "rpq insert -C DIR result.log" "$ir_med" "$ir_min" "$ir_max"
row "tar -cf OUT.tar -C DIR bench" "$it_med" "$it_min" "$it_max"
i_ratio=$(calc "$ir_med / $it_med")
printf '  ratio rpq/tar (medians): %.2fx   target <= 1.30x\n\n' "$i_ratio"

# ---- peak memory -----------------------------------------------------------------------------

rm -rf "$ref" "$tarball" "$pack"
single="$out/single.rpq"
"$make_pack" single "$single" --bytes $((single_mb * 1048576))
xm="$out/x-mem"
fresh "$xm"
/usr/bin/time -v "$rpq" extract -C "$xm" "$single" >/dev/null 2>"$out/time-v.txt"
rss_kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$out/time-v.txt")
limit_kib=$((single_mb * 1024 * 5 / 2 + 32 * 1024))
rm -rf "$xm"
echo "Peak memory of extraction, one entry of $single_mb MiB (pack $(stat -c %s "$single") bytes)"
printf '  maximum resident set size: %d KiB = %.1f MiB\n' "$rss_kib" "$(calc "$rss_kib / 1024")"
printf '  bound 2.5 x %d MiB + 32 MiB = %d MiB; used %.2f of the bound\n' "$single_mb" \
  $((limit_kib / 1024)) "$(calc "$rss_kib / $limit_kib")"
printf '  ratio to the entry: %.2fx\n' "$(calc "$rss_kib / ($single_mb * 1024)")"
rm -f "$single"

# ---- codecs ----------------------------------------------------------------------------------

codec_bench="$build_dir/bench/rpq_bench"
if [ "${BENCH_CODECS:-1}" != 0 ] && [ -x "$codec_bench" ]; then
  echo
  echo "Codecs against memcpy ($codec_bench; BENCH_CODECS=0 skips it)"
  "$codec_bench"
fi
