// The C++ interface of the library's first release, frozen: these nine
// functions are exported under exactly these names and signatures (plain
// char*, camelCase, C++ name mangling) for programs built against that
// release, and tests/exported_symbols.sh pins them. Nothing new goes here:
// the library's own measures live in algorithms.h (namespace likeness), and
// each function below is a thin call of one of them, with the same result
// to the last bit. damerauLevenshteinDistance, the SQL function
// editdistance_dl and likeness::osa are one measure: the optimal string
// alignment distance (restricted Damerau-Levenshtein).
//
// Bytes are compared as raw 8-bit values; only the given number of bytes is
// read and no terminating NUL is expected. Scratch memory that cannot be
// allocated never raises: the similarities then return NaN, the distances
// kDistanceFailed, get_common_characters nullptr.
#pragma once

#include "algorithms.h"
#include "export.h"

// One direction of the Jaro matching: the bytes of s1 that find an unused
// partner in s2 within the match window, in s1's order. The window of
// position i of s1 reaches range positions back and range - 1 forward; the
// lowest unused equal byte in it is taken. '#' and NUL are ordinary bytes.
// The result is a buffer of len1 + 1 bytes from array new, every byte after
// the matched ones NUL, which the caller releases with array delete. A reader
// that stops at NUL sees the result only up to the first matched NUL byte.
LIKENESS_EXPORT char* get_common_characters(char* s1, char* s2, unsigned long len1,
                                            unsigned long len2, unsigned long range);

// likeness::jaro.
LIKENESS_EXPORT double jaro_distance(char* s1, char* s2, unsigned long len1, unsigned long len2);

// likeness::jarowinkler.
LIKENESS_EXPORT double jarowinkler_distance(char* s1, char* s2, unsigned long len1,
                                            unsigned long len2);

// Length of the common leading run of bytes, capped at 6.
LIKENESS_EXPORT int get_prefix_length(char* s1, char* s2, unsigned long len1, unsigned long len2);

// likeness::levenshtein.
LIKENESS_EXPORT unsigned long levenshteinDistance(char* s1, char* s2, unsigned long len1,
                                                  unsigned long len2);

// likeness::osa.
LIKENESS_EXPORT unsigned long damerauLevenshteinDistance(char* s1, char* s2, unsigned long len1,
                                                         unsigned long len2);

// The smaller of two ints: a if strictly smaller, else b.
LIKENESS_EXPORT int minval(int a, int b);
// The larger of two ints: a if strictly larger, else b.
LIKENESS_EXPORT int maxval(int a, int b);
// The smaller of two unsigned longs.
LIKENESS_EXPORT unsigned long minimum(unsigned long a, unsigned long b);
