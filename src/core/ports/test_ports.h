// The seam of the program's test build in the headless run: the crash tests build the same
// main and composition with a port of their own in front of the engine, the event pump and the
// load view (it kills the load at the step a test names). The installed program links the
// plain definition of MakeTestPorts, which puts nothing there.
#pragma once

#include <memory>

#include "core/base/event_pump.h"
#include "core/base/load_view.h"
#include "ks/engine/btr_call.h"

namespace ks {

struct HeadlessPorts {
    engine::BtrCall& engine;
    EventPump& pump;
    LoadView& view;
};

class TestPorts {
  public:
    TestPorts() = default;
    TestPorts(const TestPorts&) = delete;
    TestPorts& operator=(const TestPorts&) = delete;
    TestPorts(TestPorts&&) = delete;
    TestPorts& operator=(TestPorts&&) = delete;
    virtual ~TestPorts() = default;

    // The ports the load uses, in front of the plain ones.
    virtual HeadlessPorts Wrap(const HeadlessPorts& plain) = 0;
    // Once the load has ended: what the test reads on standard error.
    virtual void LoadEnded() = 0;
};

// None in the installed program (src/no_test_ports.cpp); the crash tests' build links its own.
std::unique_ptr<TestPorts> MakeTestPorts();

}  // namespace ks
