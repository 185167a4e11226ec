// Plain text helpers every layer of core uses, the error handler included: blank tests,
// trimming and replacement. Pure functions that never fail.
#pragma once

#include <string>
#include <string_view>

namespace ks {

// True when the text is empty or holds only blanks.
inline bool IsBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// Text without leading and trailing blanks.
std::string Trim(std::string_view text);

// `text` with every `from` replaced by `to`, left to right, the replaced text not scanned
// again: "a....b" without "..." is "a.b". An empty `from` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace ks
