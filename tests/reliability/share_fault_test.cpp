// The server's data folder behind a share that misbehaves as a failing server's does (the test
// file system of tests/share_fs): reads or lookups that hang, a share that crawls at 2 MB/s, a
// share that vanishes in the middle of the copy. A headless load ends within its bound with its
// exit status and trace lines; the desktop program stopped by SIGTERM in the middle of a hung copy
// ends within ten seconds and leaves the local station as it was; the window's clock keeps
// ticking during a crawling copy, whose load gives what a load from a fast share gives; and
// once the share is back, the next load gives the local station of a clean load.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDate>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "../gui/desktop.h"
#include "station.h"
#include "support/fake_clock.h"
#include "support/run_program.h"
#include "support/share_mount.h"

namespace ks::test {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

enum class Way {
    kHeadless,        // a headless load
    kDesktopStopped,  // the desktop program, stopped by SIGTERM during the copy
    kDesktopWatched,  // the desktop program in this process, its clock's ticks timed
};

struct ShareFault {
    const char* name;
    std::vector<std::string> share;  // ks-test-share's options
    Way way;
    int boundSeconds;               // the load, or the stop, ends within this
    int exitCode;                   // of the run
    std::vector<std::string> says;  // the trace holds lines starting so
    bool localUnchanged;            // else the local station must at least be whole
};

double SecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

std::string Today() {
    return QDate::currentDate().toString("yyyyMMdd").toStdString();
}

// The desktop program on the station: a load is due at its start. Stopped by SIGTERM once the
// copy has gone on for two seconds; its exit status, -1 past the bound. `day`: its trace's.
int StopDesktopDuringTheCopy(const WorkStation& station, int boundSeconds, const std::string& day) {
    const TempDir scratch;
    const pid_t desktop =
        StartProgram(kCrashProgram, {"--root", station.ProgramFolder()}, scratch.Folder() + "out");
    const auto started = SteadyClock::now();
    bool copying = false;
    while (!copying && SecondsSince(started) < 30) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        copying = Says(station.TraceMessages(0, day), "Load data: Start files copy");
    }
    EXPECT_TRUE(copying) << "the copy never started";
    std::this_thread::sleep_for(std::chrono::seconds(2));
    kill(desktop, SIGTERM);
    return WaitProgramFor(desktop, std::chrono::seconds(boundSeconds)).value_or(-1);
}

// The desktop program in this process loads the station at its fixed time: the longest gap
// between two ticks of its 250 ms clock, in seconds.
double LongestClockGap(const WorkStation& station) {
    FakeClock clock(DateTime{2026, 12, 7, 10, 0, 0, 0});
    Desktop desktop(station.ProgramFolder(), clock);
    EXPECT_TRUE(desktop.window.Form_Load());
    std::vector<SteadyClock::time_point> ticks{SteadyClock::now()};
    QObject::connect(desktop.window.findChild<QTimer*>("Timer1"), &QTimer::timeout,
                     [&] { ticks.push_back(SteadyClock::now()); });
    desktop.window.findChild<QPushButton*>("CommandCharger")->click();
    ticks.push_back(SteadyClock::now());
    double longest = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        longest = std::max(longest, std::chrono::duration<double>(ticks[i] - ticks[i - 1]).count());
    }
    desktop.window.Unload();
    return longest;
}

class ShareFaultTest : public ::testing::TestWithParam<ShareFault> {};

TEST_P(ShareFaultTest, TheLoadEndsInItsBoundAndTheLocalStationStaysWhole) {
    const ShareFault& fault = GetParam();
    const WorkStation station;
    const StationState before = station.LocalState();
    const fs::path data = station.Root() / "Serveur/Data";
    const fs::path shared = station.Root() / "Serveur/Shared";
    fs::rename(data, shared);
    fs::create_directory(data);
    const std::string day = fault.way == Way::kDesktopStopped ? Today() : "20261207";
    {
        const ShareMount share(shared.string(), data.string(), fault.share);
        ASSERT_TRUE(share.Mounted()) << share.Failure();
        const auto started = SteadyClock::now();
        switch (fault.way) {
            case Way::kHeadless: {
                const LoadRun run = station.Load();
                EXPECT_LT(SecondsSince(started), fault.boundSeconds);
                EXPECT_EQ(run.exitCode, fault.exitCode) << run.output;
                break;
            }
            case Way::kDesktopStopped:
                EXPECT_EQ(StopDesktopDuringTheCopy(station, fault.boundSeconds, day),
                          fault.exitCode);
                break;
            case Way::kDesktopWatched:
                EXPECT_LT(LongestClockGap(station), 1.0) << "the window's clock stood still";
                EXPECT_LT(SecondsSince(started), fault.boundSeconds);
                EXPECT_TRUE(Compare(station.LocalState(), WorkStation::Expected()).Same())
                    << "the load from the slow share gives what a load from a fast one gives";
                break;
        }
        const std::vector<std::string> trace = station.TraceMessages(0, day);
        for (const std::string& line : fault.says) {
            EXPECT_TRUE(Says(trace, line)) << "nothing says " << line;
        }
        EXPECT_EQ(station.FailedChecks("Local/Data"), std::vector<std::string>{});
        if (fault.localUnchanged) {
            const Comparison comparison = Compare(station.LocalState(), before);
            EXPECT_TRUE(comparison.Same()) << comparison.first;
        }
    }
    // The share is back: the next load gives the station of a clean load.
    fs::remove(data);
    fs::rename(shared, data);
    const LoadRun next = station.Load();
    EXPECT_EQ(next.exitCode, 0) << next.output;
    const Comparison comparison = Compare(station.LocalState(), WorkStation::Expected());
    EXPECT_TRUE(comparison.Same()) << comparison.first;
}

const std::string kSongs = "FDATA22.bt6";
const std::string kNoAnswer = "Err: No answer from the server";
const std::string kUncopied = "Err: Unable to copy: ";

INSTANTIATE_TEST_SUITE_P(
    Server, ShareFaultTest,
    ::testing::Values(
        ShareFault{"ReadsHangHeadless",
                   {"--hang-reads", kSongs},
                   Way::kHeadless,
                   90,
                   3,
                   {kNoAnswer, kUncopied},
                   false},
        // Nothing below the share's root answers, not even the look for a file: the first
        // table is given up after the minute, the others at once.
        ShareFault{"LookupsHangHeadless",
                   {"--hang-lookups"},
                   Way::kHeadless,
                   90,
                   3,
                   {kNoAnswer, kUncopied},
                   false},
        ShareFault{"ReadsHangDesktopStopped",
                   {"--hang-reads", kSongs},
                   Way::kDesktopStopped,
                   10,
                   0,
                   {"Err: Files copy abandoned", "Load data: Transfert records not done"},
                   true},
        ShareFault{"CrawlsDesktop", {"--rate", "2000000"}, Way::kDesktopWatched, 60, 0, {}, false},
        ShareFault{"VanishesHeadless",
                   {"--vanish", kSongs + ":65536"},
                   Way::kHeadless,
                   90,
                   3,
                   {kUncopied},
                   false}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace ks::test
