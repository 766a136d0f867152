// Random byte strings and edited copies of them, for the tests and the
// benchmarks: the same seed gives the same strings.
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

class Pairs {
  public:
    explicit Pairs(std::uint64_t seed) : rng_(seed) {}

    std::string random(const std::string& alphabet, std::size_t len) {
        std::string s(len, '\0');
        for (auto& ch : s) ch = pick(alphabet);
        return s;
    }

    // A copy of s with about one edit in `every` bytes.
    std::string edited(std::string s, const std::string& alphabet, std::size_t every) {
        const std::size_t edits = s.size() / every + rng_() % 3;
        return with_edits(std::move(s), alphabet, edits);
    }

    // A copy of s with the given number of edits at random places:
    // substitutions, insertions, deletions and swaps of neighbours.
    std::string with_edits(std::string s, const std::string& alphabet, std::size_t edits) {
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
                    s.erase(p, 1);
                    break;
                default:
                    if (p + 1 < s.size()) std::swap(s[p], s[p + 1]);
            }
        }
        return s;
    }

    std::size_t below(std::size_t n) { return rng_() % n; }

  private:
    char pick(const std::string& alphabet) { return alphabet[rng_() % alphabet.size()]; }
    std::mt19937_64 rng_;
};
