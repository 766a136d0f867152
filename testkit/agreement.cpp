#include "agreement.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cpp_api.h"
#include "reference.h"

namespace {

// Collects the first disagreement; later checks are skipped once there is one.
class Verdict {
  public:
    template <typename Got, typename Expected>
    void same(const char* measure, const std::string& detail, Got got, Expected expected) {
        if (!first_.empty() || got == expected) return;
        std::ostringstream out;
        out.precision(17);
        out << measure << detail << ": got " << got << ", expected " << expected;
        first_ = out.str();
    }
    void holds(const char* property, bool ok) {
        if (first_.empty() && !ok) first_ = property;
    }
    bool disagreed() const { return !first_.empty(); }
    const std::string& first() const { return first_; }

  private:
    std::string first_;
};

std::string at(const char* what, unsigned long value) {
    return std::string(" at ") + what + " " + std::to_string(value);
}

// The bounds a bounded distance is checked at: 0, around the distance d, a
// third of it, beyond every length, and the extra ones asked for.
std::vector<unsigned long> bounds_around(unsigned long d, const std::vector<unsigned long>& extra) {
    std::vector<unsigned long> bounds = {0, d / 3, d + 1, d + 64, ~0ul};
    if (d > 0) bounds.push_back(d - 1);
    if (d > 1) bounds.push_back(d);
    bounds.insert(bounds.end(), extra.begin(), extra.end());
    return bounds;
}

using Bounded = unsigned long (*)(const char*, const char*, unsigned long, unsigned long,
                                  unsigned long);

// min(d, k + 1) at every bound; both ways round.
void check_bounded(Verdict& v, const char* name, Bounded bounded, const std::string& a,
                   const std::string& b, unsigned long d, const Checks& checks) {
    for (unsigned long k : bounds_around(d, checks.bounds)) {
        const unsigned long expected = k < d ? k + 1 : d;
        v.same(name, at("bound", k), bounded(a.data(), b.data(), a.size(), b.size(), k), expected);
        v.same(name, at("bound", k) + " swapped",
               bounded(b.data(), a.data(), b.size(), a.size(), k), expected);
    }
}

void check_common_characters(Verdict& v, std::string a, std::string b, unsigned long range) {
    char* c = get_common_characters(a.data(), b.data(), a.size(), b.size(), range);
    std::string expected = reference::common_characters(a, b, range);
    expected.resize(a.size() + 1, '\0');
    v.same("get_common_characters", at("range", range), shown(std::string(c, a.size() + 1)),
           shown(expected));
    delete[] c;
}

void check_bytes(Verdict& v, std::string a, std::string b, const Checks& checks) {
    char* pa = a.data();
    char* pb = b.data();
    const unsigned long la = a.size(), lb = b.size();
    if (checks.similarities) {
        const double j = jaro_distance(pa, pb, la, lb), w = jarowinkler_distance(pa, pb, la, lb);
        v.same("jaro_distance", "", j, reference::jaro(a, b));
        v.same("jarowinkler_distance", "", w, reference::jarowinkler(a, b));
        v.same("get_prefix_length", "", get_prefix_length(pa, pb, la, lb),
               reference::prefix_length(a, b));
        v.same("jaro_distance", " swapped", jaro_distance(pb, pa, lb, la), j);
        v.same("jarowinkler_distance", " swapped", jarowinkler_distance(pb, pa, lb, la), w);
        v.holds("0 <= jaro <= jarowinkler <= 1", 0.0 <= j && j <= w && w <= 1.0);
        std::vector<unsigned long> ranges = checks.ranges;
        ranges.push_back(std::min(la, lb) / 2 + 1);
        for (unsigned long range : ranges) {
            check_common_characters(v, a, b, range);
            check_common_characters(v, b, a, range);
        }
    }
    const unsigned long l = reference::levenshtein(a, b, checks.reach);
    const unsigned long o = reference::osa(a, b, checks.reach);
    v.same("levenshteinDistance", "", levenshteinDistance(pa, pb, la, lb), l);
    v.same("damerauLevenshteinDistance", "", damerauLevenshteinDistance(pa, pb, la, lb), o);
    v.same("levenshteinDistance", " swapped", levenshteinDistance(pb, pa, lb, la), l);
    v.same("damerauLevenshteinDistance", " swapped", damerauLevenshteinDistance(pb, pa, lb, la), o);
    v.holds("osa <= levenshtein <= the longer length", o <= l && l <= std::max(la, lb));
    check_bounded(v, "levenshtein_bounded", likeness::levenshtein_bounded, a, b, l, checks);
    check_bounded(v, "osa_bounded", likeness::osa_bounded, a, b, o, checks);
}

void check_characters(Verdict& v, const std::string& a, const std::string& b,
                      const Checks& checks) {
    const std::u32string ua = reference::units(a), ub = reference::units(b);
    const unsigned long la = a.size(), lb = b.size();
    if (checks.similarities) {
        v.same("jaro_utf8", "", likeness::jaro_utf8(a.data(), b.data(), la, lb),
               reference::jaro(ua, ub));
        v.same("jarowinkler_utf8", "", likeness::jarowinkler_utf8(a.data(), b.data(), la, lb),
               reference::jarowinkler(ua, ub));
    }
    const unsigned long l = reference::levenshtein(ua, ub, checks.reach);
    const unsigned long o = reference::osa(ua, ub, checks.reach);
    v.same("levenshtein_utf8", "", likeness::levenshtein_utf8(a.data(), b.data(), la, lb), l);
    v.same("osa_utf8", "", likeness::osa_utf8(a.data(), b.data(), la, lb), o);
    v.same("osa_utf8", " swapped", likeness::osa_utf8(b.data(), a.data(), lb, la), o);
    check_bounded(v, "levenshtein_utf8_bounded", likeness::levenshtein_utf8_bounded, a, b, l,
                  checks);
    check_bounded(v, "osa_utf8_bounded", likeness::osa_utf8_bounded, a, b, o, checks);
}

}  // namespace

std::string first_disagreement(const std::string& a, const std::string& b, const Checks& checks) {
    Verdict v;
    if (checks.bytes) check_bytes(v, a, b, checks);
    if (checks.characters && !v.disagreed()) check_characters(v, a, b, checks);
    return v.first();
}

std::string shown(const std::string& s) {
    if (s.size() > 80) return std::to_string(s.size()) + " bytes";
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out + "\"";
}
