// The entry functions as the server sees them, for the test programs.
#pragma once

#include <mysql.h>

extern "C" {
my_bool jaro_init(UDF_INIT*, UDF_ARGS*, char*);
double jaro(UDF_INIT*, UDF_ARGS*, char*, char*);
my_bool jarowinkler_init(UDF_INIT*, UDF_ARGS*, char*);
double jarowinkler(UDF_INIT*, UDF_ARGS*, char*, char*);
my_bool editdistance_init(UDF_INIT*, UDF_ARGS*, char*);
long long editdistance(UDF_INIT*, UDF_ARGS*, char*, char*);
my_bool editdistance_dl_init(UDF_INIT*, UDF_ARGS*, char*);
long long editdistance_dl(UDF_INIT*, UDF_ARGS*, char*, char*);
}

// Two values as the server hands them to a row function; a null pointer
// stands for SQL NULL.
struct TwoArgs {
    TwoArgs(const char* a, unsigned long len_a, const char* b, unsigned long len_b)
        : values{const_cast<char*>(a), const_cast<char*>(b)},
          lengths{len_a, len_b},
          types{STRING_RESULT, STRING_RESULT},
          args{2, types, values, lengths, nullptr} {}
    TwoArgs(const TwoArgs&) = delete;
    TwoArgs& operator=(const TwoArgs&) = delete;

    char* values[2];
    unsigned long lengths[2];
    Item_result types[2];
    UDF_ARGS args;
};
