// Index keys for "within k edits": symmetric deletion keys of a bounded
// prefix.
//
// If the optimal string alignment distance of a and b is at most k, an
// optimal alignment leaves at most k symbols of each side unmatched (of a
// swapped pair, one stays matched), so their common subsequence c arises
// from either by at most k deletions. Deleting only within the first
// kKeyLength + k symbols still reaches the first kKeyLength symbols of c (or
// all of c, when it is shorter) from both sides. So the keys of a value are
// the first kKeyLength symbols of every string that deleting up to k of its
// first kKeyLength + k symbols leaves, hashed: two values within k edits
// share one. The Levenshtein distance is never below the optimal string
// alignment distance, so the same keys serve it.
#include <algorithm>
#include <cstdint>

#include "algorithms.h"
#include "kernels.h"
#include "scratch.h"

using namespace likeness;

namespace {

constexpr unsigned kKeyLength = 6;
constexpr unsigned kMostRead = kKeyLength + kMaxKeysBound;

// A 63-bit hash of a sequence of symbols; keys are stored, so this function
// never changes without a rebuild of every index (check_index tells).
long long key_hash(const Unit* symbols, unsigned n) {
    std::uint64_t h = 0x9e3779b97f4a7c15u ^ n;
    for (unsigned i = 0; i < n; ++i) {
        h ^= symbols[i];
        h *= 0xbf58476d1ce4e5b9u;
        h ^= h >> 31;
    }
    h *= 0x94d049bb133111ebu;
    h ^= h >> 29;
    return static_cast<long long>(h & 0x7fffffffffffffffu);
}

// Every deletion of up to k of the n symbols, truncated to kKeyLength:
// their distinct hashes, in ascending order.
unsigned keys_of(const Unit* symbols, unsigned n, unsigned k, long long* keys) {
    unsigned count = 0;
    for (unsigned deleted = 0; deleted < 1u << n; ++deleted) {
        if (static_cast<unsigned>(__builtin_popcount(deleted)) > k) continue;
        Unit kept[kMostRead];
        unsigned length = 0;
        for (unsigned i = 0; i < n && length < kKeyLength; ++i) {
            if ((deleted >> i & 1) == 0) kept[length++] = symbols[i];
        }
        keys[count++] = key_hash(kept, length);
    }
    std::sort(keys, keys + count);
    return static_cast<unsigned>(std::unique(keys, keys + count) - keys);
}

}  // namespace

namespace likeness {

unsigned deletion_keys(const char* s, unsigned long len, unsigned k, long long* keys) {
    const unsigned n = static_cast<unsigned>(std::min<unsigned long>(len, kKeyLength + k));
    Unit symbols[kMostRead];
    for (unsigned i = 0; i < n; ++i) symbols[i] = bytes(s)[i];
    return keys_of(symbols, n, k, keys);
}

unsigned deletion_keys_utf8(const char* s, unsigned long len, unsigned k, long long* keys) {
    Unit symbols[kMostRead];
    const auto n = static_cast<unsigned>(leading_units(s, len, symbols, kKeyLength + k));
    return keys_of(symbols, n, k, keys);
}

}  // namespace likeness
