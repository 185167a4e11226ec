// The event pump port: lets pending window events run in the middle of long work, so that
// timers and clicks still arrive during a load (the flags of the load turn them away).
#pragma once

namespace ks {

class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void DoEvents() = 0;
};

}  // namespace ks
