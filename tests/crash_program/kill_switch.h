// The test port of the crash tests' build of the program: the steps of a headless load (every
// engine call and every event pump) are counted, and the process kills itself with SIGKILL just
// before a chosen step, as an operator's kill or a crash would end it, at a moment a test can
// name again. Only a run whose environment holds KS_KILL_AT_STEP gets one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/base/event_pump.h"
#include "core/ports/console_ports.h"
#include "core/ports/test_ports.h"
#include "ks/engine/btr_call.h"

namespace ks {

class KillSwitch final : public TestPorts,
                         public engine::BtrCall,
                         public EventPump,
                         public QuietLoadView {
  public:
    // Kills the process just before step `killAt` (1 is the first); 0 kills nothing and only
    // counts, for PhaseSteps.
    explicit KillSwitch(std::int64_t killAt) : m_killAt(killAt) {}

    // Engine calls go on to the plain engine.
    HeadlessPorts Wrap(const HeadlessPorts& plain) override;
    // Prints "Load steps: " + PhaseSteps() on standard error.
    void LoadEnded() override;

    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint8_t keyLength,
                      std::int8_t keyNumber) override;
    void DoEvents() override { Step(); }

    // Where the load stands: the copy, then the steps of the transfer's progress bar (the rest
    // of the view shows nothing).
    void SetCopyProgress(int value) override;
    void SetTransferProgress(int minimum, int maximum, int value) override;

    // "copy:S 1:S 2:S ... end:S": the first step of the copy and of each step of the transfer
    // reached, then the number of steps taken, so that a test can spread its kills over them.
    std::string PhaseSteps() const;

  private:
    void Step();
    void Reached(const std::string& phase);

    engine::BtrCall* m_engine = nullptr;
    std::int64_t m_killAt;
    std::int64_t m_steps = 0;
    std::vector<std::pair<std::string, std::int64_t>> m_phases;
};

}  // namespace ks
