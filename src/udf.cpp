// The SQL entry layer: a thin frame that checks the arguments, applies the
// NULL rule and hands the values to a measure. Nothing is stored between
// calls.
#include "udf.h"

#include <cstdio>
#include <new>

namespace {

using namespace likeness::sql;

template <typename Value, typename Arguments>
struct Frame {
    template <std::size_t N>
    static init_result init(UDF_INIT* initid, UDF_ARGS* args, char* message,
                            const char (&refusal)[N]) {
        if (!takes<Arguments>(args->arg_count)) {
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
        if (!takes<Arguments>(args->arg_count) || Arguments::lacks_values(args)) {
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

// Key lists: the keys of the row written as a JSON array into the
// statement's buffer, which init allocates with the scratch of the kind of
// arguments. Init refuses a constant bound out of range by name, and fails
// cleanly when the buffer cannot be had.
template <typename Arguments>
struct KeyListFrame {
    struct Statement {
        char json[KeyList::longest(Arguments::kMostKeys, true)];
        long long keys[Arguments::kMostKeys];
        typename Arguments::Scratch scratch;
    };

    template <std::size_t N>
    static init_result init(UDF_INIT* initid, UDF_ARGS* args, char* message,
                            const char (&refusal)[N], const char* name) {
        if (!takes<Arguments>(args->arg_count)) {
            std::memcpy(message, refusal, N);
            return 1;
        }
        if (Arguments::refuse_constants(args, name, message)) return 1;
        Statement* statement = new (std::nothrow) Statement;
        if (statement == nullptr) {
            std::snprintf(message, MYSQL_ERRMSG_SIZE, "%s: out of memory", name);
            return 1;
        }
        initid->ptr = reinterpret_cast<char*>(statement);
        Arguments::ask_for(args);
        initid->maybe_null = 1;
        initid->max_length = Arguments::longest_list(args);
        return 0;
    }

    template <typename Measure>
    static char* row(UDF_INIT* initid, UDF_ARGS* args, unsigned long* length, char* is_null,
                     Measure measure) {
        if (initid->ptr == nullptr || !takes<Arguments>(args->arg_count) ||
            Arguments::lacks_values(args)) {
            *is_null = 1;
            return nullptr;
        }
        Statement& statement = *reinterpret_cast<Statement*>(initid->ptr);
        const unsigned count = Arguments::apply(args, measure, statement.keys, statement.scratch);
        char* out = statement.json;
        *out++ = '[';
        for (unsigned i = 0; i < count; ++i) {
            out += std::snprintf(out, sizeof ",-9223372036854775808", "%s%lld", i == 0 ? "" : ",",
                                 statement.keys[i]);
        }
        *out++ = ']';
        *length = static_cast<unsigned long>(out - statement.json);
        return statement.json;
    }

    static void deinit(UDF_INIT* initid) {
        delete reinterpret_cast<Statement*>(initid->ptr);
        initid->ptr = nullptr;
    }
};

// Texts: the statement's folding, which init makes (or fails cleanly) and
// deinit releases; a row's text is the argument itself or in the folding's
// buffer. A failed fold is a NULL row, after report_kill() has raised the
// server's error if the statement was killed.
template <typename Arguments>
struct TextFrame {
    template <std::size_t N>
    static init_result init(UDF_INIT* initid, UDF_ARGS* args, char* message,
                            const char (&refusal)[N], const char* name) {
        if (!takes<Arguments>(args->arg_count)) {
            std::memcpy(message, refusal, N);
            return 1;
        }
        likeness::Folding* folding = likeness::folding_create();
        if (folding == nullptr) {
            std::snprintf(message, MYSQL_ERRMSG_SIZE, "%s: out of memory", name);
            return 1;
        }
        initid->ptr = reinterpret_cast<char*>(folding);
        Arguments::ask_for(args);
        initid->maybe_null = 1;
        initid->max_length = Text::kLongest;
        return 0;
    }

    template <typename Measure>
    static char* row(UDF_INIT* initid, UDF_ARGS* args, unsigned long* length, char* is_null,
                     Measure measure) {
        if (initid->ptr == nullptr || !takes<Arguments>(args->arg_count) ||
            Arguments::lacks_values(args)) {
            *is_null = 1;
            return nullptr;
        }
        const char* text = measure(*reinterpret_cast<likeness::Folding*>(initid->ptr),
                                   args->args[0], args->lengths[0], length);
        if (text == nullptr) {
            likeness::report_kill();
            *is_null = 1;
            return nullptr;
        }
        return const_cast<char*>(text);
    }

    static void deinit(UDF_INIT* initid) {
        likeness::folding_destroy(reinterpret_cast<likeness::Folding*>(initid->ptr));
        initid->ptr = nullptr;
    }
};

// Joins: the rows of the statement gathered by add, the piece computed when
// the server asks for the value. A failed join is a NULL value, after
// report_kill() has raised the server's error if the statement was killed.
template <typename Arguments>
struct JoinFrame {
    static likeness::Join& join(UDF_INIT* initid) {
        return *reinterpret_cast<likeness::Join*>(initid->ptr);
    }

    template <std::size_t N>
    static init_result init(UDF_INIT* initid, UDF_ARGS* args, char* message,
                            const char (&refusal)[N], const char* name,
                            likeness::JoinMeasure measure) {
        if (!takes<Arguments>(args->arg_count)) {
            std::memcpy(message, refusal, N);
            return 1;
        }
        if (Arguments::refuse_constants(args, name, measure, message)) return 1;
        // Ids that the server holds as numbers are written as JSON numbers.
        const Item_result id_type = args->arg_type[0];
        const bool numeric_ids =
            id_type == INT_RESULT || id_type == DECIMAL_RESULT || id_type == REAL_RESULT;
        likeness::Join* j = likeness::join_create(measure, Arguments::kResult, numeric_ids);
        if (j == nullptr) {
            std::snprintf(message, MYSQL_ERRMSG_SIZE, "%s: out of memory", name);
            return 1;
        }
        initid->ptr = reinterpret_cast<char*>(j);
        Arguments::ask_for(args);
        initid->maybe_null = 1;
        initid->max_length = JoinPieces::kLongest;
        return 0;
    }

    static void clear(UDF_INIT* initid) { likeness::join_clear(join(initid)); }

    static void add(UDF_INIT* initid, UDF_ARGS* args) {
        if (takes<Arguments>(args->arg_count)) likeness::join_add(join(initid), Arguments::row(args));
    }

    static char* value(UDF_INIT* initid, unsigned long* length, char* is_null) {
        const char* piece = likeness::join_piece(join(initid), length);
        if (piece == nullptr) {
            likeness::report_kill();
            *is_null = 1;
            return nullptr;
        }
        return const_cast<char*>(piece);
    }

    static void deinit(UDF_INIT* initid) {
        likeness::join_destroy(reinterpret_cast<likeness::Join*>(initid->ptr));
        initid->ptr = nullptr;
    }
};

}  // namespace

// The entry points of a function, by the kind of its value.
#define LIKENESS_DEFINE_ENTRY_POINTS(name, Value, Arguments, measure, refusal) \
    LIKENESS_DEFINE_##Value(name, Arguments, measure, refusal)
#define LIKENESS_DEFINE_NUMBER(name, Value, Arguments, measure, refusal)       \
    init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message) { \
        return Frame<Value, Arguments>::init(initid, args, message, refusal);  \
    }                                                                          \
    Value::Result name(UDF_INIT*, UDF_ARGS* args, char* is_null, char*) {      \
        return Frame<Value, Arguments>::row(args, is_null, measure);           \
    }
#define LIKENESS_DEFINE_Similarity(name, Arguments, measure, refusal) \
    LIKENESS_DEFINE_NUMBER(name, Similarity, Arguments, measure, refusal)
#define LIKENESS_DEFINE_Distance(name, Arguments, measure, refusal) \
    LIKENESS_DEFINE_NUMBER(name, Distance, Arguments, measure, refusal)
#define LIKENESS_DEFINE_KeyList(name, Arguments, measure, refusal)                            \
    init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message) {                \
        return KeyListFrame<Arguments>::init(initid, args, message, refusal, #name);          \
    }                                                                                         \
    char* name(UDF_INIT* initid, UDF_ARGS* args, char*, unsigned long* length, char* is_null, \
               char*) {                                                                       \
        return KeyListFrame<Arguments>::row(initid, args, length, is_null, measure);          \
    }                                                                                         \
    void name##_deinit(UDF_INIT* initid) { KeyListFrame<Arguments>::deinit(initid); }
#define LIKENESS_DEFINE_Text(name, Arguments, measure, refusal)                               \
    init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message) {                \
        return TextFrame<Arguments>::init(initid, args, message, refusal, #name);             \
    }                                                                                         \
    char* name(UDF_INIT* initid, UDF_ARGS* args, char*, unsigned long* length, char* is_null, \
               char*) {                                                                       \
        return TextFrame<Arguments>::row(initid, args, length, is_null, measure);             \
    }                                                                                         \
    void name##_deinit(UDF_INIT* initid) { TextFrame<Arguments>::deinit(initid); }
#define LIKENESS_DEFINE_JoinPieces(name, Arguments, measure, refusal)                         \
    init_result name##_init(UDF_INIT* initid, UDF_ARGS* args, char* message) {                \
        return JoinFrame<Arguments>::init(initid, args, message, refusal, #name, measure);    \
    }                                                                                         \
    void name##_clear(UDF_INIT* initid, char*, char*) { JoinFrame<Arguments>::clear(initid); } \
    void name##_add(UDF_INIT* initid, UDF_ARGS* args, char*, char*) {                         \
        JoinFrame<Arguments>::add(initid, args);                                              \
    }                                                                                         \
    char* name(UDF_INIT* initid, UDF_ARGS*, char*, unsigned long* length, char* is_null,      \
               char*) {                                                                       \
        return JoinFrame<Arguments>::value(initid, length, is_null);                          \
    }                                                                                         \
    void name##_deinit(UDF_INIT* initid) { JoinFrame<Arguments>::deinit(initid); }

extern "C" {
LIKENESS_SQL_FUNCTIONS(LIKENESS_DEFINE_ENTRY_POINTS)
}
