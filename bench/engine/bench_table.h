// What the benchmark does to a table, so that the same sequence runs on the record engine and
// on the direct SQLite baseline.
#pragma once

#include <string>

namespace ks::bench {

class BenchTable {
  public:
    virtual ~BenchTable() = default;

    // Reads fill `record` and make it the current record; false when there is none.
    virtual bool GetEqual(int key, const std::string& value, std::string& record) = 0;
    virtual bool GetGreaterOrEqual(int key, const std::string& value, std::string& record) = 0;
    virtual bool GetFirst(int key, std::string& record) = 0;
    // Continues on the key of the last positioning.
    virtual bool GetNext(std::string& record) = 0;
    virtual bool Insert(const std::string& record) = 0;
    // Rewrites the current record with `record` (same key 0).
    virtual bool UpdateCurrent(const std::string& record) = 0;
    virtual bool DeleteCurrent() = 0;
    // Ends the pending bundle of writes.
    virtual void Flush() = 0;
};

}  // namespace ks::bench
