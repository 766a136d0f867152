#include "baseline.h"

#include <cstring>

namespace baseline {
namespace {

char* common_characters(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                        int range) {
    char* common = new char[len1 + 1];
    char* copy = new char[len2 + 1];
    std::strncpy(copy, s2, len2);
    copy[len2] = '\0';
    unsigned long count = 0;
    for (int i = 0; i < static_cast<int>(len1); ++i) {
        const int lo = i - range > 0 ? i - range : 0;
        const int hi = i + range < static_cast<int>(len2) ? i + range : static_cast<int>(len2);
        for (int k = lo; k < hi; ++k) {
            if (copy[k] == s1[i]) {
                common[count++] = s1[i];
                copy[k] = '#';
                break;
            }
        }
    }
    delete[] copy;
    common[count] = '\0';
    return common;
}

unsigned long table_distance(const char* s1, const char* s2, unsigned long len1, unsigned long len2,
                             bool transpositions) {
    unsigned long** d = new unsigned long*[len1 + 1];
    for (unsigned long i = 0; i <= len1; ++i) {
        d[i] = new unsigned long[len2 + 1];
        d[i][0] = i;
    }
    for (unsigned long j = 0; j <= len2; ++j) d[0][j] = j;
    for (unsigned long i = 1; i <= len1; ++i) {
        for (unsigned long j = 1; j <= len2; ++j) {
            const unsigned long cost = s1[i - 1] == s2[j - 1] ? 0 : 1;
            unsigned long best =
                d[i - 1][j] + 1 < d[i][j - 1] + 1 ? d[i - 1][j] + 1 : d[i][j - 1] + 1;
            if (d[i - 1][j - 1] + cost < best) best = d[i - 1][j - 1] + cost;
            if (transpositions && i > 1 && j > 1 && s1[i - 1] == s2[j - 2] &&
                s1[i - 2] == s2[j - 1] && d[i - 2][j - 2] + cost < best) {
                best = d[i - 2][j - 2] + cost;
            }
            d[i][j] = best;
        }
    }
    const unsigned long result = d[len1][len2];
    for (unsigned long i = 0; i <= len1; ++i) delete[] d[i];
    delete[] d;
    return result;
}

}  // namespace

double jaro(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    const int range = static_cast<int>(len1 < len2 ? len1 : len2) / 2 + 1;
    char* c1 = common_characters(s1, s2, len1, len2, range);
    char* c2 = common_characters(s2, s1, len2, len1, range);
    double result = 0.0;
    const unsigned long m1 = std::strlen(c1), m2 = std::strlen(c2);
    if (c1[0] != '\0' && c2[0] != '\0' && m1 == m2) {
        int differing = 0;
        for (unsigned long p = 0; p < m1; ++p) differing += c1[p] != c2[p];
        const unsigned long t = differing / 2;
        const double a = static_cast<double>(m1) / static_cast<double>(len1);
        const double b = static_cast<double>(m2) / static_cast<double>(len2);
        const double d = static_cast<double>(m1 - t) / static_cast<double>(m1);
        result = (a + b + d) / 3.0;
    }
    delete[] c1;
    delete[] c2;
    return result;
}

double jarowinkler(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    const double j = jaro(s1, s2, len1, len2);
    const int shorter = static_cast<int>(len1 < len2 ? len1 : len2);
    const int n = shorter < 6 ? shorter : 6;
    int l = 0;
    while (l < n && s1[l] == s2[l]) ++l;
    return (1.0 - j) * (l * static_cast<double>(0.1f)) + j;
}

unsigned long levenshtein(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    return table_distance(s1, s2, len1, len2, false);
}

unsigned long osa(const char* s1, const char* s2, unsigned long len1, unsigned long len2) {
    return table_distance(s1, s2, len1, len2, true);
}

}  // namespace baseline
