// Checks the promise of the INI writer: a rewrite replaces or inserts bytes inside one line at
// most, and every other byte of the file, line ends included, stays as it was.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace ks::test {

inline ::testing::AssertionResult OnlyOneLineChanged(const std::string& before,
                                                     const std::string& after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::string removed = before.substr(prefix, before.size() - prefix - suffix);
    if (removed.find('\n') != std::string::npos) {
        return ::testing::AssertionFailure() << "bytes removed across lines: [" << removed << "]";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace ks::test
