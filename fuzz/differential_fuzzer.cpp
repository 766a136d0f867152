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
#include <cstdio>
#include <string>

#include "agreement.h"

namespace {

#ifdef LIKENESS_FUZZ_STRETCHED
constexpr bool kStretched = true;
#else
constexpr bool kStretched = false;
#endif

// Stops the run, naming the measure that disagreed and both inputs.
void check(const std::string& a, const std::string& b, const Checks& checks) {
    const std::string disagreement = first_disagreement(a, b, checks);
    if (disagreement.empty()) return;
    std::fprintf(stderr, "%s\n  a = %s\n  b = %s\n", disagreement.c_str(), shown(a).c_str(),
                 shown(b).c_str());
    __builtin_trap();
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
    // A bound the bounded forms are checked at besides those around the
    // distance: mostly small, where they give up, now and then beyond every
    // length.
    Checks checks;
    checks.bounds = {data[0] == 255 ? ~0ul : data[0] % 64};
    if (!kStretched) {
        checks.characters = true;
        checks.ranges = {split % 7};
        check(a, b, checks);
    } else if (!a.empty()) {
        std::string long_a, long_b;
        const std::size_t edits = stretch(a, b, 8192 + data[0] * 16, long_a, long_b);
        checks.similarities = false;
        checks.reach = 2 * edits;
        checks.bounds = {data[0] % 2 ? 2 * edits : edits / 2};
        check(long_a, long_b, checks);
    }
    return 0;
}
