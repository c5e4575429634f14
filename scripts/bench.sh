#!/usr/bin/env bash
# Benchmarks the duplicate finder under Wine on Xvfb and prints the table of results:
#   scripts/bench.sh            the quick run (a few minutes once the tree exists): 3 rounds of the
#                               table, the message-cost factors over 1,000 messages, the list-box fill
#   scripts/bench.sh --full     every round and diagnostic: 5 rounds of the table, 7 of the factors over
#                               5,000 messages with the extra variants, the page polled three ways, the
#                               variants of the floor and of the engine (11 rounds)
#   scripts/bench.sh --page     only the page through the UI, polled three ways, beside the floor; with
#                               TESSALY_EXE_B (the Windows path of another Tessaly.exe) both programs'
#                               pages in the same rounds
#   scripts/bench.sh --factors  only the message-cost factors
#   scripts/bench.sh --catalog  the product catalog's registry scan instead: 2,000 product keys in
#                               both registry views of the benchmark's Wine root (made once, then
#                               reused), the engine beside reg query and a minimal enumeration;
#                               results in <build>/artifacts/bench/catalog.txt (output: catalog.log)
#   scripts/bench.sh --products the product manager's page through the UI on the same keys, from Next
#                               on the Start page to the filled list, beside the catalog engine and
#                               the page worker's whole work, and the broken-path masks alone; with
#                               TESSALY_EXE_B the pages of other Tessaly.exe programs in the same
#                               rounds; results in <build>/artifacts/bench/products.txt (output:
#                               products.log)
# Other arguments go to tessaly_bench.exe: --rounds N, --messages N (per factor run), --work-us N
# (spinning before each factor message).
# Builds Tessaly.exe, the fixture DLLs and tests/bench's tessaly_bench.exe with the windows preset,
# runs the benchmark in a Wine root of its own (<build>/wine-bench: the plugin tree it generates,
# C:\bench\tree, stays there and is reused), stops that root's Wine and Xvfb afterwards, and writes
# the table to <build>/artifacts/bench/results.txt (the whole output beside it, bench.log). Progress
# lines show while it runs.
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
# The file database goes beside the program when the preset is configured; the product manager's
# benchmark finds it there.
for needed in "$build/Tessaly.exe" "$build/FileDatabase.xml" "$bench_exe" "$build/tests/fixtures/plugin_1_0_32.dll"; do
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
catalog=0
products=0
for arg in "$@"; do
  [ "$arg" != --catalog ] || catalog=1
  [ "$arg" != --products ] || products=1
done
if [ "$catalog" -eq 1 ] && [ "$products" -eq 1 ]; then
  echo "bench: --catalog and --products are two runs" >&2
  exit 2
fi
if [ "$catalog" -eq 1 ]; then
  log=$artifacts/catalog.log
  results=$artifacts/catalog.txt
elif [ "$products" -eq 1 ]; then
  log=$artifacts/products.log
  results=$artifacts/products.txt
else
  log=$artifacts/bench.log
  results=$artifacts/results.txt
fi
rm -f "$results"

stop() { "$repo/scripts/e2e-run.sh" --stop "$build" >/dev/null 2>&1 || true; }
trap stop EXIT

# The benchmark mirrors its output into this file as it goes (Wine's own output reaches the log
# only when the program ends); the loop below shows it up to the results.
progress=$artifacts/progress.txt
: >"$progress"
chmod 666 "$progress"
export TESSALY_BENCH_PROGRESS
TESSALY_BENCH_PROGRESS=$(windows_path "$progress")

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Running the benchmark under Wine (root $TESSALY_E2E_ROOT); load averages: $load_before."
if [ ! -f "$TESSALY_E2E_ROOT/e2e-ready" ]; then
  echo "First run: making the Wine prefix, its virtual desktop and the demo machine (a few minutes),"
  if [ "$catalog" -eq 1 ] || [ "$products" -eq 1 ]; then echo "then the product keys."; else echo "then the plugin tree."; fi
fi
started=$SECONDS
set +e
# Wine's output goes to a file, never through a pipe.
scripts/e2e-run.sh "$bench_exe" "$@" >"$log" 2>&1 &
bench_pid=$!
shown=0
show_progress() {
  local lines results
  lines=$(wc -l <"$progress")
  results=$(grep -n -m1 '^results' "$progress" | cut -d: -f1 || true)
  [ -z "$results" ] || lines=$((results - 1))
  if [ "$lines" -gt "$shown" ]; then
    sed -n "$((shown + 1)),${lines}p" "$progress" | tr -d '\r'
    shown=$lines
  fi
}
while kill -0 "$bench_pid" 2>/dev/null; do
  sleep 2
  show_progress
done
show_progress
wait "$bench_pid"
rc=$?
set -e
stop
trap - EXIT

if [ $rc -ne 0 ] || ! grep -q '^results' "$log"; then
  # What the progress lines have not shown already.
  [ "$shown" -gt 0 ] || cat "$log"
  echo "bench: the benchmark failed (exit code $rc; output in $log)" >&2
  exit 1
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
echo "(took $((SECONDS - started)) s)"
echo
{
  sed -n '/^results/,$p' "$log" | tr -d '\r'
  echo
  echo "machine: $(nproc) cores; load averages (1, 5, 15 min) $load_before before, $load_after after"
} >"$results"
cat "$results"
echo
echo "Results: $results (whole output: $log)"
