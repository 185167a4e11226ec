// Paths between the program and the file system. The program holds paths as Windows-1252
// with "/" separators and looks names up as Windows did, without regard to case: a name is
// used as written when it exists, otherwise the entry of its folder that equals it without
// regard to case (the first in byte order). New files are created with the name as written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ks {

// The file-system path of a Windows-1252 path, each component that does not exist as written
// replaced by its case-insensitive match when there is one.
std::filesystem::path NativePath(std::string_view path);

// A name or path from the file system back to Windows-1252; nullopt when it holds a character
// that Windows-1252 cannot hold (listings skip such entries).
std::optional<std::string> FromNativePath(const std::filesystem::path& path);

// Windows-1252 names compared without regard to case (ASCII and accented Latin letters).
bool EqualsNoCase(std::string_view a, std::string_view b);

// Windows-1252 upper case of one byte (letters only).
char UpperCp1252(char c);

// "*" and "?" wildcards matched without regard to case ("*.Log" matches "x.log").
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace ks
