// BTRCALL, the record engine's C entry (ks/btrcall.h): one engine per process, made at the
// first call with the default options, serving every thread one call at a time. No exception
// leaves it: a C caller could not catch one.
#include "ks/btrcall.h"

#include <memory>

#include "ks/engine/btr_call.h"
#include "ks/engine/btr_codes.h"
#include "ks/engine/engine.h"

namespace ks::engine {
namespace {

// The C names must stay those of the engine.
static_assert(KS_BTR_POSITION_BLOCK_SIZE == kPositionBlockSize);
static_assert(KS_BTR_KEY_BUFFER_SIZE == kKeyBufferSize);
static_assert(KS_BTR_OP_OPEN == op::kOpen);
static_assert(KS_BTR_OP_CLOSE == op::kClose);
static_assert(KS_BTR_OP_INSERT == op::kInsert);
static_assert(KS_BTR_OP_UPDATE == op::kUpdate);
static_assert(KS_BTR_OP_DELETE == op::kDelete);
static_assert(KS_BTR_OP_GET_EQUAL == op::kGetEqual);
static_assert(KS_BTR_OP_GET_NEXT == op::kGetNext);
static_assert(KS_BTR_OP_GET_PREVIOUS == op::kGetPrevious);
static_assert(KS_BTR_OP_GET_GREATER == op::kGetGreater);
static_assert(KS_BTR_OP_GET_GREATER_OR_EQUAL == op::kGetGreaterOrEqual);
static_assert(KS_BTR_OP_GET_LESS_THAN == op::kGetLessThan);
static_assert(KS_BTR_OP_GET_LESS_OR_EQUAL == op::kGetLessOrEqual);
static_assert(KS_BTR_OP_GET_FIRST == op::kGetFirst);
static_assert(KS_BTR_OP_GET_LAST == op::kGetLast);
static_assert(KS_BTR_OP_CREATE == op::kCreate);
static_assert(KS_BTR_OP_STAT == op::kStat);
static_assert(KS_BTR_OP_BEGIN_TRANSACTION == op::kBeginTransaction);
static_assert(KS_BTR_OP_END_TRANSACTION == op::kEndTransaction);
static_assert(KS_BTR_OP_ABORT_TRANSACTION == op::kAbortTransaction);
static_assert(KS_BTR_OP_STOP == op::kStop);
static_assert(KS_BTR_OP_BEGIN_CONCURRENT_TRANSACTION == op::kBeginConcurrentTransaction);
static_assert(KS_BTR_OPEN_NORMAL == open_mode::kNormal);
static_assert(KS_BTR_OPEN_ACCELERATED == open_mode::kAccelerated);
static_assert(KS_BTR_OPEN_READ_ONLY == open_mode::kReadOnly);
static_assert(KS_BTR_OPEN_EXCLUSIVE == open_mode::kExclusive);
static_assert(KS_BTR_STATUS_SUCCESS == status::kSuccess);
static_assert(KS_BTR_STATUS_INVALID_OPERATION == status::kInvalidOperation);
static_assert(KS_BTR_STATUS_IO_ERROR == status::kIoError);
static_assert(KS_BTR_STATUS_FILE_NOT_OPEN == status::kFileNotOpen);
static_assert(KS_BTR_STATUS_KEY_NOT_FOUND == status::kKeyNotFound);
static_assert(KS_BTR_STATUS_DUPLICATE_KEY == status::kDuplicateKey);
static_assert(KS_BTR_STATUS_INVALID_KEY_NUMBER == status::kInvalidKeyNumber);
static_assert(KS_BTR_STATUS_DIFFERENT_KEY_NUMBER == status::kDifferentKeyNumber);
static_assert(KS_BTR_STATUS_INVALID_POSITIONING == status::kInvalidPositioning);
static_assert(KS_BTR_STATUS_END_OF_FILE == status::kEndOfFile);
static_assert(KS_BTR_STATUS_MODIFIABLE_KEY_CHANGED == status::kModifiableKeyChanged);
static_assert(KS_BTR_STATUS_INVALID_FILE_NAME == status::kInvalidFileName);
static_assert(KS_BTR_STATUS_FILE_NOT_FOUND == status::kFileNotFound);
static_assert(KS_BTR_STATUS_DISK_FULL == status::kDiskFull);
static_assert(KS_BTR_STATUS_KEY_BUFFER_TOO_SHORT == status::kKeyBufferTooShort);
static_assert(KS_BTR_STATUS_DATA_BUFFER_TOO_SHORT == status::kDataBufferTooShort);
static_assert(KS_BTR_STATUS_PAGE_SIZE_ERROR == status::kPageSizeError);
static_assert(KS_BTR_STATUS_INVALID_KEY_POSITION == status::kInvalidKeyPosition);
static_assert(KS_BTR_STATUS_INVALID_RECORD_LENGTH == status::kInvalidRecordLength);
static_assert(KS_BTR_STATUS_INVALID_KEY_LENGTH == status::kInvalidKeyLength);
static_assert(KS_BTR_STATUS_NOT_A_TABLE_FILE == status::kNotATableFile);
static_assert(KS_BTR_STATUS_TRANSACTION_ACTIVE == status::kTransactionActive);
static_assert(KS_BTR_STATUS_NO_TRANSACTION == status::kNoTransaction);
static_assert(KS_BTR_STATUS_ACCESS_DENIED == status::kAccessDenied);
static_assert(KS_BTR_STATUS_FILE_EXISTS == status::kFileExists);
static_assert(KS_BTR_STATUS_CONFLICT == status::kConflict);
static_assert(KS_BTR_STATUS_RECORD_LOCKED == status::kRecordLocked);
static_assert(KS_BTR_STATUS_FILE_LOCKED == status::kFileLocked);
static_assert(KS_BTR_STATUS_ENGINE_GONE == status::kEngineGone);

// Made once, by whichever thread calls first; its destruction at the process's end stops it,
// committing the bundles still open.
BtrCall& ProcessEngine() {
    static const std::unique_ptr<BtrCall> engine = MakeRecordEngine();
    return *engine;
}

}  // namespace
}  // namespace ks::engine

extern "C" __attribute__((visibility("default"))) std::int16_t BTRCALL(
    std::uint16_t operation, void* positionBlock, void* dataBuffer, std::uint32_t* dataLength,
    void* keyBuffer, std::uint8_t keyLength, std::int8_t keyNumber) {
    try {
        std::uint32_t noLength = 0;
        return ks::engine::ProcessEngine().Call(
            operation, static_cast<std::uint8_t*>(positionBlock), dataBuffer,
            dataLength != nullptr ? *dataLength : noLength, keyBuffer, keyLength, keyNumber);
    } catch (...) {
        return ks::engine::status::kEngineGone;
    }
}
