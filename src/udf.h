// The SQL entry points: for each function of sql_functions.h an init,
// called once per statement, and a row function, called once per row; and
// the kinds of value and of arguments the table names, which the entry
// layer and the tests share.
#pragma once

#include <mysql.h>

#include <cmath>
#include <cstdio>
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
    static constexpr const char* kCreate = "FUNCTION";
    static void describe(UDF_INIT* initid) { initid->decimals = kNotFixedDecimals; }
    static bool failed(double value) { return std::isnan(value); }
};

struct Distance {
    using Result = long long;
    static constexpr const char* kSqlType = "INTEGER";
    static constexpr const char* kCreate = "FUNCTION";
    static void describe(UDF_INIT*) {}
    static bool failed(unsigned long value) { return value == kDistanceFailed; }
};

// Text: a string in a buffer of the statement's (or the argument itself),
// beside what the function keeps for a statement, which init allocates
// and deinit releases (initid->ptr). As long as the longest text.
struct Text {
    static constexpr const char* kSqlType = "STRING";
    static constexpr const char* kCreate = "FUNCTION";
    static constexpr unsigned long kLongest = 0xffffffffu;
};

// The kinds of arguments: their count (from kLeastCount to kCount), the
// types asked of the server, when a row lacks a value (and is NULL), and the
// call of the measure.
struct OneString {
    static constexpr unsigned int kLeastCount = 1;
    static constexpr unsigned int kCount = 1;
    static constexpr int kNumberAt = -1;
    static constexpr int kVersionAt = -1;
    static constexpr Item_result kNumberType = INT_RESULT;

    static void ask_for(UDF_ARGS* args) { args->arg_type[0] = STRING_RESULT; }
    static bool lacks_values(const UDF_ARGS* args) { return args->args[0] == nullptr; }
};

struct TwoStrings {
    static constexpr unsigned int kLeastCount = 2;
    static constexpr unsigned int kCount = 2;
    static constexpr int kNumberAt = -1;
    static constexpr int kVersionAt = -1;
    static constexpr Item_result kNumberType = INT_RESULT;

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
    static constexpr unsigned int kLeastCount = 3;
    static constexpr unsigned int kCount = 3;
    static constexpr int kNumberAt = 2;
    static constexpr int kVersionAt = -1;
    static constexpr Item_result kNumberType = INT_RESULT;

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
// init allocates and deinit releases (initid->ptr), beside the scratch its
// kind of arguments keeps for the statement.
struct KeyList {
    static constexpr const char* kSqlType = "STRING";
    static constexpr const char* kCreate = "FUNCTION";
    // "[", then each key of up to 19 digits (and a sign, for negative keys)
    // and a comma or "]".
    static constexpr unsigned long longest(unsigned most_keys, bool negative) {
        return 1 + most_keys * (negative ? 21ul : 20ul);
    }
};

// Whether a kind of arguments takes a call of `count` arguments.
template <typename Arguments>
bool takes(unsigned count) {
    return count >= Arguments::kLeastCount && count <= Arguments::kCount;
}

// At init a constant arrives in its own type, before the conversion asked
// for: an integer as eight bytes, a real as a double, a string or a decimal
// as text. Its value as a double, or NaN when it is no constant.
inline double constant_value(const UDF_ARGS* args, unsigned at) {
    if (args->args[at] == nullptr) return __builtin_nan("");
    switch (args->arg_type[at]) {
        case INT_RESULT: {
            long long k;
            std::memcpy(&k, args->args[at], sizeof k);
            return static_cast<double>(k);
        }
        case REAL_RESULT: {
            double x;
            std::memcpy(&x, args->args[at], sizeof x);
            return x;
        }
        case STRING_RESULT:
        case DECIMAL_RESULT:
            return std::strtod(std::string(args->args[at], args->lengths[at]).c_str(), nullptr);
        default:
            return __builtin_nan("");
    }
}

// A string, a bound k from 0 to kMaxKeysBound and, optionally, a version of
// keys (1 when there is none): any other k or version, or a NULL, makes the
// row NULL, and a constant k above the largest, or a constant version no
// keys have, is refused when the statement starts. Without a version the
// longest list is the first release's; with one, negative keys are longer.
struct StringAndKeysBound {
    static constexpr unsigned int kLeastCount = 2;
    static constexpr unsigned int kCount = 3;
    static constexpr int kNumberAt = 1;
    static constexpr int kVersionAt = 2;
    static constexpr Item_result kNumberType = INT_RESULT;
    static constexpr unsigned kMostKeys = likeness::kMaxKeys;
    struct Scratch {};

    static void ask_for(UDF_ARGS* args) {
        args->arg_type[0] = STRING_RESULT;
        args->arg_type[1] = INT_RESULT;
        if (args->arg_count > 2) args->arg_type[2] = INT_RESULT;
    }
    static long long integer(const UDF_ARGS* args, unsigned at) {
        long long k;
        std::memcpy(&k, args->args[at], sizeof k);
        return k;
    }
    // A real constant is left to the server's conversion, as a k always
    // was; a version is refused unless it may convert to one there is.
    static double constant_integer(const UDF_ARGS* args, unsigned at) {
        return args->arg_type[at] == REAL_RESULT ? __builtin_nan("") : constant_value(args, at);
    }
    static bool refuse_constants(const UDF_ARGS* args, const char* name, char* message) {
        if (constant_integer(args, 1) >= likeness::kMaxKeysBound + 0.5) {
            std::snprintf(message, MYSQL_ERRMSG_SIZE, "%s: k must be an integer from 0 to %u", name,
                          likeness::kMaxKeysBound);
            return true;
        }
        const double version = args->arg_count > 2 ? constant_integer(args, 2) : 1;
        if (version < 0.5 || version >= likeness::kNewestKeysVersion + 0.5) {
            std::snprintf(message, MYSQL_ERRMSG_SIZE, "%s: version must be an integer from 1 to %u",
                          name, likeness::kNewestKeysVersion);
            return true;
        }
        return false;
    }
    static unsigned long longest_list(const UDF_ARGS* args) {
        return KeyList::longest(likeness::kMaxKeys, args->arg_count > 2);
    }
    static bool lacks_values(const UDF_ARGS* args) {
        return args->args[0] == nullptr || args->args[1] == nullptr || integer(args, 1) < 0 ||
               integer(args, 1) > static_cast<long long>(likeness::kMaxKeysBound) ||
               (args->arg_count > 2 &&
                (args->args[2] == nullptr || !likeness::keys_version_supported(integer(args, 2))));
    }
    template <typename Measure>
    static unsigned apply(const UDF_ARGS* args, Measure measure, long long* keys, Scratch&) {
        const long long version = args->arg_count > 2 ? integer(args, 2) : 1;
        return measure(args->args[0], args->lengths[0], static_cast<unsigned>(integer(args, 1)),
                       static_cast<unsigned>(version), keys);
    }
};

// A string and a similarity threshold, which the server converts to a double
// by its own rules (0.9, a DECIMAL or the string '0.9' arrive alike): one
// outside kLeastKeysThreshold to 1, or a NULL, makes the row NULL, and a
// constant one outside is refused when the statement starts. The statement's
// scratch is what the keys of its threshold share.
struct StringAndThreshold {
    static constexpr unsigned int kLeastCount = 2;
    static constexpr unsigned int kCount = 2;
    static constexpr int kNumberAt = 1;
    static constexpr int kVersionAt = -1;
    static constexpr Item_result kNumberType = REAL_RESULT;
    static constexpr unsigned kMostKeys = likeness::kMaxSimilarityKeys;
    using Scratch = likeness::SimilarityKeyPlan;

    static void ask_for(UDF_ARGS* args) {
        args->arg_type[0] = STRING_RESULT;
        args->arg_type[1] = REAL_RESULT;
    }
    static double threshold(const UDF_ARGS* args) {
        double x;
        std::memcpy(&x, args->args[1], sizeof x);
        return x;
    }
    static bool refuse_constants(const UDF_ARGS* args, const char* name, char* message) {
        const double x = constant_value(args, 1);
        if (std::isnan(x) || likeness::threshold_supported(x)) return false;
        std::snprintf(message, MYSQL_ERRMSG_SIZE, "%s: threshold must be from %g to 1", name,
                      likeness::kLeastKeysThreshold);
        return true;
    }
    static unsigned long longest_list(const UDF_ARGS*) {
        return KeyList::longest(likeness::kMaxSimilarityKeys, false);
    }
    static bool lacks_values(const UDF_ARGS* args) {
        return args->args[0] == nullptr || args->args[1] == nullptr ||
               !likeness::threshold_supported(threshold(args));
    }
    template <typename Measure>
    static unsigned apply(const UDF_ARGS* args, Measure measure, long long* keys, Scratch& plan) {
        return measure(args->args[0], args->lengths[0], threshold(args), plan, keys);
    }
};

// The pieces of a similarity join: an aggregate over rows, whose value is a
// JSON text kept in the join (initid->ptr), which init allocates and
// deinit releases.
struct JoinPieces {
    static constexpr const char* kSqlType = "STRING";
    static constexpr const char* kCreate = "AGGREGATE FUNCTION";
    // LONGTEXT, whatever the piece's length.
    static constexpr unsigned long kLongest = 0xffffffffu;
};

// The rows of a join: an id and a value, which the server hands over as
// text; the bound as a REAL, which the server converts by its own rules;
// optionally the cursor of the piece (NULL or '' for the first); and for
// the pairs of a link, the side of the row (0 the left, else the right). A
// constant bound that does not suit the measure is refused when the
// statement starts.
struct JoinArguments {
    static constexpr int kNumberAt = 2;
    static constexpr int kVersionAt = -1;
    static constexpr int kCursorAt = 3;
    static constexpr Item_result kNumberType = REAL_RESULT;

    static void ask_for(UDF_ARGS* args) {
        args->arg_type[0] = STRING_RESULT;
        args->arg_type[1] = STRING_RESULT;
        args->arg_type[2] = REAL_RESULT;
        if (args->arg_count > 3) args->arg_type[3] = STRING_RESULT;
        if (args->arg_count > 4) args->arg_type[4] = INT_RESULT;
    }
    static bool refuse_constants(const UDF_ARGS* args, const char* name,
                                 likeness::JoinMeasure measure, char* message) {
        const double bound = constant_value(args, kNumberAt);
        if (std::isnan(bound) || likeness::join_bound_suits(measure, bound)) return false;
        std::snprintf(message, MYSQL_ERRMSG_SIZE,
                      likeness::join_is_similarity(measure)
                          ? "%s: the threshold must be from 0 to 1"
                          : "%s: k must be a whole number of edits from 0 up",
                      name);
        return true;
    }
    static likeness::JoinRow row(const UDF_ARGS* args) {
        double bound = __builtin_nan("");
        if (args->args[kNumberAt] != nullptr) std::memcpy(&bound, args->args[kNumberAt], sizeof bound);
        const bool cursor = args->arg_count > 3 && args->args[3] != nullptr;
        const bool link = args->arg_count > 4;
        long long side = 0;
        if (link && args->args[4] != nullptr) std::memcpy(&side, args->args[4], sizeof side);
        // A row of a link without a side takes no part.
        const bool takes_part = !link || args->args[4] != nullptr;
        return {takes_part ? args->args[0] : nullptr,
                args->lengths[0],
                args->args[1],
                args->lengths[1],
                side != 0,
                bound,
                cursor ? args->args[3] : nullptr,
                cursor ? args->lengths[3] : 0,
                link};
    }
};

// The pairs of one table, or with a side argument, of a link.
struct RowsToPair : JoinArguments {
    static constexpr unsigned int kLeastCount = 3;
    static constexpr unsigned int kCount = 5;
    static constexpr likeness::JoinResult kResult = likeness::JoinResult::kPairs;
};

// The components of one table's pairs.
struct RowsToCluster : JoinArguments {
    static constexpr unsigned int kLeastCount = 3;
    static constexpr unsigned int kCount = 4;
    static constexpr likeness::JoinResult kResult = likeness::JoinResult::kClusters;
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
#define LIKENESS_DECLARE_ROW_Text(name) LIKENESS_DECLARE_ROW_KeyList(name)
#define LIKENESS_DECLARE_ROW_JoinPieces(name)                                                \
    LIKENESS_DECLARE_ROW_KeyList(name)                                                       \
    LIKENESS_EXPORT void name##_clear(UDF_INIT* initid, char* is_null, char* error);          \
    LIKENESS_EXPORT void name##_add(UDF_INIT* initid, UDF_ARGS* args, char* is_null, char* error);

extern "C" {
LIKENESS_SQL_FUNCTIONS(LIKENESS_DECLARE_ENTRY_POINTS)
}
