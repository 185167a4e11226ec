#include "tools/demo/demo_settings.h"

#include <array>
#include <string>
#include <string_view>

#include "core/app/time_stamp.h"
#include "core/base/failure.h"
#include "core/settings/ini_access.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"
#include "tools/demo/demo_folders.h"

namespace ks::demo {
namespace {

// A value no settings file holds, to tell a missing key from an empty one.
constexpr std::string_view kMissing = "\x01missing\x01";

constexpr std::array<std::string_view, 3> kServerStations{"Kestrel FM", "Kestrel Classique",
                                                          "Kestrel Jazz"};
constexpr std::array<std::string_view, 3> kLocalStations{
    "Kestrel FM (secours)", "Kestrel Classique (secours)", "Kestrel Jazz (secours)"};

void Write(IniAccess& ini, const std::string& file, std::string_view section, std::string_view key,
           std::string_view value) {
    if (!ini.EcritureIni(file, section, key, value)) {
        throw Failure(kErrPathFileAccess, "Cannot write [" + std::string(section) + "] " +
                                              std::string(key) + " in " + file);
    }
}

void WriteIfMissing(IniAccess& ini, const std::string& file, std::string_view section,
                    std::string_view key, std::string_view value) {
    if (ini.LectureIni(file, section, key, kMissing) == kMissing) {
        Write(ini, file, section, key, value);
    }
}

template <std::size_t N>
void WriteSystemFile(IniAccess& ini, const std::string& file, const std::string& dataFolder,
                     const std::array<std::string_view, N>& stations) {
    Write(ini, file, "Base_01", "Dossier_Data", dataFolder);
    for (std::size_t i = 0; i < N; ++i) {
        const std::string number = N2S(static_cast<double>(i + 1), 2, 0, "0");
        Write(ini, file, "Base_01_Station_" + number, "Lib", Utf8ToCp1252(stations[i]));
    }
}

}  // namespace

void WriteDemoSettings(IniAccess& ini, const DemoFolders& folders, const DateTime& today) {
    const std::string& settings = folders.FichierSettings;
    Write(ini, settings, "Folder", "Source", folders.ConfigServeur);
    Write(ini, settings, "Folder", "Temp", folders.ConfigLocal);
    Write(ini, settings, "Folder", "Local", folders.Intermediaire);
    Write(ini, settings, "Data", "Last_Timing", TimeStamp(AddDays(today, -1)));
    // Every fifteen minutes, so that a demo sees loads come.
    WriteIfMissing(ini, settings, "Data", "Frequency", "0");
    // Set 1: the server's first station into the backup machine's first station.
    for (const std::string_view key : {"Serveur", "Local", "Serveur_2", "Local_2"}) {
        WriteIfMissing(ini, settings, "Station", key, "0");
    }
    WriteIfMissing(ini, settings, "Station", "CheckSecours02", "0");

    // The advice about the classic Windows look counts as given.
    WriteIfMissing(ini, folders.FichierConfigSuite, "ThemeWindows", "Msg", "1");

    WriteSystemFile(ini, folders.ConfigServeur + kSystemFileName, folders.DataServeur,
                    kServerStations);
    WriteSystemFile(ini, folders.ConfigLocal + kSystemFileName, folders.DataLocal, kLocalStations);
}

}  // namespace ks::demo
