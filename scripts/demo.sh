#!/usr/bin/env bash
# Sets up, builds and runs Torvane's main job on the bundled example data: a simulated
# gateway on a pseudo-terminal serves the example configuration as port COM9, torvane-cli
# reads it from the device and shows its parameters through the description file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build >/dev/null
bin=build/bin
examples=data/examples

source scripts/devsim-session.sh
echo "== torvane-devsim --image $examples/gw110.gwc --port COM9"
start_devsim_session "$bin" "$examples/gw110.gwc" COM9
echo "simulated gateway on $(head -n 1 "$work/devsim.out")"
echo

echo "== torvane-cli upload --port COM9 --tcf $examples/vantor.tcf -o uploaded.gwc"
"$bin/torvane-cli" upload --port COM9 --tcf "$examples/vantor.tcf" -o "$work/uploaded.gwc"
echo
echo "== torvane-cli info uploaded.gwc"
"$bin/torvane-cli" info "$work/uploaded.gwc"
echo
echo "== torvane-cli show --tcf $examples/vantor.tcf uploaded.gwc"
"$bin/torvane-cli" show --tcf "$examples/vantor.tcf" "$work/uploaded.gwc"
