#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need; only what is missing.
set -euo pipefail
pkgs=(build-essential cmake make pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev
      libcli11-dev qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth clang libclang-rt-14-dev
      time strace)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root (or install these packages yourself): ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
