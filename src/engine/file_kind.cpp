#include "ks/engine/file_kind.h"

#include <array>
#include <cstring>
#include <fstream>
#include <system_error>

#include "engine/side_files.h"
#include "engine/table_file.h"

namespace ks::engine {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kHeaderSize = 100;

std::int32_t BigEndian32(const unsigned char* bytes) {
    return static_cast<std::int32_t>((std::uint32_t{bytes[0]} << 24) |
                                     (std::uint32_t{bytes[1]} << 16) |
                                     (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]});
}

}  // namespace

bool IsTableHeader(const unsigned char* header, std::int64_t fileSize) {
    // Any other file, an empty one, another SQLite database is not a table file of ours.
    static constexpr char kMagic[] = "SQLite format 3";  // with its ending 0: 16 bytes
    return fileSize >= static_cast<std::int64_t>(kHeaderSize) &&
           std::memcmp(header, kMagic, sizeof kMagic) == 0 &&
           BigEndian32(header + 68) == kTableApplicationId;
}

TableFileKind KindOfTableFile(const fs::path& file) {
    std::array<unsigned char, kHeaderSize> header{};
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(header.data()), header.size());
    const std::streamsize got = in.gcount();
    // A genuine file starts with its file control record, "FC".
    if (got >= 2 && header[0] == 'F' && header[1] == 'C') {
        return TableFileKind::kGenuine;
    }
    std::error_code error;
    const bool log = fs::exists(SideFile(file, kLogSuffix), error);
    // A table made by a process that still has it open may have every page in its log and
    // none yet in the file.
    if (log && (got == 0 || IsTableHeader(header.data(), got))) {
        return TableFileKind::kOursWithLiveLog;
    }
    return IsTableHeader(header.data(), got) ? TableFileKind::kOurs : TableFileKind::kUnknown;
}

}  // namespace ks::engine
