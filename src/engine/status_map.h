// How failures of the file layer become engine statuses.
#pragma once

#include <cstdint>
#include <system_error>

namespace ks::engine {

// A SQLite primary result code met during a record operation.
std::int16_t StatusOfSqlite(int code);

// An operating-system error met while creating or replacing a file.
std::int16_t StatusOfSystemError(const std::error_code& error);

}  // namespace ks::engine
