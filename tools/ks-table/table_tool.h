// The table tool's commands (create, stat, dump, load, check), run on an engine through the
// classic call, with their output and errors on the streams given, so that tests run them
// as the command line does.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "ks/engine/btr_call.h"

namespace ks::engine::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the engine refused, or check found damage
inline constexpr int kExitUsage = 2;   // the command line is wrong

// `args` are the command-line arguments after the program name (UTF-8 file names). "--help"
// (or "-h") alone writes the usage to `out` and answers kExitOk.
int RunTableTool(const std::vector<std::string>& args, BtrCall& engine, std::istream& in,
                 std::ostream& out, std::ostream& err);

// A status as the tool names it: "12 (file not found)".
std::string StatusText(std::int16_t result);

}  // namespace ks::engine::tool
