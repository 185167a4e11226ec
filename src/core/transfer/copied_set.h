// What the copy phase of a load hands to the record transfer: the two stations with the
// folders their tables are opened from, and whether the server had FDAT053 to copy.
#pragma once

#include "core/db/load_stations.h"

namespace ks {

struct CopiedSet {
    LoadStations stations;
    bool PresenceFichier53 = false;
};

}  // namespace ks
