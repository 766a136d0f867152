#!/usr/bin/env bash
# 32 connections at once run every function; every answer must equal the
# single-connection answer, the server must keep its pid and uptime, and its
# resident memory must not grow with the calls.
#   concurrency.sh PLUGIN_DIR [ROUNDS]
set -euo pipefail
plugin_dir=$1 rounds=${2:-20}
clients=32
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
source "$here/steady-memory.sh"
private_dir dir load

server_with_functions "$dir" "$plugin_dir" --max-connections=100
server_client "$dir" --database=test --default-character-set=utf8mb4 <<'SQL'
CREATE TABLE names (id INT PRIMARY KEY, name VARCHAR(60) CHARACTER SET utf8mb4);
INSERT INTO names SELECT seq, CONCAT(SUBSTRING('MÁRHTADŮANEBĚRTHAX', 1 + seq % 11, 2 + seq % 5),
  IF(seq % 13 = 0, NULL, REPEAT(CHAR(65 + seq % 26), seq % 40)), SUBSTRING('abc', 1 + seq % 3))
  FROM seq_1_to_2000;
SQL
cat >"$dir/queries.sql" <<'SQL'
SELECT id, jaro(name, 'MARHTA'), jarowinkler(name, 'DUANE'), editdistance(name, 'BERTHA'),
  editdistance_dl(name, 'MARHTA'), jaro_utf8(name, 'MÁRHTA'), jarowinkler_utf8(name, 'DŮANE'),
  editdistance_utf8(name, 'BĚRTHA'), editdistance_dl_utf8(name, 'MARHTÁ') FROM names ORDER BY id;
SELECT COUNT(*), SUM(jarowinkler(a.name, b.name)), SUM(editdistance_dl(a.name, b.name))
  FROM names a JOIN names b ON b.id = a.id % 97 + 1;
SQL
query() { server_client "$dir" --database=test --default-character-set=utf8mb4 --batch <"$dir/queries.sql"; }
query >"$dir/expected.txt"

pid=$(cat "$dir/pid")
status() { server_client "$dir" --batch --skip-column-names -e "SHOW GLOBAL STATUS LIKE 'Uptime'" | cut -f2; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"; }
uptime_before=$(status)
declare -a rss
for round in $(seq 1 "$rounds"); do
  pids=()
  for c in $(seq 1 $clients); do
    query >"$dir/out.$c" &
    pids+=($!)
  done
  wait "${pids[@]}"
  for c in $(seq 1 $clients); do
    cmp -s "$dir/expected.txt" "$dir/out.$c" || fail "round $round client $c: answers differ"
  done
  rss[$round]=$(rss_kb)
done
uptime_after=$(status)
expect "the server's pid" "$pid" "$(cat "$dir/pid")"
kill -0 "$pid" || fail "the server is gone"
[ "$uptime_after" -ge "$uptime_before" ] || fail "the server restarted (uptime $uptime_before -> $uptime_after s)"
expect_no_crash "$dir"
# Round 1 warms the server up; each query calls 8 functions on every
# row, then 2 on every row.
calls=$(((rounds - 2) * clients * 10 * $(server_client "$dir" -NB -e 'SELECT COUNT(*) FROM test.names')))
steady_memory "$clients connections" "$calls" "${rss[@]:2}"
echo "$rounds rounds x $clients connections x $(wc -l <"$dir/expected.txt") result lines: all answers equal; pid $pid and uptime ($uptime_before -> $uptime_after s) kept"
