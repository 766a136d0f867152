// The join against a nested loop of the reference measures, over random
// tables, for every measure at bounds its keys serve and at bounds they do
// not: every pair within the bound once, with its score, whatever the size
// of the pieces, chunks and blocks; a link's pairs of a left and a right
// row; the components of those pairs, never split between chunks; and a
// statement killed at any of its questions to the server ends with no
// result.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "algorithms.h"
#include "join_reference.h"
#include "random_pairs.h"

// The server's side of a kill, as a test plays it: the statement is killed
// from the kill_at-th question on. Exported from the test program, where
// the library looks for MariaDB's own.
namespace {
long g_questions = 0;
long g_kill_at = 0;  // 0: never
}  // namespace
extern "C" {
__attribute__((visibility("default"))) void* _current_thd() { return &g_questions; }
__attribute__((visibility("default"))) int thd_kill_level(const void*) {
    ++g_questions;
    return g_kill_at != 0 && g_questions >= g_kill_at;
}
}

namespace {

using likeness::JoinLimits;
using likeness::JoinMeasure;
using likeness::JoinResult;

constexpr JoinMeasure kMeasures[] = {
    JoinMeasure::kJaro,     JoinMeasure::kJaroWinkler,     JoinMeasure::kLevenshtein,
    JoinMeasure::kOsa,      JoinMeasure::kJaroUtf8,        JoinMeasure::kJaroWinklerUtf8,
    JoinMeasure::kLevenshteinUtf8, JoinMeasure::kOsaUtf8};

bool utf8_measure(JoinMeasure m) { return static_cast<unsigned>(m) >= 4; }

// Bounds the keys serve and bounds they do not (every pair compared).
std::vector<double> bounds_of(JoinMeasure m) {
    if (join_reference::similarity(m)) return {0.8, 0.87, 0.95, 1, 0.6, 0};
    return {0, 1, 2, 3, 5};
}

struct Row {
    std::string id;
    std::optional<std::string> value;
    bool right = false;
};
using Table = std::vector<Row>;

// Words and near copies of them: edits and swaps, duplicates, empty values,
// NULLs; over a few letters, or over pieces of UTF-8 text, broken ones too.
Table random_table(std::uint64_t seed, std::size_t words, bool utf8) {
    Pairs random(seed);
    const Pieces letters = {"a", "b", "c", "d", "e"};
    const Pieces& alphabet = utf8 ? utf8_pieces() : letters;
    std::vector<std::optional<std::string>> values;
    for (std::size_t w = 0; w < words; ++w) {
        const Pieces word = random.random(alphabet, random.below(11));
        values.push_back(joined(word));
        for (std::size_t c = random.below(4); c > 0; --c) {
            values.push_back(joined(random.with_edits(word, alphabet, 1 + random.below(3))));
        }
        if (random.below(8) == 0) values.push_back(values[random.below(values.size())]);
        if (random.below(20) == 0) values.push_back(std::nullopt);
        if (random.below(30) == 0) values.push_back(std::string());
    }
    Table table;
    for (std::size_t i = 0; i < values.size(); ++i) table.push_back({std::to_string(i + 1), values[i]});
    return table;
}

// The raw elements of the JSON array that begins at text[at], and where it
// ends.
std::vector<std::string> elements(const std::string& text, std::size_t& at) {
    std::vector<std::string> out;
    int depth = 0;
    bool in_string = false;
    std::size_t begin = at + 1;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (in_string) {
            if (c == '\\') ++at;
            if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[') {
            ++depth;
        } else if ((c == ']' && depth == 1) || (c == ',' && depth == 1)) {
            if (at > begin) out.push_back(text.substr(begin, at - begin));
            begin = at + 1;
            if (c == ']') break;
        } else if (c == ']') {
            --depth;
        }
    }
    ++at;
    return out;
}

// A piece's parts: its cursor (empty after the last piece) and the chunks
// of its list ("pairs" or "clusters"), each a list of elements.
struct Piece {
    std::string next;
    std::map<std::string, std::vector<std::vector<std::string>>> lists;
};

Piece parse(const std::string& text) {
    Piece piece;
    EXPECT_EQ(text.rfind("{\"next\":", 0), 0u) << text;
    std::size_t at = 8;
    if (text.compare(at, 4, "null") == 0) {
        at += 4;
    } else {
        const std::size_t end = text.find('"', at + 1);
        piece.next = text.substr(at + 1, end - at - 1);
        at = end + 1;
    }
    while (at < text.size() && text[at] == ',') {
        const std::size_t colon = text.find(':', at);
        const std::string name = text.substr(at + 2, colon - at - 3);
        at = colon + 1;
        auto& chunks = piece.lists[name];
        for (const std::string& chunk : elements(text, at)) {
            std::size_t from = 0;
            chunks.push_back(elements(chunk, from));
        }
    }
    EXPECT_EQ(text.substr(at), "}") << text;
    return piece;
}

// Every piece of a join of the rows, or nullopt when it failed.
std::optional<std::vector<Piece>> run_join(JoinMeasure m, JoinResult r, double bound,
                                           const Table& rows, bool link,
                                           JoinLimits limits = {}, bool numeric_ids = true) {
    likeness::Join* join = likeness::join_create(m, r, numeric_ids, limits);
    std::vector<Piece> pieces;
    std::string cursor;
    bool failed = join == nullptr;
    while (!failed) {
        likeness::join_clear(*join);
        for (const Row& row : rows) {
            likeness::join_add(*join, {row.id.data(), row.id.size(),
                                       row.value ? row.value->data() : nullptr,
                                       row.value ? row.value->size() : 0, row.right, bound,
                                       cursor.data(), cursor.size(), link});
        }
        unsigned long length = 0;
        const char* text = likeness::join_piece(*join, &length);
        failed = text == nullptr;
        if (failed) break;
        pieces.push_back(parse(std::string(text, length)));
        cursor = pieces.back().next;
        if (cursor.empty()) break;
    }
    likeness::join_destroy(join);
    if (failed) return std::nullopt;
    return pieces;
}

// The reference's score of every pair of rows with values, by row.
struct Scores {
    std::vector<std::size_t> rows;  // the rows with a value
    std::vector<std::vector<join_reference::Score>> of;  // of[i][j], i < j (places in rows)
};

Scores reference_scores(JoinMeasure m, const Table& table) {
    Scores s;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].value) s.rows.push_back(i);
    }
    s.of.resize(s.rows.size());
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        for (std::size_t j = i + 1; j < s.rows.size(); ++j) {
            s.of[i].push_back(join_reference::score(m, *table[s.rows[i]].value,
                                                    *table[s.rows[j]].value, 2));
        }
    }
    return s;
}

bool within(JoinMeasure m, double score, double bound) {
    return join_reference::similarity(m) ? score >= bound : score <= bound;
}

std::string pair_text(const std::string& a, const std::string& b, JoinMeasure m, double score,
                      bool numeric_ids = true) {
    return "[" + join_reference::json_id(a, numeric_ids) + "," +
           join_reference::json_id(b, numeric_ids) + "," + join_reference::score_text(m, score) +
           "]";
}

// The nested loop's pairs, first the row that came first (in a link, the
// left row), sorted as text.
std::vector<std::string> expected_pairs(JoinMeasure m, const Table& table, const Scores& s,
                                        double bound, bool link) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        for (std::size_t j = i + 1; j < s.rows.size(); ++j) {
            const Row& a = table[s.rows[i]];
            const Row& b = table[s.rows[j]];
            const double score = s.of[i][j - i - 1].score;
            if ((link && a.right == b.right) || !within(m, score, bound)) continue;
            const bool a_first = !link || !a.right;
            out.push_back(pair_text(a_first ? a.id : b.id, a_first ? b.id : a.id, m, score));
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Chunks of the limit's rows, the last of a piece fewer.
std::vector<std::string> found_pairs(const std::vector<Piece>& pieces,
                                     const JoinLimits& limits = {}) {
    std::vector<std::string> out;
    for (const Piece& p : pieces) {
        const auto& chunks = p.lists.at("pairs");
        for (std::size_t c = 0; c < chunks.size(); ++c) {
            EXPECT_TRUE(chunks[c].size() == limits.chunk_rows ||
                        (c + 1 == chunks.size() && chunks[c].size() < limits.chunk_rows &&
                         !chunks[c].empty()))
                << "chunk " << c << " of " << chunks.size() << " has " << chunks[c].size() << " rows";
            out.insert(out.end(), chunks[c].begin(), chunks[c].end());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A partition of ids as sorted groups of sorted JSON ids.
using Partition = std::vector<std::vector<std::string>>;

Partition canonical(std::map<std::string, std::vector<std::string>> groups) {
    Partition out;
    for (auto& [label, ids] : groups) {
        std::sort(ids.begin(), ids.end());
        out.push_back(ids);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The components of the nested loop's pairs.
Partition expected_clusters(JoinMeasure m, const Table& table, const Scores& s, double bound) {
    std::vector<std::size_t> parent(s.rows.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&](std::size_t v) {
        while (parent[v] != v) v = parent[v] = parent[parent[v]];
        return v;
    };
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        for (std::size_t j = i + 1; j < s.rows.size(); ++j) {
            if (within(m, s.of[i][j - i - 1].score, bound)) parent[find(j)] = find(i);
        }
    }
    std::map<std::string, std::vector<std::string>> groups;
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
        groups[std::to_string(find(i))].push_back(join_reference::json_id(table[s.rows[i]].id, true));
    }
    return canonical(groups);
}

// The clusters of the pieces: a label of one chunk only, rows alone by
// themselves, each row once; chunks of whole components and the limit's
// rows or more, the last of a piece fewer.
Partition found_clusters(const std::vector<Piece>& pieces, const JoinLimits& limits = {}) {
    std::map<std::string, std::vector<std::string>> groups;
    std::map<std::string, std::size_t> chunk_of_label;
    std::size_t alone = 0, chunk_number = 0;
    for (const Piece& piece : pieces) {
        const auto& chunks = piece.lists.at("clusters");
        for (std::size_t c = 0; c < chunks.size(); ++c, ++chunk_number) {
            EXPECT_TRUE(c + 1 == chunks.size() || chunks[c].size() >= limits.chunk_rows)
                << "chunk " << c << " of " << chunks.size() << " has " << chunks[c].size() << " rows";
            for (const std::string& row : chunks[c]) {
                std::size_t at = 0;
                const std::vector<std::string> id_label = elements(row, at);
                if (id_label.size() == 1) {
                    groups["a" + std::to_string(alone++)].push_back(id_label[0]);
                    continue;
                }
                EXPECT_EQ(id_label.size(), 2u) << row;
                const auto placed = chunk_of_label.emplace(id_label[1], chunk_number);
                EXPECT_EQ(placed.first->second, chunk_number) << "component " << id_label[1] << " split";
                groups["c" + id_label[1]].push_back(id_label[0]);
            }
        }
    }
    for (const auto& [label, ids] : groups) {
        if (label[0] == 'c') {
            EXPECT_GE(ids.size(), 2u) << "a component of one row is alone";
        }
    }
    return canonical(groups);
}

// Limits that make every call of a few hundred rows many pieces and many
// blocks.
constexpr JoinLimits kTiny{2000, 12 * 400, 7};

TEST(Join, PairsAsTheNestedLoop) {
    for (JoinMeasure m : kMeasures) {
        const Table table = random_table(static_cast<unsigned>(m) + 1, 90, utf8_measure(m));
        const Scores scores = reference_scores(m, table);
        for (double bound : bounds_of(m)) {
            SCOPED_TRACE(testing::Message() << "measure " << static_cast<int>(m) << ", bound "
                                            << bound);
            const auto expected = expected_pairs(m, table, scores, bound, false);
            for (const JoinLimits& limits : {JoinLimits{}, kTiny}) {
                const auto pieces = run_join(m, JoinResult::kPairs, bound, table, false, limits);
                ASSERT_TRUE(pieces);
                EXPECT_EQ(found_pairs(*pieces, limits), expected);
                if (limits.piece_bytes == kTiny.piece_bytes && expected.size() > 100) {
                    EXPECT_GT(pieces->size(), 2u);
                }
            }
        }
    }
}

TEST(Join, LinkPairsALeftAndARightRow) {
    for (JoinMeasure m : kMeasures) {
        Table table = random_table(static_cast<unsigned>(m) + 20, 80, utf8_measure(m));
        // Sides unequal in size, so that either may be keyed; ids that
        // repeat across the sides.
        Pairs random(static_cast<unsigned>(m));
        for (Row& row : table) row.right = random.below(3) != 0;
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (table[i].right) table[i].id = std::to_string(i % 40);
        }
        const Scores scores = reference_scores(m, table);
        for (bool more_left : {false, true}) {
            if (more_left) {
                for (Row& row : table) row.right = !row.right;
            }
            const Scores& s = scores;
            for (double bound : bounds_of(m)) {
                SCOPED_TRACE(testing::Message() << "measure " << static_cast<int>(m) << ", bound "
                                                << bound << ", more left rows " << more_left);
                const auto expected = expected_pairs(m, table, s, bound, true);
                for (const JoinLimits& limits : {JoinLimits{}, kTiny}) {
                    const auto pieces = run_join(m, JoinResult::kPairs, bound, table, true, limits);
                    ASSERT_TRUE(pieces);
                    EXPECT_EQ(found_pairs(*pieces, limits), expected);
                }
            }
        }
    }
}

TEST(Join, ClustersAreTheComponentsOfThePairs) {
    for (JoinMeasure m : kMeasures) {
        const Table table = random_table(static_cast<unsigned>(m) + 40, 90, utf8_measure(m));
        const Scores scores = reference_scores(m, table);
        for (double bound : bounds_of(m)) {
            SCOPED_TRACE(testing::Message() << "measure " << static_cast<int>(m) << ", bound "
                                            << bound);
            const Partition expected = expected_clusters(m, table, scores, bound);
            for (const JoinLimits& limits : {JoinLimits{}, kTiny}) {
                const auto pieces = run_join(m, JoinResult::kClusters, bound, table, false, limits);
                ASSERT_TRUE(pieces);
                EXPECT_EQ(found_clusters(*pieces, limits), expected);
            }
        }
    }
}

// Tables of no rows, of one, of NULLs only, of one value many times, and
// of empty values, which no similarity above 0 finds alike.
TEST(Join, SmallAndDegenerateTables) {
    const std::optional<std::string> none;
    const struct {
        const char* name;
        std::vector<std::optional<std::string>> values;
    } cases[] = {
        {"empty", {}},
        {"one row", {"MARTHA"}},
        {"NULLs", {none, none}},
        {"one value", {"MARTHA", "MARTHA", "MARTHA", "MARTHA"}},
        {"empty values", {"", "", "a", ""}},
        {"NULL beside values", {"MARTHA", none, "MARHTA"}},
    };
    for (const auto& c : cases) {
        Table table;
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            table.push_back({std::to_string(i + 1), c.values[i]});
        }
        for (JoinMeasure m : kMeasures) {
            const Scores scores = reference_scores(m, table);
            for (double bound : bounds_of(m)) {
                SCOPED_TRACE(testing::Message() << c.name << ", measure " << static_cast<int>(m)
                                                << ", bound " << bound);
                const auto pairs = run_join(m, JoinResult::kPairs, bound, table, false);
                const auto clusters = run_join(m, JoinResult::kClusters, bound, table, false);
                ASSERT_TRUE(pairs && clusters);
                EXPECT_EQ(found_pairs(*pairs), expected_pairs(m, table, scores, bound, false));
                EXPECT_EQ(found_clusters(*clusters), expected_clusters(m, table, scores, bound));
            }
        }
    }
}

// Ids of any bytes come back as JSON strings that read back as the text
// they were given (a byte of no UTF-8 sequence as the character of its
// value); numbers as themselves.
TEST(Join, IdsAsGiven) {
    const Table table = {{"\"quoted\"", std::string("MARTHA")},
                         {"back\\slash", std::string("MARHTA")},
                         {std::string("nul\0tab\t", 8), std::string("MARTHA")},
                         {"M\xc3\xbcller \xff", std::string("MARTA")},
                         {"", std::string("MARHTA")}};
    const auto pieces =
        run_join(JoinMeasure::kJaroWinkler, JoinResult::kPairs, 0.9, table, false, {}, false);
    ASSERT_TRUE(pieces);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (std::size_t j = i + 1; j < table.size(); ++j) {
            const double s = join_reference::score(JoinMeasure::kJaroWinkler, *table[i].value,
                                                   *table[j].value, 0.9)
                                 .score;
            if (s >= 0.9) expected.push_back(pair_text(table[i].id, table[j].id,
                                                       JoinMeasure::kJaroWinkler, s, false));
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found_pairs(*pieces), expected);
    EXPECT_EQ(join_reference::json_id(std::string("nul\0tab\t", 8), false), "\"nul\\u0000tab\\u0009\"");
    EXPECT_EQ(join_reference::json_id("M\xc3\xbcller \xff", false), "\"M\xc3\xbcller \xc3\xbf\"");
}

// A cursor that no piece gave, and a bound that suits no measure, fail the
// join; a cursor past the end of the rows too.
TEST(Join, RefusesWhatNoPieceGave) {
    const Table table = random_table(7, 30, false);
    // Not four numbers; a probe past the rows; a block that ends where it
    // begins; a block past the values.
    for (const char* cursor : {"x", "1.2.3", "1.2.3.4.5", "-1.0.0.0", "0.0.999999.0", "5.5.5.0",
                               "999999.0.0.0"}) {
        likeness::Join* join =
            likeness::join_create(JoinMeasure::kLevenshtein, JoinResult::kPairs, true);
        ASSERT_NE(join, nullptr);
        for (const Row& row : table) {
            likeness::join_add(*join, {row.id.data(), row.id.size(),
                                       row.value ? row.value->data() : nullptr,
                                       row.value ? row.value->size() : 0, false, 1, cursor,
                                       std::strlen(cursor), false});
        }
        unsigned long length;
        EXPECT_EQ(likeness::join_piece(*join, &length), nullptr) << cursor;
        likeness::join_destroy(join);
    }
    for (double bound : {-1.0, 1.5, __builtin_nan("")}) {
        EXPECT_FALSE(run_join(JoinMeasure::kLevenshtein, JoinResult::kPairs, bound, table, false));
        EXPECT_FALSE(run_join(JoinMeasure::kJaro, JoinResult::kPairs, bound > 1 ? 1.5 : bound,
                              table, false));
    }
}

// Killed at its n-th question to the server, for every n a call asks, a
// join ends with no result and asks no more; killed at its first, it ends
// well before the whole call would (measured against the whole call in the
// same run, with room for a busy machine). The table is large enough that
// every phase asks.
TEST(Join, StopsWhenKilledAtAnyQuestion) {
    Table table;
    Pairs random(99);
    for (std::size_t i = 0; i < 1500; ++i) {
        table.push_back({std::to_string(i), random.random("abcdefgh", 4 + random.below(9))});
    }
    const auto seconds = [](auto call) {
        const auto start = std::chrono::steady_clock::now();
        call();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (JoinResult r : {JoinResult::kPairs, JoinResult::kClusters}) {
        for (auto [m, bound] : {std::pair{JoinMeasure::kJaroWinkler, 0.8},
                                std::pair{JoinMeasure::kOsaUtf8, 3.0},
                                std::pair{JoinMeasure::kLevenshtein, 5.0},
                                std::pair{JoinMeasure::kJaro, 0.0}}) {
            SCOPED_TRACE(testing::Message() << "measure " << static_cast<int>(m) << ", result "
                                            << static_cast<int>(r));
            const JoinLimits limits{16 << 20, 12 << 16};
            g_kill_at = 0;
            g_questions = 0;
            std::optional<std::vector<Piece>> whole;
            const double whole_seconds =
                seconds([&] { whole = run_join(m, r, bound, table, false, limits); });
            ASSERT_TRUE(whole);
            const long questions = g_questions;
            ASSERT_GT(questions, 0);
            for (long n = 1; n <= questions; n += 1 + questions / 16) {
                g_questions = 0;
                g_kill_at = n;
                std::optional<std::vector<Piece>> killed;
                const double killed_seconds =
                    seconds([&] { killed = run_join(m, r, bound, table, false, limits); });
                EXPECT_FALSE(killed) << "killed at " << n;
                // The first question after the kill hears it; the pieces
                // that follow are never asked for.
                EXPECT_EQ(g_questions, n) << "killed at " << n;
                if (n == 1 && whole_seconds > 0.05) {
                    EXPECT_LT(killed_seconds, whole_seconds / 2) << "killed at its first question";
                }
            }
            g_kill_at = 0;
        }
    }
}

}  // namespace
