// The nine-line header block that opens the trace of each day and of each run: uptime,
// program version and file, product, computer, theme and operating system.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ks {

// Where the header finds its facts. The system information and the registry are separate
// objects wired in by the program; an unset source gives an empty text.
struct TraceHeaderSources {
    std::function<std::string()> VersionApplication;  // "2026.1207.0915"
    std::function<std::string()> ExeFolder;           // the program's folder ("/" added)
    std::function<std::string()> ExeBaseName;         // the executable's name without folder
    std::function<std::string()> ProductName;
    std::function<std::string()> ComputerName;
    std::function<std::string()> ThemeActive;  // the registry value text; missing reads ""
    std::function<std::string()> GetOSDisplayString;
};

// The facts once read.
struct TraceHeaderValues {
    std::string uptime;
    std::string version;
    std::string exeFolder;
    std::string exeBaseName;
    std::string productName;
    std::string computerName;
    std::string themeActive;
    std::string osDisplay;
};

// "WinClassic" when the registry value reads as the number 0 (missing included), else
// "WinXP".
std::string ThemeName(std::string_view themeActive);

// The nine lines, each ended by CR LF. The executable line keeps the ".exe" the program has
// always written after its base name, so logs read the same on every machine.
std::string TraceHeaderBlock(const TraceHeaderValues& values);

}  // namespace ks
