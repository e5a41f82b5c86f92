#!/usr/bin/env bash
# Renders the window after a real extraction of two sample packs to docs/window.png (or $2),
# on Qt's offscreen platform, so no display is needed. $1 is the build directory.
set -euo pipefail
build_dir=${1:-build/release}
out=${2:-docs/window.png}
renderer="$build_dir/ui/rpq-window-screenshot"
make_pack="$build_dir/tests/make_pack"
for tool in "$renderer" "$make_pack"; do
  if [ ! -x "$tool" ]; then
    echo "screenshot.sh: $tool is missing; build with -DRPQ_BUILD_UI=ON (make build)" >&2
    exit 1
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/packs"
"$make_pack" sample "$work/packs/Maps.rpq"
"$make_pack" bench "$work/packs/Sprites.rpq" --entries 6 --total-bytes 60000 --seed 7
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen "$renderer" ${RPQ_STYLE:+-style "$RPQ_STYLE"} "$out" "$work/Out" "$work/packs/Maps.rpq" \
  "$work/packs/Sprites.rpq"
echo "screenshot.sh: wrote $out"
