// The key buffer handed to the engine: the key's bytes in a buffer of the engine's key size,
// the rest zero. After the call the key string takes back as many bytes as it had, as the
// original program's fixed-length strings did: a key string is sized by its caller.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ks/engine/btr_call.h"

namespace ks {

class KeyBuffer {
  public:
    explicit KeyBuffer(std::string_view key);

    std::uint8_t* Data() { return m_bytes.data(); }
    // The first `key.size()` bytes of the buffer back into `key` (at most the buffer size).
    void CopyBack(std::string& key) const;

  private:
    // One byte more than the engine may use, always zero, so a path filling the whole buffer
    // still ends with a byte 0.
    std::array<std::uint8_t, engine::kKeyBufferSize + 1> m_bytes{};
};

}  // namespace ks
