// Drives every entry function through the server's own records: the
// input chooses the argument count (0 to 4), which arguments are NULL, and
// the bytes and lengths of the others. Checks what a server relies on.
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

template <typename Row, typename Measure>
void check_pair(Init init, Row row, Measure measure, const char* message_text,
                const std::vector<std::optional<std::string_view>>& values) {
    SqlCall call(values);
    UDF_INIT initid{};
    char message[512];
    std::memset(message, 'x', sizeof message);
    const init_result rejected = init(&initid, &call.args, message);
    const bool two = values.size() == 2;
    check(rejected == (two ? 0 : 1));
    if (!two) check(std::strcmp(message, message_text) == 0);
    for (Item_result t : call.types) check(t == (two ? STRING_RESULT : INT_RESULT));

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
    return 0;
}
