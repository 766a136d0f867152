#!/usr/bin/env bash
# What a query can send must not take the server down: 16 MB values and
# rounds of hundreds of thousands of calls of each function in one
# connection without the server's memory growing (kills: kill.sh). At the end the server has its first pid and its error log shows
# no crash.
#   hardening.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
source "$here/steady-memory.sh"
private_dir dir hard

server_with_functions "$dir" "$plugin_dir" --max-allowed-packet=64M
pid=$(cat "$dir/pid")
sql() { server_client "$dir" --database=test --default-character-set=utf8mb4 --max-allowed-packet=64M -NB "$@"; }
answers() {  # answers NAME EXPECTED QUERY
  expect "$1" "$2" "$(sql -e "$3")"
  echo "ok: $1"
}

# 16 MB on either side and on both.
big="REPEAT('ab', 8388608)"
answers "16 MB against 3 bytes" $'16777214\t16777214\t0' \
  "SELECT editdistance($big, 'abc'), editdistance_dl('abc', $big), jaro($big, 'xyz')"
answers "3 bytes against 16 MB" $'0.5555555952919854\t0.6444444775581358' \
  "SELECT jaro('abc', $big), jarowinkler('abc', $big)"
answers "16 MB on both sides, one edit" $'1\t1\t1\t1' \
  "SELECT editdistance($big, INSERT($big, 8000000, 1, 'x')), editdistance_dl($big, INSERT($big, 9, 2, 'ba')),
          jaro($big, $big), jarowinkler($big, $big) = 1"
answers "16 MB on both sides, two edits 16 million bytes apart" $'2\t2' \
  "SELECT editdistance($big, INSERT(INSERT($big, 100, 1, 'x'), 16000000, 1, 'y')),
          editdistance_dl(INSERT(INSERT($big, 100, 1, 'x'), 16000000, 1, 'y'), $big)"
answers "16 MB of bytes on both sides" "1" \
  "SELECT jaro(RANDOM_BYTES(1024), REPEAT(RANDOM_BYTES(1024), 16384)) BETWEEN 0 AND 1"
# Bounded distances stop at the bound: two unrelated 16 MB values within 2,
# and two 4 MiB values three edits apart within 8.
timed() {  # timed NAME EXPECTED QUERY
  local start
  start=$(date +%s.%N)
  answers "$@"
  echo "   in $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s"
}
four="REPEAT('abcdefgh', 524288)"
timed "16 MB unrelated, within 2" $'3\t3' \
  "SELECT editdistance_bounded(REPEAT('ab', 8388608), REPEAT('cd', 8388608), 2),
          editdistance_dl_bounded(REPEAT('ab', 8388608), REPEAT('dc', 8388608), 2)"
timed "4 MiB three edits apart, within 8" $'3\t3' \
  "SELECT editdistance_bounded($four, INSERT(INSERT(INSERT($four, 100, 1, 'z'), 2000000, 1, 'z'), 4000000, 1, 'z'), 8),
          editdistance_utf8_bounded($four, INSERT(INSERT(INSERT($four, 9, 0, 'é'), 3000000, 1, 'z'), 4000000, 1, ''), 8)"

# Characters: 16 MB of two-byte letters, and of letters of two alphabets.
wide="REPEAT(_utf8mb4'éß', 4194304)" mixed="REPEAT(_utf8mb4'éЖ', 4194304)"
answers "16 MB of characters, one edit" $'1\t1\t1\t1' \
  "SELECT editdistance_utf8($wide, INSERT($wide, 5000000, 1, 'x')), editdistance_dl_utf8($mixed, INSERT($mixed, 9, 1, 'x')),
          jaro_utf8($wide, $wide), jarowinkler_utf8($mixed, $mixed) = 1"
answers "16 MB of characters against 3, as the same shape in bytes" $'8388608\t1\t1' \
  "SELECT editdistance_utf8($mixed, 'abc'), jaro_utf8('éßé', $wide) = jaro('xyx', REPEAT('xy', 4194304)),
          jarowinkler_utf8($mixed, 'éЖЖ') = jarowinkler(REPEAT('xy', 4194304), 'xyy')"

# Rounds of calls in one connection: 250,000 short pairs per function, which
# need no scratch memory, and 5,000 pairs per function long enough that every
# measure takes its scratch from the heap; bytes and characters (letters of
# one alphabet, and of several). One warm-up round, then eight.
long1="REPEAT(UNHEX(SHA2(seq, 512)), 12)" long2="REPEAT(UNHEX(SHA2(seq + 1, 512)), 12)"
round="SELECT COUNT(*) FROM seq_1_to_250000 WHERE jaro(CONCAT('MARTHA', seq), 'MARHTA') > 2;
SELECT COUNT(*) FROM seq_1_to_250000 WHERE jarowinkler(CONCAT(seq, 'MARTHA'), 'MARHTA') > 2;
SELECT COUNT(*) FROM seq_1_to_250000 WHERE editdistance(CONCAT('MARTHA', seq), 'MARHTA') < 0;
SELECT COUNT(*) FROM seq_1_to_250000 WHERE editdistance_dl(REPEAT(seq, 9), 'MARHTA') < 0;
SELECT COUNT(*) FROM seq_1_to_5000 WHERE jaro($long1, $long2) > 2;
SELECT COUNT(*) FROM seq_1_to_5000 WHERE jarowinkler($long1, $long2) > 2;
SELECT COUNT(*) FROM seq_1_to_5000 WHERE editdistance($long1, $long2) < 0;
SELECT COUNT(*) FROM seq_1_to_5000 WHERE editdistance_dl($long1, $long2) < 0;
SELECT COUNT(*) FROM seq_1_to_250000 WHERE jarowinkler_utf8(CONCAT(seq, 'MÄRTHA'), 'MARHTÄ') > 2;
SELECT COUNT(*) FROM seq_1_to_250000 WHERE editdistance_utf8(CONCAT('Łódź', seq), 'Lodž') < 0;
SELECT COUNT(*) FROM seq_1_to_5000 WHERE jaro_utf8(CONVERT($long1 USING utf8mb4), CONVERT($long2 USING utf8mb4)) > 2;
SELECT COUNT(*) FROM seq_1_to_5000 WHERE editdistance_dl_utf8(REPEAT(CONCAT('Łódź', seq), 150), REPEAT('Lodž', 160)) < 0;"
{
  echo "$round"
  for r in $(seq 1 8); do
    echo "$round"
    echo "\\! awk '/^VmRSS/ { print \$2 }' /proc/$pid/status >>$dir/rss"
  done
} | sql >/dev/null
steady_memory "one connection" "$((7 * 6 * 255000))" $(cat "$dir/rss")

expect "the server's answer" 1 "$(sql -e 'SELECT 1')"
expect "the server's pid" "$pid" "$(cat "$dir/pid")"
expect_no_crash "$dir"
echo "ok: the server kept pid $pid throughout and its error log shows no crash"
