// The database error report: when a call ends with a status its caller does not expect, the
// report (file line, status text, the slot's last calls, a restoration hint for statuses that
// mean damage) goes to the trace log and, except for record conflicts, to the operator in the
// self-closing message dialog. It never stops the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ks {

class Clock;
class DbState;
class ErrorHandler;
class MessageSink;
class TraceSink;

// One line of text for an engine status, ended by LF; `fileName` appears for statuses 11
// and 12.
std::string ErreurBTrieveLibelle(std::int16_t status, std::string_view fileName);

// The main icon and width of the report's dialog.
inline constexpr std::int32_t kReportDialogIcon = 2;
inline constexpr std::int32_t kReportDialogWidth = 450;

class BtrieveReport {
  public:
    // `programName` is the name of the program's executable without extension, shown in the
    // report's file line.
    BtrieveReport(DbState& db, Clock& clock, TraceSink& trace, MessageSink& messages,
                  ErrorHandler& errors, std::string programName);

    // Reports StatutBTR (nothing when it is 0) for slot `base` and `file` (negative: no file)
    // after engine operation `operation` (a key not found during a delete asks for a
    // restoration); `key` is the key of the failed call, or the path for an open or a create;
    // `place` names the reporting code ("Module:Procedure").
    void ErreurBTrieve(std::int16_t base, std::int16_t file, std::int16_t operation,
                       std::string_view key, std::string_view place);

  private:
    std::string Report(std::int16_t base, std::int16_t file, std::int16_t operation,
                       std::string_view key);

    DbState& m_db;
    Clock& m_clock;
    TraceSink& m_trace;
    MessageSink& m_messages;
    ErrorHandler& m_errors;
    std::string m_programName;
};

}  // namespace ks
