#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "cpp_api.h"
#include "random_pairs.h"

namespace {

char* data(std::string& s) { return s.data(); }

double jaro(std::string a, std::string b) {
    return jaro_distance(data(a), data(b), a.size(), b.size());
}
double jw(std::string a, std::string b) {
    return jarowinkler_distance(data(a), data(b), a.size(), b.size());
}
int prefix(std::string a, std::string b) {
    return get_prefix_length(data(a), data(b), a.size(), b.size());
}
unsigned long lev(std::string a, std::string b) {
    return levenshteinDistance(data(a), data(b), a.size(), b.size());
}
unsigned long osa(std::string a, std::string b) {
    return damerauLevenshteinDistance(data(a), data(b), a.size(), b.size());
}

const std::string kANulB("a\0b", 3);
const std::string kNulAB("\0ab", 3);

struct SimilarityCase {
    std::string a, b;
    double jaro, jarowinkler;
};

// Exact doubles: EXPECT_EQ, not a tolerance, since callers rely on the last bit.
TEST(Similarity, KnownValuesToTheLastBit) {
    const std::vector<SimilarityCase> cases = {
        {"MARTHA", "MARHTA", 0.9444444444444445, 0.9611111113594638},
        {"DWAYNE", "DUANE", 0.8222222222222223, 0.8400000002649096},
        {"DIXON", "DICKSONX", 0.7666666666666666, 0.8133333340287208},
        {"ab", "ba", 0.8333333333333334, 0.8333333333333334},
        {"abc", "cba", 0.7777777777777777, 0.7777777777777777},
        {"ab", "bba", 0.0, 0.0},
        {"aa", "abba", 0.0, 0.10000000149011612},
        {"abcdefgh", "abcdefgx", 0.9166666666666666, 0.9666666674117247},
        {"CRATE", "TRACE", 0.8666666666666667, 0.8666666666666667},
        {"ab#", "ab#", 1.0, 1.0},
        {"", "", 0.0, 0.0},
        {"", "abc", 0.0, 0.0},
        {"x", "x", 1.0, 1.0},
        // '#' and NUL are ordinary bytes: a '#' never takes a used position,
        // and a NUL neither hides later bytes nor ends the common bytes.
        {"a#", "aa", 0.6666666666666666, 0.7000000004967053},
        {kANulB, kANulB, 1.0, 1.0},
        {kNulAB, kNulAB, 1.0, 1.0},
        {std::string("a\0c", 3), std::string("a\0d", 3), 0.7777777777777777, 0.822222222884496},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(jaro(c.a, c.b), c.jaro);
        EXPECT_EQ(jaro(c.b, c.a), c.jaro);
        EXPECT_EQ(jw(c.a, c.b), c.jarowinkler);
        EXPECT_EQ(jw(c.b, c.a), c.jarowinkler);
    }
}

TEST(Similarity, PrefixIsCappedAtSixAndComparesEveryByte) {
    EXPECT_EQ(prefix("MARTHA", "MARHTA"), 3);
    EXPECT_EQ(prefix("abcdefgh", "abcdefgx"), 6);
    EXPECT_EQ(prefix("abc", "abc"), 3);
    EXPECT_EQ(prefix("", "abc"), 0);
    EXPECT_EQ(prefix("xa", "ya"), 0);
    EXPECT_EQ(prefix(kANulB, kANulB), 3);
}

// Reads the common bytes up to the terminating NUL the result carries after them.
std::string common(std::string a, std::string b, unsigned long range) {
    char* c = get_common_characters(data(a), data(b), a.size(), b.size(), range);
    std::string out(c, a.size() + 1);
    delete[] c;
    return out;
}

TEST(Similarity, CommonCharactersAreTheMatchedBytesOfTheFirstString) {
    EXPECT_EQ(common("ab", "ba", 2), std::string("ab\0", 3));
    EXPECT_EQ(common("abc", "cba", 2), std::string("bc\0\0", 4));
    // The window reaches range positions back but only range - 1 forward.
    EXPECT_EQ(common("ab", "bba", 2), std::string("b\0\0", 3));
    EXPECT_EQ(common("bba", "ab", 2), std::string("ba\0\0", 4));
    // A '#' matches only a real '#', never a position another byte took.
    EXPECT_EQ(common("a#", "aa", 2), std::string("a\0\0", 3));
    EXPECT_EQ(common(kANulB, kANulB, 2), kANulB + std::string(1, '\0'));
    // A range beyond every length neither wraps nor reads outside the strings.
    EXPECT_EQ(common("ab", "ba", static_cast<unsigned long>(-1)), std::string("ab\0", 3));
}

struct DistanceCase {
    std::string a, b;
    unsigned long levenshtein, osa;
};

TEST(Distance, KnownValues) {
    const std::vector<DistanceCase> cases = {
        {"saturday", "sunday", 3, 3},
        {"abcd", "abdc", 2, 1},
        {"ca", "abc", 3, 3},  // a transposed pair is never edited again
        {"kitten", "sitting", 3, 3},
        {"", "", 0, 0},
        {"", "abc", 3, 3},
        {"ab", "ba", 2, 1},
        {"\xc3\xa9", "e", 2, 2},         // é is two bytes
        {"\xc3\xa9", "\xc3\xa8", 1, 1},  // two-byte characters sharing their first byte
        {kANulB, "ab", 1, 1},
        {"100", "1000", 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(lev(c.a, c.b), c.levenshtein);
        EXPECT_EQ(lev(c.b, c.a), c.levenshtein);
        EXPECT_EQ(osa(c.a, c.b), c.osa);
        EXPECT_EQ(osa(c.b, c.a), c.osa);
    }
}

// Long values that differ in a few places: every '#' (a byte the other value
// lacks) costs exactly one edit, so the distance is known without a table of
// 10 000 x 10 000 cells.
TEST(Distance, LongValuesWithFewEdits) {
    Pairs pairs(7);
    const std::string base = pairs.random("abcdefghijklmnopqrstuvwxyz", 10000);
    for (std::size_t edits : {1, 2, 31, 63, 64, 65, 100, 300}) {
        for (bool insert : {false, true}) {
            std::string edited = base;
            for (std::size_t e = 0; e < edits; ++e) {
                const std::size_t at = 1 + pairs.below(edited.size() - 2);
                if (insert) {
                    edited.insert(at, 1, '#');
                } else if (edited[at] != '#') {
                    edited[at] = '#';
                } else {
                    --e;
                }
            }
            SCOPED_TRACE(std::to_string(edits) + (insert ? " insertions" : " substitutions"));
            EXPECT_EQ(lev(base, edited), edits);
            EXPECT_EQ(osa(edited, base), edits);
        }
    }
}

TEST(Helpers, MinAndMax) {
    EXPECT_EQ(minval(3, -2), -2);
    EXPECT_EQ(minval(-2, 3), -2);
    EXPECT_EQ(maxval(3, -2), 3);
    EXPECT_EQ(maxval(-2, 3), 3);
    EXPECT_EQ(minimum(5, 7), 5ul);
    EXPECT_EQ(minimum(static_cast<unsigned long>(-1), 7), 7ul);
}

TEST(Properties, HoldOverRandomPairs) {
    Pairs pairs(20261208);
    for (const auto& alphabet : stress_alphabets()) {
        for (int n = 0; n < 1500; ++n) {
            const std::string a = pairs.random(alphabet, pairs.below(301));
            const std::string b = n % 3 == 0 ? a : pairs.random(alphabet, pairs.below(301));
            SCOPED_TRACE(::testing::PrintToString(a) + " / " + ::testing::PrintToString(b));
            const double j = jaro(a, b), w = jw(a, b);
            ASSERT_EQ(j, jaro(b, a));
            ASSERT_EQ(w, jw(b, a));
            ASSERT_GE(j, 0.0);
            ASSERT_LE(w, 1.0);
            ASSERT_GE(w, j);
            const unsigned long l = lev(a, b), o = osa(a, b);
            ASSERT_EQ(l, lev(b, a));
            ASSERT_EQ(o, osa(b, a));
            ASSERT_LE(o, l);
            ASSERT_LE(l, std::max(a.size(), b.size()));
            ASSERT_GE(l, std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
            if (a == b) {
                ASSERT_EQ(l, 0ul);
                ASSERT_EQ(o, 0ul);
                ASSERT_EQ(j, a.empty() ? 0.0 : 1.0);
                ASSERT_EQ(w, a.empty() ? 0.0 : 1.0);
            }
        }
    }
}

}  // namespace
