# Which Windows build of Tessaly this machine can run under Wine; sourced by the commands.
# Some machines cannot execute 32-bit x86 code at all (any 32-bit program, Wine's 32-bit loader
# included, fails with "Exec format error"): there the 64-bit build of the same sources (preset
# windows64) runs the Windows, end-to-end and release tiers, and the 32-bit program we ship is
# only compiled. TESSALY_WINE_MODE=64 chooses that mode on a machine that could run both, so that
# anyone can reproduce the other kind; TESSALY_WINE_MODE=32 (or auto, or unset) probes.
# A machine that cannot run 32-bit code may still start 32-bit programs through user-mode
# emulation, when a binfmt_misc entry hands i386 programs to qemu (scripts/emulated-start.sh
# registers one for its own run). Wine's 32-bit loader then answers, but every 32-bit program runs
# hundreds of times slower: the probe counts such a machine as one that cannot run 32-bit code.
# Call wine_mode_probe after scripts/setup.sh (which installs Wine); it sets
#   wine_mode         32 where 32-bit programs run, else 64
#   run_preset        the preset whose programs run here: windows or windows64
#   wine_mode_reason  why, in a few words
# and wine_mode_line prints the one line that says which builds a command tests and why.

wine32_loader=/usr/lib/wine/wine
binfmt_folder=/proc/sys/fs/binfmt_misc

# The first enabled binfmt_misc entry that hands i386 ELF programs (machine 3 in the header) to an
# emulator named qemu; nothing when there is none, or when binfmt_misc is off or not mounted.
i386_emulation_entry() {
  local entry
  [ "$(cat "$binfmt_folder/status" 2>/dev/null)" = enabled ] || return 0
  for entry in "$binfmt_folder"/*; do
    case "${entry##*/}" in register|status) continue ;; esac
    [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] || continue
    grep -q '^interpreter .*qemu' "$entry" 2>/dev/null || continue
    # The magic covers at least the ELF header's first 20 bytes: class 1 (32-bit), machine 3.
    grep -qi '^magic 7f454c4601.\{26\}0300' "$entry" 2>/dev/null || continue
    echo "$entry"
    return 0
  done
}

wine_mode_probe() {
  local probe rc=0 emulation
  # Callers may run under set -e: the probe's failure is an answer, not an error.
  probe=$("$wine32_loader" --version 2>&1) || rc=$?
  emulation=$(i386_emulation_entry)
  if [ $rc -eq 0 ] && [ -n "$emulation" ]; then
    rc=126
    probe="runs only through the emulator of $emulation"
  fi
  case "${TESSALY_WINE_MODE:-auto}" in
    64)
      wine_mode=64
      wine_mode_reason="TESSALY_WINE_MODE=64 asks for it"
      ;;
    32|auto)
      if [ $rc -eq 0 ]; then
        wine_mode=32
        wine_mode_reason="this machine runs 32-bit x86 code ($probe)"
      elif [ "${TESSALY_WINE_MODE:-auto}" = 32 ]; then
        echo "TESSALY_WINE_MODE=32, but this machine cannot run Wine's 32-bit loader" \
             "($wine32_loader: exit $rc, ${probe##*: })" >&2
        return 2
      else
        wine_mode=64
        wine_mode_reason="this machine cannot run 32-bit x86 code ($wine32_loader: exit $rc, ${probe##*: })"
      fi
      ;;
    *)
      echo "TESSALY_WINE_MODE must be 32, 64 or auto, not '$TESSALY_WINE_MODE'" >&2
      return 2
      ;;
  esac
  if [ "$wine_mode" = 32 ]; then run_preset=windows; else run_preset=windows64; fi
}

# "<what>: <mode> because <reason>", e.g. "tests: 64-bit mode, ... because ...".
wine_mode_line() {
  local what=$1
  echo "== $what (Wine $wine_mode-bit mode: $wine_mode_reason)"
}
