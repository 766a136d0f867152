#!/usr/bin/env bash
# likeness.search over the random table of words.sql, for every measure,
# with no index, with one that serves and with one that does not (the other
# form, too small a k, too high a threshold): search returns exactly the
# rows, scores and order of a scan with the measure, max_rows cuts that
# order, and the warning says which way it went. Names and values outside
# Latin-1 work; the refusals say why. (The joins: join.sh.)
#   search.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir search
server_with_functions "$dir" "$plugin_dir"
# Installed as by a client whose locale is not UTF-8: the names outside
# Latin-1 below must work all the same.
server_client "$dir" --default-character-set=latin1 <"$likeness_root/sql/index.sql"
sql() { server_client "$dir" --database=test --default-character-set=utf8mb4 -NB "$@"; }
sql <"$here/words.sql"
sql -e "DELETE FROM probes WHERE pid % 3 <> 0"

# The scan's answer: rows within the bound, best first. A measure over
# folded values is the _utf8 measure of the folds.
scan() {  # MEASURE BOUND VALUE_EXPRESSION [LIMIT]
  local m=$1 a=w.v b=$3
  case $m in *_folded) m=${m%_folded}_utf8 a="fold_utf8($a)" b="fold_utf8($b)" ;; esac
  local score="$m($a, $b)" within=">= $2" order=DESC
  case $m in editdistance*) score="${m}_bounded($a, $b, $2)" within="<= $2" order="" ;; esac
  echo "SELECT w.id, w.v, $score AS score FROM words w HAVING score $within ORDER BY score $order, w.id${4:+ LIMIT $4};"
}
# The way a call went, from its warning: index or scan.
way() { sed -n 's/^Warning\t1642\tlikeness\.search: \(through the index\|by a scan\).*/\1/p'; }

probes=$(sql -e "SELECT pid FROM probes ORDER BY pid")
check_measure() {  # MEASURE BOUND EXPECTED_WAY
  local m=$1 bound=$2 way_expected=$3 calls="" scans="" p
  for p in $probes; do
    calls+="CALL likeness.search('test', 'words', 'v', '$m', $bound, (SELECT v FROM probes WHERE pid = $p), NULL);
            CALL likeness.search('test', 'words', 'v', '$m', $bound, (SELECT v FROM probes WHERE pid = $p), 2);"
    scans+="$(scan "$m" "$bound" "(SELECT v FROM probes WHERE pid = $p)") $(scan "$m" "$bound" "(SELECT v FROM probes WHERE pid = $p)" 2)"
  done
  expect "$m within $bound: search against the scan" "$(sql -e "$scans")" "$(sql -e "$calls")"
  expect "$m within $bound: the way search went" "$way_expected" "$(sql -e "$calls SHOW WARNINGS" | way)"
}

# Each setup of indexes on words.v, then each measure with the way it must
# go: through the index only where one of its kind, form and bound serves.
while IFS='|' read -r setup cases; do
  sql -e "$setup"
  for c in $cases; do
    IFS=: read -r m bound served <<<"$c"
    check_measure "$m" "$bound" "$([ "$served" = index ] && echo "through the index" || echo "by a scan")"
  done
  sql -e "CALL likeness.drop_index('test', 'words', 'v')" 2>/dev/null || true
  sql -e "CALL likeness.drop_similarity_index('test', 'words', 'v')" 2>/dev/null || true
  echo "ok: ${setup:-no index}: search as the scan"
done <<'SETUPS'
|editdistance:1:scan jarowinkler_utf8:0.9:scan
CALL likeness.create_index('test', 'words', 'id', 'v', 2, 'bytes')|editdistance:2:index editdistance_dl:1:index editdistance_utf8:1:scan editdistance:3:scan
CALL likeness.create_index('test', 'words', 'id', 'v', 1, 'utf8')|editdistance_utf8:0:index editdistance_dl_utf8:1:index editdistance_dl_utf8:2:scan
CALL likeness.create_similarity_index('test', 'words', 'id', 'v', 0.85, 'bytes')|jarowinkler:0.85:index jaro:0.93:index jaro_utf8:0.9:scan jarowinkler:0.8:scan
CALL likeness.create_similarity_index('test', 'words', 'id', 'v', 0.8, 'utf8')|jarowinkler_utf8:0.8:index jaro_utf8:0.95:index jarowinkler:0.9:scan
|editdistance_folded:1:scan jarowinkler_folded:0.9:scan
CALL likeness.create_index('test', 'words', 'id', 'v', 2, 'folded')|editdistance_folded:2:index editdistance_dl_folded:1:index editdistance_utf8:1:scan
CALL likeness.create_similarity_index('test', 'words', 'id', 'v', 0.85, 'folded')|jarowinkler_folded:0.85:index jaro_folded:0.9:index jarowinkler_utf8:0.9:scan
SETUPS

# Names and values outside Latin-1, through an index and by a scan.
sql -e "CREATE TABLE \`люди\` (\`ид\` INT PRIMARY KEY, \`имя\` VARCHAR(20) CHARACTER SET utf8mb4);
  INSERT INTO \`люди\` VALUES (1, 'Łódź'), (2, 'Lodz'), (3, 'Łodź'), (4, 'Müller'), (5, 'Muller');
  CALL likeness.create_similarity_index('test', 'люди', 'ид', 'имя', 0.8, 'utf8')"
expect "search in Łódź through the index" $'ид\tимя\tscore\n1\tŁódź\t1\n3\tŁodź\t0.8333333333333334' \
  "$(server_client "$dir" --database=test --default-character-set=utf8mb4 -B -e \
     "CALL likeness.search('test', 'люди', 'имя', 'jaro_utf8', 0.8, 'Łódź', NULL)")"
expect "search for Müller by a scan" $'4\tMüller\t0\n5\tMuller\t1' \
  "$(sql -e "CALL likeness.search('test', 'люди', 'имя', 'editdistance_utf8', 1, 'Müller', NULL)")"
expect "a NULL value" "" "$(sql -e "CALL likeness.search('test', 'люди', 'имя', 'jaro_utf8', 0.85, NULL, NULL)")"
echo "ok: names and values outside Latin-1; a NULL value finds nothing"

# Refusals.
sql -e "CREATE TABLE two_keys (a INT, b INT, v TEXT, PRIMARY KEY (a, b))"
while IFS='|' read -r call message; do
  got=$( (sql -e "$call" 2>&1 || true) | tail -n 1 | sed 's/^ERROR 1644 (45000) at line 1: //')
  expect "$call" "$message" "$got"
done <<'CASES'
CALL likeness.search('test', 'words', 'v', 'soundex', 1, 'a', NULL)|likeness.search: measure must be one of editdistance, editdistance_dl, editdistance_utf8, editdistance_dl_utf8, jaro, jarowinkler, jaro_utf8, jarowinkler_utf8, editdistance_folded, editdistance_dl_folded, jaro_folded, jarowinkler_folded, not 'soundex'
CALL likeness.search('test', 'words', 'v', 'editdistance', 1.5, 'a', NULL)|likeness.search: the bound of editdistance is a whole number of edits from 0 up, not 1.5
CALL likeness.search('test', 'words', 'v', 'editdistance_dl', -1, 'a', NULL)|likeness.search: the bound of editdistance_dl is a whole number of edits from 0 up, not -1
CALL likeness.search('test', 'words', 'v', 'jaro', 1.2, 'a', NULL)|likeness.search: the bound of jaro is a threshold from 0 to 1, not 1.2
CALL likeness.search('test', 'words', 'v', 'jaro', 0.9, 'a', -1)|likeness.search: max_rows must be from 0 up, or NULL for all, not -1
CALL likeness.search('test', 'nope', 'v', 'jaro', 0.9, 'a', NULL)|likeness.search: no table test.nope
CALL likeness.search('test', 'words', 'nope', 'jaro', 0.9, 'a', NULL)|likeness.search: no column nope in test.words
CALL likeness.search('test', 'two_keys', 'v', 'jaro', 0.9, 'a', NULL)|likeness.search: test.two_keys has no single-column primary key
CASES
echo "ok: refusals say why"
expect_no_crash "$dir"
