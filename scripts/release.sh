#!/usr/bin/env bash
# The release: Tessaly.exe, its user guide and its installer, made from this checkout into one
# folder, build/release (emptied first):
#   scripts/release.sh
# Installs what is missing (scripts/setup.sh), builds the windows preset, walks the program's tour
# on a fresh demo machine for the guide's pictures (scripts/tour.sh, Wine root
# build/windows/wine-release), makes TessalyUserGuide.pdf (scripts/make-guide.py) and the setup
# program (scripts/make-installer.sh), then prints each file's path and size.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
out=$PWD/build/release
root=$PWD/build/windows/wine-release
shots=$PWD/build/windows/artifacts/release-tour

echo "== building Tessaly.exe"
mkdir -p build
cmake --preset windows >build/windows.configure.log 2>&1 || { cat build/windows.configure.log; exit 1; }
cmake --build --preset windows --target Tessaly tessaly_tour -j "$(nproc)"

echo "== walking the tour for the user guide's pictures (a fresh demo machine)"
rm -rf "$root"
scripts/tour.sh "$root" "$shots" >/dev/null

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
