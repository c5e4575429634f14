#!/usr/bin/env bash
# The one test command: installs what is missing, builds both targets and runs every test tier.
#   scripts/test.sh            all tiers
#   scripts/test.sh native     only the native tier (GCC, sanitizers, fakes)
#   scripts/test.sh windows    only the Windows tiers (MinGW, under Wine: the Windows tier and the
#                              end-to-end tier, whose screenshots land in build/windows/artifacts)
# Exits non-zero when any build or any tier fails; every tier runs even after a failure.
set -uo pipefail
cd "$(dirname "$0")/.."
tiers=("$@")
[ ${#tiers[@]} -gt 0 ] || tiers=(native windows)

scripts/setup.sh || exit 1

jobs=$(nproc)
failed=()
started=$SECONDS

run_tier() {
  local preset=$1
  echo "== $preset tier: configure and build"
  mkdir -p build
  cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 \
    || { cat "build/$preset.configure.log"; return 1; }
  cmake --build --preset "$preset" -j "$jobs" || return 1
  if [ "$preset" = windows ]; then
    # Throwaway Wine prefixes per run (the Windows tier's and the end-to-end tier's, with its
    # screenshots); the build folder keeps everything else.
    scripts/e2e-run.sh --stop build/windows
    rm -rf build/windows/wine build/windows/wine-e2e build/windows/artifacts/screenshots
  fi
  echo "== $preset tier: tests"
  local rc=0
  ctest --preset "$preset" -j "$jobs" || rc=1
  if [ "$preset" = windows ]; then
    [ -d build/windows/wine/prefix ] && scripts/wine-run.sh --stop build/windows
    scripts/e2e-run.sh --stop build/windows
  fi
  return $rc
}

for tier in "${tiers[@]}"; do
  case "$tier" in
    native|windows) run_tier "$tier" || failed+=("$tier") ;;
    *) echo "unknown tier: $tier" >&2; exit 2 ;;
  esac
done

echo "== finished in $((SECONDS - started)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED tiers: ${failed[*]}"
  exit 1
fi
echo "all tiers passed"
