#include "faulty_vfs.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace ks::engine::test {
namespace {

struct FaultyFile {
    sqlite3_file base;
    FaultyVfs* owner;
    bool failing;        // a file the failure hits
    sqlite3_file* real;  // the default layer's file, placed right after this struct
};

sqlite3_file* Real(sqlite3_file* file) {
    return reinterpret_cast<FaultyFile*>(file)->real;
}

int Close(sqlite3_file* file) {
    sqlite3_file* real = Real(file);
    return real->pMethods != nullptr ? real->pMethods->xClose(real) : SQLITE_OK;
}
int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    return Real(file)->pMethods->xRead(Real(file), buffer, amount, offset);
}
int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    auto* faulty = reinterpret_cast<FaultyFile*>(file);
    const int failure = faulty->owner->FailWrites();
    if (failure != SQLITE_OK && faulty->failing) {
        faulty->owner->CountFailedWrite();
        return failure;
    }
    return Real(file)->pMethods->xWrite(Real(file), buffer, amount, offset);
}
int Truncate(sqlite3_file* file, sqlite3_int64 size) {
    return Real(file)->pMethods->xTruncate(Real(file), size);
}
int Sync(sqlite3_file* file, int flags) {
    return Real(file)->pMethods->xSync(Real(file), flags);
}
int FileSize(sqlite3_file* file, sqlite3_int64* size) {
    return Real(file)->pMethods->xFileSize(Real(file), size);
}
int Lock(sqlite3_file* file, int level) {
    return Real(file)->pMethods->xLock(Real(file), level);
}
int Unlock(sqlite3_file* file, int level) {
    return Real(file)->pMethods->xUnlock(Real(file), level);
}
int CheckReservedLock(sqlite3_file* file, int* out) {
    return Real(file)->pMethods->xCheckReservedLock(Real(file), out);
}
int FileControl(sqlite3_file* file, int op, void* arg) {
    return Real(file)->pMethods->xFileControl(Real(file), op, arg);
}
int SectorSize(sqlite3_file* file) {
    return Real(file)->pMethods->xSectorSize(Real(file));
}
int DeviceCharacteristics(sqlite3_file* file) {
    return Real(file)->pMethods->xDeviceCharacteristics(Real(file));
}

int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
    return Real(file)->pMethods->xShmMap(Real(file), region, size, extend, out);
}
int ShmLock(sqlite3_file* file, int offset, int count, int flags) {
    return Real(file)->pMethods->xShmLock(Real(file), offset, count, flags);
}
void ShmBarrier(sqlite3_file* file) {
    Real(file)->pMethods->xShmBarrier(Real(file));
}
int ShmUnmap(sqlite3_file* file, int deleteFlag) {
    return Real(file)->pMethods->xShmUnmap(Real(file), deleteFlag);
}

// Version 2: the shared memory of the write-ahead log; no memory mapping.
const sqlite3_io_methods kMethods = {2,
                                     Close,
                                     Read,
                                     Write,
                                     Truncate,
                                     Sync,
                                     FileSize,
                                     Lock,
                                     Unlock,
                                     CheckReservedLock,
                                     FileControl,
                                     SectorSize,
                                     DeviceCharacteristics,
                                     ShmMap,
                                     ShmLock,
                                     ShmBarrier,
                                     ShmUnmap,
                                     nullptr,
                                     nullptr};

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* owner = static_cast<FaultyVfs*>(vfs->pAppData);
    sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    auto* faulty = reinterpret_cast<FaultyFile*>(file);
    faulty->owner = owner;
    const std::string& only = owner->OnlyFilesContaining();
    faulty->failing =
        only.empty() || (name != nullptr && std::string_view(name).find(only) != std::string::npos);
    faulty->real = reinterpret_cast<sqlite3_file*>(faulty + 1);
    faulty->base.pMethods = nullptr;
    const int code = base->xOpen(base, name, faulty->real, flags, outFlags);
    if (code == SQLITE_OK) {
        faulty->base.pMethods = &kMethods;
    }
    return code;
}

}  // namespace

FaultyVfs::FaultyVfs(std::string name, std::string onlyFilesContaining)
    : m_name(std::move(name)), m_only(std::move(onlyFilesContaining)) {
    sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    std::memcpy(&m_vfs, base, sizeof m_vfs);
    m_vfs.iVersion = 1;
    m_vfs.szOsFile = static_cast<int>(sizeof(FaultyFile)) + base->szOsFile;
    m_vfs.zName = m_name.c_str();
    m_vfs.pNext = nullptr;
    m_vfs.pAppData = this;
    m_vfs.xOpen = Open;
    sqlite3_vfs_register(&m_vfs, 0);
}

FaultyVfs::~FaultyVfs() {
    sqlite3_vfs_unregister(&m_vfs);
}

}  // namespace ks::engine::test
