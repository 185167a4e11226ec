#include "engine/table_check.h"

#include <algorithm>
#include <memory>

#include "engine/key_bytes.h"
#include "engine/table_file.h"
#include "engine/table_schema.h"

namespace ks::engine {

std::vector<std::string> CheckTableFile(const std::filesystem::path& path) {
    std::vector<std::string> problems;
    std::unique_ptr<TableFile> file;
    TableOpenOptions options;
    options.readOnly = true;  // a check writes nothing, not even a new session mark
    if (const auto result = TableFile::Open(path, options, file); result != 0) {
        problems.push_back("cannot be opened as a table file (status " + std::to_string(result) +
                           ")");
        return problems;
    }
    const FileSpec& shape = file->Shape();
    try {
        SqliteStatement integrity(file->Db(), "PRAGMA integrity_check");
        while (integrity.Step()) {
            const std::string line = integrity.ColumnText(0);
            if (line != "ok") {
                problems.push_back("storage: " + line);
            }
        }
        std::string columns = "id, data";
        for (std::size_t k = 0; k < shape.keys.size(); ++k) {
            columns += ", " + KeyColumn(k);
            if (shape.keys[k].Duplicates()) {
                columns += ", " + SeqColumn(k);
            }
        }
        SqliteStatement records(file->Db(), "SELECT " + columns + " FROM ks_record ORDER BY id");
        std::int64_t highest = 0;
        while (records.Step()) {
            const std::int64_t id = records.ColumnInt(0);
            const std::string data = records.ColumnBlob(1);
            highest = std::max(highest, id);
            const std::string where = "record " + std::to_string(id);
            if (shape.Variable()
                    ? data.size() < shape.recordLength || data.size() > kMaxRecordLength
                    : data.size() != shape.recordLength) {
                problems.push_back(
                    where + ": " + std::to_string(data.size()) +
                    (shape.Variable() ? " bytes, outside " : " bytes instead of ") +
                    std::to_string(shape.recordLength) +
                    (shape.Variable() ? " to " + std::to_string(kMaxRecordLength) : std::string()));
            }
            int column = 2;
            for (std::size_t k = 0; k < shape.keys.size(); ++k) {
                const KeyDef& key = shape.keys[k];
                if (records.ColumnBlob(column++) != FoldKey(key, KeyOfRecord(key, data))) {
                    problems.push_back(where + ": key " + std::to_string(k) +
                                       " does not match the record");
                }
                if (key.Duplicates()) {
                    highest = std::max(highest, records.ColumnInt(column++));
                }
            }
        }
        SqliteStatement next(file->Db(), "SELECT next_sequence FROM ks_file");
        if (next.Step() && next.ColumnInt(0) <= highest) {
            problems.push_back("the next record number " + std::to_string(next.ColumnInt(0)) +
                               " is already in use");
        }
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

}  // namespace ks::engine
