// Index keys for "jarowinkler(a, b) >= threshold": signatures of the symbols
// two values must have in common.
//
// Why they are complete. Say jarowinkler(a, b) >= threshold, with lengths n
// and p, m common symbols, t transpositions and a common prefix of exactly
// L symbols (L at most 6).
// - Within the prefix, position i of either value matches position i of the
//   other: positions 0 to i - 1 took positions 0 to i - 1, so the lowest free
//   equal symbol in the window of i is at i. So m >= L, and the other m - L
//   common symbols of a lie after its prefix and were matched to distinct
//   positions after b's prefix holding the same symbols: the multisets X and
//   Y of the two values' symbols after the prefix share at least m - L.
// - The Jaro value of (m, t) never exceeds that of (m, 0), which grows with
//   m, and the raise by the prefix grows with the Jaro value but for a
//   rounding step or two. So the least m whose (m, 0), raised by L, comes
//   within 2^-40 of the threshold (least_common, computed with the measure's
//   own floating-point steps) bounds m from below, and X and Y share at
//   least o = least_common - L symbols: a value holds at most d = its length
//   - least_common symbols that the other lacks.
// - Number repeated symbols (a, a become a1, a2) so that the multisets are
//   sets, and sort them in one fixed order, rarest first. The shared
//   elements, in that order and cut short as soon as their weight (an
//   estimate of how rare they are together) reaches a family's bound or they
//   number a family's most, are what is left of either value's sorted
//   elements after deleting at most d of them before the cut; so every such
//   deletion, cut the same way, is a key, and both values have the shared
//   one. The key also holds L, the prefix and the pair of length classes, so
//   that both values cut with the same bound.
// - Families L of 0 to 3 are keyed that way. A common prefix of 4 or more
//   symbols is keyed by the first 4 symbols alone.
// - A value longer than kSimilarityKeysLongest symbols, and any pair it
//   belongs to, is keyed by L, the prefix and the class of its size in bytes
//   (a power of two): the lengths of a pair that may reach the threshold are
//   within a ratio that depends on L alone, bytes are 1 to 4 per unit, and a
//   long value has the keys of every class within that ratio (times 4 for
//   units) of its own, a value with a long partner within reach the key of
//   its own class.
// Since jaro never exceeds jarowinkler, the same keys serve it.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "algorithms.h"
#include "kernels.h"
#include "scratch.h"

using namespace likeness;

namespace {

constexpr unsigned kLongest = kSimilarityKeysLongest;
constexpr unsigned kPrefixKeyLength = 4;
// A length class of family L is a run of class_width[L] lengths.
constexpr unsigned kClassWidth[kSimilarityFamilies] = {1, 2, 2, 8};
// Weights are in tenths of a nat; a key's elements stop at the weight of
// its family, or at kMostKept elements.
constexpr unsigned kKeyWeight[kSimilarityFamilies] = {80, 50, 30, 20};
constexpr unsigned kMostKept = 6;
// A pair of classes whose values may lack D symbols of each other gets keys
// of up to most_kept(D) elements, as many as keep its keys per value within
// kMostPerClass; beyond kMostMissing, keys of the classes alone.
constexpr unsigned kMostPerClass = 64;
constexpr unsigned kMostMissing = 24;

constexpr unsigned choose(unsigned n, unsigned k) {
    unsigned long long c = 1;
    for (unsigned i = 1; i <= k; ++i) c = c * (n - k + i) / i;
    return static_cast<unsigned>(c);
}
constexpr unsigned most_kept(unsigned missing) {
    if (missing > kMostMissing) return 0;
    unsigned most = kMostKept;
    while (most > 1 && choose(most + missing, missing) > kMostPerClass) --most;
    return most;
}
// The most keys of a value: per family, one class of partners for every
// class width of lengths, each with at most kMostPerClass keys
// (cut_deletions), and one size-class key; a long value has fewer.
constexpr unsigned most_keys() {
    unsigned total = 1;  // the prefix
    for (unsigned w : kClassWidth) total += (kLongest / w + 1) * kMostPerClass + 1;
    return total;
}
static_assert(most_keys() <= kMaxSimilarityKeys, "the key buffer is too small");

// Within 2^-40 of the threshold counts as reaching it: more than the few
// units in the last place by which the raise can fail to grow with j.
constexpr double kRoundingMargin = 0x1p-40;

// Kinds of key; they are stored, so these values never change.
enum class Kind : std::uint64_t { kElements = 1, kSizeClass = 2, kPrefix = 3 };

// A 63-bit hash of a sequence of words, folded in one at a time.
struct KeyHash {
    std::uint64_t h = 0;
    KeyHash() = default;
    explicit KeyHash(Kind kind) : h(0x2545f4914f6cdd1du ^ static_cast<std::uint64_t>(kind)) {
        add(kSimilarityKeysVersion);
    }
    void add(std::uint64_t word) {
        h ^= word + 0x9e3779b97f4a7c15u;
        h *= 0xbf58476d1ce4e5b9u;
        h ^= h >> 31;
    }
    long long value() const {
        std::uint64_t v = h * 0x94d049bb133111ebu;
        v ^= v >> 29;
        return static_cast<long long>(v & 0x7fffffffffffffffu);
    }
};

// How rare a symbol is in text, in tenths of a nat: letters by their share
// of English names and words (either case), then space, digits, the rest of
// ASCII, other bytes and characters, lone bytes.
unsigned rarity(Unit symbol) {
    static constexpr unsigned char kLetters[26] = {5,  18, 14, 16, 6,  28, 18, 15, 7,
                                                   36, 22, 10, 15, 7,  9,  19, 43, 8,
                                                   8,  11, 15, 23, 24, 40, 22, 31};
    if (symbol >= kLoneByte) return 50;
    if (symbol >= 128) return 40;
    const Unit lower = symbol | 0x20;
    if (lower >= 'a' && lower <= 'z') return kLetters[lower - 'a'];
    if (symbol == ' ') return 10;
    if (symbol >= '0' && symbol <= '9') return 23;
    return 50;
}

// The n-th of a symbol (from 1) is rarer than the one before it.
unsigned element_weight(Unit symbol, unsigned occurrence) {
    return occurrence * (rarity(symbol) + 8) - 8;
}

struct Element {
    Unit symbol;
    unsigned occurrence, weight;
    bool operator<(const Element& o) const {
        if (weight != o.weight) return weight > o.weight;
        if (symbol != o.symbol) return symbol < o.symbol;
        return occurrence < o.occurrence;
    }
    std::uint64_t word() const { return std::uint64_t{symbol} << 8 | occurrence; }
};

// The symbols as elements, numbered and sorted rarest first.
unsigned elements_of(const Unit* symbols, unsigned n, Element* out) {
    for (unsigned i = 0; i < n; ++i) {
        unsigned occurrence = 1;
        for (unsigned j = 0; j < i; ++j) occurrence += symbols[j] == symbols[i];
        out[i] = {symbols[i], occurrence, element_weight(symbols[i], occurrence)};
    }
    std::sort(out, out + n);
    return n;
}

// Every sequence left of the elements by deleting at most `deletions` of
// them, cut when its weight reaches `weight` or it holds `most` elements,
// hashed after base: at most C(most + deletions, deletions) of them.
void cut_deletions(const Element* e, unsigned n, unsigned deletions, unsigned weight, unsigned most,
                   const KeyHash& base, long long* keys, unsigned& count) {
    struct Step {
        unsigned at, deleted, weight, kept;
        KeyHash hash;
    };
    Step stack[kLongest + 2];
    unsigned depth = 0;
    stack[depth++] = {0, 0, 0, 0, base};
    while (depth > 0) {
        const Step s = stack[--depth];
        if (s.weight >= weight || s.kept == most || s.at == n) {
            keys[count++] = s.hash.value();
            continue;
        }
        Step keep = {s.at + 1, s.deleted, s.weight + e[s.at].weight, s.kept + 1, s.hash};
        keep.hash.add(e[s.at].word());
        stack[depth++] = keep;
        if (s.deleted < deletions)
            stack[depth++] = {s.at + 1, s.deleted + 1, s.weight, s.kept, s.hash};
    }
}

// How a pair of length classes is keyed, by the most symbols a value of it
// may lack of the other.
struct Cut {
    unsigned weight, most;
};
Cut cut_for(unsigned family, unsigned spread) {
    const unsigned most = most_kept(spread);
    return {most == 0 ? 0 : kKeyWeight[family], most};
}

bool reaches(double threshold, unsigned long m, unsigned long n, unsigned long p, unsigned family) {
    return winkler(jaro_score(m, 0, n, p), static_cast<int>(family)) >= threshold - kRoundingMargin;
}

// The least m that reaches(), found by halving: once some m reaches the
// threshold itself, every larger one comes within the margin, so the m
// found, above one that does not reach, is at most any m that does.
unsigned least_common(double threshold, unsigned n, unsigned p, unsigned family) {
    unsigned low = std::max(family, 1u), high = std::min(n, p);
    if (n < family || p < family || high < low || !reaches(threshold, high, n, p, family)) return 0;
    while (low < high) {
        const unsigned middle = (low + high) / 2;
        if (reaches(threshold, middle, n, p, family)) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return high;
}

void prepare(SimilarityKeyPlan& plan, double threshold) {
    plan.threshold = threshold;
    for (unsigned L = 0; L < kSimilarityFamilies; ++L) {
        for (unsigned n = 0; n <= kLongest; ++n) {
            for (unsigned p = 0; p <= kLongest; ++p) {
                plan.least_common[L][n][p] =
                    static_cast<unsigned char>(least_common(threshold, n, p, L));
            }
        }
        const unsigned w = kClassWidth[L];
        for (unsigned c1 = 0; c1 <= kLongest / w; ++c1) {
            for (unsigned c2 = 0; c2 <= kLongest / w; ++c2) {
                unsigned spread = 0;
                for (unsigned n = c1 * w; n < (c1 + 1) * w && n <= kLongest; ++n) {
                    for (unsigned p = c2 * w; p < (c2 + 1) * w && p <= kLongest; ++p) {
                        const unsigned least = plan.least_common[L][n][p];
                        if (least != 0) spread = std::max({spread, n - least, p - least});
                    }
                }
                plan.spread[L][c1][c2] = static_cast<unsigned char>(spread);
            }
        }
        // With n the shorter length, m is at most n, and the Jaro value of
        // a pair at most (1 + n / p + 1) / 3: it reaches the family's share
        // of the threshold only while n / p >= 3 * share - 2.
        const double raise = winkler(0.0, static_cast<int>(L));
        const double share = (threshold - raise) / (1.0 - raise) - 1e-9;
        plan.length_ratio[L] = 1.0 / (3.0 * share - 2.0) * (1.0 + 1e-6) + 1e-6;
    }
}

unsigned size_class(double size) { return size < 2.0 ? 0 : static_cast<unsigned>(std::log2(size)); }

// A value of at most kLongest symbols: elements keys for families 0 to 3,
// and the size-class key of its own class where a longer partner may reach.
void short_value_keys(const Unit* symbols, unsigned n, unsigned long size,
                      const SimilarityKeyPlan& plan, long long* keys, unsigned& count) {
    for (unsigned L = 0; L < kSimilarityFamilies && L <= n; ++L) {
        Element elements[kLongest];
        const unsigned x = elements_of(symbols + L, n - L, elements);
        const unsigned w = kClassWidth[L], own = n / w;
        // The most symbols this value may hold beyond the common ones, by
        // the partner's length class.
        int deletions[kLongest + 1];
        std::fill(deletions, deletions + kLongest / w + 1, -1);
        for (unsigned p = std::max(L, 1u); p <= kLongest; ++p) {
            const unsigned least = plan.least_common[L][n][p];
            if (least != 0)
                deletions[p / w] = std::max(deletions[p / w], static_cast<int>(n - least));
        }
        for (unsigned c = 0; c <= kLongest / w; ++c) {
            if (deletions[c] < 0) continue;
            KeyHash base(Kind::kElements);
            base.add(L);
            for (unsigned i = 0; i < L; ++i) base.add(symbols[i]);
            base.add(std::min(own, c));
            base.add(std::max(own, c));
            const Cut cut = cut_for(L, plan.spread[L][std::min(own, c)][std::max(own, c)]);
            cut_deletions(elements, x, static_cast<unsigned>(deletions[c]), cut.weight, cut.most,
                          base, keys, count);
        }
        if (n * plan.length_ratio[L] >= kLongest + 1) {
            KeyHash key(Kind::kSizeClass);
            key.add(L);
            for (unsigned i = 0; i < L; ++i) key.add(symbols[i]);
            key.add(size_class(static_cast<double>(size)));
            keys[count++] = key.value();
        }
    }
}

// A value of more than kLongest symbols: the size-class keys of every class
// a partner within reach may have.
void long_value_keys(const Unit* prefix, unsigned long size, double slack,
                     const SimilarityKeyPlan& plan, long long* keys, unsigned& count) {
    for (unsigned L = 0; L < kSimilarityFamilies; ++L) {
        const double ratio = plan.length_ratio[L] * slack * 1.001;
        const unsigned lowest = size_class(std::floor(static_cast<double>(size) / ratio));
        const unsigned highest = size_class(std::ceil(static_cast<double>(size) * ratio));
        for (unsigned c = lowest; c <= highest; ++c) {
            KeyHash key(Kind::kSizeClass);
            key.add(L);
            for (unsigned i = 0; i < L; ++i) key.add(prefix[i]);
            key.add(c);
            keys[count++] = key.value();
        }
    }
}

// The keys of a value read as `n` of its first symbols (n above kLongest
// when it has more), `size` bytes in all, each symbol 1 to `slack` bytes.
unsigned keys_of(const Unit* symbols, unsigned n, unsigned long size, double slack,
                 double threshold, SimilarityKeyPlan& plan, long long* keys) {
    if (!threshold_supported(threshold) || n == 0) return 0;
    if (plan.threshold != threshold) prepare(plan, threshold);
    unsigned count = 0;
    if (n <= kLongest) {
        short_value_keys(symbols, n, size, plan, keys, count);
    } else {
        long_value_keys(symbols, size, slack, plan, keys, count);
    }
    if (n >= kPrefixKeyLength) {
        KeyHash key(Kind::kPrefix);
        for (unsigned i = 0; i < kPrefixKeyLength; ++i) key.add(symbols[i]);
        keys[count++] = key.value();
    }
    std::sort(keys, keys + count);
    return static_cast<unsigned>(std::unique(keys, keys + count) - keys);
}

}  // namespace

namespace likeness {

bool threshold_supported(double threshold) {
    return threshold >= kLeastKeysThreshold && threshold <= 1.0;
}

unsigned similarity_keys(const char* s, unsigned long len, double threshold,
                         SimilarityKeyPlan& plan, long long* keys) {
    Unit symbols[kLongest + 1];
    const auto n = static_cast<unsigned>(std::min<unsigned long>(len, kLongest + 1));
    for (unsigned i = 0; i < n; ++i) symbols[i] = bytes(s)[i];
    return keys_of(symbols, n, len, 1.0, threshold, plan, keys);
}

unsigned similarity_keys_utf8(const char* s, unsigned long len, double threshold,
                              SimilarityKeyPlan& plan, long long* keys) {
    Unit symbols[kLongest + 1];
    const auto n = static_cast<unsigned>(leading_units(s, len, symbols, kLongest + 1));
    return keys_of(symbols, n, len, 4.0, threshold, plan, keys);
}

}  // namespace likeness
