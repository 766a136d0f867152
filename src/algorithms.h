// The string measures behind the SQL functions: pure functions of two
// strings and their lengths. The byte measures compare raw 8-bit values, the
// _utf8 ones the units of UTF-8 text; only the given number of bytes is read
// and no terminating NUL is expected. Every call releases all of its scratch
// memory before it returns, and nothing is shared between calls, so any
// number of calls may run at once.
//
// Scratch memory that cannot be allocated never raises: the similarities then
// return NaN, the distances kDistanceFailed. Long calls inside a server stop
// when their statement is killed, and return the same failure values;
// report_kill() then tells the server.
#pragma once

// Returned by the distances when their scratch memory cannot be allocated or
// their statement is killed.
constexpr unsigned long kDistanceFailed = static_cast<unsigned long>(-1);

namespace likeness {

// Jaro similarity in [0, 1]: matching from both sides within a window of
// min(len1, len2) / 2 + 1, 0 unless both sides find the same number m of
// common bytes, transpositions t = (differing positions) / 2 rounded down,
// ((m / len1 + m / len2) + (m - t) / m) / 3 in that order.
double jaro(const char* s1, const char* s2, unsigned long len1, unsigned long len2);

// Jaro-Winkler similarity: the Jaro value j raised by the common prefix l
// (at most 6 bytes) as (1 - j) * (l * 0.1f) + j, with no threshold.
double jarowinkler(const char* s1, const char* s2, unsigned long len1, unsigned long len2);

// Levenshtein distance with unit costs.
unsigned long levenshtein(const char* s1, const char* s2, unsigned long len1, unsigned long len2);

// Optimal string alignment distance (restricted Damerau-Levenshtein): unit
// costs, adjacent transpositions, no substring edited twice.
unsigned long osa(const char* s1, const char* s2, unsigned long len1, unsigned long len2);

// One direction of the Jaro matching, written to common (room for len1
// bytes): the bytes of s1 that find an unused partner in s2 within the
// window (range back, range - 1 forward), in s1's order. Their count, or
// kDistanceFailed when scratch memory cannot be had. Never stopped by a kill.
unsigned long common_characters(const char* s1, const char* s2, unsigned long len1,
                                unsigned long len2, unsigned long range, char* common);

// After a measure failed: when the statement running this call was killed,
// raises the server's own error for that kill, so the statement fails as it
// does when the server notices the kill itself, and never succeeds with the
// failed row as NULL. Nothing is raised for a stop that the server treats as
// no error (LIMIT ROWS EXAMINED), for a statement that has an error already,
// nor outside MariaDB, where calls are never stopped.
void report_kill();

// The same measures over characters: each value is read as UTF-8 into units,
// a well-formed sequence being one unit (its code point) and a byte at which
// none begins a unit of its own, equal only to the same byte standing alone.
// Values without a well-formed multi-byte sequence give the byte measures'
// results.
double jaro_utf8(const char* s1, const char* s2, unsigned long len1, unsigned long len2);
double jarowinkler_utf8(const char* s1, const char* s2, unsigned long len1, unsigned long len2);
unsigned long levenshtein_utf8(const char* s1, const char* s2, unsigned long len1,
                               unsigned long len2);
unsigned long osa_utf8(const char* s1, const char* s2, unsigned long len1, unsigned long len2);

// The edit distances, over bytes or characters, when they are at most
// `bound`, else exactly bound + 1, in O(bound * n / 64) word steps after one
// linear pass: only the diagonals within reach of the bound are computed. A
// bound at least the longer length bounds nothing (and bound + 1 never
// overflows).
unsigned long levenshtein_bounded(const char* s1, const char* s2, unsigned long len1,
                                  unsigned long len2, unsigned long bound);
unsigned long osa_bounded(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                          unsigned long bound);
unsigned long levenshtein_utf8_bounded(const char* s1, const char* s2, unsigned long len1,
                                       unsigned long len2, unsigned long bound);
unsigned long osa_utf8_bounded(const char* s1, const char* s2, unsigned long len1,
                               unsigned long len2, unsigned long bound);

// The index keys of a value for "within k edits", k from 0 to
// kMaxKeysBound, in a version of keys (1 or 2): distinct 64-bit hashes in
// ascending order, at most kMaxKeys of them, written to keys; returns their
// count. Whenever osa(a, b) <= k (and so whenever levenshtein(a, b) <= k),
// the keys of a and of b for k in one version share an element. Version 1
// keys are non-negative, version 2 keys negative. Only the first 16 symbols
// are read, so the work is bounded whatever the length. Over bytes, or over
// the units of the _utf8 measures, where a lone byte never hashes like a
// character. Keys are stored in side tables: what a version returns never
// changes.
constexpr unsigned kMaxKeysBound = 3;
constexpr unsigned kNewestKeysVersion = 2;
constexpr unsigned kMaxKeys = 1 + 9 + 36 + 84;  // deletions of up to 3 of 9 symbols
bool keys_version_supported(long long version);
unsigned deletion_keys(const char* s, unsigned long len, unsigned k, unsigned version,
                       long long* keys);
unsigned deletion_keys_utf8(const char* s, unsigned long len, unsigned k, unsigned version,
                            long long* keys);

// The index keys of a value for "jarowinkler at least threshold", for a
// threshold from kLeastKeysThreshold to 1: distinct 63-bit hashes in
// ascending order, at most kMaxSimilarityKeys of them, written to keys;
// returns their count. Whenever jarowinkler(a, b) >= threshold (and so
// whenever jaro(a, b) >= threshold), the keys of a and of b for that
// threshold share an element. Values of up to kSimilarityKeysLongest symbols
// are keyed by the symbols they hold, longer ones by their first symbols and
// the class of their length alone; only the first kSimilarityKeysLongest + 1
// symbols are read. Over bytes, or over the units of the _utf8 measures.
//
// What the keys of one threshold share is worked out once per threshold, in
// a SimilarityKeyPlan the caller keeps across calls (a call with another
// threshold works it out anew).
constexpr double kLeastKeysThreshold = 0.8;
constexpr unsigned kSimilarityKeysVersion = 1;
constexpr unsigned kSimilarityKeysLongest = 40;
constexpr unsigned kSimilarityFamilies = 4;  // common prefixes of 0 to 3 symbols
constexpr unsigned kMaxSimilarityKeys = 5800;
struct SimilarityKeyPlan {
    double threshold = -1;
    // The fewest common symbols with which a pair of lengths n and p (up to
    // kSimilarityKeysLongest) and a common prefix of exactly L symbols may
    // reach the threshold: least_common[L][n][p], 0 when none may.
    unsigned char least_common[kSimilarityFamilies][kSimilarityKeysLongest + 1]
                              [kSimilarityKeysLongest + 1];
    // For each pair of length classes of family L, the most symbols that a
    // value of a pair in them may hold beyond the common ones.
    unsigned char spread[kSimilarityFamilies][kSimilarityKeysLongest + 1]
                        [kSimilarityKeysLongest + 1];
    // The largest ratio of two lengths that may reach the threshold with a
    // common prefix of exactly L symbols, with a margin.
    double length_ratio[kSimilarityFamilies];
};
bool threshold_supported(double threshold);
unsigned similarity_keys(const char* s, unsigned long len, double threshold,
                         SimilarityKeyPlan& plan, long long* keys);
unsigned similarity_keys_utf8(const char* s, unsigned long len, double threshold,
                              SimilarityKeyPlan& plan, long long* keys);

// A value as matching should see it: its compatibility decomposition
// (NFKD), case-folded (full folding: 'ß' is "ss"), decomposed again; Latin
// letters without a decomposition transliterated to ASCII ('ł' is 'l', 'æ'
// "ae"; letters only, so Latin punctuation stays); combining marks removed
// where they follow a Latin or Greek letter, default-ignorable and format
// characters dropped, each run of white space one space and none at either
// end; then composed (NFC). Other scripts keep their letters and marks,
// case-folded. A byte at which no well-formed UTF-8 sequence begins stays
// as it is, where it is. Folding a fold changes nothing. By ICU's tables,
// through a Folding the caller keeps for a statement (nullptr when ICU's
// data or memory cannot be had): its result is the value itself when
// folding changes nothing (ASCII without capitals or stray spaces), else in
// the folding's buffer until the next call; nullptr when memory cannot be
// had or the statement was killed.
struct Folding;
Folding* folding_create();
void folding_destroy(Folding* folding);
const char* fold_utf8(Folding& folding, const char* s, unsigned long len, unsigned long* length);

// A similarity join over the rows of a statement: every pair of rows whose
// values are within a bound by a measure, each pair once, or the connected
// components of those pairs (single linkage). Candidates are the pairs of
// values that share an index key of the bound (the edit-distance keys of the
// newest version for k up to kMaxKeysBound, the similarity keys for a
// threshold from kLeastKeysThreshold), kept only when the measure itself is
// within the bound; for other bounds every pair of values is compared.
// Equal values are keyed and compared once. Rows come from one table, or
// from two told apart by their side (a link: only pairs of a left and a
// right row). The result is JSON, in pieces of about kJoinPieceBytes at most:
//   {"next":CURSOR,"pairs":[CHUNK,...]}, CHUNK [[FIRST,SECOND,SCORE],...]
//   {"next":CURSOR,"clusters":[CHUNK,...]}, CHUNK [[ID,LABEL],[ID],...]
// CURSOR is null after the last piece, else the text to pass for the next
// one. A chunk holds kJoinChunkRows rows (the last fewer), and a chunk of
// clusters whole components, so more when a component is larger: a piece
// is kept as rows of a table, a chunk each, none of them a piece's size.
// The ids are written as given, as JSON numbers when the ids are numbers, else as
// JSON strings, each chunk in the order the rows came in. A pair of one
// table has first the row that came first, a pair of a link the left row;
// SCORE is the similarity or the distance. The rows of a component of more
// than one row share a LABEL and are never split between chunks; a row of
// no pair is alone, a component of its own. What a statement holds stays
// within about kJoinMemory beyond its rows: a join whose keys need more
// takes its values in blocks, each keyed and compared with every value
// before it and within it in turn.
enum class JoinMeasure : unsigned char {
    kJaro,
    kJaroWinkler,
    kLevenshtein,
    kOsa,
    kJaroUtf8,
    kJaroWinklerUtf8,
    kLevenshteinUtf8,
    kOsaUtf8
};
enum class JoinResult : unsigned char { kPairs, kClusters };
constexpr unsigned long kJoinPieceBytes = 128ul << 20;
constexpr unsigned long kJoinChunkRows = 100000;
constexpr unsigned long kJoinMemory = 1ul << 30;
// What a statement may hold: the server's join holds the defaults; the
// tests take pieces and blocks far smaller.
struct JoinLimits {
    unsigned long piece_bytes = kJoinPieceBytes;
    unsigned long memory = kJoinMemory;
    unsigned long chunk_rows = kJoinChunkRows;
};

struct Join;
// nullptr when its memory cannot be had.
Join* join_create(JoinMeasure measure, JoinResult result, bool numeric_ids,
                  JoinLimits limits = {});
void join_destroy(Join* join);
// Forgets the rows, for another statement or group.
void join_clear(Join& join);
// One row: its id and value (nullptr for NULL: the row takes no part), its
// side (0 the left, else the right; kept only for a link), and the call's
// bound (NaN for NULL), cursor (empty or nullptr for the first piece) and
// whether it links two sides, which the first row gives for all. A bound
// that does not suit the measure, a cursor that no piece gave, or memory
// that cannot be had fails the join.
struct JoinRow {
    const char* id;
    unsigned long id_len;
    const char* value;
    unsigned long value_len;
    bool right;
    double bound;
    const char* cursor;
    unsigned long cursor_len;
    bool link;
};
void join_add(Join& join, const JoinRow& row);
// The piece of the result from the cursor on; nullptr when the join failed,
// ran out of memory or its statement was killed. Valid until the next call.
const char* join_piece(Join& join, unsigned long* length);
// Whether a bound suits a measure: a threshold from 0 to 1, or a whole
// number of edits from 0 up.
bool join_bound_suits(JoinMeasure measure, double bound);
bool join_is_similarity(JoinMeasure measure);
}  // namespace likeness
