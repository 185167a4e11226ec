#include "crash_program/kill_switch.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace ks {

// KS_KILL_AT_STEP=N: a kill switch at step N; none when the variable is absent or not a number.
std::unique_ptr<TestPorts> MakeTestPorts() {
    const char* value = std::getenv("KS_KILL_AT_STEP");
    if (value == nullptr) {
        return nullptr;
    }
    const std::string_view text(value);
    std::int64_t killAt = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), killAt);
    if (error != std::errc() || end != text.data() + text.size() || killAt < 0) {
        return nullptr;
    }
    return std::make_unique<KillSwitch>(killAt);
}

HeadlessPorts KillSwitch::Wrap(const HeadlessPorts& plain) {
    m_engine = &plain.engine;
    return HeadlessPorts{*this, *this, *this};
}

void KillSwitch::LoadEnded() {
    PrintError("Load steps: " + PhaseSteps());
}

std::int16_t KillSwitch::Call(std::uint16_t operation, std::uint8_t* positionBlock,
                              void* dataBuffer, std::uint32_t& dataLength, void* keyBuffer,
                              std::uint8_t keyLength, std::int8_t keyNumber) {
    Step();
    return m_engine->Call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                          keyNumber);
}

void KillSwitch::SetCopyProgress(int /*value*/) {
    Reached("copy");
}

void KillSwitch::SetTransferProgress(int /*minimum*/, int /*maximum*/, int value) {
    if (value > 0) {
        Reached(std::to_string(value));
    }
}

std::string KillSwitch::PhaseSteps() const {
    std::string text;
    for (const auto& [phase, step] : m_phases) {
        text += phase + ":" + std::to_string(step) + " ";
    }
    return text + "end:" + std::to_string(m_steps);
}

void KillSwitch::Step() {
    if (++m_steps == m_killAt) {
        // Nothing is flushed or closed: the process ends as a kill from outside would end it.
        kill(getpid(), SIGKILL);
    }
}

void KillSwitch::Reached(const std::string& phase) {
    const auto known = [&phase](const auto& entry) { return entry.first == phase; };
    if (std::none_of(m_phases.begin(), m_phases.end(), known)) {
        m_phases.emplace_back(phase, m_steps + 1);
    }
}

}  // namespace ks
