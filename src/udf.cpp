// The SQL entry layer: a thin frame that checks the arguments, applies the
// NULL rule and hands the two values to a measure. Nothing is stored between
// calls.
#include "udf.h"

#include <cmath>
#include <cstring>

namespace {

constexpr char kSimilarityMessage[] = "jarowinkler must have exactly two arguments";
constexpr char kDistanceMessage[] = "editdistance must have exactly two arguments";

// The servers' "not fixed" decimals: without it the server rounds a REAL
// result to the decimals of the arguments (jaro(12, 21) would print 1).
constexpr unsigned int kNotFixedDecimals = 31;

template <std::size_t N>
init_result accept_two_strings(UDF_INIT* initid, UDF_ARGS* args, char* message,
                               const char (&rejection)[N]) {
    if (args->arg_count != 2) {
        std::memcpy(message, rejection, N);
        return 1;
    }
    for (unsigned int i = 0; i < args->arg_count; ++i) args->arg_type[i] = STRING_RESULT;
    initid->maybe_null = 1;  // a row is NULL for a NULL argument, or when memory runs out
    return 0;
}

// True when the row has no two values to compare. The count is checked again
// here so a row function never reads past the arguments it was given.
bool lacks_two_values(const UDF_ARGS* args) {
    if (args->arg_count != 2) return true;
    return args->args[0] == nullptr || args->args[1] == nullptr;
}

// A similarity of NaN or a distance of kDistanceFailed means the measure ran
// out of memory; the row is then NULL. The error flag is left alone: the
// servers would make every later row of the statement NULL too.
template <typename Measure>
double similarity_row(UDF_ARGS* args, char* is_null, Measure measure) {
    if (lacks_two_values(args)) {
        *is_null = 1;
        return 0.0;
    }
    const double value = measure(args->args[0], args->args[1], args->lengths[0], args->lengths[1]);
    if (std::isnan(value)) {
        *is_null = 1;
        return 0.0;
    }
    return value;
}

template <typename Measure>
long long distance_row(UDF_ARGS* args, char* is_null, Measure measure) {
    if (lacks_two_values(args)) {
        *is_null = 1;
        return 0;
    }
    const unsigned long value =
        measure(args->args[0], args->args[1], args->lengths[0], args->lengths[1]);
    if (value == kDistanceFailed) {
        *is_null = 1;
        return 0;
    }
    return static_cast<long long>(value);
}

}  // namespace

extern "C" {

LIKENESS_EXPORT init_result jaro_init(UDF_INIT* initid, UDF_ARGS* args, char* message) {
    const init_result rejected = accept_two_strings(initid, args, message, kSimilarityMessage);
    if (!rejected) initid->decimals = kNotFixedDecimals;
    return rejected;
}

LIKENESS_EXPORT double jaro(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {
    return similarity_row(args, is_null, jaro_distance);
}

LIKENESS_EXPORT init_result jarowinkler_init(UDF_INIT* initid, UDF_ARGS* args, char* message) {
    return jaro_init(initid, args, message);
}

LIKENESS_EXPORT double jarowinkler(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {
    return similarity_row(args, is_null, jarowinkler_distance);
}

LIKENESS_EXPORT init_result editdistance_init(UDF_INIT* initid, UDF_ARGS* args, char* message) {
    return accept_two_strings(initid, args, message, kDistanceMessage);
}

LIKENESS_EXPORT long long editdistance(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {
    return distance_row(args, is_null, levenshteinDistance);
}

LIKENESS_EXPORT init_result editdistance_dl_init(UDF_INIT* initid, UDF_ARGS* args, char* message) {
    return editdistance_init(initid, args, message);
}

LIKENESS_EXPORT long long editdistance_dl(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {
    return distance_row(args, is_null, damerauLevenshteinDistance);
}

}  // extern "C"
