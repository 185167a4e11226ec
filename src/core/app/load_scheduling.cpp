#include "core/app/load_scheduling.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

#include "core/app/load_fields.h"
#include "core/app/main_window_state.h"
#include "core/app/time_stamp.h"
#include "core/base/clock.h"
#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/settings/backup_settings.h"
#include "core/settings/frequency_lines.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::string_view kDetermine = "Frm_Main:DetermineTimingProchainChargementDonnees";
constexpr std::string_view kCompteur = "Frm_Main:TimerDonnees_Timer";

}  // namespace

void LoadScheduling::DetermineTimingProchainChargementDonnees() {
    ErrorHandler& errors = m_services.errors;
    std::int64_t periodSeconds = std::int64_t{kFrequencyMinutes[kDefaultFrequencyIndex]} * 60;
    errors.Guard(kDetermine, [&] {
        periodSeconds =
            std::int64_t{PeriodeMinutes(m_services.settings.ComboDataFrequence().ListIndex())} * 60;
    });
    // An empty or damaged last load counts from now.
    DateTime base;
    errors.Guard(kDetermine, [&] {
        const std::optional<DateTime> last = ParseTimeStamp(m_services.fields.TexteTimingData(0));
        base = last ? *last : m_services.clock.Now();
    });
    // Whole seconds, as the window shows it: a load counted from now is due at the second shown.
    std::optional<DateTime> next;
    errors.Guard(kDetermine, [&] {
        DateTime at = AddSeconds(base, periodSeconds);
        at.millisecond = 0;
        next = at;
    });
    std::string text;
    if (next) {
        m_services.state.ProchainChargement = *next;
        errors.Guard(kDetermine, [&] { text = TimeStamp(*next, &errors); });
    }
    errors.Guard(kDetermine, [&] { m_services.fields.ShowTimingData(1, text); });
    errors.Guard(kDetermine, [&] { m_services.trace.Trace("Next loading data: " + text); });
}

void LoadScheduling::AfficheCompteur() {
    ErrorHandler& errors = m_services.errors;
    errors.Guard(kCompteur, [&] {
        // A next load years ahead (a last load dated in the future) still shows a number.
        const std::int64_t left = std::clamp<std::int64_t>(
            SecondsBetween(m_services.clock.Now(), m_services.state.ProchainChargement), 0,
            std::numeric_limits<std::int32_t>::max());
        bool withHours = false;
        m_services.fields.ShowCountdown(
            Tps2MinSec(static_cast<std::int32_t>(left), 3, " ", kCompteur, withHours, &errors));
    });
}

}  // namespace ks
