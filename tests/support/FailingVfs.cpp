#include "support/FailingVfs.hpp"

#include <sqlite3.h>

namespace mvk::test {

namespace {

/// Our part of an open file; the default layer's part follows it.
struct WrappedFile {
    sqlite3_file base;
    sqlite3_file* inner;
    bool isLog;
};

std::atomic<FailingVfs*> gActive{nullptr};
sqlite3_vfs* gInner = nullptr;

sqlite3_file* innerOf(sqlite3_file* file) {
    return reinterpret_cast<WrappedFile*>(file)->inner;
}

// Every file method but xWrite passes the call on unchanged.
template <auto Method, typename... Args>
int forward(sqlite3_file* file, Args... args) {
    sqlite3_file* inner = innerOf(file);
    return (inner->pMethods->*Method)(inner, args...);
}

int writeOrFail(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    if (reinterpret_cast<WrappedFile*>(file)->isLog && FailingVfs::failsLogWrite(offset + amount)) {
        return SQLITE_FULL;
    }
    return forward<&sqlite3_io_methods::xWrite>(file, data, amount, offset);
}

void shmBarrier(sqlite3_file* file) {
    sqlite3_file* inner = innerOf(file);
    inner->pMethods->xShmBarrier(inner);
}

const sqlite3_io_methods gMethods = {
    3,
    &forward<&sqlite3_io_methods::xClose>,
    &forward<&sqlite3_io_methods::xRead, void*, int, sqlite3_int64>,
    &writeOrFail,
    &forward<&sqlite3_io_methods::xTruncate, sqlite3_int64>,
    &forward<&sqlite3_io_methods::xSync, int>,
    &forward<&sqlite3_io_methods::xFileSize, sqlite3_int64*>,
    &forward<&sqlite3_io_methods::xLock, int>,
    &forward<&sqlite3_io_methods::xUnlock, int>,
    &forward<&sqlite3_io_methods::xCheckReservedLock, int*>,
    &forward<&sqlite3_io_methods::xFileControl, int, void*>,
    &forward<&sqlite3_io_methods::xSectorSize>,
    &forward<&sqlite3_io_methods::xDeviceCharacteristics>,
    &forward<&sqlite3_io_methods::xShmMap, int, int, int, void volatile**>,
    &forward<&sqlite3_io_methods::xShmLock, int, int, int>,
    &shmBarrier,
    &forward<&sqlite3_io_methods::xShmUnmap, int>,
    &forward<&sqlite3_io_methods::xFetch, sqlite3_int64, int, void**>,
    &forward<&sqlite3_io_methods::xUnfetch, sqlite3_int64, void*>,
};

int open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* wrapped = reinterpret_cast<WrappedFile*>(file);
    wrapped->inner = reinterpret_cast<sqlite3_file*>(wrapped + 1);
    wrapped->isLog = (flags & SQLITE_OPEN_WAL) != 0;
    const int result = gInner->xOpen(gInner, name, wrapped->inner, flags, outFlags);
    // SQLite closes what has methods, even after a failed open.
    wrapped->base.pMethods = wrapped->inner->pMethods != nullptr ? &gMethods : nullptr;
    return result;
}

// The rest of the layer is the default one's.
template <auto Method, typename... Args>
auto pass(sqlite3_vfs*, Args... args) {
    return (gInner->*Method)(gInner, args...);
}

sqlite3_vfs gVfs = {};

}  // namespace

FailingVfs::FailingVfs() {
    previous_ = sqlite3_vfs_find(nullptr);
    if (gInner == nullptr) {
        gInner = previous_;
        gVfs.iVersion = 3;
        gVfs.szOsFile = static_cast<int>(sizeof(WrappedFile)) + gInner->szOsFile;
        gVfs.mxPathname = gInner->mxPathname;
        gVfs.zName = "mvk-failing";
        gVfs.xOpen = &open;
        gVfs.xDelete = &pass<&sqlite3_vfs::xDelete, const char*, int>;
        gVfs.xAccess = &pass<&sqlite3_vfs::xAccess, const char*, int, int*>;
        gVfs.xFullPathname = &pass<&sqlite3_vfs::xFullPathname, const char*, int, char*>;
        gVfs.xDlOpen = &pass<&sqlite3_vfs::xDlOpen, const char*>;
        gVfs.xDlError = &pass<&sqlite3_vfs::xDlError, int, char*>;
        gVfs.xDlSym = &pass<&sqlite3_vfs::xDlSym, void*, const char*>;
        gVfs.xDlClose = &pass<&sqlite3_vfs::xDlClose, void*>;
        gVfs.xRandomness = &pass<&sqlite3_vfs::xRandomness, int, char*>;
        gVfs.xSleep = &pass<&sqlite3_vfs::xSleep, int>;
        gVfs.xCurrentTime = &pass<&sqlite3_vfs::xCurrentTime, double*>;
        gVfs.xGetLastError = &pass<&sqlite3_vfs::xGetLastError, int, char*>;
        gVfs.xCurrentTimeInt64 = &pass<&sqlite3_vfs::xCurrentTimeInt64, sqlite3_int64*>;
        gVfs.xSetSystemCall = &pass<&sqlite3_vfs::xSetSystemCall, const char*, sqlite3_syscall_ptr>;
        gVfs.xGetSystemCall = &pass<&sqlite3_vfs::xGetSystemCall, const char*>;
        gVfs.xNextSystemCall = &pass<&sqlite3_vfs::xNextSystemCall, const char*>;
    }
    gActive.store(this);
    sqlite3_vfs_register(&gVfs, 1);
}

FailingVfs::~FailingVfs() {
    gActive.store(nullptr);
    // Connections still open through it keep working, without faults.
    sqlite3_vfs_register(previous_, 1);
}

bool FailingVfs::failsLogWrite(long long end) {
    FailingVfs* active = gActive.load();
    if (active == nullptr) {
        return false;
    }
    if (const auto room = active->logRoom_.load(); room > 0 && end > room) {
        ++active->failed_;
        return true;
    }
    int pending = active->pending_.load();
    while (pending > 0) {
        if (active->pending_.compare_exchange_weak(pending, pending - 1)) {
            ++active->failed_;
            return true;
        }
    }
    return false;
}

}  // namespace mvk::test
