// Each measure of the library beside the simple reference of the tests and
// the straightforward baseline, in the same run, on the same pairs.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

#include "algorithms.h"
#include "baseline.h"
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

enum class Impl { kLibrary, kReference, kBaseline };
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

}  // namespace

int main(int argc, char** argv) {
    const std::pair<const char*, Measure> measures[] = {
        {"jaro_distance", Measure::kJaro},
        {"jarowinkler_distance", Measure::kJaroWinkler},
        {"levenshteinDistance", Measure::kLevenshtein},
        {"damerauLevenshteinDistance", Measure::kOsa}};
    const std::pair<const char*, Impl> impls[] = {{"library", Impl::kLibrary},
                                                  {"reference", Impl::kReference},
                                                  {"baseline", Impl::kBaseline}};
    const std::pair<const char*, std::string> alphabets[] = {{"az", "abcdefghijklmnopqrstuvwxyz"},
                                                             {"acgt", "acgt"}};
    for (const auto& [measure_name, m] : measures) {
        for (const auto& [impl_name, impl] : impls) {
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
