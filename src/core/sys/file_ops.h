// File operations with their trace lines: existence test, copy, delete, size, the size text
// of the trace log, clearing an attribute, free disk space and a plain file listing.
// Every name goes through NativePath, so "Fdat000.bt6" is found as "FDAT000.bt6". Copy and
// delete report their outcome with the result codes of the shell file operation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/sys/shell_file_operation.h"

namespace ks {

class Clock;
class ErrorHandler;
class TraceSink;

class FileOps {
  public:
    // Milliseconds from an arbitrary start; durations are differences of two readings.
    using TickSource = std::function<std::uint64_t()>;

    // The tick source defaults to the clock's 64-bit tick count.
    FileOps(TraceSink& trace, ErrorHandler& errors, Clock& clock);

    void SetTickSource(TickSource ticks);
    // The tick source's count now, to time work done elsewhere.
    std::uint64_t Ticks() const { return m_ticks(); }
    // Replaces the shell copy and delete (tests inject result codes through it).
    void SetShellOperation(ShellOperation shell);

    // True when the file (or folder) exists; with `checkSize`, an empty file counts as
    // missing. Blanks around the name and a blank before a full stop are forgiven. Writes no
    // trace line; failures are reported as caller + ">" + "Lib_Systeme:File_Exist".
    bool File_Exist(std::string_view file, std::string_view caller, bool checkSize = false);

    // Copies source over target (replacing it) and traces the outcome; true on success.
    // `owner` would parent a progress or error dialog; copies here show none.
    bool File_Copy(std::string_view source, std::string_view target, std::int32_t flags = 0,
                   std::intptr_t owner = 0);

    // The trace of a copy made elsewhere (the load's copy of the server's tables, made on a
    // share call's thread): the lines File_Copy writes for the result `code` of the shell's
    // copy after `elapsedMs`, and for a source that is missing or empty. True for a success.
    bool TraceCopy(std::string_view source, std::string_view target, std::int32_t code,
                   std::uint64_t elapsedMs);
    void TraceSourceNotFound(std::string_view source);

    // Deletes the file for good and traces the outcome with `caller`; true when deleted.
    // Flags 0 mean "no confirmation, files only, no error dialog" (1168).
    bool File_Delete(std::string_view file, std::string_view caller, std::int32_t flags = 0,
                     std::intptr_t owner = 0);

    // Size in bytes; -1 when the file cannot be opened. A slow query (over 1000 ms) is traced.
    std::int32_t TailleDuFichier(std::string_view file);

    // "1 023,00 Octets", "1,50 Ko", ... "Yo": French separators whatever the locale.
    std::string LibSize(double bytes);

    // Clears one attribute bit; bit 1 (read-only) gives the owner write permission back.
    // Other bits have no equivalent here and change nothing. Failures are ignored.
    void File_RemoveFlag(std::string_view file, std::int16_t flag);

    // Free bytes of the file system holding `root` (its nearest existing folder); 0 on failure.
    double DiskFreeSpace(std::string_view root);

    // Names (Windows-1252, without folder) of the files of `folder` matching the wildcard
    // `pattern` without regard to case, hidden files included, folders and names Windows-1252
    // cannot hold skipped, in byte order. A missing or unreadable folder gives an empty list.
    static std::vector<std::string> ListFiles(std::string_view folder, std::string_view pattern);

  private:
    TraceSink& m_trace;
    ErrorHandler& m_errors;
    TickSource m_ticks;
    ShellOperation m_shell;
};

}  // namespace ks
