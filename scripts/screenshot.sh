#!/usr/bin/env bash
# Makes docs/window.png: the desktop window on the built-in simulated KT540
# after a detection and a read of block 0, drawn on the offscreen platform
# (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target brisko
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/gui/brisko --simulate KT540 --demo-read --screenshot docs/window.png
echo "wrote docs/window.png"
