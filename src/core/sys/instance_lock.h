// One running program per program folder: an exclusive flock() on a lock file in the folder,
// held for as long as this object lives. The system drops the lock when the process ends,
// however it ends, so a killed instance never blocks the next start.
#pragma once

#include <string>
#include <string_view>

namespace ks {

class InstanceLock {
  public:
    enum class Outcome {
        Acquired,       // this process is the one instance of the folder
        HeldElsewhere,  // another process holds the folder
        Unavailable     // the lock file cannot be made (a folder that cannot be written)
    };

    // The lock file in the program's folder.
    static constexpr std::string_view kFileName = "KS3_Diffuseur_Secours.lock";

    // Tries the lock of `programFolder` (Windows-1252, ending with "/") at once, never waits.
    explicit InstanceLock(std::string_view programFolder);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Outcome Result() const { return m_outcome; }
    // Why the lock file could not be made, for an Unavailable outcome.
    const std::string& Reason() const { return m_reason; }

  private:
    int m_fd = -1;
    Outcome m_outcome = Outcome::Unavailable;
    std::string m_reason;
};

}  // namespace ks
