// The one door of the loader to the record engine: BTRieve sends an operation for one table
// file of one station's database and applies the status policy (which statuses come back
// silently, which are waited out and re-issued, which are reported); BTRieve_Reel makes the
// raw engine call with the file's record buffer; BTrieveTestCle traces keys that are too
// short. BTRieve returns its status and also leaves it in DbState::StatutBTR.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "core/db/db_limits.h"

namespace ks {

namespace engine {
class BtrCall;
}
class BtrieveReport;
class Clock;
class DbState;
class Dialogs;
class ErrorHandler;
class TraceSink;
struct TraceState;

class BtrieveLayer {
  public:
    // Lock and conflict statuses (counted together) are retried this many times without a
    // report; after that a lock status is reported at each attempt and a conflict gives up,
    // reported.
    static constexpr int kQuietRetries = 10;
    // A call re-issued for a lock status stops after this many attempts; one that keeps
    // answering "key number changed" after this many.
    static constexpr int kLockAttempts = 60;
    static constexpr int kKeyChangedAttempts = 3;
    static constexpr int kLockWaitMs = 1000;
    static constexpr int kConflictWaitMs = 500;

    BtrieveLayer(DbState& db, engine::BtrCall& engine, BtrieveReport& report, Clock& clock,
                 TraceSink& trace, Dialogs& dialogs, ErrorHandler& errors,
                 const TraceState& traceState);

    // The main window's caption, the title of the warning boxes.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }
    // Asked to stop the program after a call on a file that is not open; the desktop program
    // quits its event loop. The call itself returns with status 20.
    void SetFatalHook(std::function<void()> fatal) { m_fatal = std::move(fatal); }

    // Sends `operation` on `file` of `station` in slot `base` with the key buffer `key` (in and
    // out) and `keyNumber`; the file's record buffer is read or sent. `caller` names the call
    // site in the history and the warnings. Returns the status, also left in StatutBTR.
    std::int16_t BTRieve(std::int16_t base, std::int16_t operation, std::string& key,
                         std::int16_t keyNumber, std::int16_t file, std::int32_t station,
                         std::string_view caller);

    // One engine call with the record buffer of `file`: unowned bytes zeroed for an insert or
    // update, key length 255. A file without a record buffer makes no call and yields 0.
    std::int16_t BTRieve_Reel(std::int16_t file, std::int16_t operation, PositionBlock& position,
                              std::uint32_t& dataLength, std::string& key, std::int16_t keyNumber);

    // Traces a key shorter than the catalogue's minimum for (file, key number); the call goes
    // ahead anyway.
    void BTrieveTestCle(std::int16_t operation, std::string_view key, std::int16_t keyNumber,
                        std::int16_t file, std::string_view caller);

  private:
    // One call as the loop re-issues it.
    struct CallSite {
        std::int16_t base;
        std::int16_t operation;
        std::string& key;
        std::int16_t keyNumber;
        std::int16_t file;
        PositionBlock& position;
    };
    struct Attempts {
        int retries = 0;     // lock and conflict statuses, counted together
        int keyChanged = 0;  // reported "key number changed" answers
    };
    enum class Next { Leave, Reissue };

    void CallLoop(std::int16_t base, std::int16_t operation, std::string& key,
                  std::int16_t keyNumber, std::int16_t file, std::int32_t station,
                  bool& engineCalled);
    // The status policy for the status just left in StatutBTR.
    Next ApplyPolicy(const CallSite& call, Attempts& attempts);
    Next OnKeyChanged(const CallSite& call, Attempts& attempts);
    Next OnConflict(const CallSite& call, Attempts& attempts);
    void Report(const CallSite& call);
    // A get equal on copies of the position block, data length and key, whose status does
    // not reach StatutBTR.
    std::int16_t GetEqualOnCopy(const CallSite& call);
    void Warn(const std::string& text);
    void FileNotOpen(std::int16_t base, std::int16_t operation, std::int16_t file,
                     std::int32_t station, const std::string& key, std::string_view caller);

    DbState& m_db;
    engine::BtrCall& m_engine;
    BtrieveReport& m_report;
    Clock& m_clock;
    TraceSink& m_trace;
    Dialogs& m_dialogs;
    ErrorHandler& m_errors;
    const TraceState& m_traceState;
    std::string m_caption;
    std::function<void()> m_fatal;
};

}  // namespace ks
