// A window for tests of the position rules: geometry in twips, state and screen height set
// by the test; every Move is recorded.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/settings/form_window.h"

namespace ks::test {

class FakeFormWindow : public FormWindow {
  public:
    explicit FakeFormWindow(std::string name = "FrmSetup") : m_name(std::move(name)) {}

    std::string Name() const override { return m_name; }
    WindowGeometry Geometry() const override { return geometry; }
    void Move(std::int32_t left, std::int32_t top) override {
        geometry.left = left;
        geometry.top = top;
        moves.emplace_back(left, top);
    }
    WindowState State() const override { return state; }
    std::int32_t ScreenHeight() const override { return screenHeight; }

    WindowGeometry geometry{0, 0, 6000, 4500};
    WindowState state = WindowState::Normal;
    std::int32_t screenHeight = 16200;  // 1080 pixels
    std::vector<std::pair<std::int32_t, std::int32_t>> moves;

  private:
    std::string m_name;
};

}  // namespace ks::test
