#include "algorithms.h"

#include <new>

namespace {

constexpr int kPrefixCap = 6;
// The prefix scale is the single-precision 0.1 widened to double
// (0.10000000149011612), not the double 0.1.
constexpr double kPrefixScale = static_cast<double>(0.1f);

const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

// The bytes of s1 that found a partner in s2, and how many they are: the
// count, not a terminating NUL, is the length, since NUL is an ordinary byte.
struct Common {
    char* bytes;  // len1 + 1 bytes from array new; nullptr if memory ran out
    unsigned long count;
};

// Window of position i: range positions back, range - 1 forward, clipped to
// [0, len2). Written so that no sum can wrap, whatever range the caller gives.
unsigned long window_start(unsigned long i, unsigned long range) {
    return i > range ? i - range : 0;
}
unsigned long window_end(unsigned long i, unsigned long range, unsigned long len2) {
    return range >= len2 || i >= len2 - range ? len2 : i + range;
}

Common find_common(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                   unsigned long range) {
    // Zero-filled, so every byte after the matched ones is NUL, not stale memory.
    char* common = new (std::nothrow) char[len1 + 1]();
    // Used positions are kept apart from the bytes, so every byte value,
    // '#' and NUL included, matches only an equal, unused byte.
    bool* used = new (std::nothrow) bool[len2]();
    if (common == nullptr || used == nullptr) {
        delete[] common;
        delete[] used;
        return {nullptr, 0};
    }
    const unsigned char* a = bytes(s1);
    const unsigned char* b = bytes(s2);
    unsigned long count = 0;
    for (unsigned long i = 0; i < len1; ++i) {
        const unsigned long end = window_end(i, range, len2);
        for (unsigned long k = window_start(i, range); k < end; ++k) {
            if (!used[k] && b[k] == a[i]) {
                used[k] = true;
                common[count++] = static_cast<char>(a[i]);
                break;
            }
        }
    }
    delete[] used;
    return {common, count};
}

unsigned long count_differing(const char* c1, const char* c2, unsigned long n) {
    unsigned long differing = 0;
    for (unsigned long p = 0; p < n; ++p) differing += c1[p] != c2[p];
    return differing;
}

// The floating-point steps in exactly this order; the last bit depends on it.
double jaro_score(unsigned long m, unsigned long t, unsigned long len1, unsigned long len2) {
    const double dm = static_cast<double>(m);
    const double a = dm / static_cast<double>(len1);
    const double b = dm / static_cast<double>(len2);
    const double s = a + b;
    const double d = static_cast<double>(m - t) / dm;
    return (s + d) / 3.0;
}

}  // namespace

char* get_common_characters(char* s1, char* s2, unsigned long len1, unsigned long len2,
                            unsigned long range) {
    return find_common(s1, s2, len1, len2, range).bytes;
}

double jaro_distance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    const unsigned long range = minimum(len1, len2) / 2 + 1;
    const Common c1 = find_common(s1, s2, len1, len2, range);
    const Common c2 = find_common(s2, s1, len2, len1, range);
    double result = 0.0;
    if (c1.bytes == nullptr || c2.bytes == nullptr) {
        result = __builtin_nan("");
    } else if (c1.count != 0 && c1.count == c2.count) {
        const unsigned long t = count_differing(c1.bytes, c2.bytes, c1.count) / 2;
        result = jaro_score(c1.count, t, len1, len2);
    }
    delete[] c1.bytes;
    delete[] c2.bytes;
    return result;
}

int get_prefix_length(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    const unsigned long n = minimum(kPrefixCap, minimum(len1, len2));
    for (unsigned long i = 0; i < n; ++i) {
        if (s1[i] != s2[i]) return static_cast<int>(i);
    }
    return static_cast<int>(n);
}

double jarowinkler_distance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    const double j = jaro_distance(s1, s2, len1, len2);
    const int l = get_prefix_length(s1, s2, len1, len2);
    const double x = l * kPrefixScale;
    const double y = (1.0 - j) * x;
    return y + j;
}

namespace {

// Both distances are symmetric, so the rows run over the shorter string and
// memory stays linear in it.
struct Ordered {
    const unsigned char* longer;
    const unsigned char* shorter;
    unsigned long long_len;
    unsigned long short_len;
};

Ordered order_by_length(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    if (len1 >= len2) return {bytes(s1), bytes(s2), len1, len2};
    return {bytes(s2), bytes(s1), len2, len1};
}

}  // namespace

unsigned long levenshteinDistance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    const Ordered o = order_by_length(s1, s2, len1, len2);
    unsigned long* row = new (std::nothrow) unsigned long[o.short_len + 1];
    if (row == nullptr) return kDistanceFailed;
    for (unsigned long j = 0; j <= o.short_len; ++j) row[j] = j;
    for (unsigned long i = 1; i <= o.long_len; ++i) {
        unsigned long diagonal = row[0];
        row[0] = i;
        for (unsigned long j = 1; j <= o.short_len; ++j) {
            const unsigned long above = row[j];
            const unsigned long cost = o.longer[i - 1] != o.shorter[j - 1];
            row[j] = minimum(minimum(above + 1, row[j - 1] + 1), diagonal + cost);
            diagonal = above;
        }
    }
    const unsigned long result = row[o.short_len];
    delete[] row;
    return result;
}

unsigned long damerauLevenshteinDistance(char* s1, char* s2, unsigned long len1,
                                         unsigned long len2) {
    const Ordered o = order_by_length(s1, s2, len1, len2);
    const unsigned long width = o.short_len + 1;
    // Three rows: the transposition reaches two rows back.
    unsigned long* rows = new (std::nothrow) unsigned long[3 * width];
    if (rows == nullptr) return kDistanceFailed;
    unsigned long* before = rows;
    unsigned long* previous = rows + width;
    unsigned long* current = rows + 2 * width;
    for (unsigned long j = 0; j < width; ++j) previous[j] = j;
    for (unsigned long i = 1; i <= o.long_len; ++i) {
        current[0] = i;
        for (unsigned long j = 1; j < width; ++j) {
            const unsigned long cost = o.longer[i - 1] != o.shorter[j - 1];
            unsigned long cell =
                minimum(minimum(previous[j] + 1, current[j - 1] + 1), previous[j - 1] + cost);
            if (i > 1 && j > 1 && o.longer[i - 1] == o.shorter[j - 2] &&
                o.longer[i - 2] == o.shorter[j - 1]) {
                cell = minimum(cell, before[j - 2] + cost);
            }
            current[j] = cell;
        }
        unsigned long* spare = before;
        before = previous;
        previous = current;
        current = spare;
    }
    const unsigned long result = previous[o.short_len];
    delete[] rows;
    return result;
}

int minval(int a, int b) { return a < b ? a : b; }
int maxval(int a, int b) { return a > b ? a : b; }
unsigned long minimum(unsigned long a, unsigned long b) { return a < b ? a : b; }
