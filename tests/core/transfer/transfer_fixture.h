// Two stations' tables on disk for the transfer, stated as rows: the copied server station
// (2, in the intermediate folder) and the local station (1), every table of a transfer made
// empty on both sides, the transfer wired to the real engine through a fault engine, and a
// fake clock at 07/12/2026 09:05:07, so the window starts at 10:00 today.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/db/record_fields.h"
#include "core/transfer/copied_set.h"
#include "core/transfer/record_transfer.h"
#include "support/fake_load_view.h"
#include "support/real_db_stack.h"
#include "support/station_tables.h"
#include "support/temp_dir.h"

namespace ks::test {

inline constexpr std::int16_t kSourceStation = 2;
inline constexpr std::int16_t kLocalStation = 1;
inline constexpr std::array<int, 15> kTransferTables{0,  9,  20, 21, 22, 23, 24, 26,
                                                     27, 28, 29, 31, 32, 35, 53};

// Rows of the tables the transfer reads and writes. `hour` is the date and hour of a key
// ("2026120710"); `minute` tells the events of an hour apart.
inline Row Music(const std::string& hour, const std::string& minute, const std::string& type,
                 const std::string& song) {
    return {{fields::fdat035::kKey0, hour + "000" + hour.substr(8, 2) + minute + "00"},
            {fields::fdat035::kElementType, type},
            {fields::fdat035::kSongId, song}};
}
inline Row Player(const std::string& hour, const std::string& minute, const std::string& type,
                  const std::string& song) {
    return {{fields::fdat053::kKey0, hour + minute + "0000"},
            {fields::fdat053::kElementType, type},
            {fields::fdat053::kSongId, song}};
}
inline Row Advert(const std::string& hour, const std::string& order, const std::string& song) {
    return {{fields::fdat027::kKey0, hour + order}, {fields::fdat027::kSongId, song}};
}
inline Row Broadcast(const std::string& key16) {
    return {{fields::fdat028::kKey0, key16}};
}
inline Row Song(const std::string& id, const std::string& artist1, const std::string& artist2,
                const std::string& title, const std::string& category) {
    return {{fields::fdat022::kSongId, id},
            {fields::fdat022::kFirstArtist, artist1},
            {fields::fdat022::kSecondArtist, artist2},
            {fields::fdat022::kTitle, title},
            {fields::fdat022::kCategory, category}};
}
inline Row Artist(const std::string& code, const std::string& name) {
    return {{fields::fdat020::kArtistCode, code}, {fields::fdat020::kName, name}};
}
inline Row Category(const std::string& code, const std::string& name) {
    return {{fields::fdat021::kKey0, "CATEG" + code}, {fields::fdat021::kName, name}};
}
// A row of a per-song table: the song, the rest of its key, a text that tells rows apart.
inline constexpr FieldRef kStackLabel{26, 25};
inline constexpr FieldRef kRecorderLabel{43, 30};
inline constexpr FieldRef kKeyRowKind{1, 10};
inline constexpr FieldRef kKeyRowText{19, 40};
inline constexpr FieldRef kCueRest{9, 3};
inline constexpr FieldRef kInfoRest{9, 2};
inline constexpr FieldRef kInfoText{11, 40};
inline constexpr FieldRef kSettingLabel{11, 30};

// Every table of a transfer, empty, for both stations: made once, copied for each test.
inline const TempDir& EmptyStations() {
    static const TempDir folder;
    static const bool made = [] {
        engine::RecordEngine engine(FastEngineOptions());
        StationTables tables(engine);
        for (const auto& [name, station] :
             {std::pair{"Temporaire/", kSourceStation}, std::pair{"Local/", kLocalStation}}) {
            std::filesystem::create_directories(folder.Folder() + name);
            for (const int file : kTransferTables) {
                tables.Write(folder.Folder() + name, file, station, {});
            }
        }
        return true;
    }();
    static_cast<void>(made);
    return folder;
}

class TransferFixture : public ::testing::Test, protected RealDbStack {
  protected:
    TransferFixture() {
        std::filesystem::copy(EmptyStations().Path(), root.Path(),
                              std::filesystem::copy_options::recursive);
        copied.stations.NoStation1 = kSourceStation;
        copied.stations.DossierStation1 = copyFolder;
        copied.stations.NoStation2 = kLocalStation;
        copied.stations.DossierStation2 = localFolder;
        copied.PresenceFichier53 = true;
    }

    void Source(int file, const std::vector<Row>& rows) {
        tables.Write(copyFolder, file, kSourceStation, rows);
    }
    void Local(int file, const std::vector<Row>& rows) {
        tables.Write(localFolder, file, kLocalStation, rows);
    }
    std::vector<std::string> LocalRows(int file, const std::vector<FieldRef>& fields,
                                       int keyNumber = 0) {
        return tables.Read(localFolder, file, kLocalStation, fields, keyNumber);
    }

    void Run(std::int16_t set = 1) {
        const std::int16_t hourOffset = 1;
        transfer.DataTransfert(set, copied, hourOffset, err95, err8);
    }

    // The trace lines written, in order, that start with one of `prefixes`.
    std::vector<std::string> TraceLines(const std::vector<std::string>& prefixes) const {
        std::vector<std::string> lines;
        for (const std::string& line : trace.Messages()) {
            if (std::any_of(prefixes.begin(), prefixes.end(),
                            [&](const std::string& p) { return line.starts_with(p); })) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // True while the call being made is the call site `tag` (" /AO"...): the layer writes the
    // call's history line before it reaches the engine.
    bool AtSite(std::string_view tag) {
        const std::string& line = db.History(0)[0];
        return line.ends_with(std::string(tag) + "]");
    }

    bool AllClosed() const {
        for (const int file : kTransferTables) {
            for (const std::int16_t station : {kSourceStation, kLocalStation}) {
                if (db.FichierOuvertBTR(0, station, file)) {
                    return false;
                }
            }
        }
        return true;
    }

    TempDir root;
    const std::string copyFolder = root.Folder() + "Temporaire/";
    const std::string localFolder = root.Folder() + "Local/";
    FakeLoadView view;
    StationTables tables{recordEngine};
    RecordTransfer transfer{{db, stations, layer, files, report, trace, errors, clock, pump, view}};
    CopiedSet copied;  // as the copy phase leaves it
    bool err95 = false;
    bool err8 = false;
};

}  // namespace ks::test
