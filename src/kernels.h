// The measures' kernels over strings of symbols: bytes, or the units of
// UTF-8 text relabelled to small numbers (Unit). The kernels compare symbols
// only for equality, so any one-to-one relabelling of a pair changes no
// result; symbols below `alphabet` index the kernels' tables.
#pragma once

#include <cstdint>

namespace likeness {

class KillCheck;

using Unit = std::uint32_t;
// A byte at which no well-formed UTF-8 sequence begins is the unit
// kLoneByte + byte, above every code point.
constexpr Unit kLoneByte = 0x110000;

// The Jaro match window, and how many leading symbols of each string can
// take part in the matching: no window reaches past the shorter length +
// range, so later symbols can neither match nor be matched.
struct JaroSpan {
    unsigned long range, n1, n2;
};
JaroSpan jaro_span(unsigned long len1, unsigned long len2);

// Jaro similarity from the first span.n1 and span.n2 symbols of strings of
// len1 and len2 symbols (both non-zero). Symbols are below `alphabet`; wide
// symbols need span.n1 or span.n2 above 64. NaN when scratch memory cannot
// be had or the statement is killed.
template <typename Symbol>
double jaro_within(const Symbol* a, const Symbol* b, const JaroSpan& span, unsigned long len1,
                   unsigned long len2, unsigned long alphabet, KillCheck& kill);

// The first units of UTF-8 text, at most `most` of them (as the _utf8
// measures read it: code points, and lone bytes above every code point);
// returns how many.
unsigned long leading_units(const char* s, unsigned long len, Unit* units, unsigned long most);

// The Jaro value of m common symbols with t transpositions between strings
// of len1 and len2 symbols, in the measure's own floating-point steps.
double jaro_score(unsigned long m, unsigned long t, unsigned long len1, unsigned long len2);

// The common leading run, capped at 6, and the Jaro-Winkler raise of j by it.
template <typename Symbol>
int prefix_length(const Symbol* a, const Symbol* b, unsigned long len1, unsigned long len2);
double winkler(double j, int prefix);

// Two strings with their common prefix and suffix removed, the shorter as
// the pattern. Removing them changes neither distance.
template <typename Symbol>
struct Alignment {
    const Symbol* pattern;
    unsigned long m;
    const Symbol* text;
    unsigned long n;
};
// Trimming stops early, leaving a pair that still has the same distances,
// when the statement is killed.
template <typename Symbol>
Alignment<Symbol> trimmed(const Symbol* a, const Symbol* b, unsigned long len1, unsigned long len2,
                          KillCheck& kill);

// The Levenshtein distance, or with kTranspositions the optimal string
// alignment distance, of an aligned pair when it is at most `bound`, else
// bound + 1 (which never overflows); kDistanceFailed when scratch memory
// cannot be had or the statement is killed (or was, in an earlier phase of
// the call that shares `kill`).
constexpr unsigned long kUnbounded = ~0ul;
template <bool kTranspositions, typename Symbol>
unsigned long aligned_distance(const Alignment<Symbol>& s, unsigned long bound, KillCheck& kill);

}  // namespace likeness
