#include "core/transfer/settings_purge.h"

#include <algorithm>
#include <string>

#include "core/db/catalogue.h"
#include "core/db/record_buffer.h"
#include "core/sys/text_helpers.h"
#include "core/transfer/transfer_context.h"
#include "ks/engine/btr_codes.h"

namespace ks {
namespace {

namespace op = engine::op;

using table::kBackupSettings;
using table::kSettings;
constexpr std::size_t kSettingsKeyLength = 10;
constexpr int kPurgeAgeDays = 3;

// What the purge of a table needs: the cut-off key after the date, the call sites and the
// location of its reports.
struct PurgeTable {
    std::int16_t file;
    std::string afterDate;  // what follows D2S(date) in the highest key purged
    std::string_view lookupTag;
    std::string_view deleteTag;
    Location where;
};

PurgeTable PurgeOf(std::int16_t file) {
    switch (file) {
        case table::kMusicSchedule:
            return {table::kMusicSchedule, "23" + std::string(9, '\xFF'), " /AY", " /AZ",
                    Location::Caption};
        case table::kPlayerLog:
            return {table::kPlayerLog, "23" + std::string(6, '\xFF'), " /AY", " /AZ",
                    Location::Caption};
        case table::kPlayedEvents:
            return {table::kPlayedEvents, std::string(8, '\xFF'), " /BA", " /BB", Location::Empty};
        default:
            return {table::kAdvertisingSchedule, std::string(6, '\xFF'), " /BC", " /BD",
                    Location::Empty};
    }
}

}  // namespace

void TransferSettings(TransferContext& context) {
    const std::string first(kSettingsKeyLength, '\0');
    context.Trace("Start: Transfert Settings");
    context.DeleteEach({kSettings, op::kGetGreaterOrEqual, 0, first, " /AU", {}}, " /AV",
                       Location::Caption);
    if (context.err95) {
        return;
    }
    // Both tables share one layout: the record moves over whole.
    context.CopyEach({.read = {kBackupSettings, op::kGetGreaterOrEqual, 0, first, " /AW", {}},
                      .insert = {kSettings, " /AX", kSettingsKeyLength, false},
                      .where = Location::Caption,
                      .advertisingRead = false,
                      .beforeInsert = [&] {
                          const RecordBuffer& from = context.Record(kBackupSettings);
                          RecordBuffer& to = context.Record(kSettings);
                          std::copy_n(from.Data(), std::min(from.Size(), to.Size()), to.Data());
                      }});
    if (!context.err95) {
        context.Trace("End  : Transfert Settings");
    }
}

void PurgeBackup(TransferContext& context, std::int16_t file, const DateTime& today) {
    const PurgeTable table = PurgeOf(file);
    const std::string number = std::to_string(table.file);
    const std::string high = D2S(AddDays(today, -kPurgeAgeDays)) + table.afterDate;
    context.Trace("Start: Deleting Backup " + number);
    context.DeleteEach({table.file, op::kGetLessOrEqual, 0, high, table.lookupTag, {}},
                       table.deleteTag, table.where, number + ": Delete: ");
    if (!context.err95) {
        context.Trace("End: Deleting Backup " + number);
    }
}

}  // namespace ks
