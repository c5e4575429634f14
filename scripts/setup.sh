#!/usr/bin/env bash
# Installs everything the build and the test tiers need on a fresh Debian 12 machine.
# Idempotent and quiet when already done. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config dpkg-dev
  googletest libgtest-dev libpugixml-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 libz-mingw-w64-dev
  wine wine32:i386 wine64 fonts-wine
  xvfb xauth
  # the release: the installer compiler, Markdown to PDF for the user guide, its pages as images
  nsis weasyprint python3-markdown python3-pil poppler-utils fonts-dejavu-core
)
test_user=tessaly-wine
here=$(dirname "$(readlink -f "$0")")

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi

# deb-src entries for the pugixml sources that the MinGW build compiles (apt-get source), derived
# from the machine's own Debian archive entries (scripts/debian-src.sh). The file is ours: it is
# rewritten when the derivation changes and removed when other deb-src entries cover everything.
src_file=/etc/apt/sources.list.d/tessaly-debian-src.sources
src_wanted=$("$here/debian-src.sh" /etc/apt) || exit 1
if [ -n "$src_wanted" ]; then
  src_wanted="# Made by Tessaly's scripts/setup.sh from this machine's Debian archive entries; rewritten
# when they change.
$src_wanted"
  if [ ! -f "$src_file" ] || [ "$(cat "$src_file")" != "$src_wanted" ]; then
    printf '%s\n' "$src_wanted" | as_root tee "$src_file" >/dev/null
    as_root chmod 644 "$src_file"
    need_update=1
  fi
elif [ -f "$src_file" ]; then
  as_root rm -f "$src_file"
  need_update=1
fi

for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  echo "setup: installing ${missing[*]:-package lists}"
  as_root apt-get update -qq >/dev/null
  if [ ${#missing[@]} -gt 0 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
fi

# Where 32-bit code cannot run natively (Wine's 32-bit loader fails, or answers only through an
# emulator's binfmt_misc entry), scripts/emulated-start.sh starts the 32-bit program through
# Debian's qemu-user-static; a machine that runs 32-bit code never needs it.
. "$here/wine-mode.sh"
if { ! "$wine32_loader" --version >/dev/null 2>&1 || [ -n "$(i386_emulation_entry)" ]; } &&
   [ "$(dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null || true)" != "install ok installed" ]; then
  echo "setup: installing qemu-user-static (this machine runs no 32-bit code of its own)"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    qemu-user-static >/dev/null
fi

# Wine enforces read-only files only for a non-root user, so the Windows tier runs as this one.
if ! id "$test_user" >/dev/null 2>&1; then
  as_root useradd --system --create-home --home-dir /var/lib/$test_user --shell /usr/sbin/nologin "$test_user"
fi
