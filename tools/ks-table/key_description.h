// The command-line form of a key for the table tool: segments joined by "+", each
// POSITION:LENGTH with optional flags after a second ":" separated by commas: dup (duplicates
// allowed), mod (may change on update), nocase (a-z compared as A-Z), lower (A-Z compared as
// a-z), bin (binary), and a type other than a string: zstr (zero-terminated string), int
// (signed integer), uint (unsigned integer), autoinc (autoincrement). dup and mod hold for
// the whole key when given on any segment; the others for their segment.
// Example: "26:10:dup,mod+9:13:nocase". Stat prints keys in the same form.
#pragma once

#include <string>
#include <string_view>

#include "ks/engine/file_spec.h"

namespace ks::engine::tool {

// False with `error` set for a malformed description.
bool ParseKeyDescription(std::string_view text, KeyDef& key, std::string& error);

std::string FormatKeyDescription(const KeyDef& key);

}  // namespace ks::engine::tool
