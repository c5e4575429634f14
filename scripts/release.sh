#!/usr/bin/env bash
# The release: both editions of Tessaly, their user guide and their setup programs, made from this
# checkout into one folder, build/release (emptied first):
#   scripts/release.sh
# Installs what is missing (scripts/setup.sh), builds the windows preset (the 32-bit edition) and
# the windows64 preset (the 64-bit edition), walks the program's tour on a fresh demo machine for
# the guide's pictures (scripts/tour.sh, Wine root <build>/wine-release; at 150% too,
# scripts/tour-scaled.sh) with whichever build this
# machine can run (the 32-bit one, else the 64-bit one, which shows the same pages:
# scripts/wine-mode.sh), pictures the 64-bit setup program for the guide's installing chapter
# (tests/install/setup-pictures.sh), makes TessalyUserGuide.pdf (scripts/make-guide.py) and the
# two setup programs, Tessaly-<version>-Setup.exe and Tessaly-<version>-x64-Setup.exe
# (scripts/make-installer.sh), then prints each file's path and size.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$(dirname "$0")/.."
scripts/setup.sh
. scripts/wine-mode.sh
wine_mode_probe
tour_build=$PWD/build/$run_preset
if [ "$run_preset" = windows ]; then
  wine_mode_line "release: both editions; the guide's pictures from the 32-bit build's tour"
else
  wine_mode_line "release: both editions; the guide's pictures from the 64-bit build's tour"
fi
out=$PWD/build/release
root=$tour_build/wine-release
shots=$tour_build/artifacts/release-tour

echo "== building Tessaly.exe, both editions"
mkdir -p build
for preset in windows windows64; do
  configure_quietly $preset || exit 1
done
# The tour with the build that runs here; the setup program's pictures with the 64-bit build's
# test program (the x64 setup runs on every machine).
cmake --build --preset windows --target Tessaly -j "$(nproc)"
cmake --build --preset windows64 --target Tessaly tessaly_install_tests -j "$(nproc)"
cmake --build --preset "$run_preset" --target tessaly_tour -j "$(nproc)"

echo "== walking the tour for the user guide's pictures (a fresh demo machine)"
rm -rf "$root"
scripts/tour.sh "$root" "$shots" "$tour_build" >/dev/null
echo "== walking the tour at 150% for the guide's high-resolution pictures"
scripts/tour-scaled.sh 144 "$tour_build" "$shots" >"$tour_build/artifacts/tour-150.log" 2>&1 \
  || { cat "$tour_build/artifacts/tour-150.log"; exit 1; }
echo "== picturing the x64 setup program for the user guide"
tests/install/setup-pictures.sh build/windows64 "$shots" >"$tour_build/artifacts/setup-pictures.log" 2>&1 \
  || { cat "$tour_build/artifacts/setup-pictures.log"; exit 1; }

rm -rf "$out"
mkdir -p "$out"
echo "== making the user guide"
/usr/bin/python3 scripts/make-guide.py --screenshots "$shots" --out "$out/TessalyUserGuide.pdf"
echo "== making the setup programs"
scripts/make-installer.sh build/windows "$out/TessalyUserGuide.pdf" "$out" >/dev/null
scripts/make-installer.sh build/windows64 "$out/TessalyUserGuide.pdf" "$out" >/dev/null
cp build/windows/FileDatabase.xml "$out/"
mkdir -p "$out/x86" "$out/x64"
cp build/windows/Tessaly.exe "$out/x86/"
cp build/windows64/Tessaly.exe "$out/x64/"

echo "== the release, in $out:"
for file in "$out"/* "$out"/x86/* "$out"/x64/*; do
  [ -f "$file" ] || continue
  printf '  %-60s %10d bytes (%s)\n' "$file" "$(stat -c %s "$file")" "$(du -h "$file" | cut -f1)"
done
