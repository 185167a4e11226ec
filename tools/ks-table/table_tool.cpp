#include "ks-table/table_tool.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <iostream>
#include <optional>

#include "ks-table/key_description.h"
#include "ks-table/record_escape.h"
#include "ks/engine/btr_codes.h"
#include "ks/engine/file_spec.h"
#include "ks/engine/genuine_import.h"
#include "ks/engine/table_check.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks::engine::tool {
namespace {

constexpr const char* kUsage =
    "usage: ks-table create FILE --record-length N [--page-size N] [--file-flags N]\n"
    "                       [--key KEY]... [--keep]\n"
    "       ks-table stat FILE\n"
    "       ks-table dump FILE [--key N]\n"
    "       ks-table load FILE [INPUT]\n"
    "       ks-table check FILE\n"
    "       ks-table import GENUINE FILE\n"
    "KEY: segments POSITION:LENGTH[:FLAGS] joined by \"+\", FLAGS among dup,mod,nocase,lower,\n"
    "     bin,zstr,int,uint,autoinc\n"
    "     (e.g. --key 1:10:mod --key 26:10:dup,mod+9:13:dup,mod,nocase)\n"
    "Records are one per line: bytes 0x20-0x7E as they are except \"\\\" written \"\\\\\",\n"
    "any other byte as \\xHH. --keep refuses to replace an existing file.\n"
    "import builds FILE from GENUINE, a table file of the classic engine's 6.x format.\n";

struct UsageError {
    std::string message;
};

// One open file of the tool, with its own block and buffers.
class Table {
  public:
    Table(BtrCall& engine, std::string path) : m_engine(engine), m_path(std::move(path)) {
        m_block.fill(' ');
    }

    std::int16_t Call(std::uint16_t operation, std::int8_t keyNumber, std::string& data,
                      std::uint32_t& length) {
        return m_engine.Call(operation, m_block.data(), data.data(), length, m_key.data(),
                             static_cast<std::uint8_t>(m_key.size()), keyNumber);
    }
    std::int16_t PathCall(std::uint16_t operation, std::int8_t keyNumber, std::string& data,
                          std::uint32_t& length) {
        m_key.fill(0);
        std::copy_n(m_path.begin(), m_path.size(), m_key.begin());
        return Call(operation, keyNumber, data, length);
    }
    std::int16_t Open(std::int8_t mode) {
        std::string none(1, '\0');
        std::uint32_t length = 0;
        return PathCall(op::kOpen, mode, none, length);
    }
    std::int16_t Close() {
        std::string none(1, '\0');
        std::uint32_t length = 0;
        return Call(op::kClose, 0, none, length);
    }

  private:
    BtrCall& m_engine;
    std::string m_path;
    std::array<std::uint8_t, kPositionBlockSize> m_block{};
    std::array<std::uint8_t, kKeyBufferSize> m_key{};
};

std::uint16_t Number(const std::string& option, const std::string& text) {
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw UsageError{option + " needs a number from 0 to 65535, not \"" + text + "\""};
    }
    return value;
}

// The Windows-1252 path the engine takes, from a UTF-8 argument.
std::string EnginePath(const std::string& argument) {
    const auto path = TryUtf8ToCp1252(argument);
    if (!path || path->empty()) {
        throw UsageError{"the file name \"" + argument + "\" cannot be written in Windows-1252"};
    }
    // The key buffer keeps a byte 0 after the path; a longer name would reach the engine cut
    // short and name another file.
    if (path->size() >= kKeyBufferSize) {
        throw UsageError{"the file name \"" + argument + "\" is longer than " +
                         std::to_string(kKeyBufferSize - 1) + " bytes"};
    }
    return *path;
}

std::string CreateBuffer(const FileSpec& shape) {
    std::string buffer = EncodeFileSpec(shape, 0);
    if (buffer.size() < kCreateBufferSize) {
        buffer.resize(kCreateBufferSize, '\0');
    }
    return buffer;
}

int Create(const std::vector<std::string>& args, BtrCall& engine, std::ostream& out,
           std::ostream& err) {
    FileSpec shape;
    shape.pageSize = 4096;
    bool haveLength = false;
    bool keep = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--keep") {
            keep = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            throw UsageError{"unknown option or missing value: " + option};
        }
        const std::string& value = args[++i];
        if (option == "--record-length") {
            shape.recordLength = Number(option, value);
            haveLength = true;
        } else if (option == "--page-size") {
            shape.pageSize = Number(option, value);
        } else if (option == "--file-flags") {
            shape.fileFlags = Number(option, value);
        } else if (option == "--key") {
            KeyDef key;
            std::string error;
            if (!ParseKeyDescription(value, key, error)) {
                throw UsageError{error};
            }
            shape.keys.push_back(std::move(key));
        } else {
            throw UsageError{"unknown option: " + option};
        }
    }
    if (!haveLength) {
        throw UsageError{"create needs --record-length"};
    }
    Table table(engine, EnginePath(args[1]));
    std::string buffer = CreateBuffer(shape);
    auto length = static_cast<std::uint32_t>(buffer.size());
    const auto result = table.PathCall(op::kCreate, keep ? -1 : 0, buffer, length);
    if (result != status::kSuccess) {
        err << "ks-table: cannot create " << args[1] << ": status " << StatusText(result) << "\n";
        return kExitFailed;
    }
    out << "created " << args[1] << "\n";
    return kExitOk;
}

// Reads the shape of an open table through the stat operation.
std::optional<FileSpec> StatOf(Table& table, std::uint32_t& records, std::int16_t& result) {
    std::string buffer(kSpecHeaderSize + kKeySpecSize * 256, '\0');
    auto length = static_cast<std::uint32_t>(buffer.size());
    result = table.Call(op::kStat, 0, buffer, length);
    if (result != status::kSuccess) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
    records = static_cast<std::uint32_t>(bytes[6] | (bytes[7] << 8) | (bytes[8] << 16) |
                                         (bytes[9] << 24));
    FileSpec shape;
    result = ParseFileSpec(bytes, length, shape);
    if (result != status::kSuccess) {
        return std::nullopt;
    }
    return shape;
}

int Stat(const std::vector<std::string>& args, BtrCall& engine, std::ostream& out,
         std::ostream& err) {
    if (args.size() != 2) {
        throw UsageError{"stat takes one file"};
    }
    Table table(engine, EnginePath(args[1]));
    std::int16_t result = table.Open(open_mode::kReadOnly);
    std::uint32_t records = 0;
    std::optional<FileSpec> shape;
    if (result == status::kSuccess) {
        shape = StatOf(table, records, result);
        table.Close();
    }
    if (!shape) {
        err << "ks-table: cannot read " << args[1] << ": status " << StatusText(result) << "\n";
        return kExitFailed;
    }
    out << "record length: " << shape->recordLength << "\n"
        << "page size: " << shape->pageSize << "\n"
        << "file flags: " << shape->fileFlags
        << (shape->Variable() ? " (variable-length records)" : "") << "\n"
        << "records: " << records << "\n"
        << "keys: " << shape->keys.size() << "\n";
    for (std::size_t k = 0; k < shape->keys.size(); ++k) {
        out << "key " << k << ": " << FormatKeyDescription(shape->keys[k]) << "\n";
    }
    return kExitOk;
}

int Dump(const std::vector<std::string>& args, BtrCall& engine, std::ostream& out,
         std::ostream& err) {
    std::int8_t keyNumber = 0;
    if (args.size() == 4 && args[2] == "--key") {
        const auto value = Number("--key", args[3]);
        if (value > 118) {
            throw UsageError{"--key takes a key number"};
        }
        keyNumber = static_cast<std::int8_t>(value);
    } else if (args.size() != 2) {
        throw UsageError{"dump takes one file and an optional --key N"};
    }
    Table table(engine, EnginePath(args[1]));
    std::int16_t result = table.Open(open_mode::kReadOnly);
    std::string record(65536, '\0');
    std::uint16_t operation = op::kGetFirst;
    while (result == status::kSuccess) {
        auto length = static_cast<std::uint32_t>(record.size());
        result = table.Call(operation, keyNumber, record, length);
        if (result == status::kSuccess) {
            out << EscapeRecord(std::string_view(record.data(), length)) << "\n";
        }
        operation = op::kGetNext;
    }
    table.Close();
    if (result != status::kEndOfFile) {
        err << "ks-table: cannot dump " << args[1] << ": status " << StatusText(result) << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int Load(const std::vector<std::string>& args, BtrCall& engine, std::istream& in, std::ostream& out,
         std::ostream& err) {
    if (args.size() != 2 && args.size() != 3) {
        throw UsageError{"load takes one file and an optional input file"};
    }
    std::ifstream inputFile;
    std::istream* input = &in;
    if (args.size() == 3 && args[2] != "-") {
        inputFile.open(args[2], std::ios::binary);
        if (!inputFile) {
            err << "ks-table: cannot read " << args[2] << "\n";
            return kExitFailed;
        }
        input = &inputFile;
    }
    Table table(engine, EnginePath(args[1]));
    std::int16_t result = table.Open(open_mode::kNormal);
    if (result != status::kSuccess) {
        err << "ks-table: cannot open " << args[1] << ": status " << StatusText(result) << "\n";
        return kExitFailed;
    }
    std::string none(1, '\0');
    std::uint32_t noLength = 0;
    // One transaction: the file gets all the lines or none of them.
    result = table.Call(op::kBeginTransaction, 0, none, noLength);
    std::string line;
    std::size_t lineNumber = 0;
    std::size_t loaded = 0;
    std::string problem;
    while (result == status::kSuccess && problem.empty() && std::getline(*input, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        auto record = UnescapeRecord(line);
        if (!record) {
            problem = "line " + std::to_string(lineNumber) + R"(: bad escape (\\ or \xHH))";
            break;
        }
        auto length = static_cast<std::uint32_t>(record->size());
        result = table.Call(op::kInsert, 0, *record, length);
        if (result != status::kSuccess) {
            problem = "line " + std::to_string(lineNumber) + ": status " + StatusText(result);
        }
        ++loaded;
    }
    if (problem.empty() && result == status::kSuccess) {
        result = table.Call(op::kEndTransaction, 0, none, noLength);
        if (result != status::kSuccess) {
            problem = "commit: status " + StatusText(result);
        }
    } else {
        table.Call(op::kAbortTransaction, 0, none, noLength);
        if (problem.empty()) {
            problem = "status " + StatusText(result);
        }
    }
    table.Close();
    if (!problem.empty()) {
        err << "ks-table: nothing loaded into " << args[1] << ": " << problem << "\n";
        return kExitFailed;
    }
    out << "loaded " << loaded << " records into " << args[1] << "\n";
    return kExitOk;
}

int Check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) {
        throw UsageError{"check takes one file"};
    }
    const auto problems = CheckTableFile(NativePath(EnginePath(args[1])));
    for (const auto& problem : problems) {
        err << "ks-table: " << args[1] << ": " << problem << "\n";
    }
    if (!problems.empty()) {
        return kExitFailed;
    }
    out << args[1] << ": ok\n";
    return kExitOk;
}

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3) {
        throw UsageError{"import takes a genuine file and the file to build"};
    }
    const auto result = genuine::ImportGenuineTable(NativePath(EnginePath(args[1])),
                                                    NativePath(EnginePath(args[2])));
    if (result.status != status::kSuccess) {
        err << "ks-table: cannot import " << args[1] << ": status " << StatusText(result.status)
            << ": " << result.reason << "\n";
        return kExitFailed;
    }
    out << "imported " << result.records << " records from " << args[1] << " into " << args[2]
        << "\n";
    return kExitOk;
}

}  // namespace

std::string StatusText(std::int16_t result) {
    const char* name = "engine status";
    switch (result) {
        case status::kInvalidOperation:
            name = "operation not supported";
            break;
        case status::kIoError:
            name = "I/O error";
            break;
        case status::kFileNotOpen:
            name = "file not open";
            break;
        case status::kKeyNotFound:
            name = "key not found";
            break;
        case status::kDuplicateKey:
            name = "duplicate key";
            break;
        case status::kInvalidKeyNumber:
            name = "no such key";
            break;
        case status::kModifiableKeyChanged:
            name = "key may not change";
            break;
        case status::kInvalidFileName:
            name = "invalid file name";
            break;
        case status::kFileNotFound:
            name = "file not found";
            break;
        case status::kDiskFull:
            name = "disk full";
            break;
        case status::kDataBufferTooShort:
            name = "record length differs";
            break;
        case status::kPageSizeError:
            name = "bad page size";
            break;
        case status::kInvalidKeyPosition:
            name = "key outside the record";
            break;
        case status::kInvalidRecordLength:
            name = "bad record length";
            break;
        case status::kInvalidKeyLength:
            name = "bad key length";
            break;
        case status::kNotATableFile:
            name = "not a table file";
            break;
        case status::kAccessDenied:
            name = "access denied";
            break;
        case status::kFileExists:
            name = "file exists";
            break;
        case status::kRecordLocked:
        case status::kFileLocked:
            name = "locked by another process";
            break;
        default:
            break;
    }
    return std::to_string(result) + " (" + name + ")";
}

int RunTableTool(const std::vector<std::string>& args, BtrCall& engine, std::istream& in,
                 std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return kExitOk;
    }
    try {
        if (args.size() < 2) {
            throw UsageError{args.empty() ? "no command" : "no file"};
        }
        const std::string& command = args[0];
        if (command == "create") {
            return Create(args, engine, out, err);
        }
        if (command == "stat") {
            return Stat(args, engine, out, err);
        }
        if (command == "dump") {
            return Dump(args, engine, out, err);
        }
        if (command == "load") {
            return Load(args, engine, in, out, err);
        }
        if (command == "check") {
            return Check(args, out, err);
        }
        if (command == "import") {
            return Import(args, out, err);
        }
        throw UsageError{"unknown command: " + command};
    } catch (const UsageError& error) {
        err << "ks-table: " << error.message << "\n" << kUsage;
        return kExitUsage;
    }
}

}  // namespace ks::engine::tool
