// The one-line text form of a record used by the table tool's dump and load: bytes 0x20 to
// 0x7E stand for themselves except "\", written "\\"; every other byte is written \xHH.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ks::engine::tool {

std::string EscapeRecord(std::string_view record);

// The record of one line; nullopt for a "\" not followed by "\" or by "x" and two hex digits.
std::optional<std::string> UnescapeRecord(std::string_view line);

}  // namespace ks::engine::tool
