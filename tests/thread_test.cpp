// Many threads call every measure and entry function at once on shared,
// read-only inputs; every answer must equal the one computed alone. Run
// under ThreadSanitizer this also proves the calls share no mutable state.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "algorithms.h"
#include "random_pairs.h"
#include "sql_call.h"
#include "udf.h"

namespace {

// The bound of the bounded distances: below most distances of the pairs.
constexpr long long kBound = 5;

struct Answers {
    double jaro, jarowinkler, jaro_utf8, jarowinkler_utf8;
    unsigned long levenshtein, osa, levenshtein_utf8, osa_utf8;
    unsigned long levenshtein_bounded, osa_utf8_bounded;
    std::string common;

    bool operator!=(const Answers& o) const {
        return jaro != o.jaro || jarowinkler != o.jarowinkler || jaro_utf8 != o.jaro_utf8 ||
               jarowinkler_utf8 != o.jarowinkler_utf8 || levenshtein != o.levenshtein ||
               osa != o.osa || levenshtein_utf8 != o.levenshtein_utf8 || osa_utf8 != o.osa_utf8 ||
               levenshtein_bounded != o.levenshtein_bounded ||
               osa_utf8_bounded != o.osa_utf8_bounded || common != o.common;
    }
};

Answers answers_for(std::string& a, std::string& b) {
    char* c = get_common_characters(a.data(), b.data(), a.size(), b.size(), a.size() / 2 + 1);
    const unsigned long la = a.size(), lb = b.size();
    Answers r{jaro_distance(a.data(), b.data(), la, lb),
              jarowinkler_distance(a.data(), b.data(), la, lb),
              likeness::jaro_utf8(a.data(), b.data(), la, lb),
              likeness::jarowinkler_utf8(a.data(), b.data(), la, lb),
              levenshteinDistance(a.data(), b.data(), la, lb),
              damerauLevenshteinDistance(a.data(), b.data(), la, lb),
              likeness::levenshtein_utf8(a.data(), b.data(), la, lb),
              likeness::osa_utf8(a.data(), b.data(), la, lb),
              likeness::levenshtein_bounded(a.data(), b.data(), la, lb, kBound),
              likeness::osa_utf8_bounded(a.data(), b.data(), la, lb, kBound),
              std::string(c, a.size() + 1)};
    delete[] c;
    return r;
}

using Init = init_result (*)(UDF_INIT*, UDF_ARGS*, char*);

// One SQL call through init and row; 0 if it answered `expected`.
template <typename Result>
int differs(Init init, Result (*row)(UDF_INIT*, UDF_ARGS*, char*, char*),
            const std::vector<std::optional<std::string_view>>& values, Result expected) {
    SqlCall call(values);
    UDF_INIT initid{};
    char message[512];
    char is_null = 0, error = 0;
    int wrong = init(&initid, &call.args, message) != 0;
    wrong += row(&initid, &call.args, &is_null, &error) != expected;
    return wrong + is_null + error;
}

// Returns the number of answers that differ from the expected ones.
int check_entry_functions(const std::string& a, const std::string& b, const Answers& expected) {
    const auto as_long = [](unsigned long v) { return static_cast<long long>(v); };
    const std::vector<std::optional<std::string_view>> two = {a, b},
                                                       three = {a, b, integer_argument(kBound)};
    int wrong = 0;
    wrong += differs(jaro_init, jaro, two, expected.jaro);
    wrong += differs(jarowinkler_init, jarowinkler, two, expected.jarowinkler);
    wrong += differs(editdistance_init, editdistance, two, as_long(expected.levenshtein));
    wrong += differs(editdistance_dl_init, editdistance_dl, two, as_long(expected.osa));
    wrong += differs(jaro_utf8_init, jaro_utf8, two, expected.jaro_utf8);
    wrong += differs(jarowinkler_utf8_init, jarowinkler_utf8, two, expected.jarowinkler_utf8);
    wrong +=
        differs(editdistance_utf8_init, editdistance_utf8, two, as_long(expected.levenshtein_utf8));
    wrong +=
        differs(editdistance_dl_utf8_init, editdistance_dl_utf8, two, as_long(expected.osa_utf8));
    wrong += differs(editdistance_bounded_init, editdistance_bounded, three,
                     as_long(expected.levenshtein_bounded));
    wrong += differs(editdistance_dl_utf8_bounded_init, editdistance_dl_utf8_bounded, three,
                     as_long(expected.osa_utf8_bounded));
    return wrong;
}

TEST(Threads, ConcurrentCallsGiveTheAnswersOfSingleCalls) {
    std::mt19937_64 rng(5);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t len : {3, 8, 40, 64, 65, 300, 2000}) {
        for (int n = 0; n < 4; ++n) {
            std::string a(len, 'a'), b(len + rng() % 5, 'a');
            for (auto& c : a) c = static_cast<char>('a' + rng() % 6);
            for (auto& c : b) c = static_cast<char>('a' + rng() % 6);
            pairs.emplace_back(a, b);
        }
    }
    Pairs text(6);
    for (std::size_t len : {3, 40, 300}) {
        for (const Pieces& alphabet : {utf8_pieces(), code_points(0x4e00, 600)}) {
            const Pieces a = text.random(alphabet, len);
            pairs.emplace_back(joined(a), joined(text.edited(a, alphabet, 5)));
        }
    }
    std::vector<Answers> expected;
    for (auto& [a, b] : pairs) expected.push_back(answers_for(a, b));

    constexpr int kThreads = 8, kRounds = 6;
    std::atomic<int> wrong{0};
    std::atomic<long> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                for (std::size_t i = 0; i < pairs.size(); ++i) {
                    const std::size_t p = (i + t * 7) % pairs.size();
                    std::string a = pairs[p].first, b = pairs[p].second;  // own copies to pass
                    const Answers& want = expected[p];
                    wrong += answers_for(a, b) != want;
                    wrong += check_entry_functions(pairs[p].first, pairs[p].second, want);
                    calls += 31;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    std::printf("%d threads made %ld calls; %d answers differed\n", kThreads, calls.load(),
                wrong.load());
}

}  // namespace
