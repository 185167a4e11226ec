#include "engine/record_engine.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <random>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/btr_codes.h"
#include "engine/file_spec.h"
#include "engine/key_bytes.h"
#include "engine/status_map.h"
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

// The record length fixed by the shape, or at least that in a variable-length table.
bool WholeRecord(const FileSpec& shape, std::uint32_t length) {
    return shape.Variable() ? length >= shape.recordLength && length <= kMaxRecordLength
                            : length == shape.recordLength;
}

}  // namespace

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
        auto oldest = m_bundles.front()->BundleStart();
        for (const auto& file : m_bundles) {
            oldest = std::min(oldest, file->BundleStart());
        }
        const auto due = oldest + std::chrono::milliseconds(m_options.bundleAgeMs);
        if (std::chrono::steady_clock::now() < due) {
            m_wake.wait_until(lock, due);
            continue;
        }
        // Nothing may escape this thread: an exception here would end the whole program. A
        // failure is kept and answered by the next call, as a SQLite failure is.
        std::int16_t result = status::kIoError;
        try {
            result = CommitBundles(true);
        } catch (...) {
        }
        if (result != status::kSuccess && m_timerFailure == status::kSuccess) {
            m_timerFailure = result;
        }
    }
}

void RecordEngine::CommitBundle(const std::shared_ptr<TableFile>& file) {
    m_bundles.erase(std::remove(m_bundles.begin(), m_bundles.end(), file), m_bundles.end());
    if (file->CommitBundle() && m_options.onBundleCommitted) {
        m_options.onBundleCommitted(file->Path());
    }
}

std::int16_t RecordEngine::CommitBundles(bool agedOnly) {
    const auto now = std::chrono::steady_clock::now();
    const auto age = std::chrono::milliseconds(m_options.bundleAgeMs);
    std::int16_t result = status::kSuccess;
    const std::vector<std::shared_ptr<TableFile>> open = m_bundles;
    for (const auto& file : open) {
        if (agedOnly && now - file->BundleStart() < age) {
            continue;
        }
        try {
            CommitBundle(file);
        } catch (const SqliteError& error) {
            if (result == status::kSuccess) {
                result = StatusOfSqlite(error.Code());
            }
        }
    }
    return result;
}

void RecordEngine::WriteDone(const std::shared_ptr<TableFile>& file) {
    if (!file->BundleOpen()) {
        return;
    }
    if (std::find(m_bundles.begin(), m_bundles.end(), file) == m_bundles.end()) {
        m_bundles.push_back(file);
        StartTimer();
        m_wake.notify_one();
    }
    if (file->BundleWrites() >= m_options.bundleOperations) {
        CommitBundle(file);
    }
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
        // A bundle older than the age is committed before anything else; a bundle that could
        // not be committed is answered for by this call (stop and close still do their work).
        std::int16_t failure = std::exchange(m_timerFailure, status::kSuccess);
        if (failure == status::kSuccess && !m_bundles.empty()) {
            failure = CommitBundles(true);
        }
        if (failure != status::kSuccess && operation != op::kStop && operation != op::kClose) {
            dataLength = lengthIn;
            return failure;
        }
        result = Dispatch(request);
        if (failure != status::kSuccess) {
            result = failure;
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
    // The file's bundle is committed at its close; the close happens even when that fails.
    std::int16_t result = status::kSuccess;
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
    const std::string buffer = EncodeFileSpec(handle->file->Shape(), handle->file->RecordCount());
    if (request.data == nullptr || request.dataLength < buffer.size()) {
        return status::kDataBufferTooShort;
    }
    std::memcpy(request.data, buffer.data(), buffer.size());
    request.dataLength = static_cast<std::uint32_t>(buffer.size());
    return status::kSuccess;
}

void RecordEngine::PositionOn(Request& request, Cursor& cursor, std::size_t keyNumber,
                              const FoundRecord& found) {
    Handle& handle = m_handles.at(cursor.handle);
    const KeyDef& key = handle.file->Shape().keys[keyNumber];
    const std::string keyBytes = KeyOfRecord(key, found.data);
    std::memcpy(request.key, keyBytes.data(), keyBytes.size());
    cursor.keyNumber = static_cast<std::int8_t>(keyNumber);
    cursor.state = CursorState::kOnRecord;
    cursor.recordId = found.id;
    cursor.sequence = found.sequence;
    cursor.keyCut = found.indexKey.size() > kBlockKeyCapacity;
    if (cursor.keyCut) {
        cursor.key.clear();
        cursor.longKeyHash = LongKeyMemory::Hash(found.indexKey);
        cursor.longKeyToken = handle.longKeys.Remember(found.indexKey);
    } else {
        cursor.key = found.indexKey;
    }
    EncodeCursor(cursor, request.block);
}

std::int16_t RecordEngine::ReturnRecord(Request& request, Cursor& cursor, std::size_t keyNumber,
                                        const FoundRecord& found) {
    if (request.data == nullptr || request.dataLength < found.data.size()) {
        return status::kDataBufferTooShort;
    }
    std::memcpy(request.data, found.data.data(), found.data.size());
    request.dataLength = static_cast<std::uint32_t>(found.data.size());
    PositionOn(request, cursor, keyNumber, found);
    return status::kSuccess;
}

namespace {

// The key a call names: a key of the file (else 6) and a key buffer that can hold its
// bytes (else 21).
std::int16_t KeyOfCall(const TableFile& file, std::int8_t keyNumber, const std::uint8_t* key,
                       std::uint8_t keyLength, std::size_t& keyIndex) {
    if (keyNumber < 0 || static_cast<std::size_t>(keyNumber) >= file.Shape().keys.size()) {
        return status::kInvalidKeyNumber;
    }
    keyIndex = static_cast<std::size_t>(keyNumber);
    if (key == nullptr || keyLength < file.Shape().keys[keyIndex].Length()) {
        return status::kKeyBufferTooShort;
    }
    return status::kSuccess;
}

}  // namespace

std::int16_t RecordEngine::PrepareWrite(const Request& request, Cursor& cursor, Handle*& handle,
                                        std::size_t& keyIndex) {
    if (const auto result = Resolve(request, cursor, handle); result != status::kSuccess) {
        return result;
    }
    const TableFile& file = *handle->file;
    if (handle->readOnly || file.ReadOnly()) {
        return status::kAccessDenied;
    }
    if (request.data == nullptr || !WholeRecord(file.Shape(), request.dataLength)) {
        return status::kDataBufferTooShort;
    }
    if (request.operation == op::kInsert && request.keyNumber == kNoCurrencyChange) {
        return status::kSuccess;  // no key is returned, so none is needed
    }
    return KeyOfCall(file, request.keyNumber, request.key, request.keyLength, keyIndex);
}

std::int16_t RecordEngine::Insert(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    std::size_t k = 0;
    if (const auto result = PrepareWrite(request, cursor, handle, k); result != status::kSuccess) {
        return result;
    }
    TableFile& file = *handle->file;
    const std::string record(reinterpret_cast<const char*>(request.data), request.dataLength);
    std::int64_t id = 0;
    const auto result = file.Insert(record, id);
    WriteDone(handle->file);
    if (result != status::kSuccess || request.keyNumber == kNoCurrencyChange) {
        return result;
    }
    const KeyDef& key = file.Shape().keys[k];
    FoundRecord found{id, key.Duplicates() ? id : 0, FoldKey(key, KeyOfRecord(key, record)),
                      record};
    PositionOn(request, cursor, k, found);
    return status::kSuccess;
}

std::int16_t RecordEngine::Update(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    std::size_t k = 0;
    if (const auto result = PrepareWrite(request, cursor, handle, k); result != status::kSuccess) {
        return result;
    }
    TableFile& file = *handle->file;
    if (cursor.state != CursorState::kOnRecord) {
        return status::kInvalidPositioning;
    }
    const std::string record(reinterpret_cast<const char*>(request.data), request.dataLength);
    bool found = false;
    const auto result = file.Update(cursor.recordId, record, found);
    WriteDone(handle->file);
    if (result != status::kSuccess) {
        return result;
    }
    if (!found) {
        return status::kInvalidPositioning;
    }
    const auto updated = file.ReadById(k, cursor.recordId);
    if (updated) {
        PositionOn(request, cursor, k, *updated);
    }
    return status::kSuccess;
}

std::int16_t RecordEngine::Delete(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    if (const auto result = Resolve(request, cursor, handle); result != status::kSuccess) {
        return result;
    }
    TableFile& file = *handle->file;
    if (handle->readOnly || file.ReadOnly()) {
        return status::kAccessDenied;
    }
    if (cursor.state != CursorState::kOnRecord) {
        return status::kInvalidPositioning;
    }
    const bool deleted = file.Delete(cursor.recordId);
    WriteDone(handle->file);
    if (!deleted) {
        return status::kInvalidPositioning;
    }
    // The block keeps the key and sequence: the next read continues from the gap.
    cursor.state = CursorState::kAfterDelete;
    EncodeCursor(cursor, request.block);
    return status::kSuccess;
}

std::int16_t RecordEngine::ResolveKey(const Request& request, Cursor& cursor, Handle*& handle,
                                      std::size_t& keyIndex) {
    if (const auto result = Resolve(request, cursor, handle); result != status::kSuccess) {
        return result;
    }
    return KeyOfCall(*handle->file, request.keyNumber, request.key, request.keyLength, keyIndex);
}

std::int16_t RecordEngine::GetByKey(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    std::size_t k = 0;
    if (const auto result = ResolveKey(request, cursor, handle, k); result != status::kSuccess) {
        return result;
    }
    TableFile& file = *handle->file;
    const KeyDef& key = file.Shape().keys[k];
    const std::string wanted =
        FoldKey(key, std::string_view(reinterpret_cast<const char*>(request.key), key.Length()));
    Seek seek = Seek::kGreaterOrEqual;
    switch (request.operation) {
        case op::kGetGreater:
            seek = Seek::kGreater;
            break;
        case op::kGetLessThan:
            seek = Seek::kLess;
            break;
        case op::kGetLessOrEqual:
            seek = Seek::kLessOrEqual;
            break;
        default:
            break;
    }
    const auto found = file.Find(k, seek, wanted, 0);
    if (request.operation == op::kGetEqual) {
        if (!found || found->indexKey != wanted) {
            return status::kKeyNotFound;
        }
    } else if (!found) {
        return status::kEndOfFile;
    }
    return ReturnRecord(request, cursor, k, *found);
}

std::int16_t RecordEngine::GetEnd(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    std::size_t k = 0;
    if (const auto result = ResolveKey(request, cursor, handle, k); result != status::kSuccess) {
        return result;
    }
    TableFile& file = *handle->file;
    const auto found =
        file.Find(k, request.operation == op::kGetFirst ? Seek::kFirst : Seek::kLast, {}, 0);
    if (!found) {
        return status::kEndOfFile;
    }
    return ReturnRecord(request, cursor, k, *found);
}

std::int16_t RecordEngine::GetNextOrPrevious(Request& request) {
    Cursor cursor;
    Handle* handle = nullptr;
    if (const auto result = Resolve(request, cursor, handle); result != status::kSuccess) {
        return result;
    }
    if (cursor.state == CursorState::kNone || cursor.keyNumber < 0) {
        return status::kInvalidPositioning;
    }
    if (request.keyNumber != cursor.keyNumber) {
        return status::kDifferentKeyNumber;
    }
    TableFile& file = *handle->file;
    std::size_t k = 0;
    if (const auto result = KeyOfCall(file, request.keyNumber, request.key, request.keyLength, k);
        result != status::kSuccess) {
        return result;
    }
    std::string from = cursor.key;
    if (cursor.keyCut) {
        // The key remembered for the block; once forgotten, the record's key when it has not
        // changed. A position that neither holds any longer is lost.
        if (const std::string* remembered =
                handle->longKeys.Recall(cursor.longKeyToken, cursor.longKeyHash)) {
            from = *remembered;
        } else if (const auto current = file.ReadById(k, cursor.recordId);
                   current && LongKeyMemory::Hash(current->indexKey) == cursor.longKeyHash) {
            from = current->indexKey;
        } else {
            return status::kInvalidPositioning;
        }
    }
    const auto found =
        file.Find(k, request.operation == op::kGetNext ? Seek::kNext : Seek::kPrevious, from,
                  cursor.sequence);
    if (!found) {
        return status::kEndOfFile;
    }
    return ReturnRecord(request, cursor, k, *found);
}

std::int16_t RecordEngine::BeginTransaction() {
    if (m_inTransaction) {
        return status::kTransactionActive;
    }
    if (const auto result = CommitBundles(false); result != status::kSuccess) {
        return result;
    }
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
    const std::int16_t result = CommitBundles(false);
    if (m_inTransaction) {
        AbortTransaction();
    }
    m_handles.clear();
    m_transactionFiles.clear();
    m_inTransaction = false;
    return result;
}

}  // namespace ks::engine
