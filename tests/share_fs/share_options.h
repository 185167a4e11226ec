// The command line of ks-test-share: the folder it shows, where, and the faults it plays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ks::test {

// A fault tied to the files of one name (without folder, any case; "*" is every file).
struct FileFault {
    enum class Kind { Delay, Hang, Eio, Vanish };
    Kind kind = Kind::Delay;
    std::string name;
    std::uint64_t value = 0;  // milliseconds for Delay, the file offset for the others
};

struct ShareOptions {
    std::string source;
    std::string mountPoint;
    std::uint64_t bytesPerSecond = 0;  // 0: no limit
    std::vector<FileFault> faults;
    bool hangLookups = false;
};

inline constexpr const char* kShareUsage =
    "usage: ks-test-share SOURCE MOUNTPOINT [--rate BYTES_PER_S] [--delay-reads NAME:MS]\n"
    "                     [--hang-reads NAME[:OFFSET]] [--eio NAME:OFFSET] [--vanish NAME:OFFSET]\n"
    "                     [--hang-lookups]\n"
    "Shows SOURCE read-only at MOUNTPOINT until unmounted or killed. NAME is a file name\n"
    "without folder, in any case, or * for every file; the file options may be repeated.\n";

// The options of `args` (the arguments after the program's name); nullopt when they are not
// understood.
std::optional<ShareOptions> ParseShareOptions(const std::vector<std::string>& args);

// True when `fileName` is the file `pattern` names.
bool NameMatches(const std::string& pattern, const std::string& fileName);

}  // namespace ks::test
