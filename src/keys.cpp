// Index keys for "within k edits": symmetric deletion keys of a bounded
// prefix.
//
// If the optimal string alignment distance of a and b is at most k, an
// optimal alignment leaves at most k symbols of each side unmatched (of a
// swapped pair, one stays matched), so their common subsequence c arises
// from either by at most k deletions. Deleting only within the first K + k
// symbols still reaches the first K symbols of c (or all of c, when it is
// shorter) from both sides. So the keys of a value are the first K symbols
// of every string that deleting up to k of its first K + k symbols leaves,
// hashed: two values within k edits share one. The Levenshtein distance is
// never below the optimal string alignment distance, so the same keys serve
// it.
//
// Version 1 keys are cut to K = 6 symbols for every value. Version 2 sorts
// values into classes of lengths and cuts the keys of a class to a K of its
// own, longer for longer values, so that long values no longer meet only
// because their keys are cut short; each key holds its class, so values far
// apart in length never meet (within 0 or 1 edit: see kClasses). The
// lengths of two values within k edits differ by at most k, so a value of n
// symbols is keyed in the class of every length from n - k to n: both values
// of a pair have the keys of the shorter one's class. Version 2 keys have
// the sign bit set, so no key of one version equals one of the other and a
// side table can hold both while it moves from one version to the other.
#include <algorithm>
#include <cstdint>

#include "algorithms.h"
#include "kernels.h"
#include "scratch.h"

using namespace likeness;

namespace {

constexpr unsigned kVersionOneLength = 6;

// The classes of version 2 for a k: the first length of each class, and the
// length its keys are cut to. The last class holds every longer value.
struct Classes {
    unsigned count;
    unsigned first[4];
    unsigned key_length[4];
};
constexpr Classes kClasses[kMaxKeysBound + 1] = {
    {4, {0, 5, 10, 15}, {6, 7, 9, 10}},  // k = 0
    {4, {0, 5, 10, 15}, {6, 7, 9, 10}},  // k = 1
    // A lookup within 2 or 3 edits pays more for every key it reads than it
    // saves on candidates: over the words of a dictionary, classes of
    // lengths and longer keys made lookups slower. These k keep one class,
    // and so version 1's keys but for their tag and sign.
    {1, {0}, {6}},  // k = 2
    {1, {0}, {6}},  // k = 3
};

// The symbols version 2 reads for k: enough to tell the classes of every
// length apart and for its longest keys.
constexpr unsigned most_read(unsigned k) {
    const Classes& c = kClasses[k];
    return std::max(c.first[c.count - 1], *std::max_element(c.key_length, c.key_length + c.count)) +
           k;
}
constexpr unsigned kMostRead = std::max(
    {kVersionOneLength + kMaxKeysBound, most_read(0), most_read(1), most_read(2), most_read(3)});

// A value has the keys of two classes at most, each class being wider than
// k; no value has more keys than kMaxKeys.
constexpr unsigned choose(unsigned n, unsigned k) {
    return k == 0 ? 1 : choose(n - 1, k - 1) * n / k;
}
constexpr bool within_buffers() {
    for (unsigned k = 0; k <= kMaxKeysBound; ++k) {
        const Classes& c = kClasses[k];
        for (unsigned i = 0; i < c.count; ++i) {
            unsigned keys = 0;
            for (unsigned d = 0; d <= k; ++d) keys += choose(c.key_length[i] + k, d);
            if (keys * (c.count > 1 ? 2 : 1) > kMaxKeys ||
                (i > 0 && c.first[i] - c.first[i - 1] <= k))
                return false;
        }
    }
    return kMostRead == 16;
}
static_assert(within_buffers(), "the keys of a value must fit the buffers algorithms.h promises");

unsigned class_of(const Classes& classes, unsigned length) {
    unsigned c = 0;
    while (c + 1 < classes.count && length >= classes.first[c + 1]) ++c;
    return c;
}

// A 63-bit hash of a sequence of symbols and a tag (0 in version 1); keys
// are stored, so this function never changes without a rebuild of every
// index (check_index tells).
std::uint64_t key_hash(const Unit* symbols, unsigned n, std::uint64_t tag) {
    std::uint64_t h = 0x9e3779b97f4a7c15u ^ n ^ tag << 32;
    for (unsigned i = 0; i < n; ++i) {
        h ^= symbols[i];
        h *= 0xbf58476d1ce4e5b9u;
        h ^= h >> 31;
    }
    h *= 0x94d049bb133111ebu;
    h ^= h >> 29;
    return h & 0x7fffffffffffffffu;
}

// The first `cut` symbols of every deletion of up to k of the n symbols,
// hashed with tag and raised by `high`, appended at keys[count].
class Deletions {
  public:
    Deletions(const Unit* symbols, unsigned n, unsigned cut, std::uint64_t tag, std::uint64_t high,
              long long* keys, unsigned& count)
        : symbols_(symbols), n_(n), cut_(cut), tag_(tag), high_(high), keys_(keys), count_(count) {}

    void add(unsigned k) { keep_from(0, 0, k); }

  private:
    // Symbols before `at` are settled, `length` of them kept; up to `left`
    // more may go.
    void keep_from(unsigned at, unsigned length, unsigned left) {
        if (at == n_ || length == cut_) {
            keys_[count_++] = static_cast<long long>(key_hash(kept_, length, tag_) | high_);
            return;
        }
        if (left > 0) keep_from(at + 1, length, left - 1);
        kept_[length] = symbols_[at];
        keep_from(at + 1, length + 1, left);
    }

    const Unit* symbols_;
    unsigned n_, cut_;
    std::uint64_t tag_, high_;
    long long* keys_;
    unsigned& count_;
    Unit kept_[kMostRead];
};

unsigned sorted_distinct(long long* keys, unsigned count) {
    std::sort(keys, keys + count);
    return static_cast<unsigned>(std::unique(keys, keys + count) - keys);
}

// The symbols a version reads for k.
unsigned symbols_read(unsigned k, unsigned version) {
    return version == 1 ? kVersionOneLength + k : most_read(k);
}

// The keys of a value whose first n symbols (all of them, or
// symbols_read: beyond that every length is in the last class) are
// `symbols`.
unsigned keys_of(const Unit* symbols, unsigned n, unsigned k, unsigned version, long long* keys) {
    unsigned count = 0;
    if (version == 1) {
        Deletions(symbols, n, kVersionOneLength, 0, 0, keys, count).add(k);
        return sorted_distinct(keys, count);
    }
    const Classes& classes = kClasses[k];
    for (unsigned c = class_of(classes, n > k ? n - k : 0); c <= class_of(classes, n); ++c) {
        const unsigned cut = classes.key_length[c];
        Deletions(symbols, std::min(n, cut + k), cut, c + 1, 1ull << 63, keys, count).add(k);
    }
    return sorted_distinct(keys, count);
}

}  // namespace

namespace likeness {

bool keys_version_supported(long long version) {
    return version >= 1 && version <= kNewestKeysVersion;
}

unsigned deletion_keys(const char* s, unsigned long len, unsigned k, unsigned version,
                       long long* keys) {
    const unsigned n =
        static_cast<unsigned>(std::min<unsigned long>(len, symbols_read(k, version)));
    Unit symbols[kMostRead];
    for (unsigned i = 0; i < n; ++i) symbols[i] = bytes(s)[i];
    return keys_of(symbols, n, k, version, keys);
}

unsigned deletion_keys_utf8(const char* s, unsigned long len, unsigned k, unsigned version,
                            long long* keys) {
    Unit symbols[kMostRead];
    const auto n = static_cast<unsigned>(leading_units(s, len, symbols, symbols_read(k, version)));
    return keys_of(symbols, n, k, version, keys);
}

}  // namespace likeness
