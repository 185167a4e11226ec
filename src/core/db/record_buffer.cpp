#include "core/db/record_buffer.h"

#include <algorithm>
#include <cstring>

#include "core/base/failure.h"

namespace ks {

RecordBuffer::RecordBuffer(const RecordLayout& layout)
    : m_layout(&layout), m_bytes(layout.recordLength, 0) {
    std::vector<bool> owned(m_bytes.size(), false);
    for (const LayoutField& field : ExpandLayout(layout)) {
        const std::size_t start = field.position - 1U;
        for (std::size_t i = start; i < start + field.width && i < owned.size(); ++i) {
            owned[i] = true;
        }
    }
    for (std::size_t i = 0; i < owned.size();) {
        if (owned[i]) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < owned.size() && !owned[i]) {
            ++i;
        }
        m_unowned.emplace_back(start, i - start);
    }
}

std::size_t RecordBuffer::Offset(std::uint16_t position, std::size_t width) const {
    if (position < 1 || position - 1U + width > m_bytes.size()) {
        throw Failure(kErrSubscriptOutOfRange, "Subscript out of range");
    }
    return position - 1U;
}

std::string RecordBuffer::Text(FieldRef field) const {
    const std::size_t offset = Offset(field.position, field.width);
    return {reinterpret_cast<const char*>(m_bytes.data() + offset), field.width};
}

void RecordBuffer::SetText(FieldRef field, std::string_view value) {
    const std::size_t offset = Offset(field.position, field.width);
    const std::size_t copied = std::min<std::size_t>(value.size(), field.width);
    std::memcpy(m_bytes.data() + offset, value.data(), copied);
    std::fill_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset + copied),
                field.width - copied, static_cast<std::uint8_t>(' '));
}

std::int16_t RecordBuffer::Int16(std::uint16_t position) const {
    const std::size_t offset = Offset(position, 2);
    return static_cast<std::int16_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
}

void RecordBuffer::SetInt16(std::uint16_t position, std::int16_t value) {
    const std::size_t offset = Offset(position, 2);
    const auto bits = static_cast<std::uint16_t>(value);
    m_bytes[offset] = static_cast<std::uint8_t>(bits & 0xFF);
    m_bytes[offset + 1] = static_cast<std::uint8_t>(bits >> 8);
}

std::int32_t RecordBuffer::Int32(std::uint16_t position) const {
    const std::size_t offset = Offset(position, 4);
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(m_bytes[offset + i]) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

void RecordBuffer::SetInt32(std::uint16_t position, std::int32_t value) {
    const std::size_t offset = Offset(position, 4);
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) {
        m_bytes[offset + i] = static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF);
    }
}

void RecordBuffer::Clear() {
    std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t{0});
}

void RecordBuffer::ZeroUnownedBytes() {
    for (const auto& [offset, length] : m_unowned) {
        std::fill_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), length, std::uint8_t{0});
    }
}

RecordBuffers::RecordBuffers() {
    for (const RecordLayout& layout : RecordLayouts()) {
        m_buffers[static_cast<std::size_t>(layout.file)] = std::make_unique<RecordBuffer>(layout);
    }
}

RecordBuffer* RecordBuffers::Find(int file) {
    return IsFileNumber(file) ? m_buffers[static_cast<std::size_t>(file)].get() : nullptr;
}

const RecordBuffer* RecordBuffers::Find(int file) const {
    return IsFileNumber(file) ? m_buffers[static_cast<std::size_t>(file)].get() : nullptr;
}

RecordBuffer& RecordBuffers::At(int file) {
    RecordBuffer* buffer = Find(file);
    if (buffer == nullptr) {
        throw Failure(kErrSubscriptOutOfRange, "No record buffer for file " + std::to_string(file));
    }
    return *buffer;
}

}  // namespace ks
