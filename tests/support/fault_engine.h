// An engine for tests that hands every call to a real one, except the calls its rule picks:
// those are answered with the rule's status and never reach the engine. Tests use it to make
// a chosen call site fail (a read error, a delete refused, the engine connection lost).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/btr_call.h"

namespace ks::test {

class FaultEngine : public engine::BtrCall {
  public:
    explicit FaultEngine(engine::BtrCall& inner) : m_inner(inner) {}

    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint8_t keyLength,
                      std::int8_t keyNumber) override {
        ++calls;
        if (rule) {
            if (const std::optional<std::int16_t> status = rule(operation)) {
                ++faults;
                return *status;
            }
        }
        return m_inner.Call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                            keyNumber);
    }

    // Given the operation, the status to answer instead of calling the engine, or nullopt.
    std::function<std::optional<std::int16_t>(std::uint16_t operation)> rule;
    long calls = 0;
    long faults = 0;

  private:
    engine::BtrCall& m_inner;
};

}  // namespace ks::test
