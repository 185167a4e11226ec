#include "tools/demo/demo_records.h"

#include "core/db/record_fields.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks::demo {
namespace {

// Fields of the stored layouts that the demo fills beyond the ones the loader reads.
constexpr FieldRef kArtistSortKey{6, 10};  // FDAT020, key 1
constexpr FieldRef kArtistInitial{46, 1};  // FDAT020, first part of key 3
constexpr FieldRef kStackCategory{9, 5};   // FDAT024, first part of key 2
constexpr FieldRef kStackTitle{51, 30};    // FDAT024, second part of key 2
constexpr FieldRef kRecorderName{43, 30};  // FDAT026, part of key 3
constexpr FieldRef kSongKeyKind{1, 5};     // FDAT029, key 0 = kind + code + song
constexpr FieldRef kSongKeyCode{6, 5};
constexpr FieldRef kSongKeyText{19, 40};
constexpr FieldRef kCueKind{9, 1};  // FDAT031, key 0 = song + kind + number
constexpr FieldRef kCueNumber{10, 2};
constexpr FieldRef kCueMilliseconds{12, 10};
constexpr FieldRef kInfoNumber{9, 2};  // FDAT032, key 0 = song + number
constexpr FieldRef kInfoText{11, 240};
constexpr FieldRef kScheduleHour{9, 2};       // FDAT035, the hour the event belongs to
constexpr FieldRef kScheduleSequence{11, 3};  // FDAT035, order inside the hour
constexpr FieldRef kPlayerSequence{15, 2};    // FDAT053, last part of key 0
constexpr FieldRef kAdvertisingDate{1, 8};    // FDAT027, key 0 = date + hour + mm + ss
constexpr FieldRef kAdvertisingHour{9, 2};
constexpr FieldRef kAdvertisingMinute{11, 2};
constexpr FieldRef kAdvertisingSecond{13, 2};
constexpr FieldRef kBroadcastDate{1, 8};  // FDAT028, key 0 = date + hh mm ss + 2
constexpr FieldRef kBroadcastHour{9, 2};
constexpr FieldRef kBroadcastMinute{11, 2};
constexpr FieldRef kBroadcastSecond{13, 2};
constexpr FieldRef kBroadcastPart{15, 2};
constexpr FieldRef kBroadcastText{17, 80};
constexpr FieldRef kBroadcastSongId{97, 8};  // FDAT028, key 1
constexpr FieldRef kSettingGroup{1, 5};      // FDAT000 / FDAT009, key 0
constexpr FieldRef kSettingNumber{6, 5};
constexpr FieldRef kSettingLabel{11, 30};
constexpr FieldRef kSettingValue{41, 20};

std::string Two(int value) {
    return N2S(value, 2, 0, "0");
}

std::string Upper(std::string_view text) {
    std::string result;
    for (const char c : text) {
        result += UpperCp1252(c);
    }
    return result;
}

void FillScheduleTime(RecordBuffer& record, const DemoHour& hour, const MusicEvent& event,
                      FieldRef date, FieldRef hh, FieldRef mm, FieldRef ss) {
    record.SetText(date, D2S(hour.Date));
    record.SetText(hh, Two(hour.Hour));
    record.SetText(mm, Two(event.Start.Minute));
    record.SetText(ss, Two(event.Start.Second));
}

}  // namespace

void BlankRecord(RecordBuffer& record) {
    record.Clear();
    for (const LayoutField& field : ExpandLayout(record.Layout())) {
        if (field.kind == FieldKind::Text) {
            record.SetText(FieldRef{field.position, field.width}, "");
        }
    }
}

void FillSong(RecordBuffer& fdat022, const DemoSong& song) {
    namespace f = fields::fdat022;
    BlankRecord(fdat022);
    fdat022.SetText(f::kSongId, song.Id);
    fdat022.SetText(f::kFirstArtist, song.Artist1);
    fdat022.SetText(f::kSecondArtist, song.Artist2);
    fdat022.SetText(f::kTitle, song.Title);
    fdat022.SetText(f::kCategory, song.CategoryCode);
    // The fields the loader rewrites after every read, already in forms it keeps.
    fdat022.SetText(f::kFlagsF, "NNNNN");
    fdat022.SetText(f::kNumberG, "00");
    fdat022.SetText(f::kFlagJ, "N");
}

void FillArtist(RecordBuffer& fdat020, const DemoArtist& artist) {
    namespace f = fields::fdat020;
    BlankRecord(fdat020);
    fdat020.SetText(f::kArtistCode, artist.Code);
    fdat020.SetText(kArtistSortKey, Upper(artist.Name));
    fdat020.SetText(f::kName, artist.Name);
    fdat020.SetText(kArtistInitial, Upper(artist.Name.substr(0, 1)));
}

void FillCategory(RecordBuffer& fdat021, const DemoCategory& category) {
    BlankRecord(fdat021);
    fdat021.SetText(fields::fdat021::kKey0, "CATEG" + Calibre(category.Code, " ", 5));
    fdat021.SetText(fields::fdat021::kName, category.Name);
}

void FillSongStack(RecordBuffer& fdat024, const DemoSong& song) {
    BlankRecord(fdat024);
    fdat024.SetText(fields::fdat024::kSongId, song.Id);
    fdat024.SetText(kStackCategory, song.CategoryCode);
    fdat024.SetText(kStackTitle, song.Title);
}

void FillRecorderSound(RecordBuffer& fdat026, std::string_view id, std::string_view name) {
    BlankRecord(fdat026);
    fdat026.SetText(fields::fdat026::kSongId, id);
    fdat026.SetText(kRecorderName, name);
}

void WriteSongKeyRows(RecordBuffer& fdat029, const DemoSong& song, const RowInsert& insert) {
    const auto row = [&](std::string_view kind, std::string_view code, std::string_view text) {
        BlankRecord(fdat029);
        fdat029.SetText(kSongKeyKind, kind);
        fdat029.SetText(kSongKeyCode, code);
        fdat029.SetText(fields::fdat029::kSongId, song.Id);
        fdat029.SetText(kSongKeyText, text);
        insert(fdat029);
    };
    row("ANNEE", "", std::to_string(song.Year));
    row("LANGU", "FR", "Français"_cp);
    if (!song.Artist2.empty()) {
        row("DUO", song.Artist2, "Duo"_cp);
    }
}

void WriteCuePointRows(RecordBuffer& fdat031, const DemoSong& song, const RowInsert& insert) {
    const auto row = [&](std::string_view kind, int milliseconds) {
        BlankRecord(fdat031);
        fdat031.SetText(fields::fdat031::kSongId, song.Id);
        fdat031.SetText(kCueKind, kind);
        fdat031.SetText(kCueNumber, "01");
        fdat031.SetText(kCueMilliseconds, N2S(milliseconds, 10, 0, "0"));
        insert(fdat031);
    };
    row("D", 0);
    row("I", song.IntroSeconds * 1000);
    row("F", (song.DurationSeconds - 6) * 1000);
}

void WriteSongInfoRows(RecordBuffer& fdat032, const DemoSong& song, const RowInsert& insert) {
    const auto row = [&](std::string_view number, const std::string& text) {
        BlankRecord(fdat032);
        fdat032.SetText(fields::fdat032::kSongId, song.Id);
        fdat032.SetText(kInfoNumber, number);
        fdat032.SetText(kInfoText, text);
        insert(fdat032);
    };
    row("01", "Année de sortie : "_cp + std::to_string(song.Year));
    row("02", "Durée : "_cp + std::to_string(song.DurationSeconds / 60) + ":" +
                  Two(song.DurationSeconds % 60));
}

void FillMusicEvent(RecordBuffer& fdat035, const DemoHour& hour, const MusicEvent& event) {
    namespace f = fields::fdat035;
    BlankRecord(fdat035);
    fdat035.SetText(kScheduleHour, Two(hour.Hour));
    fdat035.SetText(kScheduleSequence, N2S(event.Sequence, 3, 0, "0"));
    FillScheduleTime(fdat035, hour, event, f::kDate, f::kHour, f::kMinute, f::kSecond);
    fdat035.SetText(f::kElementType, event.Type);
    fdat035.SetText(f::kSongId, event.SoundId);
}

void FillPlayerEvent(RecordBuffer& fdat053, const DemoHour& hour, const MusicEvent& event) {
    namespace f = fields::fdat053;
    BlankRecord(fdat053);
    FillScheduleTime(fdat053, hour, event, f::kDate, f::kHour, f::kMinute, f::kSecond);
    fdat053.SetText(kPlayerSequence, "00");
    fdat053.SetText(f::kElementType, event.Type);
    fdat053.SetText(f::kSongId, event.SoundId);
}

void FillAdvertisingEvent(RecordBuffer& fdat027, const DemoHour& hour,
                          const AdvertisingEvent& event) {
    BlankRecord(fdat027);
    fdat027.SetText(kAdvertisingDate, D2S(hour.Date));
    fdat027.SetText(kAdvertisingHour, Two(hour.Hour));
    fdat027.SetText(kAdvertisingMinute, Two(event.Start.Minute));
    fdat027.SetText(kAdvertisingSecond, Two(event.Start.Second));
    fdat027.SetText(fields::fdat027::kSongId, event.SpotId);
}

void FillBroadcastEvent(RecordBuffer& fdat028, const DemoHour& hour, const MusicEvent& event,
                        std::string_view text) {
    BlankRecord(fdat028);
    FillScheduleTime(fdat028, hour, event, kBroadcastDate, kBroadcastHour, kBroadcastMinute,
                     kBroadcastSecond);
    fdat028.SetText(kBroadcastPart, "00");
    fdat028.SetText(kBroadcastText, text);
    fdat028.SetText(kBroadcastSongId, event.SoundId);
}

void FillSetting(RecordBuffer& settings, const DemoSetting& setting) {
    BlankRecord(settings);
    settings.SetText(kSettingGroup, setting.Group);
    settings.SetText(kSettingNumber, setting.Number);
    settings.SetText(kSettingLabel, Utf8ToCp1252(setting.Label));
    settings.SetText(kSettingValue, Utf8ToCp1252(setting.Value));
}

}  // namespace ks::demo
