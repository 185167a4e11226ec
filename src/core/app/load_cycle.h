// The load cycle, called by the load tick every 500 ms and by the button "Lancer l'import":
// when a load is due it runs it for each active backup set (wait while the suite's scheduler
// saves that station's database, record the start of the load, copy the server's table
// files, transfer the records, schedule the next load); otherwise it shows the countdown.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/transfer/copied_set.h"

namespace ks {

class BackupSettings;
class Clock;
class ConfigFiles;
class DatabaseCopy;
class ErrorHandler;
class IniAccess;
class LoadFields;
class LoadScheduling;
class ServerShare;
class TraceSink;
struct MainWindowState;

// A scheduler save is waited out this many times in a row; the last wait runs the load anyway.
inline constexpr std::int32_t kMaxSchedulerWaits = 100;
inline constexpr std::int64_t kSchedulerWaitSeconds = 60;

// What became of one backup set in the last due load.
struct SetOutcome {
    bool active = false;
    bool postponed = false;    // the suite's scheduler was saving: tried again a minute later
    bool copyRefused = false;  // a folder check failed: no transfer
    bool transferred = false;  // the record transfer ran
    bool err8 = false;         // the transfer stopped on status 8 or 95
    bool err95 = false;
};

class LoadCycle {
  public:
    // The record transfer of a set: (set, what the copy left, hour offset, err95, err8); both
    // flags come back true when the transfer stopped on that database status.
    using Transfer = std::function<void(std::int16_t set, const CopiedSet& copied,
                                        const std::int16_t& hourOffset, bool& err95, bool& err8)>;

    struct Services {
        BackupSettings& settings;
        IniAccess& ini;
        ConfigFiles& config;
        DatabaseCopy& copy;
        LoadScheduling& scheduling;
        LoadFields& fields;
        MainWindowState& state;
        TraceSink& trace;
        ErrorHandler& errors;
        Clock& clock;
        ServerShare& share;  // the scheduler file of set 1 is on the server
        Transfer transfer;
    };

    explicit LoadCycle(Services services);

    // `hourOffset`: the whole hours after the current one the transfer leaves alone (1);
    // `forced`: the button, which loads at once unless a load is running.
    void DataGestion(std::int16_t hourOffset, bool forced);

    // Sets 1 and 2 as the last due load left them.
    const std::array<SetOutcome, 2>& LastLoad() const { return m_lastLoad; }
    // How many due loads have started (postponed ones included): a caller tells from it
    // whether its call ran a load.
    std::uint64_t DueLoads() const { return m_dueLoads; }

  private:
    void LoadSet(std::int16_t set, std::int16_t hourOffset);
    void RunSet(std::int16_t set, std::int16_t hourOffset, SetOutcome& outcome);
    // True when the scheduler file of `folder` says a save of `station` is in progress. A file
    // of the server that does not answer says nothing: the copy then meets the silent share.
    bool SchedulerSaving(const std::string& folder, std::int32_t station, bool onServer);

    Services m_services;
    std::array<SetOutcome, 2> m_lastLoad{};
    std::uint64_t m_dueLoads = 0;
};

}  // namespace ks
