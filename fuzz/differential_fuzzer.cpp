// Splits the input into two byte strings and checks every measure, over
// bytes and over characters, against the simple reference, bit for bit, and
// the symmetric properties.
// Input: a byte that sets the bound of the bounded forms and the length of
// stretched values, two bytes giving where to split, then the bytes of both
// strings.
//
// Built twice. The differential fuzzer compares the two strings as they
// are. The stretched fuzzer (LIKENESS_FUZZ_STRETCHED) repeats the first
// string to 8 to 12 KiB and reads the second as up to 100 edits of that, so
// that long values reach the band the edit distances try first; it checks
// the distances only, and has a corpus of its own, since its inputs cost a
// hundred times as much.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "cpp_api.h"
#include "reference.h"

namespace {

#ifdef LIKENESS_FUZZ_STRETCHED
constexpr bool kStretched = true;
#else
constexpr bool kStretched = false;
#endif

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// What a bounded distance gives: the distance within the bound, else the
// bound + 1.
unsigned long within(unsigned long distance, unsigned long bound) {
    return distance <= bound ? distance : bound + 1;
}

bool same_common_characters(std::string& a, std::string& b, unsigned long range) {
    char* c = get_common_characters(a.data(), b.data(), a.size(), b.size(), range);
    std::string expected = reference::common_characters(a, b, range);
    expected.resize(a.size() + 1, '\0');
    const bool same = std::string(c, a.size() + 1) == expected;
    delete[] c;
    return same;
}

// The reference reads only the cells within `reach` diagonals of the main
// one, which is exact when the distance is at most reach. The bounded forms
// give min(distance, bound + 1).
void check_distances(std::string& a, std::string& b, unsigned long reach, unsigned long bound) {
    char* pa = a.data();
    char* pb = b.data();
    const unsigned long la = a.size(), lb = b.size();
    const unsigned long l = levenshteinDistance(pa, pb, la, lb);
    const unsigned long o = damerauLevenshteinDistance(pb, pa, lb, la);
    check(l == reference::levenshtein(a, b, reach));
    check(o == reference::osa(a, b, reach));
    check(o <= l && l <= (la > lb ? la : lb));
    check(likeness::levenshtein_bounded(pa, pb, la, lb, bound) == within(l, bound));
    check(likeness::osa_bounded(pb, pa, lb, la, bound) == within(o, bound));
}

// The measures over characters against the reference over code points.
void check_characters(const std::string& a, const std::string& b, unsigned long bound) {
    const std::u32string ua = reference::units(a), ub = reference::units(b);
    const unsigned long la = a.size(), lb = b.size();
    check(likeness::jaro_utf8(a.data(), b.data(), la, lb) == reference::jaro(ua, ub));
    check(likeness::jarowinkler_utf8(a.data(), b.data(), la, lb) == reference::jarowinkler(ua, ub));
    const unsigned long l = reference::levenshtein(ua, ub), o = reference::osa(ua, ub);
    check(likeness::levenshtein_utf8(a.data(), b.data(), la, lb) == l);
    check(likeness::osa_utf8(a.data(), b.data(), la, lb) == o);
    check(likeness::osa_utf8(b.data(), a.data(), lb, la) == o);
    check(likeness::levenshtein_utf8_bounded(a.data(), b.data(), la, lb, bound) ==
          within(l, bound));
    check(likeness::osa_utf8_bounded(b.data(), a.data(), lb, la, bound) == within(o, bound));
}

void check_all(std::string& a, std::string& b, unsigned long other_range, unsigned long bound) {
    char* pa = a.data();
    char* pb = b.data();
    const unsigned long la = a.size(), lb = b.size();
    const double j = jaro_distance(pa, pb, la, lb);
    const double w = jarowinkler_distance(pa, pb, la, lb);
    check(j == reference::jaro(a, b));
    check(w == reference::jarowinkler(a, b));
    check(get_prefix_length(pa, pb, la, lb) == reference::prefix_length(a, b));
    check(same_common_characters(a, b, (la < lb ? la : lb) / 2 + 1));
    check(same_common_characters(b, a, other_range));
    check(j == jaro_distance(pb, pa, lb, la));
    check(w == jarowinkler_distance(pb, pa, lb, la));
    check(0.0 <= j && j <= w && w <= 1.0);
    check_distances(a, b, la > lb ? la : lb, bound);
    check_characters(a, b, bound);
    check(levenshteinDistance(pa, pb, la, lb) == levenshteinDistance(pb, pa, lb, la));
    check(damerauLevenshteinDistance(pa, pb, la, lb) == damerauLevenshteinDistance(pb, pa, lb, la));
}

// The seed repeated to `len` bytes, and a copy with every three bytes of
// `edits` applied as one edit (where, and what: substitution, insertion,
// deletion or swap of neighbours), at most kStretchedEdits of them, and the
// first and last bytes changed, so that no common prefix or suffix shortens
// the pair. Returns the number of edits: each moves the distance by at most
// two.
constexpr std::size_t kStretchedEdits = 100;

std::size_t stretch(const std::string& seed, const std::string& edits, std::size_t len,
                    std::string& a, std::string& b) {
    a.clear();
    while (a.size() < len) a += seed;
    a.resize(len);
    b = a;
    std::size_t made = 0;
    for (std::size_t e = 0; e + 2 < edits.size() && made < kStretchedEdits; e += 3, ++made) {
        const auto where =
            static_cast<unsigned char>(edits[e]) | static_cast<unsigned char>(edits[e + 1]) << 8;
        const std::size_t p = where * (b.size() - 1) / 65536;
        const char what = edits[e + 2];
        switch (static_cast<unsigned char>(what) % 4) {
            case 0:
                b[p] = what;
                break;
            case 1:
                b.insert(b.begin() + p, what);
                break;
            case 2:
                b.erase(p, 1);
                break;
            default:
                std::swap(b[p], b[p + 1]);
        }
    }
    b.front() = static_cast<char>(a.front() ^ 1);
    b.back() = static_cast<char>(a.back() ^ 1);
    return made + 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t split = (data[1] | data[2] << 8) % (size - 2);
    std::string a(reinterpret_cast<const char*>(data) + 3, split);
    std::string b(reinterpret_cast<const char*>(data) + 3 + split, size - 3 - split);
    // The bounds the bounded forms are checked at: mostly small, where they
    // give up, now and then beyond every length.
    const unsigned long bound = data[0] == 255 ? ~0ul : data[0] % 64;
    if (!kStretched) {
        check_all(a, b, split % 7, bound);
    } else if (!a.empty()) {
        std::string long_a, long_b;
        const std::size_t edits = stretch(a, b, 8192 + data[0] * 16, long_a, long_b);
        check_distances(long_a, long_b, 2 * edits, data[0] % 2 ? 2 * edits : edits / 2);
    }
    return 0;
}
