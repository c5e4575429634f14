#!/usr/bin/env bash
# Benchmarks the duplicate finder under Wine on Xvfb and prints the table of results:
#   scripts/bench.sh
# Builds Tessaly.exe, the fixture DLLs and tests/bench's tessaly_bench.exe with the windows preset,
# runs the benchmark in a Wine root of its own (<build>/wine-bench: the plugin tree it generates,
# C:\bench\tree, stays there and is reused), stops that root's Wine and Xvfb afterwards, and writes
# the table to <build>/artifacts/bench/results.txt (the whole output beside it, bench.log).
# TESSALY_BENCH_BUILD chooses another build folder of the windows preset (default build/windows).
# Timing is never part of the tests: this is a command to run by hand on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$(readlink -f "${TESSALY_BENCH_BUILD:-build/windows}")
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

scripts/setup.sh
mkdir -p "$build"
configure_log=$build/bench.configure.log
cmake --preset windows -B "$build" >"$configure_log" 2>&1 || { cat "$configure_log"; exit 1; }
build_log=$build/bench.build.log
cmake --build "$build" --target Tessaly tessaly_fixtures tessaly_bench -j "$jobs" >"$build_log" 2>&1 \
  || { tail -n 60 "$build_log"; echo "bench: the build failed (see $build_log)" >&2; exit 1; }

bench_exe=$build/tests/bench/tessaly_bench.exe
for needed in "$build/Tessaly.exe" "$bench_exe" "$build/tests/fixtures/plugin_1_0_32.dll"; do
  [ -f "$needed" ] || { echo "bench: $needed was not built" >&2; exit 1; }
done

# The program runs inside Wine, where the build folder is drive Z:.
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }
export TESSALY_E2E_ROOT=$build/wine-bench
export TESSALY_EXE
export TESSALY_FIXTURES
TESSALY_EXE=$(windows_path "$build/Tessaly.exe")
TESSALY_FIXTURES=$(windows_path "$build/tests/fixtures")

artifacts=$build/artifacts/bench
mkdir -p "$artifacts"
log=$artifacts/bench.log
results=$artifacts/results.txt
rm -f "$results"

stop() { "$repo/scripts/e2e-run.sh" --stop "$build" >/dev/null 2>&1 || true; }
trap stop EXIT

echo "Running the benchmark under Wine (root $TESSALY_E2E_ROOT); the first run makes the prefix"
echo "and the plugin tree, which takes a few minutes."
set +e
# Wine's output goes to a file, never through a pipe.
scripts/e2e-run.sh "$bench_exe" >"$log" 2>&1
rc=$?
set -e
stop
trap - EXIT

if [ $rc -ne 0 ] || ! grep -q '^results (' "$log"; then
  cat "$log"
  echo "bench: the benchmark failed (exit code $rc; output in $log)" >&2
  exit 1
fi
sed -n '/^results (/,$p' "$log" | tr -d '\r' >"$results"
cat "$results"
echo
echo "Results: $results (whole output: $log)"
