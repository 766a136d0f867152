// Prints the lines of stdin whose Jaro-Winkler similarity to the first
// argument exceeds the second: the library's own answer to a table scan.
#include <cstdlib>
#include <iostream>
#include <string>

#include "cpp_api.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: select_similar PATTERN THRESHOLD < lines\n";
        return 2;
    }
    std::string pattern = argv[1];
    const double threshold = std::strtod(argv[2], nullptr);
    for (std::string line; std::getline(std::cin, line);) {
        if (jarowinkler_distance(line.data(), pattern.data(), line.size(), pattern.size()) >
            threshold) {
            std::cout << line << '\n';
        }
    }
}
