// The program as the system and a monitoring system run it: one instance per program folder
// (a headless load refused while the desktop program runs, which keeps running), a stop by
// the system that ends the desktop program whatever message waits for the operator, --status
// before any load, after a good one, after a failed one and once the last success is old,
// and an installed program whose folder its operator cannot write.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <QDate>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/sys/ini_file.h"
#include "core/sys/instance_lock.h"
#include "support/run_as.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string kSettings = "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini";

class ProgramTest : public ::testing::Test {
  protected:
    test::ProgramOutcome Run(const std::string& folder, std::vector<std::string> args) {
        args.insert(args.begin(), {"--root", folder});
        return test::RunProgram(test::kProgram, std::move(args), scratch.Folder() + "run.out");
    }
    test::TempDir scratch;
};

// Waits until a desktop program holds `folder`; false after ten seconds.
bool Holds(const std::string& folder) {
    for (int tries = 0; tries < 200; ++tries) {
        if (InstanceLock(folder).Result() == InstanceLock::Outcome::HeldElsewhere) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST_F(ProgramTest, AHeadlessLoadIsRefusedWhileTheDesktopProgramRunsOnTheFolder) {
    test::TempDir root;
    const pid_t desktop = test::StartProgram(test::kProgram, {"--root", root.Folder()},
                                             scratch.Folder() + "desktop.out");
    ASSERT_GT(desktop, 0);
    ASSERT_TRUE(Holds(root.Folder())) << test::TempDir::Read(scratch.Path() / "desktop.out");

    const test::ProgramOutcome second = Run(root.Folder(), {"--load-once"});
    EXPECT_EQ(second.exitCode, 7);
    EXPECT_THAT(second.output,
                HasSubstr("Another instance of the program runs on " + root.Folder()));
    EXPECT_EQ(waitpid(desktop, nullptr, WNOHANG), 0) << "the first instance goes on";

    kill(desktop, SIGTERM);  // as the system stops it: no question, the shutdown runs
    EXPECT_EQ(test::WaitProgram(desktop), 0);
    const QString log = QString::fromStdString(
        test::TempDir::Read(root.Path() / "Quenvi/Histo_KS3_Diffuseur_Secours" /
                            (QDate::currentDate().toString("yyyyMMdd") + ".Log").toStdString()));
    EXPECT_TRUE(log.contains("Frm_Main:Form_Unload")) << log.toStdString();
}

TEST_F(ProgramTest, AStopByTheSystemEndsTheDesktopProgramWhateverMessageWaitsForOK) {
    constexpr std::chrono::seconds kBound{10};
    struct Row {
        const char* what;
        const char* settings;  // the settings file, or none
        bool secondInstance;   // the stop goes to a second program on the folder
        int exitCode;
        const char* traced;  // the message answered by the stop, in the trace (or none)
    };
    const Row rows[] = {
        {"the refusal of a second instance", nullptr, true, 7, nullptr},
        // A load is due at once and stops on its first folder check.
        {"a folder check of a load", "[Data]\r\nLast_Timing=01/01/2020 00:00:00\r\nFrequency=0\r\n",
         false, 0, "MessageBox: Le dossier Config sur le serveur n'est pas param\xE9tr\xE9"},
    };
    for (const Row& row : rows) {
        test::TempDir root;
        if (row.settings != nullptr) {
            fs::create_directories(root.Path() / fs::path(kSettings).parent_path());
            root.Write(kSettings, row.settings);
        }
        const pid_t first = test::StartProgram(test::kProgram, {"--root", root.Folder()},
                                               scratch.Folder() + "first.out");
        ASSERT_TRUE(Holds(root.Folder())) << row.what;
        pid_t stopped = first;
        if (row.secondInstance) {
            stopped = test::StartProgram(test::kProgram, {"--root", root.Folder()},
                                         scratch.Folder() + "second.out");
        }
        // Time for the message to be shown: without a stop it would wait there for OK.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        ASSERT_EQ(waitpid(stopped, nullptr, WNOHANG), 0) << row.what << ": waits for OK";

        kill(stopped, SIGTERM);
        EXPECT_EQ(test::WaitProgramFor(stopped, kBound), row.exitCode) << row.what;
        if (stopped != first) {
            EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0) << "the first instance goes on";
            kill(first, SIGTERM);
            EXPECT_EQ(test::WaitProgramFor(first, kBound), 0) << row.what;
        }
        const std::string log =
            test::TempDir::Read(root.Path() / "Quenvi/Histo_KS3_Diffuseur_Secours" /
                                (QDate::currentDate().toString("yyyyMMdd") + ".Log").toStdString());
        const std::size_t unload = log.find("Frm_Main:Form_Unload");
        EXPECT_NE(unload, std::string::npos) << row.what << "\n" << log;
        if (row.traced != nullptr) {
            EXPECT_LT(log.find(row.traced), unload) << row.what << "\n" << log;
        }
    }
}

TEST_F(ProgramTest, StatusSaysWhetherTheLastLoadSucceededAndHowLongAgo) {
    test::TempDir station;
    ASSERT_EQ(Run(station.Folder(), {"--status"}).exitCode, 2) << "never loaded";
    ASSERT_EQ(
        test::RunProgram(test::kDemoGenerator, {station.Folder()}, scratch.Folder() + "demo.out")
            .exitCode,
        0);
    const std::string lastHour =
        "Programme chargé jusqu'au " +
        QDate::currentDate().addDays(7).toString("dd/MM/yyyy").toStdString() + " 23:00";

    struct Step {
        const char* what;
        std::function<void()> before;
        int loadStatus;  // -1: no load
        int status;
        std::vector<std::string> lines;
    };
    const fs::path server = station.Path() / "Serveur/Data";
    const std::vector<Step> steps = {
        {"a good load",
         [] {},
         0,
         0,
         {"Dernier essai : réussi", "(Secours 01)", lastHour, "État : à jour"}},
        {"a load whose server folder is missing",
         [&] { fs::rename(server, server.string() + ".off"); },
         1,
         2,
         {"Dernier essai : échec (dossier introuvable)", "(Secours 01)", "État : en échec"}},
        {"the last success a day old",
         [&] {
             fs::rename(server.string() + ".off", server);
             IniFile settings(test::TempDir::Read(station.Path() / kSettings));
             settings.Set("Data", "Last_Result", "0");
             settings.Set("Data", "Last_Success", "01/01/2020 10:00:00");
             station.Write(kSettings, settings.Bytes());
         },
         -1,
         1,
         {"Dernier chargement réussi : 01/01/2020 10:00:00 (Secours 01)", "en retard"}},
    };
    for (const Step& step : steps) {
        step.before();
        if (step.loadStatus >= 0) {
            EXPECT_EQ(Run(station.Folder(), {"--load-once"}).exitCode, step.loadStatus)
                << step.what;
        }
        const test::ProgramOutcome status = Run(station.Folder(), {"--status"});
        EXPECT_EQ(status.exitCode, step.status) << step.what << "\n" << status.output;
        for (const std::string& line : step.lines) {
            EXPECT_THAT(status.output, HasSubstr(line)) << step.what;
        }
    }
}

TEST_F(ProgramTest, AnInstalledProgramWorksInItsOperatorsOwnFolder) {
    if (!test::CanRunAsNobody()) {
        GTEST_SKIP() << "needs root and setpriv";
    }
    // An installation nobody may run but not write: the program and its Settings folder.
    test::TempDir installed;
    fs::permissions(installed.Path(), fs::perms(0755));
    fs::copy_file(test::kProgram, installed.Path() / "diffuseur-secours");
    fs::create_directories(installed.Path() / "Settings");
    installed.Write("Settings/KS3_Config.ini", "[Installed]\r\nSite=Demo\r\n");
    test::TempDir home;
    fs::permissions(home.Path(), fs::perms(0777));

    const auto runAsNobody = [&](const char* option) {
        return test::RunAsNobody({"env", "-u", "XDG_DATA_HOME", "HOME=" + home.Path().string(),
                                  (installed.Path() / "diffuseur-secours").string(), option});
    };
    // The status only reads: before any load it says so and makes no folder.
    const test::RunResult status = runAsNobody("--status");
    EXPECT_EQ(status.exitCode, 2) << status.output;
    EXPECT_FALSE(fs::exists(home.Path() / ".local")) << status.output;

    const test::RunResult run = runAsNobody("--load-once");
    EXPECT_NE(run.exitCode, 7) << run.output;
    const fs::path own = home.Path() / ".local/share/kestrel-diffuseur-secours";
    EXPECT_TRUE(fs::is_directory(own / "Quenvi/Histo_KS3_Diffuseur_Secours")) << run.output;
    EXPECT_EQ(test::TempDir::Read(own / "Settings/KS3_Config.ini"), "[Installed]\r\nSite=Demo\r\n")
        << "started from the installed settings";
    EXPECT_FALSE(fs::exists(installed.Path() / "Quenvi"));
}

}  // namespace
}  // namespace ks
