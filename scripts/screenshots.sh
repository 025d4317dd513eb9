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

source scripts/devsim-session.sh
start_devsim_session "$bin" data/examples/gw110.gwc COM9

mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/torvane-screenshots" --out "$out" --data data --port COM9 "$@"
echo "pictures in $out"
