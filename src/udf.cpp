// The SQL entry layer: a thin frame that checks the arguments, applies the
// NULL rule and hands the values to a measure. Nothing is stored between
// calls.
#include "udf.h"

namespace {

using namespace likeness::sql;

template <typename Value, typename Arguments>
struct Frame {
    template <std::size_t N>
    static init_result init(UDF_INIT* initid, UDF_ARGS* args, char* message,
                            const char (&refusal)[N]) {
        if (args->arg_count != Arguments::kCount) {
            std::memcpy(message, refusal, N);
            return 1;
        }
        Arguments::ask_for(args);
        initid->maybe_null = 1;  // a row is NULL for a NULL argument, or when memory runs out
        Value::describe(initid);
        return 0;
    }

    // The count is checked again here so a row function never reads past the
    // arguments it was given. A failed measure ran out of memory, and the row
    // is NULL, or was stopped by a kill, and the statement fails with the
    // server's error. The error flag is left alone: the servers would make
    // every later row of the statement NULL too.
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

#define LIKENESS_DEFINE_ENTRY_POINTS(name, Value, Arguments, measure, refusal) \
    init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message) { \
        return Frame<Value, Arguments>::init(initid, args, message, refusal);  \
    }                                                                          \
    Value::Result name(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {      \
        return Frame<Value, Arguments>::row(args, is_null, measure);           \
    }

extern "C" {
LIKENESS_SQL_FUNCTIONS(LIKENESS_DEFINE_ENTRY_POINTS)
}
