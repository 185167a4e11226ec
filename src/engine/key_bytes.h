// The bytes of a key: its segments taken from the record one after the other. The index
// holds the folded form (a-z turned to A-Z in case-insensitive segments, and nothing else, as
// the classic engine folds), so that comparing two keys is comparing bytes, unsigned.
#pragma once

#include <string>
#include <string_view>

#include "engine/file_spec.h"

namespace ks::engine {

// The key as it stands in the record (what a read returns in the key buffer).
std::string KeyOfRecord(const KeyDef& key, std::string_view record);

// The indexed form of key bytes laid out segment after segment (a record's key, or the key a
// caller searches for).
std::string FoldKey(const KeyDef& key, std::string_view keyBytes);

}  // namespace ks::engine
