// The music schedule of the window's hours: the check that the source schedule reads whole
// before anything changes, and the phase that replaces, hour by hour, the destination's
// schedule (FDAT035, and the player's log FDAT053 when it takes part) by the source's,
// collecting the songs it plays into ListeMorceau. An hour the source has nothing for keeps
// what the destination holds.
#pragma once

namespace ks {

class TransferContext;

// Reads the source FDAT035 over the window; a read error other than end of file writes
// "Music schedule damaged for '<last good key>' No transfert" and answers true (status 95
// too, without setting err95).
bool MusicScheduleDamaged(TransferContext& context);

void TransferMusicSchedule(TransferContext& context);

}  // namespace ks
