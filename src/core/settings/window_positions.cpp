#include "core/settings/window_positions.h"

#include <cstdint>

#include "core/base/error_handler.h"
#include "core/settings/config_files.h"
#include "core/settings/form_window.h"
#include "core/settings/ini_access.h"
#include "core/settings/whole_number.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::string_view kPositionFeuille = "Lib_Public:PositionFeuille";
constexpr std::string_view kPositionFeuilleSauvegarde = "Lib_Public:PositionFeuilleSauvegarde";
constexpr std::string_view kSection = "FrmPos";
constexpr std::string_view kPositionsSuffix = "_Positions";
constexpr std::string_view kPositionsExtension = ".ini";

}  // namespace

std::string WindowPositions::KeyBase(std::string_view windowName, std::string_view suffix) {
    std::string key(windowName);
    if (!Trim(suffix).empty()) {
        key += "_";
        key += suffix;
    }
    return key;
}

void WindowPositions::PositionFeuille(FormWindow& window, std::string_view suffix) {
    std::string file;
    std::string key;
    WindowGeometry geometry;
    if (!m_errors.Guard(kPositionFeuille, [&] {
            file = m_config.NomFichierSettings(kPositionsSuffix, kPositionsExtension);
            key = KeyBase(window.Name(), suffix);
            geometry = window.Geometry();
        })) {
        return;
    }
    // A stored edge that cannot be read as a whole number leaves that edge where it is.
    std::int32_t left = geometry.left;
    std::int32_t top = geometry.top;
    m_errors.Guard(kPositionFeuille, [&] {
        left = ValToInt32(m_ini.LectureIni(file, kSection, key + "_Left", "0"));
    });
    m_errors.Guard(kPositionFeuille,
                   [&] { top = ValToInt32(m_ini.LectureIni(file, kSection, key + "_Top", "0")); });
    m_errors.Guard(kPositionFeuille, [&] {
        const std::int32_t screenHeight = window.ScreenHeight();
        if (top > screenHeight) {
            top = screenHeight / 2;
        } else if (static_cast<std::int64_t>(top) + geometry.height < kMinimumVisibleBottom) {
            top = 0;
        }
    });
    if (left < kMinimumLeft) {
        left = 0;
    }
    m_errors.Guard(kPositionFeuille, [&] { window.Move(left, top); });
}

void WindowPositions::PositionFeuilleSauvegarde(FormWindow& window, std::string_view suffix) {
    m_errors.Guard(kPositionFeuilleSauvegarde, [&] {
        if (window.State() != WindowState::Normal) {
            return;
        }
        const std::string file = m_config.NomFichierSettings(kPositionsSuffix, kPositionsExtension);
        const std::string key = KeyBase(window.Name(), suffix);
        const WindowGeometry geometry = window.Geometry();
        m_ini.EcritureIni(file, kSection, key + "_Left", std::to_string(geometry.left));
        m_ini.EcritureIni(file, kSection, key + "_Top", std::to_string(geometry.top));
    });
}

}  // namespace ks
