// Every allocation a call makes is failed in turn: the call must neither
// throw nor crash nor leak, and must report the failure value, which the row
// functions turn into NULL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "cpp_api.h"
#include "entry_points.h"
#include "random_pairs.h"
#include "sql_call.h"

namespace {
// Armed only around the call under test, so the test framework's own
// allocations are never failed. 0 disarms.
long g_fail_at = 0;
long g_calls = 0;
long g_live = 0;

void* counted_new(std::size_t size) {
    if (g_fail_at != 0 && ++g_calls == g_fail_at) throw std::bad_alloc();
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    ++g_live;
    return p;
}

void counted_delete(void* p) {
    if (p == nullptr) return;
    --g_live;
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) { return counted_new(size); }
void* operator new[](std::size_t size) { return counted_new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return counted_new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept { counted_delete(p); }
void operator delete[](void* p) noexcept { counted_delete(p); }
void operator delete(void* p, std::size_t) noexcept { counted_delete(p); }
void operator delete[](void* p, std::size_t) noexcept { counted_delete(p); }

namespace {

// Outcome of one call: true if it reported failure, false if it completed.
using Attempt = std::function<bool()>;

// Fails allocation 1, 2, ... until the call completes; returns how many
// allocation sites were failed.
int fail_each_allocation(const Attempt& attempt) {
    for (long n = 1;; ++n) {
        const long live_before = g_live;
        g_calls = 0;
        g_fail_at = n;
        bool failed = false;
        try {
            failed = attempt();
        } catch (...) {
            g_fail_at = 0;
            ADD_FAILURE() << "an exception escaped when allocation " << n << " failed";
            return static_cast<int>(n);
        }
        const bool reached = g_calls >= n;
        g_fail_at = 0;
        EXPECT_EQ(g_live, live_before) << "leak when allocation " << n << " failed";
        if (!reached) {
            EXPECT_FALSE(failed) << "reported a failure though no allocation failed";
            return static_cast<int>(n - 1);
        }
        EXPECT_TRUE(failed) << "allocation " << n << " failed unnoticed";
    }
}

// Long enough that every measure needs scratch memory from the heap.
std::string a = std::string(3000, 'x') + "MARTHA" + std::string(3000, 'y');
std::string b = std::string(3000, 'y') + "MARHTA" + std::string(3000, 'x');

// Text of 1,000 distinct characters, for the measures over characters: the
// decoded units, a table of their numbers that outgrows the stack, and the
// kernels for symbols wider than a byte all need the heap.
std::string many_characters(char32_t step) {
    std::string s;
    for (char32_t k = 0; k < 3000; ++k) s += utf8(0x4e00 + (k * step) % 1000);
    return s;
}
std::string wide_a = many_characters(7), wide_b = many_characters(11);

struct Measure {
    const char* name;
    Attempt attempt;
};

TEST(AllocationFailure, MeasuresReturnTheirFailureValue) {
    const Measure measures[] = {
        {"jaro_distance",
         [] { return std::isnan(jaro_distance(a.data(), b.data(), a.size(), b.size())); }},
        {"jarowinkler_distance",
         [] { return std::isnan(jarowinkler_distance(a.data(), b.data(), a.size(), b.size())); }},
        {"levenshteinDistance",
         [] {
             return levenshteinDistance(a.data(), b.data(), a.size(), b.size()) == kDistanceFailed;
         }},
        {"damerauLevenshteinDistance",
         [] {
             return damerauLevenshteinDistance(a.data(), b.data(), a.size(), b.size()) ==
                    kDistanceFailed;
         }},
        {"jaro_utf8",
         [] {
             return std::isnan(
                 likeness::jaro_utf8(wide_a.data(), wide_b.data(), wide_a.size(), wide_b.size()));
         }},
        {"jarowinkler_utf8",
         [] {
             return std::isnan(likeness::jarowinkler_utf8(wide_a.data(), wide_b.data(),
                                                          wide_a.size(), wide_b.size()));
         }},
        {"levenshtein_utf8",
         [] {
             return likeness::levenshtein_utf8(wide_a.data(), wide_b.data(), wide_a.size(),
                                               wide_b.size()) == kDistanceFailed;
         }},
        {"osa_utf8",
         [] {
             return likeness::osa_utf8(wide_a.data(), wide_b.data(), wide_a.size(),
                                       wide_b.size()) == kDistanceFailed;
         }},
        {"levenshtein_bounded",
         [] {
             return likeness::levenshtein_bounded(a.data(), b.data(), a.size(), b.size(), 100) ==
                    kDistanceFailed;
         }},
        {"osa_utf8_bounded",
         [] {
             return likeness::osa_utf8_bounded(wide_a.data(), wide_b.data(), wide_a.size(),
                                               wide_b.size(), 2000) == kDistanceFailed;
         }},
        {"get_common_characters",
         [] {
             char* c = get_common_characters(a.data(), b.data(), a.size(), b.size(), 9);
             delete[] c;
             return c == nullptr;
         }},
    };
    for (const auto& m : measures) {
        SCOPED_TRACE(m.name);
        const int sites = fail_each_allocation(m.attempt);
        EXPECT_GE(sites, 1);
        std::printf("%s: failed each of its %d allocations in turn\n", m.name, sites);
    }
}

TEST(AllocationFailure, ShortStringsNeedNoHeap) {
    std::string x = std::string(64, 'a'), y = std::string(63, 'b') + "a";
    // 64 characters of three bytes against 64 of two, all distinct.
    std::string u = many_characters(1).substr(0, 64 * 3), v;
    for (char32_t k = 0; k < 64; ++k) v += utf8(0x400 + k);
    const long before = g_calls;
    g_fail_at = -1;  // counts without ever failing
    jaro_distance(x.data(), y.data(), x.size(), y.size());
    jarowinkler_distance(x.data(), y.data(), x.size(), y.size());
    levenshteinDistance(x.data(), y.data(), x.size(), y.size());
    damerauLevenshteinDistance(x.data(), y.data(), x.size(), y.size());
    likeness::jaro_utf8(u.data(), v.data(), u.size(), v.size());
    likeness::jarowinkler_utf8(u.data(), v.data(), u.size(), v.size());
    likeness::levenshtein_utf8(u.data(), v.data(), u.size(), v.size());
    likeness::osa_utf8(u.data(), v.data(), u.size(), v.size());
    g_fail_at = 0;
    EXPECT_EQ(g_calls, before);
}

// The call is built before allocations are failed: only the entry points'
// own allocations count (init's, for the key lists). Text of many
// characters makes every function take scratch from the heap.
TEST(AllocationFailure, EntryPointsRefuseOrAnswerNull) {
    const EntryPoints::Number number = {2, 0.9};
    for (const EntryPoints& f : entry_points()) {
        SCOPED_TRACE(f.name);
        SqlCall call(f.values(wide_a, wide_b, number));
        const int sites = fail_each_allocation([&] {
            UDF_INIT initid{};
            char message[512], error = 0;
            if (f.init(&initid, &call.args, message) != 0) return true;
            const bool null_row = f.null_row(&initid, &call.args, &error);
            EXPECT_EQ(error, 0);
            if (f.deinit != nullptr) f.deinit(&initid);
            return null_row;
        });
        EXPECT_GE(sites, 1);
        std::printf("%s: failed each of its %d allocations in turn\n", f.name.c_str(), sites);
    }
}

// A join of values in several blocks and pieces: each allocation of each
// piece failed in turn, rows and all.
TEST(AllocationFailure, JoinsFailCleanly) {
    using likeness::JoinMeasure;
    using likeness::JoinResult;
    std::vector<std::pair<std::string, std::string>> rows;
    Pairs random(5);
    for (int i = 0; i < 40; ++i) {
        rows.emplace_back(std::to_string(i), random.random("abcd", 3 + random.below(6)));
    }
    const struct {
        JoinMeasure measure;
        double bound;
        JoinResult result;
    } joins[] = {{JoinMeasure::kJaroWinkler, 0.8, JoinResult::kPairs},
                 {JoinMeasure::kLevenshtein, 2, JoinResult::kClusters},
                 {JoinMeasure::kOsaUtf8, 5, JoinResult::kPairs}};
    for (const auto& j : joins) {
        SCOPED_TRACE(static_cast<int>(j.measure));
        std::string cursor;
        int pieces = 0;
        do {
            // The next cursor, read without allocating: the rows' strings
            // are the test's, allocated before.
            char next[64] = "";
            const int sites = fail_each_allocation([&] {
                likeness::Join* join = likeness::join_create(j.measure, j.result, true, {500, 6000, 5});
                if (join == nullptr) return true;
                for (const auto& [id, value] : rows) {
                    likeness::join_add(*join, {id.data(), id.size(), value.data(), value.size(), false,
                                               j.bound, cursor.data(), cursor.size(), false});
                }
                unsigned long length = 0;
                const char* piece = likeness::join_piece(*join, &length);
                if (piece != nullptr) {
                    const char* end = std::strchr(piece + 9, '"');
                    const std::size_t n = piece[8] == '"' ? end - (piece + 9) : 0;
                    std::memcpy(next, piece + 9, n);
                    next[n] = 0;
                }
                likeness::join_destroy(join);
                return piece == nullptr;
            });
            EXPECT_GE(sites, 1);
            cursor = next;
            ++pieces;
        } while (!cursor.empty() && !testing::Test::HasFailure());
        EXPECT_GT(pieces, 1);
    }
}

}  // namespace
