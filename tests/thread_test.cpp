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
#include "sql_call.h"
#include "udf.h"

namespace {

struct Answers {
    double jaro, jarowinkler;
    unsigned long levenshtein, osa;
    std::string common;
};

Answers answers_for(std::string& a, std::string& b) {
    char* c = get_common_characters(a.data(), b.data(), a.size(), b.size(), a.size() / 2 + 1);
    Answers r{jaro_distance(a.data(), b.data(), a.size(), b.size()),
              jarowinkler_distance(a.data(), b.data(), a.size(), b.size()),
              levenshteinDistance(a.data(), b.data(), a.size(), b.size()),
              damerauLevenshteinDistance(a.data(), b.data(), a.size(), b.size()),
              std::string(c, a.size() + 1)};
    delete[] c;
    return r;
}

// Returns the number of answers that differ from the expected ones.
int check_entry_functions(const std::string& a, const std::string& b, const Answers& expected) {
    SqlCall call({a, b});
    UDF_INIT initid{};
    char message[512];
    char is_null = 0, error = 0;
    int wrong = 0;
    wrong += jaro_init(&initid, &call.args, message) != 0;
    wrong += jaro(&initid, &call.args, &is_null, &error) != expected.jaro;
    wrong += jarowinkler_init(&initid, &call.args, message) != 0;
    wrong += jarowinkler(&initid, &call.args, &is_null, &error) != expected.jarowinkler;
    wrong += editdistance_init(&initid, &call.args, message) != 0;
    wrong += editdistance(&initid, &call.args, &is_null, &error) !=
             static_cast<long long>(expected.levenshtein);
    wrong += editdistance_dl_init(&initid, &call.args, message) != 0;
    wrong += editdistance_dl(&initid, &call.args, &is_null, &error) !=
             static_cast<long long>(expected.osa);
    return wrong + is_null + error;
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
                    const Answers got = answers_for(a, b);
                    const Answers& want = expected[p];
                    wrong += got.jaro != want.jaro || got.jarowinkler != want.jarowinkler ||
                             got.levenshtein != want.levenshtein || got.osa != want.osa ||
                             got.common != want.common;
                    wrong += check_entry_functions(pairs[p].first, pairs[p].second, want);
                    calls += 13;
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
