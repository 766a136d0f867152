#!/usr/bin/env bash
# A table scan with the function in WHERE returns exactly the rows that the
# library's own measure selects.  scan.sh PLUGIN_DIR SELECT_SIMILAR
set -euo pipefail
plugin_dir=$1 select_similar=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir scan

# Names near MARHTA: it and a few other names with up to three random edits.
awk 'BEGIN { srand(7); split("MARHTA MARTHA BERTHA DUANE MARIANNE", base, " ");
  letters = "ABDEHIMNRTU";
  for (i = 1; i <= 5000; i++) { s = base[1 + int(rand() * 5)]; edits = int(rand() * 4);
    for (e = 0; e < edits; e++) { p = 1 + int(rand() * length(s)); c = substr(letters, 1 + int(rand() * 11), 1);
      kind = int(rand() * 3);
      if (kind == 0) s = substr(s, 1, p - 1) c substr(s, p + 1);
      else if (kind == 1) s = substr(s, 1, p - 1) c substr(s, p);
      else if (length(s) > 1) s = substr(s, 1, p - 1) substr(s, p + 1) }
    print s } }' >"$dir/names.txt"

server_with_functions "$dir" "$plugin_dir"
server_client "$dir" --database=test --local-infile=1 <<SQL
SET GLOBAL local_infile = 1;
CREATE TABLE names (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20));
LOAD DATA LOCAL INFILE '$dir/names.txt' INTO TABLE names (name);
SQL
server_client "$dir" --database=test --batch --skip-column-names \
  -e "SELECT name FROM names WHERE jarowinkler(name, 'MARHTA') > 0.9 ORDER BY id" >"$dir/server.txt"
"$select_similar" MARHTA 0.9 <"$dir/names.txt" >"$dir/library.txt"

rows=$(wc -l <"$dir/library.txt")
if [ "$rows" -eq 0 ] || [ "$rows" -eq 5000 ]; then
  fail "the scan selects $rows of 5000 rows: the test data proves nothing"
fi
diff -u "$dir/library.txt" "$dir/server.txt" || fail "the server's rows (+) differ from the library's (-)"
echo "the server and the library both select the same $rows of 5000 rows"
