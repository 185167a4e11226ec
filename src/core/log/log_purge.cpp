#include "core/log/log_purge.h"

#include "core/sys/file_ops.h"
#include "core/sys/text_helpers.h"

namespace ks {

std::vector<std::string> ExpiredLogFiles(std::string_view folder, std::string_view limit,
                                         ErrorHandler* errors) {
    // Like the listing of the original, a missing or unreadable folder simply has no entries;
    // the failed write of the same flush has already been reported.
    std::vector<std::string> expired;
    for (const std::string& name : FileOps::ListFiles(folder, "*.Log")) {
        std::string path(folder);
        path += name;
        if (EclateRepFicExt(path, errors).EclateNom < limit) {
            expired.push_back(std::move(path));
        }
    }
    return expired;
}

}  // namespace ks
