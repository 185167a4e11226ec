// When the next automatic load falls due: one period (15 to 240 minutes, from the options
// window) after the start of the last load, or after now when no last load is known; and the
// countdown the main window shows until then.
#pragma once

namespace ks {

class BackupSettings;
class Clock;
class ErrorHandler;
class LoadFields;
class TraceSink;
struct MainWindowState;

class LoadScheduling {
  public:
    struct Services {
        BackupSettings& settings;
        LoadFields& fields;
        MainWindowState& state;
        TraceSink& trace;
        ErrorHandler& errors;
        Clock& clock;
    };

    explicit LoadScheduling(Services services) : m_services(services) {}

    // Recomputes ProchainChargement from the last load shown on the main window and the
    // selected period, keeps it as a time, shows its text as the next load and traces
    // "Next loading data: ".
    void DetermineTimingProchainChargementDonnees();

    // Shows the whole seconds left until ProchainChargement.
    void AfficheCompteur();

  private:
    Services m_services;
};

}  // namespace ks
