// The bytes of a table file of ours under libFuzzer, as a damaged or hostile server could hand
// them to the load's copy: the copy's check, then the engine's open and a walk of every key
// forwards and backwards through the classic call. Besides crashes, hangs and sanitizer
// reports, it stops on a broken promise: a file the check passes that the engine does not
// open, or one whose keys, walked to their end both ways, do not give the same records.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "engine/record_engine.h"
#include "engine/table_client.h"
#include "fuzz/scratch_folder.h"
#include "ks/engine/table_check.h"

namespace {

using ks::engine::RecordEngine;
using ks::engine::test::TableClient;
namespace op = ks::engine::op;
namespace status = ks::engine::status;

// A walk gives up after this many records.
constexpr int kMaxRecords = 5000;

// The input as the table file, with no side file of an earlier input beside it.
const std::string& WriteTable(const std::uint8_t* bytes, std::size_t size) {
    static const ks::test::ScratchFolder folder;
    static const std::string path = folder.Path("FDATF22.bt6");
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        std::error_code ignored;
        std::filesystem::remove(path + suffix, ignored);
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    return path;
}

// The records of key `keyNumber` from one end to the other; false when the walk did not reach
// the other end (a read failed, or it went on past the bound).
bool Walk(TableClient& table, std::int8_t keyNumber, bool forwards,
          std::vector<std::string>& records) {
    std::uint16_t operation = forwards ? op::kGetFirst : op::kGetLast;
    for (int read = 0; read < kMaxRecords; ++read) {
        const std::int16_t result = table.Step(operation, keyNumber, 65535);
        if (result != status::kSuccess) {
            return result == status::kEndOfFile;
        }
        records.push_back(table.Record());
        operation = forwards ? op::kGetNext : op::kGetPrevious;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static RecordEngine engine;
    const std::string& path = WriteTable(bytes, size);
    const ks::engine::CopyCheck check = ks::engine::CheckTableCopy(path);
    TableClient table(engine);
    table.data.resize(65535);
    if (table.Open(path, ks::engine::open_mode::kReadOnly) != status::kSuccess) {
        if (check.Whole()) {
            __builtin_trap();  // the check passed a file the engine refuses
        }
        return 0;
    }
    table.length = static_cast<std::uint32_t>(table.data.size());
    const bool stated = table.Do(op::kStat) == status::kSuccess;
    const std::size_t keys = stated ? static_cast<std::uint8_t>(table.data[4]) : 0;
    for (std::size_t k = 0; k < keys; ++k) {
        std::vector<std::string> forwards;
        std::vector<std::string> backwards;
        const bool walked = Walk(table, static_cast<std::int8_t>(k), true, forwards) &&
                            Walk(table, static_cast<std::int8_t>(k), false, backwards);
        std::reverse(backwards.begin(), backwards.end());
        if (check.Whole() && walked && forwards != backwards) {
            __builtin_trap();
        }
    }
    table.Close();
    return 0;
}
