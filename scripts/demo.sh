#!/usr/bin/env bash
# Sets up, builds and runs Torvane's main job on the bundled example data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build >/dev/null
cli=build/bin/torvane-cli
echo "== torvane-cli info data/examples/gw110.gwc"
"$cli" info data/examples/gw110.gwc
