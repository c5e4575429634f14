#!/usr/bin/env bash
# Starts the 32-bit Tessaly.exe we ship on a machine that cannot run 32-bit x86 code, through
# user-mode emulation, and checks that it reaches its Start page, shows its version and edition
# in the About box and ends with exit code 0 (tests/install/emulated_start_test.cpp):
#   scripts/emulated-start.sh <32-bit build folder> <64-bit build folder>
# The 64-bit build's test program drives the 32-bit program in a Wine root of its own
# (<64-bit build>/wine-emulated, made anew each run by Wine's 64-bit tools; its 32-bit half, the
# 32-bit system DLLs that the 64-bit wineboot installs by starting 32-bit programs, is made
# through emulation too). Only for that and the start itself, a binfmt_misc entry of our own hands
# i386 programs (Wine's 32-bit loader) to Debian's qemu-i386-static; it is removed when the run
# ends, however it ends (and binfmt_misc unmounted again when we mounted it). Where 32-bit code
# runs natively no entry is made. Prints how long each part took; screenshots go to
# <64-bit build>/artifacts/emulated-start.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 2 ] || { echo "usage: scripts/emulated-start.sh <32-bit build folder> <64-bit build folder>" >&2; exit 2; }
build32=$(readlink -f "$1")
build64=$(readlink -f "$2")
program=$build32/Tessaly.exe
driver=$build64/tests/install/tessaly_emulated_start.exe
for file in "$program" "$build32/FileDatabase.xml" "$driver"; do
  [ -f "$file" ] || { echo "emulated-start: $file is missing (build both presets first)" >&2; exit 2; }
done

qemu=/usr/bin/qemu-i386-static
binfmt=/proc/sys/fs/binfmt_misc
entry_name=tessaly-i386-$$
entry=
mounted_binfmt=0

export TESSALY_E2E_ROOT=$build64/wine-emulated
export TESSALY_E2E_DEMO=0
export TESSALY_E2E_DISPLAY=:$((600 + $(printf %s "$build64" | cksum | cut -d' ' -f1) % 99))
export TESSALY_ARTIFACTS=$build64/artifacts/emulated-start
export TESSALY_PROGRAM32=$program

finish() {
  # First the emulation goes, then the root's Wine processes and display.
  if [ -n "$entry" ] && [ -e "$entry" ]; then echo -1 >"$entry" || true; fi
  if [ "$mounted_binfmt" -eq 1 ]; then umount "$binfmt" || true; fi
  "$here/scripts/e2e-run.sh" --stop "$build64" >/dev/null 2>&1 || true
}
trap finish EXIT
trap 'exit 130' INT TERM HUP

"$here/scripts/e2e-run.sh" --stop "$build64" >/dev/null 2>&1 || true
rm -rf "$TESSALY_E2E_ROOT" "$TESSALY_ARTIFACTS"
mkdir -p "$TESSALY_ARTIFACTS"
started=$SECONDS
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  how="natively (this machine runs 32-bit code)"
else
  [ -x "$qemu" ] || { echo "emulated-start: $qemu is missing (scripts/setup.sh installs qemu-user-static where 32-bit code cannot run)" >&2; exit 2; }
  [ "$(id -u)" -eq 0 ] || { echo "emulated-start: registering the emulator needs root" >&2; exit 2; }
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
    mounted_binfmt=1
  fi
  # i386 ELF executables (class 1, machine 3), matched as qemu's own registrations match them;
  # F opens the emulator now, so that it also serves programs in other mount namespaces.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  entry=$binfmt/$entry_name
  echo ":$entry_name:M::$magic:$mask:$qemu:F" >"$binfmt/register"
  how="through $qemu ($entry)"
fi

echo "== emulated start: the 32-bit $program, $how"
# The prefix, its virtual desktop and wineserver (the 64-bit tools; the 32-bit half emulated).
"$here/scripts/e2e-run.sh" "$driver" --gtest_list_tests >/dev/null
prepared=$((SECONDS - started))
set +e
"$here/scripts/e2e-run.sh" "$driver"
rc=$?
set -e
echo "== emulated start: $((SECONDS - started)) s in all (the prefix: $prepared s; the program's start," \
     "About box and end: $((SECONDS - started - prepared)) s), exit $rc; screenshots in $TESSALY_ARTIFACTS"
exit $rc
