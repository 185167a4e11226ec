// The record engine as the station's other programs reach it: through BTRCALL, the C entry of
// libksbtr.so (ks/btrcall.h). The suites that include this link the library. Every adapter
// calls the one engine of the process, made at its first call with the default options.
#pragma once

#include <cstdint>

#include "ks/btrcall.h"
#include "ks/engine/btr_call.h"

namespace ks::test {

class CEntryEngine final : public engine::BtrCall {
  public:
    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint8_t keyLength,
                      std::int8_t keyNumber) override {
        return BTRCALL(operation, positionBlock, dataBuffer, &dataLength, keyBuffer, keyLength,
                       keyNumber);
    }
};

}  // namespace ks::test
