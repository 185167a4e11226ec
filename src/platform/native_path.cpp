#include "platform/native_path.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "platform/cp1252.h"

namespace ks {
namespace fs = std::filesystem;

char UpperCp1252(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') {
        return static_cast<char>(b - 0x20);
    }
    if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {
        return static_cast<char>(b - 0x20);
    }
    switch (b) {
        case 0x9A:  // š
        case 0x9C:  // œ
        case 0x9E:  // ž
            return static_cast<char>(b - 0x10);
        case 0xFF:  // ÿ
            return static_cast<char>(0x9F);
        default:
            return c;
    }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperCp1252(x) == UpperCp1252(y);
           });
}

namespace {

// The entry of `folder` equal to `name` without regard to case, the first in byte order.
std::optional<fs::path> FindNoCase(const fs::path& folder, std::string_view name) {
    std::error_code error;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error);
    if (error) {
        return std::nullopt;
    }
    std::optional<std::string> best;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const std::string native = it->path().filename().string();
        const auto entry = TryUtf8ToCp1252(native);
        if (entry && EqualsNoCase(*entry, name) && (!best || native < *best)) {
            best = native;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return fs::path(*best);
}

}  // namespace

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    // Iterative matching with one backtrack point: linear in practice, never recursive. A "*"
    // of the pattern is tested first: it is a wildcard even where the name holds a "*", which
    // Linux names may.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || UpperCp1252(pattern[p]) == UpperCp1252(name[n]))) {
            ++n;
            ++p;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

fs::path NativePath(std::string_view path) {
    const std::string utf8 = Cp1252ToUtf8(path);
    fs::path asWritten(utf8);  // not const: returned by move
    std::error_code error;
    if (utf8.empty() || fs::exists(fs::symlink_status(asWritten, error))) {
        return asWritten;
    }
    // Walk the components, replacing each missing one by its case-insensitive match; once a
    // component has no match at all, the rest is kept as written.
    fs::path resolved;
    bool matching = true;
    for (const auto& part : asWritten) {
        fs::path next = resolved / part;
        if (matching && !part.empty() && part != "/" && part != "." && part != ".." &&
            !fs::exists(fs::symlink_status(next, error))) {
            const auto name = TryUtf8ToCp1252(part.string());
            const auto match = name ? FindNoCase(resolved, *name) : std::nullopt;
            if (match) {
                next = resolved / *match;
            } else {
                matching = false;
            }
        }
        resolved = std::move(next);
    }
    return resolved;
}

std::optional<std::string> FromNativePath(const fs::path& path) {
    return TryUtf8ToCp1252(path.string());
}

}  // namespace ks
