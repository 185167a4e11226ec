// The record buffers: one per table file the loader reads or writes, holding the record's
// bytes in their stored layout. A read fills the buffer of the file it names and an insert
// sends it, so a record read from the source station is the very buffer the insert into the
// destination sends, with no copy in between.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/db/db_limits.h"
#include "core/db/record_layout.h"

namespace ks {

// A text field of a record: 1-based position and width in bytes.
struct FieldRef {
    std::uint16_t position;
    std::uint16_t width;
};

class RecordBuffer {
  public:
    explicit RecordBuffer(const RecordLayout& layout);

    int File() const { return m_layout->file; }
    const RecordLayout& Layout() const { return *m_layout; }
    std::size_t Size() const { return m_bytes.size(); }
    std::uint8_t* Data() { return m_bytes.data(); }
    const std::uint8_t* Data() const { return m_bytes.data(); }
    std::span<const std::uint8_t> Bytes() const { return m_bytes; }

    // The bytes of a field as text. A field outside the record throws ks::Failure.
    std::string Text(FieldRef field) const;
    // Writes `value` into the field, cut to its width or padded with blanks.
    void SetText(FieldRef field, std::string_view value);

    // Little-endian integers at a 1-based position.
    std::int16_t Int16(std::uint16_t position) const;
    void SetInt16(std::uint16_t position, std::int16_t value);
    std::int32_t Int32(std::uint16_t position) const;
    void SetInt32(std::uint16_t position, std::int32_t value);

    // All bytes set to zero.
    void Clear();
    // The bytes that belong to no field of the layout set to zero, as every insert and
    // update sends them.
    void ZeroUnownedBytes();

  private:
    std::size_t Offset(std::uint16_t position, std::size_t width) const;

    const RecordLayout* m_layout;
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::pair<std::size_t, std::size_t>> m_unowned;  // offset, length
};

class RecordBuffers {
  public:
    RecordBuffers();

    // The buffer of `file`, nullptr when the file has none.
    RecordBuffer* Find(int file);
    const RecordBuffer* Find(int file) const;
    // The buffer of `file`; a file without one throws ks::Failure.
    RecordBuffer& At(int file);

  private:
    std::array<std::unique_ptr<RecordBuffer>, kFileCount> m_buffers;
};

}  // namespace ks
