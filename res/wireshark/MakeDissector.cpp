// Build step: the Wireshark dissector with its command and result tables
// made from the command catalogue, so that the dissector never knows other
// names than the console.
//   pravik-make-dissector TEMPLATE OUTPUT
// The template's line "@PRAVIK_CATALOGUE@" is replaced by the tables.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/core/FileAccess.h"
#include "protocol/TraceFiles.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: pravik-make-dissector TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string lua = text.str();
    const std::string mark = "@PRAVIK_CATALOGUE@";
    const std::size_t at = lua.find(mark);
    if (!in || at == std::string::npos) {
        std::cerr << argv[1] << ": no " << mark << " line\n";
        return 1;
    }
    lua.replace(at, mark.size(), WiresharkCatalogueLua());
    const SFileResult written = ReplaceFile(argv[2], lua);
    if (!written.Ok()) {
        std::cerr << argv[2] << ": cannot be written: " << written.Why() << "\n";
        return 1;
    }
    return 0;
}
