// A failing server leaves damaged tables behind. With a few KiB of noise in the middle of the
// server's music schedule, songs or advertising schedule, the copy of that table is refused and
// the load goes on as if the server had not had it: every local table ends record for record
// as after a load from a server without that table (no copy of it left in the intermediate
// folder), whatever moment the engine's timer commits at, and every table file stays whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "station.h"

namespace ks::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kNoise = 4096;
// Where the noise goes, as a fraction of the file, and how many loads meet each place.
constexpr std::array<double, 3> kPlaces{1.0 / 3, 1.0 / 2, 2.0 / 3};
constexpr int kRunsPerPlace = 2;

// Fixed noise written over `kNoise` bytes of `file` at `fraction` of its length.
void WriteNoise(const fs::path& file, double fraction) {
    const auto size = static_cast<double>(fs::file_size(file));
    const auto at = static_cast<std::streamoff>(size * fraction);
    std::mt19937 random(static_cast<unsigned>(at));
    std::string noise(kNoise, '\0');
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<char>(random()); });
    std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(at);
    out.write(noise.data(), static_cast<std::streamsize>(noise.size()));
}

class DamagedServerTable : public ::testing::TestWithParam<const char*> {};

TEST_P(DamagedServerTable, CostsNoLocalRecordAndLoadsAsIfTheServerHadNotHadIt) {
    const std::string table = GetParam();
    const std::string server = "Serveur/Data/" + table;
    // The copy takes the letter of the station the backup machine does not use, and the names
    // the load writes.
    const std::string copy = "FdatB" + table.substr(5);
    StationState withoutIt;
    {
        const WorkStation reference;
        fs::remove(reference.Root() / server);
        fs::remove(reference.Root() / "Temporaire" / copy);
        const LoadRun run = reference.Load();
        ASSERT_EQ(run.exitCode, 3) << run.output;
        withoutIt = reference.LocalState();
    }
    Figures figures;
    for (const double place : kPlaces) {
        for (int run = 0; run < kRunsPerPlace; ++run) {
            SCOPED_TRACE("noise at " + std::to_string(place) + ", load " + std::to_string(run));
            const WorkStation station;
            WriteNoise(station.Root() / server, place);
            const LoadRun load = station.Load();
            ++figures.loads;
            ++figures.faults;
            EXPECT_EQ(load.exitCode, 3) << load.output;
            const Comparison comparison = Compare(station.LocalState(), withoutIt);
            figures.lost += comparison.missing;
            EXPECT_TRUE(comparison.Same()) << comparison.first;
            EXPECT_EQ(station.FailedChecks("Local/Data"), std::vector<std::string>{});
            EXPECT_EQ(station.FailedChecks("Temporaire"), std::vector<std::string>{});
            EXPECT_FALSE(fs::exists(station.Root() / "Temporaire" / copy));
            const std::vector<std::string> trace = station.TraceMessages();
            EXPECT_TRUE(Says(trace, "Err: Damaged table: ")) << load.output;
            EXPECT_TRUE(Says(trace, "Err: Unable to copy: " + station.Folder("Serveur/Data") +
                                        "FdatA" + table.substr(5)))
                << load.output;
        }
    }
    PrintFigures(figures);
}

INSTANTIATE_TEST_SUITE_P(MusicSongsAdvertising, DamagedServerTable,
                         ::testing::Values("FDATA35.bt6", "FDATA22.bt6", "FDATA27.bt6"),
                         [](const auto& test) { return std::string(test.param).substr(0, 7); });

}  // namespace
}  // namespace ks::test
