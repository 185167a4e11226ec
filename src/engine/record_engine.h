// The record engine behind MakeRecordEngine (ks/engine/engine.h): the classic call over table
// files of our own SQLite-based format. The files it has open, their position blocks' handles
// and the caller's transaction are its own state. See the "Record engine" section of README.md
// for what a commit spanning several files guarantees.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/long_key_memory.h"
#include "engine/position_block.h"
#include "engine/table_file.h"
#include "ks/engine/btr_call.h"
#include "ks/engine/engine.h"

namespace ks::engine {

class RecordEngine final : public BtrCall {
  public:
    explicit RecordEngine(EngineOptions options = {});
    ~RecordEngine() override;
    RecordEngine(const RecordEngine&) = delete;
    RecordEngine& operator=(const RecordEngine&) = delete;

    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint8_t keyLength,
                      std::int8_t keyNumber) override;

  private:
    struct Request {
        std::uint16_t operation;
        std::uint8_t* block;
        std::uint8_t* data;
        std::uint32_t& dataLength;
        std::uint8_t* key;
        std::uint8_t keyLength;
        std::int8_t keyNumber;
    };
    struct Handle {
        std::shared_ptr<TableFile> file;
        bool readOnly = false;
        LongKeyMemory longKeys;  // of the positions of this open's blocks

        bool Writable() const { return !readOnly && !file->ReadOnly() && !file->WritesRefused(); }
    };

    std::int16_t Dispatch(Request& request);
    std::int16_t Open(Request& request);
    std::int16_t Close(Request& request);
    std::int16_t Create(Request& request);
    std::int16_t Stat(Request& request);
    std::int16_t Insert(Request& request);
    std::int16_t Update(Request& request);
    std::int16_t Delete(Request& request);
    std::int16_t GetByKey(Request& request);
    std::int16_t GetEnd(Request& request);
    std::int16_t GetNextOrPrevious(Request& request);
    std::int16_t BeginTransaction();
    std::int16_t EndTransaction();
    std::int16_t AbortTransaction();
    std::int16_t Stop();

    // Bundles and read windows: the count is checked after each write and before each read,
    // the age at every call and by the timer, which commits them in m_bundles. A failure
    // belongs to its file: met in a call on the file, that call answers it (CommitBundle
    // throws); met elsewhere, the file keeps it for its own next call (CommitBundles).
    void Track(const std::shared_ptr<TableFile>& file);
    void WriteDone(const std::shared_ptr<TableFile>& file);
    // Opens or joins the file's read window before a read (a bundle serves as one).
    void ReadWindow(const std::shared_ptr<TableFile>& file);
    void CommitBundle(const std::shared_ptr<TableFile>& file, int unansweredWrites = 0);
    // Commits every open bundle (only those older than the age when `agedOnly`).
    void CommitBundles(bool agedOnly);
    void StartTimer();
    void RunTimer();

    // The handle a position block names, or 3 when the block is not one of ours; or the
    // status of a loss of that file no call has answered yet (see TableFile::TakeLoss).
    std::int16_t Resolve(const Request& request, Cursor& cursor, Handle*& handle);
    // Resolve, then the key of the call: a key of the file and a key buffer that can hold it.
    std::int16_t ResolveKey(const Request& request, Cursor& cursor, Handle*& handle,
                            std::size_t& keyIndex);
    // The checks an insert or an update makes before touching the file: an open handle with
    // write access (a file that lost a bundle refuses writes), a whole record, a key of the file
    // and a key buffer that can hold it (no key for an insert that keeps the position).
    std::int16_t PrepareWrite(const Request& request, Cursor& cursor, Handle*& handle,
                              std::size_t& keyIndex);
    std::int16_t ReturnRecord(Request& request, Cursor& cursor, std::size_t keyNumber,
                              const FoundView& found);
    void PositionOn(Request& request, Cursor& cursor, std::size_t keyNumber,
                    const FoundView& found);
    std::shared_ptr<TableFile> FindOpenFile(const std::filesystem::path& path) const;
    std::vector<TableFile*> OpenFiles() const;
    TableOpenOptions TableOptions() const;

    EngineOptions m_options;
    // One call at a time, and the timer between calls.
    std::mutex m_mutex;
    std::vector<std::shared_ptr<TableFile>> m_bundles;  // files with an open bundle or window
    // When the oldest of them is due (never later: a window started again later makes it
    // early, which only costs a look), so that a call looks at them only then.
    std::chrono::steady_clock::time_point m_nextDue;
    std::shared_ptr<TableFile> m_reading;  // the file of the call's read, if any
    std::thread m_timer;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::uint32_t m_tag;
    std::uint32_t m_nextHandle = 1;
    std::map<std::uint32_t, Handle> m_handles;
    bool m_inTransaction = false;
    // Files taking part in the caller's transaction; kept alive until it ends, even closed.
    std::vector<std::shared_ptr<TableFile>> m_transactionFiles;
};

}  // namespace ks::engine
