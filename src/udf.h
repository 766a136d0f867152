// The SQL entry points: for each function an init, called once per
// statement, and a row function, called once per row.
#pragma once

#include <mysql.h>

#include "algorithms.h"

// MySQL 8 dropped my_bool and declares the init result as bool; both are one
// byte, so one binary serves either server.
#if defined(LIBMARIADB) || defined(MARIADB_BASE_VERSION) || MYSQL_VERSION_ID < 80000
using init_result = my_bool;
#else
using init_result = bool;
#endif

extern "C" {
LIKENESS_EXPORT init_result jaro_init(UDF_INIT* initid, UDF_ARGS* args, char* message);
LIKENESS_EXPORT double jaro(UDF_INIT* initid, UDF_ARGS* args, char* is_null, char* error);
LIKENESS_EXPORT init_result jarowinkler_init(UDF_INIT* initid, UDF_ARGS* args, char* message);
LIKENESS_EXPORT double jarowinkler(UDF_INIT* initid, UDF_ARGS* args, char* is_null, char* error);
LIKENESS_EXPORT init_result editdistance_init(UDF_INIT* initid, UDF_ARGS* args, char* message);
LIKENESS_EXPORT long long editdistance(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                       char* error);
LIKENESS_EXPORT init_result editdistance_dl_init(UDF_INIT* initid, UDF_ARGS* args, char* message);
LIKENESS_EXPORT long long editdistance_dl(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                          char* error);

LIKENESS_EXPORT init_result jaro_utf8_init(UDF_INIT* initid, UDF_ARGS* args, char* message);
LIKENESS_EXPORT double jaro_utf8(UDF_INIT* initid, UDF_ARGS* args, char* is_null, char* error);
LIKENESS_EXPORT init_result jarowinkler_utf8_init(UDF_INIT* initid, UDF_ARGS* args, char* message);
LIKENESS_EXPORT double jarowinkler_utf8(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                        char* error);
LIKENESS_EXPORT init_result editdistance_utf8_init(UDF_INIT* initid, UDF_ARGS* args, char* message);
LIKENESS_EXPORT long long editdistance_utf8(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                            char* error);
LIKENESS_EXPORT init_result editdistance_dl_utf8_init(UDF_INIT* initid, UDF_ARGS* args,
                                                      char* message);
LIKENESS_EXPORT long long editdistance_dl_utf8(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                               char* error);

LIKENESS_EXPORT init_result editdistance_bounded_init(UDF_INIT* initid, UDF_ARGS* args,
                                                      char* message);
LIKENESS_EXPORT long long editdistance_bounded(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                               char* error);
LIKENESS_EXPORT init_result editdistance_dl_bounded_init(UDF_INIT* initid, UDF_ARGS* args,
                                                         char* message);
LIKENESS_EXPORT long long editdistance_dl_bounded(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                                  char* error);
LIKENESS_EXPORT init_result editdistance_utf8_bounded_init(UDF_INIT* initid, UDF_ARGS* args,
                                                           char* message);
LIKENESS_EXPORT long long editdistance_utf8_bounded(UDF_INIT* initid, UDF_ARGS* args, char* is_null,
                                                    char* error);
LIKENESS_EXPORT init_result editdistance_dl_utf8_bounded_init(UDF_INIT* initid, UDF_ARGS* args,
                                                              char* message);
LIKENESS_EXPORT long long editdistance_dl_utf8_bounded(UDF_INIT* initid, UDF_ARGS* args,
                                                       char* is_null, char* error);
}
