#!/usr/bin/env bash
# Builds Tessaly.exe and starts it under Wine on the demo machine (a Wine prefix filled with a
# Native Instruments installation and plugin folders by scripts/demo-machine.sh).
# - With a display (DISPLAY set), the program opens there: build/windows/demo is its prefix.
# - Without one, the program runs under Xvfb, the end-to-end driver walks the Start page (each
#   wizard), Preferences, the About box, the duplicate finder on the demo machine, the page
#   that asks for the file database, the product manager, Kontakt's Libraries tab, the
#   thumbnail fixer and the relocation wizard (scripts/tour.sh), and the paths of the
#   screenshots are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p build
cmake --preset windows >build/windows.configure.log 2>&1 || { cat build/windows.configure.log; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  cmake --build --preset windows --target Tessaly tessaly_fixtures -j "$(nproc)"
  root=$PWD/build/windows/demo
  if [ ! -f "$root/demo-ready" ]; then
    echo "Filling the demo machine in $root (once)..."
    bash scripts/demo-machine.sh "$root"
    touch "$root/demo-ready"
  fi
  echo "Starting $PWD/build/windows/Tessaly.exe under Wine on $DISPLAY."
  # From its own folder, as a Start-menu shortcut starts it: the file database's default path
  # ("FileDatabase.xml", relative to the current folder) then names the copy beside it.
  cd build/windows
  TESSALY_WINE_ROOT=$root ../../scripts/wine-run.sh Tessaly.exe
  exit 0
fi

cmake --build --preset windows --target Tessaly tessaly_tour -j "$(nproc)"
echo "No display: walking the program under Xvfb on the demo machine."
scripts/tour.sh "$PWD/build/windows/demo-headless" "$PWD/build/windows/artifacts/run"
