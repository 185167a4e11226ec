#include "core/app/schedule_horizon.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "core/db/read_only_table.h"
#include "ks/engine/btr_call.h"
#include "ks/engine/btr_codes.h"

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
    ReadOnlyTable schedule(engine, path);
    if (!schedule.IsOpen()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> record(kRecordRoom);
    std::uint32_t length = kRecordRoom;
    const std::int16_t status = schedule.Call(op::kGetLast, record.data(), length);
    if (status == st::kEndOfFile) {
        return std::string();
    }
    if (status != st::kSuccess || length < kHourLength) {
        return std::nullopt;
    }
    std::string hour(record.begin(), record.begin() + kHourLength);
    if (!std::all_of(hour.begin(), hour.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
        return std::nullopt;
    }
    return hour;
}

}  // namespace ks
