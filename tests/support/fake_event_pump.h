// An event pump for tests: counts the calls and can run a hook at a chosen call, to fire a
// timer tick or a click in the middle of long work.
#pragma once

#include <functional>

#include "core/base/event_pump.h"

namespace ks::test {

class FakeEventPump : public EventPump {
  public:
    void DoEvents() override {
        ++calls;
        if (onEvents) {
            onEvents(calls);
        }
    }

    int calls = 0;
    std::function<void(int call)> onEvents;
};

}  // namespace ks::test
