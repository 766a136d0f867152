# Throwaway MariaDB servers for the demo, the tests and the benchmarks.
# Source it. Each server lives in a directory of its own (data, socket, pid,
# logs), runs as the invoking user (or as server_user, if a script started by
# root sets it), and never touches the system's service.
# Every directory and server made through these functions is stopped and
# removed when the script exits, and when it is interrupted (INT) or
# terminated (TERM). Directories are made under $LIKENESS_TMP when it is set
# (the test command sets it, and removes it at its end), else under /tmp.
#
#   private_dir VAR NAME                       makes a directory, its path in VAR
#   server_start DIR PLUGIN_DIR [option...]    a server on DIR/sock; later options win
#   server_start_tcp DIR PLUGIN_DIR [option...]   also on 127.0.0.1, port in DIR/port
#   server_client DIR [mariadb option...]      a client on its socket, as this user
#   server_stop DIR                            stops it
#   free_port                                  prints a loopback port nobody listens on
# and for the tests that use them:
#   server_with_functions DIR PLUGIN_DIR [option...]   server_start, then sql/install.sql
#   fail MESSAGE                               says what failed, exits 1
#   expect WHAT EXPECTED GOT                   fails unless GOT is EXPECTED, showing both
#   expect_no_crash DIR                        fails when the server's log shows a crash
#   skip_without PATH WHAT                     exits 77, which ctest counts as skipped,
#                                              when PATH does not exist

likeness_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
likeness_dirs=()
likeness_servers=()
server_user=$(id -un)
# Debian keeps the server in /usr/sbin, outside an ordinary account's PATH.
likeness_mariadbd=$(command -v mariadbd || echo /usr/sbin/mariadbd)

likeness_cleanup() {
  local i
  for ((i = ${#likeness_servers[@]} - 1; i >= 0; i--)); do server_stop "${likeness_servers[i]}"; done
  for i in "${likeness_dirs[@]}"; do rm -rf "$i"; done
}
trap likeness_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

private_dir() {
  local made
  made=$(mktemp -d "${LIKENESS_TMP:-/tmp}/likeness-$2.XXXXXX")
  likeness_dirs+=("$made")
  printf -v "$1" '%s' "$made"
}

server_client() {
  local dir=$1
  shift
  mariadb --no-defaults --user="$(id -un)" --socket="$dir/sock" "$@"
}

# The data directory, with an account for the invoking user that logs in
# through the socket (unix_socket authentication), as root does for root; a
# server_user other than the invoking one must own the server's directory.
server_install() {
  local dir=$1
  [ -d "$dir/data" ] && return 0
  mkdir -p "$dir/data" "$dir/tmp"
  [ "$server_user" = "$(id -un)" ] || chown "$server_user" "$dir/tmp"
  mariadb-install-db --no-defaults --user="$server_user" --datadir="$dir/data" --tmpdir="$dir/tmp" \
    --auth-root-authentication-method=socket >"$dir/install.log" 2>&1 ||
    { cat "$dir/install.log" >&2; return 1; }
}

# Starts the server and waits until it answers; 1 if it stopped instead.
server_launch() {
  local dir=$1 plugin_dir=$2 pid i
  shift 2
  server_install "$dir" || return 1
  likeness_servers+=("$dir")
  "$likeness_mariadbd" --no-defaults --user="$server_user" --datadir="$dir/data" --socket="$dir/sock" \
    --pid-file="$dir/mariadbd.pid" --log-error="$dir/error.log" --tmpdir="$dir/tmp" --skip-networking \
    --plugin-dir="$plugin_dir" --innodb-buffer-pool-size=256M "$@" >/dev/null 2>&1 &
  pid=$!
  echo "$pid" >"$dir/pid"
  for i in $(seq 1 600); do
    if server_client "$dir" -e 'SELECT 1' >/dev/null 2>&1; then return 0; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  server_stop "$dir"
  return 1
}

server_failed() {
  echo "the private server in $1 did not start:" >&2
  tail -n 20 "$1/error.log" >&2
  return 1
}

server_start() {
  server_launch "$@" || server_failed "$1"
}

free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# A port found free can be taken by another program before the server binds
# it: then the server is started again on another.
server_start_tcp() {
  local dir=$1 plugin_dir=$2 port attempt
  shift 2
  for attempt in 1 2 3 4 5; do
    port=$(free_port)
    if server_launch "$dir" "$plugin_dir" --skip-networking=0 --bind-address=127.0.0.1 \
        --port="$port" "$@"; then
      echo "$port" >"$dir/port"
      return 0
    fi
    grep -q -i 'address already in use' "$dir/error.log" 2>/dev/null || break
    mv "$dir/error.log" "$dir/error.log.$attempt"
  done
  server_failed "$dir"
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

server_with_functions() {
  server_start "$@"
  server_client "$1" <"$likeness_root/sql/install.sql"
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

expect() {
  [ "$3" = "$2" ] || fail "$1: expected '$2', got '$3'"
}

expect_no_crash() {
  if grep -E -i 'got signal|terminate called|assertion|stack trace|segfault' "$1/error.log" >&2; then
    fail "the error log of the server in $1 shows a crash"
  fi
}

skip_without() {
  [ -e "$1" ] && return 0
  echo "SKIPPED: $2 is not installed ($1 is missing)"
  exit 77
}
