#!/usr/bin/env bash
# Walks the program's tour under Xvfb on the demo machine and saves its screenshots:
#   scripts/tour.sh <wine-root> <artifacts-folder> [build-folder]
# The Wine root is made (with the demo machine) on first use and kept; the artifacts folder is
# emptied first and gets one folder of PNG files per part of the tour (Tour.<Part>/NN-name.png).
# Needs a built build folder (Tessaly and tessaly_tour): build/windows unless named (the 64-bit
# build, build/windows64, where 32-bit code cannot run). Prints the screenshots' paths; exits
# non-zero, with the tour's output, when the walk fails.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || [ $# -eq 3 ] \
  || { echo "usage: scripts/tour.sh <wine-root> <artifacts-folder> [build-folder]" >&2; exit 2; }
build=$(readlink -f "${3:-build/windows}")

export TESSALY_E2E_ROOT=$1
export TESSALY_EXE=$build/Tessaly.exe
export TESSALY_ARTIFACTS=$2
rm -rf "$TESSALY_ARTIFACTS"
log=$(mktemp)
set +e
scripts/e2e-run.sh "$build/tests/e2e/tessaly_tour.exe" >"$log" 2>&1
rc=$?
set -e
scripts/e2e-run.sh --stop "$build"
if [ $rc -ne 0 ]; then
  cat "$log" >&2
  rm -f "$log"
  echo "The walk through the program failed." >&2
  exit 1
fi
echo "Screenshots:"
sed -n 's/^screenshot: /  /p' "$log"
rm -f "$log"
