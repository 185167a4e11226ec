// The one entry of the record engine, with the classic signature: operation, 128-byte
// position block, data buffer and its length, key buffer and its length, key number. The
// database layer of the loader reaches the engine only through this interface, so that tests
// can put a scripted engine in its place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ks::engine {

inline constexpr std::size_t kPositionBlockSize = 128;
inline constexpr std::size_t kKeyBufferSize = 255;

class BtrCall {
  public:
    virtual ~BtrCall() = default;

    // `dataLength` is in/out; `keyBuffer` holds at least kKeyBufferSize bytes.
    virtual std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock,
                              void* dataBuffer, std::uint32_t& dataLength, void* keyBuffer,
                              std::uint8_t keyLength, std::int8_t keyNumber) = 0;
};

}  // namespace ks::engine
