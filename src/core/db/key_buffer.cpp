#include "core/db/key_buffer.h"

#include <algorithm>
#include <cstring>

namespace ks {

KeyBuffer::KeyBuffer(std::string_view key) {
    std::memcpy(m_bytes.data(), key.data(), std::min(key.size(), engine::kKeyBufferSize));
}

void KeyBuffer::CopyBack(std::string& key) const {
    const std::size_t count = std::min(key.size(), engine::kKeyBufferSize);
    std::memcpy(key.data(), m_bytes.data(), count);
}

}  // namespace ks
