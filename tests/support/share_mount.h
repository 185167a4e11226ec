// Mounts ks-test-share (tests/share_fs) over a folder for one test: the server's share that
// hangs, crawls, fails or vanishes on demand. Unmounted when the object goes, even with reads
// of it still hung.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ks::test {

class ShareMount {
  public:
    // Shows `source` read-only at `mountPoint` (an existing folder) with ks-test-share's
    // `options` ("--rate", "1000", ...), and waits a few seconds at most for the mount.
    ShareMount(const std::string& source, const std::string& mountPoint,
               const std::vector<std::string>& options = {});
    ~ShareMount();
    ShareMount(const ShareMount&) = delete;
    ShareMount& operator=(const ShareMount&) = delete;

    // True once the share is mounted; otherwise Failure() says why (a test fails with it).
    bool Mounted() const { return m_mounted; }
    const std::string& Failure() const { return m_failure; }

    // Ends the share at once, as a server gone in the middle of a load: every read in
    // progress fails and the mount point answers ENOTCONN until this object goes.
    void Vanish();

  private:
    void WaitForMount(dev_t folderDevice);
    void EndChild();

    std::string m_mountPoint;
    TempDir m_logFolder;  // the share program's output, quoted by Failure()
    pid_t m_child = -1;
    bool m_mounted = false;
    std::string m_failure;
};

}  // namespace ks::test
