// The arguments of SQL calls, built as a server builds them.
#pragma once

#include <mysql.h>

#include <optional>
#include <string_view>
#include <vector>

// The arguments of one SQL call as the server hands them over, pointing at
// the caller's bytes; an empty optional stands for SQL NULL. The types start
// as REAL_RESULT, so a test can see init ask for strings and integers.
class SqlCall {
  public:
    explicit SqlCall(const std::vector<std::optional<std::string_view>>& values) {
        for (const auto& v : values) {
            pointers_.push_back(v ? const_cast<char*>(v->data()) : nullptr);
            lengths_.push_back(v ? v->size() : 0);
            types.push_back(REAL_RESULT);
        }
        args = UDF_ARGS{static_cast<unsigned int>(values.size()), types.data(), pointers_.data(),
                        lengths_.data(), nullptr};
    }
    SqlCall(const SqlCall&) = delete;
    SqlCall& operator=(const SqlCall&) = delete;

    std::vector<Item_result> types;
    UDF_ARGS args;

  private:
    std::vector<char*> pointers_;
    std::vector<unsigned long> lengths_;
};

// An integer argument as the server hands it over: the bytes of a long long.
inline std::string_view integer_argument(const long long& value) {
    return {reinterpret_cast<const char*>(&value), sizeof value};
}
