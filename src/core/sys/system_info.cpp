#include "core/sys/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/base/error_handler.h"
#include "core/base/failure.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks {
namespace {

// Every Linux is reported as the most recent Windows line: the theme advice for old systems
// never applies.
constexpr int kLinuxVersionCode = 10;

// Host names are at most 64 bytes on Linux; the buffer leaves room for the final NUL.
constexpr std::size_t kHostNameBuffer = 256;

int NumberOf(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return (ec == std::errc{} && end == text.data() + text.size()) ? value : 0;
}

// The value of an os-release assignment: quotes removed and backslash escapes undone.
std::string Unquote(std::string_view raw) {
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') &&
        raw.back() == raw.front()) {
        raw = raw.substr(1, raw.size() - 2);
    }
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            ++i;
        }
        value += raw[i];
    }
    return value;
}

// The name of the distribution from the first release file that can be read: PRETTY_NAME,
// or NAME and VERSION when it has none.
std::optional<std::string> DistributionName(const std::vector<std::string>& files) {
    for (const auto& file : files) {
        std::ifstream in(NativePath(file));
        if (!in) {
            continue;
        }
        std::string pretty;
        std::string name;
        std::string version;
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t equals = line.find('=');
            if (equals == std::string::npos) {
                continue;
            }
            const std::string_view key = std::string_view(line).substr(0, equals);
            const std::string value = Unquote(Trim(std::string_view(line).substr(equals + 1)));
            if (key == "PRETTY_NAME") {
                pretty = value;
            } else if (key == "NAME") {
                name = value;
            } else if (key == "VERSION") {
                version = value;
            }
        }
        if (!pretty.empty()) {
            return Utf8ToCp1252(pretty);
        }
        if (!name.empty()) {
            if (!version.empty()) {
                name += " ";
                name += version;
            }
            return Utf8ToCp1252(name);
        }
    }
    return std::nullopt;
}

}  // namespace

VersionNumbers BuildVersion() {
    return VersionNumbers{NumberOf(KS_BUILD_YEAR), NumberOf(KS_BUILD_MMDD),
                          NumberOf(KS_BUILD_HHMM)};
}

SystemInfo::SystemInfo(ErrorHandler& errors, std::string dossierConfig, SystemInfoSources sources)
    : m_errors(errors), m_dossierConfig(std::move(dossierConfig)), m_sources(std::move(sources)) {}

std::string SystemInfo::ComputerName() {
    std::string result;
    m_errors.Guard("Lib_Systeme:ComputerName", [&] {
        std::array<char, kHostNameBuffer> buffer{};
        if (gethostname(buffer.data(), buffer.size() - 1) != 0) {
            throw std::system_error(errno, std::generic_category(), "gethostname");
        }
        result = Utf8ToCp1252(buffer.data());  // up to the first NUL
    });
    return result;
}

std::string SystemInfo::GetWinDir() {
    std::string result;
    m_errors.Guard("Lib_Systeme:GetWinDir", [&] {
        result = m_dossierConfig;
        if (!result.empty() && result.back() != '/') {
            result += '/';
        }
        result += "Windows";
    });
    return result;
}

std::string SystemInfo::GetOSDisplayString() {
    std::string distribution;
    std::string kernel;
    m_errors.Guard("Lib_Systeme:GetOSDisplayString", [&] {
        m_osVersionCode = kLinuxVersionCode;
        distribution = DistributionName(m_sources.OsReleaseFiles).value_or("");
    });
    m_errors.Guard("Lib_Systeme:GetOSDisplayString", [&] {
        utsname names{};
        if (uname(&names) != 0) {
            throw std::system_error(errno, std::generic_category(), "uname");
        }
        kernel =
            Utf8ToCp1252(std::string(names.sysname) + " " + names.release + " " + names.machine);
    });
    if (distribution.empty()) {
        return kernel;
    }
    return kernel.empty() ? distribution : distribution + " (" + kernel + ")";
}

DateTime SystemInfo::DateApplication() {
    DateTime result;
    m_errors.Guard("Lib_Systeme:DateApplication", [&] {
        const VersionNumbers& v = m_sources.Version;
        if (v.Minor < 0 || v.Minor > 9999 || v.Revision < 0 || v.Revision > 9999) {
            throw Failure(kErrInvalidCall, "Invalid procedure call or argument");
        }
        // The minor and revision numbers are read as four digits: 915 is 09:15.
        const DateTime date{
            v.Major, v.Minor / 100, v.Minor % 100, v.Revision / 100, v.Revision % 100, 0, 0};
        if (!IsValid(date)) {
            throw Failure(kErrInvalidCall, "Invalid procedure call or argument");
        }
        result = date;
    });
    return result;
}

std::string SystemInfo::VersionApplication() {
    std::string result;
    m_errors.Guard("Lib_Systeme:VersionApplication", [&] {
        const DateTime date = DateApplication();
        result = N2S(date.year, 4, 0, "0", &m_errors) + "." +
                 N2S(date.month, 2, 0, "0", &m_errors) + N2S(date.day, 2, 0, "0", &m_errors) + "." +
                 N2S(date.hour, 2, 0, "0", &m_errors) + N2S(date.minute, 2, 0, "0", &m_errors);
    });
    return result;
}

std::string SystemInfo::ProductName() {
    return KS_PRODUCT_NAME;
}

}  // namespace ks
