#!/usr/bin/env bash
# Fills a Wine prefix with the demo machine: a Native Instruments installation and plugin folders.
#   scripts/demo-machine.sh <wine-root>
# <wine-root> is the layout of scripts/wine-run.sh (<wine-root>/prefix, <wine-root>/home); the
# prefix is made first when it does not exist yet. The data lives in scripts/demo/ (see its
# README.md): registry files for both views of HKLM and for HKCU, the Service Center's
# ProductHints.xml, artwork, and files.txt, the folders and files to make. Plugin and program
# files are copies of the DLLs that the Windows test build makes (tests/fixtures of the nearest
# build folder above <wine-root>, else build/windows; TESSALY_DEMO_DLLS names another folder).
# Running it again restores the same state: the demo's folder trees and registry keys are
# replaced as a whole. Wine commands run through scripts/wine-run.sh, in the build folder nearest
# above <wine-root> (else build/windows); as root, files are made as the user Wine runs as.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
shopt -s inherit_errexit

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
data=$here/demo
test_user=tessaly-wine

die() { echo "demo-machine: $*" >&2; exit 1; }

# ---- Folders and files (runs as the user who owns the prefix) -------------------------------

# Maps a C: path to its place in the prefix. Each component that already exists under another
# letter case is taken as it is, since Windows would find it that way.
resolve() {
  local win=$1 cur=$drive_c comp entry found name
  [[ $win =~ ^[Cc]:\\(.*)$ ]] || die "files.txt: not a C: path: $win"
  local -a comps
  # shellcheck disable=SC1003,SC2141  # the separator is one backslash
  IFS='\' read -r -a comps <<<"${BASH_REMATCH[1]}"
  for comp in "${comps[@]}"; do
    [ -n "$comp" ] || continue
    if [ -e "$cur/$comp" ] || [ ! -d "$cur" ]; then
      cur=$cur/$comp
      continue
    fi
    found=
    for entry in "$cur"/* "$cur"/.[!.]*; do
      name=${entry##*/}
      if [ "${name,,}" = "${comp,,}" ]; then
        found=$entry
        break
      fi
    done
    cur=${found:-$cur/$comp}
  done
  printf %s "$cur"
}

copy_pe() {  # bits, target
  local source=$dlls/multi$1.dll
  mkdir -p "$(dirname "$2")"
  if [ -n "$dlls" ]; then
    cp "$source" "$2"
    pe_files=$((pe_files + 1))
  fi
}

copy_fixture() {  # fixture DLL name without .dll, target
  mkdir -p "$(dirname "$2")"
  if [ -n "$dlls" ] && [ -f "$dlls/$1.dll" ]; then
    cp "$dlls/$1.dll" "$2"
    pe_files=$((pe_files + 1))
  fi
}

# A file that holds only an MZ stub and a PE header for a machine (hex, as in the header).
write_header() {  # machine low byte, high byte (\xNN), target
  mkdir -p "$(dirname "$3")"
  { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00'; printf 'PE\0\0'; printf "$1$2";
    head -c 442 /dev/zero; } >"$3"
}

put_art() {  # folder, with VB_artwork.png (1/0)
  mkdir -p "$1"
  cp "$data/artwork/MST_artwork.png" "$1/"
  if [ "$2" = 1 ]; then cp "$data/artwork/VB_artwork.png" "$1/"; fi
}

# Writes a registry file as regedit exports it: the "Version 5.00" form in UTF-16LE with a byte
# order mark, REGEDIT4 in the ANSI code page; both with CRLF line ends.
write_reg() {  # source, target
  if head -n1 "$1" | grep -q '^REGEDIT4'; then
    LC_ALL=C grep -q '[^[:print:][:space:]]' "$1" && die "$1: REGEDIT4 files must be ASCII"
    sed 's/$/\r/' "$1" >"$2"
  else
    { printf '\xff\xfe'; sed 's/$/\r/' "$1" | iconv -f UTF-8 -t UTF-16LE; } >"$2"
  fi
}

make_files() {  # prefix, DLL folder or empty
  drive_c=$1/drive_c
  dlls=$2
  [ -d "$drive_c" ] || die "no drive_c in $1"
  local kind path target name
  local -a lines
  mapfile -t lines < <(grep -v '^[[:space:]]*\(#\|$\)' "$data/files.txt")
  # Remove the demo's trees first, so that nothing of an earlier run or of Tessaly stays.
  for line in "${lines[@]}"; do
    read -r kind path <<<"$line"
    [ "$kind" = reset ] || continue
    target=$(resolve "$path")
    case $target in "$drive_c"/?*) rm -rf -- "$target" ;; *) die "bad reset path $path" ;; esac
  done
  entries=0
  pe_files=0
  for line in "${lines[@]}"; do
    read -r kind path <<<"$line"
    [ "$kind" = reset ] && continue
    target=$(resolve "$path")
    name=${target##*/}
    case $kind in
      dir) mkdir -p "$target" ;;
      file) mkdir -p "$(dirname "$target")"; printf 'Tessaly demo file: %s\r\n' "$path" >"$target" ;;
      pe32) copy_pe 32 "$target" ;;
      pe64) copy_pe 64 "$target" ;;
      fixture:*) copy_fixture "${kind#fixture:}" "$target" ;;
      arm) write_header '\xc4' '\x01' "$target" ;;
      itanium) write_header '\x00' '\x02' "$target" ;;
      arm64) write_header '\x64' '\xaa' "$target" ;;
      empty) mkdir -p "$(dirname "$target")"; : >"$target" ;;
      art) put_art "$target/PAResources/image/$name" 1 ;;
      art-mst) put_art "$target/PAResources/image/$name" 0 ;;
      shared) put_art "$target" 1 ;;
      shared-mst) put_art "$target" 0 ;;
      library)
        mkdir -p "$target/Instruments"
        printf 'Tessaly demo library: %s\r\n' "$name" >"$target/$name.nicnt"
        printf 'Tessaly demo instrument\r\n' >"$target/Instruments/$name.nki"
        ;;
      *) die "files.txt: unknown kind '$kind'" ;;
    esac
    entries=$((entries + 1))
  done

  # The Service Center's product hints.
  local service_center
  service_center=$(resolve 'C:\Program Files (x86)\Native Instruments\Service Center')
  mkdir -p "$service_center/conf"
  cp "$data/ProductHints.xml" "$service_center/conf/ProductHints.xml"

  # The registry files and the batch file that imports them, run by Wine's cmd.
  local staging=$drive_c/tessaly-demo
  mkdir -p "$staging"
  write_reg "$data/hklm64.reg" "$staging/hklm64.reg"
  write_reg "$data/hklm32.reg" "$staging/hklm32.reg"
  write_reg "$data/hkcu.reg" "$staging/hkcu.reg"
  sed 's/$/\r/' >"$staging/import.cmd" <<'CMD'
@echo off
rem Replaces the demo's registry keys as a whole, so that a second run gives the same state.
reg delete "HKLM\SOFTWARE\Native Instruments" /f /reg:64 >nul 2>&1
reg delete "HKLM\SOFTWARE\Native Instruments" /f /reg:32 >nul 2>&1
reg delete "HKLM\SOFTWARE\VST" /f /reg:64 >nul 2>&1
reg delete "HKLM\SOFTWARE\VST" /f /reg:32 >nul 2>&1
reg delete "HKCU\Software\Native Instruments" /f >nul 2>&1
reg import C:\tessaly-demo\hklm64.reg /reg:64
if errorlevel 1 goto failed
reg import C:\tessaly-demo\hklm32.reg /reg:32
if errorlevel 1 goto failed
reg import C:\tessaly-demo\hkcu.reg
if errorlevel 1 goto failed
reg query "HKLM\SOFTWARE\Native Instruments\ServiceCenter" /v InstallDir /reg:64 >nul
if errorlevel 1 goto failed
reg query "HKLM\SOFTWARE\Native Instruments\Absynth 5" /v InstallDir /reg:32 >nul
if errorlevel 1 goto failed
reg query "HKLM\SOFTWARE\Native Instruments\Absynth 5" /reg:64 >nul 2>&1
if not errorlevel 1 goto failed
reg query "HKCU\Software\Native Instruments\Kontakt Factory Library 2" /v UserRemoved >nul
if errorlevel 1 goto failed
rem What the registry points at, as Windows programs see it.
if not exist "C:\Program Files (x86)\Native Instruments\Service Center\conf\ProductHints.xml" goto failed
if not exist "C:\Users\Public\Documents\Native Instruments\Kontakt Factory Library 2\" goto failed
if not exist "C:\Program Files\Common Files\Native Instruments\Massive\PAResources\image\Massive\MST_artwork.png" goto failed
if not exist "C:\Users\Public\Documents\NI Resources\image\kontakt 7\VB_artwork.png" goto failed
if exist "C:\Users\Public\Documents\Old Libraries\The Gentleman" goto failed
echo demo-import-ok
exit /b 0
:failed
echo demo-import-failed
exit /b 1
CMD
  echo "$entries $pe_files"
}

if [ "${1:-}" = --make-files ]; then
  make_files "$2" "$3"
  exit 0
fi

# ---- Main ------------------------------------------------------------------------------------

[ $# -eq 1 ] || { echo "usage: $0 <wine-root>" >&2; exit 2; }
root=$(readlink -m "$1")

build=$(build_folder_above "$root")
[ -n "$build" ] || build=$repo/build/windows
[ -f "$build/CMakeCache.txt" ] \
  || die "no configured build folder above $root nor $build (cmake --preset windows first)"

export TESSALY_WINE_ROOT=$root
log=$(mktemp "${TMPDIR:-/tmp}/demo-machine.XXXXXX")
trap 'rm -f "$log"' EXIT
wine_in() {  # runs a Windows command in the prefix; its output goes to the log
  "$repo/scripts/wine-run.sh" --in "$build" "$@" >"$log" 2>&1
}

if [ ! -f "$root/ready" ]; then
  wine_in cmd /c ver || { cat "$log" >&2; die "could not make the Wine prefix in $root"; }
fi

dlls=${TESSALY_DEMO_DLLS:-}
if [ -z "$dlls" ]; then
  for candidate in "$build/tests/fixtures" "$repo/build/windows/tests/fixtures"; do
    if [ -f "$candidate/multi32.dll" ] && [ -f "$candidate/multi64.dll" ]; then
      dlls=$candidate
      break
    fi
  done
else
  dlls=$(readlink -m "$dlls")
  if [ ! -f "$dlls/multi32.dll" ] || [ ! -f "$dlls/multi64.dll" ]; then
    die "TESSALY_DEMO_DLLS=$dlls holds no multi32.dll and multi64.dll"
  fi
fi

if [ "$(id -u)" -eq 0 ]; then
  counts=$(setpriv --reuid="$test_user" --regid="$test_user" --init-groups -- \
    bash "$here/demo-machine.sh" --make-files "$root/prefix" "$dlls") \
    || die "making the folders and files failed (the user $test_user must be able to read $repo)"
else
  counts=$(make_files "$root/prefix" "$dlls")
fi
read -r entries pe_files <<<"$counts"

if ! wine_in cmd /c 'C:\tessaly-demo\import.cmd' || ! grep -q demo-import-ok "$log"; then
  cat "$log" >&2
  die "importing the registry files failed"
fi
rm -rf -- "$root/prefix/drive_c/tessaly-demo"

product_key='^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\Native Instruments\\.'
products64=$(grep -c "$product_key" "$data/hklm64.reg")
products32=$(grep -c "$product_key" "$data/hklm32.reg")
if [ -n "$dlls" ]; then
  plugins="$pe_files program and plugin files from $dlls"
else
  plugins="no program or plugin files (no test DLLs: build the windows preset first)"
fi
echo "demo-machine: $root: $products64 keys in the 64-bit view, $products32 in the 32-bit view," \
     "user values, $entries folders and files, $plugins"
