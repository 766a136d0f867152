// The measures in their simplest form, obviously right and slow: the
// yardstick the library's fast kernels are checked against, bit for bit.
#pragma once

#include <string>
#include <string_view>

// Each measure over bytes, and over the units of UTF-8 text (code points,
// and bytes at which no well-formed sequence begins, standing alone).
namespace reference {

// The units of UTF-8 text: the code point of each well-formed sequence (no
// overlong form, no surrogate, nothing above U+10FFFF), and 0x80000000 | b
// for a byte b at which none begins, after which reading resumes at the next
// byte.
std::u32string units(std::string_view bytes);

// The bytes of a that find an unused equal byte of b within the match window
// (range positions back, range - 1 forward), in a's order.
std::string common_characters(std::string_view a, std::string_view b, unsigned long range);
double jaro(std::string_view a, std::string_view b);
double jaro(std::u32string_view a, std::u32string_view b);
int prefix_length(std::string_view a, std::string_view b);
double jarowinkler(std::string_view a, std::string_view b);
double jarowinkler(std::u32string_view a, std::u32string_view b);
// The edit distances from the full table, or, given a reach at least the
// distance, from the cells within reach of the main diagonal.
unsigned long levenshtein(std::string_view a, std::string_view b, unsigned long reach = ~0ul);
unsigned long levenshtein(std::u32string_view a, std::u32string_view b, unsigned long reach = ~0ul);
unsigned long osa(std::string_view a, std::string_view b, unsigned long reach = ~0ul);
unsigned long osa(std::u32string_view a, std::u32string_view b, unsigned long reach = ~0ul);

}  // namespace reference
