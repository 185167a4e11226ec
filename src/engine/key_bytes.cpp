#include "engine/key_bytes.h"

#include "engine/btr_codes.h"

namespace ks::engine {

std::string KeyOfRecord(const KeyDef& key, std::string_view record) {
    std::string bytes;
    bytes.reserve(key.Length());
    for (const auto& segment : key.segments) {
        const std::size_t start = segment.position - 1U;
        // The file's shape keeps segments inside the record; a short record gives zeros.
        for (std::size_t i = 0; i < segment.length; ++i) {
            bytes += start + i < record.size() ? record[start + i] : '\0';
        }
    }
    return bytes;
}

std::string FoldKey(const KeyDef& key, std::string_view keyBytes) {
    std::string folded(keyBytes);
    std::size_t offset = 0;
    for (const auto& segment : key.segments) {
        if ((segment.flags & key_flag::kCaseInsensitive) != 0) {
            for (std::size_t i = offset; i < offset + segment.length && i < folded.size(); ++i) {
                if (folded[i] >= 'a' && folded[i] <= 'z') {
                    folded[i] = static_cast<char>(folded[i] - 'a' + 'A');
                }
            }
        }
        offset += segment.length;
    }
    return folded;
}

}  // namespace ks::engine
