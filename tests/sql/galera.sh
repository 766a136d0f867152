#!/usr/bin/env bash
# A three-node Galera cluster on loopback, state transfer by rsync. Nodes 1
# and 2 have the library; node 3 joins without it. sql/install.sql runs on
# node 1: the registration reaches node 2, and fails on node 3, which Galera
# logs and ignores; node 3 stays in the cluster, and calling a function there
# fails with "does not exist". Rows computed with the functions on node 1
# arrive identical on every node. Given the library, node 3 is repaired by
# running sql/install.sql on it. Run by root, the nodes run as the mysql
# account (the rsync daemon of a state transfer drops to an unprivileged
# user, which could not read files owned by root).
#   galera.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
skip_without /usr/lib/galera/libgalera_smm.so "Galera (galera-4)"
skip_without /usr/bin/rsync rsync
install_sql=$likeness_root/sql/install.sql
private_dir dir galera
mkdir "$dir/plugin" "$dir/no-plugin"
cp "$plugin_dir/likeness.so" "$dir/plugin/"
for i in 1 2 3; do mkdir "$dir/node$i"; done
if [ "$(id -u)" = 0 ]; then
  server_user=mysql
  chown -R mysql "$dir"
  chmod 711 "$dir"
  # The test command's own directory is private; /tmp, never touched, lets
  # every account through already.
  if [ -n "${LIKENESS_TMP:-}" ]; then chmod 711 "$LIKENESS_TMP"; fi
fi

ports=() members=""
for i in 1 2 3; do
  ports[i]="$(free_port) $(free_port) $(free_port)"  # group communication, IST, SST
  members+="${members:+,}127.0.0.1:$(cut -d' ' -f1 <<<"${ports[i]}")"
done
start_node() {  # start_node I PLUGIN_DIR [option...]
  local i=$1 node_plugins=$2 group ist sst
  shift 2
  read -r group ist sst <<<"${ports[i]}"
  server_start_tcp "$dir/node$i" "$node_plugins" --innodb-buffer-pool-size=64M \
    --binlog-format=ROW --innodb-autoinc-lock-mode=2 --wsrep-on=ON \
    --wsrep-provider=/usr/lib/galera/libgalera_smm.so --wsrep-cluster-name=likeness \
    --wsrep-cluster-address="gcomm://$members" --wsrep-node-address="127.0.0.1:$group" \
    --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:$group;ist.recv_addr=127.0.0.1:$ist" \
    --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:$sst" "$@"
  local k
  for k in $(seq 1 300); do
    [ "$(sql "$i" -e "SHOW STATUS LIKE 'wsrep_ready'" | cut -f2)" = ON ] && return 0
    sleep 0.2
  done
  tail -n 20 "$dir/node$i/error.log" >&2
  fail "node $i did not join the cluster"
}
sql() { local i=$1; shift; server_client "$dir/node$i" --database=test -NB "$@"; }
# Reads wait until the node has applied what the cluster committed before.
same_on_every_node() {  # same_on_every_node WHAT QUERY
  local first i
  first=$(sql 1 -e "$2")
  for i in 2 3; do
    expect "$1 on node $i" "$first" "$(sql "$i" -e "SET SESSION wsrep_sync_wait = 1; $2")"
  done
  echo "ok: $1 identical on the three nodes"
}

started=$(date +%s)
start_node 1 "$dir/plugin" --wsrep-new-cluster
start_node 2 "$dir/plugin"
start_node 3 "$dir/no-plugin"
expect "the cluster's size" 3 "$(sql 1 -e "SHOW STATUS LIKE 'wsrep_cluster_size'" | cut -f2)"
echo "ok: three nodes formed a cluster in $(($(date +%s) - started)) s, as $server_user"

server_client "$dir/node1" <"$install_sql"
functions=$(grep -c -E '^CREATE (AGGREGATE )?FUNCTION' "$install_sql")
expect "functions registered on node 2" "$functions" \
  "$(sql 2 -e 'SET SESSION wsrep_sync_wait = 1; SELECT COUNT(*) FROM mysql.func')"
expect "jarowinkler on node 2" 0.9611111113594638 "$(sql 2 -e "SELECT jarowinkler('MARTHA', 'MARHTA')")"
echo "ok: install.sql on node 1 registered the $functions functions on node 2, which answers"

# Node 3, without the library.
state_of() { sql "$1" -e "SHOW STATUS LIKE 'wsrep_local_state_comment'" | cut -f2; }
for _ in $(seq 1 600); do [ "$(state_of 3)" = Synced ] && break; sleep 0.1; done
expect "node 3's state" Synced "$(state_of 3)"
expect "functions registered on node 3, without the library" 0 \
  "$(sql 3 -e 'SET SESSION wsrep_sync_wait = 1; SELECT COUNT(*) FROM mysql.func')"
grep -q "WSREP: Ignoring error 'Can't open shared library 'likeness.so'" "$dir/node3/error.log" ||
  fail "node 3 did not log the failed registration"
missing=$( (sql 3 -e "SELECT jarowinkler('MARTHA', 'MARHTA')" 2>&1 || true) | tail -n 1)
expect "a call on node 3" "ERROR 1305 (42000) at line 1: FUNCTION test.jarowinkler does not exist" "$missing"
echo "ok: node 3, without the library, stays synced; the registration failed there (error 1126," \
  "logged and ignored) and calling a function gives: $missing"

sql 1 -e "CREATE TABLE people (id INT PRIMARY KEY, name VARCHAR(20) CHARACTER SET utf8mb4);
  INSERT INTO people VALUES (1, 'MARTHA'), (2, 'MARHTA'), (3, 'DWAYNE'), (4, NULL), (5, 'Müller');
  CREATE TABLE scores (id INT PRIMARY KEY, jw DOUBLE, ed BIGINT, edu BIGINT, bounded BIGINT);
  INSERT INTO scores SELECT id, jarowinkler(name, 'MARHTA'), editdistance(name, 'DUANE'),
    editdistance_utf8(name, 'Muller'), editdistance_dl_bounded(name, 'MARHTA', 1) FROM people"
same_on_every_node "rows computed with the functions on node 1" "SELECT * FROM scores ORDER BY id"

# Repaired: the library in node 3's plugin directory, install.sql run there.
cp "$plugin_dir/likeness.so" "$dir/no-plugin/"
server_client "$dir/node3" <"$install_sql"
same_on_every_node "a SELECT with every function, after node 3 was given the library" \
  "SELECT name, jaro(name, 'MARHTA'), jarowinkler_utf8(name, 'Muller'), editdistance_dl(name, 'MARHTA'),
     editdistance_utf8_bounded(name, 'Muller', 2) FROM people ORDER BY id"
