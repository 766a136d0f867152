#include "reference.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace reference {

namespace {

template <typename Char>
using View = std::basic_string_view<Char>;

template <typename Char>
std::basic_string<Char> common(View<Char> a, View<Char> b, unsigned long range) {
    std::vector<bool> used(b.size());
    std::basic_string<Char> common;
    for (unsigned long i = 0; i < a.size(); ++i) {
        const unsigned long lo = i > range ? i - range : 0;
        const unsigned long hi = std::min<unsigned long>(b.size(), i + std::min(range, b.size()));
        for (unsigned long k = lo; k < hi; ++k) {
            if (!used[k] && b[k] == a[i]) {
                used[k] = true;
                common += a[i];
                break;
            }
        }
    }
    return common;
}

template <typename Char>
double jaro_of(View<Char> a, View<Char> b) {
    const unsigned long range = std::min(a.size(), b.size()) / 2 + 1;
    const std::basic_string<Char> c1 = common(a, b, range);
    const std::basic_string<Char> c2 = common(b, a, range);
    if (c1.empty() || c1.size() != c2.size()) return 0.0;
    unsigned long differing = 0;
    for (unsigned long p = 0; p < c1.size(); ++p) differing += c1[p] != c2[p];
    const unsigned long t = differing / 2;
    const double m = static_cast<double>(c1.size());
    const double s = m / static_cast<double>(a.size()) + m / static_cast<double>(b.size());
    return (s + static_cast<double>(c1.size() - t) / m) / 3.0;
}

template <typename Char>
int prefix_of(View<Char> a, View<Char> b) {
    int l = 0;
    while (l < 6 && static_cast<unsigned long>(l) < std::min(a.size(), b.size()) && a[l] == b[l]) {
        ++l;
    }
    return l;
}

template <typename Char>
double jarowinkler_of(View<Char> a, View<Char> b) {
    const double j = jaro_of(a, b);
    return (1.0 - j) * (prefix_of(a, b) * static_cast<double>(0.1f)) + j;
}

// The table row by row, cell (i, j) the distance of the first i bytes of a
// and the first j bytes of b; with transpositions for the restricted
// distance, which reach back two rows. Three rows suffice, so long pairs fit
// in memory. Cells more than `reach` diagonals off the main one count as
// infinite: no path of cost at most reach passes through them, so the result
// is exact whenever the distance is at most reach.
template <typename Char>
unsigned long table_distance(View<Char> a, View<Char> b, bool transpositions, unsigned long reach) {
    constexpr unsigned long kInfinite = ~0ul / 2;
    const unsigned long n = b.size();
    std::vector<unsigned long> before(n + 2, kInfinite), previous(n + 2, kInfinite),
        current(n + 2, kInfinite);
    for (unsigned long j = 0; j <= std::min(n, reach); ++j) previous[j] = j;
    for (unsigned long i = 1; i <= a.size(); ++i) {
        const unsigned long first = i > reach ? i - reach : 0;
        const unsigned long last = reach >= n ? n : std::min(n, i + reach);
        if (first > 0) current[first - 1] = kInfinite;
        current[last + 1] = kInfinite;
        for (unsigned long j = first; j <= last; ++j) {
            if (j == 0) {
                current[0] = i;
                continue;
            }
            const unsigned long cost = a[i - 1] != b[j - 1];
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (transpositions && i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                current[j] = std::min(current[j], before[j - 2] + cost);
            }
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[n];
}

// A byte at which no well-formed sequence begins, standing alone: a value no
// code point has.
constexpr char32_t kLoneByte = 0x80000000;

// The length of the sequence a lead byte announces, 0 for a byte that leads
// none.
unsigned announced_length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xc0 && lead < 0xe0) return 2;
    if (lead >= 0xe0 && lead < 0xf0) return 3;
    if (lead >= 0xf0 && lead < 0xf8) return 4;
    return 0;
}

// The smallest code point each length may encode; anything below is an
// overlong form.
constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};

}  // namespace

std::u32string units(std::string_view bytes) {
    std::u32string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const unsigned length = announced_length(lead);
        bool well_formed = length != 0 && i + length <= bytes.size();
        char32_t cp = length == 1 ? lead : lead & (0x7f >> length);
        for (unsigned k = 1; well_formed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            well_formed = next >= 0x80 && next < 0xc0;
            cp = cp << 6 | (next & 0x3f);
        }
        well_formed = well_formed && cp >= kSmallest[length] && cp <= 0x10ffff &&
                      !(cp >= 0xd800 && cp <= 0xdfff);
        if (well_formed) {
            out += cp;
            i += length;
        } else {
            out += kLoneByte | lead;
            i += 1;
        }
    }
    return out;
}

std::string common_characters(std::string_view a, std::string_view b, unsigned long range) {
    return common(a, b, range);
}
double jaro(std::string_view a, std::string_view b) { return jaro_of(a, b); }
double jaro(std::u32string_view a, std::u32string_view b) { return jaro_of(a, b); }
int prefix_length(std::string_view a, std::string_view b) { return prefix_of(a, b); }
double jarowinkler(std::string_view a, std::string_view b) { return jarowinkler_of(a, b); }
double jarowinkler(std::u32string_view a, std::u32string_view b) { return jarowinkler_of(a, b); }
unsigned long levenshtein(std::string_view a, std::string_view b, unsigned long reach) {
    return table_distance(a, b, false, reach);
}
unsigned long levenshtein(std::u32string_view a, std::u32string_view b, unsigned long reach) {
    return table_distance(a, b, false, reach);
}
unsigned long osa(std::string_view a, std::string_view b, unsigned long reach) {
    return table_distance(a, b, true, reach);
}
unsigned long osa(std::u32string_view a, std::u32string_view b, unsigned long reach) {
    return table_distance(a, b, true, reach);
}

}  // namespace reference
