// Writes the shared-area document (docs/shared-area.md) to standard output,
// or to the file named by the only argument. Fails, writing nothing, when a
// record's description does not cover its declaration.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "shared-area-records.h"

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::cerr << "usage: shared-area-doc [output-file]\n";
        return 2;
    }
    const auto records = SharedAreaDoc::Records();
    const auto problems = SharedAreaDoc::Problems(records);
    for (const std::string& p : problems)
        std::cerr << "shared-area-doc: " << p << "\n";
    if (!problems.empty())
        return 1;
    const std::string text = SharedAreaDoc::Document(records);
    if (argc == 1) {
        std::cout << text;
        return std::cout.flush() ? 0 : 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "shared-area-doc: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
