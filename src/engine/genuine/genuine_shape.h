// How a genuine 6.x file's shape becomes the shape of our table, and what cannot.
#pragma once

#include <string>

#include "engine/genuine/genuine_file.h"
#include "ks/engine/file_spec.h"

namespace ks::engine::genuine {

// The shape of our table for a genuine file: same record length, page size, variable-length
// flag and keys, each segment ordered as the genuine file orders it. Throws GenuineRefusal
// (status 1) for a key this engine cannot order the same way: a type other than a string, a
// zero-terminated string, a signed, unsigned or autoincrement integer; a collating table other
// than a-z as A-Z or A-Z as a-z; descending order, null values or old-style binary keys.
FileSpec OurShape(const GenuineShape& genuine, const std::string& name);

}  // namespace ks::engine::genuine
