#!/usr/bin/env bash
# A statement killed during a long call fails with the server's own error and
# stores nothing, whatever its form; kills are heard within a moment at every
# phase of a call on 64 MiB values; a server shutdown during a call is quick.
# The moment is measured against the same server under the same load: a
# kill of a sleeping statement, and a function that computes nothing
# (CONSTANT_UDF, likeness_constant.so) on the same values.
#   kill.sh PLUGIN_DIR CONSTANT_UDF
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir kill
mkdir "$dir/plugin"
cp "$1/likeness.so" "$2" "$dir/plugin/"
server_with_functions "$dir" "$dir/plugin" --max-allowed-packet=256M
server_client "$dir" -e "CREATE FUNCTION constant RETURNS INTEGER SONAME 'likeness_constant.so'"
sql() { server_client "$dir" --database=test --max-allowed-packet=256M -NB "$@"; }
now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# Two unrelated MiB of hex digits, whose edit distance takes minutes.
sql -e "SET SESSION group_concat_max_len = 4194304;
  CREATE TABLE pair (id INT PRIMARY KEY, a LONGTEXT, b LONGTEXT) ENGINE=InnoDB;
  INSERT INTO pair SELECT 1, (SELECT GROUP_CONCAT(SHA2(seq, 256) SEPARATOR '') FROM seq_1_to_16384),
                             (SELECT GROUP_CONCAT(SHA2(-seq, 256) SEPARATOR '') FROM seq_1_to_16384);
  CREATE TABLE stored (d BIGINT) ENGINE=InnoDB;
  CREATE TABLE target (id INT PRIMARY KEY, d BIGINT) ENGINE=InnoDB;
  INSERT INTO target VALUES (1, 0)"
expect "the pair" $'1048576\t1048576' "$(sql -e 'SELECT LENGTH(a), LENGTH(b) FROM pair')"

# Runs SETUP, STATEMENT and SHOW WARNINGS in one connection in the
# background (its client in long_pid, output in $dir/long.out) and waits
# until the statement has been running for AFTER seconds; its connection id
# in long_id.
start_long() {  # start_long SETUP STATEMENT AFTER
  printf '%s;\n%s;\nSHOW WARNINGS;\n' "$1" "$2" | sql --force >"$dir/long.out" 2>&1 &
  long_pid=$!
  long_id=""
  local pattern=${2:0:40} i
  for i in $(seq 1 1000); do
    long_id=$(sql -e "SELECT id FROM information_schema.processlist
                      WHERE info LIKE '$(printf '%s' "$pattern" | sed "s/'/''/g")%' AND id <> CONNECTION_ID()")
    [ -n "$long_id" ] && break
    kill -0 "$long_pid" 2>/dev/null || fail "the statement ended before it was killed: $(cat "$dir/long.out")"
    sleep 0.01
  done
  [ -n "$long_id" ] || fail "the statement never ran: $2"
  sleep "$3"
}

# Kills the statement; how long it took to end in took.
kill_long() {
  local killed
  killed=$(now)
  sql -e "KILL QUERY $long_id"
  wait "$long_pid" || true
  took=$(seconds "$killed" "$(now)")
}

# Every form of statement that computes a value: the server's error, once,
# and nothing stored. A form whose kill the server would not notice by itself
# (one row read by its key, no table at all) is the point.
vars="SET @a = (SELECT a FROM pair), @b = (SELECT b FROM pair)"
while IFS='|' read -r what statement error check expected; do
  if [[ $statement == SET\ STATEMENT* ]]; then
    sql -e "$vars; $statement" >"$dir/long.out" 2>&1 || true
  else
    start_long "$vars" "$statement" 1
    kill_long
    expect "$what: errors raised" 1 "$(grep -c "^Error	$error	" "$dir/long.out" || true)"
  fi
  grep -q "^ERROR $error " "$dir/long.out" ||
    fail "$what: expected error $error, got: $(cat "$dir/long.out")"
  expect "$what: what was stored" "$expected" "$(sql -e "$check")"
  echo "ok: killed $what: error $error, nothing stored"
done <<'CASES'
a SELECT by primary key|SELECT editdistance(a, b) FROM pair WHERE id = 1|1317|SELECT 0|0
a table scan|SELECT editdistance(a, b) FROM pair|1317|SELECT 0|0
a SELECT without a table|SELECT editdistance_dl(@a, @b)|1317|SELECT 0|0
INSERT … SELECT by key|INSERT INTO stored SELECT editdistance(a, b) FROM pair WHERE id = 1|1317|SELECT COUNT(*) FROM stored|0
INSERT … VALUES|INSERT INTO stored VALUES (editdistance_utf8(@a, @b))|1317|SELECT COUNT(*) FROM stored|0
a multi-table UPDATE|UPDATE target, pair SET target.d = editdistance(pair.a, pair.b) WHERE target.id = 1 AND pair.id = 1|1317|SELECT d FROM target|0
CREATE TABLE … AS SELECT|CREATE TABLE made AS SELECT editdistance(a, b) AS d FROM pair WHERE id = 1|1317|SELECT COUNT(*) FROM information_schema.tables WHERE table_name = 'made'|0
SET @x|SET @x = editdistance(@a, @b)|1317|SELECT 0|0
max_statement_time|SET STATEMENT max_statement_time = 1 FOR INSERT INTO stored SELECT editdistance(a, b) FROM pair WHERE id = 1|1969|SELECT COUNT(*) FROM stored|0
CASES

# Kills at different moments of calls on 64 MiB values, from the first
# phases (reading, trimming, building tables) to the main loops. Each must
# end its statement within twice what the same kill of a statement that
# only sleeps takes (the kill's own path: clients, the server's unwinding),
# measured right after it under the same load, plus a quarter of a second;
# on an idle machine both take a few hundredths. A kill sent before the
# server could have copied the arguments (as the statement appears, or
# sooner after it than the function that computes nothing takes on the
# same values) may land before the call, while the server copies them
# without listening for kills: it gets twice that function's time besides.
# A call that did not hear kills runs on for minutes.
block="(SELECT GROUP_CONCAT(SHA2(seq, 512) SEPARATOR '') FROM seq_1_to_8192)"
other="(SELECT GROUP_CONCAT(SHA2(-seq, 512) SEPARATOR '') FROM seq_1_to_8192)"
big="SET SESSION group_concat_max_len = 4194304, @a = REPEAT($block, 64), @b = REPEAT($other, 64),
  @ab = REPEAT('ab', 1 << 25), @ba = REPEAT('ba', 1 << 25),
  @u = REPEAT(_utf8mb4'aéЖ', 1 << 24), @v = REPEAT(_utf8mb4'éЖb', 1 << 24)"
# Seconds the server spends on STATEMENT, timed inside it.
server_seconds() { sql -e "$big; SET @t = NOW(6); $1; SELECT TIMESTAMPDIFF(MICROSECOND, @t, NOW(6)) / 1e6" | tail -n 1; }
while IFS='|' read -r what statement; do
  copying=$(server_seconds "${statement/$what(/constant(}")
  report=()
  for after in 0 0.05 0.2 0.5; do
    start_long "$big" "$statement" "$after"
    kill_long
    grep -q "^ERROR 1317 " "$dir/long.out" || fail "$what killed after $after s: $(cat "$dir/long.out")"
    killed_took=$took
    start_long "$big" "SELECT SLEEP(60)" 0
    kill_long
    bound=$(awk -v s="$took" -v c="$copying" -v a="$after" 'BEGIN { printf "%.3f", 2 * s + 0.25 + (a < c ? 2 * c : 0) }')
    awk -v t="$killed_took" -v b="$bound" 'BEGIN { exit !(t < b) }' ||
      fail "$what killed after $after s took $killed_took s to end; a sleeping statement took $took s," \
        "the function that computes nothing $copying s: bound $bound s"
    report+=("$killed_took/$bound")
  done
  echo "ok: $what on 64 MiB, killed at four moments, ended in ${report[*]} s (took/bound;" \
    "the function that computes nothing: $copying s)"
done <<'CASES'
jaro|SELECT jaro(@ab, @ba)
editdistance|SELECT editdistance(@a, @b)
editdistance_dl_utf8|SELECT editdistance_dl_utf8(@u, @v)
jarowinkler_utf8|SELECT jarowinkler_utf8(@u, @v)
CASES

# A shutdown during a call: the server is gone within a minute.
pid=$(cat "$dir/pid")
start_long "SELECT 1" "SELECT editdistance(a, b) FROM pair" 1
stopping=$(now)
kill "$pid"
for _ in $(seq 1 600); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the server did not stop within a minute of the signal"
echo "ok: the server shut down during the call in $(seconds "$stopping" "$(now)") s"
wait "$long_pid" || true
expect_no_crash "$dir"
