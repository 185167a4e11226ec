// The load display of the main window as the core sees it: every value goes on to the
// window, and the texts of the two timing fields (TexteTimingData, "Précédent" and
// "Prochain") are kept here, because the scheduling reads the last load time back from the
// field, as the window holds it, not from the settings file.
#pragma once

#include <array>
#include <string>

#include "core/base/load_view.h"

namespace ks {

class LoadFields final : public LoadView {
  public:
    explicit LoadFields(LoadView& window) : m_window(window) {}

    // The text of TexteTimingData `index` (0 last load, 1 next load); "" for another index.
    std::string TexteTimingData(int index) const;

    void ShowLastLoad(const std::string& text) override { m_window.ShowLastLoad(text); }
    void ShowNextLoad(const std::string& text) override { m_window.ShowNextLoad(text); }
    void ShowCountdown(const std::string& text) override { m_window.ShowCountdown(text); }
    void ShowClock(const std::string& text) override { m_window.ShowClock(text); }
    void ShowTimingData(int index, const std::string& text) override;
    void ShowCopy(bool visible) override { m_window.ShowCopy(visible); }
    void SetCopyProgress(int value) override { m_window.SetCopyProgress(value); }
    void ShowCopyDetail(const std::string& text) override { m_window.ShowCopyDetail(text); }
    void ShowTransfer(bool visible) override { m_window.ShowTransfer(visible); }
    void BlinkTransfer() override { m_window.BlinkTransfer(); }
    void SetTransferTimer(bool enabled) override { m_window.SetTransferTimer(enabled); }
    void SetTransferCaption(const std::string& text) override { m_window.SetTransferCaption(text); }
    void SetTransferProgress(int minimum, int maximum, int value) override {
        m_window.SetTransferProgress(minimum, maximum, value);
    }
    void SetTransferItemProgress(int minimum, int maximum, int value) override {
        m_window.SetTransferItemProgress(minimum, maximum, value);
    }
    void SetMenuEnabled(bool enabled) override { m_window.SetMenuEnabled(enabled); }
    void ShowLoadHealth(const std::string& lastSuccess, const std::string& schedule,
                        const std::string& lastResult, bool alarm) override {
        m_window.ShowLoadHealth(lastSuccess, schedule, lastResult, alarm);
    }

  private:
    LoadView& m_window;
    std::array<std::string, 2> m_timing;
};

}  // namespace ks
