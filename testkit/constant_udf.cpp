// A loadable function that returns 0 for any arguments: what a call through
// the server's UDF interface costs before any measure is computed, for the
// server benchmark and as the kill test's yardstick.
#include "udf.h"

extern "C" {

LIKENESS_EXPORT init_result constant_init(UDF_INIT*, UDF_ARGS* args, char*) {
    for (unsigned int i = 0; i < args->arg_count; ++i) args->arg_type[i] = STRING_RESULT;
    return 0;
}

LIKENESS_EXPORT long long constant(UDF_INIT*, UDF_ARGS*, char*, char*) { return 0; }
}
