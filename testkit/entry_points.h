// The SQL functions of sql_functions.h as data, for the tests and the entry
// fuzzer to loop over: each one's name, entry points, argument count and
// refusal, and its measure applied to a call's arguments.
#pragma once

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "udf.h"

struct EntryPoints {
    using Init = init_result (*)(UDF_INIT*, UDF_ARGS*, char*);
    std::string name;
    Init init;
    // The row function's value as a double (a distance exactly: all fit in
    // 53 bits here); null_out and error_out receive its flags.
    std::function<double(UDF_INIT*, UDF_ARGS*, char* null_out, char* error_out)> row;
    // The measure on the arguments of a call that has values, as the row
    // function should answer it.
    std::function<double(const UDF_ARGS*)> measure;
    bool real;  // REAL, else INTEGER
    unsigned count;
    std::string refusal;
};

#define LIKENESS_ENTRY_POINTS_RECORD(fn, Value, Arguments, fn_measure, fn_refusal)        \
    EntryPoints{#fn,                                                                      \
                fn##_init,                                                                \
                [](UDF_INIT* initid, UDF_ARGS* args, char* is_null, char* error) {        \
                    return static_cast<double>(fn(initid, args, is_null, error));         \
                },                                                                        \
                [](const UDF_ARGS* args) {                                                \
                    return static_cast<double>(static_cast<likeness::sql::Value::Result>( \
                        likeness::sql::Arguments::apply(args, fn_measure)));              \
                },                                                                        \
                std::is_same_v<likeness::sql::Value, likeness::sql::Similarity>,          \
                likeness::sql::Arguments::kCount,                                         \
                fn_refusal},

inline const std::vector<EntryPoints>& entry_points() {
    static const std::vector<EntryPoints> all = {
        LIKENESS_SQL_FUNCTIONS(LIKENESS_ENTRY_POINTS_RECORD)};
    return all;
}
