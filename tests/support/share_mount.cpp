#include "support/share_mount.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "support/run_program.h"

namespace ks::test {
namespace {

constexpr auto kMountBound = std::chrono::seconds(5);

// The device of `path`, or -1 when it cannot be read.
dev_t Device(const std::string& path) {
    struct stat attributes {};
    return stat(path.c_str(), &attributes) == 0 ? attributes.st_dev : static_cast<dev_t>(-1);
}

}  // namespace

ShareMount::ShareMount(const std::string& source, const std::string& mountPoint,
                       const std::vector<std::string>& options)
    : m_mountPoint(mountPoint) {
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
        m_failure = "FUSE is not available on this machine: no usable /dev/fuse (" +
                    std::string(std::strerror(errno)) + ")";
        return;
    }
    if (access(kShareProgram.c_str(), X_OK) != 0) {
        m_failure =
            "the share program " + kShareProgram + " is missing: build the target ks-test-share";
        return;
    }
    std::vector<std::string> args{source, mountPoint};
    args.insert(args.end(), options.begin(), options.end());
    const dev_t folderDevice = Device(mountPoint);
    m_child = StartProgram(kShareProgram, args, (m_logFolder.Path() / "share.log").string());
    if (m_child <= 0) {
        m_failure = "the share program " + kShareProgram + " could not be started";
        return;
    }
    WaitForMount(folderDevice);
}

// The mount is there when the mount point's device is no longer the folder's own (the root
// of the share answers even with --hang-lookups).
void ShareMount::WaitForMount(dev_t folderDevice) {
    const auto until = std::chrono::steady_clock::now() + kMountBound;
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (waitpid(m_child, &status, WNOHANG) == m_child) {
            m_child = -1;
            const std::string end = WIFEXITED(status)
                                        ? "exit status " + std::to_string(WEXITSTATUS(status))
                                        : "signal " + std::to_string(WTERMSIG(status));
            m_failure = "ks-test-share ended (" + end + ") before mounting " + m_mountPoint + ": " +
                        TempDir::Read(m_logFolder.Path() / "share.log");
            return;
        }
        const dev_t now = Device(m_mountPoint);
        if (now != static_cast<dev_t>(-1) && now != folderDevice) {
            m_mounted = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EndChild();
    m_failure = "ks-test-share did not mount " + m_mountPoint +
                " within 5 s: " + TempDir::Read(m_logFolder.Path() / "share.log");
}

void ShareMount::EndChild() {
    if (m_child > 0) {
        kill(m_child, SIGKILL);
        waitpid(m_child, nullptr, 0);
        m_child = -1;
    }
}

void ShareMount::Vanish() {
    EndChild();
}

ShareMount::~ShareMount() {
    if (m_mounted) {
        // Lazy: a mount with reads still hung in it cannot be unmounted otherwise. Without root,
        // fusermount3 does the same.
        if (umount2(m_mountPoint.c_str(), MNT_DETACH) != 0 && errno == EPERM) {
            WaitProgramFor(StartProgram("/usr/bin/fusermount3", {"-u", "-z", m_mountPoint},
                                        (m_logFolder.Path() / "unmount.log").string()),
                           std::chrono::seconds(5));
        }
    }
    // Once the share program is gone, the kernel fails every read still waiting on it.
    EndChild();
}

}  // namespace ks::test
