// A demo station for the reliability tests: generated once per test program, copied into a
// working folder for each use, loaded by the real program headless (its run bounded in time,
// a kill or a crash told apart from an exit), its table files checked with the table tool,
// its local tables read record by record and compared with what an uninterrupted load gives.
// Every test adds its figures to one line that the soak script sums.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ks::test {

// Small in CI; KS_RELIABILITY_SIZE=medium (the soak) takes the medium station.
std::string ChosenSize();
// 0 in CI (the fixed moments and seeds); the soak hands each round another.
unsigned SoakSeed();
// True in a build with the address sanitizer, which runs the program three times slower:
// the long tests then take fewer rounds.
bool Sanitized();

// The tables a load writes into, by catalogue number.
inline constexpr std::array<int, 15> kLoadTables{0,  9,  20, 21, 22, 23, 24, 26,
                                                 27, 28, 29, 31, 32, 35, 53};

// The records of each of the load's tables in the order of key 0.
using StationState = std::map<int, std::vector<std::string>>;

struct LoadRun {
    int exitCode = -1;  // -1 when a signal ended it or it did not start
    int signal = 0;     // the signal that ended it
    bool hung = false;  // killed for running past its bound
    std::string output;
};

// Runs `argv` (the program first) with this process's environment plus `environment`; past
// `boundSeconds` the child is killed and counted as hung.
LoadRun RunBounded(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment = {}, int boundSeconds = 300);

// What a test did, for the soak's sums.
struct Figures {
    long loads = 0;
    long kills = 0;
    long faults = 0;
    long crashes = 0;
    long hangs = 0;
    long lost = 0;
};
// Writes "figures: loads=N kills=N faults=N crashes=N hangs=N lost=N".
void PrintFigures(const Figures& figures);

class WorkStation {
  public:
    WorkStation();
    WorkStation(const WorkStation&) = delete;
    WorkStation& operator=(const WorkStation&) = delete;

    const std::filesystem::path& Root() const { return m_root.Path(); }
    // The program's folder (--root) as the program writes folders, ending with "/".
    std::string ProgramFolder() const { return m_root.Folder(); }
    // A folder of the station ("Local/Data") as the program writes it, ending with "/".
    std::string Folder(const std::string& sub) const;

    // The program's headless load, at the station's fixed time. `runAsNobody` starts it as
    // the user nobody (the tests of what it may not read or write).
    LoadRun Load(const std::vector<std::string>& environment = {}, bool runAsNobody = false) const;

    StationState LocalState() const;
    // The table files of `sub` that `ks-table check` refuses, each with its reason.
    std::vector<std::string> FailedChecks(const std::string& sub) const;
    // The messages of the trace log of `day` (the station's day by default) from byte `from`
    // on, without their time prefix.
    std::vector<std::string> TraceMessages(std::size_t from = 0,
                                           const std::string& day = "20261207") const;
    std::size_t TraceSize(const std::string& day = "20261207") const;

    // Puts the local data folder back as it was generated.
    void ResetLocal() const;

    // The local state an uninterrupted load of the generated station gives.
    static const StationState& Expected();

  private:
    TempDir m_root;
};

// The differences of two station states: records `expected` holds that `got` lacks, records
// `got` holds that `expected` does not, tables holding the same records in another order, and
// the first difference met.
struct Comparison {
    long missing = 0;
    long extra = 0;
    long reordered = 0;
    std::string first;
    bool Same() const { return missing == 0 && extra == 0 && reordered == 0; }
};
Comparison Compare(const StationState& got, const StationState& expected);

// True when a line of the trace starts with `start`.
bool Says(const std::vector<std::string>& trace, const std::string& start);

}  // namespace ks::test
