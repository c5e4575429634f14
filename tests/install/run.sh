#!/usr/bin/env bash
# Runs the installer's tests in a fresh Wine prefix of their own, on a display and Wine desktop of
# their own, so they never meet the end-to-end tier's prefix or windows:
#   tests/install/run.sh <windows-build-folder> <setup.exe> <TessalyUserGuide.pdf> [gtest arguments]
# Screenshots go to TESSALY_ARTIFACTS, by default <build>/artifacts/screenshots; TESSALY_INSTALL_ROOT
# and TESSALY_INSTALL_DISPLAY choose another root and display, for a run beside the install test.
# The prefix (<build>/wine-install) is made anew for every run, without the demo machine. The
# setup program is the one of the build's edition: Tessaly-<version>-Setup.exe (32-bit) in the
# 32-bit build, Tessaly-<version>-x64-Setup.exe (a 64-bit setup program) in the 64-bit build.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(readlink -f "$1")
setup=$(readlink -f "$2")
guide=$(readlink -f "$3")
shift 3

export TESSALY_E2E_ROOT=${TESSALY_INSTALL_ROOT:-$build/wine-install}
export TESSALY_E2E_DEMO=0
export TESSALY_E2E_DISPLAY=${TESSALY_INSTALL_DISPLAY:-:$((900 + $(printf %s "$build" | cksum | cut -d' ' -f1) % 99))}
export TESSALY_SETUP=$setup TESSALY_GUIDE=$guide TESSALY_BUILD=$build
export TESSALY_PROBE=$build/tests/e2e/e2e_probe.exe
export TESSALY_ARTIFACTS=${TESSALY_ARTIFACTS:-$build/artifacts/screenshots}

"$here/scripts/e2e-run.sh" --stop "$build" || true
rm -rf "$TESSALY_E2E_ROOT"
set +e
"$here/scripts/e2e-run.sh" "$build/tests/install/tessaly_install_tests.exe" "$@"
rc=$?
set -e
"$here/scripts/e2e-run.sh" --stop "$build" || true
exit $rc
