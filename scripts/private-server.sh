# Starts and stops throwaway MariaDB servers for the demo, the tests and the
# benchmarks. Source it. A server lives in a directory of its own (data,
# socket, pid, error log) and never touches the system's service.
#
#   server_start DIR PLUGIN_DIR [mariadbd option...]   later options win
#   server_client DIR [mariadb option...]              a client on its socket
#   server_stop DIR                                    stops it by its pid

server_client() {
  local dir=$1
  shift
  mariadb --no-defaults --user=root --socket="$dir/sock" "$@"
}

server_start() {
  local dir=$1 plugin_dir=$2
  shift 2
  mkdir -p "$dir/data"
  if ! mariadb-install-db --no-defaults --user=root --datadir="$dir/data" \
      --auth-root-authentication-method=socket >"$dir/install.log" 2>&1; then
    cat "$dir/install.log" >&2
    return 1
  fi
  mariadbd --no-defaults --user=root --datadir="$dir/data" --socket="$dir/sock" \
    --pid-file="$dir/mariadbd.pid" --log-error="$dir/error.log" --skip-networking \
    --plugin-dir="$plugin_dir" --innodb-buffer-pool-size=256M "$@" >/dev/null 2>&1 &
  echo $! >"$dir/pid"
  local i
  for i in $(seq 1 300); do
    if server_client "$dir" -e 'SELECT 1' >/dev/null 2>&1; then return 0; fi
    if ! kill -0 "$(cat "$dir/pid")" 2>/dev/null; then break; fi
    sleep 0.1
  done
  echo "the private server in $dir did not start:" >&2
  tail -n 20 "$dir/error.log" >&2
  return 1
}

server_stop() {
  local dir=$1 pid i
  [ -f "$dir/pid" ] || return 0
  pid=$(cat "$dir/pid")
  kill "$pid" 2>/dev/null || true
  for i in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$dir/pid"
}
