// The record operations of the engine's call: inserts, updates and deletes, the gets by key
// and in key order, and the positions they leave. Opening, closing, bundles and transactions
// are in record_engine.cpp.
#include <cstring>
#include <string>
#include <string_view>

#include "engine/key_bytes.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "ks/engine/file_spec.h"

namespace ks::engine {
namespace {

// The record length fixed by the shape, or at least that in a variable-length table.
bool WholeRecord(const FileSpec& shape, std::uint32_t length) {
    return shape.Variable() ? length >= shape.recordLength && length <= kMaxRecordLength
                            : length == shape.recordLength;
}

}  // namespace

void RecordEngine::PositionOn(Request& request, Cursor& cursor, std::size_t keyNumber,
                              const FoundView& found) {
    Handle& handle = m_handles.at(cursor.handle);
    const KeyDef& key = handle.file->Shape().keys[keyNumber];
    const std::string keyBytes = KeyOfRecord(key, found.data);
    std::memcpy(request.key, keyBytes.data(), keyBytes.size());
    // The block already says exactly this (a read of its own record again): left as it is.
    if (cursor.state == CursorState::kOnRecord &&
        cursor.keyNumber == static_cast<std::int8_t>(keyNumber) && cursor.recordId == found.id &&
        cursor.sequence == found.sequence && !cursor.keyCut &&
        found.indexKey.size() <= kBlockKeyCapacity && cursor.key == found.indexKey) {
        return;
    }
    cursor.keyNumber = static_cast<std::int8_t>(keyNumber);
    cursor.state = CursorState::kOnRecord;
    cursor.recordId = found.id;
    cursor.sequence = found.sequence;
    cursor.keyCut = found.indexKey.size() > kBlockKeyCapacity;
    if (cursor.keyCut) {
        cursor.key.clear();
        cursor.longKeyHash = LongKeyMemory::Hash(found.indexKey);
        cursor.longKeyToken = handle.longKeys.Remember(std::string(found.indexKey));
    } else {
        cursor.key = found.indexKey;
    }
    EncodeCursor(cursor, request.block);
}

std::int16_t RecordEngine::ReturnRecord(Request& request, Cursor& cursor, std::size_t keyNumber,
                                        const FoundView& found) {
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
    if (!handle->Writable()) {
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
    const std::string_view record(reinterpret_cast<const char*>(request.data), request.dataLength);
    std::int64_t id = 0;
    const auto result = file.Insert(record, id);
    WriteDone(handle->file);
    if (result != status::kSuccess || request.keyNumber == kNoCurrencyChange) {
        return result;
    }
    const KeyDef& key = file.Shape().keys[k];
    const std::string folded = FoldKeyOfRecord(key, record);
    PositionOn(request, cursor, k, FoundView{id, key.Duplicates() ? id : 0, folded, record});
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
    const std::string_view record(reinterpret_cast<const char*>(request.data), request.dataLength);
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
        PositionOn(request, cursor, k, updated->View());
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
    if (!handle->Writable()) {
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
    ReadWindow(handle->file);
    const auto found = file.FindInWindow(k, seek, wanted, 0);
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
    ReadWindow(handle->file);
    const auto found = file.FindInWindow(
        k, request.operation == op::kGetFirst ? Seek::kFirst : Seek::kLast, {}, 0);
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
    ReadWindow(handle->file);
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
    // A statement left on this block's record by the window's last read of it goes on.
    const auto found =
        file.FindInWindow(k, request.operation == op::kGetNext ? Seek::kNext : Seek::kPrevious,
                          from, cursor.sequence, cursor.recordId);
    if (!found) {
        return status::kEndOfFile;
    }
    return ReturnRecord(request, cursor, k, *found);
}

}  // namespace ks::engine
