// Two builds of the library in one process: the SQL row functions of each,
// called on the same values in alternating rounds, so that a busy moment of
// the machine falls on both alike. Prints, per case, the median time of a
// call in each build and their ratio.
//   ab OLD.so NEW.so
#include <dlfcn.h>
#include <mysql.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Row = long long (*)(UDF_INIT*, UDF_ARGS*, char*, char*);
using RealRow = double (*)(UDF_INIT*, UDF_ARGS*, char*, char*);

struct Case {
    std::string name;
    std::string function;
    bool real;
    std::vector<std::pair<std::string, std::string>> pairs;
    long long k;  // a third argument when not negative
};

std::string random_text(std::mt19937_64& random, std::size_t len, const std::string& alphabet) {
    std::string s(len, ' ');
    for (char& c : s) c = alphabet[random() % alphabet.size()];
    return s;
}

// Seconds for one pass over the case's pairs in a library.
double time_case(void* library, const Case& c) {
    void* row = dlsym(library, c.function.c_str());
    if (row == nullptr) {
        std::fprintf(stderr, "%s lacks %s\n", dlerror(), c.function.c_str());
        std::exit(2);
    }
    UDF_INIT initid{};
    const auto start = std::chrono::steady_clock::now();
    double sink = 0;
    for (const auto& [a, b] : c.pairs) {
        char* values[3] = {const_cast<char*>(a.data()), const_cast<char*>(b.data()),
                           reinterpret_cast<char*>(const_cast<long long*>(&c.k))};
        unsigned long lengths[3] = {a.size(), b.size(), sizeof c.k};
        Item_result types[3] = {STRING_RESULT, STRING_RESULT, INT_RESULT};
        UDF_ARGS args{c.k < 0 ? 2u : 3u, types, values, lengths, nullptr};
        char is_null = 0, error = 0;
        sink +=
            c.real
                ? reinterpret_cast<RealRow>(row)(&initid, &args, &is_null, &error)
                : static_cast<double>(reinterpret_cast<Row>(row)(&initid, &args, &is_null, &error));
    }
    const auto end = std::chrono::steady_clock::now();
    if (sink == -1) std::puts("");
    return std::chrono::duration<double>(end - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ab OLD.so NEW.so\n");
        return 2;
    }
    void* libraries[2];
    for (int i = 0; i < 2; ++i) {
        libraries[i] = dlopen(argv[i + 1], RTLD_NOW | RTLD_LOCAL);
        if (libraries[i] == nullptr) {
            std::fprintf(stderr, "%s\n", dlerror());
            return 2;
        }
    }
    std::mt19937_64 random(7);
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::vector<Case> cases;
    // Short values: names of 6 to 12 letters and texts up to 64 bytes.
    struct Function {
        const char* name;
        bool real;
        long long k;
    };
    const Function functions[] = {{"jaro", true, -1},
                                  {"jarowinkler", true, -1},
                                  {"editdistance", false, -1},
                                  {"editdistance_dl", false, -1},
                                  {"editdistance_bounded", false, 2},
                                  {"jarowinkler_utf8", true, -1},
                                  {"editdistance_utf8", false, -1}};
    for (const Function& f : functions) {
        for (const std::size_t top : {12, 64}) {
            Case c{std::string(f.name) + " up to " + std::to_string(top) + " bytes",
                   f.name,
                   f.real,
                   {},
                   f.k};
            for (int i = 0; i < 20000; ++i) {
                c.pairs.emplace_back(
                    random_text(random, top / 2 + random() % (top / 2 + 1), letters),
                    random_text(random, top / 2 + random() % (top / 2 + 1), letters));
            }
            cases.push_back(std::move(c));
        }
    }
    // Long values: 128 MiB, unrelated or one edit apart in the middle.
    const std::size_t long_len = std::size_t{128} << 20;
    const std::string hex = "0123456789abcdef";
    const std::string a = random_text(random, long_len, hex),
                      b = random_text(random, long_len, hex);
    std::string a_edited = a;
    a_edited[long_len / 2] = a[long_len / 2] == 'x' ? 'y' : 'x';
    for (const long long k : {0, 2, 64}) {
        cases.push_back({"editdistance_bounded 128 MiB unrelated k=" + std::to_string(k),
                         "editdistance_bounded",
                         false,
                         {{a, b}},
                         k});
        cases.push_back({"editdistance_bounded 128 MiB one edit k=" + std::to_string(k),
                         "editdistance_bounded",
                         false,
                         {{a, a_edited}},
                         k});
    }
    constexpr int kRounds = 7;
    std::printf("| case | old s | new s | new / old |\n|---|---:|---:|---:|\n");
    for (const Case& c : cases) {
        std::vector<double> times[2];
        for (int round = 0; round < kRounds; ++round) {
            for (int i = 0; i < 2; ++i) {
                const int which = (round % 2 == 0) ? i : 1 - i;
                times[which].push_back(time_case(libraries[which], c));
            }
        }
        const double old_s = median(times[0]), new_s = median(times[1]);
        std::printf("| %s | %.4f | %.4f | %.2f |\n", c.name.c_str(), old_s, new_s, new_s / old_s);
    }
}
