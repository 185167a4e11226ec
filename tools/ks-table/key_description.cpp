#include "ks-table/key_description.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <vector>

#include "ks/engine/btr_codes.h"

namespace ks::engine::tool {
namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

struct TypeName {
    std::uint8_t type;
    std::string_view name;
};
constexpr TypeName kTypeNames[] = {{key_type::kZString, "zstr"},
                                   {key_type::kInteger, "int"},
                                   {key_type::kUnsigned, "uint"},
                                   {key_type::kAutoIncrement, "autoinc"}};

bool ParseNumber(std::string_view text, std::uint16_t& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseKeyDescription(std::string_view text, KeyDef& key, std::string& error) {
    KeyDef parsed;
    std::uint16_t keyFlags = 0;
    for (const auto segmentText : Split(text, '+')) {
        const auto fields = Split(segmentText, ':');
        KeySegment segment;
        if (fields.size() < 2 || fields.size() > 3 || !ParseNumber(fields[0], segment.position) ||
            !ParseNumber(fields[1], segment.length) || segment.position == 0 ||
            segment.length == 0) {
            error = "bad key segment \"" + std::string(segmentText) +
                    "\" (expected POSITION:LENGTH[:FLAGS], both from 1)";
            return false;
        }
        if (fields.size() == 3 && !fields[2].empty()) {
            for (const auto flag : Split(fields[2], ',')) {
                if (flag == "dup") {
                    keyFlags |= key_flag::kDuplicates;
                } else if (flag == "mod") {
                    keyFlags |= key_flag::kModifiable;
                } else if (flag == "nocase") {
                    segment.flags |= key_flag::kCaseInsensitive;
                } else if (flag == "lower") {
                    segment.flags |= key_flag::kAlternateCollation;
                } else if (flag == "bin") {
                    segment.flags |= key_flag::kBinary;
                } else if (const auto* named = std::find_if(
                               std::begin(kTypeNames), std::end(kTypeNames),
                               [flag](const TypeName& type) { return type.name == flag; });
                           named != std::end(kTypeNames)) {
                    segment.flags |= key_flag::kExtendedType;
                    segment.type = named->type;
                } else {
                    error = "unknown key flag \"" + std::string(flag) +
                            "\" (known: dup, mod, nocase, lower, bin, zstr, int, uint, autoinc)";
                    return false;
                }
            }
        }
        parsed.segments.push_back(segment);
    }
    for (std::size_t i = 0; i < parsed.segments.size(); ++i) {
        parsed.segments[i].flags |= keyFlags;
        if (i + 1 < parsed.segments.size()) {
            parsed.segments[i].flags |= key_flag::kSegmented;
        }
    }
    key = std::move(parsed);
    return true;
}

std::string FormatKeyDescription(const KeyDef& key) {
    std::string text;
    for (const auto& segment : key.segments) {
        if (!text.empty()) {
            text += '+';
        }
        text += std::to_string(segment.position) + ':' + std::to_string(segment.length);
        std::string flags;
        auto add = [&flags](std::uint16_t bits, std::uint16_t bit, const char* name) {
            if ((bits & bit) != 0) {
                flags += flags.empty() ? "" : ",";
                flags += name;
            }
        };
        add(segment.flags, key_flag::kDuplicates, "dup");
        add(segment.flags, key_flag::kModifiable, "mod");
        add(segment.flags, key_flag::kCaseInsensitive, "nocase");
        add(segment.flags, key_flag::kAlternateCollation, "lower");
        add(segment.flags, key_flag::kBinary, "bin");
        for (const auto& named : kTypeNames) {
            if ((segment.flags & key_flag::kExtendedType) != 0 && segment.type == named.type) {
                add(key_flag::kExtendedType, key_flag::kExtendedType, named.name.data());
            }
        }
        if (!flags.empty()) {
            text += ':' + flags;
        }
    }
    return text;
}

}  // namespace ks::engine::tool
