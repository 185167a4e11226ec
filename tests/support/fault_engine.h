// An engine for tests that hands every call to a real one, except the calls its rule picks:
// those are answered with the rule's status and never reach the engine. Tests use it to make
// a chosen call site fail (a read error, a delete refused, the engine connection lost), or
// calls picked at random fail with statuses picked at random.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "ks/engine/btr_call.h"

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
    using Rule = std::function<std::optional<std::int16_t>(std::uint16_t operation)>;
    Rule rule;
    long calls = 0;
    long faults = 0;

  private:
    engine::BtrCall& m_inner;
};

// A rule that fails one call in `oneIn` on average, with one of `statuses`; the same seed
// picks the same calls and statuses.
inline FaultEngine::Rule RandomFaults(std::uint32_t seed, std::uint32_t oneIn,
                                      std::vector<std::int16_t> statuses) {
    return [random = std::mt19937(seed), oneIn, statuses = std::move(statuses)](
               std::uint16_t /*operation*/) mutable -> std::optional<std::int16_t> {
        if (statuses.empty() || random() % oneIn != 0) {
            return std::nullopt;
        }
        return statuses[random() % statuses.size()];
    };
}

}  // namespace ks::test
