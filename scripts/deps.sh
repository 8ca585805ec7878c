#!/usr/bin/env bash
# Installs what Brisko needs to build and test, from Debian's packages.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config  # compiler and build
  libgtest-dev googletest           # unit tests
  srecord binutils                  # tests convert binaries to Intel HEX with srec_cat and objcopy
  qt6-base-dev qt6-svg-dev          # the desktop window (Widgets, PrintSupport, Network, Test, Svg)
  libcli11-dev                      # brisko-cli's argument parsing
  nlohmann-json3-dev                # brisko-cli's --json output and run log
  poppler-utils                     # tests read the text of printed PDF pages (pdftotext)
  clang-14 libclang-rt-14-dev       # the libFuzzer targets in fuzz/
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi
