// Drives all eight entry functions through the server's own records: the
// input chooses the argument count (0 to 4), which arguments are NULL, and
// the bytes and lengths of the others. Checks what a server relies on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "algorithms.h"
#include "udf_entry.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

using Init = my_bool (*)(UDF_INIT*, UDF_ARGS*, char*);

struct Arguments {
    std::vector<std::string> storage;
    std::vector<char*> values;
    std::vector<unsigned long> lengths;
    std::vector<Item_result> types;
    UDF_ARGS args{};
};

// Input: count byte, NULL-mask byte, then per argument a length byte and
// that many bytes (what is left goes to the last argument).
void parse(const std::uint8_t* data, std::size_t size, Arguments& out) {
    const unsigned count = data[0] % 5;
    const unsigned nulls = data[1];
    std::size_t at = 2;
    out.storage.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        std::size_t len = at < size ? data[at++] : 0;
        if (i + 1 == count || at + len > size) len = size - at;
        out.storage[i].assign(reinterpret_cast<const char*>(data) + at, len);
        at += len;
    }
    for (unsigned i = 0; i < count; ++i) {
        out.values.push_back(nulls >> i & 1 ? nullptr : out.storage[i].data());
        out.lengths.push_back(out.storage[i].size());
        out.types.push_back(INT_RESULT);
    }
    out.args = UDF_ARGS{count, out.types.data(), out.values.data(), out.lengths.data(), nullptr};
}

template <typename Row, typename Measure>
void check_pair(Init init, Row row, Measure measure, const char* message_text, Arguments& a) {
    UDF_INIT initid{};
    char message[512];
    std::memset(message, 'x', sizeof message);
    const my_bool rejected = init(&initid, &a.args, message);
    const bool two = a.args.arg_count == 2;
    check(rejected == (two ? 0 : 1));
    if (!two) check(std::strcmp(message, message_text) == 0);
    for (Item_result t : a.types) check(t == (two ? STRING_RESULT : INT_RESULT));

    // Servers call the row function only after an accepting init; it must be
    // safe even so.
    char is_null = 0, error = 0;
    const auto value = row(&initid, &a.args, &is_null, &error);
    check(error == 0);
    const bool null_row = !two || a.values[0] == nullptr || a.values[1] == nullptr;
    check(is_null == (null_row ? 1 : 0));
    if (!null_row) {
        check(value == measure(a.values[0], a.values[1], a.lengths[0], a.lengths[1]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    Arguments a;
    parse(data, size, a);
    const char* similarity = "jarowinkler must have exactly two arguments";
    const char* distance = "editdistance must have exactly two arguments";
    check_pair(jaro_init, jaro, jaro_distance, similarity, a);
    check_pair(jarowinkler_init, jarowinkler, jarowinkler_distance, similarity, a);
    check_pair(
        editdistance_init, editdistance,
        [](char* x, char* y, unsigned long lx, unsigned long ly) {
            return static_cast<long long>(levenshteinDistance(x, y, lx, ly));
        },
        distance, a);
    check_pair(
        editdistance_dl_init, editdistance_dl,
        [](char* x, char* y, unsigned long lx, unsigned long ly) {
            return static_cast<long long>(damerauLevenshteinDistance(x, y, lx, ly));
        },
        distance, a);
    return 0;
}
