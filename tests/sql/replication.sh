#!/usr/bin/env bash
# A primary with the binary log (row-based, GTID) and two replicas on this
# machine, the primary listening on a free loopback port. The functions are
# registered on the primary only. One replica has the library in its plugin
# directory, the other not yet: shows what replicates and what breaks.
#   replication.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir repl
primary=$dir/primary ready=$dir/replica missing=$dir/replica-without-library
sql() { local s=$1; shift; server_client "$s" --database=test -NB "$@"; }
replica_status() { server_client "$1" -e "SHOW SLAVE STATUS\G" | awk -v f="$2" '$1 == f ":" { $1 = ""; sub(/^ /, ""); print }'; }
# Waits until the replica has applied everything the primary has written.
caught_up() { sql "$1" -e "SELECT MASTER_GTID_WAIT('$(sql "$primary" -e 'SELECT @@gtid_binlog_pos')', 30)"; }

server_start_tcp "$primary" "$plugin_dir" --server-id=1 --log-bin=primary-bin --binlog-format=ROW
port=$(cat "$primary/port")
mkdir -p "$dir/empty-plugin-dir"
server_start "$ready" "$plugin_dir" --server-id=2
server_start "$missing" "$dir/empty-plugin-dir" --server-id=3
sql "$primary" -e "CREATE USER repl@'127.0.0.1' IDENTIFIED BY 'repl';
  GRANT REPLICATION SLAVE ON *.* TO repl@'127.0.0.1'"
for replica in "$ready" "$missing"; do
  sql "$replica" -e "CHANGE MASTER TO MASTER_HOST='127.0.0.1', MASTER_PORT=$port, MASTER_USER='repl',
    MASTER_PASSWORD='repl', MASTER_USE_GTID=slave_pos; START SLAVE"
  expect "replica $replica catching up" 0 "$(caught_up "$replica")"
done
echo "primary on 127.0.0.1:$port, two replicas replicating"

sql "$primary" <"$likeness_root/sql/install.sql"
expect "the replica with the library catching up" 0 "$(caught_up "$ready")"
echo "replica with the library: mysql.func holds $(sql "$ready" -e 'SELECT GROUP_CONCAT(name ORDER BY name) FROM mysql.func')"
expect "jarowinkler on the replica" 0.9611111113594638 "$(sql "$ready" -e "SELECT jarowinkler('MARTHA', 'MARHTA')")"
echo "replica with the library: jarowinkler answers there"

# The replica without the library stops applying at the registration.
for _ in $(seq 1 600); do
  [ "$(replica_status "$missing" Slave_SQL_Running)" = No ] && break
  sleep 0.1
done
expect "the SQL thread of the replica without the library" No "$(replica_status "$missing" Slave_SQL_Running)"
echo "replica without the library: SQL thread stopped: error $(replica_status "$missing" Last_SQL_Errno): $(replica_status "$missing" Last_SQL_Error)"
echo "replica without the library: IO thread still running: $(replica_status "$missing" Slave_IO_Running)"

# Data computed with the functions on the primary arrives unchanged.
sql "$primary" -e "CREATE TABLE people (id INT PRIMARY KEY, name VARCHAR(20));
  INSERT INTO people VALUES (1, 'MARTHA'), (2, 'MARHTA'), (3, 'DWAYNE'), (4, NULL), (5, 'DUANE');
  CREATE TABLE scores (id INT PRIMARY KEY, jw DOUBLE, ed BIGINT);
  INSERT INTO scores SELECT id, jarowinkler(name, 'MARHTA'), editdistance(name, 'DUANE') FROM people"
expect "the replica with the library catching up" 0 "$(caught_up "$ready")"
on_primary=$(sql "$primary" -e "SELECT * FROM scores ORDER BY id")
on_replica=$(sql "$ready" -e "SELECT * FROM scores ORDER BY id")
expect "scores on the replica" "$on_primary" "$on_replica"
echo "INSERT ... SELECT with the functions: $(wc -l <<<"$on_replica") rows identical on the replica"
query="SELECT name, jaro(name, 'MARHTA'), jarowinkler(name, 'MARHTA'), editdistance(name, 'MARHTA'), editdistance_dl(name, 'MARHTA') FROM people ORDER BY id"
expect "the SELECT on the replica" "$(sql "$primary" -e "$query")" "$(sql "$ready" -e "$query")"
echo "the same SELECT with the functions gives identical output on primary and replica"

# The safe order repairs it: put the library in place, then restart applying.
cp "$plugin_dir/likeness.so" "$dir/empty-plugin-dir/"
sql "$missing" -e "START SLAVE SQL_THREAD"
expect "the repaired replica catching up" 0 "$(caught_up "$missing")"
expect "functions on the repaired replica" "$(grep -c -E "^CREATE (AGGREGATE )?FUNCTION" "$likeness_root/sql/install.sql")" \
  "$(sql "$missing" -e "SELECT COUNT(*) FROM mysql.func")"
expect "scores on the repaired replica" "$on_primary" "$(sql "$missing" -e "SELECT * FROM scores ORDER BY id")"
echo "replica given the library and restarted: caught up, functions registered, scores identical"
