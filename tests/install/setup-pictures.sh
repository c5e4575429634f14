#!/usr/bin/env bash
# The user guide's pictures of the setup program (its welcome and folder pages), taken before the
# guide exists: the build's setup program is compiled with a stand-in guide, started in a fresh
# Wine prefix and cancelled (InstallTest.SetupPages*, tests/install/install_test.cpp):
#   tests/install/setup-pictures.sh <windows-build-folder> <screenshots-folder>
# The pictures land in <screenshots-folder>/InstallTest.SetupPages.../, where scripts/make-guide.py
# finds them by name (setup-welcome, setup-folder).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 2 ] || { echo "usage: tests/install/setup-pictures.sh <windows-build-folder> <screenshots-folder>" >&2; exit 2; }
build=$(readlink -f "$1")
mkdir -p "$2"
shots=$(readlink -f "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
printf '%%PDF-1.4\n%% a stand-in for the user guide, which is made from these pictures\n' >"$work/TessalyUserGuide.pdf"
setup=$("$here/scripts/make-installer.sh" "$build" "$work/TessalyUserGuide.pdf" "$work")
rm -rf "$shots"/InstallTest.SetupPages*
# A root and display of its own, so that it may run beside the install test (the release does).
export TESSALY_INSTALL_ROOT=$build/wine-setup-pictures
export TESSALY_INSTALL_DISPLAY=:$((800 + $(printf %s "$build" | cksum | cut -d' ' -f1) % 99))
TESSALY_ARTIFACTS=$shots "$here/tests/install/run.sh" "$build" "$setup" "$work/TessalyUserGuide.pdf" \
  --gtest_filter='InstallTest.SetupPages*'
