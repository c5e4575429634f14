#!/usr/bin/env bash
# Builds Tessaly.exe and starts it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p build
cmake --preset windows >build/windows.configure.log 2>&1 || { cat build/windows.configure.log; exit 1; }
cmake --build --preset windows --target Tessaly -j "$(nproc)"
echo "Built $PWD/build/windows/Tessaly.exe; starting it under Wine."
scripts/wine-run.sh build/windows/Tessaly.exe
