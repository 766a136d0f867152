// Jaro and Jaro-Winkler similarities.
//
// Position i of the scanning string looks at positions i - range to
// i + range - 1 of the searched string, clipped to it, and takes the lowest
// unused one holding an equal symbol. Both directions are matched; they must
// find the same number of common symbols.
#include <algorithm>

#include "algorithms.h"
#include "interruption.h"
#include "kernels.h"
#include "scratch.h"
#include "symbol_tables.h"

using namespace likeness;

namespace {

constexpr int kPrefixCap = 6;
// The prefix scale is the single-precision 0.1 widened to double
// (0.10000000149011612), not the double 0.1.
constexpr double kPrefixScale = static_cast<double>(0.1f);

// The window bounds, written so that no sum can wrap, whatever range the
// caller gives.
unsigned long window_start(unsigned long i, unsigned long range) {
    return i > range ? i - range : 0;
}
unsigned long window_end(unsigned long i, unsigned long range, unsigned long searched_len) {
    return range >= searched_len || i >= searched_len - range ? searched_len : i + range;
}

// How many leading symbols of a string can take part in the matching
// against another of length other.
unsigned long within_reach(unsigned long len, unsigned long other, unsigned long range) {
    return len > other && len - other > range ? other + range : len;
}

// Jaro from the common symbols each side found, in order: 0 unless both
// found the same non-zero number; t is half the positions at which they
// differ, rounded down. NaN when the statement is killed.
template <typename Symbol>
double score_common(const Symbol* common1, unsigned long m1, const Symbol* common2,
                    unsigned long m2, unsigned long len1, unsigned long len2, KillCheck& kill) {
    if (m1 == 0 || m1 != m2) return 0.0;
    unsigned long differing = 0;
    const bool counted = in_strides(kill, m1, [&](unsigned long begin, unsigned long end) {
        for (unsigned long p = begin; p < end; ++p) differing += common1[p] != common2[p];
        return true;
    });
    return counted ? jaro_score(m1, differing / 2, len1, len2) : __builtin_nan("");
}

// Up to 64 bytes a side, with bit masks and no heap. unused[c] holds the
// positions of byte c in each string that the other side has not yet taken;
// position i of one string takes the lowest set bit of its byte's mask in the
// other within the window, and clears it. Keeping the unused positions per
// byte value leaves no chain of dependencies from one byte to the next but
// through equal bytes, and the two directions share the window and run side
// by side. Both masks of a byte sit in one entry, cleared by one store. Cost:
// O(n1 + n2) word operations.
struct UnusedPositions {
    Word in_a, in_b;
};

double jaro_in_words(const unsigned char* a, const unsigned char* b, const JaroSpan& span,
                     unsigned long len1, unsigned long len2) {
    const unsigned long n1 = span.n1, n2 = span.n2, range = span.range;
    UnusedPositions unused[256];
    clear_touched(unused, a, n1, b, n2);
    set_position_bits(unused, a, n1, [](UnusedPositions& u) -> Word& { return u.in_a; });
    set_position_bits(unused, b, n2, [](UnusedPositions& u) -> Word& { return u.in_b; });
    unsigned char common1[kWordBits], common2[kWordBits];
    unsigned long m1 = 0, m2 = 0;
    // Takes the lowest unused position of `byte` inside the window, if any.
    const auto take = [](Word& positions, Word window, unsigned char byte, unsigned char* common,
                         unsigned long& m) {
        const Word candidates = positions & window;
        positions ^= candidates & (~candidates + 1);
        common[m] = byte;
        m += candidates != 0;
    };
    Word below_end = (Word{1} << range) - 1;  // positions below i + range
    Word from_start = ~Word{0};               // positions from i - range on
    for (unsigned long i = 0; i < (n1 > n2 ? n1 : n2); ++i) {
        const Word window = below_end & from_start;
        if (i < n1) take(unused[a[i]].in_b, window, a[i], common1, m1);
        if (i < n2) take(unused[b[i]].in_a, window, b[i], common2, m2);
        below_end = (below_end << 1) | 1;
        from_start <<= static_cast<unsigned>(i >= range);
    }
    KillCheck never = KillCheck::never();
    return score_common(common1, m1, common2, m2, len1, len2, never);
}

// Longer strings: each position of the searched string is chained to the
// next position holding the same symbol. The windows only move forward, so
// the positions a symbol has used, or passed as out of reach, always form the
// head of its chain: one cursor per symbol (a table indexed by symbol) finds
// the lowest unused position in amortised constant time. on_match(i) is
// called for each scanning position that finds a partner. Cost:
// O(scan_len + searched_len) time, one Index per searched symbol of memory
// (next_same).
//
// Building the chains and the matching ask `kill` now and then and stop
// (returning false) when the statement has been killed.
template <typename Index, typename Symbol, typename OnMatch>
bool match_by_chains(const Symbol* scan, unsigned long scan_len, const Symbol* searched,
                     unsigned long searched_len, unsigned long range, Index* cursor,
                     unsigned long alphabet, Index* next_same, OnMatch on_match, KillCheck& check) {
    constexpr Index kNone = ~Index{0};
    std::fill(cursor, cursor + alphabet, kNone);
    // The chains are built from the end, in strides counted back from it.
    const bool chained =
        in_strides(check, searched_len, [&](unsigned long begin, unsigned long end) {
            for (unsigned long k = searched_len - begin; k-- > searched_len - end;) {
                next_same[k] = cursor[searched[k]];
                cursor[searched[k]] = static_cast<Index>(k);
            }
            return true;
        });
    return chained && in_strides(check, scan_len, [&](unsigned long begin, unsigned long end) {
               for (unsigned long i = begin; i < end; ++i) {
                   Index& p = cursor[scan[i]];
                   const unsigned long lo = window_start(i, range);
                   while (p != kNone && p < lo) p = next_same[p];
                   if (p != kNone && p < window_end(i, range, searched_len)) {
                       on_match(i);
                       p = next_same[p];
                   }
               }
               return true;
           });
}

// Positions fit in 32 bits for all but strings of 4 GiB and more.
bool fits_32_bits(unsigned long len) { return len < 0xffffffffUL; }

// The common symbols of both sides, the chains of the searched string and,
// for symbols wider than a byte, the cursors, in one piece of scratch.
template <typename Index, typename Symbol>
double jaro_by_chains(const Symbol* a, const Symbol* b, const JaroSpan& span, unsigned long len1,
                      unsigned long len2, unsigned long alphabet, KillCheck& kill) {
    const unsigned long n1 = span.n1, n2 = span.n2;
    constexpr bool kByteSymbols = sizeof(Symbol) == 1;
    const unsigned long common_words = words_for((n1 + n2) * sizeof(Symbol) * 8);
    const unsigned long chain_words = words_for(std::max(n1, n2) * sizeof(Index) * 8);
    const unsigned long cursor_words = kByteSymbols ? 0 : words_for(alphabet * sizeof(Index) * 8);
    Word stack[kStackScratchWords];
    Word* scratch = take_scratch(stack, common_words + chain_words + cursor_words);
    if (scratch == nullptr) return __builtin_nan("");
    Symbol* common1 = reinterpret_cast<Symbol*>(scratch);
    Symbol* common2 = common1 + n1;
    Index* next_same = reinterpret_cast<Index*>(scratch + common_words);
    Index byte_cursors[kByteSymbols ? 256 : 1];
    Index* cursor = kByteSymbols ? byte_cursors
                                 : reinterpret_cast<Index*>(scratch + common_words + chain_words);
    unsigned long m1 = 0, m2 = 0;
    const bool matched = match_by_chains(
                             a, n1, b, n2, span.range, cursor, alphabet, next_same,
                             [&](unsigned long i) { common1[m1++] = a[i]; }, kill) &&
                         match_by_chains(
                             b, n2, a, n1, span.range, cursor, alphabet, next_same,
                             [&](unsigned long k) { common2[m2++] = b[k]; }, kill);
    const double result =
        matched ? score_common(common1, m1, common2, m2, len1, len2, kill) : __builtin_nan("");
    release_scratch(stack, scratch);
    return result;
}

}  // namespace

namespace likeness {

// The floating-point steps in exactly this order; the last bit depends on it.
double jaro_score(unsigned long m, unsigned long t, unsigned long len1, unsigned long len2) {
    const double dm = static_cast<double>(m);
    const double a = dm / static_cast<double>(len1);
    const double b = dm / static_cast<double>(len2);
    const double s = a + b;
    const double d = static_cast<double>(m - t) / dm;
    return (s + d) / 3.0;
}

JaroSpan jaro_span(unsigned long len1, unsigned long len2) {
    const unsigned long range = std::min(len1, len2) / 2 + 1;
    return {range, within_reach(len1, len2, range), within_reach(len2, len1, range)};
}

template <typename Symbol>
double jaro_within(const Symbol* a, const Symbol* b, const JaroSpan& span, unsigned long len1,
                   unsigned long len2, unsigned long alphabet, KillCheck& kill) {
    if (kill.killed()) return __builtin_nan("");
    const unsigned long longer = std::max(span.n1, span.n2);
    if constexpr (sizeof(Symbol) == 1) {
        if (longer <= kWordBits) return jaro_in_words(a, b, span, len1, len2);
    }
    if (fits_32_bits(longer)) {
        return jaro_by_chains<std::uint32_t>(a, b, span, len1, len2, alphabet, kill);
    }
    return jaro_by_chains<unsigned long>(a, b, span, len1, len2, alphabet, kill);
}
template double jaro_within(const unsigned char*, const unsigned char*, const JaroSpan&,
                            unsigned long, unsigned long, unsigned long, KillCheck&);
template double jaro_within(const Unit*, const Unit*, const JaroSpan&, unsigned long, unsigned long,
                            unsigned long, KillCheck&);

template <typename Symbol>
int prefix_length(const Symbol* a, const Symbol* b, unsigned long len1, unsigned long len2) {
    const unsigned long n = std::min<unsigned long>(kPrefixCap, std::min(len1, len2));
    for (unsigned long i = 0; i < n; ++i) {
        if (a[i] != b[i]) return static_cast<int>(i);
    }
    return static_cast<int>(n);
}
template int prefix_length(const unsigned char*, const unsigned char*, unsigned long,
                           unsigned long);
template int prefix_length(const Unit*, const Unit*, unsigned long, unsigned long);

double winkler(double j, int prefix) {
    const double x = prefix * kPrefixScale;
    const double y = (1.0 - j) * x;
    return y + j;
}

unsigned long common_characters(const char* s1, const char* s2, unsigned long len1,
                                unsigned long len2, unsigned long range, char* common) {
    unsigned long* next_same = new (std::nothrow) unsigned long[len2];
    if (next_same == nullptr) return kDistanceFailed;
    unsigned long cursor[256];
    unsigned long count = 0;
    KillCheck never = KillCheck::never();
    match_by_chains(
        bytes(s1), len1, bytes(s2), len2, range, cursor, 256, next_same,
        [&](unsigned long i) { common[count++] = s1[i]; }, never);
    delete[] next_same;
    return count;
}

double jaro(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    if (len1 == 0 || len2 == 0) return 0.0;
    KillCheck kill;
    return jaro_within(bytes(s1), bytes(s2), jaro_span(len1, len2), len1, len2, 256, kill);
}

double jarowinkler(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    return winkler(jaro(s1, s2, len1, len2), prefix_length(bytes(s1), bytes(s2), len1, len2));
}

}  // namespace likeness
