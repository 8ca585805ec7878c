#!/usr/bin/env bash
# Builds Brisko and runs the main job. Without arguments: the desktop window on
# the built-in simulated chip when a display is there ($DISPLAY or
# $WAYLAND_DISPLAY), else brisko-cli detecting the simulated chip. Any
# arguments are passed to brisko-cli instead
# (e.g. scripts/run.sh --port /dev/ttyUSB0 --model KT540 detect).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRISKO_BUILD_TESTS=OFF >/dev/null
if [ $# -eq 0 ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build --target brisko
  exec build/gui/brisko --simulate KT540
fi
cmake --build build --target brisko-cli brisko-sim
if [ $# -eq 0 ]; then
  set -- --simulate KT540 --model KT540 detect
fi
exec build/brisko-cli "$@"
