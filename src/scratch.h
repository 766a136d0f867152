// Machine words and scratch memory shared by the measures' kernels.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>

namespace likeness {

using Word = std::uint64_t;
constexpr unsigned long kWordBits = 64;

inline unsigned long words_for(unsigned long bits) { return (bits + kWordBits - 1) / kWordBits; }

inline const unsigned char* bytes(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

// Scratch memory of a call: on the stack when it is small, else one array
// new, which fails as nullptr rather than an exception. Not cleared: every
// user writes what it reads, so the pages of a large scratch that a call
// never reaches are never touched. Release with release_scratch.
constexpr unsigned long kStackScratchWords = 512;

inline Word* take_scratch(Word* stack, unsigned long words) {
    return words <= kStackScratchWords ? stack : new (std::nothrow) Word[words];
}

inline void release_scratch(Word* stack, Word* scratch) {
    if (scratch != stack) delete[] scratch;
}

}  // namespace likeness
