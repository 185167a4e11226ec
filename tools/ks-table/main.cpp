// ks-table: the table tool for operators and tests. The commands live in the engine library
// (engine/tool/table_tool.h) so that the tests run them without a process.
#include <iostream>
#include <string>
#include <vector>

#include "engine/record_engine.h"
#include "engine/tool/table_tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ks::engine::RecordEngine engine;
    return ks::engine::tool::RunTableTool(args, engine, std::cin, std::cout, std::cerr);
}
