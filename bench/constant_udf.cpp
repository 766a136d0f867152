// A loadable function that returns 0 for any two arguments: what a call
// through the server's UDF interface costs before any measure is computed,
// for the server benchmark only.
#include <mysql.h>

#if defined(LIBMARIADB) || defined(MARIADB_BASE_VERSION) || MYSQL_VERSION_ID < 80000
using init_result = my_bool;
#else
using init_result = bool;
#endif

extern "C" {

__attribute__((visibility("default"))) init_result constant_init(UDF_INIT*, UDF_ARGS* args,
                                                                 char*) {
    for (unsigned int i = 0; i < args->arg_count; ++i) args->arg_type[i] = STRING_RESULT;
    return 0;
}

__attribute__((visibility("default"))) long long constant(UDF_INIT*, UDF_ARGS*, char*, char*) {
    return 0;
}
}
