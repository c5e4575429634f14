#!/usr/bin/env bash
# Compiles the setup program with Debian's NSIS (installer/tessaly.nsi):
#   scripts/make-installer.sh <windows-build-folder> <TessalyUserGuide.pdf> <out-folder>
# Takes Tessaly.exe and FileDatabase.xml from the build folder, writes
# <out-folder>/Tessaly-<version>-Setup.exe (the version from resources/version.h, where the
# installer reads it too) and prints its path.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 3 ] || { echo "usage: scripts/make-installer.sh <windows-build-folder> <user-guide.pdf> <out-folder>" >&2; exit 2; }
build=$(readlink -f "$1")
guide=$(readlink -f "$2")
out=$3

for file in "$build/Tessaly.exe" "$build/FileDatabase.xml" "$guide"; do
  [ -f "$file" ] || { echo "make-installer: $file is missing (build the windows preset and the user guide first)" >&2; exit 1; }
done
command -v makensis >/dev/null || { echo "make-installer: makensis is missing (scripts/setup.sh installs nsis)" >&2; exit 1; }
version=$(sed -n 's/^#define TESSALY_VERSION_TEXT "\(.*\)"$/\1/p' "$here/resources/version.h")
[ -n "$version" ] || { echo "make-installer: no TESSALY_VERSION_TEXT in resources/version.h" >&2; exit 1; }

mkdir -p "$out"
setup=$(readlink -f "$out")/Tessaly-$version-Setup.exe
log=$(mktemp)
if ! makensis -V2 -INPUTCHARSET UTF8 \
    "-DTESSALY_EXE=$build/Tessaly.exe" "-DFILE_DATABASE=$build/FileDatabase.xml" \
    "-DUSER_GUIDE=$guide" "-DOUT_FILE=$setup.part" "$here/installer/tessaly.nsi" >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log" "$setup.part"
  echo "make-installer: makensis failed" >&2
  exit 1
fi
rm -f "$log"
mv "$setup.part" "$setup"
echo "$setup"
