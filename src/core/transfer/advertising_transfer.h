// The advertising schedule (FDAT027) of the window's hours, replaced hour by hour by the
// source's as the music schedule is, collecting the songs it plays into ListeMorceau; then,
// for each of those songs, its row of the recorder's song table (FDAT026).
#pragma once

namespace ks {

class TransferContext;

void TransferAdvertisingSchedule(TransferContext& context);
void TransferAdvertisingSongs(TransferContext& context);

}  // namespace ks
