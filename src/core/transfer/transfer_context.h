// What the phases of one transfer share: the two stations, the time window, the err95 and
// err8 flags, the shared key buffer, the working lists and the progress display, with the
// calls through the database layer (slot 0, a call-site tag) and the loops every phase is
// made of: delete the records of a range one at a time, copy the records of a range from the
// source to the destination, replace the one record of a key.
//
// The loops are bounded where the engine could make them spin: a lookup or a delete that
// fails is reported once and ends its loop (the same record would only be found again), and
// a read that fails ends its copy loop before the stale record buffer could be inserted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/transfer/record_transfer.h"
#include "core/transfer/time_window.h"
#include "core/transfer/working_list.h"

namespace ks {

class RecordBuffer;

// The stations whose tables a phase uses.
enum class Side { Both, Source, Destination };

// The location text of a report: the main window's caption, or an empty text.
enum class Location { Caption, Empty };

// The records of one table in a range, found one at a time from a start key.
struct RangeLookup {
    std::int16_t file = 0;
    std::int16_t operation = 0;  // get greater or equal, or get less or equal
    std::int16_t keyNumber = 0;
    std::string startKey;
    std::string_view tag;
    // With a record found (its key in the key buffer, its bytes in the file's record buffer):
    // whether it belongs to the range. Empty: every record found belongs.
    std::function<bool()> belongs;
};

// An insert into the destination.
struct Insertion {
    std::int16_t file = 0;
    std::string_view tag;
    std::size_t keyBlanks = 0;     // the key buffer sent: this many blanks
    bool duplicateSilent = false;  // status 5 means the record is already there
};

class TransferContext {
  public:
    TransferContext(const RecordTransfer::Services& services, std::string_view caption,
                    std::int16_t set, std::int16_t source, std::int16_t destination,
                    const TimeWindow& window);

    const std::int16_t set;
    const std::int16_t source;       // the copied server station
    const std::int16_t destination;  // the local station
    const TimeWindow window;
    bool with53 = false;  // FDAT053 takes part (present on the server and open on both sides)
    bool err95 = false;   // the engine connection was lost: every later phase is skipped
    bool err8 = false;    // the source advertising schedule answered "invalid positioning"
    std::string key;      // the key buffer shared by every call
    WorkingList ListeMorceau;
    WorkingList ListeArtiste;
    WorkingList ListeCategorie;

    // --- calls and reports ------------------------------------------------------------

    // One call through the layer on `file` of `station` with the key buffer; returns the
    // status. `tag` is the call site (" /A"...).
    std::int16_t Call(std::int16_t operation, std::int16_t file, std::int16_t station,
                      std::string_view tag, std::int16_t keyNumber = 0);
    // Status 95 sets err95; true when the phase must end (err95 set now or before).
    bool Lost(std::int16_t status);
    // Reports the status of the last call, `operation` on `file`, with the key buffer.
    void Report(std::int16_t file, std::int16_t operation, Location where);
    RecordBuffer& Record(std::int16_t file);

    // --- the loops --------------------------------------------------------------------

    // Deletes from the destination, one pass at a time, the first record the lookup finds,
    // until it finds none in the range. With `captionPrefix`, each record is shown first.
    void DeleteEach(const RangeLookup& lookup, std::string_view deleteTag, Location where,
                    std::string_view captionPrefix = {});

    // What a copy loop reads, from the source, and how it handles a failed read.
    struct CopyLoop {
        RangeLookup read;  // the first read; get next after each record
        Insertion insert;
        Location where = Location::Caption;
        // The advertising schedule's rule: status 8 sets err8, and any failed read ends the
        // loop without a report.
        bool advertisingRead = false;
        // Runs on each record read, before its insert.
        std::function<void()> beforeInsert;
    };
    // Copies the records of the range from the source into the destination.
    void CopyEach(const CopyLoop& loop);

    // The four call sites of a single-row replace.
    struct ReplaceTags {
        std::string_view getDestination;     // get equal
        std::string_view deleteDestination;  // delete
        std::string_view getSource;          // get equal
        std::string_view insertDestination;  // insert
    };
    // Replaces the destination's record of `recordKey` by the source's: deletes the one, then
    // copies the other if the source has it (`beforeInsert` runs on the record read). When the
    // destination's record could not be deleted, it is left as it is and nothing is copied.
    void ReplaceOne(std::int16_t file, const std::string& recordKey, const ReplaceTags& tags,
                    std::size_t keyBlanks, const std::function<void()>& beforeInsert = {});
    // The delete half alone; true when the destination has no record of the key left (it had
    // none, or it was deleted), false when a failed call left it there.
    bool DeleteOne(std::int16_t file, const std::string& recordKey, std::string_view getTag,
                   std::string_view deleteTag);
    // Inserts the file's record buffer into the destination; false when the phase must end.
    bool Insert(const Insertion& insert, Location where);

    // --- display and trace ------------------------------------------------------------

    void Trace(std::string_view line);
    void Caption(std::string_view text);       // LabelTransfert(1)
    void Progress(int step);                   // ProgressBarTransfert, 0 to 12
    void ItemRange(int minimum, int maximum);  // ProgressBarTransfert2
    void ItemValue(int value);
    int ItemMaximum() const { return m_itemMaximum; }
    void Events();
    // The clock now, and its hour (each schedule phase reads it when it starts).
    DateTime ClockNow() const;
    int CurrentHour() const;

    // True when every table of `files` is open on the stations of `side`; otherwise one trace
    // line names the first that is not, its station and the `phase` skipped.
    bool TablesOpen(std::initializer_list<std::int16_t> files, std::string_view phase,
                    Side side = Side::Both);
    bool IsOpen(std::int16_t file, std::int16_t station) const;
    std::string TableName(std::int16_t file, std::int16_t station) const;

  private:
    bool DeleteCurrent(std::int16_t file, std::int16_t keyNumber, std::string_view tag,
                       Location where);

    RecordTransfer::Services m_services;
    std::string m_caption;
    std::string m_callSite;  // "Frm_Main:DataTransfert" + the tag of the call being made
    int m_itemMinimum = 0;
    int m_itemMaximum = 0;
};

}  // namespace ks
