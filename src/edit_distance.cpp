// Edit distances: Levenshtein and optimal string alignment.
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
#include "algorithms.h"
#include "scratch.h"
#include "symbol_tables.h"

using namespace likeness;

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
    build_position_masks(PM, s.pattern, s.m, s.text, s.n);
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
    clear_touched(row_of, s.pattern, s.m, s.text, s.n);
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
