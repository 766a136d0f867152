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

#include "entry_points.h"
#include "sql_call.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

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
// integer third), and otherwise leaves the types and copies its message; the
// row function, safe even after a refusing init, answers NULL for a NULL, a
// negative bound or another count, and else what its measure answers.
void check_function(const EntryPoints& f, std::vector<std::optional<std::string_view>> values) {
    long long bound = 0;
    const auto at = static_cast<std::size_t>(f.integer_at);
    if (f.integer_at >= 0 && values.size() == f.count && values[at]) {
        std::memcpy(&bound, values[at]->data(), std::min(values[at]->size(), sizeof bound));
        values[at] = integer_argument(bound);
    }
    SqlCall call(values);
    UDF_INIT initid{};
    char message[512];
    std::memset(message, 'x', sizeof message);
    const init_result rejected = f.init(&initid, &call.args, message);
    const bool accepted = call.args.arg_count == f.count;
    check(rejected == (accepted ? 0 : 1));
    if (!accepted) check(f.refusal == message);
    for (unsigned i = 0; i < call.args.arg_count; ++i) {
        const Item_result asked = static_cast<int>(i) == f.integer_at ? INT_RESULT : STRING_RESULT;
        check(call.types[i] == (accepted ? asked : REAL_RESULT));
    }

    char error = 0;
    const auto value = f.row(&initid, &call.args, &error);
    check(error == 0);
    bool null_row = !accepted || bound < 0 ||
                    (std::string(f.sql_type) == "STRING" && bound > likeness::kMaxKeysBound);
    for (const auto& v : values) null_row = null_row || !v;
    check(value.has_value() == !null_row);
    if (value) check(*value == f.measure(&call.args));
    if (f.deinit != nullptr) f.deinit(&initid);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto values = parse(data, size);
    for (const EntryPoints& f : entry_points()) check_function(f, values);
    return 0;
}
