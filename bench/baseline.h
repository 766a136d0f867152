// The measures in their first, straightforward form, kept as the yardstick
// of the benchmarks: a fresh working copy and common-character strings per
// call, '#' marking used positions, and the full distance table as one array
// per row. Its results differ from the library's for strings holding '#' or
// NUL; the benchmarks feed it neither.
#pragma once

namespace baseline {

double jaro(const char* s1, const char* s2, unsigned long len1, unsigned long len2);
double jarowinkler(const char* s1, const char* s2, unsigned long len1, unsigned long len2);
unsigned long levenshtein(const char* s1, const char* s2, unsigned long len1, unsigned long len2);
unsigned long osa(const char* s1, const char* s2, unsigned long len1, unsigned long len2);

}  // namespace baseline
