#include "core/log/log_purge.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace ks {
namespace {

TEST(ExpiredLogFilesTest, NamesBeforeTheLimitInPlainCharacterOrder) {
    test::TempDir dir;
    for (const char* name : {"20261022.Log", "20261023.Log", "20261207.Log", "Notes.Log",
                             "2025abc.Log", "20200101.log", ".hidden.Log", "20200101.txt"}) {
        dir.Write(name, "x");
    }
    std::filesystem::create_directory(dir.Path() / "20200102.Log");  // a folder is no log

    const std::string folder = dir.Folder();
    EXPECT_EQ(ExpiredLogFiles(folder, "20261023"),
              (std::vector<std::string>{folder + ".hidden.Log", folder + "20200101.log",
                                        folder + "2025abc.Log", folder + "20261022.Log"}));
}

TEST(ExpiredLogFilesTest, AFolderThatCannotBeListedHasNoEntries) {
    test::TempDir dir;
    EXPECT_TRUE(ExpiredLogFiles(dir.Folder() + "missing/", "20261023").empty());
    dir.Write("plain", "x");
    EXPECT_TRUE(ExpiredLogFiles(dir.Folder() + "plain/", "20261023").empty());
}

}  // namespace
}  // namespace ks
