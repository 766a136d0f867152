#!/usr/bin/env bash
# Long calls stop when their statement is killed: an edit distance of two
# unrelated 1 MiB values, which takes a minute or more, ends soon after
# KILL QUERY (the client is told the query was interrupted), a SELECT without
# a table ends with a NULL row, and a server shutdown during such a call is
# quick. The time the whole call would take is estimated from the same call
# on the first 128 KiB (a sixty-fourth of the work).
#   kill.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir kill
server_start "$dir" "$plugin_dir" --max-allowed-packet=64M
server_client "$dir" <"$here/../../sql/install.sql"
sql() { server_client "$dir" --database=test --max-allowed-packet=64M -NB "$@"; }
now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# Two unrelated MiB of hex digits, in a one-row table and in variables.
sql -e "SET SESSION group_concat_max_len = 4194304;
  CREATE TABLE pair (a LONGTEXT, b LONGTEXT);
  INSERT INTO pair SELECT (SELECT GROUP_CONCAT(SHA2(seq, 256) SEPARATOR '') FROM seq_1_to_16384),
                          (SELECT GROUP_CONCAT(SHA2(-seq, 256) SEPARATOR '') FROM seq_1_to_16384)"
[ "$(sql -e 'SELECT LENGTH(a), LENGTH(b) FROM pair')" = $'1048576\t1048576' ]

start=$(now)
sql -e "SELECT editdistance(LEFT(a, 131072), LEFT(b, 131072)) FROM pair" >/dev/null
whole=$(awk -v t="$(seconds "$start" "$(now)")" 'BEGIN { printf "%.1f", t * 64 }')
echo "the whole call would take about $whole s (64 times the call on 128 KiB)"

# Starts QUERY in the background (its client in long_pid) and waits until the
# process list has shown it running for a second (its connection in long_id).
start_long() {
  sql -e "$1" >"$dir/long.out" 2>&1 &
  long_pid=$!
  long_id=""
  local i
  for i in $(seq 1 200); do
    long_id=$(sql -e "SELECT id FROM information_schema.processlist
                      WHERE info LIKE 'SELECT editdistance%' AND time >= 1")
    [ -n "$long_id" ] && return
    sleep 0.1
  done
  echo "the long statement never ran for a second" >&2
  exit 1
}
within_a_tenth() {  # within_a_tenth WHAT SECONDS
  awk -v t="$2" -v whole="$whole" 'BEGIN { exit !(t < whole / 10) }' ||
    { echo "$1 took $2 s, not under a tenth of $whole s" >&2; exit 1; }
  echo "ok: $1 in $2 s"
}

start_long "SELECT editdistance(a, b) FROM pair"
killed=$(now)
sql -e "KILL QUERY $long_id"
wait "$long_pid" || true
within_a_tenth "KILL QUERY ended the statement that reads a table" "$(seconds "$killed" "$(now)")"
grep -q "Query execution was interrupted" "$dir/long.out" ||
  { cat "$dir/long.out" >&2; echo "the client was not told of the kill" >&2; exit 1; }

start_long "SET @a = (SELECT a FROM pair), @b = (SELECT b FROM pair);
  SELECT editdistance_dl(@a, @b)"
killed=$(now)
sql -e "KILL QUERY $long_id"
wait "$long_pid" || true
within_a_tenth "KILL QUERY ended the SELECT without a table" "$(seconds "$killed" "$(now)")"
[ "$(cat "$dir/long.out")" = NULL ] ||
  { cat "$dir/long.out" >&2; echo "the killed call did not give NULL" >&2; exit 1; }

pid=$(cat "$dir/pid")
start_long "SELECT editdistance(a, b) FROM pair"
stopping=$(now)
kill "$pid"
while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
within_a_tenth "the server shut down during the call" "$(seconds "$stopping" "$(now)")"
wait "$long_pid" || true
if grep -E -i 'got signal|terminate called|assertion|segfault' "$dir/error.log"; then
  echo "the error log shows a crash" >&2
  exit 1
fi
