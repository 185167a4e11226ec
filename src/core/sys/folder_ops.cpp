#include "core/sys/folder_ops.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/sys/text_helpers.h"
#include "platform/native_path.h"

namespace ks {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kVerification = "Lib_Systeme:VerificationEtCreationRepertoire";

bool IsFolder(std::string_view path) {
    std::error_code error;
    return fs::is_directory(fs::status(NativePath(path), error));
}

// Where the levels to create start: after "//server/share/" for a network path (the server
// and its share are never created), at the start otherwise.
std::size_t FirstCreatedLevel(std::string_view path) {
    if (!path.starts_with("//")) {
        return 0;
    }
    const auto serverEnd = path.find('/', 2);
    if (serverEnd == std::string_view::npos) {
        return path.size();
    }
    const auto shareEnd = path.find('/', serverEnd + 1);
    return shareEnd == std::string_view::npos ? path.size() : shareEnd + 1;
}

}  // namespace

std::string CheckRep(std::string_view folder) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/') {
        out += '/';
    }
    return out;
}

std::string NettoieNomDeDossier(std::string_view folder) {
    std::string text(folder);
    for (char& c : text) {
        switch (c) {
            case '\\':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
            case ',':
                c = ' ';
                break;
            default:
                break;
        }
    }
    text = ReplaceAll(text, "...", "");
    text = ReplaceAll(text, "..", "");
    text = ReplaceAll(text, "%", "");
    if (text.size() > 2) {
        // The first two characters may be a drive ("C:"); the rest may not hold a colon.
        std::string rest = text.substr(2);
        for (char& c : rest) {
            if (c == ':') {
                c = ' ';
            }
        }
        rest = ReplaceAll(rest, "   ", " ");
        text.replace(2, std::string::npos, rest);
    }
    while (text.find(" /") != std::string::npos) {
        text = ReplaceAll(text, " /", "/");
    }
    return Trim(text);
}

bool FolderOps::VerificationEtCreationRepertoire(std::string_view folder, bool report) {
    bool exists = false;
    // The failure report of this procedure names the folder in its caller text, so it needs
    // the error number before reporting: the one place that records and reports by hand.
    try {
        const std::string cleaned = NettoieNomDeDossier(folder);
        if (cleaned.empty()) {
            return false;
        }
        const std::string path = CheckRep(cleaned);
        for (std::size_t i = FirstCreatedLevel(path); i < path.size(); ++i) {
            if (path[i] != '/') {
                continue;
            }
            const std::string level = path.substr(0, i + 1);
            if (IsFolder(level) || level.find('$') != std::string::npos) {
                continue;
            }
            std::error_code error;
            fs::create_directory(NativePath(level), error);
            if (!IsFolder(level) && report) {
                m_trace.TraceLog(-1, -1, -1, "Folder '" + level + "' not found");
            }
        }
        exists = IsFolder(path);
    } catch (...) {
        m_errors.Record(std::current_exception(), __LINE__);
        std::string caller = "Err: ";
        caller += std::to_string(m_errors.Err().ErrNumber);
        caller += ": Folder not found: ";
        caller += folder;
        caller += " |Source: ";
        caller += kVerification;
        m_errors.GestionDesErreurs(caller);
    }
    return exists;
}

}  // namespace ks
