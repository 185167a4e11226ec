#include "engine/genuine/byte_source.h"

#include <cstring>
#include <system_error>

namespace ks::engine::genuine {
namespace {

bool Inside(std::uint64_t offset, std::size_t size, std::uint64_t total) {
    return offset <= total && size <= total - offset;
}

}  // namespace

FileByteSource::FileByteSource(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return;
    }
    const auto size = std::filesystem::file_size(path, error);
    m_file.open(path, std::ios::binary);
    m_opened = !error && m_file.is_open();
    m_size = m_opened ? size : 0;
}

bool FileByteSource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    if (!m_opened || !Inside(offset, size, m_size)) {
        return false;
    }
    m_file.clear();
    m_file.seekg(static_cast<std::streamoff>(offset));
    m_file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(m_file.gcount()) == size;
}

bool MemoryByteSource::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    if (!Inside(offset, size, m_bytes.size())) {
        return false;
    }
    std::memcpy(out, m_bytes.data() + offset, size);
    return true;
}

}  // namespace ks::engine::genuine
