#include "tools/demo/demo_schedule.h"

#include <algorithm>
#include <array>

namespace ks::demo {
namespace {

constexpr int kSecondsPerHour = 3600;
// No song starts in the last two minutes: the hour ends on the one already playing.
constexpr int kLastSongStart = kSecondsPerHour - 120;
// The advertising breaks come after these many seconds of the hour.
constexpr std::array<int, 2> kBreakTimes{20 * 60, 40 * 60};
constexpr std::size_t kRecentSongs = 40;
constexpr int kPickAttempts = 20;

TimeInHour AtSecond(int second) {
    return TimeInHour{second / 60, second % 60};
}

}  // namespace

ScheduleMaker::ScheduleMaker(const DemoLibrary& library, std::uint32_t seed, HourShape shape)
    : m_library(library), m_shape(shape), m_random(seed) {}

const DemoSong& ScheduleMaker::PickSong() {
    const int count = static_cast<int>(m_library.Songs.size());
    auto index = static_cast<std::size_t>(m_random.Below(count));
    for (int attempt = 1; attempt < kPickAttempts; ++attempt) {
        const bool recent =
            std::find(m_recentSongs.begin(), m_recentSongs.end(), index) != m_recentSongs.end();
        if (!recent && m_library.Songs[index].Artist1 != m_lastArtist) {
            break;
        }
        index = static_cast<std::size_t>(m_random.Below(count));
    }
    m_recentSongs.push_back(index);
    if (m_recentSongs.size() > kRecentSongs) {
        m_recentSongs.erase(m_recentSongs.begin());
    }
    const DemoSong& song = m_library.Songs[index];
    m_lastArtist = song.Artist1;
    return song;
}

void ScheduleMaker::AddBreak(DemoHour& result, int& second, int spotCount) {
    const int spotTotal = static_cast<int>(m_library.Spots.size());
    const int first = m_random.Below(spotTotal);
    MusicEvent breakEvent;
    breakEvent.Start = AtSecond(second);
    breakEvent.Type = std::string(kTypeBreak);
    for (int i = 0; i < spotCount && spotTotal > 0; ++i) {
        // The library lists two spots per advertiser: a step of two keeps one advertiser out
        // of a break it already has a spot in.
        const DemoSound& spot =
            m_library.Spots[static_cast<std::size_t>((first + 2 * i) % spotTotal)];
        result.Advertising.push_back(AdvertisingEvent{AtSecond(second), spot.Id});
        breakEvent.DurationSeconds += spot.DurationSeconds;
        second += spot.DurationSeconds;
    }
    breakEvent.Sequence = static_cast<int>(result.Music.size()) + 1;
    result.Music.push_back(std::move(breakEvent));
}

DemoHour ScheduleMaker::MakeHour(const DateTime& date, int hour) {
    if (m_shape.MusicEvents > 0) {
        return MakeFixedHour(date, hour);
    }
    DemoHour result;
    result.Date = DateOnly(date);
    result.Hour = hour;
    int second = 0;
    if (!m_library.Jingles.empty()) {
        const int jingleCount = static_cast<int>(m_library.Jingles.size());
        const DemoSound& jingle =
            m_library.Jingles[static_cast<std::size_t>(m_random.Below(jingleCount))];
        result.Music.push_back(MusicEvent{1, AtSecond(0), std::string(kTypeJingle), jingle.Id,
                                          jingle.DurationSeconds});
        second += jingle.DurationSeconds;
    }
    std::size_t nextBreak = 0;
    while (second < kLastSongStart && !m_library.Songs.empty()) {
        if (nextBreak < kBreakTimes.size() && second >= kBreakTimes[nextBreak]) {
            AddBreak(result, second, m_random.Between(2, 4));
            ++nextBreak;
            continue;
        }
        const DemoSong& song = PickSong();
        result.Music.push_back(MusicEvent{static_cast<int>(result.Music.size()) + 1,
                                          AtSecond(second), std::string(kTypeSong), song.Id,
                                          song.DurationSeconds});
        second += song.DurationSeconds;
    }
    return result;
}

DemoHour ScheduleMaker::MakeFixedHour(const DateTime& date, int hour) {
    DemoHour result;
    result.Date = DateOnly(date);
    result.Hour = hour;
    const int events = m_shape.MusicEvents;
    // The breaks come a third and two thirds into the hour's rows.
    const int firstBreak = std::max(1, events / 3);
    const int secondBreak = std::max(firstBreak + 1, 2 * events / 3);
    const int firstSpots = m_shape.AdvertisingEntries / 2;
    for (int row = 0; row < events; ++row) {
        int second = row * kSecondsPerHour / events;
        if (row == 0 && !m_library.Jingles.empty()) {
            const int jingleCount = static_cast<int>(m_library.Jingles.size());
            const DemoSound& jingle =
                m_library.Jingles[static_cast<std::size_t>(m_random.Below(jingleCount))];
            result.Music.push_back(MusicEvent{1, AtSecond(0), std::string(kTypeJingle), jingle.Id,
                                              jingle.DurationSeconds});
        } else if (row == firstBreak) {
            AddBreak(result, second, firstSpots);
        } else if (row == secondBreak) {
            AddBreak(result, second, m_shape.AdvertisingEntries - firstSpots);
        } else if (!m_library.Songs.empty()) {
            const DemoSong& song = PickSong();
            result.Music.push_back(MusicEvent{static_cast<int>(result.Music.size()) + 1,
                                              AtSecond(second), std::string(kTypeSong), song.Id,
                                              song.DurationSeconds});
        }
    }
    return result;
}

std::vector<DemoHour> MakeDemoSchedule(const DemoLibrary& library, const DateTime& today,
                                       int firstDay, int lastDay, HourShape shape,
                                       std::uint32_t seed) {
    ScheduleMaker maker(library, seed, shape);
    std::vector<DemoHour> hours;
    for (int day = firstDay; day <= lastDay; ++day) {
        const DateTime date = AddDays(DateOnly(today), day);
        for (int hour = 0; hour < 24; ++hour) {
            hours.push_back(maker.MakeHour(date, hour));
        }
    }
    return hours;
}

}  // namespace ks::demo
