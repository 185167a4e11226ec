// The backup settings: the live values of the options window (load period, the three folders,
// the stations of the two backup sets, the switch of the second set, the trace flush
// threshold) and their loading from and saving to "KS_Diffuseurs_Secours.ini". The options
// window binds to this object; the scheduling, the load cycle and the file copy read it at
// the moment they need a value, so a change counts at once, saved or not.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "core/settings/combo_list.h"

namespace ks {

class ConfigFiles;
class Dialogs;
class ErrorHandler;
class FolderFinder;
class FolderOps;
class FormWindow;
class IniAccess;
class LoadView;
class ServerShare;
class TraceSink;
class WindowPositions;
struct TraceState;

// TexteDossierData: the server's configuration folder, the local configuration folder, the
// intermediate folder the server's files are copied into.
inline constexpr int kDossierConfigServeur = 0;
inline constexpr int kDossierConfigLocal = 1;
inline constexpr int kDossierTemporaire = 2;
inline constexpr int kFolderFieldCount = 3;

// ComboStation: server and local station of set 1, then of set 2.
inline constexpr int kStationServeur = 0;
inline constexpr int kStationLocal = 1;
inline constexpr int kStationServeur2 = 2;
inline constexpr int kStationLocal2 = 3;
inline constexpr int kStationListCount = 4;
// Lines of each station list: one per station, 1 to 10.
inline constexpr int kStationLines = 10;

class BackupSettings {
  public:
    struct Services {
        ErrorHandler& errors;
        TraceSink& trace;
        TraceState& traceState;
        IniAccess& ini;
        ConfigFiles& config;
        FolderOps& folderOps;
        FolderFinder& finder;
        WindowPositions& positions;
        Dialogs& dialogs;
        LoadView& view;
        // The server's configuration folder and its station names are read through it.
        ServerShare& share;
        // Writes the pending trace lines to the log file (the trace log's TraceLogForce).
        std::function<void()> flushTrace;
    };

    explicit BackupSettings(Services services);

    // The main window's caption, the title of the question asked at unload.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }

    // Called whenever the operator selects a load period, so that the next load is
    // recomputed at once from the same last load.
    void SetOnFrequencyChanged(std::function<void()> observer) {
        m_onFrequencyChanged = std::move(observer);
    }

    // --- the options window's life -----------------------------------------------------

    // At start-up, the window still hidden: reads every setting, restores the window's place
    // (when a window is given), clears the modified flag and turns the trace file output on.
    void Form_Load(FormWindow* window);

    // At shutdown: offers to save unsaved changes, stores the window's place, writes the
    // pending trace lines and turns the trace file output off.
    void Form_Unload(FormWindow* window);

    // Fills every field from the settings file (missing keys give their defaults), with the
    // station names of the two "KS3_Systeme.ini" files; creates configured folders that are
    // missing; shows the last load time and clears the next one on the main window.
    void InitSettings();

    // Writes every field to the settings file (the last load time is the load cycle's).
    // The modified flag is cleared only when every value was stored.
    void SaveSettings();

    // --- the fields as the window and the load read them --------------------------------

    const ComboList& ComboDataFrequence() const { return m_frequence; }
    // "" for an index outside 0 to 2.
    std::string TexteDossierData(int index) const;
    // An empty list for an index outside 0 to 3.
    const ComboList& ComboStation(int index) const;
    bool CheckSecours02Enabled() const { return m_checkSecours02Enabled; }
    std::int16_t CheckSecours02() const { return m_checkSecours02; }
    const std::string& TexteLogNbMaxLignes() const { return m_logNbMaxLignes; }
    bool Modified() const { return m_modified; }

    // --- the operator's changes ---------------------------------------------------------

    // Each marks the settings modified; a selection the list cannot take is reported and
    // changes nothing.
    void SelectFrequence(std::int32_t listIndex);
    void SetTexteDossierData(int index, std::string text);
    void SelectStation(int index, std::int32_t listIndex);
    void SetCheckSecours02(std::int16_t value);
    // The trace flush threshold is not a stored setting: it does not mark anything modified.
    void SetTexteLogNbMaxLignes(std::string text) { m_logNbMaxLignes = std::move(text); }

    // The browse button beside folder field `index`: the folder chooser starts at the field's
    // folder; a chosen folder replaces the field, a cancelled choice changes nothing.
    void ParcourirDossier(int index);

    // The local configuration folder used when none is stored: the folder of the suite's
    // configuration file, DossierConfig + "Settings/".
    std::string DossierConfigLocalParDefaut();

  private:
    std::string SettingsFile();
    void InitFolderField(const std::string& file, int index);
    // The station names of `systemFile` in two lists; the server's file is read through the
    // share within its bound, and a file that does not answer gives the default names.
    void FillStationLists(const std::string& systemFile, bool onServer, int first, int second);
    void SelectStored(ComboList& list, const std::string& file, const char* section,
                      const char* key, const std::string& defaultValue);

    Services m_services;
    std::string m_caption;
    std::function<void()> m_onFrequencyChanged;
    bool m_settingsFolderNamed = false;

    ComboList m_frequence;
    std::array<std::string, kFolderFieldCount> m_dossiers;
    std::array<ComboList, kStationListCount> m_stations;
    ComboList m_noList;
    bool m_checkSecours02Enabled = false;
    std::int16_t m_checkSecours02 = 0;
    std::string m_logNbMaxLignes = "10";
    bool m_modified = false;
};

}  // namespace ks
