#include "reference.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace reference {

std::string common_characters(std::string_view a, std::string_view b, unsigned long range) {
    std::vector<bool> used(b.size());
    std::string common;
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

double jaro(std::string_view a, std::string_view b) {
    const unsigned long range = std::min(a.size(), b.size()) / 2 + 1;
    const std::string c1 = common_characters(a, b, range);
    const std::string c2 = common_characters(b, a, range);
    if (c1.empty() || c1.size() != c2.size()) return 0.0;
    unsigned long differing = 0;
    for (unsigned long p = 0; p < c1.size(); ++p) differing += c1[p] != c2[p];
    const unsigned long t = differing / 2;
    const double m = static_cast<double>(c1.size());
    const double s = m / static_cast<double>(a.size()) + m / static_cast<double>(b.size());
    return (s + static_cast<double>(c1.size() - t) / m) / 3.0;
}

int prefix_length(std::string_view a, std::string_view b) {
    int l = 0;
    while (l < 6 && static_cast<unsigned long>(l) < std::min(a.size(), b.size()) && a[l] == b[l]) {
        ++l;
    }
    return l;
}

double jarowinkler(std::string_view a, std::string_view b) {
    const double j = jaro(a, b);
    return (1.0 - j) * (prefix_length(a, b) * static_cast<double>(0.1f)) + j;
}

namespace {

// The table row by row, cell (i, j) the distance of the first i bytes of a
// and the first j bytes of b; with transpositions for the restricted
// distance, which reach back two rows. Three rows suffice, so long pairs fit
// in memory. Cells more than `reach` diagonals off the main one count as
// infinite: no path of cost at most reach passes through them, so the result
// is exact whenever the distance is at most reach.
unsigned long table_distance(std::string_view a, std::string_view b, bool transpositions,
                             unsigned long reach) {
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

}  // namespace

unsigned long levenshtein(std::string_view a, std::string_view b, unsigned long reach) {
    return table_distance(a, b, false, reach);
}

unsigned long osa(std::string_view a, std::string_view b, unsigned long reach) {
    return table_distance(a, b, true, reach);
}

}  // namespace reference
