// The INI writer's promise (see changed_lines.h) as a GoogleTest assertion that shows the
// bytes removed across lines when it fails.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/changed_lines.h"

namespace ks::test {

inline ::testing::AssertionResult OnlyOneLineChanged(const std::string& before,
                                                     const std::string& after) {
    if (!ChangesOneLineAtMost(before, after)) {
        return ::testing::AssertionFailure()
               << "bytes removed across lines: [" << RemovedBytes(before, after) << "]";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace ks::test
