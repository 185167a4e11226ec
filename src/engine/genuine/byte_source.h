// Where the genuine-file reader takes its bytes from: a file on disk for an import, or bytes
// in memory for the fuzzer. Every read names its offset and size, and a read that does not
// lie wholly inside the source fails instead of reading past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace ks::engine::genuine {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // False when [offset, offset + size) is not inside the source or cannot be read.
    virtual bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) = 0;
};

class FileByteSource final : public ByteSource {
  public:
    explicit FileByteSource(const std::filesystem::path& path);
    bool Opened() const { return m_opened; }
    std::uint64_t Size() const override { return m_size; }
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;

  private:
    std::ifstream m_file;
    std::uint64_t m_size = 0;
    bool m_opened = false;
};

class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::string_view bytes) : m_bytes(bytes) {}
    std::uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) override;

  private:
    std::string_view m_bytes;
};

}  // namespace ks::engine::genuine
