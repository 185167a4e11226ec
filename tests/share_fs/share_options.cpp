// Reads the command line of ks-test-share.
#include "share_fs/share_options.h"

#include <strings.h>

#include <charconv>

namespace ks::test {
namespace {

std::optional<std::uint64_t> Number(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// "NAME:NUMBER" (the last colon splits, so that a name may hold one); a lone NAME gives
// `fallback` when there is one.
std::optional<FileFault> Fault(FileFault::Kind kind, const std::string& text,
                               std::optional<std::uint64_t> fallback) {
    const std::size_t colon = text.rfind(':');
    std::optional<std::uint64_t> value = fallback;
    std::string name = text;
    if (colon != std::string::npos) {
        name = text.substr(0, colon);
        value = Number(text.substr(colon + 1));
    }
    if (name.empty() || !value) {
        return std::nullopt;
    }
    return FileFault{kind, name, *value};
}

}  // namespace

std::optional<ShareOptions> ParseShareOptions(const std::vector<std::string>& args) {
    ShareOptions options;
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--hang-lookups") {
            options.hangLookups = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            folders.push_back(arg);
            continue;
        }
        if (i + 1 == args.size()) {
            return std::nullopt;
        }
        const std::string& value = args[++i];
        std::optional<FileFault> fault;
        if (arg == "--rate") {
            const auto rate = Number(value);
            if (!rate || *rate == 0) {
                return std::nullopt;
            }
            options.bytesPerSecond = *rate;
            continue;
        }
        if (arg == "--delay-reads") {
            fault = Fault(FileFault::Kind::Delay, value, std::nullopt);
        } else if (arg == "--hang-reads") {
            fault = Fault(FileFault::Kind::Hang, value, 0);
        } else if (arg == "--eio") {
            fault = Fault(FileFault::Kind::Eio, value, std::nullopt);
        } else if (arg == "--vanish") {
            fault = Fault(FileFault::Kind::Vanish, value, std::nullopt);
        }
        if (!fault) {
            return std::nullopt;
        }
        options.faults.push_back(*fault);
    }
    if (folders.size() != 2) {
        return std::nullopt;
    }
    options.source = folders[0];
    options.mountPoint = folders[1];
    return options;
}

bool NameMatches(const std::string& pattern, const std::string& fileName) {
    return pattern == "*" || strcasecmp(pattern.c_str(), fileName.c_str()) == 0;
}

}  // namespace ks::test
