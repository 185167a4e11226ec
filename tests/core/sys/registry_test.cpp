#include "core/sys/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "support/fake_event_pump.h"
#include "support/one_line_changed.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::string_view kThemeKey = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";
constexpr std::string_view kLookKey = "Software\\Velmora\\Kestrel\\Look";

class RegistryTest : public ::testing::Test {
  protected:
    RegistryTest() { errors.SetTrace(&trace); }

    std::string StoreFile() const { return dir.Folder() + "Settings/Registry.ini"; }
    std::string Store() const { return test::TempDir::Read(StoreFile()); }
    void WriteStore(const std::string& bytes) const {
        fs::create_directories(dir.Path() / "Settings");
        dir.Write("Settings/Registry.ini", bytes);
    }

    test::TempDir dir;
    TraceState state;
    test::FakeEventPump pump;
    ErrorHandler errors{state, pump};
    test::RecordingTrace trace;
    Registry registry{errors, dir.Folder()};
};

TEST_F(RegistryTest, StoreLivesInTheSettingsFolderOfTheProgram) {
    EXPECT_EQ(Registry::StoreFile("/opt/kestrel/"), "/opt/kestrel/Settings/Registry.ini");
}

TEST_F(RegistryTest, ThemeActiveHoldingTextOneReadsAsOne) {
    WriteStore(
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]\r\n"
        "ThemeActive=1\r\n");
    std::string result;
    EXPECT_EQ(registry.Reg_GetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", result), kRegOk);
    EXPECT_EQ(result, "1");
}

TEST_F(RegistryTest, RootZeroIsTheCurrentUserAndRootsAreKeptApart) {
    ASSERT_EQ(registry.Reg_SetValue(0, kLookKey, "Style", "7"), kRegOk);
    std::string result;
    EXPECT_EQ(registry.Reg_GetValue(kHkeyCurrentUser, kLookKey, "Style", result), kRegOk);
    EXPECT_EQ(result, "7");
    EXPECT_NE(registry.Reg_GetValue(kHkeyLocalMachine, kLookKey, "Style", result), kRegOk);
    EXPECT_EQ(result, "");
    EXPECT_THAT(Store(), HasSubstr("[HKEY_CURRENT_USER\\Software\\Velmora\\Kestrel\\Look]\r\n"
                                   "Style=7\r\n"));
}

TEST_F(RegistryTest, ReadingAMissingKeyCreatesItAndFailsWithAnEmptyResult) {
    std::string result = "left over";
    EXPECT_NE(registry.Reg_GetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", result), kRegOk);
    EXPECT_EQ(result, "");
    EXPECT_EQ(Store(),
              "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]"
              "\r\n");
    // A second read finds the key, not the value, and writes nothing more.
    EXPECT_EQ(registry.Reg_GetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", result),
              kRegValueNotFound);
    EXPECT_EQ(Store(),
              "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]"
              "\r\n");
}

TEST_F(RegistryTest, KeyPathIgnoresALeadingBackslashAndLetterCase) {
    ASSERT_EQ(registry.Reg_SetValue(kHkeyLocalMachine, "\\Software\\Velmora", "Path", "/opt/"),
              kRegOk);
    std::string result;
    EXPECT_EQ(registry.Reg_GetValue(kHkeyLocalMachine, "SOFTWARE\\velmora", "PATH", result),
              kRegOk);
    EXPECT_EQ(result, "/opt/");
}

TEST_F(RegistryTest, DefaultValueIsStoredUnderTheAtSign) {
    const std::string_view appPath =
        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KS3_Menu.exe";
    ASSERT_EQ(registry.Reg_SetValue(kHkeyLocalMachine, appPath, "", "/opt/kestrel/KS3_Menu.exe"),
              kRegOk);
    EXPECT_THAT(Store(), HasSubstr("\r\n@=/opt/kestrel/KS3_Menu.exe\r\n"));
    std::string result;
    EXPECT_EQ(registry.Reg_GetValue(kHkeyLocalMachine, appPath, "", result), kRegOk);
    EXPECT_EQ(result, "/opt/kestrel/KS3_Menu.exe");
}

TEST_F(RegistryTest, TextComesBackExactlyEvenWithBlanksOrQuotesAroundIt) {
    for (const std::string text : {" padded ", "\"quoted\"", "'single'", "", "a=b;c", "\t"}) {
        ASSERT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kLookKey, "Text", text), kRegOk);
        std::string result;
        EXPECT_EQ(registry.Reg_GetValue(kHkeyCurrentUser, kLookKey, "Text", result), kRegOk);
        EXPECT_EQ(result, text);
    }
}

TEST_F(RegistryTest, NumberReadsBackAsItsDigits) {
    ASSERT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kLookKey, "Style", std::int32_t{15}), kRegOk);
    ASSERT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kLookKey, "Negative", std::int32_t{-3}),
              kRegOk);
    std::string result;
    registry.Reg_GetValue(kHkeyCurrentUser, kLookKey, "Style", result);
    EXPECT_EQ(result, "15");
    registry.Reg_GetValue(kHkeyCurrentUser, kLookKey, "Negative", result);
    EXPECT_EQ(result, "-3");
}

TEST_F(RegistryTest, WritingReplacesOneLineAndKeepsTheRestOfTheStore) {
    const std::string before =
        "; registry of the backup machine\n"
        "[HKEY_CURRENT_USER\\Software\\Velmora\\Kestrel\\Look]\n"
        "Style=15\n"
        "Other=x\n";
    WriteStore(before);
    ASSERT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kLookKey, "style", "3"), kRegOk);
    EXPECT_EQ(Store(),
              "; registry of the backup machine\n"
              "[HKEY_CURRENT_USER\\Software\\Velmora\\Kestrel\\Look]\n"
              "Style=3\n"
              "Other=x\n");
    EXPECT_TRUE(test::OnlyOneLineChanged(before, Store()));
}

TEST_F(RegistryTest, RefusedCallsGiveNonZeroStatusAndChangeNothing) {
    const std::string before =
        "[HKEY_CURRENT_USER\\Software\\Velmora\\Kestrel\\Look]\r\nStyle=15\r\n";
    WriteStore(before);
    std::string result = "x";
    EXPECT_EQ(registry.Reg_GetValue(0x12345678U, kLookKey, "Style", result), kRegInvalidRoot);
    EXPECT_EQ(result, "");
    EXPECT_EQ(registry.Reg_SetValue(0x12345678U, kLookKey, "Style", "1"), kRegInvalidRoot);
    EXPECT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kLookKey, "Style", "1\r\n[X]"),
              kRegInvalidParameter);
    EXPECT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, "Bad]Key", "Style", "1"),
              kRegInvalidParameter);
    EXPECT_EQ(registry.Reg_GetValue(kHkeyCurrentUser, "Bad]Key", "Style", result),
              kRegInvalidParameter);
    EXPECT_EQ(Store(), before);
}

TEST_F(RegistryTest, UnreadableStoreGivesNonZeroStatusWithoutAReport) {
    fs::create_directories(dir.Path() / "Settings" / "Registry.ini");  // a folder in its place
    std::string result = "x";
    EXPECT_EQ(registry.Reg_GetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", result),
              kRegAccessDenied);
    EXPECT_EQ(result, "");
    EXPECT_EQ(registry.Reg_SetValue(kHkeyCurrentUser, kLookKey, "Style", "15"), kRegAccessDenied);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "Settings" / "Registry.ini"));
    EXPECT_THAT(trace.Messages(), IsEmpty());
}

}  // namespace
}  // namespace ks
