#include "mixed_load.h"

#include <stdexcept>
#include <string>

#include "song_table.h"

namespace ks::bench {

namespace {

// The songs the load touches: spread over the whole table (songs are the even numbers).
std::uint32_t LoadSong(std::uint32_t i) {
    return i * 100U;
}

void Require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("load sequence: ") + what);
    }
}

// Get equal, delete, get equal (now missing), insert: the load's replacement of one record.
std::uint64_t Replace(BenchTable& table, const std::string& key, const std::string& record) {
    std::string read;
    Require(table.GetEqual(0, key, read), "record to replace missing");
    Require(table.DeleteCurrent(), "delete refused");
    Require(!table.GetEqual(0, key, read), "deleted record still there");
    Require(table.Insert(record), "insert refused");
    return 4;
}

}  // namespace

void PrepareLoadTables(LoadTables& tables) {
    for (std::uint32_t i = 0; i < kLoadSongs; ++i) {
        Require(tables.extras.Insert(SongExtraRecord(LoadSong(i))), "extras");
        Require(tables.pointers.Insert(PointerRecord(LoadSong(i))), "pointers");
    }
    for (std::uint32_t n = 0; n < kScheduleRecords; ++n) {
        Require(tables.schedule.Insert(ScheduleRecord(n, n * 7U)), "schedule");
        Require(tables.sourceSchedule.Insert(ScheduleRecord(n, n * 7U)), "source schedule");
    }
    for (BenchTable* table : {&tables.extras, &tables.pointers, &tables.schedule,
                              &tables.sourceSchedule, &tables.songs}) {
        table->Flush();
    }
}

std::uint64_t RunLoadSequence(LoadTables& tables) {
    std::uint64_t operations = 0;
    for (std::uint32_t i = 0; i < kLoadSongs; ++i) {
        const std::uint32_t song = LoadSong(i);
        operations += Replace(tables.songs, Digits(song, 8), SongRecord(song));
        operations += Replace(tables.extras, Digits(song, 8) + "01", SongExtraRecord(song));
        operations += Replace(tables.pointers, Digits(song, 8) + "001", PointerRecord(song));
    }
    // The destination's schedule range goes, record by record.
    std::string record;
    const std::string from = "20240101" + Digits(0, 11);
    bool found = tables.schedule.GetGreaterOrEqual(0, from, record);
    ++operations;
    std::uint32_t deleted = 0;
    while (found) {
        Require(tables.schedule.DeleteCurrent(), "schedule delete refused");
        ++deleted;
        found = tables.schedule.GetNext(record);
        operations += 2;
    }
    Require(deleted == kScheduleRecords, "schedule range incomplete");
    // The source's range is read and written to the destination.
    found = tables.sourceSchedule.GetGreaterOrEqual(0, from, record);
    ++operations;
    while (found) {
        Require(tables.schedule.Insert(record), "schedule insert refused");
        found = tables.sourceSchedule.GetNext(record);
        operations += 2;
    }
    for (BenchTable* table : {&tables.songs, &tables.extras, &tables.pointers, &tables.schedule}) {
        table->Flush();
    }
    return operations;
}

}  // namespace ks::bench
