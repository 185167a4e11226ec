#include "ks/engine/genuine_import.h"

#include <system_error>

#include "engine/genuine/byte_source.h"
#include "engine/genuine/genuine_file.h"
#include "engine/genuine/genuine_shape.h"
#include "engine/key_bytes.h"
#include "engine/status_map.h"
#include "engine/table_file.h"
#include "ks/engine/btr_codes.h"

namespace ks::engine::genuine {
namespace {

std::string NameOf(const std::filesystem::path& path) {
    return path.filename().string();
}

// Which key without duplicates already holds the record's value, for the refusal; read
// inside the bundle of the records written so far.
std::string KeyHeldTwice(TableFile& table, std::string_view record) {
    const FileSpec& shape = table.Shape();
    for (std::size_t k = 0; k < shape.keys.size(); ++k) {
        if (shape.keys[k].Duplicates()) {
            continue;
        }
        const std::string folded = FoldKeyOfRecord(shape.keys[k], record);
        const auto found = table.FindInWindow(k, Seek::kGreaterOrEqual, folded, 0);
        if (found && found->indexKey == folded) {
            return "key " + std::to_string(k);
        }
    }
    return "a key";
}

}  // namespace

ImportResult ImportGenuineTable(const std::filesystem::path& source,
                                const std::filesystem::path& target, const ImportOptions& options,
                                std::string name) {
    ImportResult result;
    if (name.empty()) {
        name = NameOf(source);
    }
    TableOpenOptions tableOptions;
    tableOptions.waitForDisk = options.waitForDisk;
    try {
        FileByteSource bytes(source);
        if (!bytes.Opened()) {
            return {status::kFileNotFound, name + ": cannot be opened for reading", 0};
        }
        GenuineFile genuine(bytes, name);
        const FileSpec shape = OurShape(genuine.Shape(), name);
        std::uint32_t records = 0;
        const std::int16_t created =
            TableFile::Create(target, shape, tableOptions, [&](TableFile& table) {
                genuine.ForEachRecord(
                    [&](std::string_view record, const GenuineFile::Order& order) {
                        std::int64_t id = 0;
                        const std::int16_t inserted = table.InsertOrdered(record, order, id);
                        if (inserted == status::kDuplicateKey) {
                            throw GenuineRefusal{
                                status::kDuplicateKey,
                                name + ": record " + std::to_string(records + 1) +
                                    " has the value of " + KeyHeldTwice(table, record) +
                                    " of an earlier record, and the key allows no duplicates"};
                        }
                        ++records;
                    });
            });
        if (created != status::kSuccess) {
            return {created, NameOf(target) + ": open elsewhere, not replaced", 0};
        }
        result.records = records;
        result.recordLength = shape.recordLength;
    } catch (const GenuineRefusal& refusal) {
        return {refusal.status, refusal.reason, 0};
    } catch (const SqliteError& error) {
        return {StatusOfSqlite(error.Code()), NameOf(target) + ": " + error.what(), 0};
    } catch (const std::filesystem::filesystem_error& error) {
        return {StatusOfSystemError(error.code()), NameOf(target) + ": " + error.what(), 0};
    } catch (const std::system_error& error) {
        return {StatusOfSystemError(error.code()), NameOf(target) + ": " + error.what(), 0};
    } catch (const std::bad_alloc&) {
        return {status::kIoError, name + ": not enough memory to read the file", 0};
    }
    return result;
}

}  // namespace ks::engine::genuine
