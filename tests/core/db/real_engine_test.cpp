// The database layer on the real record engine, with table files in a temporary folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/db/record_fields.h"
#include "support/real_db_stack.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

namespace fs = std::filesystem;

constexpr std::int16_t kSource = 2;  // the copied server files, in the intermediate folder
constexpr std::int16_t kLocal = 1;   // the local station

class RealEngineTest : public ::testing::Test, protected test::RealDbStack {
  protected:
    RealEngineTest() {
        stations.NoStation1 = kSource;
        stations.DossierStation1 = source.Folder();
        stations.NoStation2 = kLocal;
        stations.DossierStation2 = local.Folder();
    }

    // Creates the empty table `file` of `station` as a missing file 40 to 49 would be.
    void Create(std::int16_t file, std::int16_t station) {
        db.InitStructureFichierBTR(file, true);
        const std::string folder = station == kSource ? source.Folder() : local.Folder();
        ASSERT_EQ(files.CreationStructureVide(folder + db.NomFichierBTR(file, station - 1)), 0);
    }

    void Open(std::int16_t file, std::int16_t station) {
        files.FichierPervasiveOuvrir(0, station, station, file, 0);
    }
    void Close(std::int16_t file, std::int16_t station) {
        files.FichierPervasiveFermer(0, station, station, file);
    }

    std::int16_t Call(std::int16_t operation, std::int16_t file, std::int16_t station,
                      std::string& key, std::int16_t keyNumber = 0) {
        layer.BTRieve(0, operation, key, keyNumber, file, station, "Frm_Main:DataTransfert /T");
        return db.StatutBTR;
    }

    // A song record with every field the read rewrites already in its rewritten form.
    void FillSong(const std::string& id, const std::string& title) {
        using namespace fields::fdat022;
        RecordBuffer& song = db.Records.At(22);
        std::fill_n(song.Data(), song.Size(), std::uint8_t{' '});
        song.SetText(kSongId, id);
        song.SetText(kTitle, title);
        song.SetText(kFlagsF, "ONNNN");
        song.SetText(kNumberG, "12");
        song.SetText(kFlagJ, "1");
        song.SetInt16(855, 321);
    }

    std::vector<std::string> TraceMessages() const { return trace.Messages(); }

    test::TempDir local;
    test::TempDir source;
};

TEST_F(RealEngineTest, ARecordReadFromTheSourceIsInsertedIntoTheLocalStation) {
    Create(22, kSource);
    Create(22, kLocal);
    Open(22, kSource);
    Open(22, kLocal);
    ASSERT_TRUE(db.FichierOuvertBTR(0, kSource, 22));
    ASSERT_TRUE(db.FichierOuvertBTR(0, kLocal, 22));

    std::string key = "00012345";
    FillSong("00012345", "Premier titre");
    ASSERT_EQ(Call(2, 22, kSource, key), 0);
    FillSong("00012346", "Second titre");
    ASSERT_EQ(Call(2, 22, kSource, key), 0);
    const std::string second(db.Records.At(22).Bytes().begin(), db.Records.At(22).Bytes().end());

    db.Records.At(22).Clear();
    key = "00012345";
    ASSERT_EQ(Call(5, 22, kSource, key), 0);
    EXPECT_EQ(db.Records.At(22).Text(fields::fdat022::kTitle).substr(0, 13), "Premier titre");
    ASSERT_EQ(Call(6, 22, kSource, key), 0);
    EXPECT_EQ(key, "00012346");
    ASSERT_EQ(Call(2, 22, kLocal, key), 0);  // the buffer just read, sent as it is
    ASSERT_EQ(Call(6, 22, kSource, key), 9);
    EXPECT_THAT(messages.messages, IsEmpty());

    Close(22, kSource);
    Close(22, kLocal);
    EXPECT_FALSE(db.FichierOuvertBTR(0, kSource, 22));
    EXPECT_FALSE(db.FichierOuvertBTR(0, kLocal, 22));

    Open(22, kLocal);
    db.Records.At(22).Clear();
    key = "00012346";
    ASSERT_EQ(Call(5, 22, kLocal, key), 0);
    EXPECT_EQ(std::string(db.Records.At(22).Bytes().begin(), db.Records.At(22).Bytes().end()),
              second);
    key = "00012345";
    EXPECT_EQ(Call(5, 22, kLocal, key), 4);
    Close(22, kLocal);

    const auto lines = TraceMessages();
    EXPECT_THAT(lines, Contains("Open: " + source.Folder() + "FDATB22.bt6"));
    EXPECT_THAT(lines, Contains("Open: " + local.Folder() + "FDATA22.bt6"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Unable"))));
    EXPECT_EQ(fatalCalls, 0);
}

TEST_F(RealEngineTest, GetLessOrEqualWithBytes255FindsTheLastRecordOfAnHour) {
    Create(35, kLocal);
    Open(35, kLocal);
    RecordBuffer& event = db.Records.At(35);
    std::string key;
    for (const char* id : {"2026120709AAAAAAAAA", "2026120709BBBBBBBBB", "2026120710AAAAAAAAA"}) {
        event.Clear();
        event.SetText(fields::fdat035::kKey0, id);
        key = id;
        ASSERT_EQ(Call(2, 35, kLocal, key), 0);
    }
    key = "2026120709" + std::string(9, '\xFF');
    ASSERT_EQ(Call(11, 35, kLocal, key), 0);
    EXPECT_EQ(key, "2026120709BBBBBBBBB");
}

TEST_F(RealEngineTest, MissingFile48IsCreatedWithTheCatalogueKeysAndUsable) {
    Open(48, kLocal);
    ASSERT_TRUE(db.FichierOuvertBTR(0, kLocal, 48));
    EXPECT_THAT(TraceMessages()[0], HasSubstr("FDATA48.bt6 not found |Create empty structure"));
    RecordBuffer& title = db.Records.At(48);
    title.Clear();
    title.SetText({1, 8}, "00000001");
    title.SetText({9, 43}, "TITRE COMMUN");
    std::string key = "00000001";
    ASSERT_EQ(Call(2, 48, kLocal, key), 0);
    title.SetText({1, 8}, "00000002");
    ASSERT_EQ(Call(2, 48, kLocal, key), 0);  // key 1 allows duplicates
    ASSERT_EQ(Call(2, 48, kLocal, key), 5);  // key 0 does not
    key = "TITRE COMMUN" + std::string(31, ' ');
    ASSERT_EQ(Call(5, 48, kLocal, key, 1), 0);
    EXPECT_EQ(title.Text({1, 8}), "00000001");
}

class DamagedFileTest : public RealEngineTest {
  protected:
    // Opening must refuse the file with the engine's status, trace it and report it.
    void ExpectRefused(const std::string& path) {
        Open(22, kLocal);
        EXPECT_FALSE(db.FichierOuvertBTR(0, kLocal, 22));
        EXPECT_NE(db.StatutBTR, 0);
        EXPECT_EQ(trace.lines.back().message, "Err: Unable to open: " + path);
        ASSERT_THAT(messages.messages, SizeIs(1));
        EXPECT_THAT(messages.messages[0].mainInstruction,
                    HasSubstr("Err: " + std::to_string(db.StatutBTR)));
        EXPECT_THAT(db.ListeFichiersOuverts, IsEmpty());
        // A later call on it is a call on a file that is not open.
        std::string key = "00012345";
        layer.BTRieve(0, 5, key, 0, 22, kLocal, "test");
        EXPECT_EQ(db.StatutBTR, 20);
        EXPECT_EQ(fatalCalls, 1);
    }
    std::string Path() const { return local.Folder() + "FDATA22.bt6"; }
};

TEST_F(DamagedFileTest, RandomBytesAreRefused) {
    std::mt19937 random(7);
    std::string bytes(8192, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    local.Write("FDATA22.bt6", bytes);
    ExpectRefused(Path());
}

TEST_F(DamagedFileTest, ATruncatedCopyIsRefused) {
    Create(22, kLocal);
    Open(22, kLocal);
    std::string key = "00012345";
    for (int i = 0; i < 200; ++i) {
        FillSong(std::to_string(10000000 + i), "Titre " + std::to_string(i));
        ASSERT_EQ(Call(2, 22, kLocal, key), 0);
    }
    Close(22, kLocal);
    const std::string whole = test::TempDir::Read(Path());
    ASSERT_GT(whole.size(), 4096U);
    local.Write("FDATA22.bt6", whole.substr(0, whole.size() / 2));
    trace.lines.clear();
    db.ListeFichiersOuverts.clear();
    ExpectRefused(Path());
}

TEST_F(DamagedFileTest, AFolderWithTheFilesNameIsRefused) {
    fs::create_directory(local.Path() / "FDATA22.bt6");
    ExpectRefused(Path());
}

TEST_F(DamagedFileTest, AnEmptyFileIsNotOpenedButAnEmptyFile45IsCreated) {
    local.Write("FDATA22.bt6", "");
    Open(22, kLocal);
    EXPECT_FALSE(db.FichierOuvertBTR(0, kLocal, 22));
    EXPECT_THAT(trace.lines, IsEmpty());
    EXPECT_THAT(messages.messages, IsEmpty());

    local.Write("FDATA45.bt6", "");
    Open(45, kLocal);
    EXPECT_TRUE(db.FichierOuvertBTR(0, kLocal, 45));
    EXPECT_GT(fs::file_size(local.Path() / "FDATA45.bt6"), 0U);
    EXPECT_THAT(messages.messages, IsEmpty());
}

}  // namespace
}  // namespace ks
