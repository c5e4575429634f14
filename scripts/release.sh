#!/usr/bin/env bash
# The release: Tessaly.exe, its user guide and its installer, made from this checkout into one
# folder, build/release (emptied first):
#   scripts/release.sh
# Installs what is missing (scripts/setup.sh), builds the windows preset (the 32-bit program we
# ship), walks the program's tour on a fresh demo machine for the guide's pictures
# (scripts/tour.sh, Wine root <build>/wine-release) with whichever build this machine can run (the
# 32-bit one, else the 64-bit build of the same sources, which shows the same pages:
# scripts/wine-mode.sh), makes TessalyUserGuide.pdf (scripts/make-guide.py) and the setup program
# of the 32-bit build (scripts/make-installer.sh), then prints each file's path and size.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$(dirname "$0")/.."
scripts/setup.sh
. scripts/wine-mode.sh
wine_mode_probe
tour_build=$PWD/build/$run_preset
if [ "$run_preset" = windows ]; then
  wine_mode_line "release: the 32-bit build, whose tour gives the guide's pictures"
else
  wine_mode_line "release: the 32-bit build; the guide's pictures from the 64-bit build's tour"
fi
out=$PWD/build/release
root=$tour_build/wine-release
shots=$tour_build/artifacts/release-tour

echo "== building Tessaly.exe"
mkdir -p build
configure_quietly windows || exit 1
cmake --build --preset windows --target Tessaly tessaly_tour -j "$(nproc)"
if [ "$run_preset" != windows ]; then
  echo "== building the 64-bit build for the tour"
  configure_quietly "$run_preset" || exit 1
  cmake --build --preset "$run_preset" --target Tessaly tessaly_tour -j "$(nproc)"
fi

echo "== walking the tour for the user guide's pictures (a fresh demo machine)"
rm -rf "$root"
scripts/tour.sh "$root" "$shots" "$tour_build" >/dev/null

rm -rf "$out"
mkdir -p "$out"
echo "== making the user guide"
/usr/bin/python3 scripts/make-guide.py --screenshots "$shots" --out "$out/TessalyUserGuide.pdf"
echo "== making the installer"
scripts/make-installer.sh build/windows "$out/TessalyUserGuide.pdf" "$out" >/dev/null
cp build/windows/Tessaly.exe build/windows/FileDatabase.xml "$out/"

echo "== the release, in $out:"
for file in "$out"/*; do
  printf '  %-60s %10d bytes (%s)\n' "$file" "$(stat -c %s "$file")" "$(du -h "$file" | cut -f1)"
done
