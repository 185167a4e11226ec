// Reading a small file whole, and replacing it so that a crash, a kill or a full disk in the
// middle of a write leaves either the old file or the new one on disk, never half of it.
// The settings files and the registry store are written this way.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace ks {

enum class ReadResult {
    Read,     // the bytes were read
    Missing,  // no such file, or a folder of its path is missing or is a file
    Failed    // it exists but cannot be read: a folder, a device, no permission, an I/O error
};

ReadResult ReadWholeFile(const std::filesystem::path& file, std::string& bytes);

// Replaces `file` by `bytes`, creating it when missing, through a temporary file beside it
// that gets the old file's permission bits (and owner, where allowed), is flushed to disk and
// renamed over it. A symbolic link is followed and its target replaced.
//
// An existing file is replaced only when it could be written in place: its owner write bit
// is set (that bit is the file's read-only attribute) and this process may write it. A rename
// only needs a writable folder, and would otherwise overwrite a read-only file or another
// user's file behind their back.
//
// Returns the failure; an empty code on success.
std::error_code ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes);

}  // namespace ks
