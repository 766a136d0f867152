// Every measure of the library on one pair against the simple reference, bit
// for bit, and the properties that tie them together (symmetry, order):
// shared by the differential test and the fuzzers, so that both check the
// same things and name the same measure when one disagrees.
#pragma once

#include <string>
#include <vector>

struct Checks {
    bool bytes = true;         // the byte measures
    bool characters = false;   // the _utf8 measures against the reference over code points
    bool similarities = true;  // Jaro, Jaro-Winkler, the prefix and the common characters
    // The reference reads only the cells within `reach` diagonals of the main
    // one, which is exact when the distance is at most reach.
    unsigned long reach = ~0ul;
    // Bounds the bounded forms are checked at, besides those around the
    // distance; ranges get_common_characters is checked at, both ways round,
    // besides the Jaro window.
    std::vector<unsigned long> bounds, ranges;
};

// The first measure that disagrees, with what it gave and what was
// expected, or an empty string when all agree.
std::string first_disagreement(const std::string& a, const std::string& b, const Checks& checks);

// A pair as a test or fuzzer reports it: short values escaped, long ones by
// length.
std::string shown(const std::string& s);
