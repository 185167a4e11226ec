// Whether a table file is in use by anybody else, asked through SQLite's own handle of the
// file and its own locks, so that no second descriptor of the file is ever opened and closed
// (closing one would drop every lock SQLite holds on the file in this process). Every open
// connection holds SQLite's shared lock for as long as it is open (write-ahead-log mode), so
// getting the exclusive lock means that no other connection, of any process, has the file:
// side files beside it are then left over and the engine may clean them up before SQLite
// looks at them.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>

namespace ks::engine {

class SoleUse {
  public:
    // `db` is a connection that has opened the file but not read it yet.
    explicit SoleUse(sqlite3* db);
    // Gives the file back to SQLite as it found it, or at the shared lock after Downgrade.
    ~SoleUse();
    SoleUse(const SoleUse&) = delete;
    SoleUse& operator=(const SoleUse&) = delete;

    // Takes the shared lock, waiting up to `timeoutMs` for a process that holds the file
    // exclusively. SQLITE_OK, SQLITE_BUSY or another result code.
    int LockShared(int timeoutMs);
    // Raises the shared lock to exclusive when nobody else has the file open; no wait.
    bool TryExclusive();
    // Back to no lock, leaving SQLite to take its own.
    void Release();
    // From exclusive to shared without a moment unlocked: for a connection of this handle
    // that has started reading and keeps the shared lock from then on.
    void Downgrade();

    bool Holding() const { return m_level == SQLITE_LOCK_EXCLUSIVE; }

    // Reads the first `size` bytes of the file and its length; false on a read failure.
    bool ReadStart(unsigned char* bytes, std::size_t size, std::int64_t& fileSize);
    // Writes `bytes` at `offset`, and waits for the disk when `sync`: only while holding the
    // file exclusively and before SQLite has read it, so that no copy of the page is cached.
    int Write(const unsigned char* bytes, std::size_t size, std::int64_t offset, bool sync);

  private:
    sqlite3_file* m_file = nullptr;
    int m_level = SQLITE_LOCK_NONE;
    bool m_handedOver = false;
};

}  // namespace ks::engine
