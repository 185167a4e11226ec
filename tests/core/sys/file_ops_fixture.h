// The objects every file and folder operation test needs: a recording trace wired to the
// error handler, a fake clock, a fresh folder, and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "support/fake_clock.h"
#include "support/fake_event_pump.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"

namespace ks::test {

class FileOpsTest : public ::testing::Test {
  protected:
    FileOpsTest() { errors.SetTrace(&trace); }

    // Full path (as the program writes it) of a name in the test folder.
    std::string At(const std::string& name) const { return dir.Folder() + name; }

    bool OnDisk(const std::string& name) const {
        return std::filesystem::exists(dir.Path() / name);
    }

    // The names of the test folder as they are on disk, sorted.
    std::vector<std::string> Entries(const std::string& sub = {}) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / sub)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Error reports of the common handler (the framed middle lines).
    std::vector<std::string> Reports() const {
        std::vector<std::string> out;
        for (const auto& line : trace.lines) {
            if (line.message.starts_with("Err: ") && line.incident) {
                out.push_back(line.message);
            }
        }
        return out;
    }

    TempDir dir;
    RecordingTrace trace;
    FakeEventPump pump;
    TraceState state;
    ErrorHandler errors{state, pump};
    FakeClock clock;
    FileOps ops{trace, errors, clock};
    FolderOps folders{trace, errors};
};

}  // namespace ks::test
