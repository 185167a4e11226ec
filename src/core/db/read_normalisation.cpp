#include "core/db/read_normalisation.h"

#include <string>

#include "core/db/record_buffer.h"
#include "core/db/record_fields.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

void NormaliseArtist(RecordBuffer& record) {
    using namespace fields::fdat020;
    const std::string a = record.Text(kFlagA);
    if (a == "1") {
        record.SetText(kFlagB, "1");
    } else if (a == "2") {
        record.SetText(kFlagB, "O");
    }
    record.SetText(kFlagA, " ");
}

void NormaliseSong(RecordBuffer& record) {
    using namespace fields::fdat022;
    if (record.Text(kFlagsF).find_first_of("ON12") == std::string::npos) {
        record.SetText(kFlagsF, "22222");
    }
    if (Val(record.Text(kNumberG)) == 0) {
        record.SetText(kNumberG, "00");
    }
    if (record.Text(kFlagH) == "O") {
        record.SetText(kFlagJ, "1");
    }
    record.SetText(kFlagH, " ");
    const std::string j = record.Text(kFlagJ);
    if (j != "O" && j != "1" && j != "N" && j != "-") {
        record.SetText(kFlagJ, "N");
    }
}

void NormaliseClock(RecordBuffer& record) {
    constexpr std::uint16_t position = fields::fdat030::kCounterPosition;
    if (record.Int16(position) >= 512) {
        record.SetInt16(position, 0);
    }
}

}  // namespace

void NormaliseRead(int file, RecordBuffers& records) {
    RecordBuffer* record = records.Find(file);
    if (record == nullptr) {
        return;
    }
    switch (file) {
        case 20:
            NormaliseArtist(*record);
            break;
        case 22:
            NormaliseSong(*record);
            break;
        case 30:
            NormaliseClock(*record);
            break;
        default:
            break;
    }
}

}  // namespace ks
