#include "core/settings/look_style.h"

#include <gtest/gtest.h>

#include "settings_env.h"

namespace ks {
namespace {

constexpr std::string_view kLookKey = "Software\\Velmora\\Kestrel\\Look";

class LookStyleTest : public ::testing::Test {
  protected:
    std::string Recorded() {
        std::string value;
        env.registry.Reg_GetValue(kHkeyLocalMachine, kLookKey, "Style", value);
        return value;
    }

    test::SettingsEnv env;
    LookStyle look{env.errors, env.registry};
};

TEST_F(LookStyleTest, MissingStyleGivesFifteenAndRecordsIt) {
    EXPECT_EQ(look.StyleEnregistre(), 15);
    EXPECT_EQ(Recorded(), "15");
}

TEST_F(LookStyleTest, BlankStyleCountsAsMissing) {
    env.registry.Reg_SetValue(kHkeyLocalMachine, kLookKey, "Style", "   ");
    EXPECT_EQ(look.StyleEnregistre(), 15);
    EXPECT_EQ(Recorded(), "15");
}

TEST_F(LookStyleTest, RecordedStyleIsReadWithoutBeingRewritten) {
    env.registry.Reg_SetValue(kHkeyLocalMachine, kLookKey, "Style", "7");
    EXPECT_EQ(look.StyleEnregistre(), 7);
    EXPECT_EQ(Recorded(), "7");
}

TEST_F(LookStyleTest, StyleIsSharedThroughTheRegistryStoreFile) {
    ASSERT_TRUE(look.EnregistreStyle(4));
    // Another program of the suite reading the same store sees it.
    Registry other{env.errors, env.dir.Folder()};
    std::string value;
    EXPECT_EQ(other.Reg_GetValue(kHkeyLocalMachine, kLookKey, "Style", value), kRegOk);
    EXPECT_EQ(value, "4");
    EXPECT_EQ(look.StyleEnregistre(), 4);
}

TEST_F(LookStyleTest, MinusOneAsksForTheRecordedStyle) {
    look.EnregistreStyle(12);
    EXPECT_EQ(look.Resolve(kRecordedLookStyle), 12);
    EXPECT_EQ(look.Resolve(3), 3);
    EXPECT_EQ(look.Resolve(20), 20);
}

TEST_F(LookStyleTest, StyleThatIsNotANumberCountsAsZero) {
    env.registry.Reg_SetValue(kHkeyLocalMachine, kLookKey, "Style", "iTunes");
    EXPECT_EQ(look.StyleEnregistre(), 0);
}

TEST_F(LookStyleTest, UnwritableStoreStillGivesFifteen) {
    // A folder where the store's file should be: nothing can be read or recorded.
    std::filesystem::create_directories(Registry::StoreFile(env.dir.Folder()));
    EXPECT_EQ(look.StyleEnregistre(), 15);
    EXPECT_FALSE(look.EnregistreStyle(3));
}

}  // namespace
}  // namespace ks
