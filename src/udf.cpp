// The SQL entry layer: a thin frame that checks the arguments, applies the
// NULL rule and hands the two values to a measure. Nothing is stored between
// calls.
#include "udf.h"

#include <cmath>
#include <cstring>

namespace {

// The servers' "not fixed" decimals: without it the server rounds a REAL
// result to the decimals of the arguments (jaro(12, 21) would print 1).
constexpr unsigned int kNotFixedDecimals = 31;

// What a measure's value becomes: a similarity of NaN or a distance of
// kDistanceFailed means the measure ran out of memory, and the row is NULL.
// The error flag is left alone: the servers would make every later row of the
// statement NULL too.
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

// True when the row has no two values to compare. The count is checked again
// here so a row function never reads past the arguments it was given.
bool lacks_two_values(const UDF_ARGS* args) {
    if (args->arg_count != 2) return true;
    return args->args[0] == nullptr || args->args[1] == nullptr;
}

template <typename Value>
struct Frame {
    template <std::size_t N>
    static init_result init(UDF_INIT* initid, UDF_ARGS* args, char* message,
                            const char (&rejection)[N]) {
        if (args->arg_count != 2) {
            std::memcpy(message, rejection, N);
            return 1;
        }
        for (unsigned int i = 0; i < args->arg_count; ++i) args->arg_type[i] = STRING_RESULT;
        initid->maybe_null = 1;  // a row is NULL for a NULL argument, or when memory runs out
        Value::describe(initid);
        return 0;
    }

    template <typename Measure>
    static typename Value::Result row(UDF_ARGS* args, char* is_null, Measure measure) {
        if (lacks_two_values(args)) {
            *is_null = 1;
            return 0;
        }
        const auto value =
            measure(args->args[0], args->args[1], args->lengths[0], args->lengths[1]);
        if (Value::failed(value)) {
            *is_null = 1;
            return 0;
        }
        return static_cast<typename Value::Result>(value);
    }
};

}  // namespace

// The init and row functions of SQL function `name`: a Frame of a Value kind
// (Similarity, REAL; Distance, INTEGER), computing `measure` and refusing any
// other argument count with `rejection`.
#define LIKENESS_SQL_FUNCTION(name, Value, measure, rejection)                                 \
    LIKENESS_EXPORT init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message) { \
        return Frame<Value>::init(initid, args, message, rejection);                           \
    }                                                                                          \
    LIKENESS_EXPORT Value::Result name(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {      \
        return Frame<Value>::row(args, is_null, measure);                                      \
    }

extern "C" {

LIKENESS_SQL_FUNCTION(jaro, Similarity, jaro_distance,
                      "jarowinkler must have exactly two arguments")
LIKENESS_SQL_FUNCTION(jarowinkler, Similarity, jarowinkler_distance,
                      "jarowinkler must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance, Distance, levenshteinDistance,
                      "editdistance must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance_dl, Distance, damerauLevenshteinDistance,
                      "editdistance must have exactly two arguments")

LIKENESS_SQL_FUNCTION(jaro_utf8, Similarity, likeness::jaro_utf8,
                      "jaro_utf8 must have exactly two arguments")
LIKENESS_SQL_FUNCTION(jarowinkler_utf8, Similarity, likeness::jarowinkler_utf8,
                      "jarowinkler_utf8 must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance_utf8, Distance, likeness::levenshtein_utf8,
                      "editdistance_utf8 must have exactly two arguments")
LIKENESS_SQL_FUNCTION(editdistance_dl_utf8, Distance, likeness::osa_utf8,
                      "editdistance_dl_utf8 must have exactly two arguments")

}  // extern "C"
