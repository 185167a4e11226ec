// The copy phase of a load: its folder checks with their messages, the stations and folders
// it hands to the transfer, and the server's table files copied under the other station's letter.
#include "core/app/database_copy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "load_env.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class DatabaseCopyTest : public ::testing::Test {
  protected:
    std::int16_t Copy(std::int16_t set = 1) {
        std::int16_t status = 99;
        copied = env.copy.DataRecopie(set, status);
        return status;
    }
    std::vector<std::string> Copied() const {
        std::vector<std::string> names;
        if (!fs::is_directory(env.dir.Path() / "Temporaire")) {
            return names;
        }
        for (const auto& entry : fs::directory_iterator(env.dir.Path() / "Temporaire")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> CopyLines() const {
        return env.Lines({"Copy: ", "Err: ", "PbBFDATA053Present"});
    }
    CopiedSet copied;

    test::LoadEnv env;
};

struct FolderCheckCase {
    const char* name;
    std::function<void(test::LoadEnv&)> breakIt;
    std::string message;  // UTF-8; the folder is appended to "n'existe pas:" messages
    const char* folder;
};

class FolderCheckTest : public DatabaseCopyTest,
                        public ::testing::WithParamInterface<FolderCheckCase> {};

TEST_P(FolderCheckTest, FirstFailingCheckIsShownAndNothingIsCopied) {
    env.Start();
    GetParam().breakIt(env);
    EXPECT_EQ(Copy(), -1);

    std::string text = Utf8ToCp1252(GetParam().message);
    if (*GetParam().folder != '\0') {
        text += "\r\n\r\n" + env.Folder(GetParam().folder);
    }
    ASSERT_EQ(env.dialogs.messages.size(), 1U);
    const test::FakeDialogs::Message& shown = env.dialogs.messages[0];
    EXPECT_EQ(shown.icon, MsgIcon::Warning);
    EXPECT_EQ(shown.buttons, MsgButtons::Ok);
    EXPECT_EQ(shown.title, "Caption");
    EXPECT_EQ(shown.text, text);
    EXPECT_THAT(Copied(), IsEmpty());
    EXPECT_THAT(CopyLines(), IsEmpty());
    EXPECT_EQ(env.view.values.count("copy"), 0U);  // the copy label never shown
    EXPECT_EQ(env.view.values["copyProgress"], "0");
}

void SetFolder(test::LoadEnv& env, int field, const std::string& value) {
    env.settings.SetTexteDossierData(field, value);
}
void SetDataFolder(test::LoadEnv& env, const char* config, const std::string& value) {
    env.WriteFile(std::string(config) + "/KS3_Systeme.ini",
                  "[Base_01]\r\nDossier_Data=" + value + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    InOrder, FolderCheckTest,
    ::testing::Values(
        FolderCheckCase{"ServerConfigBlank",
                        [](auto& e) { SetFolder(e, kDossierConfigServeur, ""); },
                        "Le dossier Config sur le serveur n'est pas paramétré", ""},
        FolderCheckCase{"ServerConfigMissing",
                        [](auto& e) { fs::remove_all(e.dir.Path() / "Serveur/Config"); },
                        "Le dossier Config sur le serveur n'existe pas:", "Serveur/Config"},
        FolderCheckCase{"ServerDataBlank", [](auto& e) { SetDataFolder(e, "Serveur/Config", ""); },
                        "Le dossier des données sur le serveur n'est pas paramétré", ""},
        FolderCheckCase{"ServerDataMissing",
                        [](auto& e) { fs::remove_all(e.dir.Path() / "Serveur/Data"); },
                        "Le dossier des données sur le serveur n'existe pas:", "Serveur/Data"},
        FolderCheckCase{"LocalConfigBlank", [](auto& e) { SetFolder(e, kDossierConfigLocal, ""); },
                        "Le dossier Config en local n'est pas paramétré", ""},
        FolderCheckCase{"LocalConfigMissing",
                        [](auto& e) { fs::remove_all(e.dir.Path() / "Local/Config"); },
                        "Le dossier Config en local n'existe pas:", "Local/Config"},
        FolderCheckCase{"LocalDataBlank", [](auto& e) { SetDataFolder(e, "Local/Config", " "); },
                        "Le dossier des données en local n'est pas paramétré", ""},
        FolderCheckCase{"LocalDataMissing",
                        [](auto& e) { fs::remove_all(e.dir.Path() / "Local/Data"); },
                        "Le dossier des données en local n'existe pas:", "Local/Data"},
        FolderCheckCase{"IntermediateBlank", [](auto& e) { SetFolder(e, kDossierTemporaire, ""); },
                        "Le dossier intermédiaire n'est pas paramétré", ""},
        // A file where the folder should be is not a folder.
        FolderCheckCase{"IntermediateMissing",
                        [](auto& e) {
                            fs::remove_all(e.dir.Path() / "Temporaire");
                            e.WriteFile("Temporaire", "not a folder");
                        },
                        "Le dossier intermédiaire n'existe pas:", "Temporaire"}),
    [](const auto& test) { return std::string(test.param.name); });

// Local line 0 is station A: the copies take "B". Any other local line: they take "A".
struct LetterCase {
    int localLine;
    std::int16_t local;
    std::int16_t copied;
    char letter;
};

class CopyLetterTest : public DatabaseCopyTest, public ::testing::WithParamInterface<LetterCase> {};

TEST_P(CopyLetterTest, CopiesEveryListedFileUnderTheOtherStationsLetter) {
    const LetterCase& c = GetParam();
    env.Start("[Station]\r\nLocal=" + std::to_string(c.localLine) + "\r\n");
    // A copy left by the last load, with the side file of an engine killed while it had it open.
    const std::string old = std::string("Fdat") + c.letter + "22.bt6";
    env.WriteFile("Temporaire/" + old, "last load");
    env.WriteFile("Temporaire/" + old + "-wal", "stale log");

    EXPECT_EQ(Copy(), 0);

    EXPECT_EQ(copied.stations.NoStation2, c.local);
    EXPECT_EQ(copied.stations.NoStation1, c.copied);
    EXPECT_EQ(copied.stations.DossierStation1, env.Folder("Temporaire"));
    EXPECT_EQ(copied.stations.DossierStation2, env.Folder("Local/Data"));
    EXPECT_TRUE(copied.PresenceFichier53);
    std::vector<std::string> expected;
    std::vector<std::string> lines;
    for (const std::string& name : test::kServerFiles) {
        std::string copy = name;
        if (name[4] == 'A') {
            copy[4] = c.letter;
        }
        expected.push_back(copy);
        if (name == "FdatA53.bt6") {
            lines.push_back("PbBFDATA053Present = True");
        }
        lines.push_back("Copy: " + env.Folder("Serveur/Data") + name + " to " +
                        env.Folder("Temporaire") + copy);
        EXPECT_EQ(test::TempDir::Read(env.dir.Path() / "Temporaire" / copy),
                  test::TempDir::Read(env.dir.Path() / "Serveur/Data" / name));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_THAT(Copied(), ElementsAreArray(expected));  // the stale log went with the old copy
    EXPECT_THAT(CopyLines(), ElementsAreArray(lines));
    EXPECT_THAT(env.dialogs.messages, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Lines, CopyLetterTest,
                         ::testing::Values(LetterCase{0, 1, 2, 'B'}, LetterCase{1, 2, 1, 'A'},
                                           LetterCase{6, 7, 1, 'A'}));

TEST_F(DatabaseCopyTest, ProgressClimbsTwoPerSlotAndHoldsAtOneHundredFromSlotFifty) {
    env.Start();
    Copy();
    std::vector<std::string> seen;
    for (const std::string& call : env.view.calls) {
        if (call.starts_with("copy")) {
            seen.push_back(call);
        }
    }
    std::vector<std::string> expected{"copyProgress=0", "copy=shown"};
    for (int slot = 0; slot <= 60; ++slot) {
        expected.push_back("copyProgress=" + std::to_string(std::min(2 * slot, 100)));
    }
    expected.insert(expected.end(), {"copy=hidden", "copyProgress=0"});
    EXPECT_THAT(seen, ElementsAreArray(expected));
}

TEST_F(DatabaseCopyTest, ServerWithoutPlayerLogCopiesFourteenFilesAndSaysSo) {
    env.Start();
    fs::remove(env.dir.Path() / "Serveur/Data/FdatA53.bt6");

    EXPECT_EQ(Copy(), 0);
    EXPECT_FALSE(copied.PresenceFichier53);
    EXPECT_EQ(Copied().size(), 14U);
    EXPECT_THAT(env.Lines({"PbBFDATA053Present"}),
                ElementsAre("PbBFDATA053Present = False |File not found: " +
                            env.Folder("Serveur/Data") + "FdatA53.bt6"));
    EXPECT_THAT(env.Lines({"Err: "}), IsEmpty());
}

TEST_F(DatabaseCopyTest, MissingStationFileOnTheServerIsTracedAndTheOthersAreCopied) {
    env.Start();
    fs::remove(env.dir.Path() / "Serveur/Data/FdatA27.bt6");

    EXPECT_EQ(Copy(), 0);
    EXPECT_EQ(Copied().size(), 14U);
    EXPECT_FALSE(fs::exists(env.dir.Path() / "Temporaire/FdatB27.bt6"));
    EXPECT_THAT(
        env.Lines({"Err: "}),
        ElementsAre("Err: Server File not found: " + env.Folder("Serveur/Data") + "FdatA27.bt6"));
    EXPECT_EQ(env.Lines({"Copy: "}).size(), 14U);
}

TEST_F(DatabaseCopyTest, SecondSetCopiesItsOwnStations) {
    env.Start("[Station]\r\nServeur=0\r\nLocal=0\r\nServeur_2=1\r\nLocal_2=2\r\n");
    fs::copy_file(env.dir.Path() / "Serveur/Data/FdatA35.bt6",
                  env.dir.Path() / "Serveur/Data/FdatB35.bt6");

    EXPECT_EQ(Copy(2), 0);
    EXPECT_EQ(copied.stations.NoStation2, 3);
    EXPECT_EQ(copied.stations.NoStation1, 1);
    EXPECT_THAT(env.Lines({"Copy: "}),
                Contains("Copy: " + env.Folder("Serveur/Data") + "FdatB35.bt6 to " +
                         env.Folder("Temporaire") + "FdatA35.bt6"));
    EXPECT_FALSE(copied.PresenceFichier53);  // the second server station has none
}

// A writer on the server appends to the songs table after the first read of its copy,
// `changes` times: the copy is made again each time, and a source that changed under all
// three copies is a copy that failed.
struct ChangeCase {
    int changes;
    bool copied;
};

class SourceChangeTest : public DatabaseCopyTest,
                         public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(SourceChangeTest, IsCopiedAgainAndTheThirdChangeFailsTheCopy) {
    env.Start();
    const fs::path songs = env.dir.Path() / "Serveur/Data/FdatA22.bt6";
    int appended = 0;
    env.copy.SetAfterRead([&](const fs::path& source, std::uint64_t offset) {
        if (source == songs && offset == 0 && appended < GetParam().changes) {
            ++appended;
            std::ofstream(source, std::ios::binary | std::ios::app) << "written meanwhile";
        }
    });

    EXPECT_EQ(Copy(), 0);

    const std::string from = env.Folder("Serveur/Data") + "FdatA22.bt6";
    const std::string to = env.Folder("Temporaire") + "FdatB22.bt6";
    EXPECT_EQ(appended, GetParam().changes);
    if (GetParam().copied) {
        EXPECT_THAT(env.Lines({"Copy: "}), Contains("Copy: " + from + " to " + to));
        EXPECT_EQ(test::TempDir::Read(env.dir.Path() / "Temporaire/FdatB22.bt6"),
                  test::TempDir::Read(songs));
        EXPECT_THAT(env.Lines({"Err: "}), IsEmpty());
    } else {
        EXPECT_THAT(
            env.Lines({"Err: "}),
            ElementsAre("Err: The server file changed while it was copied, 3 times: " + from,
                        "Err: Unable to copy: " + from + " to " + to));
        EXPECT_FALSE(fs::exists(env.dir.Path() / "Temporaire/FdatB22.bt6"));
    }
}

INSTANTIATE_TEST_SUITE_P(Writer, SourceChangeTest,
                         ::testing::Values(ChangeCase{1, true}, ChangeCase{2, true},
                                           ChangeCase{3, false}));

}  // namespace
}  // namespace ks
