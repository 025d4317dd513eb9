#!/usr/bin/env bash
# Sets up, builds and runs Torvane's main job on the bundled example data: the parameters
# of an example gateway configuration, read through its description file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build >/dev/null
cli=build/bin/torvane-cli
examples=data/examples

echo "== torvane-cli info $examples/gw110.gwc"
"$cli" info "$examples/gw110.gwc"
echo
echo "== torvane-cli show --tcf $examples/vantor.tcf $examples/gw110.gwc"
"$cli" show --tcf "$examples/vantor.tcf" "$examples/gw110.gwc"
