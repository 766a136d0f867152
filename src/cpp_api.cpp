#include "cpp_api.h"

#include <new>

#include "kernels.h"
#include "scratch.h"

using namespace likeness;

char* get_common_characters(char* s1, char* s2, unsigned long len1, unsigned long len2,
                            unsigned long range) {
    // Zero-filled, so every byte after the matched ones is NUL.
    char* common = new (std::nothrow) char[len1 + 1]();
    if (common == nullptr) return nullptr;
    if (likeness::common_characters(s1, s2, len1, len2, range, common) == kDistanceFailed) {
        delete[] common;
        return nullptr;
    }
    return common;
}

double jaro_distance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    return likeness::jaro(s1, s2, len1, len2);
}

double jarowinkler_distance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    return likeness::jarowinkler(s1, s2, len1, len2);
}

int get_prefix_length(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    return prefix_length(bytes(s1), bytes(s2), len1, len2);
}

unsigned long levenshteinDistance(char* s1, char* s2, unsigned long len1, unsigned long len2) {
    return likeness::levenshtein(s1, s2, len1, len2);
}

unsigned long damerauLevenshteinDistance(char* s1, char* s2, unsigned long len1,
                                         unsigned long len2) {
    return likeness::osa(s1, s2, len1, len2);
}

int minval(int a, int b) { return a < b ? a : b; }
int maxval(int a, int b) { return a > b ? a : b; }
unsigned long minimum(unsigned long a, unsigned long b) { return a < b ? a : b; }
