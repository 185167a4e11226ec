#include "core/settings/backup_settings.h"

#include <optional>
#include <utility>

#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/base/failure.h"
#include "core/base/load_view.h"
#include "core/base/trace_sink.h"
#include "core/base/trace_state.h"
#include "core/settings/config_files.h"
#include "core/settings/frequency_lines.h"
#include "core/settings/ini_access.h"
#include "core/settings/whole_number.h"
#include "core/settings/window_positions.h"
#include "core/sys/folder_finder.h"
#include "core/sys/folder_ops.h"
#include "core/sys/server_share.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

constexpr std::string_view kFormLoad = "FrmSetup:Form_Load";
constexpr std::string_view kFormUnload = "FrmSetup:Form_Unload";
constexpr std::string_view kInitSettings = "FrmSetup:InitSettings";
constexpr std::string_view kSaveSettings = "FrmSetup:SaveSettings";
constexpr std::string_view kFrequenceClick = "FrmSetup:ComboDataFrequence_Click";
constexpr std::string_view kStationClick = "FrmSetup:ComboStation_Click";
constexpr std::string_view kSecoursClick = "FrmSetup:CheckSecours02_Click";
constexpr std::string_view kDossierChange = "FrmSetup:TexteDossierData_Change";
constexpr std::string_view kDossierClick = "FrmSetup:CommandDossierData_Click";

constexpr const char* kSectionData = "Data";
constexpr const char* kSectionFolder = "Folder";
constexpr const char* kSectionStation = "Station";
constexpr std::array<const char*, kFolderFieldCount> kFolderKeys = {"Source", "Temp", "Local"};
constexpr std::array<const char*, kStationListCount> kStationKeys = {"Serveur", "Local",
                                                                     "Serveur_2", "Local_2"};
constexpr std::string_view kSystemFile = "KS3_Systeme.ini";

void CheckIndex(int index, int count) {
    if (index < 0 || index >= count) {
        throw Failure(kErrInvalidPropertyValue, "Invalid property value");
    }
}

}  // namespace

BackupSettings::BackupSettings(Services services) : m_services(std::move(services)) {}

std::string BackupSettings::TexteDossierData(int index) const {
    if (index < 0 || index >= kFolderFieldCount) {
        return {};
    }
    return m_dossiers[static_cast<std::size_t>(index)];
}

const ComboList& BackupSettings::ComboStation(int index) const {
    if (index < 0 || index >= kStationListCount) {
        return m_noList;
    }
    return m_stations[static_cast<std::size_t>(index)];
}

// --- the options window's life -------------------------------------------------------------

void BackupSettings::Form_Load(FormWindow* window) {
    ErrorHandler& errors = m_services.errors;
    InitSettings();
    if (window != nullptr) {
        errors.Guard(kFormLoad, [&] { m_services.positions.PositionFeuille(*window, ""); });
    }
    m_modified = false;
    m_services.traceState.TraceFichierActif = true;
}

void BackupSettings::Form_Unload(FormWindow* window) {
    ErrorHandler& errors = m_services.errors;
    errors.Guard(kFormUnload, [&] {
        if (!m_modified) {
            return;
        }
        const MsgAnswer answer = m_services.dialogs.MessageBox(
            MsgIcon::Question, MsgButtons::YesNo, m_caption,
            "Voulez-vous enregistrer les changements dans les options ?");
        if (answer == MsgAnswer::Yes) {
            SaveSettings();
        }
    });
    if (window != nullptr) {
        errors.Guard(kFormUnload,
                     [&] { m_services.positions.PositionFeuilleSauvegarde(*window, ""); });
    }
    errors.Guard(kFormUnload, [&] {
        if (m_services.flushTrace) {
            m_services.flushTrace();
        }
    });
    m_services.traceState.TraceFichierActif = false;
}

// --- loading and saving --------------------------------------------------------------------

std::string BackupSettings::SettingsFile() {
    // The settings folder is named (and an older settings file moved into it) before the
    // settings file is first read or written.
    if (!m_settingsFolderNamed) {
        m_services.config.NomDossierSettings();
        m_settingsFolderNamed = true;
    }
    return m_services.config.NomFichierSettings("", ".ini");
}

std::string BackupSettings::DossierConfigLocalParDefaut() {
    return EclateRepFicExt(m_services.config.DetermineDossierConfig(1), &m_services.errors)
        .EclateDossier;
}

void BackupSettings::InitFolderField(const std::string& file, int index) {
    ErrorHandler& errors = m_services.errors;
    std::string& field = m_dossiers[static_cast<std::size_t>(index)];
    std::string value;
    errors.Guard(kInitSettings, [&] {
        value = m_services.ini.LectureIni(file, kSectionFolder,
                                          kFolderKeys[static_cast<std::size_t>(index)], "");
    });
    if (index == kDossierConfigLocal && Trim(value).empty()) {
        errors.Guard(kInitSettings, [&] { value = DossierConfigLocalParDefaut(); });
    }
    errors.Guard(kInitSettings, [&] { field = CheckRep(value); });
    errors.Guard(kInitSettings, [&] {
        if (Trim(field).empty()) {
            return;
        }
        // The server's configuration folder is on the share: a share that does not answer
        // leaves it alone (no search, no creation), which a hung share would hold.
        if (index == kDossierConfigServeur && !m_services.share.IsFolder(field)) {
            m_services.trace.TraceLog(-1, -1, -1, ServerShare::NoAnswerLine(field), true);
            return;
        }
        // The finder puts the suite's own folder in place of a missing one; the configured
        // folder is created all the same, so that the folder the operator chose is there.
        std::string found = field;
        std::string tried;
        if (!m_services.finder.FolderFound(found, tried) || found != field) {
            m_services.folderOps.VerificationEtCreationRepertoire(field, true);
        }
    });
}

void BackupSettings::FillStationLists(const std::string& systemFile, bool onServer, int first,
                                      int second) {
    ErrorHandler& errors = m_services.errors;
    std::optional<std::string> serverBytes;
    if (onServer) {
        errors.Guard(kInitSettings, [&] {
            serverBytes = m_services.share.ReadSmallFile(systemFile);
            if (!serverBytes) {
                m_services.trace.TraceLog(-1, -1, -1, ServerShare::NoAnswerLine(systemFile), true);
            }
        });
    }
    ComboList& one = m_stations[static_cast<std::size_t>(first)];
    ComboList& two = m_stations[static_cast<std::size_t>(second)];
    errors.Guard(kInitSettings, [&] {
        one.Clear();
        two.Clear();
    });
    for (int station = 1; station <= kStationLines; ++station) {
        errors.Guard(kInitSettings, [&] {
            const std::string number = N2S(station, 2, 0, "0", &errors);
            const std::string section = "Base_01_Station_" + number;
            std::string line =
                onServer
                    ? m_services.ini.ValueInText(serverBytes.value_or(""), section, "Lib",
                                                 "Station " + number)
                    : m_services.ini.LectureIni(systemFile, section, "Lib", "Station " + number);
            one.AddItem(line);
            two.AddItem(std::move(line));
        });
    }
}

void BackupSettings::SelectStored(ComboList& list, const std::string& file, const char* section,
                                  const char* key, const std::string& defaultValue) {
    // A stored index the list cannot take is reported and leaves the list as it is.
    m_services.errors.Guard(kInitSettings, [&] {
        list.SetListIndex(ValToInt16(m_services.ini.LectureIni(file, section, key, defaultValue)));
    });
}

void BackupSettings::InitSettings() {
    ErrorHandler& errors = m_services.errors;
    std::string file;
    errors.Guard(kInitSettings, [&] { file = SettingsFile(); });

    for (int index = 0; index < kFolderFieldCount; ++index) {
        InitFolderField(file, index);
    }

    const std::string serverFile = m_dossiers[kDossierConfigServeur] + std::string(kSystemFile);
    errors.Guard(kInitSettings,
                 [&] { m_services.trace.Trace("KS3_Systeme Server File: " + serverFile); });
    FillStationLists(serverFile, true, kStationServeur, kStationServeur2);

    const std::string localFile = m_dossiers[kDossierConfigLocal] + std::string(kSystemFile);
    errors.Guard(kInitSettings,
                 [&] { m_services.trace.Trace("KS3_Systeme Local File: " + localFile); });
    FillStationLists(localFile, false, kStationLocal, kStationLocal2);

    errors.Guard(kInitSettings, [&] {
        m_frequence.Clear();
        for (const std::string_view line : kFrequencyLines) {
            m_frequence.AddItem(std::string(line));
        }
    });
    SelectStored(m_frequence, file, kSectionData, "Frequency",
                 std::to_string(kDefaultFrequencyIndex));
    errors.Guard(kInitSettings, [&] {
        if (m_frequence.ListIndex() == -1) {
            m_frequence.SetListIndex(kDefaultFrequencyIndex);
        }
    });

    errors.Guard(kInitSettings, [&] {
        m_services.view.ShowTimingData(
            0, m_services.ini.LectureIni(file, kSectionData, "Last_Timing", ""));
    });
    errors.Guard(kInitSettings, [&] { m_services.view.ShowTimingData(1, ""); });

    for (int index = 0; index < kStationListCount; ++index) {
        SelectStored(m_stations[static_cast<std::size_t>(index)], file, kSectionStation,
                     kStationKeys[static_cast<std::size_t>(index)], "0");
    }

    m_checkSecours02Enabled = true;
    errors.Guard(kInitSettings, [&] {
        const std::int16_t value = ValToInt16(m_services.ini.LectureIni(
            file, kSectionStation, "CheckSecours02", std::to_string(m_checkSecours02)));
        // The box takes 2 (greyed) as well; any value but 0 makes the second set active.
        if (value < 0 || value > 2) {
            throw Failure(kErrInvalidPropertyValue, "Invalid property value");
        }
        m_checkSecours02 = value;
    });

    m_modified = false;
}

void BackupSettings::SaveSettings() {
    ErrorHandler& errors = m_services.errors;
    std::string file;
    bool allStored = errors.Guard(kSaveSettings, [&] { file = SettingsFile(); });
    const auto write = [&](const char* section, const char* key, const std::string& value) {
        bool stored = false;
        errors.Guard(kSaveSettings,
                     [&] { stored = m_services.ini.EcritureIni(file, section, key, value); });
        allStored = allStored && stored;
    };
    const auto station = [&](int index) {
        return std::to_string(m_stations[static_cast<std::size_t>(index)].ListIndex());
    };

    write(kSectionData, "Frequency", std::to_string(m_frequence.ListIndex()));
    for (std::size_t index = 0; index < kFolderKeys.size(); ++index) {
        write(kSectionFolder, kFolderKeys[index], m_dossiers[index]);
    }
    write(kSectionStation, kStationKeys[kStationServeur], station(kStationServeur));
    write(kSectionStation, kStationKeys[kStationLocal], station(kStationLocal));
    write(kSectionStation, "CheckSecours02", std::to_string(m_checkSecours02));
    write(kSectionStation, kStationKeys[kStationServeur2], station(kStationServeur2));
    write(kSectionStation, kStationKeys[kStationLocal2], station(kStationLocal2));

    // A value that could not be stored keeps the settings modified, so that the question at
    // shutdown still offers to save them.
    if (allStored) {
        m_modified = false;
    }
}

// --- the operator's changes ----------------------------------------------------------------

void BackupSettings::SelectFrequence(std::int32_t listIndex) {
    if (!m_services.errors.Guard(kFrequenceClick, [&] { m_frequence.SetListIndex(listIndex); })) {
        return;
    }
    m_modified = true;
    if (m_onFrequencyChanged) {
        m_services.errors.Guard(kFrequenceClick, [&] { m_onFrequencyChanged(); });
    }
}

void BackupSettings::SetTexteDossierData(int index, std::string text) {
    m_services.errors.Guard(kDossierChange, [&] {
        CheckIndex(index, kFolderFieldCount);
        m_dossiers[static_cast<std::size_t>(index)] = std::move(text);
        m_modified = true;
    });
}

void BackupSettings::SelectStation(int index, std::int32_t listIndex) {
    m_services.errors.Guard(kStationClick, [&] {
        CheckIndex(index, kStationListCount);
        m_stations[static_cast<std::size_t>(index)].SetListIndex(listIndex);
        m_modified = true;
    });
}

void BackupSettings::SetCheckSecours02(std::int16_t value) {
    m_services.errors.Guard(kSecoursClick, [&] {
        if (value != 0 && value != 1) {
            throw Failure(kErrInvalidPropertyValue, "Invalid property value");
        }
        m_checkSecours02 = value;
        m_modified = true;
    });
}

void BackupSettings::ParcourirDossier(int index) {
    m_services.errors.Guard(kDossierClick, [&] {
        CheckIndex(index, kFolderFieldCount);
        std::string& field = m_dossiers[static_cast<std::size_t>(index)];
        const std::string chosen = m_services.finder.FolderSelect(field, "");
        // The chooser gives "" when cancelled; "*" was the older mark of a cancel.
        if (chosen == "*" || Trim(chosen).empty()) {
            return;
        }
        field = CheckRep(chosen);
        m_modified = true;
    });
}

}  // namespace ks
