#include "engine/record_engine.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/status_map.h"
#include "ks/engine/btr_codes.h"
#include "ks/engine/file_spec.h"
#include "platform/native_path.h"

namespace ks::engine {
namespace fs = std::filesystem;

namespace {

// The path in a key buffer: up to the first byte 0 (or the key length), trailing blanks off.
std::string PathOfKeyBuffer(const std::uint8_t* key, std::uint8_t keyLength) {
    const std::size_t limit = keyLength == 0 ? kKeyBufferSize : keyLength;
    std::size_t end = 0;
    while (end < limit && key[end] != 0) {
        ++end;
    }
    while (end > 0 && key[end - 1] == ' ') {
        --end;
    }
    return {reinterpret_cast<const char*>(key), end};
}

bool ValidOpenMode(std::int8_t mode) {
    return mode <= 0 && mode >= -4;
}

}  // namespace

std::unique_ptr<BtrCall> MakeRecordEngine(EngineOptions options) {
    return std::make_unique<RecordEngine>(std::move(options));
}

RecordEngine::RecordEngine(EngineOptions options)
    : m_options(std::move(options)), m_tag(std::random_device{}()) {}

RecordEngine::~RecordEngine() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_timer.joinable()) {
        m_timer.join();
    }
    std::lock_guard lock(m_mutex);
    Stop();
}

void RecordEngine::StartTimer() {
    if (!m_timer.joinable() && !m_stopping) {
        m_timer = std::thread([this] { RunTimer(); });
    }
}

// Commits the bundles the caller leaves open while it does something else (or nothing).
void RecordEngine::RunTimer() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_bundles.empty()) {
            m_wake.wait(lock);
            continue;
        }
        auto oldest = m_bundles.front()->WindowStart();
        for (const auto& file : m_bundles) {
            oldest = std::min(oldest, file->WindowStart());
        }
        const auto due = oldest + std::chrono::milliseconds(m_options.bundleAgeMs);
        if (std::chrono::steady_clock::now() < due) {
            m_wake.wait_until(lock, due);
            continue;
        }
        // Nothing may escape this thread: an exception here would end the whole program. A
        // failed commit is kept by its file for the file's next call.
        try {
            CommitBundles(true);
        } catch (...) {
        }
    }
}

void RecordEngine::CommitBundle(const std::shared_ptr<TableFile>& file, int unansweredWrites) {
    m_bundles.erase(std::remove(m_bundles.begin(), m_bundles.end(), file), m_bundles.end());
    if (file->CommitBundle(unansweredWrites) && m_options.onBundleCommitted) {
        // The bundle is committed: a failing hook says nothing of the file.
        try {
            m_options.onBundleCommitted(file->Path());
        } catch (...) {
        }
    }
}

void RecordEngine::CommitBundles(bool agedOnly) {
    const auto now = std::chrono::steady_clock::now();
    const auto age = std::chrono::milliseconds(m_options.bundleAgeMs);
    const std::vector<std::shared_ptr<TableFile>> open = m_bundles;
    for (const auto& file : open) {
        if (agedOnly && now - file->WindowStart() < age) {
            continue;
        }
        try {
            CommitBundle(file);
        } catch (const SqliteError& error) {
            // No call on this file is under way: its next one answers the loss.
            file->KeepLoss(error.Code());
        } catch (...) {
            file->KeepLoss(SQLITE_IOERR);
        }
    }
    m_nextDue = std::chrono::steady_clock::time_point::max();
    for (const auto& file : m_bundles) {
        m_nextDue = std::min(m_nextDue, file->WindowStart() + age);
    }
}

void RecordEngine::Track(const std::shared_ptr<TableFile>& file) {
    if (file->WindowOpen() &&
        std::find(m_bundles.begin(), m_bundles.end(), file) == m_bundles.end()) {
        m_nextDue =
            std::min(m_bundles.empty() ? std::chrono::steady_clock::time_point::max() : m_nextDue,
                     file->WindowStart() + std::chrono::milliseconds(m_options.bundleAgeMs));
        m_bundles.push_back(file);
        StartTimer();
        m_wake.notify_one();
    }
}

void RecordEngine::WriteDone(const std::shared_ptr<TableFile>& file) {
    if (!file->BundleOpen()) {
        return;
    }
    Track(file);
    if (file->BundleWrites() >= m_options.bundleOperations) {
        // The write just made is this call's, which answers a failure of the commit.
        CommitBundle(file, 1);
    }
}

void RecordEngine::ReadWindow(const std::shared_ptr<TableFile>& file) {
    if (!file->BundleOpen() && file->WindowOperations() >= m_options.bundleOperations) {
        CommitBundle(file);
    }
    file->OpenReadWindow();
    Track(file);
    m_reading = file;
}

std::int16_t RecordEngine::Call(std::uint16_t operation, std::uint8_t* positionBlock,
                                void* dataBuffer, std::uint32_t& dataLength, void* keyBuffer,
                                std::uint8_t keyLength, std::int8_t keyNumber) {
    Request request{operation,
                    positionBlock,
                    static_cast<std::uint8_t*>(dataBuffer),
                    dataLength,
                    static_cast<std::uint8_t*>(keyBuffer),
                    keyLength,
                    keyNumber};
    const std::uint32_t lengthIn = dataLength;
    std::int16_t result = status::kIoError;
    std::lock_guard lock(m_mutex);
    try {
        // Bundles older than the age are committed before anything else; a failure there
        // belongs to its own file, whose next call answers it (see Resolve).
        if (!m_bundles.empty() && std::chrono::steady_clock::now() >= m_nextDue) {
            CommitBundles(true);
        }
        result = Dispatch(request);
        // Once the record is copied out, a window of this read alone ends.
        if (const auto file = std::exchange(m_reading, nullptr); file && file->ShortWindow()) {
            CommitBundle(file);
        }
    } catch (const SqliteError& error) {
        result = StatusOfSqlite(error.Code());
    } catch (const fs::filesystem_error& error) {
        result = StatusOfSystemError(error.code());
    } catch (const std::system_error& error) {
        result = StatusOfSystemError(error.code());
    } catch (...) {
        result = status::kIoError;
    }
    m_reading = nullptr;  // a read that failed leaves its window to the age
    if (result != status::kSuccess) {
        dataLength = lengthIn;
    }
    return result;
}

std::int16_t RecordEngine::Dispatch(Request& request) {
    switch (request.operation) {
        case op::kOpen:
            return Open(request);
        case op::kClose:
            return Close(request);
        case op::kInsert:
            return Insert(request);
        case op::kUpdate:
            return Update(request);
        case op::kDelete:
            return Delete(request);
        case op::kGetEqual:
        case op::kGetGreater:
        case op::kGetGreaterOrEqual:
        case op::kGetLessThan:
        case op::kGetLessOrEqual:
            return GetByKey(request);
        case op::kGetNext:
        case op::kGetPrevious:
            return GetNextOrPrevious(request);
        case op::kGetFirst:
        case op::kGetLast:
            return GetEnd(request);
        case op::kCreate:
            return Create(request);
        case op::kStat:
            return Stat(request);
        case op::kBeginTransaction:
        case op::kBeginConcurrentTransaction:
            return BeginTransaction();
        case op::kEndTransaction:
            return EndTransaction();
        case op::kAbortTransaction:
            return AbortTransaction();
        case op::kStop:
            return Stop();
        default:
            return status::kInvalidOperation;
    }
}

std::shared_ptr<TableFile> RecordEngine::FindOpenFile(const fs::path& path) const {
    for (const auto& [id, handle] : m_handles) {
        if (handle.file->Path() == path) {
            return handle.file;
        }
    }
    for (const auto& file : m_transactionFiles) {
        if (file->Path() == path) {
            return file;
        }
    }
    return nullptr;
}

TableOpenOptions RecordEngine::TableOptions() const {
    TableOpenOptions options;
    options.busyTimeoutMs = m_options.busyTimeoutMs;
    options.vfs = m_options.vfs;
    options.waitForDisk = m_options.waitForDisk;
    return options;
}

std::vector<TableFile*> RecordEngine::OpenFiles() const {
    std::vector<TableFile*> files;
    for (const auto& [id, handle] : m_handles) {
        if (std::find(files.begin(), files.end(), handle.file.get()) == files.end()) {
            files.push_back(handle.file.get());
        }
    }
    return files;
}

std::int16_t RecordEngine::Resolve(const Request& request, Cursor& cursor, Handle*& handle) {
    const auto decoded = DecodeCursor(request.block);
    if (!decoded || decoded->engineTag != m_tag) {
        return status::kFileNotOpen;
    }
    const auto it = m_handles.find(decoded->handle);
    if (it == m_handles.end()) {
        return status::kFileNotOpen;
    }
    if (decoded->keyNumber >= 0 &&
        static_cast<std::size_t>(decoded->keyNumber) >= it->second.file->Shape().keys.size()) {
        return status::kFileNotOpen;
    }
    // A bundle of this file lost outside its calls is answered here, once, instead of the
    // operation, to an open that may write (a reader did not lose it); a close still closes
    // and answers it (see Close).
    if (request.operation != op::kClose && !it->second.readOnly) {
        if (const int loss = it->second.file->TakeLoss(); loss != SQLITE_OK) {
            return StatusOfSqlite(loss);
        }
    }
    cursor = *decoded;
    handle = &it->second;
    return status::kSuccess;
}

std::int16_t RecordEngine::Open(Request& request) {
    if (request.key == nullptr || request.block == nullptr) {
        return status::kInvalidFileName;
    }
    if (!ValidOpenMode(request.keyNumber)) {
        return status::kInvalidOperation;
    }
    const std::string name = PathOfKeyBuffer(request.key, request.keyLength);
    if (name.empty()) {
        return status::kInvalidFileName;
    }
    const fs::path native = NativePath(name);
    std::error_code error;
    const auto type = fs::status(native, error).type();
    if (type == fs::file_type::not_found) {
        return status::kFileNotFound;
    }
    if (type == fs::file_type::directory) {
        return status::kInvalidFileName;
    }
    if (type != fs::file_type::regular) {
        return error ? StatusOfSystemError(error) : status::kNotATableFile;
    }
    const fs::path path = fs::canonical(native);
    std::shared_ptr<TableFile> file = FindOpenFile(path);
    if (!file) {
        std::unique_ptr<TableFile> opened;
        TableOpenOptions options = TableOptions();
        options.exclusive = request.keyNumber == open_mode::kExclusive;
        options.readOnly = request.keyNumber == open_mode::kReadOnly;
        const std::int16_t result = TableFile::Open(path, options, opened);
        if (result != status::kSuccess) {
            return result;
        }
        file = std::move(opened);
        if (m_inTransaction) {
            file->JoinTransaction();
            m_transactionFiles.push_back(file);
        }
    }
    const std::uint32_t id = m_nextHandle++;
    if (m_nextHandle == 0) {
        m_nextHandle = 1;
    }
    Handle& handle = m_handles[id];
    handle.file = std::move(file);
    handle.readOnly = request.keyNumber == open_mode::kReadOnly;
    Cursor cursor;
    cursor.engineTag = m_tag;
    cursor.handle = id;
    EncodeCursor(cursor, request.block);
    return status::kSuccess;
}

std::int16_t RecordEngine::Close(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    if (const auto result = Resolve(request, cursor, handle); result != status::kSuccess) {
        return result;
    }
    // The file's bundle is committed at its close; the close happens even when that fails,
    // and answers a loss of the file that no call has answered yet.
    std::int16_t result = status::kSuccess;
    if (const int loss = handle->readOnly ? SQLITE_OK : handle->file->TakeLoss();
        loss != SQLITE_OK) {
        result = StatusOfSqlite(loss);
    }
    try {
        CommitBundle(handle->file);
    } catch (const SqliteError& error) {
        result = StatusOfSqlite(error.Code());
    }
    m_handles.erase(cursor.handle);
    return result;
}

std::int16_t RecordEngine::Create(Request& request) {
    if (request.key == nullptr) {
        return status::kInvalidFileName;
    }
    const std::string name = PathOfKeyBuffer(request.key, request.keyLength);
    if (name.empty() || name.back() == '/') {
        return status::kInvalidFileName;
    }
    FileSpec shape;
    if (const auto result = ParseFileSpec(request.data, request.dataLength, shape);
        result != status::kSuccess) {
        return result;
    }
    const fs::path native = NativePath(name);
    std::error_code error;
    const auto type = fs::status(native, error).type();
    if (type == fs::file_type::directory) {
        return status::kInvalidFileName;
    }
    if (type != fs::file_type::not_found) {
        if (request.keyNumber == -1) {
            return status::kFileExists;
        }
        if (FindOpenFile(fs::canonical(native))) {
            return status::kFileLocked;
        }
    }
    const fs::path folder = native.has_parent_path() ? native.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error)) {
        return status::kFileNotFound;
    }
    return TableFile::Create(native, shape, TableOptions());
}

std::int16_t RecordEngine::Stat(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    if (const auto result = Resolve(request, cursor, handle); result != status::kSuccess) {
        return result;
    }
    ReadWindow(handle->file);
    const std::string buffer = EncodeFileSpec(handle->file->Shape(), handle->file->RecordCount());
    if (request.data == nullptr || request.dataLength < buffer.size()) {
        return status::kDataBufferTooShort;
    }
    std::memcpy(request.data, buffer.data(), buffer.size());
    request.dataLength = static_cast<std::uint32_t>(buffer.size());
    return status::kSuccess;
}

std::int16_t RecordEngine::BeginTransaction() {
    if (m_inTransaction) {
        return status::kTransactionActive;
    }
    // A file whose bundle is lost here keeps the loss for its own next call.
    CommitBundles(false);
    for (TableFile* file : OpenFiles()) {
        file->JoinTransaction();
        m_transactionFiles.push_back(FindOpenFile(file->Path()));
    }
    m_inTransaction = true;
    return status::kSuccess;
}

std::int16_t RecordEngine::EndTransaction() {
    if (!m_inTransaction) {
        return status::kNoTransaction;
    }
    // Files commit one after the other. A file whose commit must wait for another process
    // stays in the transaction with those after it, so that the caller's retry of the end
    // commits the rest. Any other failure ends the transaction: the files not yet committed
    // are rolled back, so that no later end answers 0 for a transaction that lost writes.
    std::int16_t result = status::kSuccess;
    std::size_t done = 0;
    for (; done < m_transactionFiles.size(); ++done) {
        try {
            m_transactionFiles[done]->CommitTransaction();
        } catch (const SqliteError& error) {
            result = StatusOfSqlite(error.Code());
            break;
        }
    }
    const auto committed = m_transactionFiles.begin() + static_cast<std::ptrdiff_t>(done);
    if (result == status::kRecordLocked && m_transactionFiles[done]->InTransaction()) {
        m_transactionFiles.erase(m_transactionFiles.begin(), committed);
        return result;
    }
    for (auto it = committed; it != m_transactionFiles.end(); ++it) {
        try {
            (*it)->RollbackTransaction();
        } catch (const SqliteError&) {
            // The connection gives the transaction up when it closes.
        }
    }
    m_transactionFiles.clear();
    m_inTransaction = false;
    return result;
}

std::int16_t RecordEngine::AbortTransaction() {
    if (!m_inTransaction) {
        return status::kNoTransaction;
    }
    std::int16_t result = status::kSuccess;
    for (auto& file : m_transactionFiles) {
        try {
            file->RollbackTransaction();
        } catch (const SqliteError& error) {
            result = StatusOfSqlite(error.Code());
        }
    }
    m_transactionFiles.clear();
    m_inTransaction = false;
    return result;
}

std::int16_t RecordEngine::Stop() {
    CommitBundles(false);
    if (m_inTransaction) {
        AbortTransaction();
    }
    // Every file ends here: the stop answers the first loss that no call has answered.
    std::int16_t result = status::kSuccess;
    for (TableFile* file : OpenFiles()) {
        if (const int loss = file->TakeLoss(); loss != SQLITE_OK && result == status::kSuccess) {
            result = StatusOfSqlite(loss);
        }
    }
    m_handles.clear();
    m_transactionFiles.clear();
    m_inTransaction = false;
    return result;
}

}  // namespace ks::engine
