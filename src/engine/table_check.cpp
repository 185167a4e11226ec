#include "ks/engine/table_check.h"

#include <algorithm>
#include <memory>

#include "engine/key_bytes.h"
#include "engine/table_file.h"
#include "engine/table_schema.h"

namespace ks::engine {
namespace {

// SQLite calls the progress handler every this many steps of its virtual machine.
constexpr int kProgressSteps = 20000;
// The pages a check keeps: it reads each page about once, and recycling a few pages costs
// far less than filling a large cache (a third of the copy's check on the large station).
constexpr int kCheckCachePages = 50;

std::unique_ptr<TableFile> OpenToCheck(const std::filesystem::path& path, std::string& problem) {
    std::unique_ptr<TableFile> file;
    TableOpenOptions options;
    options.readOnly = true;  // a check writes nothing, not even a new session mark
    if (const auto result = TableFile::Open(path, options, file); result != 0) {
        problem = "cannot be opened as a table file (status " + std::to_string(result) + ")";
    }
    return file;
}

// SQLite's check of the pages: every line it reports, "storage: " first.
void CheckPages(TableFile& file, const char* pragma, std::vector<std::string>& problems) {
    SqliteStatement check(file.Db(), std::string("PRAGMA ") + pragma);
    while (check.Step()) {
        const std::string line = check.ColumnText(0);
        if (line != "ok") {
            problems.push_back("storage: " + line);
        }
    }
}

// What a pass over the records looks at besides each record and its keys.
enum class Pass {
    kWhole,  // every problem, and the next record number against those in use
    kCopy,   // the first problem only; a copy is only read, so its next number does not matter
};

// Every record against the shape and every key column against the record.
void CheckRecords(TableFile& file, std::vector<std::string>& problems, Pass pass) {
    const FileSpec& shape = file.Shape();
    const bool whole = pass == Pass::kWhole;
    std::string columns = "id, data";
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        columns += ", " + KeyColumn(k);
        if (whole && shape.keys[k].Duplicates()) {
            columns += ", " + SeqColumn(k);
        }
    }
    SqliteStatement records(file.Db(), "SELECT " + columns + " FROM ks_record");
    std::int64_t highest = 0;
    std::string folded;
    while ((whole || problems.empty()) && records.Step()) {
        const std::int64_t id = records.ColumnInt(0);
        const std::string_view data = records.ColumnView(1);
        highest = std::max(highest, id);
        const auto where = [id] { return "record " + std::to_string(id); };
        if (shape.Variable() ? data.size() < shape.recordLength || data.size() > kMaxRecordLength
                             : data.size() != shape.recordLength) {
            problems.push_back(
                where() + ": " + std::to_string(data.size()) +
                (shape.Variable() ? " bytes, outside " : " bytes instead of ") +
                std::to_string(shape.recordLength) +
                (shape.Variable() ? " to " + std::to_string(kMaxRecordLength) : std::string()));
        }
        int column = 2;
        for (std::size_t k = 0; k < shape.keys.size(); ++k) {
            const KeyDef& key = shape.keys[k];
            FoldKeyOfRecord(key, data, folded);
            if (records.ColumnView(column++) != folded) {
                problems.push_back(where() + ": key " + std::to_string(k) +
                                   " does not match the record");
            }
            if (whole && key.Duplicates()) {
                highest = std::max(highest, records.ColumnInt(column++));
            }
        }
    }
    if (!whole) {
        return;
    }
    SqliteStatement next(file.Db(), "SELECT next_sequence FROM ks_file");
    if (next.Step() && next.ColumnInt(0) <= highest) {
        problems.push_back("the next record number " + std::to_string(next.ColumnInt(0)) +
                           " is already in use");
    }
}

// Nothing may unwind through SQLite's frames: a callback that throws ends the check as one
// that says stop.
int OnProgress(void* goOn) {
    try {
        return (*static_cast<const std::function<bool()>*>(goOn))() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

}  // namespace

std::vector<std::string> CheckTableFile(const std::filesystem::path& path) {
    std::vector<std::string> problems;
    std::string problem;
    const std::unique_ptr<TableFile> file = OpenToCheck(path, problem);
    if (!file) {
        return {problem};
    }
    const FileSpec& shape = file->Shape();
    try {
        CheckPages(*file, "integrity_check", problems);
        CheckRecords(*file, problems, Pass::kWhole);
        for (std::size_t k = 0; k < shape.keys.size(); ++k) {
            // Each key index must hold every record once: walk it and count.
            SqliteStatement count(file->Db(), "SELECT count(*) FROM ks_record INDEXED BY ks_key" +
                                                  std::to_string(k) + " WHERE " + KeyColumn(k) +
                                                  " IS NOT NULL");
            SqliteStatement total(file->Db(), "SELECT count(*) FROM ks_record NOT INDEXED");
            if (count.Step() && total.Step() && count.ColumnInt(0) != total.ColumnInt(0)) {
                problems.push_back("key " + std::to_string(k) + " indexes " +
                                   std::to_string(count.ColumnInt(0)) + " records of " +
                                   std::to_string(total.ColumnInt(0)));
            }
        }
    } catch (const SqliteError& error) {
        problems.push_back(std::string("storage: ") + error.what());
    }
    return problems;
}

CopyCheck CheckTableCopy(const std::filesystem::path& path, const std::function<bool()>& goOn) {
    CopyCheck result;
    const std::unique_ptr<TableFile> file = OpenToCheck(path, result.problem);
    if (!file) {
        return result;
    }
    result.recordLength = file->Shape().recordLength;
    sqlite3_exec(file->Db(), ("PRAGMA cache_size=" + std::to_string(kCheckCachePages)).c_str(),
                 nullptr, nullptr, nullptr);
    if (goOn) {
        sqlite3_progress_handler(file->Db(), kProgressSteps, OnProgress,
                                 const_cast<std::function<bool()>*>(&goOn));
    }
    std::vector<std::string> problems;
    try {
        CheckPages(*file, "quick_check", problems);
        if (problems.empty()) {
            CheckRecords(*file, problems, Pass::kCopy);
        }
    } catch (const SqliteError& error) {
        problems.push_back(std::string("storage: ") + error.what());
    }
    sqlite3_progress_handler(file->Db(), 0, nullptr, nullptr);
    if (!problems.empty()) {
        result.problem = problems.front();
    }
    return result;
}

}  // namespace ks::engine
