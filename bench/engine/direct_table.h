// The baselines of the engine benchmark: a table kept directly with SQLite prepared
// statements, one column and one index per key, writes committed in bundles of the same size
// as the engine's, with the same journal and sync settings. Reads either seek afresh, each in
// a transaction of its own, or (held cursor, the floor for reads) share a read transaction as
// long as a bundle, and a get next steps the statement the last read left on its row.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_table.h"
#include "song_table.h"

namespace ks::bench {

struct DirectSettings {
    int bundleOperations = 1;
    const char* synchronous = "FULL";
    int cacheKib = 2000;
    bool heldCursor = false;
};

class DirectTable final : public BenchTable {
  public:
    // Creates the table at `path` (replacing any file there).
    DirectTable(const std::string& path, const TableSpec& shape, const DirectSettings& settings);
    ~DirectTable() override;
    DirectTable(const DirectTable&) = delete;
    DirectTable& operator=(const DirectTable&) = delete;

    bool GetEqual(int key, const std::string& value, std::string& record) override;
    bool GetGreaterOrEqual(int key, const std::string& value, std::string& record) override;
    bool GetFirst(int key, std::string& record) override;
    bool GetNext(std::string& record) override;
    bool Insert(const std::string& record) override;
    bool UpdateCurrent(const std::string& record) override;
    bool DeleteCurrent() override;
    void Flush() override;

  private:
    struct KeyStatements {
        sqlite3_stmt* equal = nullptr;
        sqlite3_stmt* greaterOrEqual = nullptr;
        sqlite3_stmt* first = nullptr;
        sqlite3_stmt* next = nullptr;
        sqlite3_stmt* scan = nullptr;  // the next without a limit, for the held cursor
    };

    void Exec(const std::string& sql);
    sqlite3_stmt* Prepare(const std::string& sql);
    bool Fetch(sqlite3_stmt* statement, int key, std::string& record);
    void Written();
    void BeginWrite();
    void BeginRead();
    void Drop();

    TableSpec m_spec;
    DirectSettings m_settings;
    sqlite3* m_db = nullptr;
    std::vector<KeyStatements> m_keys;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_stmt* m_delete = nullptr;
    sqlite3_stmt* m_update = nullptr;
    sqlite3_stmt* m_held = nullptr;  // stepped by the next get next, when set
    int m_reads = 0;                 // reads of the open read transaction
    int m_key = -1;
    std::string m_keyValue;
    sqlite3_int64 m_id = 0;
    bool m_hasCurrent = false;
    int m_pending = 0;
};

}  // namespace ks::bench
