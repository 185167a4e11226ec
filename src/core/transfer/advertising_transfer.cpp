#include "core/transfer/advertising_transfer.h"

#include <string>

#include "core/db/catalogue.h"
#include "core/db/record_buffer.h"
#include "core/db/record_fields.h"
#include "core/transfer/transfer_context.h"
#include "ks/engine/btr_codes.h"

namespace ks {
namespace {

namespace op = engine::op;
namespace st = engine::status;

constexpr std::int16_t kAdvertising = table::kAdvertisingSchedule;
using table::kRecorderSongs;
constexpr std::size_t kOrderingChars = 4;  // after the date and hour of key 0

// False when the phase must end.
bool TransferHour(TransferContext& context, const WindowHour& hour) {
    const std::string low = hour.prefix + std::string(kOrderingChars, '\0');
    const std::string high = hour.prefix + std::string(kOrderingChars, '\xFF');
    context.key = low;
    const std::int16_t status =
        context.Call(op::kGetGreaterOrEqual, kAdvertising, context.source, " /AL");
    if (context.Lost(status)) {
        return false;
    }
    // A source that cannot be read has no data to replace the destination's hour with.
    if (status != st::kSuccess && status != st::kEndOfFile) {
        context.Report(kAdvertising, op::kGetGreaterOrEqual, Location::Caption);
    }
    if (status != st::kSuccess || context.key > high) {
        return true;
    }
    const auto inHour = [&] { return context.key <= high; };
    const std::string range = low + " to " + high;

    context.Trace("Start: Delete Advertising schedule from " + range);
    context.DeleteEach({kAdvertising, op::kGetGreaterOrEqual, 0, low, " /AM", inHour}, " /AN",
                       Location::Caption, "27: Delete: ");
    if (context.err95) {
        return false;
    }
    context.Trace("End  : Delete Advertising schedule from " + range);

    context.Trace("Start: Transfert Advertising schedule from " + range);
    context.CopyEach({.read = {kAdvertising, op::kGetGreaterOrEqual, 0, low, " /AO", inHour},
                      .insert = {kAdvertising, " /AP", 14, true},
                      .where = Location::Caption,
                      .advertisingRead = true,
                      .beforeInsert = [&] {
                          const std::string song =
                              context.Record(kAdvertising).Text(fields::fdat027::kSongId);
                          context.Caption("27: SongId: " + song);
                          context.ListeMorceau.AddIfMissing(song);
                      }});
    if (context.err95) {
        return false;
    }
    context.Trace("End  : Transfert Advertising schedule from " + range);
    return true;
}

}  // namespace

void TransferAdvertisingSchedule(TransferContext& context) {
    context.ListeMorceau.Clear();
    // A status 8 lets the rest of its day run before the walk stops.
    context.window.ForEachHour(
        context.CurrentHour(), [&](const WindowHour& hour) { return TransferHour(context, hour); },
        [&](int) { return !context.err95 && !context.err8; });
}

void TransferAdvertisingSongs(TransferContext& context) {
    const WorkingList& songs = context.ListeMorceau;
    if (songs.Count() > 0) {
        context.ItemRange(0, static_cast<int>(songs.Count()) - 1);
    } else {
        context.ItemRange(0, context.ItemMaximum());
    }
    for (std::size_t i = 0; i < songs.Count() && !context.err95; ++i) {
        context.ItemValue(static_cast<int>(i));
        if (songs[i].starts_with("PRE")) {
            continue;
        }
        context.ReplaceOne(kRecorderSongs, songs[i], {" /AQ", " /AR", " /AS", " /AT"}, 8);
    }
}

}  // namespace ks
