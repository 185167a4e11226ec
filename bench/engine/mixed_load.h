// A sequence of operations shaped like a load: for each of 2,000 songs a get equal, delete,
// get equal and insert on three tables, then a schedule range deleted record by record, the
// source schedule read with get greater or equal and get next, and inserted again. About
// 100,000 operations; running it again finds the tables as it left them.
#pragma once

#include <cstdint>

#include "bench_table.h"

namespace ks::bench {

struct LoadTables {
    BenchTable& songs;
    BenchTable& extras;
    BenchTable& pointers;
    BenchTable& schedule;        // the destination station's schedule
    BenchTable& sourceSchedule;  // the copied server schedule, only read
};

inline constexpr std::uint32_t kLoadSongs = 2000;
inline constexpr std::uint32_t kScheduleRecords = 19000;

// Fills the tables the sequence expects (the songs table is the benchmark's own).
void PrepareLoadTables(LoadTables& tables);

// Runs the sequence; returns the number of operations made.
std::uint64_t RunLoadSequence(LoadTables& tables);

}  // namespace ks::bench
