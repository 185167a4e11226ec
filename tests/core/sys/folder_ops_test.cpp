#include "core/sys/folder_ops.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "file_ops_fixture.h"

namespace ks::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

TEST(CheckRepTest, AddsOneSlashWhenMissing) {
    EXPECT_EQ(CheckRep("/srv/data"), "/srv/data/");
    EXPECT_EQ(CheckRep("/srv/data/"), "/srv/data/");
    EXPECT_EQ(CheckRep("/srv/data//"), "/srv/data//");
    EXPECT_EQ(CheckRep("/"), "/");
    EXPECT_EQ(CheckRep(""), "");
    EXPECT_EQ(CheckRep("data"), "data/");
}

TEST(NettoieNomDeDossierTest, TurnsForbiddenCharactersIntoBlanks) {
    EXPECT_EQ(NettoieNomDeDossier("/srv/x*y/"), "/srv/x y/");
    EXPECT_EQ(NettoieNomDeDossier("/srv/a\\b?c\"d<e>f|g,h/"), "/srv/a b c d e f g h/");
}

TEST(NettoieNomDeDossierTest, RemovesDotRunsAndPercent) {
    EXPECT_EQ(NettoieNomDeDossier("/srv/da..ta/"), "/srv/data/");
    EXPECT_EQ(NettoieNomDeDossier("/srv/../etc/"), "/srv//etc/");
    EXPECT_EQ(NettoieNomDeDossier("/srv/a.....b/"), "/srv/ab/");
    EXPECT_EQ(NettoieNomDeDossier("/srv/%HOME%/"), "/srv/HOME/");
    EXPECT_EQ(NettoieNomDeDossier("/srv/v1.2/"), "/srv/v1.2/");
}

TEST(NettoieNomDeDossierTest, KeepsTheFirstTwoCharactersAndCleansColonsAndBlanks) {
    EXPECT_EQ(NettoieNomDeDossier("C:"), "C:");
    EXPECT_EQ(NettoieNomDeDossier("C:/a:b/"), "C:/a b/");
    EXPECT_EQ(NettoieNomDeDossier("/::x"), "/: x");
    EXPECT_EQ(NettoieNomDeDossier("/a   b/"), "/a b/");
    EXPECT_EQ(NettoieNomDeDossier("/a    b/"), "/a  b/");  // one pass: four blanks give two
    EXPECT_EQ(NettoieNomDeDossier("/srv/name   /x  /"), "/srv/name/x/");
    EXPECT_EQ(NettoieNomDeDossier("   /srv/x/  "), "/srv/x/");
    EXPECT_EQ(NettoieNomDeDossier("//server/share/"), "//server/share/");
}

TEST(NettoieNomDeDossierTest, ANameOfForbiddenCharactersOnlyBecomesEmpty) {
    EXPECT_EQ(NettoieNomDeDossier(""), "");
    EXPECT_EQ(NettoieNomDeDossier("*?<>|"), "");
    EXPECT_EQ(NettoieNomDeDossier("..."), "");
}

TEST_F(FileOpsTest, CreatesEveryMissingLevel) {
    fs::create_directory(dir.Path() / "one");
    EXPECT_TRUE(folders.VerificationEtCreationRepertoire(At("one/two/three")));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "one/two/three"));
    EXPECT_TRUE(folders.VerificationEtCreationRepertoire(At("one/two/three/")));
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, CreationUsesExistingLevelsWhateverTheirCase) {
    fs::create_directory(dir.Path() / "Settings");
    EXPECT_TRUE(folders.VerificationEtCreationRepertoire(At("SETTINGS/KS_Diffuseurs_Secours")));
    EXPECT_THAT(Entries(), ElementsAre("Settings"));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "Settings/KS_Diffuseurs_Secours"));
}

TEST_F(FileOpsTest, CreationCleansTheNameFirst) {
    EXPECT_TRUE(folders.VerificationEtCreationRepertoire(At("a?b/c*d")));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a b/c d"));
    EXPECT_FALSE(folders.VerificationEtCreationRepertoire(""));
    EXPECT_FALSE(folders.VerificationEtCreationRepertoire("*?*"));
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, AFileWhereAFolderIsExpectedIsReportedLevelByLevel) {
    dir.Write("plain.txt", "keep");
    EXPECT_FALSE(folders.VerificationEtCreationRepertoire(At("plain.txt/sub")));
    EXPECT_THAT(trace.Messages(), ElementsAre("Folder '" + At("plain.txt/") + "' not found",
                                              "Folder '" + At("plain.txt/sub/") + "' not found"));
    EXPECT_FALSE(trace.lines[0].incident);
    EXPECT_EQ(TempDir::Read(dir.Path() / "plain.txt"), "keep");

    trace.lines.clear();
    EXPECT_FALSE(folders.VerificationEtCreationRepertoire(At("plain.txt/sub"), false));
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(FileOpsTest, ATooLongNameIsReportedNotCreated) {
    const std::string longName = At(std::string(4000, 'f'));
    EXPECT_FALSE(folders.VerificationEtCreationRepertoire(longName));
    EXPECT_THAT(trace.Messages(), ElementsAre("Folder '" + longName + "/' not found"));
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_THAT(Reports(), IsEmpty());
}

TEST_F(FileOpsTest, LevelsHoldingADollarAreNotCreated) {
    EXPECT_FALSE(folders.VerificationEtCreationRepertoire(At("share$/x"), false));
    EXPECT_THAT(Entries(), IsEmpty());
}

TEST_F(FileOpsTest, TheServerAndShareOfANetworkPathAreNeverCreated) {
    const std::string server = "ks-no-such-server-" + dir.Path().filename().string();
    EXPECT_FALSE(folders.VerificationEtCreationRepertoire("//" + server + "/share/data"));
    EXPECT_FALSE(fs::exists("/" + server));
    EXPECT_THAT(trace.Messages(), ElementsAre("Folder '//" + server + "/share/data/' not found"));
}

TEST_F(FileOpsTest, ANetworkPathCreatesTheLevelsBelowItsShare) {
    // "//" names the root here, so a folder of the test area stands in for a mounted share.
    const std::string share = "/" + dir.Path().string() + "/";  // "//tmp/ks-test-N/"
    EXPECT_TRUE(folders.VerificationEtCreationRepertoire(share + "Config/Stations"));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "Config/Stations"));
}

}  // namespace
}  // namespace ks::test
