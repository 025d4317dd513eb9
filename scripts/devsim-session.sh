# Sourced by the demo and the gallery: a private settings folder (so the port link and the
# settings stay out of the user's own) and the simulated gateway serving an image as a COM
# port, stopped again when the calling script ends.
#   start_devsim_session BIN_DIR IMAGE PORT   -> sets $work and $sim_pid
start_devsim_session() {
  local bin=$1 image=$2 port=$3
  work=$(mktemp -d)
  export XDG_CONFIG_HOME="$work/config"
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  sim_pid=
  trap stop_devsim_session EXIT

  "$bin/torvane-devsim" --image "$image" --port "$port" >"$work/devsim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    grep -q '^ready$' "$work/devsim.out" 2>/dev/null && break
    sleep 0.1
  done
  grep -q '^ready$' "$work/devsim.out" || { cat "$work/devsim.out" >&2; exit 1; }
}

stop_devsim_session() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
