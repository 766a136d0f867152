# The tables of the benchmarks, the same on every run. Source it after
# private-server.sh, with sql() (a client of the server's database test,
# -NB) and dir (the server's directory) set.
#
#   random_names TABLE ROWS       names of 6 to 12 random capitals
#   similarity_tables ROWS        dict (the 36,705 lines of wamerican-huge
#                                 that match ^[A-Z][a-z]+$), jwnames (ROWS of
#                                 them with 0 to 2 typos) and firstlast
#                                 (ROWS / 10 "first last" pairs of them)
#   drawn_names TABLE ROWS TAG    ROWS names drawn as jwnames are, by the
#                                 hashes of TAG (after similarity_tables)

# Letters from a hash of the row and the position: independent, and the
# same on every run.
random_names() {  # TABLE ROWS
  hashed() { echo "CONV(SUBSTRING(MD5(CONCAT($1, ':', seq)), 1, 6), 16, 10)"; }
  local letters="" i
  for i in $(seq 1 12); do letters+="${letters:+, }CHAR(65 + $(hashed "$i") % 26)"; done
  sql -e "CREATE TABLE $1 (id INT PRIMARY KEY, name VARCHAR(12) NOT NULL) ENGINE=InnoDB;
    INSERT INTO $1 SELECT seq, LEFT(CONCAT($letters), 6 + $(hashed 0) % 7) FROM seq_1_to_$2"
}

# Names with typos. A typo, chosen by the hash h: a lower-case letter
# inserted, a letter deleted or replaced by a lower-case one, or two
# neighbours swapped, at a place the hash picks.
similarity_tables() {  # ROWS
  sql <<'SQL'
CREATE TABLE dict (id INT AUTO_INCREMENT PRIMARY KEY, word VARCHAR(60) NOT NULL) ENGINE=InnoDB;
CREATE FUNCTION h(tag VARCHAR(40), n BIGINT) RETURNS BIGINT DETERMINISTIC
  RETURN CONV(SUBSTRING(MD5(CONCAT(tag, ':', n)), 1, 12), 16, 10);
-- INSERT(s, p, 0, x) leaves s alone when p is past its end: an insertion
-- goes in by CONCAT.
CREATE FUNCTION typo(v VARCHAR(200), h BIGINT) RETURNS VARCHAR(200) DETERMINISTIC
  RETURN CASE
    WHEN h % 4 = 0 THEN CONCAT(LEFT(v, (h DIV 4) % (CHAR_LENGTH(v) + 1)), CHAR(97 + (h DIV 1024) % 26),
                               SUBSTRING(v, 1 + (h DIV 4) % (CHAR_LENGTH(v) + 1)))
    WHEN CHAR_LENGTH(v) = 0 THEN v
    WHEN h % 4 = 1 THEN INSERT(v, 1 + (h DIV 4) % GREATEST(CHAR_LENGTH(v), 1), 1, '')
    WHEN h % 4 = 2 THEN INSERT(v, 1 + (h DIV 4) % GREATEST(CHAR_LENGTH(v), 1), 1, CHAR(97 + (h DIV 1024) % 26))
    WHEN CHAR_LENGTH(v) = 1 THEN v
    ELSE INSERT(v, 1 + (h DIV 4) % GREATEST(CHAR_LENGTH(v) - 1, 1), 2,
                REVERSE(SUBSTRING(v, 1 + (h DIV 4) % GREATEST(CHAR_LENGTH(v) - 1, 1), 2))) END;
-- 0 to 2 typos, chosen by the hashes of tag and n.
CREATE FUNCTION typos(v VARCHAR(200), tag VARCHAR(40), n BIGINT) RETURNS VARCHAR(200) DETERMINISTIC
  RETURN CASE h(tag, n) % 3 WHEN 0 THEN v WHEN 1 THEN typo(v, h(CONCAT(tag, 'a'), n))
    ELSE typo(typo(v, h(CONCAT(tag, 'a'), n)), h(CONCAT(tag, 'b'), n)) END;
SQL
  LC_ALL=C grep -E '^[A-Z][a-z]+$' /usr/share/dict/american-english-huge >"$dir/names.txt"
  server_client "$dir" --database=test --local-infile=1 -e "SET GLOBAL local_infile = 1;
    LOAD DATA LOCAL INFILE '$dir/names.txt' INTO TABLE dict (word)"
  drawn_names jwnames "$1" row
  local words
  words=$(sql -e "SELECT COUNT(*) FROM dict")
  sql -e "CREATE TABLE firstlast (id INT PRIMARY KEY, name VARCHAR(160) NOT NULL) ENGINE=InnoDB;
    INSERT INTO firstlast SELECT seq, typos(CONCAT(f.word, ' ', l.word), 'row', seq) FROM seq_1_to_$(($1 / 10)) s
      JOIN dict f ON f.id = 1 + h('first', seq) % $words JOIN dict l ON l.id = 1 + h('last', seq) % $words"
  echo
  echo "$words words; jwnames: $(sql -e "SELECT COUNT(*), AVG(CHAR_LENGTH(name)) FROM jwnames" | tr '\t' ' ')" \
    "(rows, mean length); firstlast: $(sql -e "SELECT COUNT(*), AVG(CHAR_LENGTH(name)) FROM firstlast" | tr '\t' ' ')"
}

drawn_names() {  # TABLE ROWS TAG
  local words
  words=$(sql -e "SELECT COUNT(*) FROM dict")
  local word_tag=word
  [ "$3" = row ] || word_tag="$3-word"
  sql -e "CREATE TABLE $1 (id INT PRIMARY KEY, name VARCHAR(80) NOT NULL) ENGINE=InnoDB;
    INSERT INTO $1 SELECT seq, typos(d.word, '$3', seq) FROM seq_1_to_$2 s
      JOIN dict d ON d.id = 1 + h('$word_tag', seq) % $words"
}
