// The library's kernels against the simple reference, bit for bit, over many
// thousands of pairs: single words and blocks, word boundaries, strings of
// very different lengths, shared prefixes and suffixes, the band tried first
// for long values, and the bytes '#' and NUL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agreement.h"
#include "algorithms.h"
#include "random_pairs.h"
#include "reference.h"

namespace {

const std::vector<std::string>& kAlphabets = stress_alphabets();

void expect_same_as_reference(const std::string& a, const std::string& b) {
    Checks checks;
    checks.ranges = {0, 3, 1ul << 40};
    ASSERT_EQ(first_disagreement(a, b, checks), "") << shown(a) << " / " << shown(b);
}

TEST(Differential, RandomAndRelatedPairsUpTo300Bytes) {
    Pairs pairs(1);
    for (const auto& alphabet : kAlphabets) {
        for (int n = 0; n < 1500; ++n) {
            const std::string a = pairs.random(alphabet, pairs.below(301));
            if (n % 2 == 0) {
                expect_same_as_reference(a, pairs.random(alphabet, pairs.below(301)));
            } else {
                expect_same_as_reference(a, pairs.edited(a, alphabet, 1 + pairs.below(10)));
            }
        }
    }
}

TEST(Differential, AroundWordBoundaries) {
    Pairs pairs(2);
    const std::size_t lengths[] = {1, 2, 31, 42, 43, 44, 63, 64, 65, 96, 127, 128, 129, 192};
    for (const auto& alphabet : kAlphabets) {
        for (std::size_t la : lengths) {
            for (std::size_t lb : lengths) {
                const std::string a = pairs.random(alphabet, la);
                expect_same_as_reference(a, pairs.random(alphabet, lb));
                std::string b = pairs.edited(a, alphabet, 7);
                b.resize(lb, alphabet[0]);
                expect_same_as_reference(a, b);
            }
        }
    }
}

TEST(Differential, LongAndLopsidedPairs) {
    Pairs pairs(3);
    for (const auto& alphabet : kAlphabets) {
        const std::string a = pairs.random(alphabet, 1000 + pairs.below(4001));
        expect_same_as_reference(a, pairs.edited(a, alphabet, 7));
        expect_same_as_reference(a, pairs.random(alphabet, 10));
        expect_same_as_reference(pairs.random(alphabet, 70), a);
        expect_same_as_reference(pairs.random(alphabet, 300), pairs.random(alphabet, 2000));
    }
}

TEST(Differential, PatternsOfManyBlocks) {
    Pairs pairs(5);
    for (const auto& alphabet : kAlphabets) {
        for (std::size_t len : {449, 512, 577, 640, 705, 1100}) {
            const std::string a = pairs.random(alphabet, len);
            expect_same_as_reference(a, pairs.edited(a, alphabet, 3 + pairs.below(20)));
            expect_same_as_reference(pairs.random(alphabet, len + pairs.below(200)), a);
        }
    }
}

TEST(Differential, RepeatedBytesAndSharedEnds) {
    Pairs pairs(4);
    for (const auto& alphabet : kAlphabets) {
        for (std::size_t len : {5, 64, 65, 200}) {
            const std::string same(len, alphabet.back());
            expect_same_as_reference(same, std::string(len / 2 + 1, alphabet.back()));
            expect_same_as_reference(same, pairs.edited(same, alphabet, 5));
            const std::string prefix = pairs.random(alphabet, len);
            const std::string suffix = pairs.random(alphabet, len);
            const std::string middle = pairs.random(alphabet, pairs.below(20));
            expect_same_as_reference(prefix + middle + suffix,
                                     prefix + pairs.edited(middle, alphabet, 2) + suffix);
            expect_same_as_reference(prefix + suffix, prefix + middle + suffix);
        }
    }
}

// Paths along the edge of the band: q symbols deleted at the start and q
// others appended at the end (or the other way round) keep the cheapest path
// on the diagonal q off the main one, the farthest a path of its cost can
// go, with adjacent swaps along the way so that transpositions happen there
// too, across block boundaries.
TEST(Differential, PathsAlongTheEdgeOfTheBand) {
    Pairs pairs(8);
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
    for (std::size_t len : {100, 300, 1500}) {
        for (std::size_t q : {1, 5, 30, 70}) {
            std::string shifted = pairs.random(alphabet, len);
            for (std::size_t p = 7; p + 1 < shifted.size(); p += 13) {
                std::swap(shifted[p], shifted[p + 1]);
            }
            const std::string deleted = pairs.random(alphabet, q) + shifted;
            const std::string appended = shifted + pairs.random(alphabet, q);
            expect_same_as_reference(deleted, appended);
            expect_same_as_reference(appended, deleted);
            expect_same_as_reference(deleted, appended + pairs.random(alphabet, q / 2));
        }
    }
    // A swap on the band's last diagonal, the edge with one edit to spare, at
    // the first row of a block: the band leaves the block above at that very
    // column.
    for (std::size_t block : {1, 2}) {
        for (std::size_t q : {3, 20}) {
            const std::string s = pairs.random(alphabet, 64 * block + 100);
            std::string swapped = s;
            std::swap(swapped[64 * block - 1], swapped[64 * block]);
            expect_same_as_reference(s + pairs.random(alphabet, q),
                                     pairs.random(alphabet, q) + swapped);
        }
    }
}

// Patterns of 128 blocks and more first go through the band of 64 diagonals
// around the main one, which is exact up to 64 edits and hands longer
// distances on to the blocks: pairs of 8 to 20 KiB with 3 to about 200 edits
// reach both. The reference takes about a second per 20 KiB pair; the
// sanitizer builds keep to the shorter pairs.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kLongestBandPair = 9000;
#else
constexpr std::size_t kLongestBandPair = 20480;
#endif

TEST(Differential, LongPairsThroughTheBand) {
    struct Case {
        std::size_t len, edits;
    };
    const Case cases[] = {{8200, 1},   {8300, 30},  {8500, 50},   {8800, 80},
                          {9000, 200}, {12000, 40}, {16384, 100}, {20480, 150}};
    const std::string alphabets[] = {"abcdefghijklmnopqrstuvwxyz", "acgt", kAlphabets[3]};
    Pairs pairs(6);
    unsigned long within = 0, beyond = 0;
    for (std::size_t c = 0; c < std::size(cases); ++c) {
        if (cases[c].len > kLongestBandPair) continue;
        const std::string& alphabet = alphabets[c % std::size(alphabets)];
        const std::string a = pairs.random(alphabet, cases[c].len);
        std::string b = pairs.with_edits(a, alphabet, cases[c].edits);
        // Different first and last bytes, so that no common prefix or suffix
        // shortens the pair below the band's length.
        b.front() = static_cast<char>(a.front() ^ 1);
        b.back() = static_cast<char>(a.back() ^ 1);
        Checks distances;
        distances.similarities = false;
        ASSERT_EQ(first_disagreement(a, b, distances), "")
            << cases[c].len << " bytes, " << cases[c].edits << " edits";
        const unsigned long d = likeness::levenshtein(a.data(), b.data(), a.size(), b.size());
        (d <= 64 ? within : beyond) += 1;
    }
    EXPECT_GT(within, 1ul);
    EXPECT_GT(beyond, 1ul);
}

// The measures over characters against the reference over code points; the
// similarities only when the reference reads the whole table.
void expect_characters_as_reference(const std::string& a, const std::string& b,
                                    unsigned long reach = ~0ul) {
    Checks checks;
    checks.bytes = false;
    checks.characters = true;
    checks.similarities = reach == ~0ul;
    checks.reach = reach;
    ASSERT_EQ(first_disagreement(a, b, checks), "") << shown(a) << " / " << shown(b);
}

TEST(DifferentialCharacters, WellFormedAndBrokenUtf8) {
    Pairs pairs(21);
    const Pieces& pieces = utf8_pieces();
    for (int n = 0; n < 3000; ++n) {
        const Pieces a = pairs.random(pieces, pairs.below(150));
        const Pieces b = n % 2 ? pairs.random(pieces, pairs.below(150))
                               : pairs.edited(a, pieces, 1 + pairs.below(10));
        expect_characters_as_reference(joined(a), joined(b));
    }
}

TEST(DifferentialCharacters, AroundWordBoundaries) {
    Pairs pairs(22);
    const Pieces accented = code_points(0xc0, 40);
    const std::size_t lengths[] = {1, 31, 63, 64, 65, 127, 128, 129, 200};
    for (std::size_t la : lengths) {
        for (std::size_t lb : lengths) {
            const Pieces a = pairs.random(accented, la);
            Pieces b = pairs.edited(a, accented, 7);
            b.resize(lb, accented[0]);
            expect_characters_as_reference(joined(a), joined(b));
            expect_characters_as_reference(joined(a), joined(pairs.random(utf8_pieces(), lb)));
        }
    }
}

// More distinct characters than fit in a byte: the kernels for wider
// symbols, with patterns of one word and of many blocks. Just past a byte,
// too: 150 characters beside the pieces of broken UTF-8, NUL and '#'.
TEST(DifferentialCharacters, MoreThan256DistinctCharacters) {
    Pairs pairs(23);
    Pieces cjk = code_points(0x4e00, 600);
    cjk.push_back("a");
    Pieces just_past = code_points(0x4e00, 150);
    just_past.insert(just_past.end(), utf8_pieces().begin(), utf8_pieces().end());
    for (const Pieces& alphabet : {cjk, just_past}) {
        for (std::size_t len : {40, 64, 300, 1000, 3000}) {
            const Pieces a = pairs.random(alphabet, len);
            expect_characters_as_reference(joined(a), joined(pairs.edited(a, alphabet, 7)));
            expect_characters_as_reference(joined(pairs.random(alphabet, 50)), joined(a));
            expect_characters_as_reference(joined(a), joined(pairs.random(alphabet, len + 20)));
        }
    }
}

TEST(DifferentialCharacters, LongPairsThroughTheBand) {
    Pairs pairs(24);
    for (const Pieces& alphabet : {code_points(0x430, 32), code_points(0x4e00, 600)}) {
        for (std::size_t edits : {20, 100}) {
            const Pieces a = pairs.random(alphabet, 8300);
            Pieces b = pairs.with_edits(a, alphabet, edits);
            b.front() = "\xe4";  // no common prefix or suffix
            b.back() = "\xe4";
            expect_characters_as_reference(joined(a), joined(b), 2 * (edits + 2));
        }
    }
}

}  // namespace
