// ks-table: the table tool for operators and tests. The commands live in the engine library
// (tools/ks-table/table_tool.h) so that the tests run them without a process.
#include <iostream>
#include <string>
#include <vector>

#include "ks-table/catalogue_create_command.h"
#include "ks-table/table_tool.h"
#include "ks/engine/engine.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto engine = ks::engine::MakeRecordEngine();
    // "create FILE --catalogue N" builds the file from the loader's catalogue.
    if (const auto code = ks::RunCatalogueCreate(args, *engine, std::cout, std::cerr)) {
        return *code;
    }
    const int code = ks::engine::tool::RunTableTool(args, *engine, std::cin, std::cout, std::cerr);
    if (code == ks::engine::tool::kExitUsage) {
        std::cerr << "       ks-table create FILE --catalogue N [--keep]\n";
    } else if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << "ks-table create FILE --catalogue N [--keep] builds FILE in the shape of the\n"
                     "loader's table file number N (0 to 60).\n";
    }
    return code;
}
