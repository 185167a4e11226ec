#include "engine/key_bytes.h"

#include <algorithm>

#include "ks/engine/btr_codes.h"

namespace ks::engine {
namespace {

void Fold(char* bytes, std::size_t length, char from, char to) {
    for (std::size_t i = 0; i < length; ++i) {
        if (bytes[i] >= from && bytes[i] <= static_cast<char>(from + 25)) {
            bytes[i] = static_cast<char>(bytes[i] - from + to);
        }
    }
}

// One segment's bytes, in place, into their indexed form.
void EncodeSegment(const KeySegment& segment, char* bytes) {
    const std::size_t length = segment.length;
    const std::uint8_t type =
        (segment.flags & key_flag::kExtendedType) != 0 ? segment.type : key_type::kString;
    switch (type) {
        case key_type::kInteger:
        case key_type::kAutoIncrement:
            std::reverse(bytes, bytes + length);
            bytes[0] = static_cast<char>(bytes[0] ^ '\x80');
            return;
        case key_type::kUnsigned:
            std::reverse(bytes, bytes + length);
            return;
        case key_type::kZString:
            // What follows the end of the string is not part of the key.
            std::fill(std::find(bytes, bytes + length, '\0'), bytes + length, '\0');
            break;
        default:
            break;
    }
    if ((segment.flags & key_flag::kCaseInsensitive) != 0) {
        Fold(bytes, length, 'a', 'A');
    } else if ((segment.flags & key_flag::kAlternateCollation) != 0) {
        Fold(bytes, length, 'A', 'a');
    }
}

// The key's segments taken from the record one after the other into `bytes`.
void AppendKeyOfRecord(const KeyDef& key, std::string_view record, std::string& bytes) {
    for (const auto& segment : key.segments) {
        const std::size_t start = segment.position - 1U;
        // The file's shape keeps segments inside the record; a short record gives zeros.
        const std::size_t present =
            start < record.size() ? std::min<std::size_t>(segment.length, record.size() - start)
                                  : 0;
        if (present > 0) {
            bytes.append(record.substr(start, present));
        }
        bytes.append(segment.length - present, '\0');
    }
}

}  // namespace

std::string KeyOfRecord(const KeyDef& key, std::string_view record) {
    std::string bytes;
    bytes.reserve(key.Length());
    AppendKeyOfRecord(key, record, bytes);
    return bytes;
}

void FoldKeyOfRecord(const KeyDef& key, std::string_view record, std::string& out) {
    out.clear();
    AppendKeyOfRecord(key, record, out);
    std::size_t offset = 0;
    for (const auto& segment : key.segments) {
        EncodeSegment(segment, out.data() + offset);
        offset += segment.length;
    }
}

std::string FoldKey(const KeyDef& key, std::string_view keyBytes) {
    std::string folded(keyBytes);
    std::size_t offset = 0;
    for (const auto& segment : key.segments) {
        // Callers hand whole keys; a cut one keeps its last segment as it is.
        if (offset + segment.length > folded.size()) {
            break;
        }
        EncodeSegment(segment, folded.data() + offset);
        offset += segment.length;
    }
    return folded;
}

}  // namespace ks::engine
