#include "engine/sole_use.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace ks::engine {

SoleUse::SoleUse(sqlite3* db) {
    sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &m_file);
    if (m_file != nullptr && m_file->pMethods == nullptr) {
        m_file = nullptr;
    }
}

SoleUse::~SoleUse() {
    if (!m_handedOver) {
        Release();
    }
}

int SoleUse::LockShared(int timeoutMs) {
    if (m_file == nullptr) {
        return SQLITE_CANTOPEN;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int code = m_file->pMethods->xLock(m_file, SQLITE_LOCK_SHARED);
        if (code == SQLITE_OK) {
            m_level = SQLITE_LOCK_SHARED;
            return code;
        }
        if (code != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) {
            return code;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool SoleUse::TryExclusive() {
    if (m_level != SQLITE_LOCK_SHARED) {
        return false;
    }
    // Through reserved, as SQLite itself climbs; a failed climb keeps a pending lock, which
    // the step back to shared drops.
    if (m_file->pMethods->xLock(m_file, SQLITE_LOCK_RESERVED) != SQLITE_OK) {
        m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_SHARED);
        return false;
    }
    if (m_file->pMethods->xLock(m_file, SQLITE_LOCK_EXCLUSIVE) != SQLITE_OK) {
        m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_SHARED);
        return false;
    }
    m_level = SQLITE_LOCK_EXCLUSIVE;
    return true;
}

void SoleUse::Release() {
    if (m_file != nullptr && m_level != SQLITE_LOCK_NONE) {
        m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_NONE);
    }
    m_level = SQLITE_LOCK_NONE;
}

void SoleUse::Downgrade() {
    if (m_file != nullptr && m_level > SQLITE_LOCK_SHARED) {
        m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_SHARED);
    }
    m_level = SQLITE_LOCK_SHARED;
    m_handedOver = true;
}

bool SoleUse::ReadStart(unsigned char* bytes, std::size_t size, std::int64_t& fileSize) {
    if (m_file == nullptr) {
        return false;
    }
    sqlite3_int64 length = 0;
    if (m_file->pMethods->xFileSize(m_file, &length) != SQLITE_OK) {
        return false;
    }
    fileSize = length;
    std::memset(bytes, 0, size);
    const int code = m_file->pMethods->xRead(m_file, bytes, static_cast<int>(size), 0);
    // A short read fills the rest with zeros and says so: the caller sees the length.
    return code == SQLITE_OK || code == SQLITE_IOERR_SHORT_READ;
}

int SoleUse::Write(const unsigned char* bytes, std::size_t size, std::int64_t offset, bool sync) {
    if (m_file == nullptr || m_level != SQLITE_LOCK_EXCLUSIVE) {
        return SQLITE_MISUSE;
    }
    const int code = m_file->pMethods->xWrite(m_file, bytes, static_cast<int>(size), offset);
    return code != SQLITE_OK || !sync ? code : m_file->pMethods->xSync(m_file, SQLITE_SYNC_NORMAL);
}

}  // namespace ks::engine
