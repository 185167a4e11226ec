#include "core/app/schedule_horizon.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

#include "core/db/key_buffer.h"
#include "engine/btr_call.h"
#include "engine/btr_codes.h"

namespace ks {
namespace {

namespace op = engine::op;
namespace st = engine::status;

// Date (8) and hour (2) at the head of every record and of key 0.
constexpr std::size_t kHourLength = 10;
// Longer than any record of the table: a read never fails for want of room.
constexpr std::uint32_t kRecordRoom = 4096;

}  // namespace

std::optional<std::string> LastScheduledHour(engine::BtrCall& engine, const std::string& path) {
    std::array<std::uint8_t, engine::kPositionBlockSize> block{};
    std::vector<std::uint8_t> record(kRecordRoom);
    KeyBuffer name(path);
    std::uint32_t length = 0;
    if (engine.Call(op::kOpen, block.data(), record.data(), length, name.Data(),
                    static_cast<std::uint8_t>(engine::kKeyBufferSize),
                    engine::open_mode::kReadOnly) != st::kSuccess) {
        return std::nullopt;
    }
    std::optional<std::string> hour;
    KeyBuffer key("");
    length = kRecordRoom;
    const std::int16_t status =
        engine.Call(op::kGetLast, block.data(), record.data(), length, key.Data(),
                    static_cast<std::uint8_t>(engine::kKeyBufferSize), 0);
    if (status == st::kEndOfFile) {
        hour = std::string();
    } else if (status == st::kSuccess && length >= kHourLength) {
        std::string text(record.begin(), record.begin() + kHourLength);
        if (std::all_of(text.begin(), text.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
            hour = std::move(text);
        }
    }
    length = 0;
    engine.Call(op::kClose, block.data(), record.data(), length, name.Data(),
                static_cast<std::uint8_t>(engine::kKeyBufferSize), 0);
    return hour;
}

}  // namespace ks
