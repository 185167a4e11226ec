// The demo station seen through the loader's own database layer, as a load sees it: the
// server's files copied into the intermediate folder under the second station's letter, the
// transfer's tables of both stations opened by the loader's opening code, and one hour of the
// music schedule moved song by song into the backup machine's station.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/db/record_fields.h"
#include "demo_generator.h"
#include "support/real_db_stack.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::int16_t kSource = 2;  // the copied server files, in the intermediate folder
constexpr std::int16_t kLocal = 1;   // the backup machine's station

// The tables a load opens on both sides, FDAT053 included since the server has it.
constexpr std::array<std::int16_t, 15> kTransferTables{0,  9,  20, 21, 22, 23, 24, 26,
                                                       27, 28, 29, 31, 32, 35, 53};

class DemoStationLoadTest : public ::testing::Test, protected test::RealDbStack {
  protected:
    void SetUp() override {
        if (!fs::exists(test::kDemoGenerator)) {
            GTEST_SKIP() << "the generator is not built: " << test::kDemoGenerator;
        }
        ASSERT_EQ(
            test::RunDemoGenerator({"--date", "20261207", root.Path().string()}, scratch).exitCode,
            0);
        // What the load's copy does: the server's station files under the other letter.
        const std::string intermediate = root.Folder() + "Temporaire/";
        for (const std::int16_t file : kTransferTables) {
            fs::copy_file(root.Folder() + "Serveur/Data/" + db.NomFichierBTR(file, 0),
                          intermediate + db.NomFichierBTR(file, kSource - 1));
        }
        stations.NoStation1 = kSource;
        stations.DossierStation1 = intermediate;
        stations.NoStation2 = kLocal;
        stations.DossierStation2 = root.Folder() + "Local/Data/";
    }

    std::int16_t Call(std::int16_t operation, std::int16_t file, std::int16_t station,
                      std::string& key) {
        layer.BTRieve(0, operation, key, 0, file, station, "Frm_Main:DataTransfert /D");
        return db.StatutBTR;
    }

    test::TempDir root;
    test::TempDir scratch;  // the generator's output, kept out of the station folder
};

TEST_F(DemoStationLoadTest, TheLoadersLayerOpensBothStationsAndMovesAnHourOfSongs) {
    for (const std::int16_t station : {kSource, kLocal}) {
        for (const std::int16_t file : kTransferTables) {
            files.FichierPervasiveOuvrir(0, station, station, file, 0);
            EXPECT_TRUE(db.FichierOuvertBTR(0, station, file)) << station << " " << file;
        }
    }

    // The ten o'clock hour of the first transferred day, read as the damaged-schedule check
    // reads it, each song fetched from the source and inserted into the backup machine.
    const std::string low = "2026120710" + std::string(9, '\0');
    const std::string high = "2026120710" + std::string(9, '\xFF');
    std::string key = low;
    std::vector<std::string> songIds;
    for (std::int16_t status = Call(9, 35, kSource, key); status == 0 && key <= high;
         status = Call(6, 35, kSource, key)) {
        const RecordBuffer& event = db.Records.At(35);
        if (event.Text(fields::fdat035::kElementType) == "Son") {
            songIds.push_back(event.Text(fields::fdat035::kSongId).substr(0, 8));
        }
    }
    EXPECT_GE(songIds.size(), 10U);
    std::set<std::string> moved;
    for (std::string id : songIds) {
        if (!moved.insert(id).second) {
            continue;
        }
        ASSERT_EQ(Call(5, 22, kSource, id), 0) << id;
        EXPECT_EQ(Call(2, 22, kLocal, id), 0) << id;
    }
    std::string first = songIds.front();
    EXPECT_EQ(Call(5, 22, kLocal, first), 0);

    for (const std::int16_t station : {kSource, kLocal}) {
        for (const std::int16_t file : kTransferTables) {
            files.FichierPervasiveFermer(0, station, station, file);
            EXPECT_FALSE(db.FichierOuvertBTR(0, station, file)) << station << " " << file;
        }
    }
    EXPECT_THAT(messages.messages, IsEmpty());
    for (const std::string& line : trace.Messages()) {
        EXPECT_THAT(line, ::testing::Not(HasSubstr("Err")));
    }
    EXPECT_EQ(fatalCalls, 0);
}

}  // namespace
}  // namespace ks
