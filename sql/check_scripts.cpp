// Checks, when the library is built, that install.sql registers and
// uninstall.sql drops exactly the functions of sql_functions.h, in its order
// and with their result types: users run the scripts from the tree, so they
// stay files of their own, checked against the one list. And that the
// catalog of index.sql, which its procedures read, agrees with the library:
// each kind's bounds and newest version of keys, its key functions, and a
// join function of each measure.
//   check_scripts INSTALL.sql UNINSTALL.sql INDEX.sql
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
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

// The catalog's facts: each value, named by the path of the objects it is
// within ("kinds.edits.newest_version", "measures.jaro.kind"); strings
// with their quotes. The catalog is JSON of objects, strings without
// escapes, and numbers and words.
class Catalog {
public:
    explicit Catalog(std::string text) : text_(std::move(text)) {}

    std::map<std::string, std::string> facts() {
        std::map<std::string, std::string> found;
        value("", found);
        return found;
    }

private:
    void skip_space() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    bool next_is(char c) {
        skip_space();
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    std::string string_text() {  // at an opening quote: the string with its quotes
        const std::size_t close = text_.find('"', at_ + 1);
        const std::size_t begin = at_;
        at_ = close == std::string::npos ? text_.size() : close + 1;
        return text_.substr(begin, at_ - begin);
    }
    void value(const std::string& path, std::map<std::string, std::string>& found) {
        skip_space();
        if (next_is('{')) {
            while (at_ < text_.size() && !next_is('}')) {
                next_is(',');
                skip_space();
                const std::string name = string_text();
                next_is(':');
                value((path.empty() ? "" : path + ".") + name.substr(1, name.size() - 2), found);
            }
        } else if (at_ < text_.size() && text_[at_] == '"') {
            found[path] = string_text();
        } else {
            const std::size_t end = text_.find_first_of(",}", at_);
            std::string word = text_.substr(at_, end - at_);
            while (!word.empty() && std::isspace(static_cast<unsigned char>(word.back()))) word.pop_back();
            found[path] = word;
            at_ = end == std::string::npos ? text_.size() : end;
        }
    }

    std::string text_;
    std::size_t at_ = 0;
};

// The catalog of index.sql: the JSON that likeness.catalog() returns.
std::map<std::string, std::string> catalog_facts(const char* path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    const std::size_t function = all.find("likeness.catalog()");
    const std::size_t begin = all.find("RETURN '{", function);
    const std::size_t end = all.find("}'//", begin);
    if (function == std::string::npos || begin == std::string::npos || end == std::string::npos) return {};
    return Catalog(all.substr(begin + 8, end + 1 - (begin + 8))).facts();
}

bool ends(const std::string& key, const std::string& tail) {
    return key.size() > tail.size() && key.compare(key.size() - tail.size(), tail.size(), tail) == 0;
}

bool catalog_agrees(const char* path, const std::set<std::string>& functions) {
    const auto facts = catalog_facts(path);
    const auto number = [&](const std::string& key) {
        const auto it = facts.find(key);
        return it == facts.end() ? -1.0 : std::stod(it->second);
    };
    bool ok = true;
    const auto expect = [&](bool holds, const std::string& what) {
        if (!holds) std::cerr << path << ": the catalog does not match the library: " << what << '\n';
        ok = ok && holds;
    };
    expect(number("kinds.edits.least_keyed") == 0, "kinds.edits.least_keyed is 0");
    expect(number("kinds.edits.most_keyed") == likeness::kMaxKeysBound,
           "kinds.edits.most_keyed is kMaxKeysBound, " + std::to_string(likeness::kMaxKeysBound));
    expect(number("kinds.edits.newest_version") == likeness::kNewestKeysVersion,
           "kinds.edits.newest_version is kNewestKeysVersion, " +
               std::to_string(likeness::kNewestKeysVersion));
    expect(number("kinds.similarity.least_keyed") == likeness::kLeastKeysThreshold,
           "kinds.similarity.least_keyed is kLeastKeysThreshold");
    expect(number("kinds.similarity.most_keyed") == 1, "kinds.similarity.most_keyed is 1");
    expect(number("kinds.similarity.newest_version") == likeness::kSimilarityKeysVersion,
           "kinds.similarity.newest_version is kSimilarityKeysVersion, " +
               std::to_string(likeness::kSimilarityKeysVersion));
    std::size_t measures = 0;
    for (const auto& [key, value] : facts) {
        const std::string name = value.size() > 1 && value[0] == '"' ? value.substr(1, value.size() - 2) : value;
        if (key.rfind("kinds.", 0) == 0 && key.find(".functions.") != std::string::npos) {
            expect(functions.count(name) == 1, key + ": " + name + " is a function of the library");
            const std::string form = key.substr(key.rfind('.') + 1);
            expect(facts.count("forms." + form + ".value") == 1, key + ": " + form + " is a form");
        }
        if (key.rfind("measures.", 0) == 0 && ends(key, ".function")) {
            ++measures;
            for (const char* join : {"", "_pairs", "_clusters"}) {
                expect(functions.count(name + join) == 1,
                       key + ": " + name + join + " is a function of the library");
            }
        }
        if (key.rfind("measures.", 0) == 0 && ends(key, ".kind")) {
            expect(facts.count("kinds." + name + ".table") == 1, key + ": " + name + " is a kind");
        }
    }
    for (const char* kind : {"edits", "similarity"}) {
        for (const auto& [key, value] : facts) {
            if (key.rfind("forms.", 0) != 0) continue;
            const std::string form = key.substr(6, key.find('.', 6) - 6);
            expect(facts.count(std::string("kinds.") + kind + ".functions." + form) == 1,
                   std::string("kinds.") + kind + " has a key function for the form " + form);
        }
    }
    expect(measures > 0, "the catalog names its measures");
    return ok;
}

}  // namespace

#define LIKENESS_INSTALL_LINE(name, Value, Arguments, measure, refusal)                \
    "CREATE " + std::string(likeness::sql::Value::kCreate) + " IF NOT EXISTS " #name \
        " RETURNS " + likeness::sql::Value::kSqlType + " SONAME 'likeness.so';",
#define LIKENESS_UNINSTALL_LINE(name, Value, Arguments, measure, refusal) \
    "DROP FUNCTION IF EXISTS " #name ";",
#define LIKENESS_FUNCTION_NAME(name, Value, Arguments, measure, refusal) #name,

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: check_scripts INSTALL.sql UNINSTALL.sql INDEX.sql\n";
        return 2;
    }
    const bool install = matches(argv[1], {LIKENESS_SQL_FUNCTIONS(LIKENESS_INSTALL_LINE)});
    const bool uninstall = matches(argv[2], {LIKENESS_SQL_FUNCTIONS(LIKENESS_UNINSTALL_LINE)});
    const bool catalog = catalog_agrees(argv[3], {LIKENESS_SQL_FUNCTIONS(LIKENESS_FUNCTION_NAME)});
    return install && uninstall && catalog ? 0 : 1;
}
