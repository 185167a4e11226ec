// How far ahead the backup player can play: the last hour of music schedule a station holds,
// read after a load from the key of the last record of its FDAT035 (key 0 starts with the
// date and the hour). The read goes straight to the engine, read-only: it reports nothing
// and changes nothing, whatever it finds.
#pragma once

#include <optional>
#include <string>

namespace ks {

namespace engine {
class BtrCall;
}

// "yyyyMMddhh" of the last record of the music schedule table at `path`; "" when the table
// holds no record; nullopt when it cannot be read (missing, refused, a key that is not a date
// and an hour).
std::optional<std::string> LastScheduledHour(engine::BtrCall& engine, const std::string& path);

}  // namespace ks
