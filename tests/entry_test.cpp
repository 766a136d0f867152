// The entry functions called the way a server calls them, through the
// server's own UDF_INIT and UDF_ARGS records.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sql_call.h"
#include "udf.h"

namespace {

using Init = init_result (*)(UDF_INIT*, UDF_ARGS*, char*);

struct InitCase {
    const char* name;
    Init init;
    const char* message;
    bool real;
    std::size_t count = 2;
};

const std::vector<InitCase> kInits = {
    {"jaro", jaro_init, "jarowinkler must have exactly two arguments", true},
    {"jarowinkler", jarowinkler_init, "jarowinkler must have exactly two arguments", true},
    {"editdistance", editdistance_init, "editdistance must have exactly two arguments", false},
    {"editdistance_dl", editdistance_dl_init, "editdistance must have exactly two arguments",
     false},
    {"jaro_utf8", jaro_utf8_init, "jaro_utf8 must have exactly two arguments", true},
    {"jarowinkler_utf8", jarowinkler_utf8_init, "jarowinkler_utf8 must have exactly two arguments",
     true},
    {"editdistance_utf8", editdistance_utf8_init,
     "editdistance_utf8 must have exactly two arguments", false},
    {"editdistance_dl_utf8", editdistance_dl_utf8_init,
     "editdistance_dl_utf8 must have exactly two arguments", false},
    {"editdistance_bounded", editdistance_bounded_init,
     "editdistance_bounded must have exactly three arguments", false, 3},
    {"editdistance_dl_bounded", editdistance_dl_bounded_init,
     "editdistance_dl_bounded must have exactly three arguments", false, 3},
    {"editdistance_utf8_bounded", editdistance_utf8_bounded_init,
     "editdistance_utf8_bounded must have exactly three arguments", false, 3},
    {"editdistance_dl_utf8_bounded", editdistance_dl_utf8_bounded_init,
     "editdistance_dl_utf8_bounded must have exactly three arguments", false, 3},
};

TEST(Init, RejectsAnyOtherCountWithItsMessage) {
    for (const auto& f : kInits) {
        for (std::size_t count : {0, 1, 2, 3, 4}) {
            if (count == f.count) continue;
            SCOPED_TRACE(std::string(f.name) + " with " + std::to_string(count));
            SqlCall call(std::vector<std::optional<std::string_view>>(count, "x"));
            UDF_INIT initid{};
            std::array<char, 512> message;
            message.fill('\x7f');
            EXPECT_EQ(f.init(&initid, &call.args, message.data()), 1);
            const std::size_t n = std::strlen(f.message);
            EXPECT_EQ(std::string(message.data(), n + 1), std::string(f.message, n + 1));
            for (Item_result t : call.types) EXPECT_EQ(t, REAL_RESULT);
        }
    }
}

TEST(Init, AcceptsItsCountAndAsksForStringsAndABound) {
    for (const auto& f : kInits) {
        SCOPED_TRACE(f.name);
        SqlCall call(std::vector<std::optional<std::string_view>>(f.count, "12"));
        UDF_INIT initid{};
        char message[512] = "";
        EXPECT_EQ(f.init(&initid, &call.args, message), 0);
        EXPECT_EQ(call.types[0], STRING_RESULT);
        EXPECT_EQ(call.types[1], STRING_RESULT);
        if (f.count == 3) {
            EXPECT_EQ(call.types[2], INT_RESULT);
        }
        EXPECT_EQ(initid.maybe_null, 1);
        // Unrounded doubles: 31 is the servers' "not fixed" decimals.
        EXPECT_EQ(initid.decimals, f.real ? 31u : 0u);
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
        {"MARTHA", "MARHTA", 0.9444444444444445, 0.9611111113594638, 2, 1},
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
        {"MARTHA", "MARHTA", 0.9444444444444445, 0.9611111113594638, 2, 1},
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

TEST(Row, NullInEitherPositionGivesNull) {
    const std::vector<std::vector<std::optional<std::string_view>>> calls = {
        {std::nullopt, "x"}, {"x", std::nullopt}, {std::nullopt, std::nullopt}};
    for (const auto& values : calls) {
        SqlCall call(values);
        for (auto row : {jaro, jarowinkler, jaro_utf8, jarowinkler_utf8}) {
            char is_null = 0, error = 0;
            EXPECT_EQ(real_row(row, call, is_null, error), 0.0);
            EXPECT_EQ(is_null, 1);
            EXPECT_EQ(error, 0);
        }
        for (auto row : {editdistance, editdistance_dl, editdistance_utf8, editdistance_dl_utf8}) {
            char is_null = 0, error = 0;
            EXPECT_EQ(int_row(row, call, is_null, error), 0);
            EXPECT_EQ(is_null, 1);
            EXPECT_EQ(error, 0);
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

// A NULL or negative bound gives NULL, as a NULL string does.
TEST(Row, BoundedDistancesOfANullOrNegativeBoundAreNull) {
    const long long two = 2, minus_one = -1, most_negative = -0x7fffffffffffffffLL - 1;
    const std::vector<std::vector<std::optional<std::string_view>>> calls = {
        {"a", "b", std::nullopt},
        {"a", "b", integer_argument(minus_one)},
        {"a", "b", integer_argument(most_negative)},
        {std::nullopt, "b", integer_argument(two)},
        {"a", std::nullopt, integer_argument(two)},
    };
    for (const auto& values : calls) {
        SqlCall call(values);
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
