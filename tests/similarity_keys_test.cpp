// The similarity index keys: whenever jarowinkler(a, b) (by the reference)
// reaches a threshold, the keys of a and b for it share an element, over
// bytes and over characters, at thresholds across the range and at the very
// score of the pair; keys are distinct, ascending, non-negative and bounded
// in number, whatever the value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "agreement.h"
#include "algorithms.h"
#include "random_pairs.h"
#include "reference.h"

namespace {

using Keys = std::vector<long long>;
using KeysOf = unsigned (*)(const char*, unsigned long, double, likeness::SimilarityKeyPlan&,
                            long long*);

Keys keys(KeysOf of, const std::string& s, double threshold) {
    static likeness::SimilarityKeyPlan plan;
    Keys out(likeness::kMaxSimilarityKeys);
    out.resize(of(s.data(), s.size(), threshold, plan, out.data()));
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end()));
    EXPECT_EQ(std::adjacent_find(out.begin(), out.end()), out.end());
    EXPECT_TRUE(out.empty() || out.front() >= 0);
    return out;
}

bool share(const Keys& a, const Keys& b) {
    std::vector<long long> common;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
    return !common.empty();
}

const std::vector<std::string> kNames = {
    "MARTHA",   "DWAYNE",  "DIXON", "Anderson",  "Katherine", "Jeremiah", "Abe",
    "Mississippi", "Llanfairpwllgwyngyll", "Zbigniew", "Ng", "O", "Brown Smith"};

// Pairs near each other in the ways that reach high scores: typos, swaps,
// repeated symbols, shared prefixes of 0 to 7 symbols, lengths of 0 to 60
// (over the longest value keyed by its symbols), '#' and NUL, and partners
// far longer than the value (which reach 0.8 with a prefix of 4 symbols).
std::pair<std::string, std::string> near_pair(Pairs& pairs, int kind) {
    static const std::string alphabets[] = {"ab", std::string("a#\0", 3), "abcdefghijklmnopqrstuvwxyz"};
    const std::string& alphabet = alphabets[pairs.below(3)];
    std::string a;
    switch (kind % 4) {
        case 0:
            a = kNames[pairs.below(kNames.size())];
            break;
        case 1:
            a = pairs.random(alphabet, pairs.below(61));
            break;
        case 2:
            a = std::string(pairs.below(8), 'z') + pairs.random(alphabet, pairs.below(12));
            break;
        default:
            a = pairs.random(alphabet, 1 + pairs.below(9));
            return {a, a.substr(0, pairs.below(a.size() + 1)) +
                           pairs.random(alphabet, pairs.below(200))};
    }
    return {pairs.with_edits(a, alphabet, pairs.below(3)), pairs.with_edits(a, alphabet, pairs.below(4))};
}

// A pair reaching the threshold by the reference shares a key, and so does
// every pair at exactly its own score: the rounding of the score decides.
TEST(SimilarityKeys, PairsThatReachTheThresholdShareAKey) {
    Pairs pairs(41);
    const double thresholds[] = {0.8, 0.85, 0.8666, 0.9, 0.95, 1.0};
    unsigned reached = 0, at_score = 0;
    for (int n = 0; n < 24000; ++n) {
        const auto [a, b] = near_pair(pairs, n);
        const double score = reference::jarowinkler(a, b);
        const double threshold = thresholds[n % 6];
        if (score >= threshold || reference::jaro(a, b) >= threshold) {
            ++reached;
            ASSERT_TRUE(share(keys(likeness::similarity_keys, a, threshold),
                              keys(likeness::similarity_keys, b, threshold)))
                << threshold << ": " << shown(a) << " / " << shown(b);
        }
        if (likeness::threshold_supported(score)) {
            ++at_score;
            ASSERT_TRUE(share(keys(likeness::similarity_keys, a, score),
                              keys(likeness::similarity_keys, b, score)))
                << "at " << score << ": " << shown(a) << " / " << shown(b);
        }
    }
    EXPECT_GT(reached, 8000u);
    EXPECT_GT(at_score, 8000u);
    std::printf("%u pairs reached their threshold, %u were tried at their own score\n", reached, at_score);
}

TEST(SimilarityKeys, CharactersThatReachTheThresholdShareAKey) {
    Pairs pairs(42);
    Pieces alphabet = utf8_pieces();
    for (const auto& p : code_points(0x430, 6)) alphabet.push_back(p);
    unsigned reached = 0;
    for (int n = 0; n < 20000; ++n) {
        const Pieces base = pairs.random(alphabet, pairs.below(n % 5 == 0 ? 60 : 14));
        const std::string a = joined(pairs.with_edits(base, alphabet, pairs.below(3)));
        const std::string b = joined(pairs.with_edits(base, alphabet, pairs.below(3)));
        const double score = reference::jarowinkler(reference::units(a), reference::units(b));
        const double threshold = n % 2 ? 0.85 : score;
        if (score < threshold || !likeness::threshold_supported(threshold)) continue;
        ++reached;
        ASSERT_TRUE(share(keys(likeness::similarity_keys_utf8, a, threshold),
                          keys(likeness::similarity_keys_utf8, b, threshold)))
            << threshold << ": " << shown(a) << " / " << shown(b);
    }
    EXPECT_GT(reached, 3000u);
    std::printf("%u pairs of characters reached their threshold\n", reached);
}

// Cases that rest on one rounding or one rule: exactly 0.9 though the bound
// rearranged in doubles says less; a prefix of 6 against 10,000 more bytes
// (0.8667); long values whose sizes in bytes differ more than their lengths
// in characters; a lone byte and the character of its code point.
TEST(SimilarityKeys, BoundaryCases) {
    EXPECT_EQ(reference::jarowinkler("abcdefg", "xabcdefgyz"), 0.9);
    EXPECT_TRUE(share(keys(likeness::similarity_keys, "abcdefg", 0.9),
                      keys(likeness::similarity_keys, "xabcdefgyz", 0.9)));
    const std::string far = "abcdef" + std::string(10000, 'q');
    EXPECT_GE(reference::jarowinkler("abcdef", far), 0.8666);
    EXPECT_TRUE(share(keys(likeness::similarity_keys, "abcdef", 0.8666),
                      keys(likeness::similarity_keys, far, 0.8666)));
    const std::string ascii = "b" + std::string(169, 'a');
    std::string with_emoji = "c" + std::string(169, 'a');
    for (int i = 0; i < 60; ++i) with_emoji += utf8(0x1f600);
    EXPECT_GE(reference::jarowinkler(reference::units(ascii), reference::units(with_emoji)), 0.9);
    EXPECT_TRUE(share(keys(likeness::similarity_keys_utf8, ascii, 0.9),
                      keys(likeness::similarity_keys_utf8, with_emoji, 0.9)));
    EXPECT_FALSE(share(keys(likeness::similarity_keys_utf8, "\xe4", 0.9),
                       keys(likeness::similarity_keys_utf8, "\xc3\xa4", 0.9)));
    EXPECT_TRUE(keys(likeness::similarity_keys, "", 0.9).empty());
}

// However long the value or many its symbols, the keys stay within bound;
// unrelated values share none.
TEST(SimilarityKeys, BoundedAndSelective) {
    std::string common_letters;
    for (int i = 0; i < 40; ++i) common_letters += "eaoinrstl"[i % 9];
    for (double threshold : {0.8, 0.9, 1.0}) {
        for (const std::string& s : {common_letters, std::string(16 << 20, 'e'), std::string(41, 'x')}) {
            EXPECT_LE(keys(likeness::similarity_keys_utf8, s, threshold).size(),
                      likeness::kMaxSimilarityKeys);
        }
    }
    EXPECT_FALSE(share(keys(likeness::similarity_keys, "MARTHA", 0.9),
                       keys(likeness::similarity_keys, "DWAYNE", 0.9)));
    EXPECT_TRUE(share(keys(likeness::similarity_keys, "MARTHA", 0.9),
                      keys(likeness::similarity_keys, "MARHTA", 0.9)));
}

}  // namespace
