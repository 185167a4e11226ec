#include "core/sys/system_info.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <string>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "platform/cp1252.h"
#include "support/fake_event_pump.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

class SystemInfoTest : public ::testing::Test {
  protected:
    SystemInfoTest() { handler.SetTrace(&trace); }

    // System information reading `osRelease` as its release file, with version `version`.
    SystemInfo With(const std::string& osRelease, VersionNumbers version = {2026, 1207, 915}) {
        SystemInfoSources sources;
        sources.OsReleaseFiles = {dir.Write("os-release", osRelease)};
        sources.Version = version;
        return {handler, "/opt/ks/", sources};
    }

    static std::string Kernel() {
        utsname names{};
        uname(&names);
        return std::string(names.sysname) + " " + names.release + " " + names.machine;
    }

    TraceState state;
    test::FakeEventPump pump;
    test::RecordingTrace trace;
    ErrorHandler handler{state, pump};
    test::TempDir dir;
};

TEST_F(SystemInfoTest, ComputerNameIsTheHostName) {
    std::array<char, 256> host{};
    ASSERT_EQ(gethostname(host.data(), host.size() - 1), 0);
    SystemInfo info(handler, "/opt/ks/");
    EXPECT_EQ(info.ComputerName(), std::string(host.data()));
    EXPECT_FALSE(info.ComputerName().empty());
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(SystemInfoTest, WindowsFolderIsUnderTheProgramFolderWithoutFinalSlash) {
    EXPECT_EQ(SystemInfo(handler, "/opt/ks/").GetWinDir(), "/opt/ks/Windows");
    EXPECT_EQ(SystemInfo(handler, "/opt/ks").GetWinDir(), "/opt/ks/Windows");
}

TEST_F(SystemInfoTest, OsNameJoinsTheDistributionAndTheKernel) {
    SystemInfo info = With(
        "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
    EXPECT_EQ(info.OsVersionCode(), 0);
    EXPECT_EQ(info.GetOSDisplayString(), "Debian GNU/Linux 12 (bookworm) (" + Kernel() + ")");
    EXPECT_EQ(info.OsVersionCode(), 10);
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(SystemInfoTest, OsNameReadsEveryQuotingOfTheReleaseFile) {
    EXPECT_EQ(With("PRETTY_NAME='Fedora Linux 40'\n").GetOSDisplayString(),
              "Fedora Linux 40 (" + Kernel() + ")");
    EXPECT_EQ(With("PRETTY_NAME=Alpine\n").GetOSDisplayString(), "Alpine (" + Kernel() + ")");
    EXPECT_EQ(With("PRETTY_NAME=\"Say \\\"hi\\\"\"\n").GetOSDisplayString(),
              "Say \"hi\" (" + Kernel() + ")");
}

TEST_F(SystemInfoTest, OsNameFallsBackToNameAndVersion) {
    EXPECT_EQ(With("NAME=\"Arch\"\nVERSION=\"rolling\"\n").GetOSDisplayString(),
              "Arch rolling (" + Kernel() + ")");
    EXPECT_EQ(With("NAME=Arch\n").GetOSDisplayString(), "Arch (" + Kernel() + ")");
}

TEST_F(SystemInfoTest, MissingReleaseFileGivesTheKernelAlone) {
    SystemInfoSources sources;
    sources.OsReleaseFiles = {dir.Folder() + "missing", dir.Folder() + "also-missing"};
    SystemInfo info(handler, "/opt/ks/", sources);
    EXPECT_EQ(info.GetOSDisplayString(), Kernel());
    EXPECT_EQ(info.OsVersionCode(), 10);
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(SystemInfoTest, ReleaseFilesAreTriedInTurn) {
    SystemInfoSources sources;
    sources.OsReleaseFiles = {dir.Folder() + "missing", dir.Write("second", "PRETTY_NAME=B\n")};
    EXPECT_EQ(SystemInfo(handler, "/", sources).GetOSDisplayString(), "B (" + Kernel() + ")");
}

TEST_F(SystemInfoTest, OsNameIsWindows1252) {
    EXPECT_EQ(With("PRETTY_NAME=\"Système 1 中\"\n").GetOSDisplayString(),
              "Système 1 ?"_cp + " (" + Kernel() + ")");
}

TEST_F(SystemInfoTest, PlatformIsTheNtLine) {
    EXPECT_EQ(SystemInfo::PlatformId(), 2);
}

TEST_F(SystemInfoTest, VersionNumbersGiveTheBuildDateAndVersionText) {
    SystemInfo info = With("", {2026, 1207, 915});
    EXPECT_EQ(info.DateApplication(), (DateTime{2026, 12, 7, 9, 15, 0, 0}));
    EXPECT_EQ(info.VersionApplication(), "2026.1207.0915");

    SystemInfo early = With("", {2027, 105, 5});
    EXPECT_EQ(early.DateApplication(), (DateTime{2027, 1, 5, 0, 5, 0, 0}));
    EXPECT_EQ(early.VersionApplication(), "2027.0105.0005");
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(SystemInfoTest, ImpossibleVersionNumbersAreReported) {
    SystemInfo info = With("", {2026, 1399, 915});
    EXPECT_EQ(info.DateApplication(), DateTime{});
    ASSERT_EQ(trace.lines.size(), 3U);
    EXPECT_NE(trace.lines[1].message.find("Source:Lib_Systeme:DateApplication:"),
              std::string::npos);
}

TEST_F(SystemInfoTest, ThisBuildHasAVersionOfItsOwn) {
    const VersionNumbers build = BuildVersion();
    EXPECT_GE(build.Major, 2024);
    SystemInfo info(handler, "/opt/ks/");
    const DateTime date = info.DateApplication();
    EXPECT_TRUE(IsValid(date));
    EXPECT_EQ(date.year, build.Major);
    EXPECT_EQ(info.VersionApplication().size(), 14U);
    EXPECT_TRUE(trace.lines.empty());
}

TEST_F(SystemInfoTest, ProductNameIsTheProgramsName) {
    EXPECT_EQ(SystemInfo::ProductName(), "KS3 Diffuseur de secours");
}

}  // namespace
}  // namespace ks
