// The index keys: whenever two values are within k edits (optimal string
// alignment, by the reference), their keys for k in one version share an
// element; keys are distinct, ascending, of their version's sign and
// bounded in number, whatever the length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "algorithms.h"
#include "random_pairs.h"
#include "reference.h"

namespace {

using Keys = std::vector<long long>;
using KeysOf = unsigned (*)(const char*, unsigned long, unsigned, unsigned, long long*);
constexpr unsigned kVersions[] = {1, 2};

Keys keys(KeysOf of, const std::string& s, unsigned k, unsigned version) {
    Keys out(likeness::kMaxKeys);
    out.resize(of(s.data(), s.size(), k, version, out.data()));
    return out;
}

bool share(const Keys& a, const Keys& b) {
    std::vector<long long> common;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
    return !common.empty();
}

void expect_well_formed(const Keys& k, unsigned version) {
    ASSERT_FALSE(k.empty());
    ASSERT_LE(k.size(), likeness::kMaxKeys);
    ASSERT_TRUE(std::is_sorted(k.begin(), k.end()));
    ASSERT_EQ(std::adjacent_find(k.begin(), k.end()), k.end());
    if (version == 1) {
        ASSERT_GE(k.front(), 0);
    } else {
        ASSERT_LT(k.back(), 0);
    }
}

// Pairs within and beyond k edits of each other, from every length up to
// past the longest read, so that pairs straddle every boundary of the
// classes of lengths and values are shorter than k: every pair within k
// shares a key, over bytes and over characters, and near misses are counted
// so the test cannot pass by comparing only distant pairs.
TEST(Keys, ValuesWithinKEditsShareAKey) {
    Pairs pairs(31);
    const std::vector<std::string> alphabets = {"ab", "abcdefghijklmnopqrstuvwxyz",
                                                std::string("a#\0", 3)};
    for (unsigned version : kVersions) {
        for (unsigned k = 0; k <= likeness::kMaxKeysBound; ++k) {
            unsigned within = 0;
            for (const auto& alphabet : alphabets) {
                for (int n = 0; n < 4000; ++n) {
                    const std::string a = pairs.random(alphabet, n % 24);
                    const std::string b = pairs.with_edits(a, alphabet, pairs.below(k + 2));
                    const Keys ka = keys(likeness::deletion_keys, a, k, version);
                    const Keys kb = keys(likeness::deletion_keys, b, k, version);
                    expect_well_formed(ka, version);
                    if (reference::osa(a, b) > k) continue;
                    ++within;
                    ASSERT_TRUE(share(ka, kb))
                        << "version " << version << ", k " << k << ": "
                        << ::testing::PrintToString(a) << " / " << ::testing::PrintToString(b);
                }
            }
            EXPECT_GT(within, 4000u);
        }
    }
}

TEST(Keys, CharactersWithinKEditsShareAKey) {
    Pairs pairs(32);
    Pieces alphabet = utf8_pieces();
    for (const auto& p : code_points(0xe0, 4)) alphabet.push_back(p);
    for (unsigned version : kVersions) {
        for (unsigned k = 0; k <= likeness::kMaxKeysBound; ++k) {
            for (int n = 0; n < 4000; ++n) {
                const Pieces a = pairs.random(alphabet, n % 24);
                const Pieces b = pairs.with_edits(a, alphabet, pairs.below(k + 2));
                const std::string x = joined(a), y = joined(b);
                if (reference::osa(reference::units(x), reference::units(y)) > k) continue;
                ASSERT_TRUE(share(keys(likeness::deletion_keys_utf8, x, k, version),
                                  keys(likeness::deletion_keys_utf8, y, k, version)))
                    << "version " << version << ", k " << k << ": " << ::testing::PrintToString(x)
                    << " / " << ::testing::PrintToString(y);
            }
        }
    }
}

// Keys that share nothing: a lone byte and the character of that code
// point; values that differ in their first symbols by more than k; and, in
// version 2, values of one edit that its longer keys set apart, and values
// far apart in length with the same first symbols.
TEST(Keys, DistantValuesAndLoneBytesShareNoKey) {
    struct Case {
        const char* a;
        const char* b;
        unsigned k;
        bool version_one, version_two;
    };
    const std::vector<Case> cases = {{"\xe4", "\xc3\xa4", 0, false, false},
                                     {"MARTHA", "DUANEX", 1, false, false},
                                     {"MARTHA", "MARHTA", 1, true, true},
                                     {"ABCDEFGH", "ABCDEFXY", 1, true, false},
                                     {"ABCDEF", "ABCDEFGHIJKL", 1, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(share(keys(likeness::deletion_keys_utf8, c.a, c.k, 1),
                        keys(likeness::deletion_keys_utf8, c.b, c.k, 1)),
                  c.version_one);
        EXPECT_EQ(share(keys(likeness::deletion_keys_utf8, c.a, c.k, 2),
                        keys(likeness::deletion_keys_utf8, c.b, c.k, 2)),
                  c.version_two);
    }
}

// The empty value is within k edits of every value of up to k symbols, and
// a value of 16 MB has keys as bounded as a short one's.
TEST(Keys, EmptyAndLongValues) {
    for (unsigned version : kVersions) {
        for (unsigned k = 0; k <= likeness::kMaxKeysBound; ++k) {
            const Keys empty = keys(likeness::deletion_keys, "", k, version);
            EXPECT_EQ(empty.size(), 1u);
            EXPECT_TRUE(
                share(empty, keys(likeness::deletion_keys, std::string(k, 'z'), k, version)));
            const std::string big(16 << 20, 'q');
            expect_well_formed(keys(likeness::deletion_keys_utf8, big, k, version), version);
            EXPECT_TRUE(share(keys(likeness::deletion_keys, big, k, version),
                              keys(likeness::deletion_keys, big.substr(k), k, version)));
        }
    }
}

// The keys are stored in side tables: a digest of the keys of 4,000 fixed
// values, both forms, every k, as the first release computed them.
TEST(Keys, VersionOneKeysNeverChange) {
    const std::string symbols = std::string("ab\0\xc3\xa4\xe2\x82\xacMARTH", 14);
    std::uint64_t state = 1, digest = 0xcbf29ce484222325u;
    const auto next = [&state] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<unsigned>(state >> 33);
    };
    for (int n = 0; n < 4000; ++n) {
        std::string value;
        for (unsigned length = next() % 20; value.size() < length;) value += symbols[next() % 14];
        for (KeysOf of : {likeness::deletion_keys, likeness::deletion_keys_utf8}) {
            for (unsigned k = 0; k <= likeness::kMaxKeysBound; ++k) {
                for (long long key : keys(of, value, k, 1))
                    digest = (digest ^ key) * 0x100000001b3u;
            }
        }
    }
    EXPECT_EQ(digest, 16097992102045340690u);
}

}  // namespace
