#include "core/log/tick_count.h"

#include "core/ports/clock.h"

namespace ks {
namespace {

// The wrap step the log has always used: one less than the 32-bit range.
constexpr std::uint64_t kWrapStep = 4294967295ULL;

}  // namespace

TickCounter::TickCounter(const Clock& clock) : m_clock(clock), m_has64(clock.TickCount64() != 0) {}

std::uint64_t TickCounter::TimingTickCount() {
    std::uint64_t value = m_has64 ? m_clock.TickCount64() : 0;
    if (value == 0) {
        value = m_clock.TickCount32();
    }
    if (value < m_previous) {
        m_wrapOffset += kWrapStep;
    }
    m_previous = value;
    return value + m_wrapOffset;
}

}  // namespace ks
