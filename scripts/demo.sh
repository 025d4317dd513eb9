#!/usr/bin/env bash
# Sets up, builds and shows Torvane's main job on the bundled example data: a simulated
# gateway on a pseudo-terminal serves the example configuration as port COM9, and the window
# reads it from the "device" through the example description file. Settings stay in a private
# folder, so the user's own are never touched.
#
# With a display (DISPLAY or WAYLAND_DISPLAY) the window stays until you close it. Without
# one it runs on a virtual display, saves a picture of itself after the upload and ends, so
# the demo also works on a server and in a check. Then torvane-cli does the same job.
#   Usage: scripts/demo.sh [BUILD_DIR]      (default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bash scripts/setup.sh
bash scripts/build.sh "$build" >/dev/null
bin=$build/bin
examples=data/examples

source scripts/devsim-session.sh
echo "== torvane-devsim --image $examples/gw110.gwc --port COM9"
start_devsim_session "$bin" "$examples/gw110.gwc" COM9
echo "simulated gateway on $(head -n 1 "$work/devsim.out")"
echo

window_args=(/P COM9 /W "$examples/vantor.tcf")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== torvane /P COM9 /W $examples/vantor.tcf   (close the window to go on)"
  "$bin/torvane" "${window_args[@]}"
else
  picture=$build/demo/torvane-window.png
  mkdir -p "$(dirname "$picture")"
  rm -f "$picture"
  echo "== torvane --screenshot $picture /P COM9 /W $examples/vantor.tcf   (no display: on Xvfb)"
  # The window ends by itself once the upload has been shown; the limit only keeps a broken
  # build from hanging a check.
  if ! timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" \
       "$bin/torvane" --screenshot "$picture" "${window_args[@]}"; then
    echo "demo: the window did not save its picture" >&2
    exit 1
  fi
  [ -s "$picture" ] || { echo "demo: no picture at $picture" >&2; exit 1; }
  echo "picture of the window after the upload: $(realpath "$picture")"
fi
echo

echo "== torvane-cli upload --port COM9 --tcf $examples/vantor.tcf -o uploaded.gwc"
"$bin/torvane-cli" upload --port COM9 --tcf "$examples/vantor.tcf" -o "$work/uploaded.gwc"
echo
echo "== torvane-cli info uploaded.gwc"
"$bin/torvane-cli" info "$work/uploaded.gwc"
echo
echo "== torvane-cli show --tcf $examples/vantor.tcf uploaded.gwc"
"$bin/torvane-cli" show --tcf "$examples/vantor.tcf" "$work/uploaded.gwc"
