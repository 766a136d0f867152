// The measures over characters: known values, the byte measures' results
// wherever no well-formed multi-byte sequence appears, and the same results
// for any one-to-one relabelling of the characters of a pair.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cpp_api.h"
#include "random_pairs.h"

namespace {

struct Measures {
    double jaro, jarowinkler;
    unsigned long levenshtein, osa;

    bool operator==(const Measures& o) const {
        return jaro == o.jaro && jarowinkler == o.jarowinkler && levenshtein == o.levenshtein &&
               osa == o.osa;
    }
};

void PrintTo(const Measures& m, std::ostream* os) {
    *os << "{" << ::testing::PrintToString(m.jaro) << ", "
        << ::testing::PrintToString(m.jarowinkler) << ", " << m.levenshtein << ", " << m.osa << "}";
}

Measures by_characters(const std::string& a, const std::string& b) {
    return {likeness::jaro_utf8(a.data(), b.data(), a.size(), b.size()),
            likeness::jarowinkler_utf8(a.data(), b.data(), a.size(), b.size()),
            likeness::levenshtein_utf8(a.data(), b.data(), a.size(), b.size()),
            likeness::osa_utf8(a.data(), b.data(), a.size(), b.size())};
}

Measures by_bytes(std::string a, std::string b) {
    return {jaro_distance(a.data(), b.data(), a.size(), b.size()),
            jarowinkler_distance(a.data(), b.data(), a.size(), b.size()),
            levenshteinDistance(a.data(), b.data(), a.size(), b.size()),
            damerauLevenshteinDistance(a.data(), b.data(), a.size(), b.size())};
}

struct DistanceCase {
    std::string a, b;
    unsigned long levenshtein, osa;
};

TEST(Characters, CountCharactersAndLoneBytes) {
    const std::string e4_b8_a("\xe4\xb8\x61");  // a truncated 中 before 'a': three units
    const std::vector<DistanceCase> cases = {
        {"M\xc3\xbcller", "Muller", 1, 1},               // ü is one character
        {"\xe4\xb8\xad", "a", 1, 1},                     // 中 is one character
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x81", 1, 1},  // two emoji
        {"n\xc3\xa9", "\xc3\xa9n", 2, 1},                // a swap of characters
        {e4_b8_a, "a", 2, 2},
        {e4_b8_a, "\xe4\xb8\xad", 3, 3},
        {"\xe4", "\xc3\xa4", 1, 1},  // the lone byte E4 is not the character U+00E4
        {"\xc0\xaf", "/", 2, 2},     // an overlong '/' is two lone bytes
        {"\xed\xa0\x80", "\xed\xa0\x80", 0, 0},
        {"", "\xe4\xb8\xad\xe6\x96\x87", 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.a) + " / " + ::testing::PrintToString(c.b));
        const Measures m = by_characters(c.a, c.b), swapped = by_characters(c.b, c.a);
        EXPECT_EQ(m.levenshtein, c.levenshtein);
        EXPECT_EQ(m.osa, c.osa);
        EXPECT_EQ(swapped, m);
    }
    // A lone byte and the character of the same number never match.
    EXPECT_EQ(likeness::jaro_utf8("\xe4", "\xc3\xa4", 1, 2), 0.0);
    // 'ü' against "ue": one character against two.
    EXPECT_EQ(by_characters("M\xc3\xbcller", "Mueller").jarowinkler,
              by_bytes("MXller", "Mueller").jarowinkler);
}

// ASCII, latin1 text and bytes that never begin a well-formed multi-byte
// sequence: one unit per byte, so the byte measures' results.
TEST(Characters, WithoutMultiByteSequencesTheBytesResults) {
    std::string never_leading;
    for (int c = 0; c < 0x80; ++c) never_leading += static_cast<char>(c);
    for (int c = 0x80; c < 0xc0; ++c) never_leading += static_cast<char>(c);
    for (int c = 0xf5; c < 0x100; ++c) never_leading += static_cast<char>(c);
    const std::string latin1_names[] = {"M\xfcller", "Muller",         "Fran\xe7ois",
                                        "Francois",  "G\xf6k\xe7\x65", "Goekce"};
    Pairs pairs(11);
    for (int n = 0; n < 600; ++n) {
        const std::string& alphabet = n % 2 ? never_leading : stress_alphabets()[n % 4];
        const std::string a = pairs.random(alphabet, pairs.below(200));
        const std::string b =
            n % 3 ? pairs.edited(a, alphabet, 5) : pairs.random(alphabet, pairs.below(200));
        ASSERT_EQ(by_characters(a, b), by_bytes(a, b));
    }
    for (const auto& a : latin1_names) {
        for (const auto& b : latin1_names) EXPECT_EQ(by_characters(a, b), by_bytes(a, b));
    }
}

// Each ASCII letter of a pair replaced by one character of another script:
// the same results, by characters, as the bytes of the ASCII pair.
TEST(Characters, RelabellingChangesNoResult) {
    const std::map<std::string, char32_t> scripts = {
        {"accented Latin", 0xc0}, {"Cyrillic", 0x410}, {"Greek", 0x391},
        {"CJK", 0x4e00},          {"emoji", 0x1f600},
    };
    const std::vector<std::pair<std::string, std::string>> ascii = {
        {"MARTHA", "MARHTA"},  {"DWAYNE", "DUANE"},
        {"DIXON", "DICKSONX"}, {"abcd", "abdc"},
        {"ca", "abc"},         {"saturday", "sunday"},
        {"aa", "abba"},        {"abcdefgh", "abcdefgx"},
        {"", "abc"},
    };
    Pairs pairs(12);
    std::vector<std::pair<std::string, std::string>> cases = ascii;
    for (std::size_t len : {16, 63, 64, 65, 130, 700}) {
        const std::string a = pairs.random("ABCDEFGHIJKLMNOPQRSTUVWXYZ", len);
        cases.emplace_back(a, pairs.edited(a, std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 7));
    }
    for (const auto& [script, first] : scripts) {
        const auto relabel = [first = first](const std::string& s) {
            std::string out;
            for (char c : s) out += utf8(first + static_cast<char32_t>(c));
            return out;
        };
        for (const auto& [a, b] : cases) {
            SCOPED_TRACE(script + ": " + a.substr(0, 20) + " / " + b.substr(0, 20));
            EXPECT_EQ(by_characters(relabel(a), relabel(b)), by_bytes(a, b));
        }
    }
}

}  // namespace
