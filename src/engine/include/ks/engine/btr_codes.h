// Operation codes, open modes, key flags and statuses of the classic record engine.
#pragma once

#include <cstdint>

namespace ks::engine {

namespace op {
inline constexpr std::uint16_t kOpen = 0;
inline constexpr std::uint16_t kClose = 1;
inline constexpr std::uint16_t kInsert = 2;
inline constexpr std::uint16_t kUpdate = 3;
inline constexpr std::uint16_t kDelete = 4;
inline constexpr std::uint16_t kGetEqual = 5;
inline constexpr std::uint16_t kGetNext = 6;
inline constexpr std::uint16_t kGetPrevious = 7;
inline constexpr std::uint16_t kGetGreater = 8;
inline constexpr std::uint16_t kGetGreaterOrEqual = 9;
inline constexpr std::uint16_t kGetLessThan = 10;
inline constexpr std::uint16_t kGetLessOrEqual = 11;
inline constexpr std::uint16_t kGetFirst = 12;
inline constexpr std::uint16_t kGetLast = 13;
inline constexpr std::uint16_t kCreate = 14;
inline constexpr std::uint16_t kStat = 15;
inline constexpr std::uint16_t kBeginTransaction = 19;
inline constexpr std::uint16_t kEndTransaction = 20;
inline constexpr std::uint16_t kAbortTransaction = 21;
inline constexpr std::uint16_t kStop = 25;
inline constexpr std::uint16_t kBeginConcurrentTransaction = 1019;
}  // namespace op

namespace open_mode {
inline constexpr std::int8_t kNormal = 0;
inline constexpr std::int8_t kAccelerated = -1;
inline constexpr std::int8_t kReadOnly = -2;
inline constexpr std::int8_t kExclusive = -4;
}  // namespace open_mode

// Key number of an insert that leaves the position block as it was (no key is returned).
inline constexpr std::int8_t kNoCurrencyChange = -1;

namespace key_flag {
inline constexpr std::uint16_t kDuplicates = 1;
inline constexpr std::uint16_t kModifiable = 2;
inline constexpr std::uint16_t kBinary = 4;
inline constexpr std::uint16_t kSegmented = 16;
// Collated through the engine's one alternate table, which sorts A-Z as a-z (the other
// folding, a-z sorted as A-Z, is the case-insensitive flag).
inline constexpr std::uint16_t kAlternateCollation = 32;
// The segment's type is given in its key_type byte.
inline constexpr std::uint16_t kExtendedType = 256;
inline constexpr std::uint16_t kCaseInsensitive = 1024;
}  // namespace key_flag

// Types of a segment with the extended-type flag, by their classic codes.
namespace key_type {
inline constexpr std::uint8_t kString = 0;
inline constexpr std::uint8_t kInteger = 1;    // signed, little-endian, 1, 2, 4 or 8 bytes
inline constexpr std::uint8_t kZString = 11;   // compared up to its first byte 0
inline constexpr std::uint8_t kUnsigned = 14;  // unsigned binary, little-endian, 1, 2, 4 or 8 bytes
inline constexpr std::uint8_t kAutoIncrement = 15;  // signed, little-endian, 2, 4 or 8 bytes
}  // namespace key_type

namespace file_flag {
// Records are the fixed part of the record length followed by a part of any length.
inline constexpr std::uint16_t kVariableLength = 1;
}  // namespace file_flag

namespace status {
inline constexpr std::int16_t kSuccess = 0;
inline constexpr std::int16_t kInvalidOperation = 1;
inline constexpr std::int16_t kIoError = 2;
inline constexpr std::int16_t kFileNotOpen = 3;
inline constexpr std::int16_t kKeyNotFound = 4;
inline constexpr std::int16_t kDuplicateKey = 5;
inline constexpr std::int16_t kInvalidKeyNumber = 6;
inline constexpr std::int16_t kDifferentKeyNumber = 7;
inline constexpr std::int16_t kInvalidPositioning = 8;
inline constexpr std::int16_t kEndOfFile = 9;
inline constexpr std::int16_t kModifiableKeyChanged = 10;
inline constexpr std::int16_t kInvalidFileName = 11;
inline constexpr std::int16_t kFileNotFound = 12;
inline constexpr std::int16_t kDiskFull = 18;
inline constexpr std::int16_t kKeyBufferTooShort = 21;
inline constexpr std::int16_t kDataBufferTooShort = 22;
inline constexpr std::int16_t kPageSizeError = 24;
inline constexpr std::int16_t kInvalidKeyPosition = 27;
inline constexpr std::int16_t kInvalidRecordLength = 28;
inline constexpr std::int16_t kInvalidKeyLength = 29;
inline constexpr std::int16_t kNotATableFile = 30;
inline constexpr std::int16_t kTransactionActive = 37;
inline constexpr std::int16_t kNoTransaction = 39;
inline constexpr std::int16_t kAccessDenied = 46;
inline constexpr std::int16_t kFileExists = 59;
inline constexpr std::int16_t kConflict = 80;
inline constexpr std::int16_t kRecordLocked = 84;
inline constexpr std::int16_t kFileLocked = 85;
inline constexpr std::int16_t kEngineGone = 95;
}  // namespace status

}  // namespace ks::engine
