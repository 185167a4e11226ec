#include "ks-table/record_escape.h"

namespace ks::engine::tool {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::string EscapeRecord(std::string_view record) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(record.size() + record.size() / 4);
    for (const char c : record) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte <= 0x7E) {
            text += c;
        } else {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0x0F];
        }
    }
    return text;
}

std::optional<std::string> UnescapeRecord(std::string_view line) {
    std::string record;
    record.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\') {
            record += line[i];
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == '\\') {
            record += '\\';
            ++i;
            continue;
        }
        if (i + 3 < line.size() && line[i + 1] == 'x') {
            const int high = HexValue(line[i + 2]);
            const int low = HexValue(line[i + 3]);
            if (high >= 0 && low >= 0) {
                record += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        return std::nullopt;
    }
    return record;
}

}  // namespace ks::engine::tool
