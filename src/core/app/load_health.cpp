#include "core/app/load_health.h"

#include <algorithm>

#include "core/app/load_once.h"
#include "core/app/time_stamp.h"
#include "core/base/error_handler.h"
#include "core/base/load_view.h"
#include "core/settings/backup_settings.h"
#include "core/settings/config_files.h"
#include "core/settings/frequency_lines.h"
#include "core/settings/ini_access.h"
#include "core/settings/whole_number.h"
#include "core/sys/ini_file.h"
#include "core/sys/whole_file.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Frm_Main:LoadHealth";
constexpr const char* kSection = "Data";
constexpr const char* kLastTiming = "Last_Timing";
constexpr const char* kLastResult = "Last_Result";
constexpr const char* kLastSuccess = "Last_Success";
constexpr const char* kLastSuccessSets = "Last_Success_Sets";
constexpr const char* kScheduleUntil = "Schedule_Until";
constexpr const char* kFrequency = "Frequency";
// A schedule table without any record.
constexpr std::string_view kNoSchedule = "-";

std::string SetsText(const std::string& sets) {
    return sets == "1,2" ? "Secours 01 et 02" : "Secours 01";
}

}  // namespace

LoadFacts ReadLoadFacts(const IniFile& settings) {
    const auto value = [&](const char* key) { return settings.Value(kSection, key).value_or(""); };
    LoadFacts facts;
    facts.lastTiming = value(kLastTiming);
    facts.lastResult = value(kLastResult);
    facts.lastSuccess = value(kLastSuccess);
    facts.lastSuccessSets = value(kLastSuccessSets);
    facts.scheduleUntil = value(kScheduleUntil);
    const std::optional<std::string> frequency = settings.Value(kSection, kFrequency);
    facts.frequency = frequency ? ValToInt32(*frequency) : kDefaultFrequencyIndex;
    return facts;
}

Health Evaluate(const LoadFacts& facts, const DateTime& now) {
    const std::optional<DateTime> success = ParseTimeStamp(facts.lastSuccess);
    if (!success || (!facts.lastResult.empty() && facts.lastResult != "0")) {
        return Health::Failing;
    }
    const std::int64_t twoPeriods =
        static_cast<std::int64_t>(PeriodeMinutes(facts.frequency)) * 2 * 60;
    return SecondsBetween(*success, now) > twoPeriods ? Health::Late : Health::Fresh;
}

std::string LastSuccessText(const LoadFacts& facts) {
    if (!ParseTimeStamp(facts.lastSuccess)) {
        return "aucun";
    }
    return facts.lastSuccess + " (" + SetsText(facts.lastSuccessSets) + ")";
}

std::string ScheduleText(const LoadFacts& facts) {
    const std::string& hour = facts.scheduleUntil;
    if (hour == kNoSchedule) {
        return "Programme chargé : aucun"_cp;
    }
    if (hour.size() != 10) {
        return "Programme chargé : inconnu"_cp;
    }
    // yyyyMMddhh
    return "Programme chargé jusqu'au "_cp + hour.substr(6, 2) + "/" + hour.substr(4, 2) + "/" +
           hour.substr(0, 4) + " " + hour.substr(8, 2) + ":00";
}

std::string LastResultText(const LoadFacts& facts) {
    if (facts.lastResult.empty()) {
        return {};
    }
    switch (ValToInt32(facts.lastResult)) {
        case kExitLoaded:
            return "réussi"_cp;
        case kExitFolderCheck:
            return "échec (dossier introuvable)"_cp;
        case kExitCancelled:
            return "échec (transfert annulé, erreur 8 ou 95)"_cp;
        case kExitPostponed:
            return "reporté (sauvegarde en cours sur le serveur)"_cp;
        default:
            return "échec (erreurs, voir le journal)"_cp;
    }
}

Health StatusReport(const std::string& programFolder, const DateTime& now,
                    std::vector<std::string>& lines) {
    // The settings file as the program names it: Settings/KS_Diffuseurs_Secours/ + .ini.
    const std::string file = programFolder + "Settings/" + std::string(kSettingsBaseName) + "/" +
                             std::string(kSettingsBaseName) + ".ini";
    std::string bytes;
    ReadWholeFile(NativePath(file), bytes);
    const LoadFacts facts = ReadLoadFacts(IniFile(std::move(bytes)));
    const Health health = Evaluate(facts, now);
    lines.clear();
    lines.push_back("Précédent : "_cp + (facts.lastTiming.empty() ? "aucun" : facts.lastTiming));
    if (!facts.lastResult.empty()) {
        lines.push_back("Dernier essai : " + LastResultText(facts));
    }
    lines.push_back("Dernier chargement réussi : "_cp + LastSuccessText(facts));
    lines.push_back(ScheduleText(facts));
    constexpr std::array<const char*, 3> kStates = {"à jour", "en retard", "en échec"};
    lines.push_back("État : "_cp + Utf8ToCp1252(kStates[static_cast<std::size_t>(health)]));
    return health;
}

void LoadHealth::Load(const DateTime& now) {
    m_services.errors.Guard(kCaller, [&] {
        const std::string file = m_services.config.NomFichierSettings("", ".ini");
        IniAccess& ini = m_services.ini;
        m_facts.lastResult = ini.LectureIni(file, kSection, kLastResult, "");
        m_facts.lastSuccess = ini.LectureIni(file, kSection, kLastSuccess, "");
        m_facts.lastSuccessSets = ini.LectureIni(file, kSection, kLastSuccessSets, "");
        m_facts.scheduleUntil = ini.LectureIni(file, kSection, kScheduleUntil, "");
    });
    m_shown.reset();
    Show(now);
}

void LoadHealth::Record(const std::array<SetOutcome, 2>& sets, std::size_t incidents,
                        const std::string& lastTiming,
                        const std::optional<std::string>& scheduleUntil, const DateTime& now) {
    const bool ran = std::any_of(sets.begin(), sets.end(), [](const SetOutcome& set) {
        return set.active && !set.postponed;
    });
    if (!ran) {
        return;
    }
    // A set the scheduler's save postponed has not run: the facts are those of the sets that
    // did, so that a good load of set 1 is one even when set 2 waits.
    std::array<SetOutcome, 2> done = sets;
    for (SetOutcome& set : done) {
        set.active = set.active && !set.postponed;
        set.postponed = false;
    }
    m_services.errors.Guard(kCaller, [&] {
        const int status = LoadExitStatus(done, incidents);
        const std::string file = m_services.config.NomFichierSettings("", ".ini");
        IniAccess& ini = m_services.ini;
        m_facts.lastResult = std::to_string(status);
        ini.EcritureIni(file, kSection, kLastResult, m_facts.lastResult);
        if (status == kExitLoaded) {
            m_facts.lastSuccess = lastTiming;
            m_facts.lastSuccessSets = done[1].active ? "1,2" : "1";
            ini.EcritureIni(file, kSection, kLastSuccess, m_facts.lastSuccess);
            ini.EcritureIni(file, kSection, kLastSuccessSets, m_facts.lastSuccessSets);
        }
        if (scheduleUntil) {
            m_facts.scheduleUntil =
                scheduleUntil->empty() ? std::string(kNoSchedule) : *scheduleUntil;
            ini.EcritureIni(file, kSection, kScheduleUntil, m_facts.scheduleUntil);
        }
    });
    m_shown.reset();
    Show(now);
}

void LoadHealth::Tick(const DateTime& now) {
    Show(now);
}

void LoadHealth::Show(const DateTime& now) {
    m_services.errors.Guard(kCaller, [&] {
        m_facts.frequency = m_services.settings.ComboDataFrequence().ListIndex();
        const Health health = Evaluate(m_facts, now);
        if (m_shown == health) {
            return;
        }
        m_shown = health;
        // A last attempt that succeeded needs no words beside the last success.
        m_services.view.ShowLoadHealth(LastSuccessText(m_facts), ScheduleText(m_facts),
                                       m_facts.lastResult == "0" ? "" : LastResultText(m_facts),
                                       health != Health::Fresh);
    });
}

}  // namespace ks
