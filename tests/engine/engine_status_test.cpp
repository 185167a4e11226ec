// Every status the engine answers, each produced on purpose: bad calls, missing and foreign
// files, full and failing disks, read-only files, locks held by another engine, transactions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "engine/record_engine.h"
#include "faulty_vfs.h"
#include "ks/engine/table_check.h"
#include "support/run_as.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kLength = 30;

// Key 0: bytes 1-10, unique; key 1: bytes 11-14, duplicates.
std::string Shape() {
    return SpecBuffer(
        kLength, 1024, 2,
        {{1, 10, key_flag::kModifiable}, {11, 4, key_flag::kDuplicates | key_flag::kModifiable}});
}

std::string Rec(const std::string& k0, const std::string& k1 = "GRP1") {
    std::string record(kLength, '.');
    record.replace(0, k0.size(), k0);
    record.replace(10, k1.size(), k1);
    return record;
}

std::string Padded(std::string key) {
    key.resize(10, '.');
    return key;
}

class EngineStatus : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.Folder() + "FDATA20.bt6";
        TableClient creator(engine);
        ASSERT_EQ(creator.Create(path, Shape()), 0);
    }

    ks::test::TempDir dir;
    std::string path;
    RecordEngine engine{FastOptions()};
    TableClient table{engine};
};

TEST_F(EngineStatus, UnknownOperationsAreNotSupported) {
    ASSERT_EQ(table.Open(path), 0);
    EXPECT_EQ(table.Do(99), status::kInvalidOperation);
    EXPECT_EQ(table.Do(op::kGetNext + 100), status::kInvalidOperation);
    EXPECT_EQ(table.Open(path, 3), status::kInvalidOperation) << "no such open mode";
    const std::string descending = SpecBuffer(kLength, 1024, 1, {{1, 10, 64}});
    EXPECT_EQ(table.Create(dir.Folder() + "desc.bt6", descending), status::kInvalidOperation);
}

TEST_F(EngineStatus, ABlockThatIsNotAnOpenFileAnswersThree) {
    table.block.fill(' ');
    EXPECT_EQ(table.Step(op::kGetFirst, 0), status::kFileNotOpen);
    EXPECT_EQ(table.Insert(Rec("A")), status::kFileNotOpen);
    ASSERT_EQ(table.Open(path), 0);
    auto damaged = table.block;
    damaged[20] ^= 0x40;
    std::swap(damaged, table.block);
    EXPECT_EQ(table.Step(op::kGetFirst, 0), status::kFileNotOpen) << "a damaged copy";
    std::swap(damaged, table.block);
    for (int seed = 0; seed < 200; ++seed) {
        std::srand(static_cast<unsigned>(seed));
        for (auto& byte : table.block) {
            byte = static_cast<std::uint8_t>(std::rand());
        }
        EXPECT_EQ(table.Step(op::kGetNext, 0), status::kFileNotOpen);
    }
    ASSERT_EQ(table.Open(path), 0);
    const auto closedBlock = table.block;
    ASSERT_EQ(table.Close(), 0);
    EXPECT_EQ(table.Close(), status::kFileNotOpen);
    table.block = closedBlock;
    EXPECT_EQ(table.Get(op::kGetEqual, "A", 0), status::kFileNotOpen);
    RecordEngine other(FastOptions());
    TableClient stranger(other);
    ASSERT_EQ(stranger.Open(path), 0);
    table.block = stranger.block;
    EXPECT_EQ(table.Step(op::kGetFirst, 0), status::kFileNotOpen)
        << "a block of another engine object";
}

TEST_F(EngineStatus, KeyNumbersTheFileDoesNotHaveAnswerSix) {
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, "A", 2), status::kInvalidKeyNumber);
    EXPECT_EQ(table.Get(op::kGetFirst, "", -1), status::kInvalidKeyNumber);
    EXPECT_EQ(table.Insert(Rec("B"), 5), status::kInvalidKeyNumber);
    EXPECT_EQ(table.Get(op::kGetEqual, "B", 0), status::kKeyNotFound) << "refused, not stored";
}

TEST_F(EngineStatus, BadNamesAnswerElevenAndMissingFilesTwelve) {
    EXPECT_EQ(table.Open(""), status::kInvalidFileName);
    EXPECT_EQ(table.Open("   "), status::kInvalidFileName);
    EXPECT_EQ(table.Open(dir.Folder()), status::kInvalidFileName) << "a folder";
    EXPECT_EQ(table.Create(dir.Folder(), Shape()), status::kInvalidFileName);
    EXPECT_EQ(table.Open(dir.Folder() + "FDATA99.bt6"), status::kFileNotFound);
    EXPECT_EQ(table.Create(dir.Folder() + "missing/FDATA20.bt6", Shape()), status::kFileNotFound);
}

TEST_F(EngineStatus, ANameStartingWithFileColonIsAFileNameNotASqliteAddress) {
    // Only a relative name reaches SQLite as written, so the test works in the folder.
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    const std::string name = "file:FDATA21.bt6?immutable=1";
    const auto created = table.Create(name, Shape());
    const bool asWritten = fs::exists(dir.Path() / name);
    const bool elsewhere =
        fs::exists(dir.Path() / "FDATA21.bt6") || fs::exists(dir.Path() / "FDATA21.bt6.ks-new");
    const auto problems = CheckTableFile(name);
    fs::current_path(before);
    EXPECT_EQ(created, 0);
    EXPECT_TRUE(asWritten);
    EXPECT_FALSE(elsewhere) << "the name was read as an address with parameters";
    EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(EngineStatus, NamesAreFoundWithoutRegardToCaseAndTrailingBlanks) {
    EXPECT_EQ(table.Open(dir.Folder() + "fdata20.BT6   "), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    TableClient again(engine);
    ASSERT_EQ(again.Create(dir.Folder() + "Fdata20.bt6", Shape()), status::kFileLocked)
        << "the open file was found under another case";
    ASSERT_EQ(again.Create(dir.Folder() + "NewFile.bt6", Shape()), 0);
    EXPECT_TRUE(fs::exists(dir.Path() / "NewFile.bt6")) << "created with the name as written";
    // The path ends at the first byte 0; what follows is not part of it.
    again.SetKey(path);
    std::memcpy(again.key.data() + path.size() + 1, "garbage", 7);
    EXPECT_EQ(again.Do(op::kOpen, 0), 0);
}

TEST_F(EngineStatus, ForeignEmptyTruncatedAndDamagedFilesAnswerThirty) {
    EXPECT_EQ(table.Open(dir.Write("text.bt6", "not a table\n")), status::kNotATableFile);
    EXPECT_EQ(table.Open(dir.Write("empty.bt6", "")), status::kNotATableFile);
    {
        sqlite3* other = nullptr;
        const std::string otherPath = dir.Folder() + "other.bt6";
        ASSERT_EQ(sqlite3_open(otherPath.c_str(), &other), SQLITE_OK);
        sqlite3_exec(other, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        EXPECT_EQ(table.Open(otherPath), status::kNotATableFile) << "another SQLite database";
    }
    ASSERT_EQ(table.Open(path), 0);
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(table.Insert(Rec("K" + std::to_string(i), std::to_string(i % 7))), 0);
    }
    ASSERT_EQ(table.Close(), 0);
    const std::string whole = ks::test::TempDir::Read(path);
    ASSERT_GT(whole.size(), 8192U);
    const std::string cut = dir.Write("cut.bt6", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(table.Open(cut), status::kNotATableFile) << "truncated";
    std::string firstPage = whole;
    for (std::size_t i = 100; i < 4096; ++i) {
        firstPage[i] = static_cast<char>(0xA5);
    }
    EXPECT_EQ(table.Open(dir.Write("page1.bt6", firstPage)), status::kNotATableFile);
    std::string dataPages = whole;
    for (std::size_t i = 4096; i < dataPages.size(); ++i) {
        dataPages[i] = static_cast<char>(i * 7);
    }
    const std::string damaged = dir.Write("damaged.bt6", dataPages);
    const auto opened = table.Open(damaged);
    if (opened == 0) {
        EXPECT_EQ(table.Get(op::kGetGreaterOrEqual, "", 0), status::kNotATableFile);
    } else {
        EXPECT_EQ(opened, status::kNotATableFile);
    }
}

// A table file whose schema holds anything the engine did not put there is not a table file:
// a trigger would run on the engine's own writes, a view or a table could stand for one of
// its tables.
TEST_F(EngineStatus, ATableWhoseSchemaHoldsSomethingElseAnswersThirty) {
    const std::string whole = ks::test::TempDir::Read(path);
    for (const char* addition :
         {"CREATE TRIGGER t AFTER INSERT ON ks_record BEGIN DELETE FROM ks_record; END",
          "CREATE VIEW v AS SELECT * FROM ks_record", "CREATE TABLE extra(x)",
          "CREATE INDEX ks_extra ON ks_record(data)", "DROP INDEX ks_key1",
          "ALTER TABLE ks_record ADD COLUMN note TEXT"}) {
        SCOPED_TRACE(addition);
        const std::string copy = dir.Write("changed.bt6", whole);
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(copy.c_str(), &raw), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(raw, addition, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
        EXPECT_EQ(table.Open(copy), status::kNotATableFile);
    }
    EXPECT_EQ(table.Open(path), status::kSuccess) << "the file as the engine made it";
}

TEST_F(EngineStatus, DataLengthsOtherThanTheRecordLengthAnswerTwentyTwo) {
    ASSERT_EQ(table.Open(path), 0);
    EXPECT_EQ(table.Insert(Rec("A").substr(0, kLength - 1)), status::kDataBufferTooShort);
    EXPECT_EQ(table.Insert(Rec("A") + "x"), status::kDataBufferTooShort) << "not padded, not cut";
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    EXPECT_EQ(table.Update(Rec("A") + "x"), status::kDataBufferTooShort);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("A"), 0, kLength - 1), status::kDataBufferTooShort);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("A"), 0, kLength), 0);
    EXPECT_EQ(table.Create(dir.Folder() + "short.bt6", Shape().substr(0, 20)),
              status::kDataBufferTooShort)
        << "a create buffer shorter than its keys";
}

TEST_F(EngineStatus, CreateWithMinusOneKeepsAnExistingFileAndZeroReplacesIt) {
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    ASSERT_EQ(table.Close(), 0);
    TableClient creator(engine);
    EXPECT_EQ(creator.Create(path, Shape(), -1), status::kFileExists);
    ASSERT_EQ(table.Open(path), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("A"), 0), 0);
    ASSERT_EQ(table.Close(), 0);
    EXPECT_EQ(creator.Create(path, Shape(), 0), 0);
    ASSERT_EQ(table.Open(path), 0);
    EXPECT_EQ(table.Get(op::kGetFirst, "", 0), status::kEndOfFile) << "replaced by an empty file";
    EXPECT_EQ(creator.Create(dir.Folder() + "fresh.bt6", Shape(), -1), 0);
}

TEST_F(EngineStatus, CreateOverAFileAnotherProcessHasOpenAnswersEightyFive) {
    RecordEngine otherProcess(FastOptions());
    TableClient holder(otherProcess);
    ASSERT_EQ(holder.Open(path), 0);
    ASSERT_EQ(holder.Insert(Rec("A")), 0);
    ASSERT_EQ(holder.Do(op::kBeginTransaction), 0) << "commits the holder's bundle";
    ASSERT_EQ(holder.Do(op::kEndTransaction), 0);
    TableClient creator(engine);
    EXPECT_EQ(creator.Create(path, Shape(), 0), status::kFileLocked);
    // The holder's writes still land in the file everybody opens.
    ASSERT_EQ(holder.Insert(Rec("B")), 0);
    ASSERT_EQ(holder.Close(), 0);
    ASSERT_EQ(table.Open(path), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("A"), 0), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("B"), 0), 0);
    ASSERT_EQ(table.Close(), 0);
    EXPECT_EQ(creator.Create(path, Shape(), 0), 0) << "replaced once nobody has it open";
}

TEST_F(EngineStatus, CreateRefusesShapesItCannotHold) {
    EXPECT_EQ(table.Create(dir.Folder() + "a.bt6", SpecBuffer(0, 512, 0, {})),
              status::kInvalidRecordLength);
    EXPECT_EQ(table.Create(dir.Folder() + "b.bt6", SpecBuffer(10, 500, 0, {})),
              status::kPageSizeError);
    EXPECT_EQ(table.Create(dir.Folder() + "c.bt6", SpecBuffer(10, 512, 1, {{8, 4, 0}})),
              status::kInvalidKeyPosition);
    EXPECT_EQ(table.Create(dir.Folder() + "d.bt6", SpecBuffer(10, 512, 1, {{1, 0, 0}})),
              status::kInvalidKeyLength);
    EXPECT_FALSE(fs::exists(dir.Path() / "c.bt6"));
}

TEST_F(EngineStatus, ReadOnlyOpensRefuseWritesWithFortySix) {
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    TableClient reader(engine);
    ASSERT_EQ(reader.Open(path, open_mode::kReadOnly), 0);
    EXPECT_EQ(reader.Insert(Rec("B")), status::kAccessDenied);
    ASSERT_EQ(reader.Get(op::kGetEqual, Padded("A"), 0), 0);
    EXPECT_EQ(reader.Update(Rec("A", "GRP2")), status::kAccessDenied);
    EXPECT_EQ(reader.Delete(), status::kAccessDenied);
    EXPECT_EQ(table.Insert(Rec("B")), 0) << "the other open still writes";
}

// Run as the unprivileged user by the test below: writes to a file it may only read.
TEST(EngineStatusChild, DISABLED_WritesToAReadOnlyFile) {
    const char* file = std::getenv("KS_ENGINE_TEST_FILE");
    ASSERT_NE(file, nullptr);
    RecordEngine engine(FastOptions());
    TableClient table(engine);
    std::cout << "open " << table.Open(file) << "\n";
    std::cout << "insert " << table.Insert(Rec("B")) << "\n";
    std::cout << "read " << table.Get(op::kGetEqual, Padded("A"), 0) << "\n";
    std::cout << "delete " << table.Delete() << "\n";
}

TEST_F(EngineStatus, AFileTheProcessMayOnlyReadRefusesWritesWithFortySix) {
    if (!ks::test::CanRunAsNobody()) {
        GTEST_SKIP() << "needs root and setpriv";
    }
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    ASSERT_EQ(table.Close(), 0);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    const auto result =
        ks::test::RunAsNobody({"/usr/bin/env", "KS_ENGINE_TEST_FILE=" + path,
                               ks::test::SelfExecutable(), "--gtest_also_run_disabled_tests",
                               "--gtest_filter=EngineStatusChild.DISABLED_WritesToAReadOnlyFile"});
    EXPECT_NE(result.output.find("open 0\ninsert 46\nread 0\ndelete 46\n"), std::string::npos)
        << result.output;
}

TEST_F(EngineStatus, AFullDiskAnswersEighteenAndAFailingDiskTwo) {
    FaultyVfs faulty("ks-faulty-status");
    EngineOptions options = FastOptions();
    options.vfs = faulty.Name();
    options.bundleOperations = 1;  // each write committed at once, so that it meets the disk
    RecordEngine failing(options);
    TableClient writer(failing);
    ASSERT_EQ(writer.Open(path), 0);
    ASSERT_EQ(writer.Insert(Rec("A")), 0);
    faulty.FailWritesWith(SQLITE_FULL);
    EXPECT_EQ(writer.Insert(Rec("B")), status::kDiskFull);
    EXPECT_EQ(writer.Create(dir.Folder() + "new.bt6", Shape()), status::kDiskFull);
    faulty.FailWritesWith(SQLITE_IOERR_WRITE);
    EXPECT_EQ(writer.Insert(Rec("C")), status::kIoError);
    faulty.FailWritesWith(SQLITE_OK);
    ASSERT_EQ(writer.Open(path), 0);
    EXPECT_EQ(writer.Insert(Rec("D")), 0);
    EXPECT_EQ(writer.Get(op::kGetEqual, Padded("B"), 0), status::kKeyNotFound);
    EXPECT_EQ(writer.Get(op::kGetEqual, Padded("C"), 0), status::kKeyNotFound);
    EXPECT_EQ(writer.Get(op::kGetEqual, Padded("A"), 0), 0);
}

// An open writes the table's session mark: on a full disk it answers 18 like any write, not
// "not a table file" with its hint to restore a file that is whole.
TEST_F(EngineStatus, AnOpenOnAFullDiskAnswersEighteen) {
    FaultyVfs faulty("ks-faulty-open");
    EngineOptions options = FastOptions();
    options.vfs = faulty.Name();
    RecordEngine failing(options);
    TableClient opener(failing);
    faulty.FailWritesWith(SQLITE_FULL);
    EXPECT_EQ(opener.Open(path), status::kDiskFull);
    faulty.FailWritesWith(SQLITE_OK);
    EXPECT_EQ(opener.Open(path), status::kSuccess);
}

TEST_F(EngineStatus, AnEndOfTransactionOnAFullDiskAnswersEighteenAndKeepsNothing) {
    FaultyVfs faulty("ks-faulty-commit");
    EngineOptions options = FastOptions();
    options.vfs = faulty.Name();
    options.bundleOperations = 1;  // the last insert committed at once, for the fresh engine
    RecordEngine failing(options);
    TableClient writer(failing);
    ASSERT_EQ(writer.Open(path), 0);
    ASSERT_EQ(writer.Insert(Rec("A")), 0);
    ASSERT_EQ(writer.Do(op::kBeginTransaction), 0);
    ASSERT_EQ(writer.Insert(Rec("B")), 0);
    ASSERT_EQ(writer.Insert(Rec("C")), 0);
    faulty.FailWritesWith(SQLITE_FULL);
    EXPECT_EQ(writer.Do(op::kEndTransaction), status::kDiskFull);
    faulty.FailWritesWith(SQLITE_OK);
    EXPECT_EQ(writer.Do(op::kEndTransaction), status::kNoTransaction) << "the transaction ended";
    EXPECT_EQ(writer.Get(op::kGetEqual, Padded("A"), 0), 0);
    EXPECT_EQ(writer.Get(op::kGetEqual, Padded("B"), 0), status::kKeyNotFound);
    EXPECT_EQ(writer.Insert(Rec("D")), 0);
    RecordEngine fresh(FastOptions());
    TableClient reader(fresh);
    ASSERT_EQ(reader.Open(path), 0);
    EXPECT_EQ(reader.Get(op::kGetEqual, Padded("D"), 0), 0);
    EXPECT_EQ(reader.Get(op::kGetEqual, Padded("C"), 0), status::kKeyNotFound);
}

TEST_F(EngineStatus, LocksHeldByAnotherEngineAnswerEightyFourAndEightyFive) {
    RecordEngine otherProcess(FastOptions());
    TableClient holder(otherProcess);
    ASSERT_EQ(holder.Open(path), 0);
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    // An open bundle holds the file's write lock as a transaction does: ending the
    // engine's bundles (an empty transaction does) lets the other engine write.
    ASSERT_EQ(table.Do(op::kBeginTransaction), 0);
    ASSERT_EQ(table.Do(op::kEndTransaction), 0);

    ASSERT_EQ(holder.Do(op::kBeginTransaction), 0);
    ASSERT_EQ(holder.Insert(Rec("B")), 0);
    EXPECT_EQ(table.Insert(Rec("C")), status::kRecordLocked);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("A"), 0), 0) << "reading goes on meanwhile";
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("B"), 0), status::kKeyNotFound);
    ASSERT_EQ(holder.Do(op::kEndTransaction), 0);
    EXPECT_EQ(table.Insert(Rec("C")), 0);

    ASSERT_EQ(holder.Close(), 0);
    RecordEngine third(FastOptions());
    TableClient sole(third);
    const std::string other = dir.Folder() + "other.bt6";
    ASSERT_EQ(sole.Create(other, Shape()), 0);
    ASSERT_EQ(sole.Open(other, open_mode::kExclusive), 0);
    TableClient late(engine);
    EXPECT_EQ(late.Open(other), status::kFileLocked);
    ASSERT_EQ(sole.Close(), 0);
    EXPECT_EQ(late.Open(other), 0) << "the lock ends with the exclusive open";
}

TEST_F(EngineStatus, ARecordDeletedUnderAnotherOpenAnswersEightNeverEighty) {
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    TableClient other(engine);
    ASSERT_EQ(other.Open(path), 0);
    ASSERT_EQ(other.Get(op::kGetEqual, Padded("A"), 0), 0);
    ASSERT_EQ(table.Get(op::kGetEqual, Padded("A"), 0), 0);
    ASSERT_EQ(table.Delete(), 0);
    EXPECT_EQ(other.Update(Rec("A", "GRP2")), status::kInvalidPositioning);
    EXPECT_EQ(other.Delete(), status::kInvalidPositioning);
}

TEST_F(EngineStatus, TransactionsSpanEveryOpenFile) {
    const std::string second = dir.Folder() + "FDATA21.bt6";
    TableClient other(engine);
    ASSERT_EQ(other.Create(second, Shape()), 0);
    ASSERT_EQ(table.Open(path), 0);
    EXPECT_EQ(table.Do(op::kEndTransaction), status::kNoTransaction);
    EXPECT_EQ(table.Do(op::kAbortTransaction), status::kNoTransaction);

    ASSERT_EQ(table.Do(op::kBeginTransaction), 0);
    EXPECT_EQ(table.Do(op::kBeginConcurrentTransaction), status::kTransactionActive);
    ASSERT_EQ(other.Open(second), 0) << "a file opened inside the transaction joins it";
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    ASSERT_EQ(other.Insert(Rec("B")), 0);
    ASSERT_EQ(table.Do(op::kAbortTransaction), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("A"), 0), status::kKeyNotFound);
    EXPECT_EQ(other.Get(op::kGetEqual, Padded("B"), 0), status::kKeyNotFound);

    ASSERT_EQ(table.Do(op::kBeginConcurrentTransaction), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    ASSERT_EQ(other.Insert(Rec("B")), 0);
    ASSERT_EQ(other.Close(), 0) << "closing inside the transaction keeps its writes in it";
    ASSERT_EQ(table.Do(op::kEndTransaction), 0);
    EXPECT_EQ(table.Do(op::kEndTransaction), status::kNoTransaction);

    RecordEngine fresh(FastOptions());
    TableClient check(fresh);
    ASSERT_EQ(check.Open(second), 0);
    EXPECT_EQ(check.Get(op::kGetEqual, Padded("B"), 0), 0);
    ASSERT_EQ(check.Open(path), 0);
    EXPECT_EQ(check.Get(op::kGetEqual, Padded("A"), 0), 0);
}

TEST_F(EngineStatus, StopClosesEveryFileAndRollsBackTheTransaction) {
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    ASSERT_EQ(table.Do(op::kBeginTransaction), 0);
    ASSERT_EQ(table.Insert(Rec("B")), 0);
    ASSERT_EQ(table.Do(op::kStop), 0);
    EXPECT_EQ(table.Step(op::kGetFirst, 0), status::kFileNotOpen);
    EXPECT_EQ(table.Do(op::kStop), 0) << "a second stop";
    EXPECT_EQ(table.Do(op::kEndTransaction), status::kNoTransaction);
    ASSERT_EQ(table.Open(path), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("A"), 0), 0);
    EXPECT_EQ(table.Get(op::kGetEqual, Padded("B"), 0), status::kKeyNotFound);
}

TEST_F(EngineStatus, AKeyBufferShorterThanTheKeyAnswersTwentyOne) {
    ASSERT_EQ(table.Open(path), 0);
    ASSERT_EQ(table.Insert(Rec("A")), 0);
    table.SetKey(Padded("A"));
    table.length = 100;
    EXPECT_EQ(table.Do(op::kGetEqual, 0, 9), status::kKeyBufferTooShort);
    EXPECT_EQ(table.Do(op::kGetEqual, 0, 10), 0);
}

}  // namespace
}  // namespace ks::engine::test
