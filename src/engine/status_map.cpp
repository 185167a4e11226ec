#include "engine/status_map.h"

#include <sqlite3.h>

#include <cerrno>

#include "ks/engine/btr_codes.h"

namespace ks::engine {

std::int16_t StatusOfSqlite(int code) {
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return status::kRecordLocked;
        case SQLITE_FULL:
            return status::kDiskFull;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return status::kNotATableFile;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return status::kAccessDenied;
        case SQLITE_CONSTRAINT:
            return status::kDuplicateKey;
        default:
            return status::kIoError;
    }
}

std::int16_t StatusOfSystemError(const std::error_code& error) {
    switch (error.value()) {
        case ENOSPC:
        case EDQUOT:
            return status::kDiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return status::kAccessDenied;
        case ENOENT:
        case ENOTDIR:
            return status::kFileNotFound;
        case ENAMETOOLONG:
        case EISDIR:
            return status::kInvalidFileName;
        default:
            return status::kIoError;
    }
}

}  // namespace ks::engine
