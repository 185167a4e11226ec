// The server share's bounded calls: an answer comes back, a call silent for a minute is given
// up (and the share counts as silent for the rest of the load), a call that keeps showing signs
// of life is waited for however long it takes, and a stop ends the wait at once. The minute is
// the fake clock's, moved by the event pump the wait runs.
#include "core/sys/server_share.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "support/fake_clock.h"
#include "support/fake_event_pump.h"

namespace ks {
namespace {

// Holds the calls' threads until the test lets them go, as a hung share holds them in the kernel.
class Gate {
  public:
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_open.wait(lock, [this] { return m_opened; });
    }
    void Open() {
        const std::lock_guard lock(m_mutex);
        m_opened = true;
        m_open.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_open;
    bool m_opened = false;
};

struct ShareCase {
    const char* name;
    // What the call does: answers at once, hangs until the gate opens, or shows a sign of life
    // at every look and answers after 75 s.
    enum class Work { kAnswers, kHangs, kCrawls } work;
    bool stopMidway;  // the program stops during the wait
    ShareAnswer answer;
    bool laterCallAnswers;  // the next call, made at once
};

class ServerShareTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ServerShareTest, AnswersGivesUpOrStops) {
    const ShareCase& c = GetParam();
    test::FakeClock clock;
    test::FakeEventPump pump;
    ServerShare share(clock, pump);
    // Each look at the call moves the fake clock a second.
    pump.onEvents = [&](int calls) {
        clock.Advance(1000);
        if (c.stopMidway && calls == 5) {
            share.RequestStop();
        }
    };
    auto gate = std::make_shared<Gate>();
    std::atomic<int> looks{0};
    int result = 0;
    std::uint64_t bytesSeen = 0;
    const std::uint64_t start = clock.TickCount64();
    const ShareAnswer answer = share.Call<int>(
        [&, gate](ShareProgress& progress) {
            if (c.work == ShareCase::Work::kHangs) {
                gate->Wait();
                return 1;
            }
            if (c.work == ShareCase::Work::kCrawls) {
                for (std::uint64_t bytes = 1; bytes <= 75; ++bytes) {
                    progress.Bytes(bytes);
                    // Wait for the caller's next look, as a share answering a piece a second.
                    const int seen = looks;
                    while (looks == seen && !progress.GivenUp()) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                }
            }
            return 42;
        },
        result,
        [&](std::uint64_t bytes) {
            bytesSeen = bytes;
            ++looks;
        });
    EXPECT_EQ(answer, c.answer);
    if (answer == ShareAnswer::kAnswered) {
        EXPECT_EQ(result, 42);
    }
    const std::uint64_t waited = clock.TickCount64() - start;
    if (c.work == ShareCase::Work::kCrawls) {
        EXPECT_GE(waited, 70'000U) << "waited past the minute";
        EXPECT_GT(bytesSeen, 60U) << "the bytes reach the caller while it waits";
    }
    if (c.work == ShareCase::Work::kHangs && !c.stopMidway) {
        EXPECT_GE(waited, ServerShare::kSilenceMs) << "given up at the minute, not before";
        EXPECT_LT(waited, ServerShare::kSilenceMs + 5'000) << "nor long after";
    }
    EXPECT_EQ(share.IsFolder("/").has_value(), c.laterCallAnswers);
    gate->Open();
    clock.Advance(ServerShare::kSilentShareMs);
    EXPECT_EQ(share.IsFolder("/").has_value(), !c.stopMidway) << "asked again two minutes on";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ServerShareTest,
    ::testing::Values(
        ShareCase{"Answers", ShareCase::Work::kAnswers, false, ShareAnswer::kAnswered, true},
        ShareCase{"HangsAMinute", ShareCase::Work::kHangs, false, ShareAnswer::kNoAnswer, false},
        ShareCase{"CrawlsButLives", ShareCase::Work::kCrawls, false, ShareAnswer::kAnswered, true},
        ShareCase{"StoppedWhileHung", ShareCase::Work::kHangs, true, ShareAnswer::kStopped, false}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace ks
