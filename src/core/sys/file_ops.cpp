#include "core/sys/file_ops.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/base/clock.h"
#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/sys/text_helpers.h"
#include "platform/native_path.h"

namespace ks {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kFileExist = "Lib_Systeme:File_Exist";
constexpr std::string_view kFileCopy = "Lib_Systeme:File_Copy";
constexpr std::string_view kFileDelete = "Lib_Systeme:File_Delete";

constexpr std::int32_t kDeleteDefaultFlags =
    kShellNoConfirmation + kShellFilesOnly + kShellNoErrorUi;

std::string Joined(std::string_view caller, std::string_view own) {
    std::string name(caller);
    name += '>';
    name += own;
    return name;
}

bool EntryExists(std::string_view name) {
    std::error_code error;
    return fs::exists(fs::status(NativePath(name), error));
}

}  // namespace

FileOps::FileOps(TraceSink& trace, ErrorHandler& errors, Clock& clock)
    : m_trace(trace),
      m_errors(errors),
      m_ticks([&clock] { return clock.TickCount64(); }),
      m_shell(ShellFileOperation) {}

void FileOps::SetTickSource(TickSource ticks) {
    m_ticks = std::move(ticks);
}
void FileOps::SetShellOperation(ShellOperation shell) {
    m_shell = std::move(shell);
}

bool FileOps::File_Exist(std::string_view file, std::string_view caller, bool checkSize) {
    bool found = false;
    m_errors.Guard(Joined(caller, kFileExist), [&] {
        if (IsBlank(file)) {
            return;
        }
        const std::string cleaned = ReplaceAll(Trim(file), " .", ".");
        auto attempt = [&](std::string_view name) {
            if (!EntryExists(name)) {
                return false;
            }
            return !checkSize || TailleDuFichier(name) != 0;
        };
        found = attempt(cleaned) || (cleaned != file && attempt(file));
    });
    return found;
}

bool FileOps::File_Copy(std::string_view source, std::string_view target, std::int32_t flags,
                        std::intptr_t /*owner*/) {
    bool copied = false;
    m_errors.Guard(kFileCopy, [&] {
        if (IsBlank(source)) {
            m_trace.TraceLog(-1, -1, -1, "Warning: File_Copy: File name null");
            return;
        }
        if (!File_Exist(source, kFileCopy, true)) {
            TraceSourceNotFound(source);
            return;
        }
        const std::uint64_t start = m_ticks();
        const std::int32_t code =
            m_shell(ShellOp::Copy, source, target, flags | kShellNoConfirmation);
        const std::uint64_t end = m_ticks();
        copied = TraceCopy(source, target, code, end >= start ? end - start : 0);
    });
    return copied;
}

bool FileOps::TraceCopy(std::string_view source, std::string_view target, std::int32_t code,
                        std::uint64_t elapsedMs) {
    if (code == kShellOk) {
        m_trace.TraceLog(-1, -1, -1,
                         "File_Copy: True |Duration: " +
                             N2S(static_cast<double>(elapsedMs), 5, 0, " ", &m_errors) +
                             " ms |File: " + std::string(source));
        return true;
    }
    std::string_view text = " |Source: ";
    bool incident = true;
    switch (code) {
        case kShellFolderNotFound:
            text = " |Folder not found. Source: ";
            break;
        case kShellFileInUse:
            text = " |File in use. Source: ";
            break;
        case kShellSourceMissing:
            text = " |Source file missing. Source: ";
            break;
        case kShellCancelled:
            text = " |Cancelled. Source: ";
            break;
        case kShellOutOfMemory:
            text = " |Out of memory. Source: ";
            break;
        case kShellTooManyNames:
            text = " |Too many names. Source: ";
            incident = false;
            break;
        default:
            incident = false;
            break;
    }
    std::string line = "File_Copy: Err: " + std::to_string(code);
    line += text;
    line += source;
    line += "  Target: ";
    line += target;
    m_trace.TraceLog(-1, -1, -1, line, incident);
    if (!target.starts_with("//")) {
        m_trace.TraceLog(-1, -1, -1,
                         "Free space for " + std::string(target.substr(0, 1)) + ": " +
                             LibSize(DiskFreeSpace(target)));
    }
    return false;
}

void FileOps::TraceSourceNotFound(std::string_view source) {
    if (source.find(".gpx") == std::string_view::npos) {
        m_trace.TraceLog(-1, -1, -1, "Warning: File_Copy: File not found: " + std::string(source));
    }
}

bool FileOps::File_Delete(std::string_view file, std::string_view caller, std::int32_t flags,
                          std::intptr_t /*owner*/) {
    bool deleted = false;
    const std::string where = Joined(caller, kFileDelete);
    m_errors.Guard(where, [&] {
        if (IsBlank(file)) {
            m_trace.TraceLog(-1, -1, -1, "Warning: File_Delete: File name null |Sub: " + where);
            return;
        }
        const std::int32_t code =
            m_shell(ShellOp::Delete, file, {}, flags == 0 ? kDeleteDefaultFlags : flags);
        if (code == kShellOk) {
            m_trace.TraceLog(
                -1, -1, -1,
                "File_Delete: File: " + std::string(file) + " |Sub: " + std::string(caller));
            deleted = true;
            return;
        }
        std::string_view head = "File_Delete: Err: ";
        std::string_view text = " |";
        bool incident = false;
        switch (code) {
            case kShellFileNotFound:
                head = "File_Delete: Warning: ";
                text = " |File not found: ";
                break;
            case kShellFileInUse:
                head = "File_Delete: Warning: ";
                text = " |File in use: ";
                break;
            case kShellSourceMissing:
                text = " |Source file missing: ";
                break;
            case kShellCancelled:
                head = "File_Delete: Warning: ";
                text = " |Cancelled: File: ";
                break;
            case kShellOutOfMemory:
                text = " |Out of memory. File: ";
                incident = true;
                break;
            default:
                incident = true;
                break;
        }
        std::string line(head);
        line += std::to_string(code);
        line += text;
        line += file;
        line += " |Sub: ";
        line += where;
        m_trace.TraceLog(-1, -1, -1, line, incident);
    });
    return deleted;
}

}  // namespace ks
