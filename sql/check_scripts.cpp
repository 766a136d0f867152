// Checks, when the library is built, that install.sql registers and
// uninstall.sql drops exactly the functions of sql_functions.h, in its order
// and with their result types: users run the scripts from the tree, so they
// stay files of their own, checked against the one list.
//   check_scripts INSTALL.sql UNINSTALL.sql
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "udf.h"

namespace {

// The file's statements: its lines less comments and blank lines.
std::vector<std::string> statements(const char* path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.rfind("--", 0) != 0) lines.push_back(line);
    }
    return lines;
}

bool matches(const char* path, const std::vector<std::string>& expected) {
    const std::vector<std::string> found = statements(path);
    if (found == expected) return true;
    std::cerr << path << " does not match src/sql_functions.h; it should read:\n";
    for (const std::string& line : expected) std::cerr << line << '\n';
    return false;
}

}  // namespace

#define LIKENESS_INSTALL_LINE(name, Value, Arguments, measure, refusal)                \
    "CREATE " + std::string(likeness::sql::Value::kCreate) + " IF NOT EXISTS " #name \
        " RETURNS " + likeness::sql::Value::kSqlType + " SONAME 'likeness.so';",
#define LIKENESS_UNINSTALL_LINE(name, Value, Arguments, measure, refusal) \
    "DROP FUNCTION IF EXISTS " #name ";",

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: check_scripts INSTALL.sql UNINSTALL.sql\n";
        return 2;
    }
    const bool install = matches(argv[1], {LIKENESS_SQL_FUNCTIONS(LIKENESS_INSTALL_LINE)});
    const bool uninstall = matches(argv[2], {LIKENESS_SQL_FUNCTIONS(LIKENESS_UNINSTALL_LINE)});
    return install && uninstall ? 0 : 1;
}
