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
  [ "$(caught_up "$replica")" = 0 ] || { echo "replica $replica did not catch up" >&2; exit 1; }
done
echo "primary on 127.0.0.1:$port, two replicas replicating"

sql "$primary" <"$here/../../sql/install.sql"
[ "$(caught_up "$ready")" = 0 ]
echo "replica with the library: mysql.func holds $(sql "$ready" -e 'SELECT GROUP_CONCAT(name ORDER BY name) FROM mysql.func')"
[ "$(sql "$ready" -e "SELECT jarowinkler('MARTHA', 'MARHTA')")" = 0.9611111113594638 ]
echo "replica with the library: jarowinkler answers there"

# The replica without the library stops applying at the registration.
for _ in $(seq 1 100); do
  [ "$(replica_status "$missing" Slave_SQL_Running)" = No ] && break
  sleep 0.1
done
[ "$(replica_status "$missing" Slave_SQL_Running)" = No ] ||
  { echo "the replica without the library kept applying" >&2; exit 1; }
echo "replica without the library: SQL thread stopped: error $(replica_status "$missing" Last_SQL_Errno): $(replica_status "$missing" Last_SQL_Error)"
echo "replica without the library: IO thread still running: $(replica_status "$missing" Slave_IO_Running)"

# Data computed with the functions on the primary arrives unchanged.
sql "$primary" -e "CREATE TABLE people (id INT PRIMARY KEY, name VARCHAR(20));
  INSERT INTO people VALUES (1, 'MARTHA'), (2, 'MARHTA'), (3, 'DWAYNE'), (4, NULL), (5, 'DUANE');
  CREATE TABLE scores (id INT PRIMARY KEY, jw DOUBLE, ed BIGINT);
  INSERT INTO scores SELECT id, jarowinkler(name, 'MARHTA'), editdistance(name, 'DUANE') FROM people"
[ "$(caught_up "$ready")" = 0 ]
on_primary=$(sql "$primary" -e "SELECT * FROM scores ORDER BY id")
on_replica=$(sql "$ready" -e "SELECT * FROM scores ORDER BY id")
[ "$on_primary" = "$on_replica" ] || { echo "scores differ: $on_primary / $on_replica" >&2; exit 1; }
echo "INSERT ... SELECT with the functions: $(wc -l <<<"$on_replica") rows identical on the replica"
query="SELECT name, jaro(name, 'MARHTA'), jarowinkler(name, 'MARHTA'), editdistance(name, 'MARHTA'), editdistance_dl(name, 'MARHTA') FROM people ORDER BY id"
[ "$(sql "$primary" -e "$query")" = "$(sql "$ready" -e "$query")" ]
echo "the same SELECT with the functions gives identical output on primary and replica"

# The safe order repairs it: put the library in place, then restart applying.
cp "$plugin_dir/likeness.so" "$dir/empty-plugin-dir/"
sql "$missing" -e "START SLAVE SQL_THREAD"
[ "$(caught_up "$missing")" = 0 ] || { echo "the repaired replica did not catch up" >&2; exit 1; }
[ "$(sql "$missing" -e "SELECT COUNT(*) FROM mysql.func")" = "$(grep -c "^CREATE FUNCTION" "$here/../../sql/install.sql")" ]
[ "$(sql "$missing" -e "SELECT * FROM scores ORDER BY id")" = "$on_primary" ]
echo "replica given the library and restarted: caught up, functions registered, scores identical"
