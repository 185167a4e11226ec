// What the position rules need of a window: its name, where it is and how big (in twips, as
// the positions file stores them), whether it is minimised or maximised, and the height of
// its screen. The Qt windows implement it, converting pixels to twips.
#pragma once

#include <cstdint>
#include <string>

namespace ks {

// 1/1440 inch: 15 twips per pixel at 96 dots per inch.
inline constexpr std::int32_t kTwipsPerPixel = 15;

enum class WindowState { Normal, Minimised, Maximised };

struct WindowGeometry {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class FormWindow {
  public:
    virtual ~FormWindow() = default;

    // The window's name as the positions file keys it ("Frm_Main", "FrmSetup").
    virtual std::string Name() const = 0;

    virtual WindowGeometry Geometry() const = 0;
    virtual void Move(std::int32_t left, std::int32_t top) = 0;
    virtual WindowState State() const = 0;

    // Height of the screen the window is on, in twips.
    virtual std::int32_t ScreenHeight() const = 0;
};

}  // namespace ks
