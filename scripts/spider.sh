# A Spider head over shards, every node a private server on loopback (see
# private-server.sh, which must be sourced first). Source it.
#
#   spider_start DIR SHARDS PLUGIN_DIR [option...]
#       shards DIR/shard1..N with the library from PLUGIN_DIR, and a head
#       DIR/head whose plugin directory holds the library and Spider side by
#       side; the functions registered on every node, the shards known to the
#       head as servers shard1..N; options go to the shards
#   spider_table DIR TABLE COLUMNS
#       TABLE (COLUMNS, the first an INT id) on every shard, on the head a
#       Spider table over them, partitioned by HASH (id) in shard order, and
#       beside it TABLE_copy, a plain InnoDB table of the same columns
#   spider_fill DIR TABLE ROWS
#       ROWS rows of generated names (id, name) in TABLE, each shard filling
#       its own partition (id % SHARDS), and the same in TABLE_copy
#   spider_head DIR [mariadb option...]    a client of the head, in utf8mb4,
#       with the functions pushed down and the shards read in parallel
#   generated_name EXPRESSION              SQL for a name of 6 to 12 capitals
#       made from the integer EXPRESSION, the same on every node

spider_start() {
  local dir=$1 shards=$2 plugin_dir=$3 i
  shift 3
  mkdir -p "$dir/head-plugins"
  ln -s "$plugin_dir/likeness.so" "$dir/head-plugins/likeness.so"
  ln -s "$(spider_system_plugin_dir)/ha_spider.so" "$dir/head-plugins/ha_spider.so"
  for i in $(seq 1 "$shards"); do
    server_start_tcp "$dir/shard$i" "$plugin_dir" "$@"
    server_client "$dir/shard$i" -e "CREATE USER spider@'127.0.0.1' IDENTIFIED BY 'spider';
      GRANT ALL ON *.* TO spider@'127.0.0.1'"
  done
  server_start_tcp "$dir/head" "$dir/head-plugins" --plugin-load-add=ha_spider
  echo "$shards" >"$dir/shards"
  for i in $(seq 1 "$shards"); do
    server_client "$dir/shard$i" <"$likeness_root/sql/install.sql"
    server_client "$dir/head" -e "CREATE SERVER shard$i FOREIGN DATA WRAPPER mysql OPTIONS
      (HOST '127.0.0.1', PORT $(cat "$dir/shard$i/port"), USER 'spider', PASSWORD 'spider',
       DATABASE 'test')"
  done
  server_client "$dir/head" <"$likeness_root/sql/install.sql"
}

spider_table() {
  local dir=$1 table=$2 columns=$3 shards i partitions=""
  shards=$(cat "$dir/shards")
  for i in $(seq 1 "$shards"); do
    server_client "$dir/shard$i" --database=test \
      -e "CREATE TABLE $table ($columns) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4"
    partitions+="${partitions:+, }PARTITION p$i COMMENT = 'srv \"shard$i\"'"
  done
  server_client "$dir/head" --database=test -e "CREATE TABLE $table ($columns) ENGINE=SPIDER
    DEFAULT CHARSET=utf8mb4
    COMMENT = 'wrapper \"mysql\", table \"$table\"' PARTITION BY HASH (id) ($partitions);
    CREATE TABLE ${table}_copy ($columns) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4"
}

generated_name() {
  local letters="" k
  for k in $(seq 0 11); do
    letters+="${letters:+, }CHAR(65 + CONV(SUBSTRING(MD5($1), $((2 * k + 1)), 2), 16, 10) % 26)"
  done
  # One name in eight is a real name with a letter replaced and one put in.
  local near="INSERT(INSERT(ELT(1 + $1 DIV 8 % 8, 'MARTHA', 'MARHTA', 'BERTHA', 'MARTINA',
    'DWAYNE', 'DUANE', 'MARIANNE', 'JONATHAN'), 1 + CONV(SUBSTRING(MD5($1), 27, 2), 16, 10) % 6,
    1, CHAR(65 + CONV(SUBSTRING(MD5($1), 29, 2), 16, 10) % 26)),
    1 + CONV(SUBSTRING(MD5($1), 31, 2), 16, 10) % 6, 0, CHAR(65 + $1 % 26))"
  echo "IF($1 % 8 = 0, $near, LEFT(CONCAT($letters), 6 + CONV(SUBSTRING(MD5($1), 25, 2), 16, 10) % 7))"
}

spider_fill() {
  local dir=$1 table=$2 rows=$3 shards i pids=()
  shards=$(cat "$dir/shards")
  # HASH (id) puts id in partition id % shards + 1.
  for i in $(seq 1 "$shards"); do
    server_client "$dir/shard$i" --database=test -e "INSERT INTO $table (id, name)
      SELECT seq, $(generated_name seq) FROM seq_1_to_$rows WHERE seq % $shards = $((i - 1))" &
    pids+=($!)
  done
  server_client "$dir/head" --database=test -e "INSERT INTO ${table}_copy (id, name)
    SELECT seq, $(generated_name seq) FROM seq_1_to_$rows"
  wait "${pids[@]}"
}

spider_head() {
  local dir=$1
  shift
  server_client "$dir/head" --database=test --default-character-set=utf8mb4 \
    --init-command="SET spider_use_pushdown_udf = 1, spider_bgs_mode = 1" "$@"
}

spider_system_plugin_dir() {
  "$likeness_mariadbd" --no-defaults --help --verbose 2>/dev/null | awk '$1 == "plugin-dir" { print $2 }'
}


