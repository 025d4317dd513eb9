#!/usr/bin/env bash
# Pictures of every window for a person to look at: starts the simulated gateway with the
# example configuration as COM9, then torvane-screenshots under a virtual display, and writes
# build/screenshots/*.png.  Usage: scripts/screenshots.sh [BUILD_DIR] [SCENE...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
bin=$build/bin
out=$build/screenshots

cmake --build "$build" --target torvane-screenshots torvane-devsim torvane_data >/dev/null

work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/torvane-devsim" --image data/examples/gw110.gwc --port COM9 >"$work/devsim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  grep -q '^ready$' "$work/devsim.out" 2>/dev/null && break
  sleep 0.1
done
grep -q '^ready$' "$work/devsim.out" || { cat "$work/devsim.out" >&2; exit 1; }

mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/torvane-screenshots" --out "$out" --data data --port COM9 "$@"
echo "pictures in $out"
