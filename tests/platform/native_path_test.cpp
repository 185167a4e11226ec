#include "platform/native_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/cp1252.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// The folder as the program holds it: Windows-1252 with a final "/".
std::string Folder(const test::TempDir& dir) {
    return *FromNativePath(dir.Path()) + "/";
}

TEST(NativePathTest, NameWithAnotherCaseFindsTheExistingFile) {
    test::TempDir dir;
    dir.Write("FDAT000.bt6", "x");
    EXPECT_EQ(NativePath(Folder(dir) + "Fdat000.bt6"), dir.Path() / "FDAT000.bt6");
}

TEST(NativePathTest, ExactNameIsUsedWhenItExists) {
    test::TempDir dir;
    dir.Write("ABC.txt", "upper");
    dir.Write("abc.txt", "lower");
    EXPECT_EQ(NativePath(Folder(dir) + "abc.txt"), dir.Path() / "abc.txt");
    EXPECT_EQ(NativePath(Folder(dir) + "ABC.txt"), dir.Path() / "ABC.txt");
}

TEST(NativePathTest, SeveralCaseVariantsGiveTheFirstInByteOrder) {
    test::TempDir dir;
    dir.Write("fdat.BT6", "c");
    dir.Write("Fdat.bt6", "b");
    dir.Write("FDAT.bt6", "a");
    EXPECT_EQ(NativePath(Folder(dir) + "fDaT.Bt6"), dir.Path() / "FDAT.bt6");
}

TEST(NativePathTest, MissingNameIsKeptAsWritten) {
    test::TempDir dir;
    dir.Write("Other.txt", "x");
    EXPECT_EQ(NativePath(Folder(dir) + "New File.TXT"), dir.Path() / "New File.TXT");
    // Below a missing folder nothing is looked up either.
    fs::create_directory(dir.Path() / "sub");
    EXPECT_EQ(NativePath(Folder(dir) + "Missing/SUB"), dir.Path() / "Missing" / "SUB");
}

TEST(NativePathTest, FolderComponentsAreMatchedToo) {
    test::TempDir dir;
    fs::create_directories(dir.Path() / "Data" / "KS3");
    dir.Write("Data/KS3/FDATA22.bt6", "x");
    EXPECT_EQ(NativePath(Folder(dir) + "DATA/ks3/fdata22.BT6"),
              dir.Path() / "Data" / "KS3" / "FDATA22.bt6");
    // A trailing "/" stays: folder names end with one.
    EXPECT_EQ(NativePath(Folder(dir) + "data/ks3/"), dir.Path() / "Data" / "KS3" / "");
}

TEST(NativePathTest, AccentedNamesAreConvertedAndMatchedWithoutCase) {
    test::TempDir dir;
    fs::create_directory(dir.Path() / "Répertoire");
    EXPECT_EQ(NativePath(Folder(dir) + "Répertoire"_cp), dir.Path() / "Répertoire");
    EXPECT_EQ(NativePath(Folder(dir) + "RÉPERTOIRE"_cp), dir.Path() / "Répertoire");
    // A new name is created in UTF-8 on disk.
    EXPECT_EQ(NativePath(Folder(dir) + "Été"_cp), dir.Path() / "Été");
}

TEST(NativePathTest, NamesWindows1252CannotHoldAreNeverMatched) {
    test::TempDir dir;
    dir.Write("中.txt", "x");
    EXPECT_EQ(NativePath(Folder(dir) + "?.TXT"), dir.Path() / "?.TXT");
    EXPECT_FALSE(FromNativePath(dir.Path() / "中.txt").has_value());
}

TEST(NativePathTest, ListingNamesComeBackInWindows1252) {
    EXPECT_EQ(FromNativePath(fs::path("/tmp/Été.Log")), "/tmp/Été.Log"_cp);
    EXPECT_FALSE(FromNativePath(fs::path("/tmp/a\xc0\xaf")).has_value());
}

TEST(NativePathTest, RelativeAndEmptyPathsAreKept) {
    EXPECT_EQ(NativePath(""), fs::path());
    EXPECT_EQ(NativePath("no-such-relative-name"), fs::path("no-such-relative-name"));
}

TEST(EqualsNoCaseTest, ComparesLettersOfWindows1252) {
    EXPECT_TRUE(EqualsNoCase("Fdat000.bt6", "FDAT000.BT6"));
    EXPECT_TRUE(EqualsNoCase("été"_cp, "ÉTÉ"_cp));
    EXPECT_TRUE(EqualsNoCase("œšžÿ"_cp, "ŒŠŽŸ"_cp));
    EXPECT_FALSE(EqualsNoCase("÷"_cp, "×"_cp));  // signs, not letters
    EXPECT_FALSE(EqualsNoCase("ß"_cp, "SS"));
    EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
    EXPECT_FALSE(EqualsNoCase("[", "{"));
}

TEST(MatchesWildcardTest, StarAndQuestionMarkWithoutRegardToCase) {
    EXPECT_TRUE(MatchesWildcard("20261207.log", "*.Log"));
    EXPECT_TRUE(MatchesWildcard("FDATA22.bt6", "fdat?22.BT6"));
    EXPECT_TRUE(MatchesWildcard("été.txt"_cp, "ÉT*"_cp));
    EXPECT_FALSE(MatchesWildcard("20261207.log.bak", "*.Log"));
    EXPECT_FALSE(MatchesWildcard("FDAT22.bt6", "fdat?22.bt6"));
    EXPECT_TRUE(MatchesWildcard("", "*"));
    EXPECT_TRUE(MatchesWildcard("", ""));
    EXPECT_FALSE(MatchesWildcard("a", ""));
}

TEST(MatchesWildcardTest, AStarOfThePatternStaysAWildcardWhereTheNameHoldsAStar) {
    // Linux names may hold "*"; the pattern's "*" must not be taken for that character.
    EXPECT_TRUE(MatchesWildcard("*old.Log", "*.Log"));
    EXPECT_TRUE(MatchesWildcard("*a", "*"));
    EXPECT_TRUE(MatchesWildcard("a*bc", "a*c"));
    EXPECT_TRUE(MatchesWildcard("?x", "?*"));
    EXPECT_FALSE(MatchesWildcard("*old.txt", "*.Log"));
}

TEST(MatchesWildcardTest, StarsBacktrack) {
    EXPECT_TRUE(MatchesWildcard("abXcdYcd", "ab*cd"));
    EXPECT_TRUE(MatchesWildcard("a.b.c.Log", "*.*.log"));
    EXPECT_FALSE(MatchesWildcard("abXcdY", "ab*cd"));
    EXPECT_TRUE(MatchesWildcard(std::string(200, 'a') + "b", "*a*a*a*b"));
    EXPECT_FALSE(MatchesWildcard(std::string(200, 'a'), "*a*a*a*b"));
}

}  // namespace
}  // namespace ks
