#include "core/log/log_purge.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/sys/text_helpers.h"
#include "platform/native_path.h"

namespace ks {

std::vector<std::string> ExpiredLogFiles(std::string_view folder, std::string_view limit,
                                         ErrorHandler* errors) {
    std::vector<std::string> expired;
    const std::string folderText(folder);
    std::error_code error;
    std::filesystem::directory_iterator entries(NativePath(folderText), error);
    // Like the listing of the original, a missing or unreadable folder simply has no entries;
    // the failed write of the same flush has already been reported.
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        std::error_code kindError;
        if (entries->is_directory(kindError)) {
            continue;
        }
        const auto name = FromNativePath(entries->path().filename());
        if (!name || !MatchesWildcard(*name, "*.Log")) {
            continue;
        }
        const std::string path = folderText + *name;
        if (EclateRepFicExt(path, errors).EclateNom < limit) {
            expired.push_back(path);
        }
    }
    std::sort(expired.begin(), expired.end());
    return expired;
}

}  // namespace ks
