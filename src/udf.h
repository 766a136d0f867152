// The SQL entry points: for each function of sql_functions.h an init,
// called once per statement, and a row function, called once per row; and
// the kinds of value and of arguments the table names, which the entry
// layer and the tests share.
#pragma once

#include <mysql.h>

#include <cmath>
#include <cstring>

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

}  // namespace likeness::sql

#define LIKENESS_DECLARE_ENTRY_POINTS(name, Value, Arguments, measure, refusal)               \
    LIKENESS_EXPORT init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message); \
    LIKENESS_EXPORT likeness::sql::Value::Result name(UDF_INIT* initid, UDF_ARGS* args,       \
                                                      char* is_null, char* error);

extern "C" {
LIKENESS_SQL_FUNCTIONS(LIKENESS_DECLARE_ENTRY_POINTS)
}
