// Every window reopens where the operator left it: its left and top edges are kept in twips
// in section [FrmPos] of the positions file, "KS_Diffuseurs_Secours_Positions.ini" of the
// settings folder. A stored place that would put the window out of reach is pulled back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ks {

class ConfigFiles;
class ErrorHandler;
class FormWindow;
class IniAccess;

// Stored edges are pulled back when the window would be out of reach: a Left below this goes
// to 0, and so does a Top whose window would show less than this much of its height.
inline constexpr std::int32_t kMinimumLeft = -20000;
inline constexpr std::int32_t kMinimumVisibleBottom = 100;

class WindowPositions {
  public:
    WindowPositions(ErrorHandler& errors, IniAccess& ini, ConfigFiles& config)
        : m_errors(errors), m_ini(ini), m_config(config) {}

    // Moves the window to its stored place (0, 0 when none is stored): a Top below the screen
    // becomes half the screen height, a Top that leaves less than 100 twips of the window on
    // the screen becomes 0, a Left under -20000 becomes 0. A non-blank `suffix` keeps a second
    // place for the same window ("FrmSetup_2_Left").
    void PositionFeuille(FormWindow& window, std::string_view suffix);

    // Stores the window's place, only while it is neither minimised nor maximised: the place
    // of a maximised window says nothing about where the operator wants it back.
    void PositionFeuilleSauvegarde(FormWindow& window, std::string_view suffix);

    // The name of the keys of a window: name, then "_" + suffix when the suffix is not blank.
    static std::string KeyBase(std::string_view windowName, std::string_view suffix);

  private:
    ErrorHandler& m_errors;
    IniAccess& m_ini;
    ConfigFiles& m_config;
};

}  // namespace ks
