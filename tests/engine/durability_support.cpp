#include "durability_support.h"

#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "ks/engine/table_check.h"

namespace ks::test::durability {

namespace {

using engine::op::kClose;
using engine::op::kCreate;
using engine::op::kDelete;
using engine::op::kGetEqual;
using engine::op::kGetFirst;
using engine::op::kGetLast;
using engine::op::kGetNext;
using engine::op::kGetPrevious;
using engine::op::kInsert;
using engine::op::kOpen;
using engine::op::kUpdate;

constexpr std::uint32_t kReadBufferSize = 256;

void PutLe16(std::string& buffer, std::size_t offset, std::uint16_t value) {
    buffer[offset] = static_cast<char>(value & 0xFFU);
    buffer[offset + 1] = static_cast<char>(value >> 8U);
}

}  // namespace

std::string CreateBuffer() {
    std::string buffer(160, '\0');
    PutLe16(buffer, 0, kRecordLength);
    PutLe16(buffer, 2, 1024);
    PutLe16(buffer, 4, 2);
    PutLe16(buffer, 16, 1);  // key 0: 1/8 modifiable
    PutLe16(buffer, 18, 8);
    PutLe16(buffer, 20, engine::key_flag::kModifiable);
    PutLe16(buffer, 32, 9);  // key 1: 9/4 duplicates, modifiable
    PutLe16(buffer, 34, 4);
    PutLe16(buffer, 36, engine::key_flag::kModifiable | engine::key_flag::kDuplicates);
    return buffer;
}

std::string KeyText(std::uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%08u", key);
    return text;
}

std::string MakeRecord(std::uint32_t key, std::uint32_t version) {
    std::string record = KeyText(key);
    char group[8];
    std::snprintf(group, sizeof group, "G%03u", (key + version) % 40U);
    record += group;
    std::uint32_t x = key * 2654435761U ^ (version + 1U) * 40503U;
    while (record.size() < kRecordLength) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        record += static_cast<char>('a' + x % 26U);
    }
    return record;
}

engine::EngineOptions NoSyncOptions() {
    engine::EngineOptions options;
    options.waitForDisk = false;
    return options;
}

TableClient::TableClient(engine::BtrCall& engine, std::string path)
    : m_engine(engine), m_path(std::move(path)) {}

std::int16_t TableClient::Create() {
    std::string buffer = CreateBuffer();
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    m_key.fill(0);
    std::memcpy(m_key.data(), m_path.data(), m_path.size());
    return m_engine.Call(kCreate, m_block.data(), buffer.data(), length, m_key.data(),
                         static_cast<std::uint8_t>(m_path.size()), 0);
}

std::int16_t TableClient::Open(std::int8_t mode) {
    m_key.fill(0);
    std::memcpy(m_key.data(), m_path.data(), m_path.size());
    std::array<char, kReadBufferSize> data{};
    std::uint32_t length = 0;
    return m_engine.Call(kOpen, m_block.data(), data.data(), length, m_key.data(), 255, mode);
}

std::int16_t TableClient::Close() {
    std::uint32_t length = 0;
    return m_engine.Call(kClose, m_block.data(), nullptr, length, m_key.data(), 255, 0);
}

std::int16_t TableClient::Insert(const std::string& record) {
    std::string data = record;
    std::uint32_t length = static_cast<std::uint32_t>(data.size());
    return m_engine.Call(kInsert, m_block.data(), data.data(), length, m_key.data(), 255, 0);
}

std::int16_t TableClient::Update(const std::string& record) {
    std::string data = record;
    std::uint32_t length = static_cast<std::uint32_t>(data.size());
    return m_engine.Call(kUpdate, m_block.data(), data.data(), length, m_key.data(), 255, 0);
}

std::int16_t TableClient::Delete() {
    std::array<char, kReadBufferSize> data{};
    std::uint32_t length = kRecordLength;
    return m_engine.Call(kDelete, m_block.data(), data.data(), length, m_key.data(), 255, 0);
}

std::int16_t TableClient::Read(std::uint16_t operation, std::int8_t keyNumber,
                               std::string& record) {
    std::array<char, kReadBufferSize> data{};
    std::uint32_t length = kReadBufferSize;
    const std::int16_t result =
        m_engine.Call(operation, m_block.data(), data.data(), length, m_key.data(), 255, keyNumber);
    if (result == engine::status::kSuccess) {
        record.assign(data.data(), length);
    }
    return result;
}

std::int16_t TableClient::GetEqual(std::int8_t keyNumber, const std::string& key,
                                   std::string& record) {
    m_key.fill(0);
    std::memcpy(m_key.data(), key.data(), key.size());
    return Read(kGetEqual, keyNumber, record);
}

std::int16_t TableClient::GetFirst(std::int8_t keyNumber, std::string& record) {
    return Read(kGetFirst, keyNumber, record);
}

std::int16_t TableClient::GetLast(std::int8_t keyNumber, std::string& record) {
    return Read(kGetLast, keyNumber, record);
}

std::int16_t TableClient::GetNext(std::int8_t keyNumber, std::string& record) {
    return Read(kGetNext, keyNumber, record);
}

std::int16_t TableClient::GetPrevious(std::int8_t keyNumber, std::string& record) {
    return Read(kGetPrevious, keyNumber, record);
}

std::int16_t EngineCall(engine::BtrCall& engine, std::uint16_t operation) {
    std::array<std::uint8_t, 128> block{};
    std::array<std::uint8_t, 255> key{};
    std::uint32_t length = 0;
    return engine.Call(operation, block.data(), nullptr, length, key.data(), 0, 0);
}

namespace {

// Walks one key in one direction; the records in the order met.
bool Walk(TableClient& table, std::int8_t keyNumber, bool forward,
          std::vector<std::string>& records, std::string& problem) {
    std::string record;
    std::int16_t result =
        forward ? table.GetFirst(keyNumber, record) : table.GetLast(keyNumber, record);
    while (result == engine::status::kSuccess) {
        records.push_back(record);
        result = forward ? table.GetNext(keyNumber, record) : table.GetPrevious(keyNumber, record);
    }
    if (result != engine::status::kEndOfFile) {
        problem = "walk of key " + std::to_string(keyNumber) + " ended with status " +
                  std::to_string(result);
        return false;
    }
    return true;
}

}  // namespace

bool ReadTable(const std::string& path, Contents& contents, std::string& problem) {
    engine::RecordEngine engine(NoSyncOptions());
    TableClient table(engine, path);
    if (const auto result = table.Open(); result != engine::status::kSuccess) {
        problem = "open answered " + std::to_string(result);
        return false;
    }
    std::vector<std::string> byKey0;
    std::vector<std::string> byKey0Back;
    std::vector<std::string> byKey1;
    std::vector<std::string> byKey1Back;
    if (!Walk(table, 0, true, byKey0, problem) || !Walk(table, 0, false, byKey0Back, problem) ||
        !Walk(table, 1, true, byKey1, problem) || !Walk(table, 1, false, byKey1Back, problem)) {
        return false;
    }
    contents.clear();
    for (const auto& record : byKey0) {
        if (record.size() != kRecordLength) {
            problem = "a record of " + std::to_string(record.size()) + " bytes";
            return false;
        }
        const std::string key = record.substr(0, 8);
        if (!contents.empty() && contents.rbegin()->first >= key) {
            problem = "key 0 out of order at " + key;
            return false;
        }
        contents[key] = record;
    }
    if (std::vector<std::string>(byKey0Back.rbegin(), byKey0Back.rend()) != byKey0) {
        problem = "key 0 walks differently backwards";
        return false;
    }
    if (std::vector<std::string>(byKey1Back.rbegin(), byKey1Back.rend()) != byKey1) {
        problem = "key 1 walks differently backwards";
        return false;
    }
    Contents viaKey1;
    for (std::size_t i = 0; i < byKey1.size(); ++i) {
        if (i > 0 && byKey1[i - 1].substr(8, 4) > byKey1[i].substr(8, 4)) {
            problem = "key 1 out of order";
            return false;
        }
        viaKey1[byKey1[i].substr(0, 8)] = byKey1[i];
    }
    if (viaKey1 != contents || byKey1.size() != byKey0.size()) {
        problem = "key 1 holds other records than key 0";
        return false;
    }
    if (const auto result = table.Close(); result != engine::status::kSuccess) {
        problem = "close answered " + std::to_string(result);
        return false;
    }
    return true;
}

std::string IntegrityCheck(const std::string& path) {
    // The engine's own check first (SQLite's check, every record and every key), then SQLite's
    // check of the closed file as any other program would open it.
    const std::vector<std::string> problems = engine::CheckTableFile(path);
    if (!problems.empty()) {
        std::string answer;
        for (const auto& problem : problems) {
            answer += (answer.empty() ? "" : "; ") + problem;
        }
        return answer;
    }
    sqlite3* db = nullptr;
    std::string answer;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        answer = "cannot open";
    } else {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) !=
            SQLITE_OK) {
            answer = sqlite3_errmsg(db);
        } else {
            int code = SQLITE_ROW;
            while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
                const auto* text = sqlite3_column_text(statement, 0);
                answer += answer.empty() ? "" : "; ";
                answer += text != nullptr ? reinterpret_cast<const char*>(text) : "";
            }
            if (code != SQLITE_DONE) {
                answer += std::string(answer.empty() ? "" : "; ") + sqlite3_errmsg(db);
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return answer;
}

std::vector<std::string> SideFiles(const std::string& path) {
    std::vector<std::string> found;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        if (std::filesystem::exists(path + suffix)) {
            found.emplace_back(suffix);
        }
    }
    return found;
}

void Report(int fd, std::int32_t message) {
    const char* bytes = reinterpret_cast<const char*>(&message);
    std::size_t done = 0;
    while (done < sizeof message) {
        // A socket, so that writing to a process that has gone is an error, not a signal.
        const ssize_t n = send(fd, bytes + done, sizeof message - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool Receive(int fd, std::int32_t& message, int timeoutMs) {
    char* bytes = reinterpret_cast<char*>(&message);
    std::size_t done = 0;
    while (done < sizeof message) {
        pollfd entry{fd, POLLIN, 0};
        const int ready = poll(&entry, 1, done == 0 ? timeoutMs : -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        const ssize_t n = read(fd, bytes + done, sizeof message - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Child::Child(const std::function<int(int toParent, int fromParent)>& body) {
    int ends[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) {
        return;
    }
    std::fflush(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        close(ends[0]);
        int result = 100;
        try {
            result = body(ends[1], ends[1]);
        } catch (...) {
            result = 101;
        }
        // No test teardown, no exit handlers in the child: only the parent reports.
        _exit(result);
    }
    close(ends[1]);
    m_channel = ends[0];
}

Child::~Child() {
    if (!m_ended && m_pid > 0) {
        Kill();
        Wait();
    }
    if (m_channel >= 0) {
        close(m_channel);
    }
}

void Child::Kill() {
    if (m_pid > 0 && !m_ended) {
        kill(m_pid, SIGKILL);
    }
}

int Child::Wait() {
    if (m_ended || m_pid <= 0) {
        return m_result;
    }
    int statusCode = 0;
    while (waitpid(m_pid, &statusCode, 0) < 0 && errno == EINTR) {
    }
    m_ended = true;
    m_result = WIFEXITED(statusCode) ? WEXITSTATUS(statusCode) : -WTERMSIG(statusCode);
    return m_result;
}

bool Child::HasEnded() {
    if (m_ended || m_pid <= 0) {
        return true;
    }
    int statusCode = 0;
    pid_t done = 0;
    while ((done = waitpid(m_pid, &statusCode, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (done == 0) {
        return false;
    }
    m_ended = true;
    // A child that cannot be waited for counts as ended badly, so that no caller waits on.
    m_result = done < 0                ? -1
               : WIFEXITED(statusCode) ? WEXITSTATUS(statusCode)
                                       : -WTERMSIG(statusCode);
    return true;
}

std::vector<std::int32_t> Child::Messages() {
    std::vector<std::int32_t> messages;
    std::int32_t message = 0;
    while (Receive(m_channel, message, 0)) {
        messages.push_back(message);
    }
    return messages;
}

bool Child::NextMessage(std::int32_t& message, int timeoutMs) {
    return Receive(m_channel, message, timeoutMs);
}

void Child::Send(std::int32_t message) {
    Report(m_channel, message);
}

}  // namespace ks::test::durability
