#include "core/log/log_viewer.h"

#include <optional>

#include "core/base/clock.h"
#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/log/trace_log.h"
#include "core/sys/file_ops.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Lib_General:LectureLog";

}  // namespace

void LogViewer::LectureLog(const std::string& folder, const std::string& fileName) {
    m_errors.Guard(kCaller, [&] { m_trace.TraceLogForce(m_trace.ListeLog(), ""); });
    std::optional<std::string> chosen;
    m_errors.Guard(kCaller, [&] {
        const std::string proposed =
            fileName.empty() ? D2S(m_clock.Now(), &m_errors) + ".Log" : fileName;
        chosen = m_dialogs.ChooseFile("Lecture des Logs", folder + proposed, "Logs|*.log");
    });
    if (!chosen || chosen->empty()) {
        return;
    }
    m_errors.Guard(kCaller, [&] {
        if (m_files.File_Exist(*chosen, kCaller)) {
            m_dialogs.OpenInViewer(*chosen);
        } else {
            m_dialogs.MessageBox(MsgIcon::Warning, MsgButtons::Ok, m_caption,
                                 "Fichier non trouvé:"_cp + "\r\n\r\n" + *chosen);
        }
    });
}

}  // namespace ks
