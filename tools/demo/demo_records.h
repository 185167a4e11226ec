// The demo station's records in their stored layouts: each function fills the record buffer
// of one table file from the library or the schedule. Fields the loader does not know stay
// as the suite leaves unused fields: text blank, numbers zero.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/db/record_buffer.h"
#include "tools/demo/demo_library.h"
#include "tools/demo/demo_schedule.h"

namespace ks::demo {

// Called once for every record a multi-row function has filled in the buffer.
using RowInsert = std::function<void(RecordBuffer&)>;

// Every text field blank, every number and every byte outside the fields zero.
void BlankRecord(RecordBuffer& record);

void FillSong(RecordBuffer& fdat022, const DemoSong& song);
void FillArtist(RecordBuffer& fdat020, const DemoArtist& artist);
void FillCategory(RecordBuffer& fdat021, const DemoCategory& category);
void FillSongStack(RecordBuffer& fdat024, const DemoSong& song);
void FillRecorderSound(RecordBuffer& fdat026, std::string_view id, std::string_view name);

// The song's complementary keys (FDAT029): its year, its language and, for a duet, the
// second artist.
void WriteSongKeyRows(RecordBuffer& fdat029, const DemoSong& song, const RowInsert& insert);
// The song's cue points (FDAT031): start, end of the intro, start of the fade, in ms.
void WriteCuePointRows(RecordBuffer& fdat031, const DemoSong& song, const RowInsert& insert);
// Additional information about the song (FDAT032).
void WriteSongInfoRows(RecordBuffer& fdat032, const DemoSong& song, const RowInsert& insert);

void FillMusicEvent(RecordBuffer& fdat035, const DemoHour& hour, const MusicEvent& event);
void FillPlayerEvent(RecordBuffer& fdat053, const DemoHour& hour, const MusicEvent& event);
void FillAdvertisingEvent(RecordBuffer& fdat027, const DemoHour& hour,
                          const AdvertisingEvent& event);
// A song as it went on air (FDAT028); `text` is what the log shows ("artist - title").
void FillBroadcastEvent(RecordBuffer& fdat028, const DemoHour& hour, const MusicEvent& event,
                        std::string_view text);

// A row of the settings tables FDAT000 and FDAT009, which share their layout.
struct DemoSetting {
    std::string_view Group;   // 5 characters
    std::string_view Number;  // 5 characters
    std::string_view Label;   // UTF-8
    std::string_view Value;   // UTF-8
};
void FillSetting(RecordBuffer& settings, const DemoSetting& setting);

}  // namespace ks::demo
