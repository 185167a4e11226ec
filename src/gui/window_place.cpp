#include "gui/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ks::gui {

// The outer edge of the window, frame included, is what the operator placed.
WindowGeometry WindowPlace::Geometry() const {
    const QRect frame = m_window.frameGeometry();
    return {frame.x() * kTwipsPerPixel, frame.y() * kTwipsPerPixel, frame.width() * kTwipsPerPixel,
            frame.height() * kTwipsPerPixel};
}

void WindowPlace::Move(std::int32_t left, std::int32_t top) {
    m_window.move(left / kTwipsPerPixel, top / kTwipsPerPixel);
}

WindowState WindowPlace::State() const {
    if (m_window.isMinimized()) {
        return WindowState::Minimised;
    }
    if (m_window.isMaximized() || m_window.isFullScreen()) {
        return WindowState::Maximised;
    }
    return WindowState::Normal;
}

std::int32_t WindowPlace::ScreenHeight() const {
    const QScreen* screen = m_window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->geometry().height() * kTwipsPerPixel : 0;
}

}  // namespace ks::gui
