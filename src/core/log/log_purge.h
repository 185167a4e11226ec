// The choice of the old daily log files to delete.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ks {

class ErrorHandler;

// The paths (`folder` + name) of the files of `folder` matching "*.Log" without regard to
// case, hidden ones included (FileOps::ListFiles), whose name without extension comes before
// `limit` in plain character order, in byte order of their names. Names that are not dates are
// compared the same way: "2025notes" goes, "Notes" stays. A folder that cannot be listed gives
// none.
std::vector<std::string> ExpiredLogFiles(std::string_view folder, std::string_view limit,
                                         ErrorHandler* errors = nullptr);

}  // namespace ks
