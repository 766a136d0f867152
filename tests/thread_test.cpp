// Many threads call every SQL function (through init and row, as a server
// does) and get_common_characters at once on shared, read-only inputs; every
// answer must equal the one computed alone. Run under ThreadSanitizer this
// also proves the calls share no mutable state.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cpp_api.h"
#include "entry_points.h"
#include "random_pairs.h"
#include "sql_call.h"

namespace {

// The bound of the bounded distances: below most distances of the pairs.
constexpr EntryPoints::Number kBound = {5, 0.85};

// Every function's answer for one pair, and the common bytes.
struct Answers {
    std::vector<std::string> values;
    std::string common;

    bool operator!=(const Answers& o) const { return values != o.values || common != o.common; }
};

std::string call_entry_points(const EntryPoints& f, const std::string& a, const std::string& b) {
    SqlCall call(f.values(a, b, kBound));
    UDF_INIT initid{};
    char message[512];
    char error = 0;
    if (f.init(&initid, &call.args, message) != 0) return "refused";
    const auto value = f.row(&initid, &call.args, &error);
    if (f.deinit != nullptr) f.deinit(&initid);
    return error ? "error" : value.value_or("NULL");
}

Answers answers_for(std::string a, std::string b) {  // own copies to pass as char*
    Answers r;
    for (const EntryPoints& f : entry_points()) r.values.push_back(call_entry_points(f, a, b));
    char* c = get_common_characters(a.data(), b.data(), a.size(), b.size(), a.size() / 2 + 1);
    r.common.assign(c, a.size() + 1);
    delete[] c;
    return r;
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
                    const Answers got = answers_for(pairs[p].first, pairs[p].second);
                    wrong += got != expected[p];
                    calls += static_cast<long>(got.values.size()) + 1;
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
