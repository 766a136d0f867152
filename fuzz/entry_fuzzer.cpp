// Drives every entry function through the server's own records: the
// input chooses the argument count (0 to 4), which arguments are NULL, and
// the bytes and lengths of the others. Checks what a server relies on.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "algorithms.h"
#include "sql_call.h"
#include "udf.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

using Init = init_result (*)(UDF_INIT*, UDF_ARGS*, char*);

// Input: count byte, NULL-mask byte, then per argument a length byte and
// that many bytes (what is left goes to the last argument).
std::vector<std::optional<std::string_view>> parse(const std::uint8_t* data, std::size_t size) {
    const unsigned count = data[0] % 5;
    const unsigned nulls = data[1];
    std::vector<std::optional<std::string_view>> values;
    std::size_t at = 2;
    for (unsigned i = 0; i < count; ++i) {
        std::size_t len = at < size ? data[at++] : 0;
        if (i + 1 == count || at + len > size) len = size - at;
        const std::string_view bytes(reinterpret_cast<const char*>(data) + at, len);
        at += len;
        values.push_back(nulls >> i & 1 ? std::nullopt : std::optional<std::string_view>(bytes));
    }
    return values;
}

// Init accepts its own argument count only, asking for strings (and an
// integer third), and otherwise leaves the types and copies its message.
void check_init(Init init, SqlCall& call, UDF_INIT& initid, const char* message_text,
                unsigned count) {
    char message[512];
    std::memset(message, 'x', sizeof message);
    const init_result rejected = init(&initid, &call.args, message);
    const bool accepted = call.args.arg_count == count;
    check(rejected == (accepted ? 0 : 1));
    if (!accepted) check(std::strcmp(message, message_text) == 0);
    for (unsigned i = 0; i < call.args.arg_count; ++i) {
        const Item_result asked = i < 2 ? STRING_RESULT : INT_RESULT;
        check(call.types[i] == (accepted ? asked : REAL_RESULT));
    }
}

template <typename Row, typename Measure>
void check_pair(Init init, Row row, Measure measure, const char* message_text,
                const std::vector<std::optional<std::string_view>>& values) {
    SqlCall call(values);
    UDF_INIT initid{};
    check_init(init, call, initid, message_text, 2);
    const bool two = values.size() == 2;

    // Servers call the row function only after an accepting init; it must be
    // safe even so.
    char is_null = 0, error = 0;
    const auto value = row(&initid, &call.args, &is_null, &error);
    check(error == 0);
    const bool null_row = !two || !values[0] || !values[1];
    check(is_null == (null_row ? 1 : 0));
    if (!null_row) {
        check(value == measure(call.args.args[0], call.args.args[1], call.args.lengths[0],
                               call.args.lengths[1]));
    }
}

// A bounded distance, the third value's first bytes read as its bound: the
// plain distance when within it, else the bound + 1; NULL for a NULL value
// or a negative bound.
void check_bounded(Init init, long long (*row)(UDF_INIT*, UDF_ARGS*, char*, char*),
                   unsigned long (*distance)(const char*, const char*, unsigned long,
                                             unsigned long),
                   const char* message_text, std::vector<std::optional<std::string_view>> values) {
    long long bound = 0;
    if (values.size() == 3 && values[2]) {
        std::memcpy(&bound, values[2]->data(), std::min(values[2]->size(), sizeof bound));
        values[2] = integer_argument(bound);
    }
    SqlCall call(values);
    UDF_INIT initid{};
    check_init(init, call, initid, message_text, 3);
    char is_null = 0, error = 0;
    const long long value = row(&initid, &call.args, &is_null, &error);
    check(error == 0);
    const bool null_row = values.size() != 3 || !values[0] || !values[1] || !values[2] || bound < 0;
    check(is_null == (null_row ? 1 : 0));
    if (!null_row) {
        const unsigned long d =
            distance(values[0]->data(), values[1]->data(), values[0]->size(), values[1]->size());
        const auto k = static_cast<unsigned long>(bound);
        check(static_cast<unsigned long>(value) == (d <= k ? d : k + 1));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto values = parse(data, size);
    const char* similarity = "jarowinkler must have exactly two arguments";
    const char* distance = "editdistance must have exactly two arguments";
    check_pair(jaro_init, jaro, jaro_distance, similarity, values);
    check_pair(jarowinkler_init, jarowinkler, jarowinkler_distance, similarity, values);
    check_pair(
        editdistance_init, editdistance,
        [](char* x, char* y, unsigned long lx, unsigned long ly) {
            return static_cast<long long>(levenshteinDistance(x, y, lx, ly));
        },
        distance, values);
    check_pair(
        editdistance_dl_init, editdistance_dl,
        [](char* x, char* y, unsigned long lx, unsigned long ly) {
            return static_cast<long long>(damerauLevenshteinDistance(x, y, lx, ly));
        },
        distance, values);
    check_pair(jaro_utf8_init, jaro_utf8, likeness::jaro_utf8,
               "jaro_utf8 must have exactly two arguments", values);
    check_pair(jarowinkler_utf8_init, jarowinkler_utf8, likeness::jarowinkler_utf8,
               "jarowinkler_utf8 must have exactly two arguments", values);
    check_pair(
        editdistance_utf8_init, editdistance_utf8,
        [](char* x, char* y, unsigned long lx, unsigned long ly) {
            return static_cast<long long>(likeness::levenshtein_utf8(x, y, lx, ly));
        },
        "editdistance_utf8 must have exactly two arguments", values);
    check_pair(
        editdistance_dl_utf8_init, editdistance_dl_utf8,
        [](char* x, char* y, unsigned long lx, unsigned long ly) {
            return static_cast<long long>(likeness::osa_utf8(x, y, lx, ly));
        },
        "editdistance_dl_utf8 must have exactly two arguments", values);
    check_bounded(
        editdistance_bounded_init, editdistance_bounded,
        [](const char* x, const char* y, unsigned long lx, unsigned long ly) {
            return levenshteinDistance(const_cast<char*>(x), const_cast<char*>(y), lx, ly);
        },
        "editdistance_bounded must have exactly three arguments", values);
    check_bounded(
        editdistance_dl_bounded_init, editdistance_dl_bounded,
        [](const char* x, const char* y, unsigned long lx, unsigned long ly) {
            return damerauLevenshteinDistance(const_cast<char*>(x), const_cast<char*>(y), lx, ly);
        },
        "editdistance_dl_bounded must have exactly three arguments", values);
    check_bounded(editdistance_utf8_bounded_init, editdistance_utf8_bounded,
                  likeness::levenshtein_utf8,
                  "editdistance_utf8_bounded must have exactly three arguments", values);
    check_bounded(editdistance_dl_utf8_bounded_init, editdistance_dl_utf8_bounded,
                  likeness::osa_utf8,
                  "editdistance_dl_utf8_bounded must have exactly three arguments", values);
    return 0;
}
