// An SQLite file layer for tests that passes everything to the default one but can be told
// to fail every write, as a full disk or a failing disk would: the engine's answers to those
// failures are tested with it. It may fail only some files, so that one table of an engine
// fails while the others work. The engine's timer writes while a test switches the failure.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <string>

namespace ks::engine::test {

class FaultyVfs {
  public:
    // Registers the layer under `name` (not as the default). With `onlyFilesContaining`, the
    // failure hits only the files whose name contains that text (a table's name also names
    // its log).
    explicit FaultyVfs(std::string name, std::string onlyFilesContaining = {});
    ~FaultyVfs();
    FaultyVfs(const FaultyVfs&) = delete;
    FaultyVfs& operator=(const FaultyVfs&) = delete;

    const std::string& Name() const { return m_name; }
    const std::string& OnlyFilesContaining() const { return m_only; }
    // SQLITE_FULL, SQLITE_IOERR_WRITE..., or SQLITE_OK to let writes through again.
    void FailWritesWith(int code) { m_failWrites = code; }
    int FailWrites() const { return m_failWrites; }
    // Writes failed so far: a test waits for a failure met on another thread.
    int FailedWrites() const { return m_failedWrites; }
    void CountFailedWrite() { ++m_failedWrites; }

  private:
    std::string m_name;
    std::string m_only;
    sqlite3_vfs m_vfs{};
    std::atomic<int> m_failWrites{SQLITE_OK};
    std::atomic<int> m_failedWrites{0};
};

}  // namespace ks::engine::test
