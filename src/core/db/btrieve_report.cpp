#include "core/db/btrieve_report.h"

#include <utility>

#include "core/base/clock.h"
#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/db/db_state.h"
#include "core/db/message_sink.h"
#include "core/sys/text_helpers.h"
#include "ks/engine/btr_codes.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

constexpr std::int16_t kStatusLicences = 161;
constexpr std::int16_t kStatusConflict = engine::status::kConflict;

bool NeedsRestoration(std::int16_t status, std::int16_t currentOperation) {
    switch (status) {
        case 2:
        case 14:
        case 15:
        case 19:
        case 30:
            return true;
        case 4:
            return currentOperation == engine::op::kDelete;
        default:
            return false;
    }
}

}  // namespace

std::string ErreurBTrieveLibelle(std::int16_t status, std::string_view fileName) {
    const std::string head = "Err: " + std::to_string(status);
    std::string text;
    switch (status) {
        case 1:
            text = head + ": The operation parameter is invalid";
            break;
        case 2:
            text = head + ": The application encountered an I/O error";
            break;
        case 3:
            text = head + ": The file is not open";
            break;
        case 4:
            text = head + ": The application cannot find the key value";
            break;
        case 5:
            text = head + ": The record has a key field containing a duplicate key value";
            break;
        case 6:
            text = head + ": The key number parameter is invalid";
            break;
        case 7:
            text = head + ": The key number has changed";
            break;
        case 8:
            text = head + ": The current positioning is invalid";
            break;
        case 11:
            text = head + ": The specified filename is invalid (" + std::string(fileName) + ")";
            break;
        case 12:
            text = head + ": The MicroKernel cannot find the specified file (" +
                   std::string(fileName) + ")";
            break;
        case 18:
            text = head + ": The disk is full";
            break;
        case 19:
            text = head + ": The application encountered an unrecoverable error";
            break;
        case 30:
            text = head + ": The file specified is not a MicroKernel file";
            break;
        case 46:
            text = head + ": Access to the requested file is denied (File locked ?)";
            break;
        case 161:
            text = head + ": The maximum number of user count licenses has been reached";
            break;
        case 2007:
            text = head + ": A pointer parameter is invalid";
            break;
        default:
            text = status >= 3103 && status <= 3132 ? head + ": Network error" : head;
            break;
    }
    return text + "\n";
}

BtrieveReport::BtrieveReport(DbState& db, Clock& clock, TraceSink& trace, MessageSink& messages,
                             ErrorHandler& errors, std::string programName)
    : m_db(db),
      m_clock(clock),
      m_trace(trace),
      m_messages(messages),
      m_errors(errors),
      m_programName(std::move(programName)) {}

std::string BtrieveReport::Report(std::int16_t base, std::int16_t file, std::int16_t operation,
                                  std::string_view key) {
    const std::int16_t status = m_db.StatutBTR;
    const std::string now = Date2StringEx(m_clock.Now(), "dd/MM/yyyy hh:mm:ss", &m_errors);
    std::string report;
    if (file >= 0) {
        report = "Fichier: " + std::string("  (") + m_programName + ")" + "  (" + now + ")\n";
    } else {
        report = now + "\n";
    }
    report += ErreurBTrieveLibelle(status, key) + "\n";
    if (status != kStatusLicences && IsSlot(base)) {
        m_db.MarkHistoryStatus(base, status);
        const HistoryLines& lines = m_db.History(base);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!IsBlank(lines[i])) {
                report += " " + std::to_string(i) + ">" + lines[i] + "\n";
            }
        }
    }
    if (NeedsRestoration(status, operation)) {
        report += "\n" + "Faîtes une restauration de ce fichier"_cp + "\n";
    }
    return report;
}

void BtrieveReport::ErreurBTrieve(std::int16_t base, std::int16_t file, std::int16_t operation,
                                  std::string_view key, std::string_view /*place*/) {
    m_errors.Guard("Lib_Data_Pervasive:ErreurBTrieve", [&] {
        const std::int16_t status = m_db.StatutBTR;
        if (status == 0) {
            return;
        }
        const std::string report = Report(base, file, operation, key);
        m_trace.TraceLogEncadre(-1, -1, -1, "===== Err: Pervasive =====", '=', false);
        m_trace.TraceLog(-1, -1, -1, report);
        if (status == kStatusConflict) {
            return;
        }
        if (status >= 3000 && status <= 3132) {
            m_trace.TraceLogEncadre(base, -1, -1,
                                    "Err: Network Pervasive errors: " + std::to_string(status), '=',
                                    true);
        }
        m_trace.TraceLogEncadre(base, -1, -1, "Err: Pervasive: " + std::to_string(status), '=',
                                true);
        m_trace.TraceLog(base, -1, -1, "Err: " + report, false);
        m_messages.Dialog_Msg(report, "", "", kReportDialogIcon, kReportDialogWidth);
    });
}

}  // namespace ks
