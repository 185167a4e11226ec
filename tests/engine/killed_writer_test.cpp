// Writers killed with SIGKILL at random moments (fixed seeds): every table file must come back
// whole, holding exactly the operations of a prefix of what the writer did, and at least every
// bundle or transaction whose commit the writer had seen.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

#include "durability_support.h"
#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"
#include "support/temp_dir.h"

namespace ks::test::durability {
namespace {

using engine::RecordEngine;
namespace status = engine::status;

constexpr int kTables = 3;
constexpr std::uint32_t kKeys = 300;
constexpr std::int32_t kMaxUnits = 200000;
// Messages of the child: units report 2 * index (+1 when the unit itself committed
// everything before it, as a transaction or a stop does); a bundle committed on table t
// reports -1 - t.

enum class WriteKind { kInsert, kUpdate, kDelete };

struct Write {
    int table = 0;
    WriteKind kind = WriteKind::kInsert;
    std::uint32_t key = 0;
    std::uint32_t version = 0;
};

enum class UnitType { kSingle, kTransaction, kAbortedTransaction, kReopen, kStop };

struct Unit {
    UnitType type = UnitType::kSingle;
    std::vector<Write> writes;
    int table = 0;  // of a reopen
};

// The writer's work, the same in the child that does it and in the parent that checks it.
class Script {
  public:
    explicit Script(std::uint32_t seed) : m_rng(seed), m_version(seed * 1000000U) {}

    Unit Next() {
        Unit unit;
        const std::uint32_t pick = Below(100);
        if (pick < 2) {
            unit.type = UnitType::kStop;
        } else if (pick < 5) {
            unit.type = UnitType::kReopen;
            unit.table = static_cast<int>(Below(kTables));
        } else if (pick < 20) {
            unit.type = pick < 17 ? UnitType::kTransaction : UnitType::kAbortedTransaction;
            const std::uint32_t count = 2 + Below(5);
            for (std::uint32_t i = 0; i < count; ++i) {
                unit.writes.push_back(NextWrite());
            }
        } else {
            unit.writes.push_back(NextWrite());
        }
        return unit;
    }

  private:
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(m_rng() % n); }

    Write NextWrite() {
        Write write;
        write.table = static_cast<int>(Below(kTables));
        const std::uint32_t pick = Below(100);
        write.kind =
            pick < 45 ? WriteKind::kInsert : (pick < 75 ? WriteKind::kUpdate : WriteKind::kDelete);
        write.key = Below(kKeys);
        write.version = ++m_version;
        return write;
    }

    std::mt19937 m_rng;
    std::uint32_t m_version;
};

void Apply(Contents& table, const Write& write) {
    const std::string key = KeyText(write.key);
    switch (write.kind) {
        case WriteKind::kInsert:
            table.emplace(key, MakeRecord(write.key, write.version));
            break;
        case WriteKind::kUpdate:
            if (table.count(key) != 0) {
                table[key] = MakeRecord(write.key, write.version);
            }
            break;
        case WriteKind::kDelete:
            table.erase(key);
            break;
    }
}

// What a unit does to one table.
void Apply(Contents& table, int tableNumber, const Unit& unit) {
    if (unit.type != UnitType::kSingle && unit.type != UnitType::kTransaction) {
        return;
    }
    for (const auto& write : unit.writes) {
        if (write.table == tableNumber) {
            Apply(table, write);
        }
    }
}

// 0, or a code saying which call of the child answered what it should not.
int Perform(TableClient& table, const Write& write) {
    std::string record;
    switch (write.kind) {
        case WriteKind::kInsert: {
            const auto result = table.Insert(MakeRecord(write.key, write.version));
            return result == status::kSuccess || result == status::kDuplicateKey ? 0 : 20;
        }
        case WriteKind::kUpdate:
        case WriteKind::kDelete: {
            const auto found = table.GetEqual(0, KeyText(write.key), record);
            if (found == status::kKeyNotFound) {
                return 0;
            }
            if (found != status::kSuccess) {
                return 21;
            }
            const auto result = write.kind == WriteKind::kUpdate
                                    ? table.Update(MakeRecord(write.key, write.version))
                                    : table.Delete();
            return result == status::kSuccess ? 0 : 22;
        }
    }
    return 23;
}

int OpenAll(std::vector<TableClient>& tables) {
    for (auto& table : tables) {
        if (table.Open() != status::kSuccess) {
            return 11;
        }
    }
    return 0;
}

// The child: runs the script until it is killed, reporting each unit and each bundle commit.
int RunWriter(const std::vector<std::string>& paths, std::uint32_t seed, int out) {
    // Every other seed: small bundles, so that kills also meet bundles ended by their count,
    // and no wait for the disk; the others run as the program does.
    engine::EngineOptions options;
    if (seed % 2 == 0) {
        options = NoSyncOptions();
        options.bundleOperations = 20;
    }
    options.onBundleCommitted = [out, &paths](const std::filesystem::path& file) {
        for (std::size_t t = 0; t < paths.size(); ++t) {
            if (std::filesystem::equivalent(file, paths[t])) {
                Report(out, -1 - static_cast<std::int32_t>(t));
            }
        }
    };
    RecordEngine engine(options);
    std::vector<TableClient> tables;
    for (const auto& path : paths) {
        tables.emplace_back(engine, path);
    }
    if (const int failure = OpenAll(tables); failure != 0) {
        return failure;
    }
    Script script(seed);
    for (std::int32_t index = 0; index < kMaxUnits; ++index) {
        const Unit unit = script.Next();
        bool committedAll = false;
        switch (unit.type) {
            case UnitType::kSingle:
                if (const int failure =
                        Perform(tables[static_cast<std::size_t>(unit.writes.front().table)],
                                unit.writes.front());
                    failure != 0) {
                    return failure;
                }
                break;
            case UnitType::kTransaction:
            case UnitType::kAbortedTransaction:
                if (EngineCall(engine, engine::op::kBeginTransaction) != status::kSuccess) {
                    return 30;
                }
                for (const auto& write : unit.writes) {
                    if (const int failure =
                            Perform(tables[static_cast<std::size_t>(write.table)], write);
                        failure != 0) {
                        return failure;
                    }
                }
                if (EngineCall(engine, unit.type == UnitType::kTransaction
                                           ? engine::op::kEndTransaction
                                           : engine::op::kAbortTransaction) != status::kSuccess) {
                    return 31;
                }
                committedAll = true;
                break;
            case UnitType::kReopen: {
                auto& table = tables[static_cast<std::size_t>(unit.table)];
                if (table.Close() != status::kSuccess || table.Open() != status::kSuccess) {
                    return 40;
                }
                break;
            }
            case UnitType::kStop:
                if (EngineCall(engine, engine::op::kStop) != status::kSuccess) {
                    return 41;
                }
                if (const int failure = OpenAll(tables); failure != 0) {
                    return failure;
                }
                committedAll = true;
                break;
        }
        Report(out, index * 2 + (committedAll ? 1 : 0));
    }
    return EngineCall(engine, engine::op::kStop) == status::kSuccess ? 0 : 42;
}

struct Progress {
    std::int32_t done = 0;  // units whose call returned
    // Per table, the units known to be committed there.
    std::array<std::int32_t, kTables> committed{};
};

Progress ReadProgress(const std::vector<std::int32_t>& messages) {
    Progress progress;
    for (const std::int32_t message : messages) {
        if (message < 0) {
            progress.committed[static_cast<std::size_t>(-1 - message)] = progress.done;
            continue;
        }
        progress.done = message / 2 + 1;
        if ((message & 1) != 0) {
            progress.committed.fill(progress.done);
        }
    }
    return progress;
}

TEST(KilledWriter, EveryFileHoldsAPrefixOfTheWorkWithEveryCommitSeen) {
    TempDir dir;
    std::vector<std::string> paths;
    {
        RecordEngine engine;
        for (int t = 0; t < kTables; ++t) {
            paths.push_back(dir.Folder() + "FDATK2" + std::to_string(t) + ".bt6");
            TableClient table(engine, paths.back());
            ASSERT_EQ(table.Create(), status::kSuccess);
        }
    }
    std::vector<Contents> model(kTables);
    std::mt19937 timing(20240611);
    constexpr int kRounds = 40;
    int roundsWithCommits = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::uint32_t seed = 7000U + static_cast<std::uint32_t>(round);
        Child child([&](int out, int) { return RunWriter(paths, seed, out); });
        std::vector<std::int32_t> messages;
        if (round % 4 == 0) {
            // A kill soon after the start, to meet the opens.
            std::this_thread::sleep_for(std::chrono::microseconds(100 + timing() % 8000));
        } else {
            // A kill once the writer has done a chosen number of units, and a moment more:
            // anywhere in its work, whatever the speed of the machine. Every fourth of these
            // rounds goes on long enough for bundles to end by their age.
            const std::int32_t target = 1 + static_cast<std::int32_t>(timing() % 250);
            std::int32_t message = 0;
            while (child.NextMessage(message, 20000)) {
                messages.push_back(message);
                if (message >= 0 && message / 2 + 1 >= target) {
                    break;
                }
            }
            const auto moreUs = round % 4 == 3 ? 40000 + timing() % 60000 : timing() % 3000;
            std::this_thread::sleep_for(std::chrono::microseconds(moreUs));
        }
        child.Kill();
        const int ending = child.Wait();
        ASSERT_TRUE(ending == -SIGKILL)
            << "round " << round << ": the writer ended with " << ending << " before it was killed";
        for (const std::int32_t message : child.Messages()) {
            messages.push_back(message);
        }
        const Progress progress = ReadProgress(messages);
        roundsWithCommits += progress.committed[0] > 0 ? 1 : 0;

        Script replay(seed);
        std::vector<Unit> units;
        for (std::int32_t u = 0; u <= progress.done; ++u) {
            units.push_back(replay.Next());
        }
        for (int t = 0; t < kTables; ++t) {
            const std::string& path = paths[static_cast<std::size_t>(t)];
            Contents actual;
            std::string problem;
            ASSERT_TRUE(ReadTable(path, actual, problem))
                << "round " << round << ", table " << t << ": " << problem;
            EXPECT_EQ(IntegrityCheck(path), "ok") << "round " << round << ", table " << t;
            EXPECT_TRUE(SideFiles(path).empty()) << "round " << round << ", table " << t;
            Contents expected = model[static_cast<std::size_t>(t)];
            std::int32_t applied = 0;
            const std::int32_t committed = progress.committed[static_cast<std::size_t>(t)];
            for (; applied < committed; ++applied) {
                Apply(expected, t, units[static_cast<std::size_t>(applied)]);
            }
            bool matched = expected == actual;
            while (!matched && applied <= progress.done) {
                Apply(expected, t, units[static_cast<std::size_t>(applied)]);
                ++applied;
                matched = expected == actual;
            }
            ASSERT_TRUE(matched) << "round " << round << ", table " << t << ": " << actual.size()
                                 << " records match no state between unit " << committed
                                 << " and unit " << progress.done + 1;
            model[static_cast<std::size_t>(t)] = actual;
        }
    }
    // The seeds and lives are chosen so that most rounds see commits; if none did, the test
    // would prove nothing about committed bundles.
    EXPECT_GT(roundsWithCommits, kRounds / 2);
}

}  // namespace
}  // namespace ks::test::durability
