// What the operator of an unattended machine needs besides the last attempt ("Précédent"):
// how the last attempt ended, the last load that succeeded and its sets, and the last hour
// of music schedule the local station holds. The facts live under [Data] of the settings
// file, so that a restart and a monitoring system (--status) see them; the main window shows
// them and turns them red once the last success is older than two load periods.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/load_cycle.h"
#include "core/base/date_time.h"

namespace ks {

class BackupSettings;
class ConfigFiles;
class ErrorHandler;
class IniAccess;
class IniFile;
class LoadView;

// The facts as the settings file holds them (texts, "" when missing).
struct LoadFacts {
    std::string lastTiming;       // Last_Timing: the start of the last attempt
    std::string lastResult;       // Last_Result: "0" succeeded, else that load's exit status
    std::string lastSuccess;      // Last_Success: the start of the last load that succeeded
    std::string lastSuccessSets;  // Last_Success_Sets: "1" or "1,2"
    std::string scheduleUntil;    // Schedule_Until: yyyyMMddhh, "-" for an empty schedule
    std::int32_t frequency = -1;  // Frequency: the period's line (-1: the default period)
};

// The exit statuses of --status.
enum class Health {
    Fresh = 0,   // the last success is at most two periods old, the last attempt succeeded
    Late = 1,    // the last success is older than two periods
    Failing = 2  // no load ever succeeded, or the last attempt failed
};

LoadFacts ReadLoadFacts(const IniFile& settings);
Health Evaluate(const LoadFacts& facts, const DateTime& now);

// "07/12/2026 10:29:00 (Secours 01)", "aucun" (Windows-1252).
std::string LastSuccessText(const LoadFacts& facts);
// "Programme chargé jusqu'au 14/12/2026 23:00", or the same line saying none or unknown.
std::string ScheduleText(const LoadFacts& facts);
// "réussi", "échec (...)" with the cause, "" when no attempt was recorded.
std::string LastResultText(const LoadFacts& facts);

// The lines --status prints and its exit status, for the settings file of `programFolder`.
// Reads only: nothing is created or written.
Health StatusReport(const std::string& programFolder, const DateTime& now,
                    std::vector<std::string>& lines);

class LoadHealth {
  public:
    struct Services {
        IniAccess& ini;
        ConfigFiles& config;
        BackupSettings& settings;
        LoadView& view;
        ErrorHandler& errors;
    };

    explicit LoadHealth(Services services) : m_services(services) {}

    // Reads the facts (once the settings are loaded) and shows them.
    void Load(const DateTime& now);

    // After a due load: records how it went unless every set was postponed. `incidents`
    // counts the incidents traced during the load, `lastTiming` is the start shown as
    // "Précédent", `scheduleUntil` the last hour the local stations hold (when read).
    void Record(const std::array<SetOutcome, 2>& sets, std::size_t incidents,
                const std::string& lastTiming, const std::optional<std::string>& scheduleUntil,
                const DateTime& now);

    // Shows the facts again when their colour changes with the time (every clock tick).
    void Tick(const DateTime& now);

    const LoadFacts& Facts() const { return m_facts; }

  private:
    void Show(const DateTime& now);

    Services m_services;
    LoadFacts m_facts;
    std::optional<Health> m_shown;
};

}  // namespace ks
