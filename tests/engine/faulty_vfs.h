// An SQLite file layer for tests that passes everything to the default one but can be told
// to fail every write, as a full disk or a failing disk would: the engine's answers to those
// failures are tested with it.
#pragma once

#include <sqlite3.h>

#include <string>

namespace ks::engine::test {

class FaultyVfs {
  public:
    // Registers the layer under `name` (not as the default).
    explicit FaultyVfs(std::string name);
    ~FaultyVfs();
    FaultyVfs(const FaultyVfs&) = delete;
    FaultyVfs& operator=(const FaultyVfs&) = delete;

    const std::string& Name() const { return m_name; }
    // SQLITE_FULL, SQLITE_IOERR_WRITE..., or SQLITE_OK to let writes through again.
    void FailWritesWith(int code) { m_failWrites = code; }
    int FailWrites() const { return m_failWrites; }

  private:
    std::string m_name;
    sqlite3_vfs m_vfs{};
    int m_failWrites = SQLITE_OK;
};

}  // namespace ks::engine::test
