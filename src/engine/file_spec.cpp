#include "ks/engine/file_spec.h"

#include "ks/engine/btr_codes.h"

namespace ks::engine {
namespace {

std::uint16_t Read16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

void Write16(std::string& out, std::size_t offset, std::uint32_t value) {
    out[offset] = static_cast<char>(value & 0xFF);
    out[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

constexpr std::uint16_t kSupportedKeyFlags =
    key_flag::kDuplicates | key_flag::kModifiable | key_flag::kBinary | key_flag::kSegmented |
    key_flag::kAlternateCollation | key_flag::kExtendedType | key_flag::kCaseInsensitive;
constexpr std::size_t kTypeOffset = 10;

bool NumberLength(std::uint16_t length) {
    return length == 1 || length == 2 || length == 4 || length == 8;
}

bool ValidPageSize(std::uint16_t pageSize) {
    return pageSize >= 512 && pageSize <= 16384 && pageSize % 512 == 0;
}

}  // namespace

bool KeyDef::Duplicates() const {
    return !segments.empty() && (segments.front().flags & key_flag::kDuplicates) != 0;
}

bool KeyDef::Modifiable() const {
    return !segments.empty() && (segments.front().flags & key_flag::kModifiable) != 0;
}

std::size_t KeyDef::Length() const {
    std::size_t length = 0;
    for (const auto& segment : segments) {
        length += segment.length;
    }
    return length;
}

bool FileSpec::Variable() const {
    return (fileFlags & file_flag::kVariableLength) != 0;
}

std::int16_t CheckSegment(const KeySegment& segment) {
    if ((segment.flags & ~kSupportedKeyFlags) != 0) {
        return status::kInvalidOperation;
    }
    const bool collated =
        (segment.flags & (key_flag::kCaseInsensitive | key_flag::kAlternateCollation)) != 0;
    if ((segment.flags & key_flag::kCaseInsensitive) != 0 &&
        (segment.flags & key_flag::kAlternateCollation) != 0) {
        return status::kInvalidOperation;
    }
    const std::uint8_t type =
        (segment.flags & key_flag::kExtendedType) != 0 ? segment.type : key_type::kString;
    switch (type) {
        case key_type::kString:
        case key_type::kZString:
            return status::kSuccess;
        case key_type::kInteger:
        case key_type::kUnsigned:
            if (collated) {
                return status::kInvalidOperation;
            }
            return NumberLength(segment.length) ? status::kSuccess : status::kInvalidKeyLength;
        case key_type::kAutoIncrement:
            if (collated) {
                return status::kInvalidOperation;
            }
            return NumberLength(segment.length) && segment.length > 1 ? status::kSuccess
                                                                      : status::kInvalidKeyLength;
        default:
            return status::kInvalidOperation;
    }
}

std::size_t FileSpec::SegmentCount() const {
    std::size_t count = 0;
    for (const auto& key : keys) {
        count += key.segments.size();
    }
    return count;
}

std::int16_t ParseFileSpec(const std::uint8_t* buffer, std::size_t size, FileSpec& shape) {
    if (buffer == nullptr || size < kSpecHeaderSize) {
        return status::kDataBufferTooShort;
    }
    FileSpec parsed;
    parsed.recordLength = Read16(buffer);
    parsed.pageSize = Read16(buffer + 2);
    const std::uint16_t keyCount = Read16(buffer + 4);
    parsed.fileFlags = Read16(buffer + 10);
    if (parsed.recordLength == 0) {
        return status::kInvalidRecordLength;
    }
    if (!ValidPageSize(parsed.pageSize)) {
        return status::kPageSizeError;
    }
    std::size_t offset = kSpecHeaderSize;
    for (std::uint16_t k = 0; k < keyCount; ++k) {
        KeyDef key;
        bool more = true;
        while (more) {
            if (offset + kKeySpecSize > size) {
                return status::kDataBufferTooShort;
            }
            KeySegment segment{Read16(buffer + offset), Read16(buffer + offset + 2),
                               Read16(buffer + offset + 4), 0};
            if ((segment.flags & key_flag::kExtendedType) != 0) {
                segment.type = buffer[offset + kTypeOffset];
            }
            offset += kKeySpecSize;
            if (segment.length == 0) {
                return status::kInvalidKeyLength;
            }
            if (const auto checked = CheckSegment(segment); checked != status::kSuccess) {
                return checked;
            }
            if (segment.position == 0 ||
                segment.position + segment.length - 1U > parsed.recordLength) {
                return status::kInvalidKeyPosition;
            }
            more = (segment.flags & key_flag::kSegmented) != 0;
            key.segments.push_back(segment);
        }
        if (key.Length() > kMaxKeyLength) {
            return status::kInvalidKeyLength;
        }
        parsed.keys.push_back(std::move(key));
    }
    shape = std::move(parsed);
    return status::kSuccess;
}

std::string EncodeFileSpec(const FileSpec& shape, std::uint32_t recordCount) {
    std::string out(kSpecHeaderSize + kKeySpecSize * shape.SegmentCount(), '\0');
    Write16(out, 0, shape.recordLength);
    Write16(out, 2, shape.pageSize);
    Write16(out, 4, static_cast<std::uint32_t>(shape.keys.size()));
    Write16(out, 6, recordCount & 0xFFFF);
    Write16(out, 8, recordCount >> 16);
    Write16(out, 10, shape.fileFlags);
    std::size_t offset = kSpecHeaderSize;
    for (const auto& key : shape.keys) {
        for (const auto& segment : key.segments) {
            Write16(out, offset, segment.position);
            Write16(out, offset + 2, segment.length);
            Write16(out, offset + 4, segment.flags);
            out[offset + kTypeOffset] = static_cast<char>(segment.type);
            offset += kKeySpecSize;
        }
    }
    return out;
}

}  // namespace ks::engine
