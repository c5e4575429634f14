#!/usr/bin/env bash
# The one test command: installs what is missing, builds every target and runs every test tier.
#   scripts/test.sh            all tiers
#   scripts/test.sh native     only the native tier (GCC, sanitizers, fakes)
#   scripts/test.sh windows    only the Windows tiers (MinGW, under Wine: the Windows tier, the
#                              end-to-end tier, whose screenshots land in build/<preset>/artifacts,
#                              and the release tier)
# Which Windows builds run depends on the machine (scripts/wine-mode.sh), and the first line says
# which and why:
#   32-bit mode (the machine runs 32-bit x86 code): the Windows tiers with the 32-bit build
#     (preset windows, the program we ship), then again with the 64-bit build (preset windows64),
#     so that a change made here cannot break the other kind of machine unseen;
#   64-bit mode (it cannot, or TESSALY_WINE_MODE=64): the 32-bit build compiled, so that the
#     release still builds, and the Windows tiers with the 64-bit build; then the 32-bit program
#     we ship started through user-mode emulation (scripts/emulated-start.sh: its Start page, its
#     About box, exit code 0), since nothing else starts it on such a machine.
# Exits non-zero when any build or any tier fails; every tier runs even after a failure.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$(dirname "$0")/.."
tiers=("$@")
[ ${#tiers[@]} -gt 0 ] || tiers=(native windows)

scripts/setup.sh || exit 1
. scripts/wine-mode.sh
wine_mode_probe || exit 2
if [ "$wine_mode" = 32 ]; then
  windows_runs=(windows:test windows64:test)
  wine_mode_line "tests: native; the 32-bit build (windows) and the 64-bit build (windows64) under Wine"
else
  windows_runs=(windows:build windows64:test)
  wine_mode_line "tests: native; the 32-bit build (windows) compiled only; the 64-bit build (windows64) under Wine"
fi

jobs=$(nproc)
failed=()
started=$SECONDS

run_tier() {
  local preset=$1 what=${2:-test}
  echo "== $preset tier: configure and build"
  mkdir -p build
  configure_quietly "$preset" || return 1
  cmake --build --preset "$preset" -j "$jobs" || return 1
  if [ "$what" = build ]; then
    echo "== $preset tier: built; its tests need a machine that runs 32-bit code"
    return 0
  fi
  if [ "$preset" != native ]; then
    # Throwaway Wine prefixes per run (the Windows tier's and the end-to-end tier's, with its
    # screenshots); the build folder keeps everything else.
    scripts/e2e-run.sh --stop "build/$preset"
    rm -rf "build/$preset/wine" "build/$preset/wine-e2e" "build/$preset/wine-e2e-scaled" \
      "build/$preset/artifacts/screenshots"
  fi
  echo "== $preset tier: tests"
  local rc=0
  ctest --preset "$preset" -j "$jobs" || rc=1
  if [ "$preset" != native ]; then
    [ -d "build/$preset/wine/prefix" ] && scripts/wine-run.sh --stop "build/$preset"
    scripts/e2e-run.sh --stop "build/$preset"
  fi
  return $rc
}

for tier in "${tiers[@]}"; do
  case "$tier" in
    native) run_tier native || failed+=(native) ;;
    windows)
      for run in "${windows_runs[@]}"; do
        run_tier "${run%:*}" "${run#*:}" || failed+=("${run%:*}")
      done
      if [ "$wine_mode" = 64 ]; then
        echo "== the 32-bit program, started through emulation"
        scripts/emulated-start.sh build/windows build/windows64 || failed+=(emulated-start)
      fi
      ;;
    *) echo "unknown tier: $tier" >&2; exit 2 ;;
  esac
done

echo "== finished in $((SECONDS - started)) s (Wine $wine_mode-bit mode)"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED tiers: ${failed[*]}"
  exit 1
fi
echo "all tiers passed"
