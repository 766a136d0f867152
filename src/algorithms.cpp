#include "algorithms.h"

#include <algorithm>
#include <new>

namespace {

using Word = std::uint64_t;
constexpr unsigned long kWordBits = 64;

constexpr int kPrefixCap = 6;
// The prefix scale is the single-precision 0.1 widened to double
// (0.10000000149011612), not the double 0.1.
constexpr double kPrefixScale = static_cast<double>(0.1f);

const unsigned char* bytes(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

unsigned long words_for(unsigned long bits) { return (bits + kWordBits - 1) / kWordBits; }

// Scratch memory of a call: on the stack when it is small, else one array
// new, which fails as nullptr rather than an exception. Release with
// release_scratch.
constexpr unsigned long kStackScratchWords = 512;

Word* take_scratch(Word* stack, unsigned long words) {
    Word* scratch = words <= kStackScratchWords ? stack : new (std::nothrow) Word[words];
    if (scratch != nullptr) std::fill(scratch, scratch + words, Word{0});
    return scratch;
}

void release_scratch(Word* stack, Word* scratch) {
    if (scratch != stack) delete[] scratch;
}

// ---------------------------------------------------------------------------
// Jaro matching
//
// Position i of the scanning string looks at positions i - range to
// i + range - 1 of the searched string, clipped to it, and takes the lowest
// unused one holding an equal byte. Written so that no sum can wrap,
// whatever range the caller gives.
unsigned long window_start(unsigned long i, unsigned long range) {
    return i > range ? i - range : 0;
}
unsigned long window_end(unsigned long i, unsigned long range, unsigned long searched_len) {
    return range >= searched_len || i >= searched_len - range ? searched_len : i + range;
}

// How many leading bytes of a string can take part in the matching against
// another of length other: no window reaches past other + range.
unsigned long within_reach(unsigned long len, unsigned long other, unsigned long range) {
    return len > other && len - other > range ? other + range : len;
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

// Jaro from the common bytes each side found, in order: 0 unless both found
// the same non-zero number; t is half the positions at which they differ,
// rounded down.
double score_common(const unsigned char* common1, unsigned long m1, const unsigned char* common2,
                    unsigned long m2, unsigned long len1, unsigned long len2) {
    if (m1 == 0 || m1 != m2) return 0.0;
    unsigned long differing = 0;
    for (unsigned long p = 0; p < m1; ++p) differing += common1[p] != common2[p];
    return jaro_score(m1, differing / 2, len1, len2);
}

// Up to 64 bytes a side, with bit masks and no heap. pos1[c] and pos2[c]
// hold the positions of byte c in each string that the other side has not
// yet taken; position i of one string takes the lowest set bit of its byte's
// mask in the other within the window, and clears it. Keeping the unused
// positions per byte value leaves no chain of dependencies from one byte to
// the next but through equal bytes, and the two directions share the window
// and run side by side. Cost: O(n1 + n2) word operations.
double jaro_in_words(const unsigned char* a, const unsigned char* b, unsigned long n1,
                     unsigned long n2, unsigned long range, unsigned long len1,
                     unsigned long len2) {
    Word pos1[256], pos2[256];
    for (unsigned long i = 0; i < n1; ++i) pos1[a[i]] = pos2[a[i]] = 0;
    for (unsigned long k = 0; k < n2; ++k) pos1[b[k]] = pos2[b[k]] = 0;
    for (unsigned long i = 0; i < n1; ++i) pos1[a[i]] |= Word{1} << i;
    for (unsigned long k = 0; k < n2; ++k) pos2[b[k]] |= Word{1} << k;
    unsigned char common1[kWordBits], common2[kWordBits];
    unsigned long m1 = 0, m2 = 0;
    // Takes the lowest unused position of `byte` inside the window, if any.
    const auto take = [](Word& unused, Word window, unsigned char byte, unsigned char* common,
                         unsigned long& m) {
        const Word candidates = unused & window;
        unused ^= candidates & (~candidates + 1);
        common[m] = byte;
        m += candidates != 0;
    };
    Word window_end = (Word{1} << range) - 1;  // positions below i + range
    Word window_start = ~Word{0};              // positions from i - range on
    for (unsigned long i = 0; i < (n1 > n2 ? n1 : n2); ++i) {
        const Word window = window_end & window_start;
        if (i < n1) take(pos2[a[i]], window, a[i], common1, m1);
        if (i < n2) take(pos1[b[i]], window, b[i], common2, m2);
        window_end = (window_end << 1) | 1;
        window_start <<= static_cast<unsigned>(i >= range);
    }
    return score_common(common1, m1, common2, m2, len1, len2);
}

// Longer strings: each position of the searched string is chained to the
// next position holding the same byte. The windows only move forward, so the
// positions a byte value has used, or passed as out of reach, always form the
// head of its chain: one cursor per byte value finds the lowest unused
// position in amortised constant time. on_match(i) is called for each
// scanning position that finds a partner. Cost: O(scan_len + searched_len)
// time, one Index per searched byte of memory (next_same).
template <typename Index, typename OnMatch>
void match_by_chains(const unsigned char* scan, unsigned long scan_len,
                     const unsigned char* searched, unsigned long searched_len, unsigned long range,
                     Index* next_same, OnMatch on_match) {
    constexpr Index kNone = ~Index{0};
    Index cursor[256];
    for (unsigned long i = 0; i < scan_len; ++i) cursor[scan[i]] = kNone;
    for (unsigned long k = 0; k < searched_len; ++k) cursor[searched[k]] = kNone;
    for (unsigned long k = searched_len; k-- > 0;) {
        next_same[k] = cursor[searched[k]];
        cursor[searched[k]] = static_cast<Index>(k);
    }
    for (unsigned long i = 0; i < scan_len; ++i) {
        Index& p = cursor[scan[i]];
        const unsigned long lo = window_start(i, range);
        while (p != kNone && p < lo) p = next_same[p];
        if (p != kNone && p < window_end(i, range, searched_len)) {
            on_match(i);
            p = next_same[p];
        }
    }
}

// Positions fit in 32 bits for all but strings of 4 GiB and more.
bool fits_32_bits(unsigned long len) { return len < 0xffffffffUL; }

template <typename Index>
double jaro_by_chains(const unsigned char* a, const unsigned char* b, unsigned long n1,
                      unsigned long n2, unsigned long range, unsigned long len1,
                      unsigned long len2) {
    // The common bytes of both sides, then the chains of the searched string.
    const unsigned long common_words = words_for((n1 + n2) * 8);
    const unsigned long chain_words = words_for(std::max(n1, n2) * sizeof(Index) * 8);
    Word stack[kStackScratchWords];
    Word* scratch = take_scratch(stack, common_words + chain_words);
    if (scratch == nullptr) return __builtin_nan("");
    unsigned char* common1 = reinterpret_cast<unsigned char*>(scratch);
    unsigned char* common2 = common1 + n1;
    Index* next_same = reinterpret_cast<Index*>(scratch + common_words);
    unsigned long m1 = 0, m2 = 0;
    match_by_chains(a, n1, b, n2, range, next_same, [&](unsigned long i) { common1[m1++] = a[i]; });
    match_by_chains(b, n2, a, n1, range, next_same, [&](unsigned long k) { common2[m2++] = b[k]; });
    const double result = score_common(common1, m1, common2, m2, len1, len2);
    release_scratch(stack, scratch);
    return result;
}

}  // namespace

char* get_common_characters(char* s1, char* s2, unsigned long len1, unsigned long len2,
                            unsigned long range) {
    // Zero-filled, so every byte after the matched ones is NUL.
    char* common = new (std::nothrow) char[len1 + 1]();
    unsigned long* next_same = new (std::nothrow) unsigned long[len2];
    if (common == nullptr || next_same == nullptr) {
        delete[] common;
        delete[] next_same;
        return nullptr;
    }
    unsigned long count = 0;
    match_by_chains(bytes(s1), len1, bytes(s2), len2, range, next_same,
                    [&](unsigned long i) { common[count++] = s1[i]; });
    delete[] next_same;
    return common;
}

double jaro_distance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    if (len1 == 0 || len2 == 0) return 0.0;
    const unsigned long range = minimum(len1, len2) / 2 + 1;
    // No window reaches past the shorter length + range, so bytes beyond that
    // can neither match nor be matched; the score still uses the full lengths.
    const unsigned long n1 = within_reach(len1, len2, range);
    const unsigned long n2 = within_reach(len2, len1, range);
    const unsigned char* a = bytes(s1);
    const unsigned char* b = bytes(s2);
    const unsigned long longer = std::max(n1, n2);
    if (longer <= kWordBits) return jaro_in_words(a, b, n1, n2, range, len1, len2);
    if (fits_32_bits(longer)) {
        return jaro_by_chains<std::uint32_t>(a, b, n1, n2, range, len1, len2);
    }
    return jaro_by_chains<unsigned long>(a, b, n1, n2, range, len1, len2);
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

// ---------------------------------------------------------------------------
// Edit distances
//
// Myers' bit-vector algorithm (Myers 1999) in Hyyrö's formulation (Hyyrö
// 2001), with Hyyrö's transposition term for the optimal string alignment
// distance (Hyyrö 2003). Bit i of a vector stands for row i of the distance
// table, a position of the shorter string (the pattern); one text byte is
// one column. Per column: Pv/Mv hold the vertical +1/-1 differences, PM the
// pattern positions equal to the text byte (the match mask), D0 the cells
// equal to their upper-left neighbour, Ph/Mh the horizontal +1/-1
// differences; TR marks the cells a transposition brings down to their
// upper-left neighbour. The score follows the last row.
namespace {

// The two strings with their common prefix and suffix removed, the shorter
// as the pattern. Removing them changes neither distance.
struct Alignment {
    const unsigned char* pattern;
    unsigned long m;
    const unsigned char* text;
    unsigned long n;
};

Alignment trimmed(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    const unsigned char* a = bytes(s1);
    const unsigned char* b = bytes(s2);
    unsigned long shorter = minimum(len1, len2), prefix = 0, suffix = 0;
    while (prefix < shorter && a[prefix] == b[prefix]) ++prefix;
    shorter -= prefix;
    while (suffix < shorter && a[len1 - 1 - suffix] == b[len2 - 1 - suffix]) ++suffix;
    a += prefix;
    b += prefix;
    len1 -= prefix + suffix;
    len2 -= prefix + suffix;
    if (len1 <= len2) return {a, len1, b, len2};
    return {b, len2, a, len1};
}

// The state of one 64-row block of a column.
struct Block {
    Word Pv, Mv, D0;
};

// The horizontal differences crossing from one block into the next below it
// (hp for +1, hn for -1, each 0 or 1), and the transposition term's bit.
struct Carry {
    Word hp, hn, tr;
};

// One column of one block; `top` is the block's last row. At the table's
// top row the carry is hp = 1: row 0 grows by one per column.
template <bool kTranspositions>
inline void advance_block(Word PM, Word PM_previous, Block& b, Carry& c, unsigned top) {
    Word TR = 0;
    if (kTranspositions) {
        const Word unequal_before = ~b.D0 & PM;
        TR = ((unequal_before << 1) | c.tr) & PM_previous;
        c.tr = unequal_before >> 63;
    }
    // A -1 entering from above makes the first row's cell equal its
    // upper-left neighbour, and is the carry of the addition from below.
    const Word Eq = PM | c.hn;
    const Word D0 = (((Eq & b.Pv) + b.Pv) ^ b.Pv) | Eq | b.Mv | TR;
    // Ph = Mv | ~(D0 | Pv) and Mh = Pv & D0; the new Pv is built from ~Ph,
    // which is one step nearer D0 than Ph is on the critical path.
    const Word not_Ph = ~b.Mv & (D0 | b.Pv);
    const Word Mh = b.Pv & D0;
    const Word hp_out = (~not_Ph >> top) & 1, hn_out = (Mh >> top) & 1;
    const Word not_Ph_shifted = (not_Ph << 1) | (c.hp ^ 1);
    b.Mv = ~not_Ph_shifted & D0;
    b.Pv = ((Mh << 1) | c.hn) | (~D0 & not_Ph_shifted);
    if (kTranspositions) b.D0 = D0;
    c.hp = hp_out;
    c.hn = hn_out;
}

// Pattern of at most 64 bytes: one word, no heap. Cost: O(n) word operations.
template <bool kTranspositions>
unsigned long distance_in_word(const Alignment& s) {
    Word PM[256];
    for (unsigned long j = 0; j < s.n; ++j) PM[s.text[j]] = 0;
    for (unsigned long i = 0; i < s.m; ++i) PM[s.pattern[i]] = 0;
    for (unsigned long i = 0; i < s.m; ++i) PM[s.pattern[i]] |= Word{1} << i;
    Block b{~Word{0}, 0, 0};
    Word PM_previous = 0;
    const unsigned top = static_cast<unsigned>(s.m - 1);
    unsigned long score = s.m;
    for (unsigned long j = 0; j < s.n; ++j) {
        Carry c{1, 0, 0};
        const Word PM_j = PM[s.text[j]];
        advance_block<kTranspositions>(PM_j, PM_previous, b, c, top);
        score += c.hp - c.hn;
        PM_previous = PM_j;
    }
    return score;
}

// Longer patterns: blocks of 64 rows, the horizontal differences (and the
// transposition term's bit) carried from block to block down each column.
// Match masks are kept only for the byte values the pattern holds; the others
// share one all-zero mask. Cost: O(ceil(m / 64) * n) word operations; memory
// (distinct pattern bytes + 4) * ceil(m / 64) words, on the stack when small.
template <bool kTranspositions>
unsigned long distance_in_blocks(const Alignment& s) {
    const unsigned long words = words_for(s.m);
    unsigned long row_of[256];
    for (unsigned long j = 0; j < s.n; ++j) row_of[s.text[j]] = 0;
    for (unsigned long i = 0; i < s.m; ++i) row_of[s.pattern[i]] = 0;
    unsigned long rows = 1;
    for (unsigned long i = 0; i < s.m; ++i) {
        if (row_of[s.pattern[i]] == 0) row_of[s.pattern[i]] = rows++;
    }
    Word stack[kStackScratchWords];
    Word* scratch = take_scratch(stack, (rows + 3) * words);
    if (scratch == nullptr) return kDistanceFailed;
    Word* PM = scratch;
    Block* blocks = reinterpret_cast<Block*>(scratch + rows * words);
    for (unsigned long i = 0; i < s.m; ++i) {
        PM[row_of[s.pattern[i]] * words + i / kWordBits] |= Word{1} << i % kWordBits;
    }
    for (unsigned long w = 0; w < words; ++w) blocks[w].Pv = ~Word{0};
    const unsigned last_top = static_cast<unsigned>((s.m - 1) % kWordBits);
    const Word* PM_previous = PM;
    unsigned long score = s.m;
    for (unsigned long j = 0; j < s.n; ++j) {
        const Word* PM_j = PM + row_of[s.text[j]] * words;
        Carry c{1, 0, 0};
        for (unsigned long w = 0; w + 1 < words; ++w) {
            advance_block<kTranspositions>(PM_j[w], PM_previous[w], blocks[w], c, 63);
        }
        advance_block<kTranspositions>(PM_j[words - 1], PM_previous[words - 1], blocks[words - 1],
                                       c, last_top);
        score += c.hp - c.hn;
        PM_previous = PM_j;
    }
    release_scratch(stack, scratch);
    return score;
}

// Long near-equal strings first try the band of Ukkonen (1985): a path to
// the last cell of cost at most kBand never leaves the diagonals j - i in
// [lo, hi] below, so the table restricted to them, with the cells outside as
// infinite (kBand + 1), gives the exact distance whenever that is at most
// kBand, and more than kBand otherwise. Rows are indexed by diagonal; the
// transposition reaches the same diagonal two rows up. Cost: O(m * kBand)
// time at most, no heap, and it stops at the first row that lies wholly
// outside; tried only for patterns of kBandFirstWords blocks or more, where
// it costs little beside the full computation and saves nearly all of it for
// values that differ in few places.
constexpr unsigned long kBand = 64;
constexpr unsigned long kBandFirstWords = 128;

template <bool kTranspositions>
unsigned long distance_in_band(const Alignment& s) {
    constexpr unsigned long kOutside = kBand + 1;
    const long delta = static_cast<long>(s.n - s.m);
    if (s.n - s.m > kBand) return kOutside;
    const long lo = -(static_cast<long>(kBand) - delta) / 2;
    const long hi = delta + (static_cast<long>(kBand) - delta) / 2;
    const long n = static_cast<long>(s.n);
    unsigned long rows[3][kBand + 1];  // rows i - 2, i - 1, i, by diagonal d - lo
    unsigned long* before = rows[0];
    unsigned long* previous = rows[1];
    unsigned long* current = rows[2];
    for (long d = lo; d <= hi; ++d) {
        before[d - lo] = kOutside;
        previous[d - lo] = d >= 0 && d <= n ? static_cast<unsigned long>(d) : kOutside;
    }
    for (long i = 1; i <= static_cast<long>(s.m); ++i) {
        unsigned long row_minimum = kOutside;
        for (long d = lo; d <= hi; ++d) {
            const long j = i + d;
            unsigned long cell = kOutside;
            if (j == 0) {
                cell = static_cast<unsigned long>(i);
            } else if (j > 0 && j <= n) {
                const unsigned long cost = s.pattern[i - 1] != s.text[j - 1];
                const unsigned long up = d < hi ? previous[d + 1 - lo] : kOutside;
                const unsigned long left = d > lo ? current[d - 1 - lo] : kOutside;
                cell = minimum(minimum(up + 1, left + 1), previous[d - lo] + cost);
                if (kTranspositions && i > 1 && j > 1 && s.pattern[i - 1] == s.text[j - 2] &&
                    s.pattern[i - 2] == s.text[j - 1]) {
                    cell = minimum(cell, before[d - lo] + cost);
                }
            }
            current[d - lo] = minimum(cell, kOutside);
            row_minimum = minimum(row_minimum, cell);
        }
        // Every path crosses every row: once a whole row is out, so is the end.
        if (row_minimum >= kOutside) return kOutside;
        unsigned long* spare = before;
        before = previous;
        previous = current;
        current = spare;
    }
    return previous[delta - lo];
}

template <bool kTranspositions>
unsigned long edit_distance(const char* s1, const char* s2, unsigned long len1,
                            unsigned long len2) {
    const Alignment s = trimmed(s1, s2, len1, len2);
    if (s.m == 0) return s.n;
    // The word loop's cost is one dependent step per text byte, so when both
    // strings fit in a word the shorter one is the text.
    if (s.n <= kWordBits) return distance_in_word<kTranspositions>({s.text, s.n, s.pattern, s.m});
    if (s.m <= kWordBits) return distance_in_word<kTranspositions>(s);
    if (words_for(s.m) >= kBandFirstWords) {
        const unsigned long in_band = distance_in_band<kTranspositions>(s);
        if (in_band <= kBand) return in_band;
    }
    return distance_in_blocks<kTranspositions>(s);
}

}  // namespace

unsigned long levenshteinDistance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    return edit_distance<false>(s1, s2, len1, len2);
}

unsigned long damerauLevenshteinDistance(char* s1, char* s2, unsigned long len1,
                                         unsigned long len2) {
    return edit_distance<true>(s1, s2, len1, len2);
}

int minval(int a, int b) { return a < b ? a : b; }
int maxval(int a, int b) { return a > b ? a : b; }
unsigned long minimum(unsigned long a, unsigned long b) { return a < b ? a : b; }
