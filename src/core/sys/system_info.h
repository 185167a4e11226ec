// Facts about the machine and the program for the trace log header, the configuration
// folders and the about box: computer name, the folder that stands for the Windows folder, a
// readable operating-system name and the program's version, which encodes its build time.
#pragma once

#include <string>
#include <vector>

#include "core/base/date_time.h"

namespace ks {

class ErrorHandler;

// The version numbers of the program: major = year, minor = month and day (1207),
// revision = hour and minute (915 for 09:15).
struct VersionNumbers {
    int Major = 0;
    int Minor = 0;
    int Revision = 0;
};

// The version numbers of this build, taken when the build was configured.
VersionNumbers BuildVersion();

// Where the facts come from; tests point them elsewhere.
struct SystemInfoSources {
    // Release files tried in turn for the operating-system name.
    std::vector<std::string> OsReleaseFiles = {"/etc/os-release", "/usr/lib/os-release"};
    VersionNumbers Version = BuildVersion();
};

class SystemInfo {
  public:
    // `dossierConfig` is the program's folder, ending with "/".
    SystemInfo(ErrorHandler& errors, std::string dossierConfig, SystemInfoSources sources = {});

    // The network name of the machine.
    std::string ComputerName();

    // The program's folder + "Windows", without a final "/".
    std::string GetWinDir();

    // For example "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64 x86_64)". Sets
    // OsVersionCode to 10: every Linux counts as a recent system (no theme advice).
    std::string GetOSDisplayString();

    // 0 until GetOSDisplayString has run.
    int OsVersionCode() const { return m_osVersionCode; }

    // 2, the line of systems whose default registry root is the current user's.
    static int PlatformId() { return kPlatformNt; }

    // The build date and time decoded from the version numbers.
    DateTime DateApplication();

    // DateApplication as yyyy.MMdd.HHmm, for example 2026.1207.0915.
    std::string VersionApplication();

    // The product name of the program's version information.
    static std::string ProductName();

  private:
    static constexpr int kPlatformNt = 2;

    ErrorHandler& m_errors;
    std::string m_dossierConfig;
    SystemInfoSources m_sources;
    int m_osVersionCode = 0;
};

}  // namespace ks
