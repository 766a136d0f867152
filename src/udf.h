// The SQL entry points: for each function of sql_functions.h an init,
// called once per statement, and a row function, called once per row; and
// the kinds of value and of arguments the table names, which the entry
// layer and the tests share.
#pragma once

#include <mysql.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "algorithms.h"
#include "export.h"
#include "sql_functions.h"

// MySQL 8 dropped my_bool and declares the init result as bool; both are one
// byte, so one binary serves either server.
#if defined(LIBMARIADB) || defined(MARIADB_BASE_VERSION) || MYSQL_VERSION_ID < 80000
using init_result = my_bool;
#else
using init_result = bool;
#endif

namespace likeness::sql {

// The servers' "not fixed" decimals: without it the server rounds a REAL
// result to the decimals of the arguments (jaro(12, 21) would print 1).
constexpr unsigned int kNotFixedDecimals = 31;

// The kinds of value: what the server is told of the result, the C type of
// the row function, and the measure's failure value (NaN, or
// kDistanceFailed: out of memory, or the statement was killed).
struct Similarity {
    using Result = double;
    static constexpr const char* kSqlType = "REAL";
    static void describe(UDF_INIT* initid) { initid->decimals = kNotFixedDecimals; }
    static bool failed(double value) { return std::isnan(value); }
};

struct Distance {
    using Result = long long;
    static constexpr const char* kSqlType = "INTEGER";
    static void describe(UDF_INIT*) {}
    static bool failed(unsigned long value) { return value == kDistanceFailed; }
};

// The kinds of arguments: their count, the types asked of the server, when a
// row lacks a value (and is NULL), and the call of the measure.
struct TwoStrings {
    static constexpr unsigned int kCount = 2;
    static constexpr int kIntegerAt = -1;

    static void ask_for(UDF_ARGS* args) {
        args->arg_type[0] = STRING_RESULT;
        args->arg_type[1] = STRING_RESULT;
    }
    static bool lacks_values(const UDF_ARGS* args) {
        return args->args[0] == nullptr || args->args[1] == nullptr;
    }
    template <typename Measure>
    static auto apply(const UDF_ARGS* args, Measure measure) {
        return measure(args->args[0], args->args[1], args->lengths[0], args->lengths[1]);
    }
};

// Two strings and a bound k, which the server converts to an integer by its
// own rules. A negative k (an unsigned one above 2^63 - 1 arrives negative)
// makes the row NULL, as a NULL does.
struct TwoStringsAndBound {
    static constexpr unsigned int kCount = 3;
    static constexpr int kIntegerAt = 2;

    static void ask_for(UDF_ARGS* args) {
        TwoStrings::ask_for(args);
        args->arg_type[2] = INT_RESULT;
    }
    static long long bound(const UDF_ARGS* args) {
        long long k;
        std::memcpy(&k, args->args[2], sizeof k);
        return k;
    }
    static bool lacks_values(const UDF_ARGS* args) {
        return TwoStrings::lacks_values(args) || args->args[2] == nullptr || bound(args) < 0;
    }
    template <typename Measure>
    static auto apply(const UDF_ARGS* args, Measure measure) {
        return measure(args->args[0], args->args[1], args->lengths[0], args->lengths[1],
                       static_cast<unsigned long>(bound(args)));
    }
};

// A list of index keys, a JSON array of integers: longer than the server's
// own result buffer, so it is written into a buffer of the statement that
// init allocates and deinit releases (initid->ptr).
struct KeyList {
    static constexpr const char* kSqlType = "STRING";
    // "[", then each key of up to 19 digits and a comma or "]".
    static constexpr unsigned long kLongest = 1 + likeness::kMaxKeys * 20;
};

// A string and a bound k from 0 to kMaxKeysBound: any other k, or a NULL,
// makes the row NULL, and a constant k above the largest is refused when the
// statement starts.
struct StringAndKeysBound {
    static constexpr unsigned int kCount = 2;
    static constexpr int kIntegerAt = 1;

    static void ask_for(UDF_ARGS* args) {
        args->arg_type[0] = STRING_RESULT;
        args->arg_type[1] = INT_RESULT;
    }
    static long long bound(const UDF_ARGS* args) {
        long long k;
        std::memcpy(&k, args->args[1], sizeof k);
        return k;
    }
    // At init a constant arrives in its own type, before the conversion
    // asked for: an integer as eight bytes, a string or a decimal as text.
    static bool constant_out_of_range(const UDF_ARGS* args) {
        if (args->args[1] == nullptr) return false;
        if (args->arg_type[1] == INT_RESULT) {
            return bound(args) > static_cast<long long>(likeness::kMaxKeysBound);
        }
        if (args->arg_type[1] == STRING_RESULT || args->arg_type[1] == DECIMAL_RESULT) {
            const std::string text(args->args[1], args->lengths[1]);
            return std::strtod(text.c_str(), nullptr) >= likeness::kMaxKeysBound + 0.5;
        }
        return false;
    }
    static bool lacks_values(const UDF_ARGS* args) {
        return args->args[0] == nullptr || args->args[1] == nullptr || bound(args) < 0 ||
               bound(args) > static_cast<long long>(likeness::kMaxKeysBound);
    }
    template <typename Measure>
    static unsigned apply(const UDF_ARGS* args, Measure measure, long long* keys) {
        return measure(args->args[0], args->lengths[0], static_cast<unsigned>(bound(args)), keys);
    }
};

}  // namespace likeness::sql

// The entry points of a function, by the kind of its value.
#define LIKENESS_DECLARE_ENTRY_POINTS(name, Value, Arguments, measure, refusal)               \
    LIKENESS_EXPORT init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message); \
    LIKENESS_DECLARE_ROW_##Value(name)
#define LIKENESS_DECLARE_NUMBER_ROW(name, Result) \
    LIKENESS_EXPORT Result name(UDF_INIT* initid, UDF_ARGS* args, char* is_null, char* error);
#define LIKENESS_DECLARE_ROW_Similarity(name) LIKENESS_DECLARE_NUMBER_ROW(name, double)
#define LIKENESS_DECLARE_ROW_Distance(name) LIKENESS_DECLARE_NUMBER_ROW(name, long long)
#define LIKENESS_DECLARE_ROW_KeyList(name)                                         \
    LIKENESS_EXPORT char* name(UDF_INIT* initid, UDF_ARGS* args, char* result,     \
                               unsigned long* length, char* is_null, char* error); \
    LIKENESS_EXPORT void name##_deinit(UDF_INIT* initid);

extern "C" {
LIKENESS_SQL_FUNCTIONS(LIKENESS_DECLARE_ENTRY_POINTS)
}
