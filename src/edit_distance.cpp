// Edit distances: Levenshtein and optimal string alignment.
//
// Myers' bit-vector algorithm (Myers 1999) in Hyyrö's formulation (Hyyrö
// 2001), with Hyyrö's transposition term for the optimal string alignment
// distance (Hyyrö 2003). Bit i of a vector stands for row i of the distance
// table, a position of the shorter string (the pattern); one text symbol is
// one column. Per column: Pv/Mv hold the vertical +1/-1 differences, PM the
// pattern positions equal to the text byte (the match mask), D0 the cells
// equal to their upper-left neighbour, Ph/Mh the horizontal +1/-1
// differences; TR marks the cells a transposition brings down to their
// upper-left neighbour. The score follows the last row.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "algorithms.h"
#include "interruption.h"
#include "kernels.h"
#include "scratch.h"
#include "symbol_tables.h"

using namespace likeness;

namespace {

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

// The first band tried beyond the length difference.
constexpr unsigned long kFirstBand = 64;

// The bit of pattern position i within its block's mask.
Word position_bit(unsigned long i) { return Word{1} << i % kWordBits; }

// Match masks are built kChunkBlocks blocks at a time, as far down the
// pattern as a band reaches: a long value compared within a small bound, or
// one the narrow band gives up on early, never pays for the masks of rows no
// band reaches. reach(block, kill) builds through that block; false when the
// statement was killed.
constexpr unsigned long kChunkBlocks = 64;

template <typename Masks>
bool reach_block(Masks& masks, unsigned long block, KillCheck& kill) {
    while (masks.built <= block) {
        const unsigned long begin = masks.built;
        masks.built = std::min(begin + kChunkBlocks, masks.words);
        if (kill.killed_after(masks.build_chunk(begin, masks.built))) return false;
    }
    return true;
}

// Match masks of byte patterns: a row of one mask per block for each
// distinct byte of the pattern, and one all-zero row that the bytes it lacks
// share. Memory (distinct pattern bytes + 1) * blocks words.
struct ByteMasks {
    unsigned long row_of[256];
    unsigned long rows = 1;
    unsigned long words = 0;
    unsigned long built = 0;
    const unsigned char* pattern = nullptr;
    unsigned long m = 0;
    Word* masks = nullptr;

    using Column = const Word*;

    // Finds the pattern's distinct bytes; the caller checks for a kill.
    unsigned long scratch_words(const Alignment<unsigned char>& s, KillCheck& kill) {
        words = words_for(s.m);
        bool present[256] = {};
        in_strides(kill, s.m, [&](unsigned long begin, unsigned long end) {
#pragma GCC unroll 8
            for (unsigned long i = begin; i < end; ++i) present[s.pattern[i]] = true;
            return true;
        });
        for (unsigned c = 0; c < 256; ++c) row_of[c] = present[c] ? rows++ : 0;
        return rows * words;
    }
    void start(Word* scratch, const Alignment<unsigned char>& s) {
        masks = scratch;
        pattern = s.pattern;
        m = s.m;
    }
    // Clears every row's words of the blocks, then sets the pattern's bits;
    // returns the work done.
    unsigned long build_chunk(unsigned long begin, unsigned long end) {
        for (unsigned long row = 0; row < rows; ++row) {
            std::fill(masks + row * words + begin, masks + row * words + end, Word{0});
        }
        const unsigned long last = std::min(end * kWordBits, m);
        for (unsigned long i = begin * kWordBits; i < last; ++i) {
            masks[row_of[pattern[i]] * words + i / kWordBits] |= position_bit(i);
        }
        return rows * (end - begin) + (last - begin * kWordBits);
    }
    Column column(unsigned char symbol) const { return masks + row_of[symbol] * words; }
    // The masks of a symbol the pattern lacks: the all-zero row.
    Column none() const { return masks; }
    static Word mask(Column column, unsigned long block) { return column[block]; }
};

// Match masks of wider symbols, which may be more than a table indexed by
// symbol could hold: per block, a hash table of kSlots slots keyed by
// symbol + 1 (0 marks a free slot) with linear probing. A block holds at most
// 64 distinct symbols, so its table is at most half full. Memory 24 bytes
// per pattern position, however many distinct symbols there are.
struct UnitMasks {
    static constexpr unsigned long kSlots = 128;
    unsigned long words = 0;
    unsigned long built = 0;
    const Unit* pattern = nullptr;
    unsigned long m = 0;
    Unit* keys = nullptr;
    Word* masks = nullptr;

    struct Column {
        Unit key;
        unsigned long home;
    };

    static unsigned long home_slot(Unit symbol) {
        return static_cast<std::uint32_t>(symbol * 0x9e3779b1u) >> 25;
    }
    unsigned long scratch_words(const Alignment<Unit>& s, KillCheck&) {
        words = words_for(s.m);
        return words * (kSlots / 2 + kSlots);
    }
    void start(Word* scratch, const Alignment<Unit>& s) {
        keys = reinterpret_cast<Unit*>(scratch);
        masks = scratch + words * kSlots / 2;
        pattern = s.pattern;
        m = s.m;
    }
    unsigned long build_chunk(unsigned long begin, unsigned long end) {
        std::fill(keys + begin * kSlots, keys + end * kSlots, Unit{0});
        std::fill(masks + begin * kSlots, masks + end * kSlots, Word{0});
        const unsigned long last = std::min(end * kWordBits, m);
        for (unsigned long i = begin * kWordBits; i < last; ++i) {
            const unsigned long block = i / kWordBits;
            Unit* block_keys = keys + block * kSlots;
            unsigned long slot = home_slot(pattern[i]);
            while (block_keys[slot] != 0 && block_keys[slot] != pattern[i] + 1) {
                slot = (slot + 1) % kSlots;
            }
            block_keys[slot] = pattern[i] + 1;
            masks[block * kSlots + slot] |= position_bit(i);
        }
        return 2 * kSlots * (end - begin) + (last - begin * kWordBits);
    }
    Column column(Unit symbol) const { return {symbol + 1, home_slot(symbol)}; }
    // Masks that are all zero: the key of a free slot finds a free slot.
    static Column none() { return {0, 0}; }
    Word mask(const Column& column, unsigned long block) const {
        const Unit* block_keys = keys + block * kSlots;
        unsigned long slot = column.home;
        while (block_keys[slot] != column.key) {
            if (block_keys[slot] == 0) return 0;
            slot = (slot + 1) % kSlots;
        }
        return masks[block * kSlots + slot];
    }
};

template <typename Symbol>
using MatchMasks = std::conditional_t<sizeof(Symbol) == 1, ByteMasks, UnitMasks>;

// Pattern of at most 64 symbols: one word, no heap; mask_of(j) is the match
// mask of text position j. Cost: O(n) word operations, with a kill check
// every kColumnsBetweenChecks columns of a long text.
constexpr unsigned long kColumnsBetweenChecks = 1ul << 16;

template <bool kTranspositions, typename Symbol, typename MaskOf>
unsigned long distance_in_word(const Alignment<Symbol>& s, MaskOf mask_of, KillCheck& kill) {
    Block b{~Word{0}, 0, 0};
    Word PM_previous = 0;
    const unsigned top = static_cast<unsigned>(s.m - 1);
    unsigned long score = s.m;
    for (unsigned long begin = 0, end; begin < s.n; begin = end) {
        end = std::min(s.n, begin + kColumnsBetweenChecks);
        for (unsigned long j = begin; j < end; ++j) {
            Carry c{1, 0, 0};
            const Word PM_j = mask_of(j);
            advance_block<kTranspositions>(PM_j, PM_previous, b, c, top);
            score += c.hp - c.hn;
            PM_previous = PM_j;
        }
        if (end < s.n && kill.killed_after(end - begin)) return kDistanceFailed;
    }
    return score;
}

template <bool kTranspositions, typename Symbol>
unsigned long distance_in_word(const Alignment<Symbol>& s, KillCheck& kill) {
    if constexpr (sizeof(Symbol) == 1) {
        Word PM[256];
        build_position_masks(PM, s.pattern, s.m, s.text, s.n);
        return distance_in_word<kTranspositions>(
            s, [&](unsigned long j) { return PM[s.text[j]]; }, kill);
    } else {
        UnitMasks masks;
        Word scratch[UnitMasks::kSlots / 2 + UnitMasks::kSlots];
        masks.scratch_words(s, kill);
        masks.start(scratch, s);
        reach_block(masks, 0, kill);
        return distance_in_word<kTranspositions>(
            s, [&](unsigned long j) { return masks.mask(masks.column(s.text[j]), 0); }, kill);
    }
}

// Longer patterns: blocks of 64 rows, the horizontal differences (and the
// transposition term's bit) carried from block to block down each column,
// restricted to the band of Ukkonen (1985). A path to the last cell of cost
// at most k never leaves the diagonals j - i from -(k - delta) / 2 to
// delta + (k - delta) / 2, delta = n - m, so each column computes only the
// blocks that hold rows of those diagonals, and one more on each side: a
// block that leaves the band at the top takes along the transposition bit it
// would have carried into the block below, which a path on the last diagonal
// with one edit to spare can need. The
// cells outside count as over-estimates: a block that enters the band at the
// bottom starts from the last row above it plus one per row, the first block
// of a column takes +1 from above (the row above growing by one per column),
// and no transposition crosses into the band, nor into a block in the column
// where it enters. Every computed cell is then at
// least its true value, and the cells of a path of cost at most k inside the
// band get their true values, so the last cell holds the distance when it is
// at most k and more than k otherwise. The same scheme serves edlib (Šošić
// and Šikić 2017).
//
// Each block keeps the value of its last row; a block's values lie at most
// 63 below it, so once every block of a column lies above k, so does the
// distance, and the band gives up early: kBeyondBand. A band that is to
// bound the distance from above (Upper::kWhenNear) goes on instead while the
// pair looks related: while its lowest value, carried on at the rate it grew
// so far, stays below half the pattern's length. Otherwise the last cell:
// the distance when it is at most k, and in any case the cost of an
// alignment inside the band, so never below the distance. Cost:
// O((k / 64 + 2) * n) word operations at most, in the match masks and four
// words per block; kDistanceFailed when the statement is killed.
struct BandBlock {
    Block state;
    unsigned long last_row_value;
};

constexpr unsigned long kBeyondBand = kDistanceFailed - 1;

enum class Upper { kNever, kWhenNear };

template <bool kTranspositions, typename Symbol>
unsigned long distance_in_band(const Alignment<Symbol>& s, MatchMasks<Symbol>& masks,
                               BandBlock* blocks, unsigned long k, KillCheck& kill, Upper upper) {
    const unsigned long delta = s.n - s.m;
    if (delta > k) return kBeyondBand;
    const unsigned long reach = (k - delta) / 2 + 1;  // diagonals beyond 0 and delta, with margin
    const unsigned long words = words_for(s.m);
    const auto rows_through = [&](unsigned long w) { return std::min((w + 1) * kWordBits, s.m); };
    const unsigned last_top = static_cast<unsigned>((s.m - 1) % kWordBits);
    // Column 0: the rows within reach are exact, i.
    unsigned long last = (std::min(reach, s.m) - 1) / kWordBits;
    if (!reach_block(masks, last, kill)) return kDistanceFailed;
    for (unsigned long w = 0; w <= last; ++w) {
        blocks[w] = {{~Word{0}, 0, ~Word{0}}, rows_through(w)};
    }
    auto previous = masks.none();
    for (unsigned long j = 1; j <= s.n; ++j) {
        const unsigned long first_row = j > delta + reach ? j - delta - reach : 1;
        const unsigned long first = (first_row - 1) / kWordBits;
        const bool entering = last < (std::min(j + reach, s.m) - 1) / kWordBits;
        if (entering) {
            ++last;
            if (!reach_block(masks, last, kill)) return kDistanceFailed;
            blocks[last] = {
                {~Word{0}, 0, ~Word{0}},
                blocks[last - 1].last_row_value + rows_through(last) - last * kWordBits};
        }
        const auto column = masks.column(s.text[j - 1]);
        Carry c{1, 0, 0};
        unsigned long lowest = ~0ul;
        const auto advance = [&](unsigned long w, unsigned top) {
            BandBlock& b = blocks[w];
            advance_block<kTranspositions>(masks.mask(column, w), masks.mask(previous, w), b.state,
                                           c, top);
            b.last_row_value += c.hp;
            b.last_row_value -= c.hn;
            lowest = std::min(lowest, b.last_row_value);
        };
        for (unsigned long w = first; w < last; ++w) advance(w, kWordBits - 1);
        // A block's first column starts from assumed values, on which the
        // transposition term is not exact; its first cell lies outside the
        // band proper, so no transposition enters it there.
        if (entering) c.tr = 0;
        advance(last, last + 1 < words ? kWordBits - 1 : last_top);
        previous = column;
        if (lowest > k + kWordBits - 1 && upper == Upper::kNever) return kBeyondBand;
        if (lowest > k + kWordBits - 1 && lowest * s.n >= j * (s.m / 2)) return kBeyondBand;
        if (kill.killed_after(last - first + 1)) return kDistanceFailed;
    }
    return blocks[last].last_row_value;
}

// A narrow band first: values that differ in few places never touch most of
// the table. When it does not hold the distance, one more band, as wide as
// the narrow one's last cell (an upper bound on the distance) or, when it
// gave up on a pair that looks unrelated, the bound: never more than one
// narrow try and one exact pass. The match masks and the blocks' scratch
// serve both bands.
template <bool kTranspositions, typename Symbol>
unsigned long distance_in_blocks(const Alignment<Symbol>& s, unsigned long bound, KillCheck& kill) {
    MatchMasks<Symbol> masks;
    const unsigned long mask_words = masks.scratch_words(s, kill);
    if (kill.killed()) return kDistanceFailed;
    Word stack[kStackScratchWords];
    Word* scratch = take_scratch(stack, mask_words + 4 * words_for(s.m));
    if (scratch == nullptr) return kDistanceFailed;
    masks.start(scratch, s);
    BandBlock* blocks = reinterpret_cast<BandBlock*>(scratch + mask_words);
    const unsigned long narrow = std::min(s.n - s.m + kFirstBand, bound);
    unsigned long distance =
        distance_in_band<kTranspositions>(s, masks, blocks, narrow, kill, Upper::kWhenNear);
    if (distance > narrow && narrow < bound && distance != kDistanceFailed) {
        const unsigned long wide = distance == kBeyondBand ? bound : std::min(distance, bound);
        distance = distance_in_band<kTranspositions>(s, masks, blocks, wide, kill, Upper::kNever);
    }
    release_scratch(stack, scratch);
    return distance == kDistanceFailed ? distance : std::min(distance, bound + 1);
}

// The common leading symbols of a and b (n each), compared eight bytes at a
// time; within the first differing word, its lowest differing byte.
template <typename Symbol>
unsigned long common_prefix(const Symbol* a, const Symbol* b, unsigned long n) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    const unsigned long size = n * sizeof(Symbol);
    unsigned long i = 0;
    for (; i + sizeof(Word) <= size; i += sizeof(Word)) {
        Word u, v;
        std::memcpy(&u, x + i, sizeof u);
        std::memcpy(&v, y + i, sizeof v);
        if (u != v) return (i + __builtin_ctzll(u ^ v) / 8) / sizeof(Symbol);
    }
    while (i < size && x[i] == y[i]) ++i;
    return i / sizeof(Symbol);
}

// The common trailing symbols of a and b (n each, ending at a + n and
// b + n), the same way from the end.
template <typename Symbol>
unsigned long common_suffix(const Symbol* a_end, const Symbol* b_end, unsigned long n) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a_end);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b_end);
    const unsigned long size = n * sizeof(Symbol);
    unsigned long i = 0;
    for (; i + sizeof(Word) <= size; i += sizeof(Word)) {
        Word u, v;
        std::memcpy(&u, x - i - sizeof u, sizeof u);
        std::memcpy(&v, y - i - sizeof v, sizeof v);
        if (u != v) return (i + __builtin_clzll(u ^ v) / 8) / sizeof(Symbol);
    }
    while (i < size && x[-1 - static_cast<long>(i)] == y[-1 - static_cast<long>(i)]) ++i;
    return i / sizeof(Symbol);
}

// A common run measured in strides, asking about a kill after each.
template <typename Run>
unsigned long common_run(unsigned long n, KillCheck& kill, Run run) {
    unsigned long length = 0;
    in_strides(kill, n, [&](unsigned long begin, unsigned long end) {
        const unsigned long found = run(begin, end - begin);
        length += found;
        return found == end - begin;
    });
    return length;
}

}  // namespace

namespace likeness {

template <typename Symbol>
Alignment<Symbol> trimmed(const Symbol* a, const Symbol* b, unsigned long len1, unsigned long len2,
                          KillCheck& kill) {
    const unsigned long shorter = std::min(len1, len2);
    unsigned long prefix = 0, suffix = 0;
    if (shorter <= kWordBits) {
        // Short values mostly differ at once: a symbol at a time is quicker.
        while (prefix < shorter && a[prefix] == b[prefix]) ++prefix;
        while (suffix < shorter - prefix && a[len1 - 1 - suffix] == b[len2 - 1 - suffix]) ++suffix;
    } else {
        prefix = common_run(shorter, kill, [&](unsigned long at, unsigned long n) {
            return common_prefix(a + at, b + at, n);
        });
        suffix = common_run(shorter - prefix, kill, [&](unsigned long at, unsigned long n) {
            return common_suffix(a + len1 - at, b + len2 - at, n);
        });
    }
    a += prefix;
    b += prefix;
    len1 -= prefix + suffix;
    len2 -= prefix + suffix;
    if (len1 <= len2) return {a, len1, b, len2};
    return {b, len2, a, len1};
}
template Alignment<unsigned char> trimmed(const unsigned char*, const unsigned char*, unsigned long,
                                          unsigned long, KillCheck&);
template Alignment<Unit> trimmed(const Unit*, const Unit*, unsigned long, unsigned long,
                                 KillCheck&);

template <bool kTranspositions, typename Symbol>
unsigned long aligned_distance(const Alignment<Symbol>& s, unsigned long bound, KillCheck& kill) {
    if (kill.killed()) return kDistanceFailed;
    // Nothing in the table exceeds the longer length: a greater bound bounds
    // nothing, and bound + 1 cannot overflow.
    bound = std::min(bound, s.n);
    if (s.n - s.m > bound) return bound + 1;
    if (s.m == 0) return s.n;
    // The word loop's cost is one dependent step per text symbol, so when
    // both strings fit in a word the shorter one is the text.
    unsigned long distance;
    if (s.n <= kWordBits) {
        distance =
            distance_in_word<kTranspositions>(Alignment<Symbol>{s.text, s.n, s.pattern, s.m}, kill);
    } else if (s.m <= kWordBits) {
        distance = distance_in_word<kTranspositions>(s, kill);
    } else {
        return distance_in_blocks<kTranspositions>(s, bound, kill);
    }
    return distance == kDistanceFailed ? distance : std::min(distance, bound + 1);
}
template unsigned long aligned_distance<false>(const Alignment<unsigned char>&, unsigned long,
                                               KillCheck&);
template unsigned long aligned_distance<true>(const Alignment<unsigned char>&, unsigned long,
                                              KillCheck&);
template unsigned long aligned_distance<false>(const Alignment<Unit>&, unsigned long, KillCheck&);
template unsigned long aligned_distance<true>(const Alignment<Unit>&, unsigned long, KillCheck&);

}  // namespace likeness

namespace {

template <bool kTranspositions>
unsigned long byte_distance(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                            unsigned long bound) {
    KillCheck kill;
    return aligned_distance<kTranspositions>(trimmed(bytes(s1), bytes(s2), len1, len2, kill), bound,
                                             kill);
}

}  // namespace

namespace likeness {

unsigned long levenshtein(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    return byte_distance<false>(s1, s2, len1, len2, kUnbounded);
}

unsigned long osa(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    return byte_distance<true>(s1, s2, len1, len2, kUnbounded);
}

unsigned long levenshtein_bounded(const char* s1, const char* s2, unsigned long len1,
                                  unsigned long len2, unsigned long bound) {
    return byte_distance<false>(s1, s2, len1, len2, bound);
}

unsigned long osa_bounded(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                          unsigned long bound) {
    return byte_distance<true>(s1, s2, len1, len2, bound);
}

}  // namespace likeness
