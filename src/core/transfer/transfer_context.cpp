#include "core/transfer/transfer_context.h"

#include "core/base/clock.h"
#include "core/base/event_pump.h"
#include "core/base/load_view.h"
#include "core/base/trace_sink.h"
#include "core/db/btrieve_layer.h"
#include "core/db/btrieve_report.h"
#include "core/db/db_state.h"
#include "ks/engine/btr_codes.h"

namespace ks {
namespace {

namespace op = engine::op;
namespace st = engine::status;

constexpr std::string_view kCaller = "Frm_Main:DataTransfert";
constexpr int kLastStep = 12;

}  // namespace

TransferContext::TransferContext(const RecordTransfer::Services& services, std::string_view caption,
                                 std::int16_t setNumber, std::int16_t sourceStation,
                                 std::int16_t destinationStation, const TimeWindow& timeWindow)
    : set(setNumber),
      source(sourceStation),
      destination(destinationStation),
      window(timeWindow),
      m_services(services),
      m_caption(caption) {}

std::int16_t TransferContext::Call(std::int16_t operation, std::int16_t file, std::int16_t station,
                                   std::string_view tag, std::int16_t keyNumber) {
    m_callSite.assign(kCaller).append(tag);
    m_services.layer.BTRieve(0, operation, key, keyNumber, file, station, m_callSite);
    return m_services.db.StatutBTR;
}

bool TransferContext::Lost(std::int16_t status) {
    if (status == st::kEngineGone) {
        err95 = true;
    }
    return err95;
}

void TransferContext::Report(std::int16_t file, std::int16_t operation, Location where) {
    // A local table refusing writes was reported by the call layer the first time.
    if (m_services.db.StatutBTR == st::kAccessDenied &&
        m_services.db.WritesRefused(0, destination, file)) {
        return;
    }
    m_services.report.ErreurBTrieve(0, file, operation, key,
                                    where == Location::Caption ? m_caption : std::string());
}

RecordBuffer& TransferContext::Record(std::int16_t file) {
    return m_services.db.Records.At(file);
}

bool TransferContext::DeleteCurrent(std::int16_t file, std::int16_t keyNumber, std::string_view tag,
                                    Location where) {
    const std::int16_t status = Call(op::kDelete, file, destination, tag, keyNumber);
    const bool done = status == st::kSuccess;
    if (!done && !Lost(status)) {
        // The report of a failed delete tells the operator to restore the file.
        Report(file, op::kDelete, where);
    }
    return done;
}

void TransferContext::DeleteEach(const RangeLookup& lookup, std::string_view deleteTag,
                                 Location where, std::string_view captionPrefix) {
    for (;;) {
        key = lookup.startKey;
        const std::int16_t status =
            Call(lookup.operation, lookup.file, destination, lookup.tag, lookup.keyNumber);
        if (status == st::kEndOfFile || Lost(status)) {
            return;
        }
        if (status != st::kSuccess) {
            Report(lookup.file, lookup.operation, where);
            return;
        }
        if (lookup.belongs && !lookup.belongs()) {
            return;
        }
        if (!captionPrefix.empty()) {
            Caption(std::string(captionPrefix) + key);
        }
        if (!DeleteCurrent(lookup.file, lookup.keyNumber, deleteTag, where)) {
            return;
        }
        Events();
    }
}

void TransferContext::CopyEach(const CopyLoop& loop) {
    const RangeLookup& read = loop.read;
    key = read.startKey;
    std::int16_t operation = read.operation;
    for (;;) {
        const std::int16_t status = Call(operation, read.file, source, read.tag, read.keyNumber);
        if (status == st::kEndOfFile || Lost(status)) {
            return;
        }
        if (status != st::kSuccess) {
            if (!loop.advertisingRead) {
                Report(read.file, operation, loop.where);
            } else if (status == st::kInvalidPositioning) {
                err8 = true;
            }
            return;
        }
        if (read.belongs && !read.belongs()) {
            return;
        }
        const std::string current = key;
        if (loop.beforeInsert) {
            loop.beforeInsert();
        }
        if (!Insert(loop.insert, loop.where)) {
            return;
        }
        Events();
        key = current;
        operation = static_cast<std::int16_t>(op::kGetNext);
    }
}

bool TransferContext::DeleteOne(std::int16_t file, const std::string& recordKey,
                                std::string_view getTag, std::string_view deleteTag) {
    key = recordKey;
    const std::int16_t status = Call(op::kGetEqual, file, destination, getTag);
    if (Lost(status)) {
        return false;
    }
    if (status == st::kSuccess) {
        return DeleteCurrent(file, 0, deleteTag, Location::Caption);
    }
    if (status != st::kKeyNotFound) {
        Report(file, op::kGetEqual, Location::Caption);
        return false;
    }
    return true;
}

void TransferContext::ReplaceOne(std::int16_t file, const std::string& recordKey,
                                 const ReplaceTags& tags, std::size_t keyBlanks,
                                 const std::function<void()>& beforeInsert) {
    // A row that stays would be doubled by the insert where the key allows duplicates
    // (FDAT024, FDAT026), and every later load replaces only one of the two: the old row is
    // kept alone until a load can delete it.
    if (!DeleteOne(file, recordKey, tags.getDestination, tags.deleteDestination) || err95) {
        return;
    }
    key = recordKey;
    const std::int16_t status = Call(op::kGetEqual, file, source, tags.getSource);
    if (Lost(status)) {
        return;
    }
    if (status == st::kSuccess) {
        if (beforeInsert) {
            beforeInsert();
        }
        Insert({file, tags.insertDestination, keyBlanks, false}, Location::Caption);
    } else if (status != st::kKeyNotFound) {
        Report(file, op::kGetEqual, Location::Caption);
    }
}

bool TransferContext::Insert(const Insertion& insert, Location where) {
    key.assign(insert.keyBlanks, ' ');
    const std::int16_t status = Call(op::kInsert, insert.file, destination, insert.tag);
    if (Lost(status)) {
        return false;
    }
    if (status != st::kSuccess && !(status == st::kDuplicateKey && insert.duplicateSilent)) {
        Report(insert.file, op::kInsert, where);
    }
    return true;
}

void TransferContext::Trace(std::string_view line) {
    m_services.trace.TraceLog(-1, -1, -1, line);
}

void TransferContext::Caption(std::string_view text) {
    m_services.view.SetTransferCaption(std::string(text));
}

void TransferContext::Progress(int step) {
    m_services.view.SetTransferProgress(0, kLastStep, step);
}

void TransferContext::ItemRange(int minimum, int maximum) {
    m_itemMinimum = minimum;
    m_itemMaximum = maximum;
    m_services.view.SetTransferItemProgress(minimum, maximum, minimum);
}

void TransferContext::ItemValue(int value) {
    m_services.view.SetTransferItemProgress(m_itemMinimum, m_itemMaximum, value);
}

void TransferContext::Events() {
    m_services.pump.DoEvents();
}

DateTime TransferContext::ClockNow() const {
    return m_services.clock.Now();
}

int TransferContext::CurrentHour() const {
    return ClockNow().hour;
}

bool TransferContext::IsOpen(std::int16_t file, std::int16_t station) const {
    return m_services.db.FichierOuvertBTR(0, station, file);
}

std::string TransferContext::TableName(std::int16_t file, std::int16_t station) const {
    return m_services.db.NomFichierBTR(file, station - 1);
}

bool TransferContext::TablesOpen(std::initializer_list<std::int16_t> files, std::string_view phase,
                                 Side side) {
    for (const std::int16_t file : files) {
        for (const std::int16_t station : {source, destination}) {
            const bool used = side == Side::Both || (side == Side::Source) == (station == source);
            if (used && !IsOpen(file, station)) {
                // An incident: the load did not do all it should.
                m_services.trace.TraceLog(-1, -1, -1,
                                          "Err: " + TableName(file, station) +
                                              " not open (Station: " + std::to_string(station) +
                                              ") |Skipped: " + std::string(phase),
                                          true);
                return false;
            }
        }
    }
    return true;
}

}  // namespace ks
