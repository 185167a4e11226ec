#include "tools/demo/demo_station.h"

#include <array>
#include <map>
#include <span>
#include <string_view>
#include <utility>

#include "core/base/error_handler.h"
#include "core/base/failure.h"
#include "core/sys/folder_ops.h"
#include "tools/demo/demo_settings.h"
#include "tools/demo/table_writer.h"

namespace ks::demo {
namespace {

using Fill = std::function<void(const RowInsert&)>;

constexpr std::string_view kMake = "DemoStation:Make";
constexpr std::string_view kMakeTable = "DemoStation:MakeTable";

// clang-format off
constexpr std::array<DemoSetting, 4> kServerSettings{{
    {"STATI", "00001", "Nom de la station", "Kestrel FM"},
    {"STATI", "00002", "Fréquence", "98.7 MHz"},
    {"DIFFU", "00001", "Fondu enchaîné (ms)", "3000"},
    {"DIFFU", "00002", "Niveau de sortie (dB)", "-3"},
}};
// The settings the server keeps for its backup: a load copies them into the backup
// machine's settings table.
constexpr std::array<DemoSetting, 4> kBackupSettings{{
    {"SECOU", "00001", "Station de secours", "Kestrel FM secours"},
    {"SECOU", "00002", "Bascule automatique", "Oui"},
    {"SECOU", "00003", "Délai de bascule (s)", "10"},
    {"DIFFU", "00001", "Fondu enchaîné (ms)", "3000"},
}};
// clang-format on

bool BeforeDay(const DemoHour& hour, const DateTime& today) {
    return hour.Date < DateOnly(today);
}

// What the broadcast log shows for each song: "artist - title".
std::map<std::string, std::string> OnAirTexts(const DemoLibrary& library) {
    std::map<std::string, std::string> artists;
    for (const DemoArtist& artist : library.Artists) {
        artists[artist.Code] = artist.Name;
    }
    std::map<std::string, std::string> texts;
    for (const DemoSong& song : library.Songs) {
        texts[song.Id] = artists[song.Artist1] + " - " + song.Title;
    }
    return texts;
}

template <class Row, class Filler>
Fill EachRow(RecordBuffer& record, const std::vector<Row>& rows, Filler filler) {
    return [&record, &rows, filler](const RowInsert& insert) {
        for (const Row& row : rows) {
            filler(record, row);
            insert(record);
        }
    };
}

Fill Settings(RecordBuffer& record, std::span<const DemoSetting> rows) {
    return [&record, rows](const RowInsert& insert) {
        for (const DemoSetting& row : rows) {
            FillSetting(record, row);
            insert(record);
        }
    };
}

// The schedules' rows of the hours `keep` accepts.
template <class Keep>
Fill MusicRows(RecordBuffer& record, const std::vector<DemoHour>& hours, Keep keep,
               void (*filler)(RecordBuffer&, const DemoHour&, const MusicEvent&)) {
    return [&record, &hours, keep, filler](const RowInsert& insert) {
        for (const DemoHour& hour : hours) {
            if (!keep(hour)) {
                continue;
            }
            for (const MusicEvent& event : hour.Music) {
                filler(record, hour, event);
                insert(record);
            }
        }
    };
}

template <class Keep>
Fill AdvertisingRows(RecordBuffer& record, const std::vector<DemoHour>& hours, Keep keep) {
    return [&record, &hours, keep](const RowInsert& insert) {
        for (const DemoHour& hour : hours) {
            if (!keep(hour)) {
                continue;
            }
            for (const AdvertisingEvent& event : hour.Advertising) {
                FillAdvertisingEvent(record, hour, event);
                insert(record);
            }
        }
    };
}

template <class Keep>
Fill BroadcastRows(RecordBuffer& record, const std::vector<DemoHour>& hours, Keep keep,
                   const std::map<std::string, std::string>& texts) {
    return [&record, &hours, keep, &texts](const RowInsert& insert) {
        for (const DemoHour& hour : hours) {
            if (!keep(hour)) {
                continue;
            }
            for (const MusicEvent& event : hour.Music) {
                if (event.Type != kTypeSong) {
                    continue;
                }
                const auto text = texts.find(event.SoundId);
                FillBroadcastEvent(record, hour, event,
                                   text == texts.end() ? std::string() : text->second);
                insert(record);
            }
        }
    };
}

Fill RecorderSounds(RecordBuffer& record, const DemoLibrary& library) {
    return [&record, &library](const RowInsert& insert) {
        for (const DemoSong& song : library.Songs) {
            FillRecorderSound(record, song.Id, song.Title);
            insert(record);
        }
        for (const auto* sounds : {&library.Spots, &library.Jingles}) {
            for (const DemoSound& sound : *sounds) {
                FillRecorderSound(record, sound.Id, sound.Name);
                insert(record);
            }
        }
    };
}

Fill PerSongRows(RecordBuffer& record, const DemoLibrary& library,
                 void (*writer)(RecordBuffer&, const DemoSong&, const RowInsert&)) {
    return [&record, &library, writer](const RowInsert& insert) {
        for (const DemoSong& song : library.Songs) {
            writer(record, song, insert);
        }
    };
}

}  // namespace

DemoStation::DemoStation(ErrorHandler& errors, FolderOps& folderOps, IniAccess& ini,
                         engine::BtrCall& engine, DemoFolders folders)
    : m_errors(errors),
      m_folderOps(folderOps),
      m_ini(ini),
      m_engine(engine),
      m_folders(std::move(folders)) {
    InitGeneralData(m_catalogue);
}

std::string DemoStation::TablePath(const std::string& folder, int file) const {
    return folder + NomFichierBTR(m_catalogue, file, kDemoStation - 1);
}

bool DemoStation::MakeTable(const std::string& folder, int file, const Fill& fill,
                            std::size_t& count) {
    count = 0;
    return m_errors.Guard(kMakeTable, [&] {
        TableWriter writer(m_engine, m_catalogue);
        const std::string path = TablePath(folder, file);
        writer.Create(path, file);
        if (fill) {
            count = writer.Fill(path, fill);
        }
    });
}

DemoReport DemoStation::Make(const DemoOptions& options) {
    DemoReport report;
    m_errors.Guard(kMake, [&] {
        for (const std::string* folder :
             {&m_folders.ConfigServeur, &m_folders.DataServeur, &m_folders.ConfigLocal,
              &m_folders.DataLocal, &m_folders.Intermediaire}) {
            if (!m_folderOps.VerificationEtCreationRepertoire(*folder, true)) {
                throw Failure(kErrPathNotFound, "Cannot create the folder " + *folder);
            }
        }
    });
    m_errors.Guard(kMake, [&] { WriteDemoSettings(m_ini, m_folders, options.Today); });

    const DemoLibrary library =
        MakeDemoLibrary(kDemoSeed, options.Size.Songs, options.Size.Artists);
    const std::vector<DemoHour> hours = MakeDemoSchedule(library, options.Today, kFirstScheduleDay,
                                                         kLastScheduleDay, options.Size.Hours);
    WriteServerTables(library, hours, options.Today, report);
    WriteLocalTables(library, hours, options.Today, options.FreshLocal, report);
    return report;
}

void DemoStation::WriteServerTables(const DemoLibrary& library, const std::vector<DemoHour>& hours,
                                    const DateTime& today, DemoReport& report) {
    const auto all = [](const DemoHour&) { return true; };
    const auto past = [today](const DemoHour& hour) { return BeforeDay(hour, today); };
    const std::map<std::string, std::string> texts = OnAirTexts(library);
    RecordBuffers& b = m_buffers;

    const std::map<int, Fill> contents{
        {0, Settings(b.At(0), kServerSettings)},
        {9, Settings(b.At(9), kBackupSettings)},
        {20, EachRow(b.At(20), library.Artists, FillArtist)},
        {21, EachRow(b.At(21), library.Categories, FillCategory)},
        {22, EachRow(b.At(22), library.Songs, FillSong)},
        {24, EachRow(b.At(24), library.Songs, FillSongStack)},
        {26, RecorderSounds(b.At(26), library)},
        {27, AdvertisingRows(b.At(27), hours, all)},
        {28, BroadcastRows(b.At(28), hours, past, texts)},
        {29, PerSongRows(b.At(29), library, WriteSongKeyRows)},
        {31, PerSongRows(b.At(31), library, WriteCuePointRows)},
        {32, PerSongRows(b.At(32), library, WriteSongInfoRows)},
        {35, MusicRows(b.At(35), hours, all, FillMusicEvent)},
        {53, MusicRows(b.At(53), hours, all, FillPlayerEvent)},
    };
    for (int file = 0; file < kFileCount; ++file) {
        if (m_catalogue[static_cast<std::size_t>(file)].LongueurEnreg == 0) {
            continue;
        }
        const auto content = contents.find(file);
        std::size_t count = 0;
        if (MakeTable(m_folders.DataServeur, file,
                      content == contents.end() ? Fill() : content->second, count)) {
            ++report.ServerFiles;
        }
        switch (file) {
            case 20:
                report.Artists = count;
                break;
            case 21:
                report.Categories = count;
                break;
            case 22:
                report.Songs = count;
                break;
            case 27:
                report.AdvertisingEvents = count;
                break;
            case 35:
                report.MusicEvents = count;
                break;
            default:
                break;
        }
    }
}

void DemoStation::WriteLocalTables(const DemoLibrary& library, const std::vector<DemoHour>& hours,
                                   const DateTime& today, bool fresh, DemoReport& report) {
    // A backup machine in service holds the schedules of the last days: the next load purges
    // the ones older than three days.
    const auto past = [today](const DemoHour& hour) { return BeforeDay(hour, today); };
    const std::map<std::string, std::string> texts = OnAirTexts(library);
    RecordBuffers& b = m_buffers;
    const std::map<int, Fill> contents{
        {27, AdvertisingRows(b.At(27), hours, past)},
        {28, BroadcastRows(b.At(28), hours, past, texts)},
        {35, MusicRows(b.At(35), hours, past, FillMusicEvent)},
        {53, MusicRows(b.At(53), hours, past, FillPlayerEvent)},
    };
    TableWriter writer(m_engine, m_catalogue);
    for (int file = 0; file < kFileCount; ++file) {
        if (m_catalogue[static_cast<std::size_t>(file)].LongueurEnreg == 0) {
            continue;
        }
        // What earlier loads brought stays, unless the file is of no use to the loader.
        if (!fresh && writer.Opens(TablePath(m_folders.DataLocal, file), file)) {
            ++report.LocalFilesKept;
            continue;
        }
        const auto content = contents.find(file);
        std::size_t count = 0;
        if (MakeTable(m_folders.DataLocal, file,
                      content == contents.end() ? Fill() : content->second, count)) {
            ++report.LocalFilesMade;
        }
    }
}

}  // namespace ks::demo
