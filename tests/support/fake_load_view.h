// A load view for tests: keeps the last value of every field and the order of the calls.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/base/load_view.h"

namespace ks::test {

class FakeLoadView : public LoadView {
  public:
    void ShowLastLoad(const std::string& text) override { Set("last", text); }
    void ShowNextLoad(const std::string& text) override { Set("next", text); }
    void ShowCountdown(const std::string& text) override { Set("countdown", text); }
    void ShowClock(const std::string& text) override { Set("clock", text); }
    void ShowTimingData(int index, const std::string& text) override {
        Set("timing" + std::to_string(index), text);
    }
    void ShowCopy(bool visible) override { Set("copy", visible ? "shown" : "hidden"); }
    void SetCopyProgress(int value) override { Set("copyProgress", std::to_string(value)); }
    void ShowCopyDetail(const std::string& text) override { Set("detail", text); }
    void ShowTransfer(bool visible) override { Set("transfer", visible ? "shown" : "hidden"); }
    void BlinkTransfer() override { Set("blink", std::to_string(++blinks)); }
    void SetTransferTimer(bool enabled) override { Set("timer", enabled ? "on" : "off"); }
    void SetTransferCaption(const std::string& text) override { Set("caption", text); }
    void SetTransferProgress(int minimum, int maximum, int value) override {
        Set("progress", Range(minimum, maximum, value));
    }
    void SetTransferItemProgress(int minimum, int maximum, int value) override {
        Set("itemProgress", Range(minimum, maximum, value));
    }
    void SetMenuEnabled(bool enabled) override { Set("menu", enabled ? "enabled" : "disabled"); }

    std::map<std::string, std::string> values;
    std::vector<std::string> calls;  // "field=value" in call order
    int blinks = 0;

  private:
    static std::string Range(int minimum, int maximum, int value) {
        return std::to_string(minimum) + ".." + std::to_string(maximum) + ":" +
               std::to_string(value);
    }
    void Set(const std::string& field, const std::string& value) {
        values[field] = value;
        calls.push_back(field + "=" + value);
    }
};

}  // namespace ks::test
