#include "core/db/pervasive_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/sys/file_ops.h"
#include "db_fixture.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;
using ::testing::UnorderedElementsAre;

class PervasiveFilesTest : public test::DbFixture {
  protected:
    PervasiveFilesTest() {
        stations.NoStation1 = 2;
        stations.DossierStation1 = source.Path().string();  // CheckRep adds the "/"
        stations.NoStation2 = 1;
        stations.DossierStation2 = local.Folder();
        // The scripted engine creates the file a create names, as the real one would (the name
        // comes in Windows-1252).
        engine.onCall = [](const test::ScriptedEngine::Request& call) {
            if (call.operation == 14) {
                std::ofstream(NativePath(call.key.substr(0, call.keyLength))) << "created";
            }
        };
    }

    std::string Local(const std::string& name) const { return local.Folder() + name; }
    std::string Source(const std::string& name) const { return source.Folder() + name; }

    void Open(std::int16_t file, std::int16_t station = 1, std::int16_t openMode = 0) {
        files.FichierPervasiveOuvrir(0, station, station, file, openMode);
    }

    test::TempDir local;
    test::TempDir source;
    FileOps fileOps{trace, errors, clock};
    PervasiveFiles files{db, stations, engine, report, fileOps, trace, errors};
};

TEST_F(PervasiveFilesTest, OpenHandsThePathModeAndBlankBlockToTheEngine) {
    local.Write("FDATA22.bt6", "table");
    Open(22, 1, -2);
    ASSERT_THAT(engine.calls, SizeIs(1));
    const auto& call = engine.calls[0];
    EXPECT_EQ(call.operation, 0);
    EXPECT_THAT(call.position, Each(' '));
    EXPECT_EQ(call.KeyText(), Local("FDATA22.bt6"));
    EXPECT_EQ(call.keyLength, 255);
    EXPECT_EQ(call.keyNumber, -2);
    EXPECT_EQ(call.dataLength, 900U);

    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 22));
    EXPECT_EQ(db.PositionBTR(0, 1, 22)[0], 1);  // the block the engine returned
    EXPECT_EQ(db.LongueurBTR[22], 900);
    EXPECT_EQ(db.CheminFichierBTR(0, 22, 0), Local("FDATA22.bt6"));
    EXPECT_THAT(db.ListeFichiersOuverts, ElementsAre(Local("FDATA22.bt6")));
    ASSERT_THAT(trace.lines, SizeIs(1));
    EXPECT_EQ(trace.lines[0].message, "Open: " + Local("FDATA22.bt6"));
    EXPECT_EQ(trace.lines[0].base, 0);
    EXPECT_EQ(trace.lines[0].file, 22);
}

TEST_F(PervasiveFilesTest, EachStationOpensFromItsOwnFolderUnderItsOwnName) {
    source.Write("FDATB22.bt6", "table");
    source.Write("FDAT009.bt6", "table");
    local.Write("FDAT009.bt6", "table");
    files.FichierPervasiveOuvrir(0, 1, 2, 22, 0);
    files.FichierPervasiveOuvrir(0, 1, 2, 9, 0);
    EXPECT_THAT(trace.Messages(),
                ElementsAre("Open: " + Source("FDATB22.bt6"), "Open: " + Local("FDAT009.bt6"),
                            "Open: " + Source("FDAT009.bt6")));
    EXPECT_FALSE(db.FichierOuvertBTR(0, 1, 22));
    EXPECT_TRUE(db.FichierOuvertBTR(0, 2, 22));
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 9));
    EXPECT_TRUE(db.FichierOuvertBTR(0, 2, 9));
    EXPECT_THAT(
        db.ListeFichiersOuverts,
        UnorderedElementsAre(Source("FDATB22.bt6"), Local("FDAT009.bt6"), Source("FDAT009.bt6")));
}

TEST_F(PervasiveFilesTest, FileNamesAreFoundWithoutRegardToCase) {
    local.Write("fdata22.BT6", "table");
    Open(22);
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 22));
}

TEST_F(PervasiveFilesTest, AStationWithoutFolderLooksInNoFolder) {
    Open(22, 5);
    EXPECT_EQ(db.CheminFichierBTR(0, 22, 4), "FDATE22.bt6");
    EXPECT_THAT(engine.calls, IsEmpty());
}

TEST_F(PervasiveFilesTest, MissingFile22IsNeitherCreatedNorLogged) {
    Open(22);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_THAT(trace.lines, IsEmpty());
    EXPECT_FALSE(db.FichierOuvertBTR(0, 1, 22));
    EXPECT_FALSE(std::filesystem::exists(Local("FDATA22.bt6")));
}

TEST_F(PervasiveFilesTest, MissingFile48IsCreatedCompressedThenOpened) {
    Open(48);
    ASSERT_THAT(engine.Operations(), ElementsAre(14, 0));
    const auto& create = engine.calls[0];
    EXPECT_THAT(create.position, Each(' '));
    EXPECT_EQ(create.dataLength, 160U);
    EXPECT_EQ(create.keyNumber, 0);
    EXPECT_EQ(create.keyLength, Local("FDATA48.bt6").size());
    EXPECT_EQ(create.KeyText(), Local("FDATA48.bt6"));
    StructureBuffer expected{};
    InitStructureFichierBTR(db.CatalogueBTR, 48, true, expected);
    EXPECT_EQ(create.data, std::string(expected.begin(), expected.end()));
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(create.data[i]); };
    EXPECT_EQ(byte(0) | (byte(1) << 8), 100);  // record length
    EXPECT_EQ(byte(2) | (byte(3) << 8), 512);  // page size
    EXPECT_EQ(byte(10), 8);                    // data compression

    EXPECT_EQ(engine.calls[1].dataLength, 100U);
    EXPECT_THAT(trace.Messages(),
                ElementsAre("File: " + Local("FDATA48.bt6") + " not found |Create empty structure",
                            "Open: " + Local("FDATA48.bt6")));
    EXPECT_EQ(trace.lines[0].base, 0);
    EXPECT_EQ(trace.lines[0].file, -1);
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 48));
}

TEST_F(PervasiveFilesTest, FilesWithoutRecordBufferOpenWithAScratchBuffer) {
    Open(45);  // created, then opened with its record length of 4000
    ASSERT_THAT(engine.Operations(), ElementsAre(14, 0));
    EXPECT_EQ(engine.calls[1].dataLength, 4000U);
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 45));
}

TEST_F(PervasiveFilesTest, EmptyFileCountsAsMissing) {
    local.Write("FDATA22.bt6", "");
    Open(22);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_THAT(trace.lines, IsEmpty());
    local.Write("FDAT041.bt6", "");
    Open(41);
    EXPECT_THAT(engine.Operations(), ElementsAre(14, 0));
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 41));
}

TEST_F(PervasiveFilesTest, OnlyFiles40To49AreCreatedWhenMissing) {
    Open(40);
    EXPECT_THAT(engine.Operations(), ElementsAre(14, 0));
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 40));
    engine.calls.clear();
    trace.lines.clear();
    Open(37);  // shared, the last file below the range
    Open(53);  // the first file above it that has a row
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_THAT(trace.lines, IsEmpty());
}

TEST_F(PervasiveFilesTest, AnAccentedFolderIsFoundAndNamedToTheEngineInWindows1252) {
    std::filesystem::create_directory(local.Path() / "Données");
    local.Write("Données/FDATA22.bt6", "table");
    stations.DossierStation2 = local.Folder() + "Données"_cp;
    Open(22);
    ASSERT_THAT(engine.calls, SizeIs(1));
    EXPECT_EQ(engine.calls[0].KeyText(), local.Folder() + "Données/FDATA22.bt6"_cp);
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 22));

    Open(48);  // missing: created under the same Windows-1252 name
    ASSERT_THAT(engine.Operations(), ElementsAre(0, 14, 0));
    EXPECT_EQ(engine.calls[1].KeyText(), local.Folder() + "Données/FDATA48.bt6"_cp);
}

TEST_F(PervasiveFilesTest, ACreateThatLeavesNoFileOpensNothing) {
    engine.onCall = nullptr;
    engine.Answer(18);  // disk full
    Open(49);
    EXPECT_THAT(engine.Operations(), ElementsAre(14));
    EXPECT_EQ(db.StatutBTR, 18);
    EXPECT_THAT(trace.lines, SizeIs(1));
    EXPECT_FALSE(db.FichierOuvertBTR(0, 1, 49));
}

TEST_F(PervasiveFilesTest, RefusedOpenIsInTheHistoryReportedAndTraced) {
    local.Write("FDATA22.bt6", "garbage");
    engine.Answer(30);
    Open(22);
    const std::string path = Local("FDATA22.bt6");
    EXPECT_FALSE(db.FichierOuvertBTR(0, 1, 22));
    EXPECT_EQ(db.StatutBTR, 30);
    EXPECT_EQ(db.History(0)[0], "S:00030 File:22 Station:1 OP:00 K:00 [" + path + "]");
    ASSERT_THAT(messages.messages, SizeIs(1));
    EXPECT_THAT(messages.messages[0].mainInstruction,
                HasSubstr("Err: 30: The file specified is not a MicroKernel file\n"));
    EXPECT_EQ(trace.lines.back().message, "Err: Unable to open: " + path);
    EXPECT_EQ(trace.lines.back().file, 22);
    EXPECT_THAT(db.ListeFichiersOuverts, IsEmpty());
}

TEST_F(PervasiveFilesTest, AFileOpenedOnceIsPresentEvenAfterItVanished) {
    local.Write("FDATA22.bt6", "table");
    Open(22);
    std::filesystem::remove(Local("FDATA22.bt6"));
    engine.calls.clear();
    trace.lines.clear();
    Open(22);
    const std::string path = Local("FDATA22.bt6");
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_EQ(db.StatutBTR, 12);
    EXPECT_FALSE(db.FichierOuvertBTR(0, 1, 22));
    EXPECT_EQ(db.History(0)[0],
              "S:00012 File:22 (" + path + ") Station:1 OP:00 K:00 [" + path + "]");
    EXPECT_THAT(
        messages.messages[0].mainInstruction,
        HasSubstr("Err: 12: The MicroKernel cannot find the specified file (" + path + ")\n"));
    EXPECT_EQ(trace.lines.back().message, "Err: Unable to open: " + path);
}

TEST_F(PervasiveFilesTest, ReopeningClearsTheFlagFirst) {
    local.Write("FDATA22.bt6", "table");
    Open(22);
    engine.Answer(46);
    Open(22);
    EXPECT_FALSE(db.FichierOuvertBTR(0, 1, 22));
    Open(22);
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 22));
    // A path opened again is remembered once: the list does not grow with the loads.
    EXPECT_THAT(db.ListeFichiersOuverts, ElementsAre(Local("FDATA22.bt6")));
}

TEST_F(PervasiveFilesTest, APathTooLongForTheKeyBufferIsRefusedWithoutCall) {
    std::string folder = local.Folder();
    while (folder.size() < 260) {
        folder += "abcdefghij/";
    }
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "FDATA22.bt6") << "table";
    stations.DossierStation2 = folder;
    Open(22);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_EQ(db.StatutBTR, 11);
    EXPECT_EQ(trace.lines.back().message, "Err: Unable to open: " + folder + "FDATA22.bt6");
    db.InitStructureFichierBTR(48, true);
    EXPECT_EQ(files.CreationStructureVide(folder + "FDATA48.bt6"), 11);
    EXPECT_THAT(engine.calls, IsEmpty());
}

TEST_F(PervasiveFilesTest, CloseStopsOnlyFilesWhoseFlagIsSet) {
    local.Write("FDATA22.bt6", "table");
    Open(22);
    engine.calls.clear();
    trace.lines.clear();
    files.FichierPervasiveFermer(0, 1, 3, 22);
    ASSERT_THAT(engine.calls, SizeIs(1));
    const auto& call = engine.calls[0];
    EXPECT_EQ(call.operation, 25);
    EXPECT_THAT(call.position, Each(' '));
    EXPECT_EQ(call.KeyText(), Local("FDATA22.bt6"));
    EXPECT_EQ(call.keyNumber, 0);
    EXPECT_EQ(call.dataLength, 900U);
    EXPECT_FALSE(db.FichierOuvertBTR(0, 1, 22));
    EXPECT_THAT(trace.lines, IsEmpty());
    files.FichierPervasiveFermer(0, 1, 1, 22);
    EXPECT_THAT(engine.calls, SizeIs(1));
}

TEST_F(PervasiveFilesTest, RefusedStopIsReportedAndTheFileStaysOpen) {
    local.Write("FDATA22.bt6", "table");
    Open(22);
    trace.lines.clear();
    engine.Answer(3);
    files.FichierPervasiveFermer(0, 1, 1, 22);
    EXPECT_TRUE(db.FichierOuvertBTR(0, 1, 22));
    EXPECT_THAT(messages.messages, SizeIs(1));
    EXPECT_EQ(trace.lines.back().message, "Unable to close: " + Local("FDATA22.bt6"));
    EXPECT_EQ(trace.lines.back().base, 0);
    EXPECT_EQ(trace.lines.back().file, -1);
}

TEST_F(PervasiveFilesTest, StationsOutsideTheRangeAreReportedNotCrashed) {
    Open(22, 11);
    Open(22, 0);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_THAT(trace.Messages(), Contains(HasSubstr("Lib_Data_Pervasive:FichierPervasiveOuvrir")));
    files.FichierPervasiveFermer(0, 0, 0, 22);
    files.FichierPervasiveOuvrir(6, 1, 1, 22, 0);
    EXPECT_THAT(engine.calls, IsEmpty());
}

}  // namespace
}  // namespace ks
