#include "core/settings/program_folder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// Sets (or, given nullptr, unsets) an environment variable for the life of the object, then
// puts back what was there.
class Variable {
  public:
    Variable(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~Variable() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

  private:
    const char* m_name;
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
        const Variable home("XDG_DATA_HOME", data.Folder().c_str());
        const std::string user = data.Folder() + std::string(kUserFolderName) + "/";

        const std::string folder = ProgramFolderBeside(executable.Folder(), c.create);

        EXPECT_EQ(folder, c.expectUserFolder ? user : executable.Folder());
        EXPECT_EQ(fs::exists(user + "Settings/KS3_Config.ini"), c.expectSettingsCopied);
    }
}

// A service the system starts has no HOME: the user database still names root's home, so an
// installed program run that way does not fall back to its own folder.
TEST(ProgramFolder, WithoutHomeVariableTheUserDatabaseGivesTheHome) {
    const Variable data("XDG_DATA_HOME", nullptr);
    const Variable home("HOME", nullptr);
    const passwd* account = getpwuid(geteuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(UserProgramFolder(),
              std::string(account->pw_dir) + "/.local/share/" + std::string(kUserFolderName) + "/");
}

}  // namespace
}  // namespace ks
