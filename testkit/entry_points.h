// The SQL functions of sql_functions.h as data, for the tests and the entry
// fuzzer to loop over: each one's name, entry points, argument counts and
// refusal, and its measure applied to a call's arguments. Values are
// compared as the text a client would see: a REAL to 17 digits, an INTEGER
// in decimal, a key list as its JSON array.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "join_reference.h"
#include "udf.h"

struct EntryPoints {
    using Init = init_result (*)(UDF_INIT*, UDF_ARGS*, char*);
    using Deinit = void (*)(UDF_INIT*);
    std::string name;
    Init init;
    Deinit deinit;  // null for the functions without one
    // The row function's value, or nullopt for NULL; error_out receives its
    // error flag.
    std::function<std::optional<std::string>(UDF_INIT*, UDF_ARGS*, char* error_out)> row;
    // The same call, telling only whether the row is NULL: allocates nothing.
    std::function<bool(UDF_INIT*, UDF_ARGS*, char* error_out)> null_row;
    // The measure on the arguments of a call that has values, as the row
    // function should answer it.
    std::function<std::string(const UDF_ARGS*)> measure;
    const char* sql_type;
    unsigned least_count, count;  // it takes from least_count to count arguments
    int number_at;                // the position of its number argument, or -1
    int version_at;               // the position of its optional version of keys, or -1
    Item_result number_type;      // INT_RESULT or REAL_RESULT
    std::string refusal;
    // A join (an aggregate): a call is two rows, the call's own (id a,
    // value b) and b's (id b, value a), on the other side in a link; its
    // value is their pair or their clusters. A NULL id or value leaves a
    // row out rather than making the value NULL; after the bound come the
    // cursor (the first piece: empty) and the side (0).
    bool join = false;
    std::function<bool(double)> bound_suits;  // a join's: whether it takes a bound

    // A number argument either way, as the caller keeps it, and a version
    // of keys.
    struct Number {
        long long integer;
        double real;
        long long version = 2;
        double join_bound = 1.0;  // k of 1, or a threshold of 1: any join takes it
    };

    // The arguments of a call of `count` arguments: the strings in order,
    // the number and the version where they go, as the server hands them
    // over.
    std::vector<std::optional<std::string_view>> values(std::string_view a, std::string_view b,
                                                        const Number& number) const {
        std::vector<std::optional<std::string_view>> out;
        const std::string_view strings[] = {a, b};
        std::size_t next = 0;
        for (unsigned i = 0; i < count; ++i) {
            if (join && static_cast<int>(i) == number_at) {
                out.push_back(std::string_view(reinterpret_cast<const char*>(&number.join_bound),
                                               sizeof number.join_bound));
            } else if (join && i > static_cast<unsigned>(number_at)) {
                out.push_back(i == 3 ? std::string_view("")
                                     : std::string_view(reinterpret_cast<const char*>(&kLeft),
                                                        sizeof kLeft));
            } else if (static_cast<int>(i) == version_at) {
                out.push_back(std::string_view(reinterpret_cast<const char*>(&number.version),
                                               sizeof number.version));
            } else if (static_cast<int>(i) == number_at) {
                out.push_back(number_type == REAL_RESULT
                                  ? std::string_view(reinterpret_cast<const char*>(&number.real),
                                                     sizeof number.real)
                                  : std::string_view(reinterpret_cast<const char*>(&number.integer),
                                                     sizeof number.integer));
            } else {
                out.push_back(strings[next++ % 2]);
            }
        }
        return out;
    }

  private:
    static constexpr long long kLeft = 0;
};

namespace entry_points_detail {

inline std::string text(double value) {
    char out[32];
    std::snprintf(out, sizeof out, "%.17g", value);
    return out;
}
inline std::string text(long long value) { return std::to_string(value); }

// Each kind of value: how its row function is called and its measure read.
template <typename Value>
struct Kind {
    template <typename Row>
    static std::optional<std::string> call(Row row, UDF_INIT* initid, UDF_ARGS* args, char* error) {
        char is_null = 0;
        const auto value = row(initid, args, &is_null, error);
        if (is_null) return std::nullopt;
        return text(value);
    }
    template <typename Row>
    static bool null(Row row, UDF_INIT* initid, UDF_ARGS* args, char* error) {
        char is_null = 0;
        row(initid, args, &is_null, error);
        return is_null != 0;
    }
    template <typename Arguments, typename Measure>
    static std::string expected(const UDF_ARGS* args, Measure measure) {
        return text(static_cast<typename Value::Result>(Arguments::apply(args, measure)));
    }
};

template <>
struct Kind<likeness::sql::KeyList> {
    template <typename Row>
    static std::optional<std::string> call(Row row, UDF_INIT* initid, UDF_ARGS* args, char* error) {
        char is_null = 0;
        char buffer[766];
        unsigned long length = 0;
        const char* value = row(initid, args, buffer, &length, &is_null, error);
        if (is_null) return std::nullopt;
        return std::string(value, length);
    }
    template <typename Row>
    static bool null(Row row, UDF_INIT* initid, UDF_ARGS* args, char* error) {
        char is_null = 0;
        char buffer[766];
        unsigned long length = 0;
        row(initid, args, buffer, &length, &is_null, error);
        return is_null != 0;
    }
    template <typename Arguments, typename Measure>
    static std::string expected(const UDF_ARGS* args, Measure measure) {
        std::vector<long long> keys(Arguments::kMostKeys);
        typename Arguments::Scratch scratch;
        const unsigned count = Arguments::apply(args, measure, keys.data(), scratch);
        std::string json = "[";
        for (unsigned i = 0; i < count; ++i) json += (i ? "," : "") + std::to_string(keys[i]);
        return json + "]";
    }
};

template <>
struct Kind<likeness::sql::Text> {
    template <typename Row>
    static std::optional<std::string> call(Row row, UDF_INIT* initid, UDF_ARGS* args, char* error) {
        return Kind<likeness::sql::KeyList>::call(row, initid, args, error);
    }
    template <typename Row>
    static bool null(Row row, UDF_INIT* initid, UDF_ARGS* args, char* error) {
        return Kind<likeness::sql::KeyList>::null(row, initid, args, error);
    }
    template <typename Arguments, typename Measure>
    static std::string expected(const UDF_ARGS* args, Measure measure) {
        likeness::Folding* folding = likeness::folding_create();
        unsigned long length = 0;
        const char* text = measure(*folding, args->args[0], args->lengths[0], &length);
        std::string out(text, length);
        likeness::folding_destroy(folding);
        return out;
    }
};

// A join's entry points, and the value of a call of two rows.
struct Aggregate {
    void (*clear)(UDF_INIT*, char*, char*);
    void (*add)(UDF_INIT*, UDF_ARGS*, char*, char*);
    char* (*value)(UDF_INIT*, UDF_ARGS*, char*, unsigned long*, char*, char*);
};

template <>
struct Kind<likeness::sql::JoinPieces> {
    // The value's text, or nullptr for NULL; allocates nothing of its own.
    static const char* value(const Aggregate& f, UDF_INIT* initid, UDF_ARGS* args, char* error,
                             unsigned long& length) {
        char is_null = 0;
        f.clear(initid, &is_null, error);
        f.add(initid, args, &is_null, error);
        char* swapped[5];
        unsigned long lengths[5];
        std::copy(args->args, args->args + args->arg_count, swapped);
        std::copy(args->lengths, args->lengths + args->arg_count, lengths);
        std::swap(swapped[0], swapped[1]);
        std::swap(lengths[0], lengths[1]);
        static const long long kRight = 1;
        if (args->arg_count > 4 && swapped[4] != nullptr) {
            swapped[4] = const_cast<char*>(reinterpret_cast<const char*>(&kRight));
        }
        UDF_ARGS second = *args;
        second.args = swapped;
        second.lengths = lengths;
        f.add(initid, &second, &is_null, error);
        char buffer[766];
        const char* text = f.value(initid, args, buffer, &length, &is_null, error);
        return is_null ? nullptr : text;
    }
    static std::optional<std::string> call(const Aggregate& f, UDF_INIT* initid, UDF_ARGS* args,
                                           char* error) {
        unsigned long length = 0;
        const char* text = value(f, initid, args, error, length);
        if (text == nullptr) return std::nullopt;
        return std::string(text, length);
    }
    static bool null(const Aggregate& f, UDF_INIT* initid, UDF_ARGS* args, char* error) {
        unsigned long length = 0;
        return value(f, initid, args, error, length) == nullptr;
    }
    template <typename Arguments>
    static std::string expected(const UDF_ARGS* args, likeness::JoinMeasure measure) {
        return join_reference::two_rows(args, measure,
                                        Arguments::kResult == likeness::JoinResult::kClusters);
    }
};

}  // namespace entry_points_detail

#define LIKENESS_ROW_OF_Similarity(fn) fn
#define LIKENESS_ROW_OF_Distance(fn) fn
#define LIKENESS_ROW_OF_KeyList(fn) fn
#define LIKENESS_ROW_OF_Text(fn) fn
#define LIKENESS_ROW_OF_JoinPieces(fn) \
    (entry_points_detail::Aggregate{fn##_clear, fn##_add, fn})
#define LIKENESS_JOIN_Similarity(measure) false, nullptr
#define LIKENESS_JOIN_Distance(measure) false, nullptr
#define LIKENESS_JOIN_KeyList(measure) false, nullptr
#define LIKENESS_JOIN_Text(measure) false, nullptr
#define LIKENESS_JOIN_JoinPieces(measure) \
    true, [](double bound) { return likeness::join_bound_suits(measure, bound); }

#define LIKENESS_DEINIT_JoinPieces(fn) fn##_deinit
#define LIKENESS_DEINIT_KeyList(fn) fn##_deinit
#define LIKENESS_DEINIT_Text(fn) fn##_deinit
#define LIKENESS_DEINIT_Similarity(fn) nullptr
#define LIKENESS_DEINIT_Distance(fn) nullptr

#define LIKENESS_ENTRY_POINTS_RECORD(fn, Value, Arguments, fn_measure, fn_refusal)                 \
    EntryPoints{                                                                                   \
        #fn,                                                                                       \
        fn##_init,                                                                                 \
        LIKENESS_DEINIT_##Value(fn),                                                               \
        [](UDF_INIT* initid, UDF_ARGS* args, char* error) {                                        \
            return entry_points_detail::Kind<likeness::sql::Value>::call(                          \
                LIKENESS_ROW_OF_##Value(fn), initid, args, error);                                 \
        },                                                                                         \
        [](UDF_INIT* initid, UDF_ARGS* args, char* error) {                                        \
            return entry_points_detail::Kind<likeness::sql::Value>::null(                          \
                LIKENESS_ROW_OF_##Value(fn), initid, args, error);                                 \
        },                                                                                         \
        [](const UDF_ARGS* args) {                                                                 \
            return entry_points_detail::Kind<likeness::sql::Value>::template expected<             \
                likeness::sql::Arguments>(args, fn_measure);                                       \
        },                                                                                         \
        likeness::sql::Value::kSqlType,                                                            \
        likeness::sql::Arguments::kLeastCount,                                                     \
        likeness::sql::Arguments::kCount,                                                          \
        likeness::sql::Arguments::kNumberAt,                                                       \
        likeness::sql::Arguments::kVersionAt,                                                      \
        likeness::sql::Arguments::kNumberType,                                                     \
        fn_refusal,                                                                                \
        LIKENESS_JOIN_##Value(fn_measure)},

inline const std::vector<EntryPoints>& entry_points() {
    static const std::vector<EntryPoints> all = {
        LIKENESS_SQL_FUNCTIONS(LIKENESS_ENTRY_POINTS_RECORD)};
    return all;
}
