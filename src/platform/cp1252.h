// Windows-1252 text: every string inside the core holds single-byte Windows-1252, as the
// station's files and the suite's INI files do. These helpers convert at the two edges
// (file system, screen) and turn the UTF-8 literals of our sources into Windows-1252.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ks {

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control of the same value, so that no byte is ever lost.
std::string Cp1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252; nullopt when a character has no Windows-1252 form or the UTF-8 is
// malformed. Callers that must refuse such text (listings, the options window) use this one.
std::optional<std::string> TryUtf8ToCp1252(std::string_view text);

// UTF-8 to Windows-1252, each character that has no Windows-1252 form written as "?".
std::string Utf8ToCp1252(std::string_view text);

// A French literal of our UTF-8 sources, converted where it is defined: "Répertoire"_cp.
inline std::string operator""_cp(const char* text, std::size_t length) {
    return Utf8ToCp1252(std::string_view(text, length));
}

}  // namespace ks
