// The entry functions called the way a server calls them, through the
// server's own UDF_INIT and UDF_ARGS records.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry_points.h"
#include "sql_call.h"

namespace {

TEST(Init, RejectsAnyOtherCountWithItsMessage) {
    for (const EntryPoints& f : entry_points()) {
        for (std::size_t count : {0, 1, 2, 3, 4}) {
            if (count >= f.least_count && count <= f.count) continue;
            SCOPED_TRACE(f.name + " with " + std::to_string(count));
            SqlCall call(std::vector<std::optional<std::string_view>>(count, "x"));
            UDF_INIT initid{};
            std::array<char, 512> message;
            message.fill('\x7f');
            EXPECT_EQ(f.init(&initid, &call.args, message.data()), 1);
            EXPECT_EQ(std::string(message.data(), f.refusal.size() + 1),
                      std::string(f.refusal.c_str(), f.refusal.size() + 1));
            for (Item_result t : call.types) EXPECT_EQ(t, REAL_RESULT);
        }
    }
}

// The four original functions keep their first release's messages.
TEST(Init, TheOriginalFunctionsKeepTheirMessages) {
    const std::map<std::string, std::string> original = {
        {"jaro", "jarowinkler must have exactly two arguments"},
        {"jarowinkler", "jarowinkler must have exactly two arguments"},
        {"editdistance", "editdistance must have exactly two arguments"},
        {"editdistance_dl", "editdistance must have exactly two arguments"}};
    const char* const words[] = {"", "one", "two", "three", "four", "five"};
    for (const EntryPoints& f : entry_points()) {
        const auto kept = original.find(f.name);
        const std::string counts =
            f.least_count == f.count       ? std::string("exactly ") + words[f.count]
            : f.least_count + 1 == f.count ? std::string(words[f.least_count]) + " or " + words[f.count]
                                           : std::string("from ") + words[f.least_count] + " to " +
                                                 words[f.count];
        EXPECT_EQ(f.refusal, kept != original.end()
                                 ? kept->second
                                 : f.name + " must have " + counts +
                                       (f.count == 1 ? " argument" : " arguments"));
    }
}

TEST(Init, AcceptsItsCountAndAsksForStringsAndANumber) {
    const EntryPoints::Number number = {2, 0.9};
    for (const EntryPoints& f : entry_points()) {
        SCOPED_TRACE(f.name);
        SqlCall call(f.values("12", "21", number));
        UDF_INIT initid{};
        char message[512] = "";
        EXPECT_EQ(f.init(&initid, &call.args, message), 0);
        for (int i = 0; i < static_cast<int>(f.count); ++i) {
            // A join's side is an integer.
            EXPECT_EQ(call.types[i], i == f.version_at || (f.join && i == 4) ? INT_RESULT
                                     : i == f.number_at                       ? f.number_type
                                                                              : STRING_RESULT);
        }
        EXPECT_EQ(initid.maybe_null, 1);
        // Unrounded doubles: 31 is the servers' "not fixed" decimals.
        EXPECT_EQ(initid.decimals, std::string(f.sql_type) == "REAL" ? 31u : 0u);
        if (f.deinit != nullptr) f.deinit(&initid);
    }
}

// A constant k or version out of range is refused by name when the
// statement starts; one that varies by row gives NULL rows instead.
TEST(Init, KeyListsRefuseAConstantKOrVersionOutOfRange) {
    struct Case {
        long long k;
        std::optional<long long> version;
        const char* refusal;
    };
    const std::vector<Case> cases = {{3, std::nullopt, ""},
                                     {4, std::nullopt, ": k must be an integer from 0 to 3"},
                                     {3, 1, ""},
                                     {3, 2, ""},
                                     {3, 0, ": version must be an integer from 1 to 2"},
                                     {1, 3, ": version must be an integer from 1 to 2"}};
    for (const char* name : {"editdistance_keys", "editdistance_utf8_keys"}) {
        const auto f = std::find_if(entry_points().begin(), entry_points().end(),
                                    [&](const EntryPoints& e) { return e.name == name; });
        ASSERT_NE(f, entry_points().end());
        for (const Case& c : cases) {
            std::vector<std::optional<std::string_view>> values = {"MARTHA", integer_argument(c.k)};
            if (c.version) values.push_back(integer_argument(*c.version));
            SqlCall call(values);
            for (std::size_t i = 1; i < values.size(); ++i) call.types[i] = INT_RESULT;
            UDF_INIT initid{};
            char message[512] = "";
            const bool refused = f->init(&initid, &call.args, message) != 0;
            EXPECT_EQ(refused, *c.refusal != '\0');
            EXPECT_EQ(std::string(message), refused ? std::string(name) + c.refusal : "");
            if (!refused) f->deinit(&initid);
        }
    }
}

// Without a version the keys are those of version 1, and negative keys are
// written whole; a version no keys have makes the row NULL.
TEST(Row, KeyListsOfEachVersion) {
    const auto f = std::find_if(entry_points().begin(), entry_points().end(),
                                [](const EntryPoints& e) { return e.name == "editdistance_keys"; });
    ASSERT_NE(f, entry_points().end());
    const auto keys = [&](std::optional<long long> version) {
        const long long k = 1;
        std::vector<std::optional<std::string_view>> values = {"MARTHA", integer_argument(k)};
        if (version) values.push_back(integer_argument(*version));
        SqlCall call(values);
        UDF_INIT initid{};
        char message[512], error = 0;
        EXPECT_EQ(f->init(&initid, &call.args, message), 0);
        const auto row = f->row(&initid, &call.args, &error);
        if (row) {
            EXPECT_EQ(*row, f->measure(&call.args));
        }
        f->deinit(&initid);
        return row;
    };
    ASSERT_TRUE(keys(std::nullopt));
    EXPECT_EQ(keys(std::nullopt), keys(1));
    EXPECT_NE(keys(1), keys(2));
    EXPECT_EQ(keys(2)->substr(0, 2), "[-");
    for (long long version : {0, 3, -1}) EXPECT_EQ(keys(version), std::nullopt) << version;
}

// A constant threshold outside 0.8 to 1, in any type the server may hand
// over at init, is refused by name.
TEST(Init, SimilarityKeysRefuseAConstantThresholdOutOfRange) {
    struct Case {
        Item_result type;
        std::string bytes;
        bool refused;
    };
    const auto real = [](double x) {
        return std::string(reinterpret_cast<const char*>(&x), sizeof x);
    };
    const auto integer = [](long long k) {
        return std::string(reinterpret_cast<const char*>(&k), sizeof k);
    };
    const std::vector<Case> cases = {
        {REAL_RESULT, real(0.9), false}, {REAL_RESULT, real(0.79), true},
        {REAL_RESULT, real(1.01), true}, {DECIMAL_RESULT, "0.85", false},
        {STRING_RESULT, "0.5", true},    {INT_RESULT, integer(1), false},
        {INT_RESULT, integer(2), true}};
    for (const char* name : {"jarowinkler_keys", "jarowinkler_utf8_keys"}) {
        const auto f = std::find_if(entry_points().begin(), entry_points().end(),
                                    [&](const EntryPoints& e) { return e.name == name; });
        ASSERT_NE(f, entry_points().end());
        for (const Case& c : cases) {
            SqlCall call({"MARTHA", c.bytes});
            call.types[1] = c.type;
            UDF_INIT initid{};
            char message[512] = "";
            const bool refused = f->init(&initid, &call.args, message) != 0;
            EXPECT_EQ(refused, c.refused) << name << " " << c.bytes.size();
            EXPECT_EQ(std::string(message),
                      refused ? std::string(name) + ": threshold must be from 0.8 to 1" : "");
            if (!refused) f->deinit(&initid);
        }
    }
}

double real_row(double (*row)(UDF_INIT*, UDF_ARGS*, char*, char*), SqlCall& call, char& is_null,
                char& error) {
    UDF_INIT initid{};
    return row(&initid, &call.args, &is_null, &error);
}

long long int_row(long long (*row)(UDF_INIT*, UDF_ARGS*, char*, char*), SqlCall& call,
                  char& is_null, char& error) {
    UDF_INIT initid{};
    return row(&initid, &call.args, &is_null, &error);
}

struct RowCase {
    const char* a;
    const char* b;
    double jaro, jarowinkler;
    long long editdistance, editdistance_dl;
};

TEST(Row, ValuesNullsAndEmptyStrings) {
    const std::vector<RowCase> cases = {
        {"12", "21", 0.8333333333333334, 0.8333333333333334, 2, 1},  // numbers as their text
        {"100", "1000", 0.9166666666666666, 0.9416666670391957, 1, 1},
        {"", "", 0.0, 0.0, 0, 0},
        {"", "abc", 0.0, 0.0, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        SqlCall call({c.a, c.b});
        char is_null = 0, error = 0;
        EXPECT_EQ(real_row(jaro, call, is_null, error), c.jaro);
        EXPECT_EQ(real_row(jarowinkler, call, is_null, error), c.jarowinkler);
        EXPECT_EQ(int_row(editdistance, call, is_null, error), c.editdistance);
        EXPECT_EQ(int_row(editdistance_dl, call, is_null, error), c.editdistance_dl);
        EXPECT_EQ(is_null, 0);  // an empty string is a value, not NULL
        EXPECT_EQ(error, 0);
    }
}

TEST(Row, CharacterFunctionsCountCharacters) {
    const std::vector<RowCase> cases = {
        // The values of the byte functions for MXller / Muller and ab / ba.
        {"M\xc3\xbcller", "Muller", 0.88888888888888895, 0.90000000016556847, 1, 1},
        {"\xe4\xb8\xad\xe6\x96\x87", "\xe6\x96\x87\xe4\xb8\xad", 0.8333333333333334,
         0.8333333333333334, 2, 1},
        {"", "\xc3\xa9", 0.0, 0.0, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        SqlCall call({c.a, c.b});
        char is_null = 0, error = 0;
        EXPECT_EQ(real_row(jaro_utf8, call, is_null, error), c.jaro);
        EXPECT_EQ(real_row(jarowinkler_utf8, call, is_null, error), c.jarowinkler);
        EXPECT_EQ(int_row(editdistance_utf8, call, is_null, error), c.editdistance);
        EXPECT_EQ(int_row(editdistance_dl_utf8, call, is_null, error), c.editdistance_dl);
        EXPECT_EQ(is_null, 0);
        EXPECT_EQ(error, 0);
    }
}

// A NULL in any position gives NULL, never the error flag; but in a join
// only a NULL bound does: a NULL id, value or side leaves the row out, and a
// NULL cursor asks for the first piece.
TEST(Row, NullInAnyPositionGivesNull) {
    const EntryPoints::Number number = {2, 0.9};
    for (const EntryPoints& f : entry_points()) {
        for (std::size_t null_at = 0; null_at < f.count; ++null_at) {
            SCOPED_TRACE(f.name + " with NULL at " + std::to_string(null_at));
            auto values = f.values("x", "y", number);
            values[null_at] = std::nullopt;
            SqlCall call(values);
            UDF_INIT initid{};
            char message[512], error = 0;
            ASSERT_EQ(f.init(&initid, &call.args, message), 0);
            const auto row = f.row(&initid, &call.args, &error);
            if (f.join && static_cast<int>(null_at) != f.number_at) {
                EXPECT_EQ(row, f.measure(&call.args));
            } else {
                EXPECT_EQ(row, std::nullopt);
            }
            EXPECT_EQ(error, 0);
            if (f.deinit != nullptr) f.deinit(&initid);
        }
    }
}

struct BoundedCase {
    std::string_view a, b;
    long long k;
    long long editdistance, editdistance_dl, editdistance_utf8, editdistance_dl_utf8;
};

using IntRow = long long (*)(UDF_INIT*, UDF_ARGS*, char*, char*);
const IntRow kBoundedRows[] = {editdistance_bounded, editdistance_dl_bounded,
                               editdistance_utf8_bounded, editdistance_dl_utf8_bounded};

// The distance when at most k, else k + 1; a k beyond every length bounds
// nothing.
TEST(Row, BoundedDistancesStopAtTheBoundPlusOne) {
    constexpr long long kHuge = 0x7fffffffffffffffLL;
    const std::vector<BoundedCase> cases = {
        {"MARTHA", "MARHTA", 2, 2, 1, 2, 1},
        {"MARTHA", "MARHTA", 1, 2, 1, 2, 1},
        {"MARTHA", "MARHTA", 0, 1, 1, 1, 1},
        {"saturday", "sunday", 2, 3, 3, 3, 3},
        {"M\xc3\xbcller", "Muller", 1, 2, 2, 1, 1},
        {"", "abc", 1, 2, 2, 2, 2},
        {"abc", "abc", 0, 0, 0, 0, 0},
        {"abcdefgh", "", kHuge, 8, 8, 8, 8},
        {"saturday", "sunday", kHuge, 3, 3, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b) + " within " +
                     std::to_string(c.k));
        SqlCall call({c.a, c.b, integer_argument(c.k)});
        const long long expected[] = {c.editdistance, c.editdistance_dl, c.editdistance_utf8,
                                      c.editdistance_dl_utf8};
        for (std::size_t f = 0; f < 4; ++f) {
            char is_null = 0, error = 0;
            EXPECT_EQ(int_row(kBoundedRows[f], call, is_null, error), expected[f]);
            EXPECT_EQ(is_null, 0);
            EXPECT_EQ(error, 0);
        }
    }
}

// A negative bound gives NULL, as a NULL does.
TEST(Row, BoundedDistancesOfANegativeBoundAreNull) {
    const long long minus_one = -1, most_negative = -0x7fffffffffffffffLL - 1;
    for (const long long& k : {minus_one, most_negative}) {
        SqlCall call({"a", "b", integer_argument(k)});
        for (IntRow row : kBoundedRows) {
            char is_null = 0, error = 0;
            EXPECT_EQ(int_row(row, call, is_null, error), 0);
            EXPECT_EQ(is_null, 1);
            EXPECT_EQ(error, 0);
        }
    }
}

TEST(Row, BytesAfterNulAreCompared) {
    SqlCall call({std::string_view("a\0b", 3), std::string_view("a\0c", 3)});
    char is_null = 0, error = 0;
    EXPECT_EQ(int_row(editdistance, call, is_null, error), 1);
    EXPECT_EQ(real_row(jaro, call, is_null, error), 0.7777777777777777);
    EXPECT_EQ(is_null, 0);
}

}  // namespace
