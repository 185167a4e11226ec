// What the load publishes for the database layer before opening any table file: the station
// whose copied server files are opened from the intermediate folder, the local station with
// its data folder.
#pragma once

#include <cstdint>
#include <string>

namespace ks {

struct LoadStations {
    std::int16_t NoStation1 = 0;  // station under which the copied server files are opened
    std::string DossierStation1;  // the intermediate folder holding those copies
    std::int16_t NoStation2 = 0;  // the local station
    std::string DossierStation2;  // the local data folder

    // The folder of `station`: DossierStation1, DossierStation2, or "" for any other station.
    std::string DossierDeStation(std::int32_t station) const {
        if (station == NoStation1) {
            return DossierStation1;
        }
        if (station == NoStation2) {
            return DossierStation2;
        }
        return {};
    }
};

}  // namespace ks
