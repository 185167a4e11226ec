// The promise of the INI writer, as a plain check that the unit tests and the fuzz target
// share: a rewrite replaces or inserts bytes inside one line at most, and every other byte of
// the file, line ends included, stays as it was.
#pragma once

#include <cstddef>
#include <string_view>

namespace ks::test {

// The bytes of `before` that `after` no longer has, between their common start and end.
inline std::string_view RemovedBytes(std::string_view before, std::string_view after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    return before.substr(prefix, before.size() - prefix - suffix);
}

inline bool ChangesOneLineAtMost(std::string_view before, std::string_view after) {
    return RemovedBytes(before, after).find('\n') == std::string_view::npos;
}

}  // namespace ks::test
