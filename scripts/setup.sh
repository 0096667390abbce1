#!/usr/bin/env bash
# Installs the Debian packages Pellix builds with, when any is missing (with --bench, also
# those its command benchmarks need). Idempotent and quiet when there is nothing to do.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libsndfile1-dev libflac-dev libsoxr-dev
  qt6-base-dev qt6-multimedia-dev libgl-dev fonts-dejavu-core xvfb xauth
  libcairo2-dev libaubio-dev help2man
  portaudio19-dev pulseaudio pulseaudio-utils libasound2-plugins alsa-utils
  python3 python3-dask python3-distributed python3-pandas python3-jsonschema
  python3-numpy python3-fsspec python3-venv python3-setuptools python3-wheel
  espeak-ng sox strace
)

# With --bench, also what the command benchmarks (bench/commands.py) compare with.
if [ "${1:-}" = --bench ]; then
  packages+=(sox)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
