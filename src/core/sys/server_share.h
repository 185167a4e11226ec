// The server's folders reach the backup machine through a network share, and a failing server
// makes that share hang or crawl long before it makes it vanish. Every call that touches them
// (a folder check, an existence test, a settings file read, the copy of a table) runs here on a
// thread of its own while the caller's thread goes on letting window events run, so that the
// window stays alive and a stop of the program is heard. A call that shows no sign of life for
// a minute, or that a stop interrupts, is given up: its thread is left to the kernel and never
// waited for again; whatever it returns later is thrown away.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace ks {

class Clock;
class EventPump;

// What a call on the share tells the caller waiting for it, and what it is told back.
class ShareProgress {
  public:
    // The bytes done so far (shown to the operator); also a sign of life.
    void Bytes(std::uint64_t total) {
        m_bytes = total;
        Alive();
    }
    // A sign of life of work that does not count bytes (a check of a copied table).
    void Alive() { ++m_beats; }
    // Work on local files only, between two uses of the share (the conversion of a file read
    // whole): its length says nothing of the share, so no silence is counted meanwhile.
    void Local(bool local) {
        m_local = local;
        Alive();
    }
    bool IsLocal() const { return m_local; }
    // The caller stopped waiting: the work ends as soon as it can, and keeps nothing.
    bool GivenUp() const { return m_givenUp; }

    std::uint64_t BytesDone() const { return m_bytes; }
    std::uint64_t Beats() const { return m_beats; }
    void GiveUp() { m_givenUp = true; }

  private:
    std::atomic<std::uint64_t> m_bytes{0};
    std::atomic<std::uint64_t> m_beats{0};
    std::atomic<bool> m_local{false};
    std::atomic<bool> m_givenUp{false};
};

enum class ShareAnswer {
    kAnswered,
    kNoAnswer,  // no sign of life for the bound, or the share counts as silent
    kStopped,   // the program is stopping
};

// What a call's thread and its caller share; kept alive by the thread after the caller gave
// up on it.
struct ShareCallState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    ShareProgress progress;
    // Calls given up whose threads have not returned yet, counted by the share.
    std::shared_ptr<std::atomic<int>> blocked;

    // The caller stops waiting; false when the work had finished anyway.
    bool GiveUp();
};

// A call started on the share and not waited for yet. A call that nobody waits for any more
// is given up when it goes.
template <class Result>
class ShareCall {
  public:
    ShareCall() = default;
    ~ShareCall() {
        if (m_state && !m_collected) {
            m_state->GiveUp();
        }
    }
    ShareCall(ShareCall&&) noexcept = default;
    ShareCall& operator=(ShareCall&& other) noexcept {
        if (this != &other) {
            if (m_state && !m_collected) {
                m_state->GiveUp();
            }
            m_state = std::move(other.m_state);
            m_refused = other.m_refused;
            m_collected = other.m_collected;
        }
        return *this;
    }
    ShareCall(const ShareCall&) = delete;
    ShareCall& operator=(const ShareCall&) = delete;

  private:
    friend class ServerShare;
    struct State : ShareCallState {
        Result result{};
    };

    std::shared_ptr<State> m_state;  // null when the call was not started
    ShareAnswer m_refused = ShareAnswer::kNoAnswer;
    bool m_collected = false;
};

class ServerShare {
  public:
    // A call silent this long is given up.
    static constexpr std::uint64_t kSilenceMs = 60'000;
    // Calls given up whose threads are still blocked: past this many, no new thread is started
    // (each blocked one holds a thread until the kernel lets it go).
    static constexpr int kMostBlocked = 16;
    // Once a call was given up for its silence, the share counts as silent this long: every
    // call is given up at once, as a share that stopped answering would hold each of them for
    // the whole bound. The next load, a period later, asks it again.
    static constexpr std::uint64_t kSilentShareMs = 120'000;

    ServerShare(Clock& clock, EventPump& pump);

    // The program is stopping: every wait ends at once and no call starts any more.
    void RequestStop() { m_stopping = true; }
    bool Stopping() const { return m_stopping; }

    // Starts `work` on a thread of its own (unless the share counts as silent, see above, or
    // no thread can be made: no answer). What `work` throws becomes a default-made result.
    template <class Result>
    ShareCall<Result> Start(std::function<Result(ShareProgress&)> work) {
        ShareCall<Result> call;
        call.m_refused = Admit();
        if (call.m_refused == ShareAnswer::kAnswered) {
            auto state = std::make_shared<typename ShareCall<Result>::State>();
            state->blocked = m_blocked;
            if (Launch(state, [state, work = std::move(work)] {
                    state->result = work(state->progress);
                })) {
                call.m_state = state;
            } else {
                call.m_refused = ShareAnswer::kNoAnswer;
            }
        }
        return call;
    }

    // Waits for a started call with events running; `onProgress` is called while it waits,
    // with the bytes the work reported. The result is taken when it answered.
    template <class Result>
    ShareAnswer Finish(ShareCall<Result>& call, Result& result,
                       const std::function<void(std::uint64_t)>& onProgress = nullptr) {
        if (!call.m_state) {
            return call.m_refused;
        }
        call.m_collected = true;
        const ShareAnswer answer = Wait(*call.m_state, onProgress);
        if (answer == ShareAnswer::kAnswered) {
            result = std::move(call.m_state->result);
        }
        return answer;
    }

    template <class Result>
    ShareAnswer Call(std::function<Result(ShareProgress&)> work, Result& result,
                     const std::function<void(std::uint64_t)>& onProgress = nullptr) {
        ShareCall<Result> call = Start(std::move(work));
        return Finish(call, result, onProgress);
    }

    // The trace line of a call on `path` that got no answer.
    static std::string NoAnswerLine(const std::string& path);

    // The usual tests, each a call of its own: nullopt when the share did not answer.
    std::optional<bool> IsFolder(const std::string& folder);
    // The bytes of a small file (a settings file); empty when it is missing or unreadable.
    std::optional<std::string> ReadSmallFile(const std::string& file);

  private:
    // kAnswered when a new call may start, else what it is answered at once.
    ShareAnswer Admit() const;
    bool Silent() const;
    // False when no thread could be made.
    static bool Launch(const std::shared_ptr<ShareCallState>& state, std::function<void()> body);
    ShareAnswer Wait(ShareCallState& state, const std::function<void(std::uint64_t)>& onProgress);

    Clock& m_clock;
    EventPump& m_pump;
    bool m_stopping = false;
    // The share counts as silent until this tick; 0: it answers.
    std::uint64_t m_silentUntil = 0;
    std::shared_ptr<std::atomic<int>> m_blocked = std::make_shared<std::atomic<int>>(0);
};

}  // namespace ks
