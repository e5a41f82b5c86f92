#!/usr/bin/env bash
# Opens the window "Extract\Insert Tool" from the build in $1 (default build/release). Without a
# display the window opens on a virtual X server (xvfb-run), where it can be driven with tools
# such as xdotool or looked at with `make screenshot`.
set -euo pipefail
build_dir=${1:-build/release}
program="$build_dir/ui/rpq-window"
if [ ! -x "$program" ]; then
  echo "run.sh: $program is missing; build with -DRPQ_BUILD_UI=ON (make build)" >&2
  exit 1
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "run.sh: no display and no xvfb-run; install xvfb (make deps) or set DISPLAY" >&2
  exit 1
fi
echo "run.sh: no display; opening the window on a virtual X server (xvfb-run)" >&2
exec xvfb-run -a -s "-screen 0 1024x768x24" "$program"
