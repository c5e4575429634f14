#!/usr/bin/env bash
# Builds Tessaly.exe and starts it under Wine on the demo machine (a Wine prefix filled with a
# Native Instruments installation and plugin folders by scripts/demo-machine.sh).
# The 32-bit program (build/windows) where this machine runs 32-bit code, else the 64-bit build of
# the same sources (build/windows64; scripts/wine-mode.sh, whose line says which and why).
# - With a display (DISPLAY set), the program opens there: <build>/demo is its prefix.
# - Without one, the program runs under Xvfb, the end-to-end driver walks the Start page (each
#   wizard), Preferences, the About box, the duplicate finder on the demo machine, the page
#   that asks for the file database, the product manager, Kontakt's Libraries tab, the
#   thumbnail fixer and the relocation wizard (scripts/tour.sh), and the paths of the
#   screenshots are printed.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$(dirname "$0")/.."
scripts/setup.sh
. scripts/wine-mode.sh
wine_mode_probe
preset=$run_preset
build=$PWD/build/$preset
if [ "$preset" = windows ]; then
  wine_mode_line "runs: the 32-bit Tessaly.exe (build/windows)"
else
  wine_mode_line "runs: the 64-bit build of Tessaly.exe (build/windows64), which behaves as the 32-bit program does on 64-bit Windows"
fi
mkdir -p build
configure_quietly "$preset" || exit 1

if [ -n "${DISPLAY:-}" ]; then
  cmake --build --preset "$preset" --target Tessaly tessaly_fixtures -j "$(nproc)"
  root=$build/demo
  if [ ! -f "$root/demo-ready" ]; then
    echo "Filling the demo machine in $root (once)..."
    bash scripts/demo-machine.sh "$root"
    touch "$root/demo-ready"
  fi
  echo "Starting $build/Tessaly.exe under Wine on $DISPLAY."
  # From its own folder, as a Start-menu shortcut starts it: the file database's default path
  # ("FileDatabase.xml", relative to the current folder) then names the copy beside it.
  cd "$build"
  TESSALY_WINE_ROOT=$root ../../scripts/wine-run.sh Tessaly.exe
  exit 0
fi

cmake --build --preset "$preset" --target Tessaly tessaly_tour -j "$(nproc)"
echo "No display: walking the program under Xvfb on the demo machine."
scripts/tour.sh "$build/demo-headless" "$build/artifacts/run" "$build"
