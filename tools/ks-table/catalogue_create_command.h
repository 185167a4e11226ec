// The table tool's "create FILE --catalogue N [--keep]": creates an empty table file with the
// catalogue's structure for file number N, exactly as the loader creates a missing file
// (record length, page size, keys, data compression).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ks {

namespace engine {
class BtrCall;
}

// Runs the command when `args` (the arguments after the program name) are a create with
// --catalogue; nullopt otherwise, for the tool's other commands. Returns the exit code.
std::optional<int> RunCatalogueCreate(const std::vector<std::string>& args, engine::BtrCall& engine,
                                      std::ostream& out, std::ostream& err);

}  // namespace ks
