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
#   scripts/bench.sh --relocate the relocation engine's copy of 1 GB in 10,000 files (made once in
#                               the benchmark's Wine root, C:\bench\relocate\Library) beside xcopy
#                               and robocopy under the same Wine and cp -r on the Linux side of the
#                               same disk; 3 rounds after a warm-up, one measure per call in turn;
#                               results in <build>/artifacts/bench/relocate.txt (output: relocate.log);
#                               with --full also the diagnostics (least Win32 copy with and without
#                               COPY_FILE_NO_BUFFERING, the engine without the copies) and the scale
#                               run; the engine's profile (time per file-system call and step) of
#                               the last round is in relocate-profile.txt beside the results;
#                               TESSALY_RELOCATE_BENCH_B (the Linux path of another build's
#                               tessaly_bench.exe) adds its engine measures in the same rounds
#                               ("this build / that build")
#                               (TESSALY_RELOCATE_MEASURES="engine xcopy" names fewer measures)
#   scripts/bench.sh --relocate --scale
#                               only the relocation's scale run: the engine over 1, 4 and 16 sets of
#                               1,000 files (about 97 MB each, made once in C:\bench\relocate\Scale,
#                               1.5 GB, and 1.5 GB more while a copy runs), time per unit at each size
#   scripts/bench.sh --scale    the finder at 1, 4 and 16 times the plugin tree (C:\bench\scale: 16
#                               copies of the tree as hard links, made once): the engine, the floor,
#                               the engine with sent messages and the page, the time per file at each
#                               size and the page's peak memory
#   scripts/bench.sh --against COMMIT [--against COMMIT2 ...] [mode]
#                               side by side: builds each commit once in a folder of its own
#                               (build/against/<commit>/src/build/<preset>, the source taken with
#                               git archive) and runs
#                               its tessaly_bench.exe and Tessaly.exe in the same rounds as this
#                               build's, for the mode given (the table, --page, --catalog, --products,
#                               --scale, ...; with --relocate the first commit's engine joins the loop
#                               in TESSALY_RELOCATE_BENCH_B's place), then prints
#                               "this build / that build" per measure with the spread over the rounds;
#                               a measure or mode that build lacks is reported as such. --against-rounds
#                               N: how many rounds (default 3; each round runs every program once, in
#                               turn, the order changing from round to round); results in
#                               <build>/artifacts/bench/against.txt (output: against.log)
# Other arguments go to tessaly_bench.exe: --rounds N, --messages N (per factor run), --work-us N
# (spinning before each factor message).
# Builds Tessaly.exe, the fixture DLLs and tests/bench's tessaly_bench.exe with the preset this
# machine runs (scripts/wine-mode.sh: windows, the 32-bit program, where 32-bit code runs, else
# windows64, the 64-bit build of the same sources; the first line and the results say which),
# runs the benchmark in a Wine root of its own (<build>/wine-bench: the plugin tree it generates,
# C:\bench\tree, stays there and is reused), stops that root's Wine and Xvfb afterwards, and writes
# the table to <build>/artifacts/bench/results.txt (the whole output beside it, bench.log). Progress
# lines show while it runs.
# TESSALY_BENCH_BUILD chooses another build folder of that preset (default build/<preset>).
# Timing is never part of the tests: this is a command to run by hand on a quiet machine.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$(dirname "$0")/.."
repo=$PWD

# --against COMMIT (repeatable) and --against-rounds N are this script's; the rest goes on.
against=()
against_rounds=3
passed=()
while [ $# -gt 0 ]; do
  case $1 in
    --against|--against-rounds)
      [ $# -ge 2 ] || { echo "bench: $1 needs a value" >&2; exit 2; }
      if [ "$1" = --against ]; then against+=("$2"); else against_rounds=$2; fi
      shift 2 ;;
    *) passed+=("$1"); shift ;;
  esac
done
set -- ${passed[@]+"${passed[@]}"}
for commit in ${against[@]+"${against[@]}"}; do
  git rev-parse -q --verify "$commit^{commit}" >/dev/null \
    || { echo "bench: --against $commit: no such commit in this repository" >&2; exit 2; }
done
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

scripts/setup.sh
. scripts/wine-mode.sh
wine_mode_probe
preset=$run_preset
build=$(readlink -f "${TESSALY_BENCH_BUILD:-build/$preset}")
if [ "$preset" = windows ]; then measured="the 32-bit build (preset windows, $build)"
else measured="the 64-bit build (preset windows64, $build)"; fi
wine_mode_line "bench: measures $measured"
mkdir -p "$build"
configure_log=$build/bench.configure.log
configure_quietly "$preset" "$configure_log" -B "$build" || exit 1
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

# Every build the rounds run, this one first: its benchmark, Tessaly.exe and fixtures, and its name.
run_names=("this build")
run_bench=("$bench_exe")
run_exe=("$TESSALY_EXE")
run_fixtures=("$TESSALY_FIXTURES")
declare -A against_bench_of=()  # by short commit, for the relocation loop
against_notes=()  # how the other builds were made, where that differs

# Builds COMMIT once in build/against/<commit>/src/build/<preset> from its own source (git archive
# into build/against/<commit>/src); later calls find it built. Adds it to the run_* lists.
build_against() {
  local full short dir src out log
  full=$(git rev-parse --verify "$1^{commit}")
  short=$(git rev-parse --short=7 "$full")
  dir=$repo/build/against/$short
  src=$dir/src
  # Below its source as this build is below this one, so that a compiler cache finds the files
  # both share under the same relative paths.
  out=$src/build/$preset
  if [ ! -f "$dir/source-complete" ]; then
    echo "bench: taking the source of $short into $src"
    rm -rf "$src"
    mkdir -p "$src"
    git archive "$full" | tar -x -C "$src"
    touch "$dir/source-complete"
  fi
  mkdir -p "$out"
  # The pugixml source package this build fetched serves that one too.
  if [ ! -d "$out/_deps/pugixml" ] && [ -d "$build/_deps/pugixml" ]; then
    mkdir -p "$out/_deps"
    cp -r "$build/_deps/pugixml" "$out/_deps/"
  fi
  # A commit from before this preset existed gets this tree's presets and MinGW toolchain files
  # (build settings only; its sources stay its own), and the note says so.
  if ! grep -q "\"name\": \"$preset\"" "$src/CMakePresets.json" 2>/dev/null; then
    cp "$repo/CMakePresets.json" "$src/"
    cp "$repo"/cmake/mingw-*.cmake "$src/cmake/"
    echo "$short: has no $preset preset; built with this tree's CMakePresets.json and cmake/mingw-*.cmake" \
      >"$dir/presets-note"
  fi
  [ ! -f "$dir/presets-note" ] || against_notes+=("$(cat "$dir/presets-note")")
  log=$out/bench.build.log
  echo "bench: building $short in $out (once; later runs reuse it)"
  (cd "$src" && configure_quietly "$preset" "$out/bench.configure.log" -B "$out") \
    || { echo "bench: $short does not configure (see $out/bench.configure.log)" >&2; exit 1; }
  # Which Wine loader runs it (written by the configure of the commits that know both builds).
  [ -f "$out/program-bits" ] || { [ "$preset" = windows64 ] && echo 64 || echo 32; } >"$out/program-bits"
  if ! cmake --build "$out" --target Tessaly tessaly_fixtures tessaly_bench -j "$jobs" >"$log" 2>&1; then
    if grep -q "unknown target 'tessaly_bench'" "$log"; then
      echo "bench: $short has no benchmark program (tessaly_bench): left out"
      return 0
    fi
    tail -n 30 "$log"
    echo "bench: the build of $short failed (see $log)" >&2
    exit 1
  fi
  run_names+=("$short")
  run_bench+=("$out/tests/bench/tessaly_bench.exe")
  run_exe+=("$(windows_path "$out/Tessaly.exe")")
  run_fixtures+=("$(windows_path "$out/tests/fixtures")")
  against_bench_of[$short]=$out/tests/bench/tessaly_bench.exe
}
for commit in ${against[@]+"${against[@]}"}; do build_against "$commit"; done
# The other builds' programs run on this build's display, in this build's Wine root.
export TESSALY_E2E_DISPLAY=${TESSALY_E2E_DISPLAY:-:$((100 + $(printf %s "$build" | cksum | cut -d' ' -f1) % 400))}

# --relocate: the rounds run here, one measure per call of the benchmark, so that cp -r takes its
# turn among the others and every measure starts with the previous copy written out and removed.
relocate_bench() {
  local rounds=3 log=$artifacts/relocate.log results=$artifacts/relocate.txt
  local times=$artifacts/relocate-times.txt out=$artifacts/relocate-measure.out
  local profile=$artifacts/relocate-profile.txt
  local drive_c=$TESSALY_E2E_ROOT/prefix/drive_c
  local library=$drive_c/bench/relocate/Library target=$drive_c/bench/relocate/target/Library
  local scale_target=$drive_c/bench/relocate/target/Scale
  local measures=(engine engine-sent engine-buffered engine-compare xcopy robocopy cp)
  # TESSALY_RELOCATE_MEASURES: another list of measures, for a shorter run ("engine xcopy").
  [ -z "${TESSALY_RELOCATE_MEASURES:-}" ] || read -r -a measures <<<"$TESSALY_RELOCATE_MEASURES"
  local scale=0
  # --full: also the diagnostics that tell where the engine's time goes, and the scale run.
  for arg in "$@"; do
    [ "$arg" != --full ] || { measures+=(plain plain-nobuffering engine-nocopy); scale=1; }
    [ "$arg" != --scale ] || { measures=(); scale=1; }
  done
  # Another build's benchmark: its engine in the same rounds.
  # --against: the first other build named takes that place.
  local bench_b=${TESSALY_RELOCATE_BENCH_B:-} short
  if [ -z "$bench_b" ]; then
    for short in "${!against_bench_of[@]}"; do bench_b=${against_bench_of[$short]}; break; done
  fi
  if [ -n "$bench_b" ]; then
    [ -f "$bench_b" ] || { echo "bench: TESSALY_RELOCATE_BENCH_B: $bench_b is not there" >&2; exit 1; }
    # The other build's measures of the engine's copy and its check.
    for m in "${measures[@]}"; do
      [ "$m" != engine ] && [ "$m" != engine-compare ] || measures+=("$m@b")
    done
  fi
  : >"$log"
  : >"$times"
  : >"$profile"
  rm -f "$results"
  trap stop EXIT
  local unavailable=()
  measure() {  # runs one measure of tessaly_bench.exe (name@b: the other build's); output to the log
    local rc=0 exe=$bench_exe name=$1
    if [ "${1%@b}" != "$1" ]; then exe=$bench_b; name=${1%@b}; fi
    scripts/e2e-run.sh "$exe" --relocate "$name" >"$out" 2>&1 || rc=$?
    tr -d '\r' <"$out" >>"$log"
    # 3: the measure's tool does not work here; it leaves the rounds, with its reason.
    [ "$rc" -ne 3 ] || { unavailable+=("$1: $(tr -d '\r' <"$out" | sed -n 's/^unavailable: //p')"); return 3; }
    [ "$rc" -eq 0 ] || { cat "$out"; echo "bench: the measure $1 failed (output in $log)" >&2; exit 1; }
  }
  # Notes the times of one measure's output (round 0, the warm-up, is not kept) and, in the last
  # round, its profile.
  note_times() {  # round measure
    local ms run_ms check_ms
    ms=$(tr -d '\r' <"$out" | sed -n 's/^ms //p' | tail -n 1)
    run_ms=$(tr -d '\r' <"$out" | sed -n 's/^run-ms //p' | tail -n 1)
    check_ms=$(tr -d '\r' <"$out" | sed -n 's/^check-ms //p' | tail -n 1)
    [ "$1" -ne 0 ] || return 0
    [ -z "$run_ms" ] || echo "$1 $2-run $run_ms" >>"$times"
    [ -z "$check_ms" ] || echo "$1 $2-check $check_ms" >>"$times"
    echo "$1 $2 $ms" >>"$times"
    if [ "$1" -eq "$rounds" ] && tr -d '\r' <"$out" | grep -q '^step '; then
      { echo "$2:"; tr -d '\r' <"$out" | sed -n 's/^step /  /p'; } >>"$profile"
    fi
  }
  local load_before started
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  started=$SECONDS
  echo "Relocation benchmark under Wine (root $TESSALY_E2E_ROOT); load averages: $load_before."
  [ -f "$TESSALY_E2E_ROOT/e2e-ready" ] || echo "First run: making the Wine prefix and the demo machine (a few minutes)."
  if [ "${#measures[@]}" -gt 0 ]; then
    echo "The library (1 GB in 10,000 files; made on first use, then checked)..."
    measure make
    grep -E '^(library|making)' "$log" | tail -n 1
  fi
  for round in $(seq 0 "$rounds"); do
    [ "${#measures[@]}" -gt 0 ] || break
    for m in "${measures[@]}"; do
      rm -rf "$target"
      sync
      if [ "$m" = cp ]; then
        local t0 t1 ms
        t0=$(date +%s%N)
        cp -r "$library" "$target"
        t1=$(date +%s%N)
        ms=$(( (t1 - t0) / 1000 )); ms=$(awk -v us="$ms" 'BEGIN { printf "%.1f", us / 1000 }')
        local files
        files=$(find "$target" -type f | wc -l)
        [ "$files" -eq 10000 ] || { echo "bench: cp -r copied $files files" >&2; exit 1; }
        echo "cp -r: ms $ms" >>"$log"
        [ "$round" -eq 0 ] || echo "$round $m $ms" >>"$times"
      else
        if ! measure "$m"; then
          local kept=()
          for k in "${measures[@]}"; do [ "$k" = "$m" ] || kept+=("$k"); done
          measures=("${kept[@]}")
          echo "  $m: unavailable (${unavailable[-1]#*: })"
          continue
        fi
        note_times "$round" "$m"
      fi
    done
    rm -rf "$target"
    if [ "$round" -eq 0 ]; then echo "  warm-up round done ($((SECONDS - started)) s)"; else echo "  round $round of $rounds done ($((SECONDS - started)) s)"; fi
  done
  local scale_measures=()
  if [ "$scale" -eq 1 ]; then
    scale_measures=(scale-1 scale-4 scale-16)
    [ -z "$bench_b" ] || scale_measures+=(scale-1@b scale-4@b scale-16@b)
    echo "The scale library (16 sets of 1,000 files, 1.5 GB; made on first use, then checked)..."
    measure make-scale
    grep -E '^(scale library|making the scale)' "$log" | tail -n 1
    for round in $(seq 0 "$rounds"); do
      for m in "${scale_measures[@]}"; do
        rm -rf "$scale_target"
        sync
        measure "$m"
        note_times "$round" "$m"
      done
      rm -rf "$scale_target"
      if [ "$round" -eq 0 ]; then echo "  scale: warm-up round done ($((SECONDS - started)) s)"; else echo "  scale: round $round of $rounds done ($((SECONDS - started)) s)"; fi
    done
  fi
  stop
  trap - EXIT
  local load_after
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  {
    if [ "${#measures[@]}" -gt 0 ]; then
      echo "results: the copy of 1 GB in 10,000 files (C:\\bench\\relocate\\Library), median and minimum of $rounds rounds"
      awk -v rounds="$rounds" -v bytes="$(sed -n 's/^bytes //p' "$log" | tail -n 1)" -v other="$bench_b" '
        function median(m,   n, i, j, t, v) {
          n = 0
          for (i = 1; i <= rounds; i++) if ((i, m) in ms) v[++n] = ms[i, m]
          for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
          return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }
        function minimum(m,   i, x) {
          x = -1
          for (i = 1; i <= rounds; i++) if ((i, m) in ms && (x < 0 || ms[i, m] < x)) x = ms[i, m]
          return x
        }
        # a/b in each round: the median, and the least and greatest of the rounds (their spread).
        function ratios(a, b, label,   n, i, j, t, v) {
          n = 0
          for (i = 1; i <= rounds; i++) if ((i, a) in ms && (i, b) in ms && ms[i, b] > 0) v[++n] = ms[i, a] / ms[i, b]
          if (n == 0) return
          for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
          printf "  %-38s %6.2f  (rounds: %.2f to %.2f)\n", label, n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2, v[1], v[n]
        }
        function row(m, label) { if ((1, m) in ms) printf "%-62s %10.1f %10.1f %8.0f MB/s\n", label, median(m), minimum(m), bytes / 1048576 / (median(m) / 1000) }
        function has(m) { return (1, m) in ms }
        { ms[$1, $2] = $3 }
        END {
          printf "%-62s %10s %10s\n", "measure", "median ms", "min ms"
          row("engine", "(a) engine: copy phase of RunRelocation")
          row("engine-run", "    the whole run (count, copy, rename, link refused, back)")
          row("engine-sent", "(a2) engine, each report sent to a window of another thread")
          row("engine-buffered", "(a3) engine with the buffered copy (copy flags 0)")
          row("engine-check", "(a4) the check of the copy before the delete (sizes)")
          row("engine-compare-check", "(a5) the check with file contents compared")
          if ((1, "engine@b") in ms) {
            row("engine@b", "(a@b) the other build: its engine copy phase")
            row("engine@b-check", "(a4@b) the other build: its check (sizes)")
          }
          row("xcopy", "(b) peer: cmd /c xcopy /e /i /y > NUL (same Wine)")
          if ((1, "robocopy") in ms) row("robocopy", "(c) peer: cmd /c robocopy /e > NUL (same Wine)")
          row("cp", "(f) floor: cp -r on the Linux side of the same disk")
          if ((1, "plain") in ms) {
            row("plain", "(d1) least Win32 copy: CopyFileExW per file, flags 0")
            row("plain-nobuffering", "(d2) the same with COPY_FILE_NO_BUFFERING")
            row("engine-nocopy", "(d3) the engine with no file copied (walk and checks)")
          }
          a = median("engine"); x = median("xcopy"); f = median("cp")
          hasRobocopy = (1, "robocopy") in ms
          r = hasRobocopy ? median("robocopy") : 0
          best = hasRobocopy && r < x ? r : x
          printf "\nratios of the medians:\n"
          if (has("engine") && has("xcopy")) printf "  engine / faster peer (%s)   %6.2f  (aim: at most 0.90: %s)\n", best == x ? "xcopy" : "robocopy", a / best, a <= 0.9 * best ? "met" : "missed"
          if (has("engine") && has("cp")) printf "  engine / cp -r                 %6.2f  (aim: at most 1.50: %s)\n", a / f, a <= 1.5 * f ? "met" : "missed"
          if (has("xcopy") && has("cp")) printf "  xcopy / cp -r                  %6.2f\n", x / f
          if (hasRobocopy) printf "  robocopy / cp -r               %6.2f\n", r / f
          if (has("engine-sent")) printf "  engine with sent reports / engine   %6.2f\n", median("engine-sent") / a
          if (has("engine-buffered")) printf "  engine buffered / engine            %6.2f\n", median("engine-buffered") / a
          if (has("engine")) printf "  copy + check / copy alone           %6.2f  (aim: at most 1.10: %s)\n", (a + median("engine-check")) / a, median("engine-check") <= 0.1 * a ? "met" : "missed"
          if (has("engine-compare")) printf "  copy + check with contents / copy   %6.2f\n", (median("engine-compare") + median("engine-compare-check")) / median("engine-compare")
          if ((1, "plain") in ms) {
            printf "  least Win32 copy, no buffering / flags 0   %6.2f\n", median("plain-nobuffering") / median("plain")
            printf "  engine / least Win32 copy with its flags    %6.2f\n", a / median("plain-nobuffering")
            printf "  engine beyond its copies (d3), per file     %6.3f ms\n", median("engine-nocopy") / 10000
          }
          printf "\nratios in each round (median, and the least and greatest of the rounds):\n"
          ratios("engine", "xcopy", "engine / xcopy")
          for (i = 1; i <= rounds; i++) if ((i, "engine") in ms) ms[i, "copy+check"] = ms[i, "engine"] + ms[i, "engine-check"]
          ratios("copy+check", "engine", "copy + check / copy")
          if ((1, "engine@b") in ms) {
            printf "\nthis build / that build (%s), in each round:\n", other
            ratios("engine", "engine@b", "engine copy phase")
            ratios("engine-check", "engine@b-check", "check of the copy")
            ratios("engine-run", "engine@b-run", "whole run")
            ratios("engine-compare-check", "engine-compare@b-check", "check with contents")
            ratios("engine@b", "xcopy", "that build: engine / xcopy")
            for (i = 1; i <= rounds; i++) if ((i, "engine@b") in ms) ms[i, "copy+check@b"] = ms[i, "engine@b"] + ms[i, "engine@b-check"]
            ratios("copy+check@b", "engine@b", "that build: copy + check / copy")
          }
        }' "$times"
    fi
    if [ "${#scale_measures[@]}" -gt 0 ]; then
      [ "${#measures[@]}" -eq 0 ] || echo
      echo "scale run: the engine over 1, 4 and 16 sets of 1,000 files (C:\\bench\\relocate\\Scale), median of $rounds rounds"
      awk -v rounds="$rounds" -v set_bytes="$(sed -n 's/^set-bytes //p' "$log" | tail -n 1)" '
        function median(m,   n, i, j, t, v) {
          n = 0
          for (i = 1; i <= rounds; i++) if ((i, m) in ms) v[++n] = ms[i, m]
          if (n == 0) return -1
          for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
          return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }
        function spread(m,   i, lo, hi) {
          lo = -1; hi = -1
          for (i = 1; i <= rounds; i++) if ((i, m) in ms) {
            if (lo < 0 || ms[i, m] < lo) lo = ms[i, m]
            if (ms[i, m] > hi) hi = ms[i, m]
          }
          return sprintf("%.0f-%.0f", lo, hi)
        }
        { ms[$1, $2] = $3 }
        END {
          for (b = 0; b <= 1; b++) {
            suffix = b ? "@b" : ""
            if (!((1, "scale-1" suffix) in ms)) continue
            if (b) printf "\nthe other build:\n"
            printf "%-5s %7s %8s | %10s %12s %13s %6s | %9s %13s %6s | %13s\n", "size", "files", "MB", "copy ms", "(rounds)", "ms/1000 files", "vs 1x", "check ms", "ms/1000 files", "vs 1x", "run ms/1000 f"
            for (k = 1; k <= 16; k *= 4) {
              m = "scale-" k suffix
              c = median(m); h = median(m "-check"); r = median(m "-run")
              if (k == 1) { c1 = c; h1 = h }
              printf "%-5s %7d %8.0f | %10.1f %12s %13.1f %6.2f | %9.1f %13.1f %6.2f | %13.1f\n", k "x", k * 1000, k * set_bytes / 1048576, c, spread(m), c / k, (c / k) / c1, h, h / k, (h / k) / h1, r / k
            }
          }
          printf "(aim: time per unit at 16x within 1.2x of 1x)\n"
        }' "$times"
    fi
    for u in "${unavailable[@]}"; do echo "not measured: $u"; done
    echo
    grep -m1 '^files ' "$log" | sed 's/^/engine: /' || true
    [ ! -s "$profile" ] || echo "profile of the last round (time per file-system call and step): $profile"
    echo "machine: $(nproc) cores; load averages (1, 5, 15 min) $load_before before, $load_after after"
    echo "measured: $measured; Wine $wine_mode-bit mode ($wine_mode_reason)"
  } >"$results"
  echo "(took $((SECONDS - started)) s)"
  echo
  cat "$results"
  echo
  echo "Results: $results (whole output: $log)"
}
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
for arg in "$@"; do
  if [ "$arg" = --relocate ]; then
    relocate_bench "$@"
    exit 0
  fi
done

# --against: every build's benchmark once per round, in turn (the order turning from round to
# round), each with --rounds 1 after its warm-up; every row of the results that starts with a
# measure's tag, "(a)" for instance, is matched with the same tag's row of the other builds (the
# n-th row of that tag with the n-th) and printed as this build over that build, round by round.
against_bench() {
  local log=$artifacts/against.log results=$artifacts/against.txt out=$artifacts/against-run.out
  local rows=$artifacts/against-rows.txt notes=$artifacts/against-notes.txt
  local count=${#run_names[@]} round i k rc started=$SECONDS load_before load_after
  : >"$log"
  : >"$rows"
  : >"$notes"
  rm -f "$results"
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  echo "Side by side under Wine (root $TESSALY_E2E_ROOT): ${run_names[*]}; $against_rounds rounds of '${*:-the table}'; load averages: $load_before."
  [ -f "$TESSALY_E2E_ROOT/e2e-ready" ] || echo "First run: making the Wine prefix and the demo machine (a few minutes)."
  declare -A lacks=()
  for round in $(seq 1 "$against_rounds"); do
    for k in $(seq 0 $((count - 1))); do
      i=$(( (k + round - 1) % count ))
      [ -z "${lacks[$i]:-}" ] || continue
      rc=0
      TESSALY_EXE=${run_exe[$i]} TESSALY_FIXTURES=${run_fixtures[$i]} \
        scripts/e2e-run.sh "${run_bench[$i]}" "$@" --rounds 1 >"$out" 2>&1 || rc=$?
      { echo "=== round $round: ${run_names[$i]}"; tr -d '\r' <"$out"; } >>"$log"
      if [ "$rc" -ne 0 ] || ! grep -q '^results' "$out"; then
        if grep -q 'usage: tessaly_bench' "$out"; then
          # An older benchmark that does not know the mode or one of its flags.
          lacks[$i]=1
          echo "${run_names[$i]}: its benchmark does not take '$*' ($(tr -d '\r' <"$out" | grep -m1 'usage:'))" >>"$notes"
          echo "  ${run_names[$i]}: its benchmark does not take '$*': left out"
          continue
        fi
        if [ "$i" -eq 0 ]; then
          tail -n 20 "$out"
          echo "bench: ${run_names[$i]}'s benchmark failed (exit code $rc; output in $log)" >&2
          exit 1
        fi
        # Another build that cannot run this mode here (an older one may miss what it needs).
        lacks[$i]=1
        echo "${run_names[$i]}: its benchmark failed here (exit code $rc: $(tr -d '\r' <"$out" | grep -v '^ *$' | tail -n 1))" >>"$notes"
        echo "  ${run_names[$i]}: its benchmark failed (exit code $rc): left out"
        continue
      fi
      tr -d '\r' <"$out" | awk -v round="$round" -v build="$i" '
        /^results/ { on = 1 }
        !on { next }
        match($0, /^\([^ ()]+\) /) && match($0, /  +[0-9]+(\.[0-9]+)? +[0-9]+(\.[0-9]+)?/) {
          label = substr($0, 1, RSTART - 1); sub(/ +$/, "", label)
          split(substr($0, RSTART), numbers, " ")
          tag = substr(label, 1, index(label, ")"))
          n = ++seen[tag]
          printf "%s\t%s\t%s#%d\t%s\t%s\n", round, build, tag, n, numbers[1], label
        }' >>"$rows"
      echo "  round $round of $against_rounds: ${run_names[$i]} done ($((SECONDS - started)) s)"
    done
  done
  stop
  trap - EXIT
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  {
    echo "results: this build against ${run_names[*]:1} in the same $against_rounds rounds ('${*:-the table}')"
    echo "(ms: the median over the rounds of each build's figure, the first build's then the second's;"
    echo "ratio: the median of the first over the second in the same round, with the least and largest;"
    echo "the labels are the first build's, * where the second's row of the same tag reads otherwise)"
    awk -F'\t' -v count="$count" -v names="${run_names[*]}" '
      function sorted_median(a, n,   i, j, t) {
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
      }
      {
        v[$1, $2, $3] = $4
        if (!(($2, $3) in label)) label[$2, $3] = $5
        if ($2 == 0 && !($3 in known)) { known[$3] = 1; order[++keys] = $3 }
        if ($1 > rounds) rounds = $1
      }
      END {
        split(names, name, " ")
        # "this build" is two words: the commits follow.
        # Every pair: this build against each other, then the others among themselves.
        for (a = 0; a < count; a++) for (b = a + 1; b < count; b++) {
          this = a == 0 ? "this build" : name[a + 2]
          printf "\n%-52s %10s %10s %10s  %s\n", "measure (" this " / " name[b + 2] ")", "ms", "ms", "ratio", "least - largest"
          for (q = 1; q <= keys; q++) {
            key = order[q]; n = 0; m0 = 0; m1 = 0
            delete r; delete x; delete y
            for (i = 1; i <= rounds; i++) {
              if (!((i, a, key) in v)) continue
              x[++m0] = v[i, a, key]
              if (!((i, b, key) in v)) continue
              y[++m1] = v[i, b, key]
              if (v[i, b, key] > 0) r[++n] = v[i, a, key] / v[i, b, key]
            }
            if (m0 == 0) continue
            text = label[a, key]
            if ((b, key) in label && label[b, key] != text) text = text " *"
            if (length(text) > 52) text = substr(text, 1, 51) "~"
            if (m1 == 0) { printf "%-52s %10.1f %10s %10s  (not measured by %s)\n", text, sorted_median(x, m0), "-", "-", name[b + 2]; continue }
            lo = hi = r[1]
            for (i = 2; i <= n; i++) { if (r[i] < lo) lo = r[i]; if (r[i] > hi) hi = r[i] }
            mx = sorted_median(x, m0); my = sorted_median(y, m1)
            printf "%-52s %10.1f %10.1f %10.2f  %.2f - %.2f\n", text, mx, my, sorted_median(r, n), lo, hi
          }
          for (key in label) {
            split(key, part, SUBSEP)
            if (part[1] == b && !(part[2] in known)) printf "%-52s %10s  (only %s measures it)\n", substr(label[key], 1, 52), "-", name[b + 2]
          }
        }
        # Within each build, where the load of the moment cancels out: each headline measure over
        # the floor (c) of the same build and round, else over its engine (a).
        printf "\nwithin each build, each measure over its own %s of the same round (median, least - largest):\n", "(c) floor, else (a) engine"
        for (b = 0; b < count; b++) {
          base = "(c)#1"
          if (!((1, b, base) in v) && !((2, b, base) in v)) base = "(a)#1"
          line = sprintf("  %-12s", b == 0 ? "this build" : name[b + 2])
          for (q = 1; q <= keys; q++) {
            key = order[q]
            if (key == base || key !~ /^\([a-z][^)0-9]*\)#1$/) continue
            n = 0; delete r
            for (i = 1; i <= rounds; i++) if ((i, b, key) in v && (i, b, base) in v && v[i, b, base] > 0) r[++n] = v[i, b, key] / v[i, b, base]
            if (n == 0) continue
            lo = hi = r[1]
            for (i = 2; i <= n; i++) { if (r[i] < lo) lo = r[i]; if (r[i] > hi) hi = r[i] }
            line = line sprintf("  %s/%s %.2f", substr(key, 1, index(key, "#") - 1), substr(base, 1, 3), sorted_median(r, n))
            if (n > 1) line = line sprintf(" (%.2f-%.2f)", lo, hi)
          }
          print line
        }
      }' "$rows"
    [ ! -s "$notes" ] || { echo; sed 's/^/not measured: /' "$notes"; }
    for note in ${against_notes[@]+"${against_notes[@]}"}; do echo "note: $note"; done
    echo
    echo "machine: $(nproc) cores; load averages (1, 5, 15 min) $load_before before, $load_after after"
    echo "measured: $measured; Wine $wine_mode-bit mode ($wine_mode_reason); builds: this = $(git rev-parse --short=7 HEAD)$(git diff --quiet HEAD -- . ':!build' 2>/dev/null || echo ' with changes not committed')"
  } >"$results"
  echo "(took $((SECONDS - started)) s)"
  echo
  cat "$results"
  echo
  echo "Results: $results (whole output: $log)"
}
if [ "${#run_names[@]}" -gt 1 ]; then
  against_bench "$@"
  exit 0
fi

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
  echo "measured: $measured; Wine $wine_mode-bit mode ($wine_mode_reason)"
} >"$results"
cat "$results"
echo
echo "Results: $results (whole output: $log)"
