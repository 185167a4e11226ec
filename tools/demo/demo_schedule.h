// The demo station's schedules, hour by hour: the music schedule (a jingle at the top of the
// hour, songs, two advertising breaks) and the advertising schedule of those breaks, plus
// what was actually broadcast. Pure data made from the library and a seed; the record
// layouts are filled from it elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/date_time.h"
#include "tools/demo/demo_library.h"
#include "tools/demo/demo_random.h"

namespace ks::demo {

// Element types of the music schedule; "Son" is the one the loader treats as a song.
inline constexpr std::string_view kTypeSong = "Son";
inline constexpr std::string_view kTypeJingle = "Jin";
inline constexpr std::string_view kTypeBreak = "Pub";

// A time inside the hour the event belongs to.
struct TimeInHour {
    int Minute = 0;
    int Second = 0;
};

struct MusicEvent {
    int Sequence = 0;  // 1, 2, ... in the order of the hour
    TimeInHour Start;
    std::string Type;     // kTypeSong, kTypeJingle or kTypeBreak
    std::string SoundId;  // song, jingle or "" for a break
    int DurationSeconds = 0;
};

struct AdvertisingEvent {
    TimeInHour Start;
    std::string SpotId;
};

struct DemoHour {
    DateTime Date;  // at midnight
    int Hour = 0;
    std::vector<MusicEvent> Music;
    std::vector<AdvertisingEvent> Advertising;
};

// The shape of every hour. Zero counts fill the hour with songs by their durations, with two
// breaks of two to four spots (the small station); otherwise each hour holds exactly
// `MusicEvents` rows (a jingle, two breaks, songs) spread over the hour, and exactly
// `AdvertisingEntries` spots shared by its two breaks.
struct HourShape {
    int MusicEvents = 0;
    int AdvertisingEntries = 0;
};

// Makes the hours one after the other, so that a song does not come back within the last
// forty songs and an artist is never played twice in a row.
class ScheduleMaker {
  public:
    ScheduleMaker(const DemoLibrary& library, std::uint32_t seed, HourShape shape = {});

    DemoHour MakeHour(const DateTime& date, int hour);

  private:
    DemoHour MakeFixedHour(const DateTime& date, int hour);
    const DemoSong& PickSong();
    void AddBreak(DemoHour& result, int& second, int spotCount);

    const DemoLibrary& m_library;
    HourShape m_shape;
    DemoRandom m_random;
    std::vector<std::size_t> m_recentSongs;
    std::string m_lastArtist;
};

// Every hour of the days from `today` + firstDay to `today` + lastDay, in order.
std::vector<DemoHour> MakeDemoSchedule(const DemoLibrary& library, const DateTime& today,
                                       int firstDay, int lastDay, HourShape shape = {},
                                       std::uint32_t seed = kDemoSeed);

}  // namespace ks::demo
