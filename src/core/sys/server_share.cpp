#include "core/sys/server_share.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "core/base/clock.h"
#include "core/base/event_pump.h"
#include "core/sys/whole_file.h"
#include "platform/native_path.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// How often the waiting caller lets events run and looks at the call.
constexpr auto kLookEvery = std::chrono::milliseconds(20);

}  // namespace

bool ShareCallState::GiveUp() {
    const std::lock_guard lock(mutex);
    if (finished || progress.GivenUp()) {
        return false;
    }
    progress.GiveUp();
    ++*blocked;
    return true;
}

ServerShare::ServerShare(Clock& clock, EventPump& pump) : m_clock(clock), m_pump(pump) {}

ShareAnswer ServerShare::Admit() const {
    if (m_stopping) {
        return ShareAnswer::kStopped;
    }
    return Silent() || *m_blocked >= kMostBlocked ? ShareAnswer::kNoAnswer : ShareAnswer::kAnswered;
}

bool ServerShare::Silent() const {
    return m_silentUntil != 0 && m_clock.TickCount64() < m_silentUntil;
}

bool ServerShare::Launch(const std::shared_ptr<ShareCallState>& state, std::function<void()> body) {
    try {
        std::thread([state, body = std::move(body)] {
            try {
                body();
            } catch (...) {
                // Kept as a default-made result: nothing may escape a thread.
            }
            const std::lock_guard lock(state->mutex);
            state->finished = true;
            if (state->progress.GivenUp()) {
                --*state->blocked;
            }
            state->done.notify_all();
        }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

ShareAnswer ServerShare::Wait(ShareCallState& state,
                              const std::function<void(std::uint64_t)>& onProgress) {
    std::uint64_t beats = 0;
    std::uint64_t lastSign = m_clock.TickCount64();
    for (;;) {
        {
            std::unique_lock lock(state.mutex);
            if (state.done.wait_for(lock, kLookEvery, [&] { return state.finished; })) {
                return ShareAnswer::kAnswered;
            }
        }
        m_pump.DoEvents();
        const std::uint64_t now = m_clock.TickCount64();
        if (const std::uint64_t seen = state.progress.Beats();
            seen != beats || state.progress.IsLocal()) {
            beats = seen;
            lastSign = now;
        }
        const bool given = now - lastSign >= kSilenceMs;
        if (m_stopping || given || Silent()) {
            if (!state.GiveUp()) {
                return ShareAnswer::kAnswered;
            }
            if (given) {
                m_silentUntil = now + kSilentShareMs;
            }
            return m_stopping ? ShareAnswer::kStopped : ShareAnswer::kNoAnswer;
        }
        if (onProgress) {
            onProgress(state.progress.BytesDone());
        }
    }
}

std::string ServerShare::NoAnswerLine(const std::string& path) {
    return "Err: No answer from the server (" + std::to_string(kSilenceMs / 1000) +
           " s without a sign of life): " + path;
}

std::optional<bool> ServerShare::IsFolder(const std::string& folder) {
    bool found = false;
    const auto answer = Call<bool>(
        [folder](ShareProgress&) {
            std::error_code error;
            return fs::is_directory(NativePath(folder), error);
        },
        found);
    return answer == ShareAnswer::kAnswered ? std::optional<bool>(found) : std::nullopt;
}

std::optional<std::string> ServerShare::ReadSmallFile(const std::string& file) {
    std::string bytes;
    const auto answer = Call<std::string>(
        [file](ShareProgress&) {
            // Looking the name up reads the share's folder: it belongs to the call as well.
            std::string read;
            return ReadWholeFile(NativePath(file), read) == ReadResult::Read ? read : std::string();
        },
        bytes);
    return answer == ShareAnswer::kAnswered ? std::optional<std::string>(std::move(bytes))
                                            : std::nullopt;
}

}  // namespace ks
