// Tables indexed by symbol value (a byte), of which a call reads only the
// entries of the symbols its two strings hold: those entries are cleared
// before use, never the whole table.
#pragma once

#include "scratch.h"

namespace likeness {

template <typename T, typename Symbol>
void clear_touched(T* table, const Symbol* a, unsigned long n1, const Symbol* b, unsigned long n2,
                   T value = T{}) {
    for (unsigned long i = 0; i < n1; ++i) table[a[i]] = value;
    for (unsigned long k = 0; k < n2; ++k) table[b[k]] = value;
}

// Bit i of masks[s[i]] set for each position i of s (at most 64); the other
// entries of the symbols of s and of other are zero.
template <typename Symbol>
void build_position_masks(Word* masks, const Symbol* s, unsigned long n, const Symbol* other,
                          unsigned long n_other) {
    clear_touched(masks, s, n, other, n_other);
    for (unsigned long i = 0; i < n; ++i) masks[s[i]] |= Word{1} << i;
}

// The position masks of both strings of a pair at once, masks_a of a and
// masks_b of b: each touched entry of the two tables is cleared in one pass.
template <typename Symbol>
void build_position_masks(Word* masks_a, const Symbol* a, unsigned long n1, Word* masks_b,
                          const Symbol* b, unsigned long n2) {
    for (unsigned long i = 0; i < n1; ++i) masks_a[a[i]] = masks_b[a[i]] = 0;
    for (unsigned long k = 0; k < n2; ++k) masks_a[b[k]] = masks_b[b[k]] = 0;
    for (unsigned long i = 0; i < n1; ++i) masks_a[a[i]] |= Word{1} << i;
    for (unsigned long k = 0; k < n2; ++k) masks_b[b[k]] |= Word{1} << k;
}

}  // namespace likeness
