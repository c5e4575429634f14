#!/usr/bin/env bash
# Compiles a setup program with Debian's NSIS (installer/tessaly.nsi):
#   scripts/make-installer.sh <windows-build-folder> <TessalyUserGuide.pdf> <out-folder>
# Takes Tessaly.exe and FileDatabase.xml from the build folder, writes the setup program of the
# build's edition (its program-bits, written when it was configured) and prints its path:
# <out-folder>/Tessaly-<version>-Setup.exe for the 32-bit build (preset windows),
# <out-folder>/Tessaly-<version>-x64-Setup.exe for the 64-bit build (preset windows64), a 64-bit
# setup program. The version comes from resources/version.h, where the installer reads it too.
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

case "$(cat "$build/program-bits" 2>/dev/null)" in
  32) name=Tessaly-$version-Setup.exe; edition=() ;;
  64) name=Tessaly-$version-x64-Setup.exe; edition=(-DX64) ;;
  *) echo "make-installer: $build/program-bits names no bitness (configure the build first)" >&2; exit 1 ;;
esac

mkdir -p "$out"
setup=$(readlink -f "$out")/$name
log=$(mktemp)
if ! makensis -V2 -INPUTCHARSET UTF8 "${edition[@]}" \
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
