// What a join answers, worked out the plain way: for the calls of the
// entry-point tests, two rows (the call's own, id a and value b, and b's,
// id b and value a, on the right side in a link); and the pieces of any
// number of rows put back together, for the join's own tests.
#pragma once

#include <mysql.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "algorithms.h"
#include "reference.h"

namespace join_reference {

// The measure's score of two values, by the reference, and whether it is
// within the bound.
struct Score {
    double score;
    bool within;
};

inline Score score(likeness::JoinMeasure m, std::string_view a, std::string_view b,
                   double bound) {
    using M = likeness::JoinMeasure;
    const auto ua = [&] { return reference::units(a); };
    const auto ub = [&] { return reference::units(b); };
    switch (m) {
        case M::kJaro: return {reference::jaro(a, b), reference::jaro(a, b) >= bound};
        case M::kJaroWinkler:
            return {reference::jarowinkler(a, b), reference::jarowinkler(a, b) >= bound};
        case M::kJaroUtf8: {
            const double s = reference::jaro(ua(), ub());
            return {s, s >= bound};
        }
        case M::kJaroWinklerUtf8: {
            const double s = reference::jarowinkler(ua(), ub());
            return {s, s >= bound};
        }
        case M::kLevenshtein: {
            const auto d = static_cast<double>(reference::levenshtein(a, b));
            return {d, d <= bound};
        }
        case M::kOsa: {
            const auto d = static_cast<double>(reference::osa(a, b));
            return {d, d <= bound};
        }
        case M::kLevenshteinUtf8: {
            const auto d = static_cast<double>(reference::levenshtein(ua(), ub()));
            return {d, d <= bound};
        }
        case M::kOsaUtf8: {
            const auto d = static_cast<double>(reference::osa(ua(), ub()));
            return {d, d <= bound};
        }
    }
    return {0, false};
}

inline bool similarity(likeness::JoinMeasure m) {
    return m == likeness::JoinMeasure::kJaro || m == likeness::JoinMeasure::kJaroWinkler ||
           m == likeness::JoinMeasure::kJaroUtf8 || m == likeness::JoinMeasure::kJaroWinklerUtf8;
}

inline std::string score_text(likeness::JoinMeasure m, double score) {
    if (!similarity(m)) return std::to_string(static_cast<unsigned long>(score));
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, score).ptr);
}

// A JSON number's text, by its grammar.
inline bool json_number(std::string_view s) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        return i - from;
    };
    if (i < s.size() && s[i] == '-') ++i;
    const std::size_t first = i;
    const std::size_t whole = digits();
    if (whole == 0 || (whole > 1 && s[first] == '0')) return false;
    if (i < s.size() && s[i] == '.' && (++i, digits() == 0)) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == s.size();
}

inline void utf8_append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3f));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

// An id as the join writes it: a number as itself when the ids are
// numbers, else a JSON string, a byte that begins no UTF-8 sequence as the
// character of its value.
inline std::string json_id(std::string_view id, bool numeric) {
    if (numeric && json_number(id)) return std::string(id);
    std::string out = "\"";
    for (char32_t u : reference::units(id)) {
        const char32_t c = u & 0x80000000u ? u & 0xff : u;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            utf8_append(out, c);
        }
    }
    return out + "\"";
}

inline std::optional<std::string_view> argument(const UDF_ARGS* args, unsigned i) {
    if (i >= args->arg_count || args->args[i] == nullptr) return std::nullopt;
    return std::string_view(args->args[i], args->lengths[i]);
}

// The value of the entry-point tests' call of two rows (SqlCall's arguments
// start as REAL_RESULT, so the ids are taken as numbers).
inline std::string two_rows(const UDF_ARGS* args, likeness::JoinMeasure m, bool clusters) {
    const std::string head = std::string("{\"next\":null,\"") + (clusters ? "clusters" : "pairs") + "\":[";
    const auto a = argument(args, 0), b = argument(args, 1);
    const bool link = args->arg_count > 4;
    double bound;
    std::memcpy(&bound, args->args[2], sizeof bound);
    if (!a || !b || (link && !argument(args, 4))) return head + "]}";
    // Row one: id a, value b; row two: id b, value a.
    const Score s = score(m, *b, *a, bound);
    const std::string ja = json_id(*a, true), jb = json_id(*b, true);
    // Row one came first. Clusters: together, labelled by the place of the
    // first in the order of values, 0; else each alone.
    if (!clusters) {
        if (!s.within) return head + "]}";
        return head + "[[" + ja + "," + jb + "," + score_text(m, s.score) + "]]]}";
    }
    if (s.within) return head + "[[" + ja + ",0],[" + jb + ",0]]]}";
    return head + "[[" + ja + "],[" + jb + "]]]}";
}

}  // namespace join_reference
