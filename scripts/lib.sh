# What the commands share; sourced (by bash) from the scripts beside it, never run.

# The configured build folder (the one holding CMakeCache.txt) at or above a file or folder;
# nothing when there is none.
build_folder_above() {
  local dir=$1
  [ -d "$dir" ] || dir=$(dirname "$dir")
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  if [ -f "$dir/CMakeCache.txt" ]; then echo "$dir"; fi
}

# Configures a preset of cmake quietly: its output goes to build/<preset>.configure.log (or the
# log given after the preset) and is shown only when configuring fails, which returns 1.
configure_quietly() {
  local preset=$1 log=${2:-build/$1.configure.log}
  shift $(($# < 2 ? $# : 2))
  cmake --preset "$preset" "$@" >"$log" 2>&1 || { cat "$log"; return 1; }
}
