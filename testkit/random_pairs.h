// Random strings and edited copies of them, for the tests and the
// benchmarks: the same seed gives the same strings. A string is a sequence of
// bytes, or of pieces of UTF-8 text (characters, and byte sequences that are
// not well-formed), drawn from an alphabet of bytes or of pieces.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Alphabets that stress the bytes with a history of special meaning in
// string matching ('#' and NUL), and every byte value.
inline const std::vector<std::string>& stress_alphabets() {
    static const std::vector<std::string> alphabets = {"ab", "abc#", std::string("ab#\0", 4), [] {
                                                           std::string all(256, '\0');
                                                           for (int i = 0; i < 256; ++i)
                                                               all[i] = static_cast<char>(i);
                                                           return all;
                                                       }()};
    return alphabets;
}

// The UTF-8 encoding of a code point.
inline std::string utf8(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3f));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
    return out;
}

using Pieces = std::vector<std::string>;

// Characters of one to four bytes, NUL and '#', and byte sequences that are
// not well-formed UTF-8: lone continuation bytes, truncated sequences,
// overlong forms, encoded surrogates, a code point above U+10FFFF, bytes that
// lead nothing, and lead bytes standing alone. Side by side, pieces may also
// form well-formed sequences of their own.
inline const Pieces& utf8_pieces() {
    static const Pieces pieces = {"a",
                                  "b",
                                  "#",
                                  std::string(1, '\0'),
                                  utf8(0xe9),
                                  utf8(0xfc),
                                  utf8(0x4e2d),
                                  utf8(0x6587),
                                  utf8(0x1f600),
                                  utf8(0x1d11e),
                                  "\x80",
                                  "\xbf",
                                  "\xe4\xb8",
                                  "\xf0\x9f\x98",
                                  "\xc0\xaf",
                                  "\xe0\x80\xaf",
                                  "\xed\xa0\x80",
                                  "\xf4\x90\x80\x80",
                                  "\xff",
                                  "\xc3",
                                  "\xe4"};
    return pieces;
}

// Code points first to first + count - 1 as pieces.
inline Pieces code_points(char32_t first, std::size_t count) {
    Pieces pieces;
    for (std::size_t k = 0; k < count; ++k) pieces.push_back(utf8(first + k));
    return pieces;
}

inline std::string joined(const Pieces& pieces) {
    std::string out;
    for (const auto& p : pieces) out += p;
    return out;
}

class Pairs {
  public:
    explicit Pairs(std::uint64_t seed) : rng_(seed) {}

    // len symbols of the alphabet: a std::string of bytes from a string
    // alphabet, or Pieces from a Pieces alphabet.
    template <typename Alphabet>
    Alphabet random(const Alphabet& alphabet, std::size_t len) {
        Alphabet s(len, typename Alphabet::value_type{});
        for (auto& symbol : s) symbol = pick(alphabet);
        return s;
    }
    std::string random(const char* alphabet, std::size_t len) {
        return random(std::string(alphabet), len);
    }

    // A copy of s with about one edit in `every` symbols.
    template <typename Sequence, typename Alphabet>
    Sequence edited(Sequence s, const Alphabet& alphabet, std::size_t every) {
        const std::size_t edits = s.size() / every + rng_() % 3;
        return with_edits(std::move(s), alphabet, edits);
    }

    // A copy of s with the given number of edits at random places:
    // substitutions, insertions, deletions and swaps of neighbours.
    template <typename Sequence, typename Alphabet>
    Sequence with_edits(Sequence s, const Alphabet& alphabet, std::size_t edits) {
        for (std::size_t e = 0; e < edits && !s.empty(); ++e) {
            const std::size_t p = rng_() % s.size();
            switch (rng_() % 4) {
                case 0:
                    s[p] = pick(alphabet);
                    break;
                case 1:
                    s.insert(s.begin() + p, pick(alphabet));
                    break;
                case 2:
                    s.erase(s.begin() + p);
                    break;
                default:
                    if (p + 1 < s.size()) std::swap(s[p], s[p + 1]);
            }
        }
        return s;
    }

    std::size_t below(std::size_t n) { return rng_() % n; }

  private:
    template <typename Alphabet>
    typename Alphabet::value_type pick(const Alphabet& alphabet) {
        return alphabet[rng_() % alphabet.size()];
    }
    std::mt19937_64 rng_;
};
