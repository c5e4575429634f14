#!/usr/bin/env bash
# Runs a program of the end-to-end tier under Wine on a virtual display:
#   scripts/e2e-run.sh program.exe [arguments...]
#   scripts/e2e-run.sh --plain program.exe [arguments...]
#                                               (the Windows tier's tests: the usual prefix of
#                                               scripts/wine-run.sh, on a display of their own)
#   scripts/e2e-run.sh --stop build-folder      (ends the tier's wineserver and both Xvfbs; with
#                                                TESSALY_E2E_ROOT, that root's wineserver and Xvfb only)
# The tier has a Wine root of its own, <build>/wine-e2e, run through scripts/wine-run.sh. On first
# use the prefix gets a Wine virtual desktop (title bars in screenshots, exit codes kept) and, when
# scripts/demo-machine.sh exists and TESSALY_E2E_DEMO is not 0, the demo machine (TESSALY_E2E_ROOT
# names another root). Xvfb is started when the display is not up: TESSALY_E2E_DISPLAY (default:
# a number from 100 to 499 derived from the build folder), 1280x1024x24 unless TESSALY_E2E_SCREEN
# names another size (for the screen and the Wine desktop of a new root), open to the test user
# (-ac).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

here=$(dirname "$(readlink -f "$0")")

build_of() {
  local dir
  dir=$(build_folder_above "$1")
  [ -n "$dir" ] || { echo "e2e-run: no build folder above $1" >&2; exit 2; }
  echo "$dir"
}

display_up() {
  [ -S "$x_socket" ] && [ -f "$x_lock" ] && kill -0 "$(tr -d ' ' <"$x_lock")" 2>/dev/null
}

stop_xvfb() {
  # Only an Xvfb that this script started goes; a display someone else runs stays.
  local pid_file=$1/xvfb.pid
  [ -f "$pid_file" ] || return 0
  local pid
  pid=$(cat "$pid_file")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$pid_file"
}

if [ "${1:-}" = --stop ]; then
  build=$(build_of "$(readlink -f "$2")")
  root=${TESSALY_E2E_ROOT:-$build/wine-e2e}
  [ -d "$root/prefix" ] && TESSALY_WINE_ROOT=$root "$here/wine-run.sh" --stop "$build"
  stop_xvfb "$root"
  # The Windows tier's display is the tier's own: a caller that names another root (the install
  # test, the scaled tour, a benchmark) ends only that root's, since the tier's tests may be
  # running on it at the same time.
  [ -n "${TESSALY_E2E_ROOT:-}" ] || stop_xvfb "$build/wine-display"
  exit 0
fi

plain=0
if [ "${1:-}" = --plain ]; then plain=1; shift; fi
exe=$(readlink -f "$1"); shift
build=$(build_of "$exe")
root=${TESSALY_E2E_ROOT:-$build/wine-e2e}
screen=${TESSALY_E2E_SCREEN:-1280x1024}
# Each build folder has a display of its own, so that two runs at once never share a screen
# (screenshots would show the other run's desktop where they overlap); the Windows tier's tests
# have another, so their windows never appear in the end-to-end tier's screenshots.
display=${TESSALY_E2E_DISPLAY:-:$((100 + $(printf %s "$build" | cksum | cut -d' ' -f1) % 400))}
if [ "$plain" -eq 1 ]; then
  root=$build/wine-display
  display=:$((${display#:} + 400))
fi
mkdir -p "$root"
number=${display#:}
x_lock=/tmp/.X$number-lock
x_socket=/tmp/.X11-unix/X$number
export DISPLAY=$display

# One Xvfb for the whole run, detached from ctest's pipes (setsid, output to a file).
exec 8>"$root/xvfb.lock"
flock 8
if ! display_up; then
  setsid Xvfb "$display" -screen 0 "${screen}x24" -ac -nolisten tcp </dev/null >"$root/xvfb.log" 2>&1 8>&- &
  for _ in $(seq 100); do display_up && break; sleep 0.1; done
  display_up || { echo "e2e-run: Xvfb did not come up on $display (see $root/xvfb.log)" >&2; exit 2; }
  tr -d ' ' <"$x_lock" >"$root/xvfb.pid"
fi
flock -u 8
exec 8>&-

if [ "$plain" -eq 1 ]; then
  exec "$here/wine-run.sh" "$exe" "$@"
fi
export TESSALY_WINE_ROOT=$root

# The prefix itself comes from wine-run.sh on its first command; then the virtual desktop and the
# demo machine, once. The ready mark holds a fingerprint of the demo machine's script and data, so
# that a root made before they changed gets the new demo machine (the script restores its state as
# a whole) instead of failing tests on the old one.
demo_fingerprint() {
  if [ -f "$here/demo-machine.sh" ] && [ "${TESSALY_E2E_DEMO:-1}" != 0 ]; then
    find "$here/demo-machine.sh" "$here/demo" -type f -print0 | LC_ALL=C sort -z \
      | xargs -0 sha256sum | sha256sum | cut -d' ' -f1
  else
    echo none
  fi
}
fingerprint=$(demo_fingerprint)
if [ "$(cat "$root/e2e-ready" 2>/dev/null)" != "$fingerprint" ]; then
  exec 8>"$root/e2e.lock"
  flock 8
  if [ ! -f "$root/e2e-ready" ]; then
    {
      "$here/wine-run.sh" --in "$build" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
      "$here/wine-run.sh" --in "$build" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$screen" /f
    } >"$root/e2e-setup.log" 2>&1 8>&- || { cat "$root/e2e-setup.log" >&2; exit 2; }
  fi
  if [ "$(cat "$root/e2e-ready" 2>/dev/null)" != "$fingerprint" ]; then
    if [ "$fingerprint" != none ]; then
      bash "$here/demo-machine.sh" "$root" >"$root/demo-machine.log" 2>&1 8>&- \
        || { echo "e2e-run: demo-machine.sh failed (see $root/demo-machine.log)" >&2; exit 2; }
    fi
    echo "$fingerprint" >"$root/e2e-ready"
  fi
  flock -u 8
  exec 8>&-
fi

# Screenshots are written by the test user: the artifacts folder (TESSALY_ARTIFACTS, a Windows
# path on drive Z:) must be theirs.
if [ -n "${TESSALY_ARTIFACTS:-}" ]; then
  artifacts=${TESSALY_ARTIFACTS#[Zz]:}
  artifacts=${artifacts//\\//}
  mkdir -p "$artifacts"
  if [ "$(id -u)" -eq 0 ]; then chown tessaly-wine: "$artifacts"; fi
fi

exec "$here/wine-run.sh" "$exe" "$@"
