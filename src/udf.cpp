// The SQL entry layer: a thin frame that checks the arguments, applies the
// NULL rule and hands the values to a measure. Nothing is stored between
// calls.
#include "udf.h"

#include <cmath>
#include <cstring>

namespace {

// The servers' "not fixed" decimals: without it the server rounds a REAL
// result to the decimals of the arguments (jaro(12, 21) would print 1).
constexpr unsigned int kNotFixedDecimals = 31;

// What a measure's value becomes: a similarity of NaN or a distance of
// kDistanceFailed means the measure ran out of memory, and the row is NULL,
// or that its statement was killed, and the statement fails with the
// server's error. The error flag is left alone: the servers would make every
// later row of the statement NULL too.
struct Similarity {
    using Result = double;
    static void describe(UDF_INIT* initid) { initid->decimals = kNotFixedDecimals; }
    static bool failed(double value) { return std::isnan(value); }
};

struct Distance {
    using Result = long long;
    static void describe(UDF_INIT*) {}
    static bool failed(unsigned long value) { return value == kDistanceFailed; }
};

// What a function takes: its argument count, the types it asks the server
// for, and the call of its measure. A row that lacks a value is NULL.
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

template <typename Value, typename Arguments>
struct Frame {
    template <std::size_t N>
    static init_result init(UDF_INIT* initid, UDF_ARGS* args, char* message,
                            const char (&rejection)[N]) {
        if (args->arg_count != Arguments::kCount) {
            std::memcpy(message, rejection, N);
            return 1;
        }
        Arguments::ask_for(args);
        initid->maybe_null = 1;  // a row is NULL for a NULL argument, or when memory runs out
        Value::describe(initid);
        return 0;
    }

    // The count is checked again here so a row function never reads past the
    // arguments it was given.
    template <typename Measure>
    static typename Value::Result row(UDF_ARGS* args, char* is_null, Measure measure) {
        if (args->arg_count != Arguments::kCount || Arguments::lacks_values(args)) {
            *is_null = 1;
            return 0;
        }
        const auto value = Arguments::apply(args, measure);
        if (Value::failed(value)) {
            likeness::report_kill();
            *is_null = 1;
            return 0;
        }
        return static_cast<typename Value::Result>(value);
    }
};

}  // namespace

// The init and row functions of SQL function `name`: a Frame of a Value kind
// (Similarity, REAL; Distance, INTEGER) and the Arguments it takes, computing
// `measure` and refusing any other argument count with `rejection`.
#define LIKENESS_SQL_FUNCTION(name, Value, Arguments, measure, rejection)                      \
    LIKENESS_EXPORT init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message) { \
        return Frame<Value, Arguments>::init(initid, args, message, rejection);                \
    }                                                                                          \
    LIKENESS_EXPORT Value::Result name(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {      \
        return Frame<Value, Arguments>::row(args, is_null, measure);                           \
    }

extern "C" {

LIKENESS_SQL_FUNCTION(jaro, Similarity, TwoStrings, jaro_distance,
                      "jarowinkler must have exactly two arguments")
LIKENESS_SQL_FUNCTION(jarowinkler, Similarity, TwoStrings, jarowinkler_distance,
                      "jarowinkler must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance, Distance, TwoStrings, levenshteinDistance,
                      "editdistance must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance_dl, Distance, TwoStrings, damerauLevenshteinDistance,
                      "editdistance must have exactly two arguments")

LIKENESS_SQL_FUNCTION(jaro_utf8, Similarity, TwoStrings, likeness::jaro_utf8,
                      "jaro_utf8 must have exactly two arguments")
LIKENESS_SQL_FUNCTION(jarowinkler_utf8, Similarity, TwoStrings, likeness::jarowinkler_utf8,
                      "jarowinkler_utf8 must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance_utf8, Distance, TwoStrings, likeness::levenshtein_utf8,
                      "editdistance_utf8 must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance_dl_utf8, Distance, TwoStrings, likeness::osa_utf8,
                      "editdistance_dl_utf8 must have exactly two arguments")

LIKENESS_SQL_FUNCTION(editdistance_bounded, Distance, TwoStringsAndBound,
                      likeness::levenshtein_bounded,
                      "editdistance_bounded must have exactly three arguments")
LIKENESS_SQL_FUNCTION(editdistance_dl_bounded, Distance, TwoStringsAndBound, likeness::osa_bounded,
                      "editdistance_dl_bounded must have exactly three arguments")
LIKENESS_SQL_FUNCTION(editdistance_utf8_bounded, Distance, TwoStringsAndBound,
                      likeness::levenshtein_utf8_bounded,
                      "editdistance_utf8_bounded must have exactly three arguments")
LIKENESS_SQL_FUNCTION(editdistance_dl_utf8_bounded, Distance, TwoStringsAndBound,
                      likeness::osa_utf8_bounded,
                      "editdistance_dl_utf8_bounded must have exactly three arguments")

}  // extern "C"
