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

# A private settings folder, so the port link and the settings stay out of the user's own.
work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config"
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== torvane-devsim --image $examples/gw110.gwc --port COM9"
"$bin/torvane-devsim" --image "$examples/gw110.gwc" --port COM9 >"$work/devsim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  grep -q '^ready$' "$work/devsim.out" 2>/dev/null && break
  sleep 0.1
done
grep -q '^ready$' "$work/devsim.out" || { cat "$work/devsim.out" >&2; exit 1; }
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
