// The index keys: whenever two values are within k edits (optimal string
// alignment, by the reference), their keys for k share an element; keys are
// distinct, ascending, non-negative and bounded in number, whatever the
// length.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "algorithms.h"
#include "random_pairs.h"
#include "reference.h"

namespace {

using Keys = std::vector<long long>;
using KeysOf = unsigned (*)(const char*, unsigned long, unsigned, long long*);

Keys keys(KeysOf of, const std::string& s, unsigned k) {
    Keys out(likeness::kMaxKeys);
    out.resize(of(s.data(), s.size(), k, out.data()));
    return out;
}

bool share(const Keys& a, const Keys& b) {
    std::vector<long long> common;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
    return !common.empty();
}

void expect_well_formed(const Keys& k) {
    ASSERT_FALSE(k.empty());
    ASSERT_LE(k.size(), likeness::kMaxKeys);
    ASSERT_TRUE(std::is_sorted(k.begin(), k.end()));
    ASSERT_EQ(std::adjacent_find(k.begin(), k.end()), k.end());
    ASSERT_GE(k.front(), 0);
}

// Pairs within and beyond k edits of each other: every pair within k shares
// a key, over bytes and over characters, and near misses are counted so the
// test cannot pass by comparing only distant pairs.
TEST(Keys, ValuesWithinKEditsShareAKey) {
    Pairs pairs(31);
    const std::vector<std::string> alphabets = {"ab", "abcdefghijklmnopqrstuvwxyz",
                                                std::string("a#\0", 3)};
    for (unsigned k = 0; k <= likeness::kMaxKeysBound; ++k) {
        unsigned within = 0;
        for (const auto& alphabet : alphabets) {
            for (int n = 0; n < 3000; ++n) {
                const std::string a = pairs.random(alphabet, pairs.below(16));
                const std::string b = pairs.with_edits(a, alphabet, pairs.below(k + 2));
                const Keys ka = keys(likeness::deletion_keys, a, k);
                const Keys kb = keys(likeness::deletion_keys, b, k);
                expect_well_formed(ka);
                if (reference::osa(a, b) > k) continue;
                ++within;
                ASSERT_TRUE(share(ka, kb)) << k << ": " << ::testing::PrintToString(a) << " / "
                                           << ::testing::PrintToString(b);
            }
        }
        EXPECT_GT(within, 3000u);
    }
}

TEST(Keys, CharactersWithinKEditsShareAKey) {
    Pairs pairs(32);
    Pieces alphabet = utf8_pieces();
    for (const auto& p : code_points(0xe0, 4)) alphabet.push_back(p);
    for (unsigned k = 0; k <= likeness::kMaxKeysBound; ++k) {
        for (int n = 0; n < 3000; ++n) {
            const Pieces a = pairs.random(alphabet, pairs.below(14));
            const Pieces b = pairs.with_edits(a, alphabet, pairs.below(k + 2));
            const std::string x = joined(a), y = joined(b);
            if (reference::osa(reference::units(x), reference::units(y)) > k) continue;
            ASSERT_TRUE(share(keys(likeness::deletion_keys_utf8, x, k),
                              keys(likeness::deletion_keys_utf8, y, k)))
                << k << ": " << ::testing::PrintToString(x) << " / " << ::testing::PrintToString(y);
        }
    }
}

// Keys that share nothing: a lone byte and the character of that code
// point; values that differ in their first symbols by more than k.
TEST(Keys, DistantValuesAndLoneBytesShareNoKey) {
    EXPECT_FALSE(share(keys(likeness::deletion_keys_utf8, "\xe4", 0),
                       keys(likeness::deletion_keys_utf8, "\xc3\xa4", 0)));
    EXPECT_FALSE(share(keys(likeness::deletion_keys, "MARTHA", 1),
                       keys(likeness::deletion_keys, "DUANEX", 1)));
    EXPECT_TRUE(share(keys(likeness::deletion_keys, "MARTHA", 1),
                      keys(likeness::deletion_keys, "MARHTA", 1)));
}

// The empty value is within k edits of every value of up to k symbols, and
// a value of 16 MB has keys as bounded as a short one's.
TEST(Keys, EmptyAndLongValues) {
    for (unsigned k = 0; k <= likeness::kMaxKeysBound; ++k) {
        const Keys empty = keys(likeness::deletion_keys, "", k);
        EXPECT_EQ(empty.size(), 1u);
        EXPECT_TRUE(share(empty, keys(likeness::deletion_keys, std::string(k, 'z'), k)));
        const std::string big(16 << 20, 'q');
        expect_well_formed(keys(likeness::deletion_keys_utf8, big, k));
        EXPECT_TRUE(share(keys(likeness::deletion_keys, big, k),
                          keys(likeness::deletion_keys, big.substr(k), k)));
    }
}

}  // namespace
