#include "engine/side_files.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace ks::engine {

namespace {

constexpr std::uint32_t kMagicLittleEndian = 0x377f0682;
constexpr std::uint32_t kMagicBigEndian = 0x377f0683;
constexpr std::uint32_t kLogVersion = 3007000;
constexpr std::size_t kLogHeaderSize = 32;
constexpr std::size_t kFrameHeaderSize = 24;

std::uint32_t Word(const unsigned char* bytes, bool bigEndian) {
    if (bigEndian) {
        return ReadBigEndian32(bytes);
    }
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8U |
           static_cast<std::uint32_t>(bytes[2]) << 16U |
           static_cast<std::uint32_t>(bytes[3]) << 24U;
}

// SQLite's running checksum of the log: pairs of 32-bit words, in the byte order the log's
// magic number names.
struct Checksum {
    std::uint32_t s0 = 0;
    std::uint32_t s1 = 0;

    void Add(const unsigned char* bytes, std::size_t size, bool bigEndian) {
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            s0 += Word(bytes + i, bigEndian) + s1;
            s1 += Word(bytes + i + 4, bigEndian) + s0;
        }
    }
    bool Matches(const unsigned char* stored) const {
        return ReadBigEndian32(stored) == s0 && ReadBigEndian32(stored + 4) == s1;
    }
};

}  // namespace

std::uint32_t ReadBigEndian32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24U |
           static_cast<std::uint32_t>(bytes[1]) << 16U |
           static_cast<std::uint32_t>(bytes[2]) << 8U | static_cast<std::uint32_t>(bytes[3]);
}

std::filesystem::path SideFile(const std::filesystem::path& table, const char* suffix) {
    std::filesystem::path side = table;
    side += suffix;
    return side;
}

LogVerdict InspectLog(const std::filesystem::path& log, std::uint32_t tableMark) {
    std::ifstream in(log, std::ios::binary);
    unsigned char header[kLogHeaderSize] = {};
    if (!in || !in.read(reinterpret_cast<char*>(header), sizeof header)) {
        return LogVerdict::kNothingCommitted;
    }
    const std::uint32_t magic = ReadBigEndian32(header);
    const std::uint32_t pageSize = ReadBigEndian32(header + 8);
    if ((magic != kMagicLittleEndian && magic != kMagicBigEndian) ||
        ReadBigEndian32(header + 4) != kLogVersion || pageSize < 512 || pageSize > 65536 ||
        (pageSize & (pageSize - 1)) != 0) {
        return LogVerdict::kNothingCommitted;
    }
    const bool bigEndian = magic == kMagicBigEndian;
    Checksum sum;
    sum.Add(header, 24, bigEndian);
    if (!sum.Matches(header + 24)) {
        return LogVerdict::kNothingCommitted;
    }
    std::vector<unsigned char> frame(kFrameHeaderSize + pageSize);
    bool anyCommit = false;
    bool foreign = false;
    bool markSeen = false;
    bool pendingForeign = false;
    bool pendingMark = false;
    while (in.read(reinterpret_cast<char*>(frame.data()),
                   static_cast<std::streamsize>(frame.size()))) {
        const unsigned char* page = frame.data() + kFrameHeaderSize;
        const std::uint32_t pageNumber = ReadBigEndian32(frame.data());
        // A frame of another generation of the log, or one half written, ends what SQLite
        // would read.
        if (pageNumber == 0 || !std::equal(header + 16, header + 24, frame.data() + 8)) {
            break;
        }
        Checksum next = sum;
        next.Add(frame.data(), 8, bigEndian);
        next.Add(page, pageSize, bigEndian);
        if (!next.Matches(frame.data() + 16)) {
            break;
        }
        sum = next;
        if (pageNumber == 1) {
            pendingMark = true;
            pendingForeign = pendingForeign || ReadBigEndian32(page + kMarkOffset) != tableMark;
        }
        if (ReadBigEndian32(frame.data() + 4) != 0) {  // the last frame of a commit
            anyCommit = true;
            markSeen = markSeen || pendingMark;
            foreign = foreign || pendingForeign;
            pendingMark = false;
            pendingForeign = false;
        }
    }
    if (!anyCommit) {
        return LogVerdict::kNothingCommitted;
    }
    return markSeen && !foreign ? LogVerdict::kBelongs : LogVerdict::kForeign;
}

}  // namespace ks::engine
