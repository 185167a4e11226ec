// The last phases of a transfer: the backup settings (the destination's FDAT000 emptied, then
// filled with the source's FDAT009, for the first backup set only), and the purge of the
// destination's records dated three days ago and older from the music schedule, the player's
// log, the broadcast log and the advertising schedule.
#pragma once

#include <cstdint>

#include "core/base/date_time.h"

namespace ks {

class TransferContext;

void TransferSettings(TransferContext& context);

// The purge of one table: 35, 53, 28 or 27, of its records dated three days before `today`
// and earlier.
void PurgeBackup(TransferContext& context, std::int16_t file, const DateTime& today);

}  // namespace ks
