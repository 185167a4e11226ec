// A Qt window as the position rules see it (FormWindow): its name in the positions file, its
// place and size in twips (15 per pixel), its state and its screen's height.
#pragma once

#include <string>

#include "core/settings/form_window.h"

class QWidget;

namespace ks::gui {

class WindowPlace final : public FormWindow {
  public:
    WindowPlace(QWidget& window, std::string name) : m_window(window), m_name(std::move(name)) {}

    std::string Name() const override { return m_name; }
    WindowGeometry Geometry() const override;
    void Move(std::int32_t left, std::int32_t top) override;
    WindowState State() const override;
    std::int32_t ScreenHeight() const override;

  private:
    QWidget& m_window;
    std::string m_name;
};

}  // namespace ks::gui
