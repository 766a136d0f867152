// Splits the input into two byte strings and checks every measure against
// the simple reference, bit for bit, and the symmetric properties.
// Input: two bytes giving where to split, then the bytes of both strings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "algorithms.h"
#include "reference.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

bool same_common_characters(std::string& a, std::string& b, unsigned long range) {
    char* c = get_common_characters(a.data(), b.data(), a.size(), b.size(), range);
    std::string expected = reference::common_characters(a, b, range);
    expected.resize(a.size() + 1, '\0');
    const bool same = std::string(c, a.size() + 1) == expected;
    delete[] c;
    return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t split = (data[0] | data[1] << 8) % (size - 1);
    std::string a(reinterpret_cast<const char*>(data) + 2, split);
    std::string b(reinterpret_cast<const char*>(data) + 2 + split, size - 2 - split);
    char* pa = a.data();
    char* pb = b.data();
    const unsigned long la = a.size(), lb = b.size();

    const double j = jaro_distance(pa, pb, la, lb);
    const double w = jarowinkler_distance(pa, pb, la, lb);
    const unsigned long l = levenshteinDistance(pa, pb, la, lb);
    const unsigned long o = damerauLevenshteinDistance(pa, pb, la, lb);
    check(j == reference::jaro(a, b));
    check(w == reference::jarowinkler(a, b));
    check(l == reference::levenshtein(a, b));
    check(o == reference::osa(a, b));
    check(get_prefix_length(pa, pb, la, lb) == reference::prefix_length(a, b));
    check(same_common_characters(a, b, (la < lb ? la : lb) / 2 + 1));
    check(same_common_characters(b, a, split % 7));

    check(j == jaro_distance(pb, pa, lb, la));
    check(w == jarowinkler_distance(pb, pa, lb, la));
    check(l == levenshteinDistance(pb, pa, lb, la));
    check(o == damerauLevenshteinDistance(pb, pa, lb, la));
    check(0.0 <= j && j <= w && w <= 1.0);
    check(o <= l && l <= (la > lb ? la : lb));
    return 0;
}
