#!/usr/bin/env bash
# Walks the tour at another display scale, on a 1920x1080 screen:
#   scripts/tour-scaled.sh <dpi> <build-folder> [artifacts-folder]
# (dpi: 120, 144 or 192 for 125%, 150%, 200%). Every page the tour shows is checked to fit its
# screen (tour_test.cpp); the screenshots, named after the scale ("duplicate-finder-150"), go to
# <build>/artifacts/screenshots-<dpi>, emptied first, and are then copied into the artifacts folder
# named, each test's folder as <Suite>.<Test>-<percent> (beside the 100% walk's <Suite>.<Test>,
# which the driver empties when a walk starts saving into it). The runs at all scales share one Wine root of their own,
# <build>/wine-e2e-scaled, with the demo machine and a 1920x1080 Wine desktop, and a display of
# their own; the scale is the prefix's LogPixels, which Wine reads when a program starts, so the
# root's wineserver (and with it the desktop) is ended before the value changes.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || [ $# -eq 3 ] \
  || { echo "usage: scripts/tour-scaled.sh <dpi> <build-folder> [artifacts-folder]" >&2; exit 2; }
dpi=$1
build=$(readlink -f "$2")

export TESSALY_E2E_ROOT=$build/wine-e2e-scaled
export TESSALY_E2E_SCREEN=1920x1080
# Beside the displays of e2e-run.sh (100-499, and 500-899 for the Windows tier).
export TESSALY_E2E_DISPLAY=:$((900 + $(printf %s "$build" | cksum | cut -d' ' -f1) % 400))
export TESSALY_EXE=$build/Tessaly.exe
export TESSALY_ARTIFACTS=$build/artifacts/screenshots-$dpi
export TESSALY_FIXTURES=$build/tests/fixtures
tour=$build/tests/e2e/tessaly_tour.exe

# Ends the root's wineserver and its display (the root is named, so the Windows tier's display,
# which may be in use beside this walk, stays).
stop_scaled() { scripts/e2e-run.sh --stop "$build"; }

# The root, its desktop and the demo machine come with the first run of e2e-run.sh; a walk that
# lists the tests makes them without showing any page.
if [ ! -f "$TESSALY_E2E_ROOT/e2e-ready" ]; then
  scripts/e2e-run.sh "$tour" --gtest_list_tests >"$build/tour-scaled-setup.log" 2>&1 \
    || { cat "$build/tour-scaled-setup.log" >&2; exit 1; }
fi
stop_scaled
TESSALY_WINE_ROOT=$TESSALY_E2E_ROOT scripts/wine-run.sh --in "$build" \
  reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
  >"$build/tour-scaled-$dpi.log" 2>&1 || { cat "$build/tour-scaled-$dpi.log" >&2; exit 1; }
# The wineserver that reg started stays up for the walk (no Wine program has read the scale yet),
# so that the first page is not waiting for a cold start.

rm -rf "$TESSALY_ARTIFACTS"
rc=0
scripts/e2e-run.sh "$tour" >"$build/tour-scaled-$dpi.log" 2>&1 || rc=$?
stop_scaled
cat "$build/tour-scaled-$dpi.log"
if [ $# -eq 3 ] && [ -d "$TESSALY_ARTIFACTS" ]; then
  mkdir -p "$3"
  for test in "$TESSALY_ARTIFACTS"/*/; do
    test=${test%/}
    rm -rf "$3/${test##*/}-$((dpi * 100 / 96))"
    cp -r "$test" "$3/${test##*/}-$((dpi * 100 / 96))"
  done
fi
exit $rc
