#include "core/transfer/music_schedule.h"

#include <string>

#include "core/db/catalogue.h"
#include "core/db/record_buffer.h"
#include "core/db/record_fields.h"
#include "core/sys/text_helpers.h"
#include "core/transfer/transfer_context.h"
#include "ks/engine/btr_codes.h"

namespace ks {
namespace {

namespace op = engine::op;
namespace st = engine::status;

constexpr std::size_t kOrderingChars = 9;  // after the date and hour of key 0
constexpr std::size_t kInsertKeyBlanks = 19;

// The fields of a schedule event that the copy shows and rewrites.
struct EventFields {
    std::int16_t file;
    const char* label;  // "35" or "53"
    FieldRef date, hour, minute, second, elementType, songId;
};

constexpr EventFields kMusic{table::kMusicSchedule,         "35",
                             fields::fdat035::kDate,        fields::fdat035::kHour,
                             fields::fdat035::kMinute,      fields::fdat035::kSecond,
                             fields::fdat035::kElementType, fields::fdat035::kSongId};
constexpr EventFields kPlayer{table::kPlayerLog,
                              "53",
                              fields::fdat053::kDate,
                              fields::fdat053::kHour,
                              fields::fdat053::kMinute,
                              fields::fdat053::kSecond,
                              fields::fdat053::kElementType,
                              fields::fdat053::kSongId};

// A song event keeps the first eight characters of its identifier, which join ListeMorceau.
void PrepareEvent(TransferContext& context, const EventFields& fields) {
    RecordBuffer& event = context.Record(fields.file);
    if (event.Text(fields.elementType) == "Son") {
        const std::string id = event.Text(fields.songId);
        if (!IsBlank(id)) {
            const std::string shortId = Calibre(id, " ", fields::kShortSongIdWidth);
            event.SetText(fields.songId, shortId);
            context.ListeMorceau.AddIfMissing(shortId);
        }
    }
    context.Caption(std::string(fields.label) + ": Insert: " + event.Text(fields.date) + " " +
                    event.Text(fields.hour) + ":" + event.Text(fields.minute) + ":" +
                    event.Text(fields.second));
}

// Replaces the destination's hour [low, high] of one table by the source's.
struct Hour {
    std::string low;
    std::string high;
};

void DeleteHour(TransferContext& context, const EventFields& fields, const Hour& hour) {
    context.DeleteEach({fields.file, op::kGetGreaterOrEqual, 0, hour.low, " /B",
                        [&] { return context.key <= hour.high; }},
                       " /C", Location::Caption, std::string(fields.label) + ": Delete: ");
}

void CopyHour(TransferContext& context, const EventFields& fields, const Hour& hour) {
    context.CopyEach({.read = {fields.file, op::kGetGreaterOrEqual, 0, hour.low, " /D",
                               [&] { return context.key <= hour.high; }},
                      .insert = {fields.file, " /E", kInsertKeyBlanks, true},
                      .where = Location::Caption,
                      .advertisingRead = false,
                      .beforeInsert = [&] { PrepareEvent(context, fields); }});
}

// False when the phase must end.
bool TransferHour(TransferContext& context, const WindowHour& windowHour) {
    const Hour hour{windowHour.prefix + std::string(kOrderingChars, '\0'),
                    windowHour.prefix + std::string(kOrderingChars, '\xFF')};
    context.key = hour.low;
    const std::int16_t status =
        context.Call(op::kGetGreaterOrEqual, kMusic.file, context.source, " /A");
    if (context.Lost(status)) {
        return false;
    }
    if (status != st::kSuccess && status != st::kEndOfFile) {
        context.Report(kMusic.file, op::kGetGreaterOrEqual, Location::Caption);
    }
    if (status != st::kSuccess || context.key > hour.high) {
        return true;
    }

    const std::string range = hour.low + " to " + hour.high;
    context.Trace("Start: Delete Schedule from " + range);
    DeleteHour(context, kMusic, hour);
    if (context.err95) {
        return false;
    }
    if (context.with53) {
        DeleteHour(context, kPlayer, hour);
        if (context.err95) {
            return false;
        }
    }
    context.Trace("End  : Delete Schedule from " + range);

    context.Trace("Start: Transfert Schedule from " + range);
    CopyHour(context, kMusic, hour);
    if (context.with53 && !context.err95) {
        CopyHour(context, kPlayer, hour);
    }
    if (context.err95) {
        return false;
    }
    context.Trace("End  : Transfert Schedule from " + range);
    return true;
}

}  // namespace

bool MusicScheduleDamaged(TransferContext& context) {
    std::string lastGood;
    bool damaged = false;
    context.window.ForEachHour(
        context.CurrentHour(),
        [&](const WindowHour& hour) {
            const std::string high = hour.prefix + std::string(kOrderingChars, '\xFF');
            context.key = hour.prefix + std::string(kOrderingChars, '\0');
            std::int16_t operation = op::kGetGreaterOrEqual;
            for (;;) {
                const std::int16_t status =
                    context.Call(operation, kMusic.file, context.source, " /D");
                if (status == st::kEndOfFile) {
                    return true;
                }
                // Any other status, 95 included, only marks the schedule damaged: the flag
                // of a lost connection is the phases' to set, so the songs phase still runs
                // (on an empty list) and writes its trace lines.
                if (status != st::kSuccess) {
                    context.Trace("Music schedule damaged for '" + lastGood + "' No transfert");
                    damaged = true;
                    return false;
                }
                if (context.key > high) {
                    return true;
                }
                lastGood = context.key;
                context.Events();
                context.key = lastGood;
                operation = op::kGetNext;
            }
        },
        [](int) { return true; });
    return damaged;
}

void TransferMusicSchedule(TransferContext& context) {
    context.window.ForEachHour(
        context.CurrentHour(), [&](const WindowHour& hour) { return TransferHour(context, hour); },
        [&](int) { return !context.err95; });
}

}  // namespace ks
