#include "core/settings/program_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// Points XDG_DATA_HOME at a folder for the life of the object, then puts back what was set.
class DataHome {
  public:
    explicit DataHome(const std::string& folder) {
        if (const char* old = std::getenv("XDG_DATA_HOME")) {
            m_old = old;
        }
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~DataHome() {
        if (m_old) {
            setenv("XDG_DATA_HOME", m_old->c_str(), 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
    }
    DataHome(const DataHome&) = delete;
    DataHome& operator=(const DataHome&) = delete;

  private:
    std::optional<std::string> m_old;
};

// The executable's folder is writable here (the tests run as root in CI, and as the owner of
// the folder elsewhere): only the installation's mark sends the program to the user's folder.
TEST(ProgramFolder, AnInstallationIsNeverTheProgramFolderEvenWhenWritable) {
    struct Case {
        bool installed;
        bool create;
        bool expectUserFolder;
        bool expectSettingsCopied;
    };
    const Case cases[] = {
        {false, true, false, false},
        {true, true, true, true},
        {true, false, true, false},  // a run that only reads makes nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "installed " << c.installed << ", create " << c.create);
        test::TempDir executable;
        test::TempDir data;
        fs::create_directories(executable.Path() / "Settings");
        executable.Write("Settings/KS3_Config.ini", "[Systeme]\n");
        if (c.installed) {
            executable.Write(std::string(kInstalledMarker), "installed\n");
        }
        const DataHome home(data.Folder());
        const std::string user = data.Folder() + std::string(kUserFolderName) + "/";

        const std::string folder = ProgramFolderBeside(executable.Folder(), c.create);

        EXPECT_EQ(folder, c.expectUserFolder ? user : executable.Folder());
        EXPECT_EQ(fs::exists(user + "Settings/KS3_Config.ini"), c.expectSettingsCopied);
    }
}

}  // namespace
}  // namespace ks
