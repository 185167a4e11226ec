// The record engine's factory: an engine answering the classic call (btr_call.h) over table
// files of our own format, made from its options. One engine per program: the files it has
// open, their position blocks and the caller's transaction are its own state, and its calls
// are made one at a time (a call from another thread waits for the one under way). Several
// programs may use the same tables at once; what each sees of the others' writes and when is
// in README.md ("Record engine", "Bundles", "Read windows").
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "ks/engine/btr_call.h"

namespace ks::engine {

inline constexpr int kDefaultBundleOperations = 500;
inline constexpr int kDefaultBundleAgeMs = 50;

struct EngineOptions {
    // How long a call waits for a lock held by another process before answering 84 or 85.
    int busyTimeoutMs = 20;
    // SQLite file layer to use (empty: the default); tests put a failing one here.
    std::string vfs;
    // False lets commits return before the disk has the data: for tests, which create and
    // throw away thousands of small files. A power cut may then lose the commits since the
    // last checkpoint; it never damages a file.
    bool waitForDisk = true;
    // Writes outside a transaction of the caller are committed in bundles: when a file's
    // bundle holds this many writes, or is this old (checked at every call and by the
    // engine's own timer, so that another process never waits longer whatever the caller
    // does), and at close, stop and the begin of a transaction. See README.md for how the
    // numbers were chosen.
    int bundleOperations = kDefaultBundleOperations;
    int bundleAgeMs = kDefaultBundleAgeMs;
    // Told the file of each bundle committed (for tests); runs under the engine's lock.
    std::function<void(const std::filesystem::path&)> onBundleCommitted;
};

// A new engine with `options`. It stops (every file closed, a transaction rolled back) when it
// goes.
std::unique_ptr<BtrCall> MakeRecordEngine(EngineOptions options = {});

}  // namespace ks::engine
