// The bytes of a key: its segments taken from the record one after the other. The index
// holds them in an order-preserving form, so that comparing two keys is comparing bytes,
// unsigned: strings as they are, a-z turned to A-Z in case-insensitive segments and A-Z to
// a-z in segments of the alternate collation (and nothing else, as the classic engine
// folds); zero-terminated strings cut at their first byte 0; integers big-endian, the sign
// bit of signed ones flipped.
#pragma once

#include <string>
#include <string_view>

#include "ks/engine/file_spec.h"

namespace ks::engine {

// The key as it stands in the record (what a read returns in the key buffer).
std::string KeyOfRecord(const KeyDef& key, std::string_view record);

// The indexed form of key bytes laid out segment after segment (a record's key, or the key a
// caller searches for).
std::string FoldKey(const KeyDef& key, std::string_view keyBytes);

// The indexed form of a record's key, written into `out` (its room kept from one record to
// the next: the copy's check folds every key of every record).
void FoldKeyOfRecord(const KeyDef& key, std::string_view record, std::string& out);
inline std::string FoldKeyOfRecord(const KeyDef& key, std::string_view record) {
    std::string folded;
    FoldKeyOfRecord(key, record, folded);
    return folded;
}

}  // namespace ks::engine
