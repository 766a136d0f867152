// Drives every entry function through the server's own records: the
// input chooses the argument count (0 to 4), which arguments are NULL, and
// the bytes and lengths of the others. Checks what a server relies on.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
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

// Init accepts its own argument counts only, and no constant threshold a
// key list does not take (a constant k or version arrives as a REAL here,
// which init leaves to the server's conversion), asking for strings (and a number where one goes),
// and otherwise leaves the types and gives its message, which names the function; the row function,
// safe even after a refusing init, answers NULL for a NULL, a negative bound, a bound, threshold or
// version a key list does not take, or another count, and else what its measure answers.
void check_function(const EntryPoints& f, std::vector<std::optional<std::string_view>> values) {
    EntryPoints::Number number = {0, 0.0, 0};
    const bool counted = values.size() >= f.least_count && values.size() <= f.count;
    const auto at = static_cast<std::size_t>(f.number_at);
    const auto version_at = static_cast<std::size_t>(f.version_at);
    const bool has_number = f.number_at >= 0 && counted && values[at];
    const bool has_version =
        f.version_at >= 0 && counted && values.size() > version_at && values[version_at];
    if (has_number) {
        const std::size_t n = std::min(values[at]->size(), sizeof number.integer);
        std::memcpy(&number.integer, values[at]->data(), n);
        std::memcpy(&number.real, values[at]->data(), n);
    }
    if (has_version) {
        const std::size_t n = std::min(values[version_at]->size(), sizeof number.version);
        std::memcpy(&number.version, values[version_at]->data(), n);
    }
    const auto normalized = f.values("", "", number);
    if (has_number) values[at] = normalized[at];
    if (has_version) values[version_at] = normalized[version_at];
    SqlCall call(values);
    UDF_INIT initid{};
    char message[512];
    std::memset(message, 'x', sizeof message);
    const init_result rejected = f.init(&initid, &call.args, message);
    const bool refused_threshold = has_number && f.number_type == REAL_RESULT &&
                                   !std::isnan(number.real) &&
                                   !likeness::threshold_supported(number.real);
    const bool accepted = counted && !refused_threshold;
    check(rejected == (accepted ? 0 : 1));
    if (!counted) check(f.refusal == message);
    if (refused_threshold)
        check(std::string_view(message).substr(0, f.name.size() + 2) == f.name + ": ");
    for (unsigned i = 0; i < call.args.arg_count; ++i) {
        const Item_result asked = static_cast<int>(i) == f.version_at  ? INT_RESULT
                                  : static_cast<int>(i) == f.number_at ? f.number_type
                                                                       : STRING_RESULT;
        check(call.types[i] == (accepted ? asked : REAL_RESULT));
    }

    char error = 0;
    const auto value = f.row(&initid, &call.args, &error);
    check(error == 0);
    const bool key_list = std::string(f.sql_type) == "STRING";
    bool null_row = !accepted;
    if (has_number && f.number_type == INT_RESULT) {
        null_row = null_row || number.integer < 0 ||
                   (key_list && number.integer > static_cast<long long>(likeness::kMaxKeysBound));
    }
    if (has_number && f.number_type == REAL_RESULT) {
        null_row =
            null_row || !(number.real >= likeness::kLeastKeysThreshold && number.real <= 1.0);
    }
    if (has_version) null_row = null_row || !likeness::keys_version_supported(number.version);
    for (const auto& v : values) null_row = null_row || !v;
    check(value.has_value() == !null_row);
    if (value) check(*value == f.measure(&call.args));
    if (f.deinit != nullptr) f.deinit(&initid);
}

// A join's call of two rows: init refuses another count and a constant
// bound that does not suit the measure, by name; the value is NULL for a
// NULL or unsuitable bound or a cursor that no piece gave, and for the first
// piece what the plain way answers.
void check_join(const EntryPoints& f, std::vector<std::optional<std::string_view>> values) {
    const bool counted = values.size() >= f.least_count && values.size() <= f.count;
    double bound = __builtin_nan("");
    long long side = 0;
    if (counted && values[2]) {
        std::memcpy(&bound, values[2]->data(), std::min(values[2]->size(), sizeof bound));
        values[2] = std::string_view(reinterpret_cast<const char*>(&bound), sizeof bound);
    }
    if (counted && values.size() > 4 && values[4]) {
        std::memcpy(&side, values[4]->data(), std::min(values[4]->size(), sizeof side));
        values[4] = std::string_view(reinterpret_cast<const char*>(&side), sizeof side);
    }
    SqlCall call(values);
    UDF_INIT initid{};
    char message[512];
    std::memset(message, 'x', sizeof message);
    const bool suits = !std::isnan(bound) && f.bound_suits(bound);
    const bool accepted = counted && (std::isnan(bound) || suits);
    check(f.init(&initid, &call.args, message) == (accepted ? 0 : 1));
    if (!counted) check(f.refusal == message);
    if (counted && !accepted) {
        check(std::string_view(message).substr(0, f.name.size() + 2) == f.name + ": ");
    }
    if (!accepted) return;
    char error = 0;
    const auto value = f.row(&initid, &call.args, &error);
    check(error == 0);
    const bool first_piece = values.size() < 4 || !values[3] || values[3]->empty();
    if (!suits) check(!value);
    if (suits && first_piece) check(value && *value == f.measure(&call.args));
    f.deinit(&initid);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto values = parse(data, size);
    for (const EntryPoints& f : entry_points()) {
        if (f.join) {
            check_join(f, values);
        } else {
            check_function(f, values);
        }
    }
    return 0;
}
