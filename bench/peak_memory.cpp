// Peak heap memory of one call of each measure on two random values of the
// given size (default 1 MiB) drawn from the given number of distinct bytes
// (default 26), counted by a replaced global operator new; and of the
// _utf8 measures on two values of about that size in two-byte characters
// drawn from as many code points, spread so widely that the characters are
// numbered one by one.
//   peak_memory [SIZE [DISTINCT]]
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "cpp_api.h"

namespace {
std::size_t g_current = 0, g_peak = 0;
}

void* operator new(std::size_t size) {
    auto* p = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (p == nullptr) throw std::bad_alloc();
    *p = size;
    g_current += size;
    if (g_current > g_peak) g_peak = g_current;
    return reinterpret_cast<char*>(p) + sizeof(std::max_align_t);
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
    if (p == nullptr) return;
    char* block = static_cast<char*>(p) - sizeof(std::max_align_t);
    g_current -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

int main(int argc, char** argv) {
    const std::size_t size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1 << 20;
    const unsigned distinct = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 26;
    std::mt19937_64 rng(1);
    std::string a(size, 'a'), b(size, 'a');
    for (auto& c : a) c = static_cast<char>(rng() % distinct);
    for (auto& c : b) c = static_cast<char>(rng() % distinct);
    const auto report = [&](const char* name, auto call) {
        g_peak = g_current;
        const std::size_t before = g_current;
        const auto start = std::chrono::steady_clock::now();
        const double value = static_cast<double>(call());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf(
            "%-28s %10zu bytes each of %3u distinct: peak scratch %10zu bytes (%.2f per "
            "input byte), %.2f s, value %.17g\n",
            name, size, distinct, g_peak - before, double(g_peak - before) / double(2 * size),
            seconds, value);
    };
    report("jaro_distance", [&] { return jaro_distance(a.data(), b.data(), size, size); });
    report("jarowinkler_distance",
           [&] { return jarowinkler_distance(a.data(), b.data(), size, size); });
    report("levenshteinDistance",
           [&] { return levenshteinDistance(a.data(), b.data(), size, size); });
    report("damerauLevenshteinDistance",
           [&] { return damerauLevenshteinDistance(a.data(), b.data(), size, size); });

    // Code points from U+0100 on, 1500 / distinct apart: all below U+0800.
    const auto characters = [&] {
        std::string text;
        while (text.size() + 2 <= size) {
            const unsigned code =
                0x100 + static_cast<unsigned>(rng() % distinct) * (1500 / distinct);
            text += static_cast<char>(0xc0 | code >> 6);
            text += static_cast<char>(0x80 | (code & 0x3f));
        }
        return text;
    };
    const std::string u = characters(), v = characters();
    report("jaro_utf8",
           [&] { return likeness::jaro_utf8(u.data(), v.data(), u.size(), v.size()); });
    report("levenshtein_utf8",
           [&] { return likeness::levenshtein_utf8(u.data(), v.data(), u.size(), v.size()); });
}
