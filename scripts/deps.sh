#!/usr/bin/env bash
# Installs what Brisko needs from Debian's packages; does nothing when it is
# all there already.
#   scripts/deps.sh run    what building and running the programs needs
#   scripts/deps.sh test   that, and what the tests, the fuzzers and the
#                          package need (scripts/test.sh and CI)
set -euo pipefail

run_packages=(
  g++ cmake ninja-build pkg-config  # compiler and build
  qt6-base-dev qt6-svg-dev          # the desktop window (Widgets, PrintSupport, Network, Svg)
  libcli11-dev                      # brisko-cli's and brisko-sim's argument parsing
  nlohmann-json3-dev                # brisko-cli's --json output and run log
)
test_packages=(
  libgtest-dev googletest           # unit tests (Qt Test comes with qt6-base-dev)
  srecord binutils                  # tests convert binaries to Intel HEX with srec_cat and objcopy
  poppler-utils                     # tests read the text of printed PDF pages (pdftotext)
  clang-14 libclang-rt-14-dev       # the libFuzzer targets in fuzz/
  dpkg-dev                          # cpack -G DEB finds the programs' library packages with dpkg-shlibdeps
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: scripts/deps.sh run|test" >&2; exit 2 ;;
esac

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
