// The daily trace log: every part of the program adds its lines here; they wait in the
// pending list and are appended in batches to one file per day, DossierLog + "20261207.Log",
// in Windows-1252 with CR LF endings, after a header block once per day and per run.
// Incidents reach the file at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/date_time.h"
#include "core/base/trace_sink.h"
#include "core/base/trace_state.h"
#include "core/log/trace_header.h"

namespace ks {

class Clock;
class ErrorHandler;

// A C++ class cannot have a member named like itself, so the class that provides TraceLog
// is named after what it writes.
class DailyTraceLog : public TraceSink {
  public:
    // Deletes one old log file (the file operations' File_Delete with its trace lines).
    using FileDeleter = std::function<void(const std::string& file, std::string_view caller)>;
    // Reads a text owned by another object (the threshold field of the options window).
    using TextSource = std::function<std::string()>;

    DailyTraceLog(TraceState& state, ErrorHandler& errors, const Clock& clock);

    void TraceLog(std::int16_t base, std::int16_t file, std::int16_t level,
                  std::string_view message, bool incident = false,  // NOLINT
                  std::int16_t base2 = -1, bool flushNow = true) override;

    void TraceLogEncadre(std::int16_t base, std::int16_t file, std::int16_t level,
                         std::string_view message, char frame, bool incident) override;

    // Appends `list` to DossierLog + `fileName` + ".Log" (the file of today when `fileName`
    // is empty), after the header block on the first flush of the day, then empties the list
    // and, once a day, deletes the log files older than 45 days.
    void TraceLogForce(std::vector<std::string>& list, std::string_view fileName);

    // "09:05:07:042" for now.
    std::string TimingMilliSec();
    std::uint64_t TimingTickCount() const;

    // The log folder, ending with "/"; blank disables writing to file.
    void SetDossierLog(std::string folder) { m_dossierLog = std::move(folder); }
    const std::string& DossierLog() const { return m_dossierLog; }
    // The pattern of the day key ("dd/MM/yyyy").
    void SetFormatJour(std::string pattern) { m_formatJour = std::move(pattern); }

    // The text of TexteLogNbMaxLignes; "10" until one is given.
    void SetTexteLogNbMaxLignes(TextSource source) { m_threshold = std::move(source); }
    void SetHeaderSources(TraceHeaderSources sources) { m_header = std::move(sources); }
    // The file operations need the trace log, so their deletion is attached afterwards.
    // Without it the purge deletes nothing.
    void SetFileDeleter(FileDeleter deleter) { m_deleter = std::move(deleter); }

    std::vector<std::string>& ListeLog() { return m_listeLog; }
    // Incident lines traced since the start, whatever their slot (a headless run's verdict).
    std::size_t Incidents() const { return m_incidentCount; }

  private:
    TraceHeaderValues ReadHeaderValues(std::string_view caller);
    void Purge(const DateTime& now, std::string_view caller);

    TraceState& m_state;
    ErrorHandler& m_errors;
    const Clock& m_clock;
    std::string m_dossierLog;
    std::string m_formatJour = "dd/MM/yyyy";
    TextSource m_threshold;
    TraceHeaderSources m_header;
    FileDeleter m_deleter;
    std::vector<std::string> m_listeLog;
    bool m_flushing = false;
    std::size_t m_incidentCount = 0;
};

}  // namespace ks
