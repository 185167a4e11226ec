// A record engine for tests: answers each call from a script of replies and records what it
// was given (operation, position block, data buffer, data length, key buffer, key length and
// number). Without a scripted reply it answers `defaultStatus`. Each call leaves its number
// in the first four bytes of the position block, so a test sees which call's block was kept.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ks/engine/btr_call.h"

namespace ks::test {

class ScriptedEngine : public engine::BtrCall {
  public:
    using Block = std::array<std::uint8_t, engine::kPositionBlockSize>;

    struct Reply {
        std::int16_t status = 0;
        std::optional<std::string> record;  // written to the data buffer (within the length)
        std::optional<std::string> key;     // written to the start of the key buffer
        std::optional<std::uint32_t> dataLength;
        std::optional<Block> position;  // the block returned; default: the call number
    };

    struct Request {
        std::uint16_t operation = 0;
        Block position{};
        std::string data;  // the data buffer as sent, `dataLength` bytes
        std::uint32_t dataLength = 0;
        std::string key;  // the whole key buffer as sent (255 bytes)
        std::uint8_t keyLength = 0;
        std::int8_t keyNumber = 0;

        // The key as sent, up to its first byte 0.
        std::string KeyText() const { return key.substr(0, key.find('\0')); }
    };

    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint8_t keyLength,
                      std::int8_t keyNumber) override {
        Request call;
        call.operation = operation;
        std::memcpy(call.position.data(), positionBlock, call.position.size());
        call.data.assign(static_cast<const char*>(dataBuffer), dataLength);
        call.dataLength = dataLength;
        call.key.assign(static_cast<const char*>(keyBuffer), engine::kKeyBufferSize);
        call.keyLength = keyLength;
        call.keyNumber = keyNumber;
        calls.push_back(call);
        if (onCall) {
            onCall(calls.back());
        }

        Reply reply;
        reply.status = defaultStatus;
        if (!script.empty()) {
            reply = script.front();
            script.pop_front();
        }
        if (reply.record) {
            std::memcpy(dataBuffer, reply.record->data(),
                        std::min<std::size_t>(reply.record->size(), dataLength));
        }
        if (reply.key) {
            std::memcpy(keyBuffer, reply.key->data(),
                        std::min<std::size_t>(reply.key->size(), engine::kKeyBufferSize));
        }
        if (reply.dataLength) {
            dataLength = *reply.dataLength;
        }
        if (reply.position) {
            std::memcpy(positionBlock, reply.position->data(), reply.position->size());
        } else {
            const auto number = static_cast<std::uint32_t>(calls.size());
            std::memcpy(positionBlock, &number, sizeof number);
        }
        return reply.status;
    }

    // Scripts `count` replies of `status`.
    void Answer(std::int16_t status, int count = 1) {
        for (int i = 0; i < count; ++i) {
            Reply reply;
            reply.status = status;
            script.push_back(reply);
        }
    }

    std::vector<std::uint16_t> Operations() const {
        std::vector<std::uint16_t> ops;
        for (const auto& call : calls) {
            ops.push_back(call.operation);
        }
        return ops;
    }

    std::deque<Reply> script;
    std::int16_t defaultStatus = 0;
    std::vector<Request> calls;
    std::function<void(const Request&)> onCall;
};

}  // namespace ks::test
