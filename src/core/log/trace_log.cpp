#include "core/log/trace_log.h"

#include <algorithm>
#include <optional>

#include "core/base/clock.h"
#include "core/base/error_handler.h"
#include "core/log/append_file.h"
#include "core/log/log_purge.h"
#include "core/log/trace_prefix.h"
#include "core/log/uptime_text.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::string_view kCallerTraceLog = "Lib_Public:TraceLog";
constexpr std::string_view kCallerEncadre = "Lib_Public:TraceLogEncadre";
constexpr std::string_view kCallerForce = "Lib_Public:TraceLogForce";
constexpr std::string_view kLineEnd = "\r\n";
constexpr int kKeepDays = 45;

// Marks a flush as running for as long as it lasts, whatever way it ends.
class FlushScope {
  public:
    explicit FlushScope(bool& flag) : m_flag(flag) { flag = true; }
    ~FlushScope() { m_flag = false; }
    FlushScope(const FlushScope&) = delete;
    FlushScope& operator=(const FlushScope&) = delete;

  private:
    bool& m_flag;
};

}  // namespace

DailyTraceLog::DailyTraceLog(TraceState& state, ErrorHandler& errors, const Clock& clock)
    : m_state(state), m_errors(errors), m_clock(clock) {}

// The machine's 64-bit count of milliseconds since start; it never wraps.
std::uint64_t DailyTraceLog::TimingTickCount() const {
    return m_clock.TickCount64();
}

void DailyTraceLog::TraceLog(std::int16_t base, std::int16_t file, std::int16_t level,
                             std::string_view message, bool incident, std::int16_t base2,
                             bool flushNow) {
    if (m_state.ApplicationEnFermeture && !m_state.TraceFichierActif) {
        return;
    }
    if (IsBlank(message)) {
        return;
    }
    std::string prefix;
    m_errors.Guard(kCallerTraceLog, [&] {
        const std::string timing = ks::TimingMilliSec(m_clock.Now(), &m_errors);
        const bool firstOfBatch = m_listeLog.empty();
        prefix = TracePrefix(timing, base, file, level, TimingTickCount(), m_state.LastMarkTick,
                             firstOfBatch);
        std::string line;
        line.reserve(prefix.size() + message.size());
        line += prefix;
        line += message;
        m_listeLog.push_back(std::move(line));
    });

    if (incident) {
        ++m_incidentCount;
    }
    if (incident || base2 >= 0) {
        // Every incident reaches the file at once.
        if (m_state.TraceFichierActif && flushNow) {
            TraceLogForce(m_listeLog, "");
        }
    }

    bool due = false;
    m_errors.Guard(kCallerTraceLog, [&] {
        if (!m_state.TraceFichierActif || IsBlank(m_dossierLog) || !flushNow) {
            return;
        }
        const std::string threshold = m_threshold ? m_threshold() : std::string("10");
        due = Val(threshold) <= static_cast<double>(m_listeLog.size());
    });
    if (due) {
        TraceLogForce(m_listeLog, "");
    }
}

void DailyTraceLog::TraceLogEncadre(std::int16_t base, std::int16_t file, std::int16_t level,
                                    std::string_view message, char frame, bool incident) {
    m_errors.Guard(kCallerEncadre, [&] {
        TraceSink::TraceLogEncadre(base, file, level, message, frame, incident);
    });
}

void DailyTraceLog::TraceLogForce(std::vector<std::string>& list, std::string_view fileName) {
    // A flush asked for while one runs (an error report of this flush, the trace line of a
    // purged file) leaves its lines pending for the next flush instead of nesting.
    if (m_flushing || IsBlank(m_dossierLog)) {
        return;
    }
    const FlushScope scope(m_flushing);

    DateTime now;
    std::string day;
    m_errors.Guard(kCallerForce, [&] {
        now = m_clock.Now();
        day = Date2StringEx(now, m_formatJour, &m_errors);
    });
    if (list.empty() && day == m_state.LastHeaderDay) {
        return;
    }
    const std::size_t asked = list.size();

    std::optional<AppendFile> out;
    m_errors.Guard(kCallerForce, [&] {
        const std::string name = fileName.empty() ? D2S(now, &m_errors) : std::string(fileName);
        out.emplace(m_dossierLog + name + ".Log");
    });
    if (out && day != m_state.LastHeaderDay) {
        m_errors.Guard(kCallerForce, [&] {
            out->Write(TraceHeaderBlock(ReadHeaderValues(kCallerForce)));
            m_state.LastHeaderDay = day;
        });
    }
    // When the file is open, the batch includes the reports of a failing header source; when
    // it is not, the lines asked for are dropped but the report of the failed open stays for
    // the next flush. Reports of a failing write stay pending too.
    const std::size_t batch = out ? list.size() : asked;
    if (out) {
        m_errors.Guard(kCallerForce, [&] {
            std::string bytes;
            for (std::size_t i = 0; i < batch; ++i) {
                bytes += list[i];
                bytes += kLineEnd;
            }
            out->Write(bytes);
        });
    }
    out.reset();
    list.erase(list.begin(),
               list.begin() + static_cast<std::ptrdiff_t>(std::min(batch, list.size())));

    if (day != m_state.LastPurgeDay) {
        // Marked first: a failing purge is not retried at every flush of the day.
        m_state.LastPurgeDay = day;
        Purge(now, kCallerForce);
    }
}

std::string DailyTraceLog::TimingMilliSec() {
    std::string timing;
    m_errors.Guard(kCallerTraceLog, [&] { timing = ks::TimingMilliSec(m_clock.Now(), &m_errors); });
    return timing;
}

TraceHeaderValues DailyTraceLog::ReadHeaderValues(std::string_view caller) {
    TraceHeaderValues values;
    // Each fact is read on its own: one failing source leaves its field empty, not the block.
    const auto read = [&](const std::function<std::string()>& source, std::string& target) {
        if (source) {
            m_errors.Guard(caller, [&] { target = source(); });
        }
    };
    m_errors.Guard(caller, [&] { values.uptime = UptimeText(TimingTickCount()); });
    read(m_header.VersionApplication, values.version);
    read(m_header.ExeFolder, values.exeFolder);
    read(m_header.ExeBaseName, values.exeBaseName);
    read(m_header.ProductName, values.productName);
    read(m_header.ComputerName, values.computerName);
    read(m_header.ThemeActive, values.themeActive);
    read(m_header.GetOSDisplayString, values.osDisplay);
    return values;
}

void DailyTraceLog::Purge(const DateTime& now, std::string_view caller) {
    std::vector<std::string> expired;
    m_errors.Guard(caller, [&] {
        const std::string limit = D2S(AddDays(DateOnly(now), -kKeepDays), &m_errors);
        expired = ExpiredLogFiles(m_dossierLog, limit, &m_errors);
    });
    if (!m_deleter) {
        return;
    }
    for (const std::string& file : expired) {
        m_errors.Guard(caller, [&] { m_deleter(file, caller); });
    }
}

}  // namespace ks
