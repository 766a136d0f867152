// Each measure of the library beside the simple reference of the tests and
// the straightforward baseline (and, for the Levenshtein distance, edlib) in
// the same run, on the same pairs; and each
// measure over characters beside the byte measure: on the same ASCII pairs,
// on those pairs with every letter replaced by a character of another script
// (against the byte measure on the ASCII originals), and on texts of more
// than 256 distinct characters (against the byte measure on ASCII pairs of
// the same length).
#include <benchmark/benchmark.h>
#include <edlib.h>

#include <string>
#include <utility>
#include <vector>

#include "baseline.h"
#include "cpp_api.h"
#include "random_pairs.h"
#include "reference.h"

namespace {

using StringPairs = std::vector<std::pair<std::string, std::string>>;

// Random strings of the given length, each beside a copy with about one edit
// in seven bytes.
StringPairs random_pairs(const std::string& alphabet, std::size_t len) {
    Pairs random(len * 31 + alphabet.size());
    StringPairs pairs(len >= 1024 ? 8 : 64);
    for (auto& [a, b] : pairs) {
        a = random.random(alphabet, len);
        b = random.edited(a, alphabet, 7);
    }
    return pairs;
}

// Names as they turn up in records to be linked: misspelt, swapped, shortened.
StringPairs name_pairs() {
    return {{"MARTHA", "MARHTA"},
            {"DWAYNE", "DUANE"},
            {"DIXON", "DICKSONX"},
            {"JONATHAN", "JOHNATHAN"},
            {"KATHERINE", "CATHERINE"},
            {"MICHAEL", "MICHEAL"},
            {"STEPHEN", "STEVEN"},
            {"ELIZABETH", "ELISABETH"},
            {"MCDONALD", "MACDONALD"},
            {"SCHMIDT", "SCHMITT"},
            {"ANDERSON", "ANDERSEN"},
            {"THOMPSON", "THOMSON"},
            {"JOHNSON", "JONSON"},
            {"WILLIAMS", "WILLIAMSON"},
            {"GONZALEZ", "GONZALES"},
            {"RODRIGUEZ", "RODRIQUEZ"},
            {"Alexander Smith", "Alex Smith"},
            {"Maria Garcia", "Garcia, Maria"},
            {"Christopher Lee", "Christoper Lee"},
            {"Jean-Luc Picard", "Jean Luc Picard"},
            {"O'Brien", "OBrien"},
            {"Nguyen Van An", "Nguyen An"},
            {"Muller", "Mueller"},
            {"Zhang Wei", "Wei Zhang"}};
}

enum class Impl { kLibrary, kReference, kBaseline, kCharacters, kEdlib };

// edlib's global edit distance, the peer for the Levenshtein distance.
double edlib_distance(const std::string& a, const std::string& b) {
    const EdlibAlignResult result =
        edlibAlign(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                   edlibNewAlignConfig(-1, EDLIB_MODE_NW, EDLIB_TASK_DISTANCE, nullptr, 0));
    const double distance = result.editDistance;
    edlibFreeAlignResult(result);
    return distance;
}
enum class Measure { kJaro, kJaroWinkler, kLevenshtein, kOsa };

double measure(Impl impl, Measure m, std::string& a, std::string& b) {
    char* pa = a.data();
    char* pb = b.data();
    const unsigned long la = a.size(), lb = b.size();
    switch (impl) {
        case Impl::kLibrary:
            switch (m) {
                case Measure::kJaro:
                    return jaro_distance(pa, pb, la, lb);
                case Measure::kJaroWinkler:
                    return jarowinkler_distance(pa, pb, la, lb);
                case Measure::kLevenshtein:
                    return levenshteinDistance(pa, pb, la, lb);
                case Measure::kOsa:
                    return damerauLevenshteinDistance(pa, pb, la, lb);
            }
            break;
        case Impl::kReference:
            switch (m) {
                case Measure::kJaro:
                    return reference::jaro(a, b);
                case Measure::kJaroWinkler:
                    return reference::jarowinkler(a, b);
                case Measure::kLevenshtein:
                    return reference::levenshtein(a, b);
                case Measure::kOsa:
                    return reference::osa(a, b);
            }
            break;
        case Impl::kEdlib:
            return edlib_distance(a, b);
        case Impl::kCharacters:
            switch (m) {
                case Measure::kJaro:
                    return likeness::jaro_utf8(pa, pb, la, lb);
                case Measure::kJaroWinkler:
                    return likeness::jarowinkler_utf8(pa, pb, la, lb);
                case Measure::kLevenshtein:
                    return likeness::levenshtein_utf8(pa, pb, la, lb);
                case Measure::kOsa:
                    return likeness::osa_utf8(pa, pb, la, lb);
            }
            break;
        case Impl::kBaseline:
            switch (m) {
                case Measure::kJaro:
                    return baseline::jaro(pa, pb, la, lb);
                case Measure::kJaroWinkler:
                    return baseline::jarowinkler(pa, pb, la, lb);
                case Measure::kLevenshtein:
                    return baseline::levenshtein(pa, pb, la, lb);
                case Measure::kOsa:
                    return baseline::osa(pa, pb, la, lb);
            }
            break;
    }
    return 0;
}

// Reports time per pair; the pairs are cycled so no branch is learnt by heart.
void run(benchmark::State& state, Impl impl, Measure m, StringPairs pairs) {
    std::size_t next = 0;
    for (auto _ : state) {
        auto& [a, b] = pairs[next];
        benchmark::DoNotOptimize(measure(impl, m, a, b));
        next = next + 1 == pairs.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

// Every byte of a pair replaced by the character `first` + byte.
StringPairs relabelled(const StringPairs& pairs, char32_t first) {
    StringPairs out;
    for (const auto& [a, b] : pairs) {
        std::string ra, rb;
        for (unsigned char c : a) ra += utf8(first + c);
        for (unsigned char c : b) rb += utf8(first + c);
        out.emplace_back(ra, rb);
    }
    return out;
}

// Texts of len characters drawn from 600 CJK characters, each beside a copy
// with about one edit in seven.
StringPairs many_character_pairs(std::size_t len) {
    Pairs random(len);
    const Pieces cjk = code_points(0x4e00, 600);
    StringPairs pairs(8);
    for (auto& [a, b] : pairs) {
        const Pieces text = random.random(cjk, len);
        a = joined(text);
        b = joined(random.edited(text, cjk, 7));
    }
    return pairs;
}

void register_characters(const char* measure_name, Measure m) {
    const std::pair<const char*, char32_t> scripts[] = {{"ascii", 0},        {"latin", 0xc0},
                                                        {"cyrillic", 0x400}, {"greek", 0x370},
                                                        {"cjk", 0x4e00},     {"emoji", 0x1f400}};
    const std::string prefix = std::string("characters/") + measure_name + "/";
    const auto add = [&](const std::string& name, const StringPairs& originals,
                         const StringPairs& characters) {
        benchmark::RegisterBenchmark((prefix + name + "/bytes").c_str(), run, Impl::kLibrary, m,
                                     originals);
        benchmark::RegisterBenchmark((prefix + name + "/characters").c_str(), run,
                                     Impl::kCharacters, m, characters);
    };
    for (const auto& [script, first] : scripts) {
        const auto in_script = [first = first](const StringPairs& p) {
            return first == 0 ? p : relabelled(p, first);
        };
        add(std::string(script) + "/names", name_pairs(), in_script(name_pairs()));
        for (std::size_t len : {4, 8, 16, 64, 256, 1024, 4096}) {
            const StringPairs pairs = random_pairs("abcdefghijklmnopqrstuvwxyz", len);
            add(std::string(script) + "/" + std::to_string(len), pairs, in_script(pairs));
        }
    }
    for (std::size_t len : {1024, 4096}) {
        add("600-cjk/" + std::to_string(len), random_pairs("abcdefghijklmnopqrstuvwxyz", len),
            many_character_pairs(len));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::pair<const char*, Measure> measures[] = {
        {"jaro_distance", Measure::kJaro},
        {"jarowinkler_distance", Measure::kJaroWinkler},
        {"levenshteinDistance", Measure::kLevenshtein},
        {"damerauLevenshteinDistance", Measure::kOsa}};
    const std::pair<const char*, Impl> impls[] = {{"library", Impl::kLibrary},
                                                  {"reference", Impl::kReference},
                                                  {"baseline", Impl::kBaseline},
                                                  {"edlib", Impl::kEdlib}};
    const std::pair<const char*, std::string> alphabets[] = {{"az", "abcdefghijklmnopqrstuvwxyz"},
                                                             {"acgt", "acgt"}};
    for (const auto& [measure_name, m] : measures) {
        for (const auto& [impl_name, impl] : impls) {
            if (impl == Impl::kEdlib && m != Measure::kLevenshtein) continue;
            const std::string prefix = std::string(measure_name) + "/";
            benchmark::RegisterBenchmark((prefix + "names/" + impl_name).c_str(), run, impl, m,
                                         name_pairs());
            for (const auto& [alphabet_name, alphabet] : alphabets) {
                for (std::size_t len : {4, 8, 16, 32, 64, 128, 256, 1024, 4096}) {
                    const std::string name =
                        prefix + alphabet_name + "/" + std::to_string(len) + "/" + impl_name;
                    benchmark::RegisterBenchmark(name.c_str(), run, impl, m,
                                                 random_pairs(alphabet, len));
                }
            }
        }
    }
    for (const auto& [measure_name, m] : measures) register_characters(measure_name, m);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
