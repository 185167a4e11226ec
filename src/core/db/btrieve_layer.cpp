#include "core/db/btrieve_layer.h"

#include <algorithm>
#include <vector>

#include "core/base/clock.h"
#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/base/trace_state.h"
#include "core/db/btrieve_report.h"
#include "core/db/db_state.h"
#include "core/db/key_buffer.h"
#include "core/db/read_normalisation.h"
#include "core/sys/text_helpers.h"
#include "ks/engine/btr_call.h"
#include "ks/engine/btr_codes.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

namespace op = engine::op;
namespace st = engine::status;

constexpr std::string_view kPlace = "Lib_Data_Pervasive:BTRieve";
constexpr std::size_t kEmptyKeyBlanks = 100;
// Statuses the layer gives its own meaning: a call on a file that is not open, and the
// variable-page conflict that an update of the music schedule may meet.
constexpr std::int16_t kStatusNotOpen = 20;
constexpr std::int16_t kStatusPageConflict = 54;

bool IsLockStatus(std::int16_t status) {
    switch (status) {
        case 36:
        case 37:
        case 38:
        case 39:
        case 81:
        case 83:
        case 84:
        case 85:
        case 92:
            return true;
        default:
            return false;
    }
}

bool IsWrite(std::int16_t operation) {
    return operation == op::kInsert || operation == op::kUpdate || operation == op::kDelete;
}

bool IsTransactionControl(std::int16_t operation) {
    return operation == op::kBeginTransaction || operation == op::kEndTransaction ||
           operation == op::kAbortTransaction || operation == op::kBeginConcurrentTransaction;
}

std::string TwoDigits(std::int32_t value) {
    return N2S(value, 2, 0, "0");
}

}  // namespace

BtrieveLayer::BtrieveLayer(DbState& db, engine::BtrCall& engine, BtrieveReport& report,
                           Clock& clock, TraceSink& trace, Dialogs& dialogs, ErrorHandler& errors,
                           const TraceState& traceState)
    : m_db(db),
      m_engine(engine),
      m_report(report),
      m_clock(clock),
      m_trace(trace),
      m_dialogs(dialogs),
      m_errors(errors),
      m_traceState(traceState) {}

std::int16_t BtrieveLayer::BTRieve(std::int16_t base, std::int16_t operation, std::string& key,
                                   std::int16_t keyNumber, std::int16_t file, std::int32_t station,
                                   std::string_view caller) {
    // Events run while a report's dialog is shown may make calls of their own: this call's
    // state stays local.
    bool engineCalled = false;
    const bool done = m_errors.Guard(kPlace, [&] {
        if ((operation == op::kEndTransaction || operation == op::kAbortTransaction) &&
            !m_db.TransactionEnCours) {
            return;
        }
        if (operation == op::kGetLessThan || operation == op::kGetLessOrEqual) {
            std::replace(key.begin(), key.end(), '\xFF', 'z');
        }
        if (station < 1) {
            station = 1;
        }
        if (!IsBlank(caller)) {
            // Made on every call: one string, grown once.
            std::string line;
            line.reserve(kStatusMarkLength + 48 + key.size() + caller.size());
            line.append("File:").append(TwoDigits(file));
            line.append(" Station:").append(std::to_string(station));
            line.append(" OP:").append(TwoDigits(operation));
            line.append(" K:").append(TwoDigits(keyNumber));
            line.append(" [").append(ClearChaine(key, &m_errors)).append("]");
            line.append(" [").append(caller).append("]");
            m_db.AddHistory(base, std::move(line));
        }
        BTrieveTestCle(operation, key, keyNumber, file, caller);
        if (station > kStationCount) {
            Warn("N° station hors limite: "_cp + std::to_string(station) +
                 "\r\n\r\nSub: " + std::string(caller) + ":" + std::string(kPlace));
            m_db.StatutBTR = operation == op::kGetEqual ? st::kKeyNotFound : st::kEndOfFile;
        } else if (!m_db.FichierOuvertBTR(base, station, file)) {
            FileNotOpen(base, operation, file, station, key, caller);
            return;
        } else if (IsWrite(operation) && m_db.WritesRefused(base, station, file)) {
            // Reported at the first refusal: once, not once per record.
            m_db.StatutBTR = st::kAccessDenied;
            m_db.MarkHistoryStatus(base, m_db.StatutBTR);
        } else {
            CallLoop(base, operation, key, keyNumber, file, station, engineCalled);
            m_db.MarkHistoryStatus(base, m_db.StatutBTR);
            if (IsWrite(operation) && m_db.StatutBTR == st::kAccessDenied) {
                m_db.SetWritesRefused(base, station, file);
            }
        }
        if (operation < 0 || operation > op::kDelete) {
            NormaliseRead(file, m_db.Records);
        }
    });
    // A call that failed before the engine answered must not look like a success.
    if (!done && !engineCalled) {
        m_db.StatutBTR = st::kInvalidOperation;
    }
    return m_db.StatutBTR;
}

void BtrieveLayer::CallLoop(std::int16_t base, std::int16_t operation, std::string& key,
                            std::int16_t keyNumber, std::int16_t file, std::int32_t station,
                            bool& engineCalled) {
    CallSite call{base, operation, key, keyNumber, file, m_db.PositionBTR(base, station, file)};
    std::uint16_t& length = m_db.Longueur(file);
    Attempts attempts;
    do {
        if (key.empty()) {
            key.assign(kEmptyKeyBlanks, ' ');
        }
        std::uint32_t dataLength = length;
        m_db.StatutBTR = BTRieve_Reel(file, operation, call.position, dataLength, key, keyNumber);
        engineCalled = true;
        length = static_cast<std::uint16_t>(dataLength);
    } while (ApplyPolicy(call, attempts) == Next::Reissue);
}

BtrieveLayer::Next BtrieveLayer::ApplyPolicy(const CallSite& call, Attempts& attempts) {
    const std::int16_t status = m_db.StatutBTR;
    const std::int16_t operation = call.operation;
    if (status == st::kSuccess) {
        if (operation == op::kBeginTransaction || operation == op::kBeginConcurrentTransaction) {
            m_db.TransactionEnCours = true;
        } else if (operation == op::kEndTransaction || operation == op::kAbortTransaction) {
            m_db.TransactionEnCours = false;
        }
        return Next::Leave;
    }
    if (status == st::kDifferentKeyNumber) {
        return OnKeyChanged(call, attempts);
    }
    if (IsLockStatus(status)) {
        ++attempts.retries;
        if (attempts.retries > kQuietRetries) {
            Report(call);
        }
        if (attempts.retries >= kLockAttempts) {
            return Next::Leave;
        }
        m_clock.Sleep(kLockWaitMs);
        return Next::Reissue;
    }
    if (status == st::kConflict) {
        return OnConflict(call, attempts);
    }
    if (status == kStatusPageConflict) {
        if (operation == op::kUpdate && call.file == 35) {
            m_db.StatutBTR = st::kSuccess;
        } else {
            Report(call);
        }
        return Next::Leave;
    }
    const bool silent =
        (operation == op::kInsert || operation == op::kUpdate)
            ? status == st::kDuplicateKey
            : status == st::kKeyNotFound || status == st::kDuplicateKey || status == st::kEndOfFile;
    if (!silent) {
        Report(call);
    }
    return Next::Leave;
}

BtrieveLayer::Next BtrieveLayer::OnKeyChanged(const CallSite& call, Attempts& attempts) {
    const bool read = call.operation == op::kGetNext || call.operation == op::kGetPrevious;
    if ((call.operation == op::kUpdate && call.file == 35) || (read && call.file == 34)) {
        return Next::Leave;
    }
    if (read && GetEqualOnCopy(call) == st::kSuccess) {
        return Next::Leave;
    }
    Report(call);
    return ++attempts.keyChanged >= kKeyChangedAttempts ? Next::Leave : Next::Reissue;
}

// After ten retries a record conflict is given up and reported: the call stays a failure.
BtrieveLayer::Next BtrieveLayer::OnConflict(const CallSite& call, Attempts& attempts) {
    if (++attempts.retries > kQuietRetries) {
        Report(call);
        return Next::Leave;
    }
    m_clock.Sleep(kConflictWaitMs);
    if (call.operation == op::kUpdate || call.operation == op::kDelete) {
        // The re-read must not replace the record the retried write sends.
        RecordBuffer* record = m_db.Records.Find(call.file);
        const std::vector<std::uint8_t> written =
            record != nullptr
                ? std::vector<std::uint8_t>(record->Bytes().begin(), record->Bytes().end())
                : std::vector<std::uint8_t>();
        GetEqualOnCopy(call);
        if (record != nullptr) {
            std::copy(written.begin(), written.end(), record->Data());
        }
    }
    return Next::Reissue;
}

void BtrieveLayer::Report(const CallSite& call) {
    m_report.ErreurBTrieve(call.base, call.file, call.operation, call.key, kPlace);
}

std::int16_t BtrieveLayer::GetEqualOnCopy(const CallSite& call) {
    PositionBlock copy = call.position;
    std::uint32_t dataLength = m_db.Longueur(call.file);
    std::string keyCopy = call.key;
    return BTRieve_Reel(call.file, op::kGetEqual, copy, dataLength, keyCopy, call.keyNumber);
}

std::int16_t BtrieveLayer::BTRieve_Reel(std::int16_t file, std::int16_t operation,
                                        PositionBlock& position, std::uint32_t& dataLength,
                                        std::string& key, std::int16_t keyNumber) {
    RecordBuffer* record = m_db.Records.Find(file);
    if (record == nullptr) {
        return 0;
    }
    if (operation == op::kInsert || operation == op::kUpdate) {
        record->ZeroUnownedBytes();
    }
    KeyBuffer keyBuffer(key);
    // Never let the engine write past the record buffer, whatever length was left over.
    const auto capacity = static_cast<std::uint32_t>(record->Size());
    std::uint32_t length = std::min(dataLength, capacity);
    const std::int16_t status =
        m_engine.Call(static_cast<std::uint16_t>(operation), position.data(), record->Data(),
                      length, keyBuffer.Data(), static_cast<std::uint8_t>(engine::kKeyBufferSize),
                      static_cast<std::int8_t>(keyNumber));
    dataLength = std::min(length, capacity);
    keyBuffer.CopyBack(key);
    return status;
}

void BtrieveLayer::BTrieveTestCle(std::int16_t operation, std::string_view key,
                                  std::int16_t keyNumber, std::int16_t file,
                                  std::string_view caller) {
    if (m_traceState.ApplicationEnFermeture || IsTransactionControl(operation)) {
        return;
    }
    const std::int32_t minimum = LongueurMinimaleCle(m_db.CatalogueBTR, file, keyNumber);
    if (minimum < 0 || static_cast<std::int32_t>(key.size()) >= minimum) {
        return;
    }
    m_trace.TraceLog(-1, -1, -1,
                     "Err: Key too short: NoFile: " + std::to_string(file) + " Key: " +
                         std::to_string(keyNumber) + " Lng: " + std::to_string(key.size()) +
                         " OP: " + std::to_string(operation) + "\nKey:" + std::string(key) +
                         " Sub: " + std::string(caller),
                     true);
}

void BtrieveLayer::Warn(const std::string& text) {
    m_dialogs.MessageBox(MsgIcon::Warning, MsgButtons::Ok, m_caption, text);
}

void BtrieveLayer::FileNotOpen(std::int16_t base, std::int16_t operation, std::int16_t file,
                               std::int32_t station, const std::string& key,
                               std::string_view caller) {
    Warn("Fichier " + std::to_string(file) +
         " non ouvert\r\n\r\nStation: " + std::to_string(station) +
         "\r\n\r\nSub: " + std::string(caller) + ":" + std::string(kPlace));
    m_db.StatutBTR = kStatusNotOpen;
    m_report.ErreurBTrieve(base, file, operation, key, kPlace);
    m_trace.TraceLog(base, file, -1,
                     "Err: File " + std::to_string(file) +
                         " not open (Station: " + std::to_string(station) +
                         ") |Sub: " + std::string(caller) + " |The program stops",
                     true);
    if (m_fatal) {
        m_fatal();
    }
}

}  // namespace ks
