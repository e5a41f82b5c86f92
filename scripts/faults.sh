#!/usr/bin/env bash
# Faults while writing: kills, write errors, a full disk, a read-only target and replacement files
# that vanish or cannot be read, during `rpq insert` (rebuild) and `rpq extract`.
#
#   scripts/faults.sh BUILD_DIR        (uses BUILD_DIR/cli/rpq and BUILD_DIR/tests/make_pack)
#
# After every trial the output is checked:
#   rebuild:    the target's pack is byte for byte the previous pack or the complete new one
#               (never a partial pack under its final name), and the exit status is non-zero
#               whenever it is not the new one;
#   extraction: every file under a final name is whole (equal to a clean extraction), result.log
#               exists only when every file it names is whole, and a status of 0 means all of it.
# Temporary files left by a SIGKILL (".<name>.XXXXXX", never under a final name) are counted
# apart. Prints: trials run, outputs checked, damaged outputs; exits non-zero on any damage.
# Needs strace; mounts small tmpfs file systems when run as root (else falls back to ulimit -f).
set -uo pipefail
build=$(cd "${1:?usage: scripts/faults.sh BUILD_DIR}" && pwd)
rpq=$build/cli/rpq
make_pack=$build/tests/make_pack
for tool in "$rpq" "$make_pack"; do
  [ -x "$tool" ] || { echo "missing $tool (build it first)" >&2; exit 2; }
done
command -v strace >/dev/null || { echo "strace is needed" >&2; exit 2; }

W=$(mktemp -d /tmp/rpq-faults-XXXXXX)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$W"
}
trap cleanup EXIT

trials=0 checked=0 damaged=0 leftovers=0 vanishedMidRun=0
declare -A kindTrials
damage() { damaged=$((damaged + 1)); echo "DAMAGED ($1): $2" >&2; }

# ---- fixture ---------------------------------------------------------------------------------
mkdir -p "$W/src"
"$make_pack" bench "$W/src/src.rpq" --entries 12 --total-bytes 120000 --seed 3 >/dev/null
"$rpq" extract -C "$W/refx" "$W/src/src.rpq" >/dev/null 2>&1 || { echo "setup: extract" >&2; exit 2; }
"$rpq" extract -C "$W/ex" "$W/src/src.rpq" >/dev/null 2>&1 || { echo "setup: extract" >&2; exit 2; }
# Edit three extracted files and delete two: the new pack mixes replaced and kept entries.
mapfile -t extracted < <(sed -n 's/^#Target ARC(RLE): //p' "$W/ex/result.log" | tr -d '\r')
for i in 0 4 7; do printf 'edited %d' "$i" >>"${extracted[$i]}"; done
rm -f "${extracted[2]}" "${extracted[9]}"
log=$W/ex/result.log
"$rpq" insert -C "$W/ref" "$log" >/dev/null 2>&1 || { echo "setup: insert" >&2; exit 2; }
"$rpq" verify "$W/ref/src.rpq" >/dev/null 2>&1 || { echo "setup: verify" >&2; exit 2; }
ref=$W/ref/src.rpq
prev=$W/src/src.rpq
# The complete new pack when the fifth extracted file is gone too (for the vanishing-file trials,
# where the file may already be gone when the rebuild looks for it).
victim=${extracted[4]}
cp "$victim" "$W/victim.bak"
rm -f "$victim"
"$rpq" insert -C "$W/ref2" "$log" >/dev/null 2>&1 || { echo "setup: insert" >&2; exit 2; }
cp "$W/victim.bak" "$victim"
alsoComplete=''  # another complete pack that a trial may rightly write
cmp -s "$ref" "$prev" && { echo "setup: the new pack equals the old one" >&2; exit 2; }

# How often the rebuild and the extraction make each system call (for the sweeps).
count_calls() {  # count_calls SYSCALL CMD...
  local sc=$1
  shift
  strace -f -qq -o "$W/trace" -e trace="$sc" "$@" >/dev/null 2>&1
  grep -c "^[0-9]* *$sc(" "$W/trace"
}

# ---- checks ----------------------------------------------------------------------------------
# check_rebuild KIND DIR STATUS HAD_PREV
check_rebuild() {
  local kind=$1 dir=$2 status=$3 hadPrev=$4 pack=$2/src.rpq
  checked=$((checked + 1))
  leftovers=$((leftovers + $(find "$dir" -maxdepth 1 -name '.src.rpq.*' 2>/dev/null | wc -l)))
  if [ -e "$pack" ]; then
    if cmp -s "$pack" "$ref" || { [ -n "$alsoComplete" ] && cmp -s "$pack" "$alsoComplete"; }; then
      return 0
    elif [ "$hadPrev" = 1 ] && cmp -s "$pack" "$prev"; then
      [ "$status" -ne 0 ] || damage "$kind" "previous pack kept but exit status 0"
    else
      damage "$kind" "$pack is neither the previous nor the complete new pack (status $status)"
    fi
  elif [ "$hadPrev" = 1 ]; then
    damage "$kind" "the previous pack is gone (status $status)"
  else
    [ "$status" -ne 0 ] || damage "$kind" "no pack but exit status 0"
  fi
}

# check_extract KIND DIR STATUS
check_extract() {
  local kind=$1 dir=$2 status=$3 f rel
  checked=$((checked + 1))
  while IFS= read -r -d '' f; do
    rel=${f#"$dir"/}
    case "$(basename "$rel")" in
      .*) leftovers=$((leftovers + 1)); continue ;;
      result.log) continue ;;
    esac
    cmp -s "$f" "$W/refx/$rel" || damage "$kind" "$rel is not whole (status $status)"
  done < <(find "$dir" -type f -print0 2>/dev/null)
  if [ -e "$dir/result.log" ]; then
    # result.log is written last: it must be complete, and then every file it names is there.
    sed "s#$dir/#$W/refx/#" "$dir/result.log" | cmp -s - "$W/refx/result.log" ||
      damage "$kind" "result.log differs from a clean run's (status $status)"
    while IFS= read -r f; do
      [ -f "$f" ] || damage "$kind" "result.log names the missing $f"
    done < <(sed -n 's/^#Target ARC(RLE): //p' "$dir/result.log" | tr -d '\r')
  else
    [ "$status" -ne 0 ] || damage "$kind" "no result.log but exit status 0"
  fi
}

# trial_rebuild KIND HAD_PREV TARGET_DIR [WRAPPER...]: runs `rpq insert` under the wrapper.
trial_rebuild() {
  local kind=$1 hadPrev=$2 dir=$3
  shift 3
  rm -rf "$dir"
  mkdir -p "$dir"
  [ "$hadPrev" = 1 ] && cp "$prev" "$dir/src.rpq"
  # (The braces keep the shell's "Killed" notices out of the figures.)
  { "$@" "$rpq" insert -C "$dir" "$log" >/dev/null 2>&1; } 2>/dev/null
  local status=$?
  trials=$((trials + 1))
  kindTrials[$kind]=$((${kindTrials[$kind]:-0} + 1))
  check_rebuild "$kind" "$dir" "$status" "$hadPrev"
}

trial_extract() {
  local kind=$1 dir=$2
  shift 2
  rm -rf "$dir"
  mkdir -p "$dir"
  { "$@" "$rpq" extract -C "$dir" "$prev" >/dev/null 2>&1; } 2>/dev/null
  local status=$?
  trials=$((trials + 1))
  kindTrials[$kind]=$((${kindTrials[$kind]:-0} + 1))
  check_extract "$kind" "$dir" "$status"
}

# ---- 1. SIGKILL at every write of a rebuild and of an extraction -----------------------------
for sc in pwrite64 write fsync rename close; do
  n=$(count_calls "$sc" "$rpq" insert -C "$W/count" "$log")
  for ((i = 1; i <= n + 1; i++)); do
    for hadPrev in 1 0; do
      trial_rebuild "kill rebuild at $sc" "$hadPrev" "$W/t" \
        strace -f -qq -o /dev/null -e trace="$sc" -e inject="$sc:signal=KILL:when=$i"
    done
  done
done
for sc in pwrite64 rename; do
  n=$(count_calls "$sc" "$rpq" extract -C "$W/count" "$prev")
  for ((i = 1; i <= n + 1; i++)); do
    trial_extract "kill extraction at $sc" "$W/t" \
      strace -f -qq -o /dev/null -e trace="$sc" -e inject="$sc:signal=KILL:when=$i"
  done
done

# ---- 2. Write errors: ENOSPC / EIO at every write, fsync and rename ---------------------------
for spec in pwrite64:ENOSPC fsync:EIO rename:EACCES; do
  sc=${spec%%:*} err=${spec#*:}
  n=$(count_calls "$sc" "$rpq" insert -C "$W/count" "$log")
  for ((i = 1; i <= n; i++)); do
    trial_rebuild "$err at $sc in rebuild" 1 "$W/t" \
      strace -f -qq -o /dev/null -e trace="$sc" -e inject="$sc:error=$err:when=$i"
  done
done
n=$(count_calls pwrite64 "$rpq" extract -C "$W/count" "$prev")
for ((i = 1; i <= n; i++)); do
  trial_extract "ENOSPC at pwrite64 in extraction" "$W/t" \
    strace -f -qq -o /dev/null -e trace=pwrite64 -e inject="pwrite64:error=ENOSPC:when=$i"
done

# ---- 3. A full disk: small tmpfs targets (or ulimit -f when mounting is refused) --------------
packKB=$(( ($(stat -c %s "$ref") + $(stat -c %s "$prev")) / 1024 ))
mnt=$W/mnt
mkdir -p "$mnt"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=4k tmpfs "$mnt" 2>/dev/null; then
  umount "$mnt"
  diskMode=tmpfs
  for ((kb = 4; kb <= packKB + 64; kb += 8)); do
    mount -t tmpfs -o size=${kb}k tmpfs "$mnt" && mounts=("$mnt")
    # The previous pack is placed when it fits; then the new one must fit beside it.
    hadPrev=0
    cp "$prev" "$mnt/src.rpq" 2>/dev/null && hadPrev=1 || rm -f "$mnt/src.rpq"
    "$rpq" insert -C "$mnt" "$log" >/dev/null 2>&1
    status=$?
    trials=$((trials + 1))
    kindTrials["disk full, rebuild"]=$((${kindTrials["disk full, rebuild"]:-0} + 1))
    check_rebuild "disk full, rebuild" "$mnt" "$status" "$hadPrev"
    umount "$mnt"
    mount -t tmpfs -o size=${kb}k tmpfs "$mnt"
    "$rpq" extract -C "$mnt/x" "$prev" >/dev/null 2>&1
    status=$?
    trials=$((trials + 1))
    kindTrials["disk full, extraction"]=$((${kindTrials["disk full, extraction"]:-0} + 1))
    check_extract "disk full, extraction" "$mnt/x" "$status"
    umount "$mnt"
    mounts=()
  done
else
  diskMode="ulimit -f"
  for ((kb = 4; kb <= packKB + 64; kb += 8)); do
    # A file may not grow past kb KiB: writes past it fail (SIGXFSZ ignored) or kill (default).
    trial_rebuild "file size limit, rebuild" 1 "$W/t" bash -c "trap '' XFSZ; ulimit -f $kb; exec \"\$@\"" _
    trial_rebuild "file size limit, rebuild (SIGXFSZ)" 1 "$W/t" bash -c "ulimit -f $kb; exec \"\$@\"" _
    trial_extract "file size limit, extraction" "$W/t" bash -c "trap '' XFSZ; ulimit -f $kb; exec \"\$@\"" _
  done
fi

# ---- 4. A read-only target ----------------------------------------------------------------------
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=4m tmpfs "$mnt" 2>/dev/null; then
  mounts=("$mnt")
  cp "$prev" "$mnt/src.rpq"
  mkdir -p "$mnt/x"
  mount -o remount,ro "$mnt"
  "$rpq" insert -C "$mnt" "$log" >/dev/null 2>&1
  status=$?
  trials=$((trials + 1))
  kindTrials["read-only target"]=1
  check_rebuild "read-only target" "$mnt" "$status" 1
  [ "$status" -ne 0 ] || damage "read-only target" "rebuild into a read-only target reported success"
  "$rpq" extract -C "$mnt/x" "$prev" >/dev/null 2>&1
  status=$?
  trials=$((trials + 1))
  kindTrials["read-only target"]=2
  check_extract "read-only target" "$mnt/x" "$status"
  umount "$mnt"
  mounts=()
else
  # Without root a directory without write permission does the same.
  mkdir -p "$W/ro" && cp "$prev" "$W/ro/src.rpq" && chmod 555 "$W/ro"
  "$rpq" insert -C "$W/ro" "$log" >/dev/null 2>&1
  status=$?
  trials=$((trials + 1))
  kindTrials["read-only target"]=1
  check_rebuild "read-only target" "$W/ro" "$status" 1
  chmod 755 "$W/ro"
fi

# ---- 5. A replacement file that vanishes or cannot be read during the run ----------------------
# Vanishes between the existence test and the open: the open is held back a second and the file is
# deleted meanwhile. Should the deletion come before the existence test, the entry rightly keeps
# its source data: that complete pack is accepted too.
alsoComplete=$W/ref2/src.rpq
for delay in 1000000 1500000; do
  rm -rf "$W/t" && mkdir -p "$W/t" && cp "$prev" "$W/t/src.rpq"
  strace -f -qq -o /dev/null -P "$victim" -e trace=openat -e inject=openat:delay_enter=$delay \
    "$rpq" insert -C "$W/t" "$log" >/dev/null 2>"$W/err" &
  pid=$!
  sleep 0.5
  rm -f "$victim"
  wait $pid
  status=$?
  cp "$W/victim.bak" "$victim"
  trials=$((trials + 1))
  kindTrials["replacement vanishes"]=$((${kindTrials["replacement vanishes"]:-0} + 1))
  check_rebuild "replacement vanishes" "$W/t" "$status" 1
  grep -q "^Cannot open file $victim" "$W/err" && vanishedMidRun=$((vanishedMidRun + 1))
done
alsoComplete=''
echo "replacement vanished between existence test and open: $vanishedMidRun of 2 trials"
for spec in openat:EACCES openat:ENOENT read:EIO pread64:EIO fstat:EIO; do
  sc=${spec%%:*} err=${spec#*:}
  trial_rebuild "replacement unreadable ($sc $err)" 1 "$W/t" \
    strace -f -qq -o /dev/null -P "$victim" -e trace="$sc" -e inject="$sc:error=$err"
done

# ---- figures ---------------------------------------------------------------------------------
echo "fault trials by kind:"
for k in "${!kindTrials[@]}"; do printf '  %-40s %5d\n' "$k" "${kindTrials[$k]}"; done | sort
echo "disk-full mode:          $diskMode"
echo "trials run:              $trials"
echo "outputs checked:         $checked"
echo "temporaries left by kill: $leftovers (never under a final name)"
echo "damaged outputs:         $damaged"
[ "$damaged" -eq 0 ]
