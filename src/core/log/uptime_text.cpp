#include "core/log/uptime_text.h"

#include <cmath>

namespace ks {

std::string UptimeText(std::uint64_t tickMilliseconds) {
    const double t = static_cast<double>(tickMilliseconds) / 1000.0;
    auto minutes = static_cast<std::uint64_t>(t / 60.0);
    const auto seconds = static_cast<std::uint64_t>(std::nearbyint(t)) % 60;
    std::uint64_t hours = 0;
    std::uint64_t days = 0;
    if (minutes >= 60) {
        hours = minutes / 60;
        minutes %= 60;
    }
    if (hours >= 24) {
        days = hours / 24;
        hours %= 24;
    }
    std::string text;
    if (days > 0) {
        text = std::to_string(days) + " D " + std::to_string(hours) + " H ";
    } else if (hours > 0) {
        text = std::to_string(hours) + " H ";
    }
    return text + std::to_string(minutes) + " Min " + std::to_string(seconds) + " Sec";
}

}  // namespace ks
