// The load periods offered by the options window: the seven lines of its period list and the
// minutes each one stands for.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace ks {

inline constexpr std::array<std::string_view, 7> kFrequencyLines = {
    "Toutes les 15 minutes",  "Toutes les 30 minutes", "Toutes les 45 minutes",
    "Toutes les 60 minutes",  "Toutes les 90 minutes", "Toutes les 120 minutes",
    "Toutes les 240 minutes",
};

inline constexpr std::array<std::int32_t, 7> kFrequencyMinutes = {15, 30, 45, 60, 90, 120, 240};

// The line selected when the stored index is missing or unusable: 30 minutes.
inline constexpr std::int32_t kDefaultFrequencyIndex = 1;

// Minutes between two loads for a selected line; any other index (none selected: -1) gives
// the period of the default line.
constexpr std::int32_t PeriodeMinutes(std::int32_t frequencyIndex) {
    if (frequencyIndex < 0 ||
        frequencyIndex >= static_cast<std::int32_t>(kFrequencyMinutes.size())) {
        return kFrequencyMinutes[kDefaultFrequencyIndex];
    }
    return kFrequencyMinutes[static_cast<std::size_t>(frequencyIndex)];
}

}  // namespace ks
