// Tables indexed by symbol value (a byte), of which a call reads only the
// entries of the symbols its two strings hold: those entries are cleared
// before use, never the whole table.
#pragma once

#include "scratch.h"

namespace likeness {

template <typename T, typename Symbol>
void clear_touched(T* table, const Symbol* a, unsigned long n1, const Symbol* b, unsigned long n2,
                   T value = T{}) {
#pragma GCC unroll 4
    for (unsigned long i = 0; i < n1; ++i) table[a[i]] = value;
#pragma GCC unroll 4
    for (unsigned long k = 0; k < n2; ++k) table[b[k]] = value;
}

// Bit i of the mask that mask_of finds in table[s[i]] set for each position
// i of s (at most 64).
template <typename T, typename Symbol, typename MaskOf>
void set_position_bits(T* table, const Symbol* s, unsigned long n, MaskOf mask_of) {
    Word bit = 1;
#pragma GCC unroll 4
    for (unsigned long i = 0; i < n; ++i, bit <<= 1) mask_of(table[s[i]]) |= bit;
}

// Bit i of masks[s[i]] (a table of 256) set for each position i of s (at
// most 64); the other entries of the symbols of s and of other are zero, and
// every other entry too when other is long: clearing the whole table is then
// the shorter way.
inline void build_position_masks(Word* masks, const unsigned char* s, unsigned long n,
                                 const unsigned char* other, unsigned long n_other) {
    if (n_other > 256) {
        std::fill(masks, masks + 256, Word{0});
    } else {
        clear_touched(masks, s, n, other, n_other);
    }
    set_position_bits(masks, s, n, [](Word& mask) -> Word& { return mask; });
}

}  // namespace likeness
