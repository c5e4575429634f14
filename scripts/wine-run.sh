#!/usr/bin/env bash
# Runs a Windows program under Wine for the Windows and end-to-end tiers:
#   scripts/wine-run.sh program.exe [arguments...]
#   scripts/wine-run.sh --in build-folder command [arguments...]
#                                                  (a Windows command such as reg or cmd, in the
#                                                  prefix of that build folder)
#   scripts/wine-run.sh --stop build-folder        (ends the run's wineserver and every Wine
#                                                  process of the prefix)
# The prefix lives in the build folder of the program (build/<preset>/wine/prefix) and is made
# on first use. The build's bitness (program-bits, written when it is configured) chooses Wine's
# loader: Debian's wine and wineserver wrappers for the 32-bit build, which pick the 32-bit
# programs whenever they are installed; Wine's 64-bit loader and wineserver, named directly, for
# the 64-bit build, so that it also runs where 32-bit code cannot run at all. Started as root,
# the program runs as the unprivileged test user, because Wine enforces read-only files only for
# a non-root user. The Unix environment reaches the program.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

stop=0
if [ "${1:-}" = --stop ]; then stop=1; shift; fi
if [ "${1:-}" = --in ]; then
  build=$(readlink -f "$2"); exe=$3; shift 3
else
  exe=$(readlink -f "$1"); shift
  build=$exe
fi
build=$(build_folder_above "$build")
[ -n "$build" ] || { echo "wine-run: no build folder above $exe" >&2; exit 2; }

root=${TESSALY_WINE_ROOT:-$build/wine}
if [ "$(cat "$build/program-bits" 2>/dev/null)" = 64 ]; then
  wine=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver64
  export WINELOADER=$wine
else
  wine=wine
  wineserver=wineserver
  if [ "$stop" -eq 0 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "wine-run: this machine cannot run 32-bit x86 programs (Wine's 32-bit loader fails), so" \
         "the 32-bit build in $build cannot run here; the 64-bit build (preset windows64) can" >&2
    exit 126
  fi
fi
test_user=tessaly-wine
export WINEPREFIX=$root/prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# A new prefix links Documents and the other user folders into HOME: keep HOME inside the root.
export HOME=$root/home

as_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid="$test_user" --regid="$test_user" --init-groups -- "$@"
  else
    "$@"
  fi
}

if [ "$(id -u)" -eq 0 ] && [ "$stop" -eq 0 ] && [ -e "$exe" ] && ! as_user test -r "$exe"; then
  echo "wine-run: $test_user cannot read $exe; the checkout and its parent folders must be" \
       "readable by other users (chmod o+rx)" >&2
  exit 2
fi

# The Wine processes of this prefix: Wine's programs whose environment names it.
prefix_processes() {
  local dir exe
  for dir in /proc/[0-9]*; do
    exe=$(readlink "$dir/exe" 2>/dev/null) || continue
    case $exe in /usr/lib/wine/*) ;; *) continue ;; esac
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "$dir/environ" 2>/dev/null && echo "${dir#/proc/}"
  done
  return 0
}

if [ "$stop" -eq 1 ]; then
  [ -d "$WINEPREFIX" ] || exit 0
  as_user "$wineserver" -k >/dev/null 2>&1 || true
  # The wineserver ends its programs; whatever outlives it (a service process started by a
  # wineserver that could not be reached) is ended here, since it would hold the prefix's files
  # and the descriptors it inherited.
  for _ in $(seq 10); do [ -z "$(prefix_processes)" ] && exit 0; sleep 0.3; done
  pids=$(prefix_processes)
  [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
  exit 0
fi

# Wine's own fonts (Debian's fonts-wine): Tahoma and the others give dialogs their Windows sizes,
# Marlett draws the caption buttons of title bars. Every prefix gets a copy in its Fonts folder,
# also one made before they were installed.
wine_fonts=/usr/share/wine/fonts
prefix_fonts=$WINEPREFIX/drive_c/windows/Fonts
check_fonts() {
  local missing=() f
  for f in marlett.ttf tahoma.ttf tahomabd.ttf; do [ -f "$wine_fonts/$f" ] || missing+=("$f"); done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "wine-run: Wine's fonts are missing (${missing[*]} in $wine_fonts); install Debian's" \
         "package fonts-wine, which scripts/setup.sh does" >&2
    exit 2
  fi
}
copy_fonts() {
  as_user cp "$wine_fonts"/*.ttf "$prefix_fonts/" \
    || { echo "wine-run: could not copy Wine's fonts into $prefix_fonts" >&2; exit 2; }
}

check_fonts
if [ ! -f "$root/ready" ]; then
  mkdir -p "$root"
  [ "$(id -u)" -eq 0 ] && chown "$test_user:" "$root"
  exec 9>"$root/lock"
  flock 9
  if [ ! -f "$root/ready" ]; then
    as_user mkdir -p "$HOME"
    as_user "$wine" wineboot -i </dev/null >"$root/wineboot.log" 2>&1
    copy_fonts
    # A folder link made from the Linux side, since Wine creates none itself: tree\link lists as
    # Directory|ReparsePoint and leads to real\. Wine's delete through it reaches real\.
    fixtures=$WINEPREFIX/drive_c/tessaly-fixtures/link-tree
    as_user mkdir -p "$fixtures/real" "$fixtures/tree"
    as_user ln -sfn ../real "$fixtures/tree/link"
    as_user "$wineserver" -w
    touch "$root/ready"
  fi
  flock -u 9
elif [ ! -f "$prefix_fonts/marlett.ttf" ]; then
  exec 9>"$root/lock"
  flock 9
  [ -f "$prefix_fonts/marlett.ttf" ] || copy_fonts
  flock -u 9
fi

# Keep one wineserver alive for the whole run; scripts/test.sh stops it at the end. Its output,
# and that of every Wine helper process the program starts, goes to files, never to the pipe of
# whoever called us (ctest), or the caller would wait for those processes to exit.
exec 9>&-
as_user "$wineserver" -p </dev/null >>"$root/wineserver.log" 2>&1 || true
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
chmod 666 "$out"
set +e
if [ "$(id -u)" -eq 0 ]; then
  setpriv --reuid="$test_user" --regid="$test_user" --init-groups -- "$wine" "$exe" "$@" </dev/null >"$out" 2>&1
else
  "$wine" "$exe" "$@" </dev/null >"$out" 2>&1
fi
rc=$?
set -e
cat "$out"
rm -f "$out"
exit $rc
