// Shared pieces of the engine's durability tests: a small two-key table driven through the
// classic call, its contents read back and checked key by key, and child processes that
// report through a pipe (writers killed at random moments, readers beside a writer).
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/record_engine.h"
#include "ks/engine/btr_call.h"

namespace ks::test::durability {

// 64-byte records: key 0 is bytes 1-8 (unique, modifiable), key 1 bytes 9-12 (duplicates,
// modifiable).
inline constexpr std::uint32_t kRecordLength = 64;
std::string CreateBuffer();
// The record of `key` in its `version`: its group (key 1) and filler change with the version.
std::string MakeRecord(std::uint32_t key, std::uint32_t version);
std::string KeyText(std::uint32_t key);

// Engine options that do not wait for the disk: what a killed process wrote stays in the
// system's cache, so the tests of killed processes need no sync (they cannot cut the power).
engine::EngineOptions NoSyncOptions();

// One open of a table file through the classic call.
class TableClient {
  public:
    TableClient(engine::BtrCall& engine, std::string path);

    std::int16_t Create();
    std::int16_t Open(std::int8_t mode = 0);
    std::int16_t Close();
    std::int16_t Insert(const std::string& record);
    std::int16_t Update(const std::string& record);
    std::int16_t Delete();
    std::int16_t GetEqual(std::int8_t keyNumber, const std::string& key, std::string& record);
    std::int16_t GetFirst(std::int8_t keyNumber, std::string& record);
    std::int16_t GetLast(std::int8_t keyNumber, std::string& record);
    std::int16_t GetNext(std::int8_t keyNumber, std::string& record);
    std::int16_t GetPrevious(std::int8_t keyNumber, std::string& record);

  private:
    std::int16_t Read(std::uint16_t operation, std::int8_t keyNumber, std::string& record);

    engine::BtrCall& m_engine;
    std::string m_path;
    std::array<std::uint8_t, 128> m_block{};
    std::array<std::uint8_t, 255> m_key{};
};

// Calls that name no file: begin, end, abort, stop.
std::int16_t EngineCall(engine::BtrCall& engine, std::uint16_t operation);

// Records by key 0.
using Contents = std::map<std::string, std::string>;

// Reads a closed table with a fresh engine: every record in key 0 order, and checks that key
// 0 backwards and key 1 both ways walk the same records, in key order, duplicates included.
// Returns false with `problem` set when the file cannot be read or its keys disagree.
bool ReadTable(const std::string& path, Contents& contents, std::string& problem);

// "ok" when the engine's check of the file (storage, records, keys) and SQLite's own check
// find it whole, else the problems found.
std::string IntegrityCheck(const std::string& path);

// The side files of a table that exist ("-wal", "-shm", "-journal").
std::vector<std::string> SideFiles(const std::string& path);

// A forked child that runs `body(toParent, fromParent)` (one socket, both ways) and ends with
// its result, never returning into the test. Parent and child exchange 32-bit messages.
class Child {
  public:
    explicit Child(const std::function<int(int toParent, int fromParent)>& body);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Kill();
    // Waits for the end; the exit code, or -signal when killed.
    int Wait();
    // Whether the child has ended, without waiting (Wait then gives its result at once).
    bool HasEnded();
    // Every message the child has written so far, without waiting (and all when it has ended).
    std::vector<std::int32_t> Messages();
    // Waits up to `timeoutMs` for the next message; false when none came.
    bool NextMessage(std::int32_t& message, int timeoutMs);
    void Send(std::int32_t message);

  private:
    pid_t m_pid = -1;
    int m_channel = -1;  // a socket pair's end: messages both ways
    bool m_ended = false;
    int m_result = 0;
};

// For children: writes one 32-bit message; waits for one (false at the end of the pipe).
void Report(int fd, std::int32_t message);
bool Receive(int fd, std::int32_t& message, int timeoutMs);

}  // namespace ks::test::durability
