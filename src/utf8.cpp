// The measures over characters: each value read as UTF-8 into units, then
// compared by the same kernels as bytes.
//
// A unit is the code point of a well-formed UTF-8 sequence, or, for a byte
// at which no well-formed sequence starts, that byte standing alone (a value
// above every code point), after which reading resumes at the next byte. The
// kernels only compare units for equality, so before they meet a kernel the
// units of a pair are given numbers, equal units equal numbers, units below
// 128 their own value. Nearly every pair then fits in bytes and runs through
// the byte kernels unchanged:
// - when the pair's units above 127 lie within the 128 values that begin 64
//   below the first of them (the letters of one script mostly do), unit u
//   becomes 128 + (u - that beginning), read straight into bytes;
// - else the units the measure looks at (the reach of the Jaro windows, or
//   what lies between the common prefix and suffix) are numbered in order of
//   first appearance, and only pairs with more than 128 distinct such units
//   run through the kernels for wider symbols.
#include <cstring>

#include "algorithms.h"
#include "interruption.h"
#include "kernels.h"
#include "scratch.h"

using namespace likeness;

namespace {

bool all_ascii(const unsigned char* s, unsigned long len) {
    constexpr Word kHighBits = 0x8080808080808080u;
    Word seen = 0;
    unsigned long i = 0;
    for (; i + 8 <= len; i += 8) {
        Word chunk;
        std::memcpy(&chunk, s + i, sizeof chunk);
        seen |= chunk;
    }
    for (; i < len; ++i) seen |= s[i];
    return (seen & kHighBits) == 0;
}

// False too when the statement was killed while the bytes were read.
bool both_ascii(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                KillCheck& kill) {
    if (len1 <= kWordBits && len2 <= kWordBits) {
        return all_ascii(bytes(s1), len1) && all_ascii(bytes(s2), len2);
    }
    const auto ascii = [&](const char* s, unsigned long len) {
        return in_strides(kill, len, [&](unsigned long begin, unsigned long end) {
            return all_ascii(bytes(s) + begin, end - begin);
        });
    };
    return ascii(s1, len1) && ascii(s2, len2);
}

// Runs a reader over s: read(i, end) reads from position i and returns the
// position after what it read, never starting a unit at or past end; it is
// given ends a stride apart, with a kill check between them, until it
// reaches len or keep_on() turns false.
template <typename Read, typename KeepOn>
void read_in_strides(unsigned long len, KillCheck& kill, Read read, KeepOn keep_on) {
    constexpr unsigned long kStride = KillCheck::kWorkBetweenChecks / 4;
    for (unsigned long i = 0; i < len && keep_on();) {
        const unsigned long begin = i;
        i = read(i, len - i > kStride ? i + kStride : len);
        if (kill.killed_after(i - begin)) return;
    }
}

// The unit at s[0], a byte of 80 or above, with `left` bytes available;
// sets length to the bytes it takes. The four bytes from s[0] are read as one
// little-endian word (past the end: zeros, which continue no sequence). A
// sequence is well-formed when its lead byte announces its length, every
// later byte is a continuation byte 10xxxxxx, and the code point is one that
// only that length may encode (no overlong form), not a surrogate, and at
// most U+10FFFF.
inline Unit unit_at(const unsigned char* s, unsigned long left, unsigned& length) {
    std::uint32_t w = 0;
    if (left >= 4) {
        std::memcpy(&w, s, sizeof w);
    } else {
        for (unsigned long k = 0; k < left; ++k) w |= std::uint32_t{s[k]} << 8 * k;
    }
    length = 1;
    if ((w & 0xc0e0u) == 0x80c0u) {
        const Unit unit = (w & 0x1fu) << 6 | (w >> 8 & 0x3fu);
        if (unit >= 0x80) {
            length = 2;
            return unit;
        }
    } else if ((w & 0xc0c0f0u) == 0x8080e0u) {
        const Unit unit = (w & 0x0fu) << 12 | (w >> 2 & 0xfc0u) | (w >> 16 & 0x3fu);
        if (unit >= 0x800 && unit - 0xd800 >= 0x800) {
            length = 3;
            return unit;
        }
    } else if ((w & 0xc0c0c0f8u) == 0x808080f0u) {
        const Unit unit =
            (w & 0x07u) << 18 | (w << 4 & 0x3f000u) | (w >> 10 & 0xfc0u) | (w >> 24 & 0x3fu);
        if (unit >= 0x10000 && unit <= 0x10ffff) {
            length = 4;
            return unit;
        }
    }
    return kLoneByte + s[0];
}

// Eight bytes at a time. ASCII: no byte with its top bit set.
bool ascii_chunk(Word chunk) { return (chunk & 0x8080808080808080u) == 0; }

// Four two-byte characters: each a lead byte 110xxxxx, not C0 or C1 (the
// overlong forms, whose xxxx bits are zero), and a continuation byte
// 10xxxxxx; in 16-bit lanes, lead below.
bool two_byte_chunk(Word chunk) {
    constexpr Word kLanes = 0x0001000100010001u;
    if ((chunk & 0xc0e0c0e0c0e0c0e0u) != 0x80c080c080c080c0u) return false;
    const Word above_c1 = chunk & 0x001e001e001e001eu;
    return ((above_c1 - kLanes) & ~above_c1 & 0x8000800080008000u) == 0;
}

// Their code points, one per 16-bit lane.
Word two_byte_code_points(Word chunk) {
    return (chunk & 0x001f001f001f001fu) << 6 | (chunk >> 8 & 0x003f003f003f003fu);
}

// Reads s into units (room for len of them); returns how many.
unsigned long decode(const unsigned char* s, unsigned long len, Unit* units, KillCheck& kill) {
    unsigned long n = 0;
    read_in_strides(
        len, kill,
        [&](unsigned long i, unsigned long end) {
            while (i < end) {
                if (s[i] < 0x80) {
                    units[n++] = s[i++];
                    continue;
                }
                unsigned length;
                units[n++] = unit_at(s + i, len - i, length);
                i += length;
            }
            return i;
        },
        [] { return true; });
    return n;
}

// Numbers for the units of a pair: units below 128 keep their value, the
// others get 128, 129, ... in order of first appearance, through a hash table
// keyed by unit + 1 (0 marks a free slot) that starts small on the stack and
// doubles when half full. Failing to grow is reported, never thrown.
struct UnitNumbers {
    struct Slot {
        Unit key, number;
    };
    static constexpr unsigned long kStackSlots = 256;
    static constexpr Unit kFailed = ~Unit{0};
    Slot stack[kStackSlots];
    Slot* slots = stack;
    unsigned long capacity = 32;
    unsigned shift = 27;  // 32 - log2(capacity): a slot is the top bits of a product
    unsigned long count = 0;

    // A loop, not memset: for a table this small the string instruction a
    // memset becomes costs more than the whole table.
    UnitNumbers() {
        for (unsigned long i = 0; i < capacity; ++i) slots[i] = {0, 0};
    }
    ~UnitNumbers() {
        if (slots != stack) delete[] slots;
    }
    UnitNumbers(const UnitNumbers&) = delete;
    UnitNumbers& operator=(const UnitNumbers&) = delete;

    Unit alphabet() const { return 128 + static_cast<Unit>(count); }

    Slot* slot_of(Unit key) {
        unsigned long slot = static_cast<std::uint32_t>(key * 0x9e3779b1u) >> shift;
        while (slots[slot].key != key && slots[slot].key != 0) slot = (slot + 1) & (capacity - 1);
        return &slots[slot];
    }

    // Doubles the table: on the stack while it fits there, else on the heap.
    bool grow() {
        Slot saved[kStackSlots / 2];
        Slot* old = slots;
        Slot* larger = stack;
        if (2 * capacity <= kStackSlots) {
            std::memcpy(saved, slots, capacity * sizeof(Slot));
            old = saved;
        } else {
            larger = new (std::nothrow) Slot[2 * capacity];
            if (larger == nullptr) return false;
        }
        const unsigned long old_capacity = capacity;
        capacity *= 2;
        --shift;
        slots = larger;
        std::memset(slots, 0, capacity * sizeof(Slot));
        for (unsigned long i = 0; i < old_capacity; ++i) {
            if (old[i].key != 0) *slot_of(old[i].key) = old[i];
        }
        if (old != saved && old != stack) delete[] old;
        return true;
    }

    // The number of a unit of 128 or above, `numbered` units having numbers
    // so far; kFailed when memory ran out.
    Unit number_of(Unit unit, unsigned long& numbered) {
        Slot* slot = slot_of(unit + 1);
        if (slot->key != 0) return slot->number;
        if (2 * (numbered + 1) > capacity) {
            if (!grow()) return kFailed;
            slot = slot_of(unit + 1);
        }
        *slot = {unit + 1, static_cast<Unit>(128 + numbered++)};
        return slot->number;
    }

    // Replaces each unit by its number; false when memory ran out or the
    // statement was killed.
    bool renumber(Unit* units, unsigned long n, KillCheck& kill) {
        return in_strides(kill, n, [&](unsigned long begin, unsigned long end) {
            for (unsigned long i = begin; i < end; ++i) {
                if (units[i] < 128) continue;
                units[i] = number_of(units[i], count);
                if (units[i] == kFailed) return false;
            }
            return true;
        });
    }
};

// The scratch of one call: on the stack up to kStackScratchWords words, else
// from the heap; null when memory ran out.
struct CallScratch {
    Word stack[kStackScratchWords];
    Word* words;

    explicit CallScratch(unsigned long bytes) : words(take_scratch(stack, words_for(bytes * 8))) {}
    ~CallScratch() { release_scratch(stack, words); }
    CallScratch(const CallScratch&) = delete;
    CallScratch& operator=(const CallScratch&) = delete;
};

// The way of nearly every pair: both values read straight into bytes, each
// unit above 127 becoming 128 + (unit - base) within the window of 128
// values that begins 64 below the first such unit. Gives up (fits false) at
// the first unit outside it; failed when memory ran out.
struct WindowPair {
    CallScratch scratch;
    unsigned char* a = nullptr;
    unsigned char* b = nullptr;
    unsigned long n1 = 0, n2 = 0;
    bool fits = true;
    Unit base = 0;  // 0 until the first unit above 127

    WindowPair(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
               KillCheck& kill)
        : scratch(len1 + len2) {
        if (scratch.words == nullptr) return;
        a = reinterpret_cast<unsigned char*>(scratch.words);
        n1 = read(bytes(s1), len1, a, kill);
        b = a + n1;
        if (fits) n2 = read(bytes(s2), len2, b, kill);
    }

    static Unit window_base(Unit first) { return first > 128 + 64 ? first - 64 : 128; }

    // Reads s into out; the base and the outcome stay in locals while bytes
    // are written, since a byte store might alias this object's fields.
    unsigned long read(const unsigned char* s, unsigned long len, unsigned char* out,
                       KillCheck& kill) {
        Unit low = base;
        bool inside = true;
        unsigned long n = 0;
        const auto put = [&](Unit unit) {
            if (__builtin_expect(low == 0, 0)) low = window_base(unit);
            inside = inside && unit - low < 128;
            out[n++] = static_cast<unsigned char>(128 + (unit - low));
        };
        read_in_strides(
            len, kill,
            [&](unsigned long i, unsigned long end) {
                for (; i < end && inside;) {
                    const unsigned char c = s[i];
                    Word chunk;
                    const bool whole_chunk = i + 8 <= len;
                    if (whole_chunk) std::memcpy(&chunk, s + i, sizeof chunk);
                    if (c < 0x80 && whole_chunk && ascii_chunk(chunk)) {
                        std::memcpy(out + n, &chunk, sizeof chunk);
                        n += 8;
                        i += 8;
                    } else if (c < 0x80) {
                        out[n++] = c;
                        ++i;
                    } else if (whole_chunk && low < 0x800 && two_byte_chunk(chunk)) {
                        // Four code points less the base in 16-bit lanes, each kept
                        // from borrowing by a set top bit: inside when below 128.
                        constexpr Word kTops = 0x8000800080008000u, kLanes = 0x0001000100010001u;
                        const Word code_points = two_byte_code_points(chunk);
                        if (low == 0) low = window_base(code_points & 0xffff);
                        const Word offsets = (code_points | kTops) - low * kLanes;
                        inside = ((offsets ^ kTops) & 0xff80ff80ff80ff80u) == 0;
                        const Word numbers = offsets | 0x0080008000800080u;
                        for (unsigned lane = 0; lane < 4; ++lane) {
                            out[n++] = static_cast<unsigned char>(numbers >> 16 * lane);
                        }
                        i += 8;
                    } else {
                        unsigned length;
                        put(unit_at(s + i, len - i, length));
                        i += length;
                    }
                }
                return i;
            },
            [&] { return inside; });
        base = low;
        fits = fits && inside;
        return n;
    }
};

// Both values read into units, for the pairs the window does not fit. Null
// units when memory ran out.
struct UnitPair {
    CallScratch scratch;
    Unit* a = nullptr;
    Unit* b = nullptr;
    unsigned long n1 = 0, n2 = 0;

    UnitPair(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
             KillCheck& kill)
        : scratch((len1 + len2) * sizeof(Unit)) {
        if (scratch.words == nullptr) return;
        a = reinterpret_cast<Unit*>(scratch.words);
        n1 = decode(bytes(s1), len1, a, kill);
        b = a + n1;
        n2 = decode(bytes(s2), len2, b, kill);
    }
};

// Numbers below 256 as bytes, written over the start of their own array.
unsigned char* narrowed(Unit* units, unsigned long n, KillCheck& kill) {
    unsigned char* narrow = reinterpret_cast<unsigned char*>(units);
    in_strides(kill, n, [&](unsigned long begin, unsigned long end) {
        for (unsigned long i = begin; i < end; ++i) {
            narrow[i] = static_cast<unsigned char>(units[i]);
        }
        return true;
    });
    return narrow;
}

const double kSimilarityFailed = __builtin_nan("");

// Jaro over units, and the common prefix of units for Jaro-Winkler.
struct Similarity {
    double jaro;
    int prefix;
};

Similarity similarity(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                      KillCheck& kill) {
    {
        WindowPair pair(s1, s2, len1, len2, kill);
        if (pair.a == nullptr || kill.killed()) return {kSimilarityFailed, 0};
        if (pair.fits) {
            const int prefix = prefix_length(pair.a, pair.b, pair.n1, pair.n2);
            if (pair.n1 == 0 || pair.n2 == 0) return {0.0, prefix};
            return {jaro_within(pair.a, pair.b, jaro_span(pair.n1, pair.n2), pair.n1, pair.n2, 256,
                                kill),
                    prefix};
        }
    }
    UnitPair units(s1, s2, len1, len2, kill);
    if (units.a == nullptr || kill.killed()) return {kSimilarityFailed, 0};
    const int prefix = prefix_length(units.a, units.b, units.n1, units.n2);
    const JaroSpan span = jaro_span(units.n1, units.n2);
    UnitNumbers numbers;
    if (!numbers.renumber(units.a, span.n1, kill) || !numbers.renumber(units.b, span.n2, kill)) {
        return {kSimilarityFailed, 0};
    }
    if (numbers.alphabet() <= 256) {
        return {jaro_within(narrowed(units.a, span.n1, kill), narrowed(units.b, span.n2, kill),
                            span, units.n1, units.n2, 256, kill),
                prefix};
    }
    return {jaro_within(units.a, units.b, span, units.n1, units.n2, numbers.alphabet(), kill),
            prefix};
}

template <bool kTranspositions>
unsigned long distance(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                       unsigned long bound) {
    KillCheck kill;
    if (both_ascii(s1, s2, len1, len2, kill)) {
        return aligned_distance<kTranspositions>(trimmed(bytes(s1), bytes(s2), len1, len2, kill),
                                                 bound, kill);
    }
    {
        WindowPair pair(s1, s2, len1, len2, kill);
        if (pair.a == nullptr || kill.killed()) return kDistanceFailed;
        if (pair.fits) {
            return aligned_distance<kTranspositions>(
                trimmed(pair.a, pair.b, pair.n1, pair.n2, kill), bound, kill);
        }
    }
    UnitPair units(s1, s2, len1, len2, kill);
    if (units.a == nullptr || kill.killed()) return kDistanceFailed;
    const Alignment<Unit> s = trimmed(units.a, units.b, units.n1, units.n2, kill);
    // The pattern and the text lie within the decoded units, so only the
    // units between the common prefix and suffix are numbered.
    Unit* pattern = const_cast<Unit*>(s.pattern);
    Unit* text = const_cast<Unit*>(s.text);
    UnitNumbers numbers;
    if (!numbers.renumber(pattern, s.m, kill) || !numbers.renumber(text, s.n, kill)) {
        return kDistanceFailed;
    }
    if (numbers.alphabet() <= 256) {
        return aligned_distance<kTranspositions>(
            Alignment<unsigned char>{narrowed(pattern, s.m, kill), s.m, narrowed(text, s.n, kill),
                                     s.n},
            bound, kill);
    }
    return aligned_distance<kTranspositions>(s, bound, kill);
}

}  // namespace

namespace likeness {

unsigned long leading_units(const char* s, unsigned long len, Unit* units, unsigned long most) {
    const unsigned char* b = bytes(s);
    unsigned long n = 0;
    for (unsigned long i = 0; i < len && n < most;) {
        unsigned length = 1;
        units[n++] = b[i] < 0x80 ? b[i] : unit_at(b + i, len - i, length);
        i += length;
    }
    return n;
}

double jaro_utf8(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    KillCheck kill;
    if (both_ascii(s1, s2, len1, len2, kill)) {
        return jaro(s1, s2, len1, len2);
    }
    return similarity(s1, s2, len1, len2, kill).jaro;
}

double jarowinkler_utf8(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    KillCheck kill;
    if (both_ascii(s1, s2, len1, len2, kill)) {
        return jarowinkler(s1, s2, len1, len2);
    }
    const Similarity s = similarity(s1, s2, len1, len2, kill);
    return winkler(s.jaro, s.prefix);
}

unsigned long levenshtein_utf8(const char* s1, const char* s2, unsigned long len1,
                               unsigned long len2) {
    return distance<false>(s1, s2, len1, len2, kUnbounded);
}

unsigned long osa_utf8(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    return distance<true>(s1, s2, len1, len2, kUnbounded);
}

unsigned long levenshtein_utf8_bounded(const char* s1, const char* s2, unsigned long len1,
                                       unsigned long len2, unsigned long bound) {
    return distance<false>(s1, s2, len1, len2, bound);
}

unsigned long osa_utf8_bounded(const char* s1, const char* s2, unsigned long len1,
                               unsigned long len2, unsigned long bound) {
    return distance<true>(s1, s2, len1, len2, bound);
}

}  // namespace likeness
