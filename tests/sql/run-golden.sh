#!/usr/bin/env bash
# Runs SQL files against a private server with the library registered and
# compares what the client prints with the .result file beside each.
#   run-golden.sh PLUGIN_DIR FILE.sql...   (RECORD=1 writes the .result files)
set -euo pipefail
plugin_dir=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"

private_dir dir sql
server_with_functions "$dir" "$plugin_dir"

# The client's echo of each statement becomes one "> " line per statement
# line; error positions are dropped so the files read like a session.
compact() {
  awk '/^--------------$/ { inside = !inside; if (!inside) skip = 1; next }
       skip && /^$/ { skip = 0; next }
       { skip = 0; print (inside ? "> " : "") $0 }' | sed -E 's/^(ERROR [0-9]+ \([0-9A-Z]+\)) at line [0-9]+:/\1:/'
}

failed=0
for sql in "$@"; do
  name=$(basename "$sql" .sql)
  server_client "$dir" -e "DROP DATABASE IF EXISTS t_$name; CREATE DATABASE t_$name"
  # Unbuffered, so errors (stderr) land after the statement that caused them.
  actual=$(stdbuf -o0 -e0 mariadb --no-defaults --user="$(id -un)" --socket="$dir/sock" \
    --database="t_$name" --default-character-set=utf8mb4 --table --force --verbose \
    --max-allowed-packet=64M \
    <"$sql" 2>&1 | compact)
  if [ "${RECORD:-0}" = 1 ]; then
    printf '%s\n' "$actual" >"${sql%.sql}.result"
  elif ! diff -u "${sql%.sql}.result" <(printf '%s\n' "$actual"); then
    echo "FAILED: $name" >&2
    failed=1
  else
    echo "passed: $name"
  fi
done
exit $failed
