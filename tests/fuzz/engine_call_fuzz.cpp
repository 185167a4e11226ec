// The record engine's call under libFuzzer: the input is read as a sequence of operations
// (insert, update, delete, the reads by key, get next and previous, transactions, close and
// reopen, copies of a position block, stop) through two opens of one small table, and every
// answer (status, record, returned key) is compared with the in-memory model the unit tests
// use (tests/engine/table_model.h). Key 0 is short and unique; key 1 has duplicates, a folded
// segment and 100 bytes, more than a position block holds. After the sequence the file must
// pass the engine's check and walk both keys as the model holds them. Any difference aborts.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/long_key_memory.h"
#include "engine/record_engine.h"
#include "engine/table_client.h"
#include "engine/table_model.h"
#include "fuzz/scratch_folder.h"
#include "ks/engine/table_check.h"

namespace {

using ks::engine::LongKeyMemory;
using ks::engine::RecordEngine;
using ks::engine::test::TableClient;
using ks::engine::test::TableModel;
namespace op = ks::engine::op;
namespace status = ks::engine::status;
namespace key_flag = ks::engine::key_flag;

constexpr std::uint16_t kLength = 120;
constexpr std::size_t kKey1At = 2;
constexpr std::size_t kKey1Length = 100;
constexpr std::size_t kPayloadAt = kKey1At + kKey1Length;
constexpr int kMaxSteps = 200;

std::string Shape() {
    constexpr std::uint16_t kDup = key_flag::kDuplicates | key_flag::kModifiable;
    return ks::engine::test::SpecBuffer(
        kLength, 1024, 2,
        {{1, 2, key_flag::kModifiable},
         {3, 2, kDup | key_flag::kSegmented | key_flag::kCaseInsensitive},
         {5, kKey1Length - 2, kDup}});
}

std::string RawKey(const std::string& record, std::size_t k) {
    return k == 0 ? record.substr(0, 2) : record.substr(kKey1At, kKey1Length);
}

std::string Folded(std::string key, std::size_t k) {
    if (k == 1) {
        for (std::size_t i = 0; i < 2; ++i) {
            if (key[i] >= 'a' && key[i] <= 'z') {
                key[i] = static_cast<char>(key[i] - 'a' + 'A');
            }
        }
    }
    return key;
}

[[noreturn]] void Mismatch(int step, const char* what) {
    std::fprintf(stderr, "engine and model differ at step %d: %s\n", step, what);
    std::abort();
}

// The scratch table: one file per fuzzing process, made afresh for every input.
const std::string& TablePath() {
    static const ks::test::ScratchFolder folder;
    static const std::string path = folder.Path("FDATF01.bt6");
    return path;
}

// One open of the table as the model sees it: its position, and how many keys too long for
// the block the engine has remembered for it (see long_key_memory.h).
struct Opening {
    explicit Opening(RecordEngine& engine) : client(engine) {}

    TableClient client;
    TableModel::Cursor cursor;
    std::uint32_t remembered = 0;
    std::uint32_t token = 0;  // the memory's token of the cursor's key, when it is key 1
    // A copy of the block and what it stood for; dropped when the file is closed.
    std::optional<std::array<std::uint8_t, ks::engine::kPositionBlockSize>> savedBlock;
    TableModel::Cursor savedCursor;
    std::uint32_t savedToken = 0;
};

class Session {
  public:
    Session(FuzzedDataProvider& input, RecordEngine& engine)
        : m_input(input),
          m_openings{Opening(engine), Opening(engine)},
          m_model({false, true}, [](const std::string& record,
                                    std::size_t k) { return Folded(RawKey(record, k), k); }),
          m_saved(m_model) {}

    void Run() {
        const std::string& path = TablePath();
        Check(m_openings[0].client.Create(path, Shape()) == 0, "create");
        for (auto& opening : m_openings) {
            Check(opening.client.Open(path) == 0, "open");
        }
        while (m_step < kMaxSteps && m_input.remaining_bytes() > 0) {
            Opening& opening = m_openings[m_input.ConsumeIntegralInRange<std::size_t>(0, 1)];
            switch (m_input.ConsumeIntegralInRange<int>(0, 15)) {
                case 0:
                case 1:
                case 2:
                    Insert(opening);
                    break;
                case 3:
                    Update(opening);
                    break;
                case 4:
                    Delete(opening);
                    break;
                case 5:
                case 6:
                case 7:
                    ReadByKey(opening);
                    break;
                case 8:
                case 9:
                case 10:
                    NextOrPrevious(opening);
                    break;
                case 11:
                    Transaction();
                    break;
                case 12:
                    CopyOrRestoreBlock(opening);
                    break;
                case 13:
                    Reopen(opening);
                    break;
                case 14:
                    Stat(opening);
                    break;
                default:
                    Other(opening);
                    break;
            }
            ++m_step;
        }
        Check(opening0().client.Do(op::kStop) == 0, "stop");
        if (m_inTransaction) {
            m_model.RollBackTo(m_saved);
        }
    }

    const TableModel& Model() const { return m_model; }

  private:
    Opening& opening0() { return m_openings[0]; }

    void Check(bool agrees, const char* what) const {
        if (!agrees) {
            Mismatch(m_step, what);
        }
    }

    char Pick(std::string_view from) {
        return from[m_input.ConsumeIntegralInRange<std::size_t>(0, from.size() - 1)];
    }

    std::string NewRecord() {
        std::string record(kLength, '-');
        record[0] = Pick("ab");
        record[1] = Pick("cde");
        record[kKey1At] = Pick("aAbB");
        record[kKey1At + 1] = Pick("zZ");
        record[kKey1At + kKey1Length - 3] = Pick("xy");
        const std::string payload = m_input.ConsumeBytesAsString(kLength - kPayloadAt);
        record.replace(kPayloadAt, payload.size(), payload);
        return record;
    }

    // A key number as a caller might pass it: mostly a key of the file.
    int KeyNumber() {
        const int pick = m_input.ConsumeIntegralInRange<int>(0, 9);
        return pick < 8 ? pick % 2 : (pick == 8 ? 2 : -2);
    }

    // The model's cursor of `opening` moves to record `id` by key `k`.
    void PositionOn(Opening& opening, std::int64_t id, std::size_t k) {
        opening.cursor = m_model.CursorOn(id, k);
        if (k == 1) {
            opening.token = ++opening.remembered;
        }
    }

    void ExpectRead(Opening& opening, std::int16_t result,
                    const std::optional<TableModel::Entry>& entry, std::size_t k,
                    std::int16_t missing) {
        if (!entry) {
            Check(result == missing, "a read that should find nothing");
            return;
        }
        Check(result == 0, "a read that should find a record");
        const std::string& record = m_model.Record(std::get<2>(*entry));
        Check(opening.client.Record() == record, "the record read");
        Check(opening.client.Key(RawKey(record, k).size()) == RawKey(record, k),
              "the key returned");
        PositionOn(opening, std::get<2>(*entry), k);
    }

    void Insert(Opening& opening) {
        const std::string record = NewRecord();
        const int k = m_input.ConsumeBool() ? ks::engine::kNoCurrencyChange : KeyNumber();
        const auto result = opening.client.Insert(record, static_cast<std::int8_t>(k));
        if (k != ks::engine::kNoCurrencyChange && (k < 0 || k > 1)) {
            Check(result == status::kInvalidKeyNumber, "insert with a key number the file lacks");
        } else if (m_model.Collides(record, 0)) {
            Check(result == status::kDuplicateKey, "insert of a duplicate unique key");
        } else {
            Check(result == 0, "insert");
            const std::int64_t id = m_model.Insert(record);
            if (k >= 0) {
                const auto kk = static_cast<std::size_t>(k);
                Check(opening.client.Key(RawKey(record, kk).size()) == RawKey(record, kk),
                      "the key returned by insert");
                PositionOn(opening, id, kk);
            }
        }
    }

    void Update(Opening& opening) {
        std::string record = NewRecord();
        if (opening.cursor.onRecord && m_model.Exists(opening.cursor.id) && m_input.ConsumeBool()) {
            record.replace(0, 2, RawKey(m_model.Record(opening.cursor.id), 0));
        }
        const int k = KeyNumber();
        const auto result = opening.client.Update(record, static_cast<std::int8_t>(k));
        if (k < 0 || k > 1) {
            Check(result == status::kInvalidKeyNumber, "update with a key number the file lacks");
        } else if (!opening.cursor.onRecord || !m_model.Exists(opening.cursor.id)) {
            Check(result == status::kInvalidPositioning, "update without a record");
        } else if (m_model.Collides(record, opening.cursor.id)) {
            Check(result == status::kDuplicateKey, "update to another record's unique key");
        } else {
            Check(result == 0, "update");
            m_model.Update(opening.cursor.id, record);
            PositionOn(opening, opening.cursor.id, static_cast<std::size_t>(k));
        }
    }

    void Delete(Opening& opening) {
        const auto result = opening.client.Delete(static_cast<std::int8_t>(KeyNumber()));
        if (!opening.cursor.onRecord || !m_model.Exists(opening.cursor.id)) {
            Check(result == status::kInvalidPositioning, "delete without a record");
            return;
        }
        Check(result == 0, "delete");
        m_model.Delete(opening.cursor.id);
        opening.cursor.onRecord = false;
    }

    void ReadByKey(Opening& opening) {
        static constexpr std::array<std::uint16_t, 7> kOps = {
            op::kGetEqual,    op::kGetGreater,     op::kGetGreaterOrEqual,
            op::kGetLessThan, op::kGetLessOrEqual, op::kGetFirst,
            op::kGetLast};
        const auto operation =
            kOps[m_input.ConsumeIntegralInRange<std::size_t>(0, kOps.size() - 1)];
        const int k = KeyNumber();
        std::string probe = NewRecord();
        if (m_input.ConsumeBool()) {
            probe[0] = static_cast<char>(m_input.ConsumeIntegral<std::uint8_t>());
        }
        const std::string key = RawKey(probe, k == 1 ? 1 : 0);
        const auto result = opening.client.Get(operation, key, static_cast<std::int8_t>(k));
        if (k < 0 || k > 1) {
            Check(result == status::kInvalidKeyNumber, "read with a key number the file lacks");
            return;
        }
        const auto kk = static_cast<std::size_t>(k);
        ExpectRead(opening, result, m_model.Seek(kk, operation, Folded(key, kk)), kk,
                   operation == op::kGetEqual ? status::kKeyNotFound : status::kEndOfFile);
    }

    void NextOrPrevious(Opening& opening) {
        const bool next = m_input.ConsumeBool();
        const int k =
            m_input.ConsumeIntegralInRange<int>(0, 7) == 0 ? KeyNumber() : opening.cursor.keyNumber;
        const auto result = opening.client.Step(next ? op::kGetNext : op::kGetPrevious,
                                                static_cast<std::int8_t>(k));
        const TableModel::Cursor& cursor = opening.cursor;
        if (cursor.keyNumber < 0) {
            Check(result == status::kInvalidPositioning, "next or previous without a position");
            return;
        }
        if (k != cursor.keyNumber) {
            Check(result == status::kDifferentKeyNumber, "next or previous on another key");
            return;
        }
        // A key 1 position whose key the engine no longer remembers goes on from its record
        // only when the record still has that key.
        if (k == 1 && opening.remembered - opening.token >= LongKeyMemory::kCapacity &&
            (!m_model.Exists(cursor.id) ||
             std::get<0>(m_model.EntryOf(cursor.id, 1)) != cursor.key)) {
            Check(result == status::kInvalidPositioning, "a forgotten position");
            return;
        }
        ExpectRead(opening, result, m_model.Step(cursor, next), static_cast<std::size_t>(k),
                   status::kEndOfFile);
    }

    void Transaction() {
        switch (m_input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
            case 1: {
                const auto result =
                    opening0().client.Do(m_input.ConsumeBool() ? op::kBeginTransaction
                                                               : op::kBeginConcurrentTransaction);
                Check(result == (m_inTransaction ? status::kTransactionActive : 0), "begin");
                if (!m_inTransaction) {
                    m_saved = m_model;
                    m_inTransaction = true;
                }
                break;
            }
            case 2:
                Check(opening0().client.Do(op::kEndTransaction) ==
                          (m_inTransaction ? 0 : status::kNoTransaction),
                      "end");
                m_inTransaction = false;
                break;
            default:
                Check(opening0().client.Do(op::kAbortTransaction) ==
                          (m_inTransaction ? 0 : status::kNoTransaction),
                      "abort");
                if (m_inTransaction) {
                    m_model.RollBackTo(m_saved);
                }
                m_inTransaction = false;
                break;
        }
    }

    void CopyOrRestoreBlock(Opening& opening) {
        if (m_input.ConsumeBool() || !opening.savedBlock) {
            opening.savedBlock = opening.client.block;
            opening.savedCursor = opening.cursor;
            opening.savedToken = opening.token;
        } else {
            opening.client.block = *opening.savedBlock;
            opening.cursor = opening.savedCursor;
            opening.token = opening.savedToken;
        }
    }

    void Reopen(Opening& opening) {
        if (m_input.ConsumeIntegralInRange<int>(0, 3) == 0) {
            // Stop closes every file and rolls back a transaction.
            Check(opening.client.Do(op::kStop) == 0, "stop");
            if (m_inTransaction) {
                m_model.RollBackTo(m_saved);
                m_inTransaction = false;
            }
            for (auto& each : m_openings) {
                Forget(each);
            }
            return;
        }
        Check(opening.client.Close() == 0, "close");
        Forget(opening);
    }

    // A closed opening opens again: no position, nothing remembered, no copy of its block.
    void Forget(Opening& opening) {
        Check(opening.client.Open(TablePath()) == 0, "open again");
        opening.cursor = {};
        opening.remembered = 0;
        opening.token = 0;
        opening.savedBlock.reset();
    }

    void Stat(Opening& opening) {
        opening.client.length = 4096;
        Check(opening.client.Do(op::kStat) == 0, "stat");
        std::uint32_t count = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            count |=
                static_cast<std::uint32_t>(static_cast<std::uint8_t>(opening.client.data[6 + i]))
                << (8 * i);
        }
        Check(count == m_model.Size(), "the record count");
    }

    // Operations the engine does not know (steps in physical order, get position...).
    void Other(Opening& opening) {
        static constexpr std::array<std::uint16_t, 4> kUnknown = {22, 24, 33, 50};
        const auto operation =
            kUnknown[m_input.ConsumeIntegralInRange<std::size_t>(0, kUnknown.size() - 1)];
        Check(opening.client.Do(operation) == status::kInvalidOperation, "an unknown operation");
    }

    FuzzedDataProvider& m_input;
    std::array<Opening, 2> m_openings;
    TableModel m_model;
    TableModel m_saved;
    bool m_inTransaction = false;
    int m_step = 0;
};

// The closed file: whole, and holding exactly the model's records in the model's order.
void CheckFile(const TableModel& model) {
    const auto problems = ks::engine::CheckTableFile(TablePath());
    if (!problems.empty()) {
        Mismatch(kMaxSteps, problems.front().c_str());
    }
    RecordEngine engine(ks::engine::test::FastOptions());
    TableClient reader(engine);
    if (reader.Open(TablePath()) != 0) {
        Mismatch(kMaxSteps, "open for the final walk");
    }
    for (std::size_t k = 0; k < model.KeyCount(); ++k) {
        auto expected = model.Index(k).begin();
        auto result = reader.Get(op::kGetFirst, "", static_cast<std::int8_t>(k));
        for (; result == 0; result = reader.Step(op::kGetNext, static_cast<std::int8_t>(k))) {
            if (expected == model.Index(k).end() ||
                reader.Record() != model.Record(std::get<2>(*expected))) {
                Mismatch(kMaxSteps, "the final walk");
            }
            ++expected;
        }
        if (result != status::kEndOfFile || expected != model.Index(k).end()) {
            Mismatch(kMaxSteps, "the end of the final walk");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider input(bytes, size);
    ks::engine::EngineOptions options = ks::engine::test::FastOptions();
    // Small bundles too, so that sequences cross bundle ends.
    options.bundleOperations = input.ConsumeIntegralInRange<int>(1, 8);
    std::optional<TableModel> model;
    {
        RecordEngine engine(options);
        Session session(input, engine);
        session.Run();
        model.emplace(session.Model());
    }
    CheckFile(*model);
    return 0;
}
