# What every benchmark script starts with; sourced (POSIX sh), after `set -eu`:
#   . "$(dirname "$0")/prologue.sh"
#   bench_build TARGET...       the release build (build/release) of those targets
#   bench_work DEFAULT [SUB]    $work: BENCH_DIR, or DEFAULT under the tree, and SUB in it;
#                               made empty now, removed when the script ends
# Sets root (the tree, also the current folder) and bin (the release build's programs).
# JOBS sets the build's jobs (every core unless told).
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bin="$root/build/release/bin"

bench_build() {
  echo "building $* (release) ..."
  cmake --preset release >/dev/null
  cmake --build --preset release -j"${JOBS:-$(nproc)}" --target "$@" >/dev/null
}

bench_work() {
  work=${BENCH_DIR:-$root/$1}${2:+/$2}
  rm -rf "$work"
  mkdir -p "$work"
  trap 'rm -rf "$work"' EXIT
}
