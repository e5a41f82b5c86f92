#!/usr/bin/env bash
# The demo: extract the sample pack, edit the extracted files, and rebuild the pack from the
# result log. Usage: scripts/demo.sh BUILD_DIR (make demo passes its build directory).
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir="${1:-build/release}"
rpq="$build_dir/cli/rpq"
if [ ! -x "$rpq" ]; then
  echo "demo: $rpq not found; run 'make build' first" >&2
  exit 1
fi

out=demo-out
rm -rf "$out"
section() { printf '\n==== %s\n' "$*"; }

section "rpq list samples/sample.rpq (placeholder.dat has no data: it yields no file)"
"$rpq" list samples/sample.rpq

section "rpq extract -C $out/extract samples/sample.rpq"
"$rpq" extract -C "$out/extract" samples/sample.rpq

section "The extracted tree"
(cd "$out/extract" && find . -print | LC_ALL=C sort)

section "result.log"
tr -d '\r' < "$out/extract/result.log"

section "Editing: readme.txt gets a new line, credits is deleted"
printf 'Edited by the demo.\r\n' >> "$out/extract/sample/TXT/readme.txt"
rm "$out/extract/sample/credits"

section "rpq insert -C $out/insert $out/extract/result.log"
"$rpq" insert -C "$out/insert" "$out/extract/result.log"

section "rpq verify $out/insert/sample.rpq"
"$rpq" verify "$out/insert/sample.rpq"

section "The rebuilt pack extracts to the edited text"
"$rpq" extract -C "$out/check" "$out/insert/sample.rpq" > /dev/null 2>&1
tr -d '\r' < "$out/check/sample/TXT/readme.txt"
