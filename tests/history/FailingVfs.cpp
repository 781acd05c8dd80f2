#include "FailingVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <mutex>

namespace historytest {

namespace {

std::atomic<bool> g_fail{false};
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* realOf(sqlite3_file* f)
{
    return reinterpret_cast<ShimFile*>(f)->real;
}

int shimClose(sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); }
int shimRead(sqlite3_file* f, void* p, int n, sqlite3_int64 o) { return realOf(f)->pMethods->xRead(realOf(f), p, n, o); }
int shimWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 o)
{
    return g_fail ? SQLITE_FULL : realOf(f)->pMethods->xWrite(realOf(f), p, n, o);
}
int shimTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    return g_fail ? SQLITE_FULL : realOf(f)->pMethods->xTruncate(realOf(f), size);
}
int shimSync(sqlite3_file* f, int flags)
{
    return g_fail ? SQLITE_IOERR_FSYNC : realOf(f)->pMethods->xSync(realOf(f), flags);
}
int shimFileSize(sqlite3_file* f, sqlite3_int64* size) { return realOf(f)->pMethods->xFileSize(realOf(f), size); }
int shimLock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); }
int shimUnlock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); }
int shimCheckReserved(sqlite3_file* f, int* out) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out); }
int shimFileControl(sqlite3_file* f, int op, void* arg) { return realOf(f)->pMethods->xFileControl(realOf(f), op, arg); }
int shimSectorSize(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int shimDevice(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }
int shimShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** p)
{
    return realOf(f)->pMethods->xShmMap(realOf(f), page, size, extend, p);
}
int shimShmLock(sqlite3_file* f, int offset, int n, int flags) { return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags); }
void shimShmBarrier(sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); }
int shimShmUnmap(sqlite3_file* f, int del) { return realOf(f)->pMethods->xShmUnmap(realOf(f), del); }
int shimFetch(sqlite3_file* f, sqlite3_int64 o, int n, void** p) { return realOf(f)->pMethods->xFetch(realOf(f), o, n, p); }
int shimUnfetch(sqlite3_file* f, sqlite3_int64 o, void* p) { return realOf(f)->pMethods->xUnfetch(realOf(f), o, p); }

const sqlite3_io_methods g_methods = {
    3,           shimClose,     shimRead,        shimWrite,        shimTruncate,   shimSync,
    shimFileSize, shimLock,     shimUnlock,      shimCheckReserved, shimFileControl, shimSectorSize,
    shimDevice,  shimShmMap,    shimShmLock,     shimShmBarrier,   shimShmUnmap,   shimFetch,
    shimUnfetch,
};

int shimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    ShimFile* shim = reinterpret_cast<ShimFile*>(file);
    shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
    const int rc = g_real->xOpen(g_real, name, shim->real, flags, outFlags);
    shim->base.pMethods = shim->real->pMethods ? &g_methods : nullptr;
    return rc;
}

} // namespace

const char* failingVfs()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_real = sqlite3_vfs_find(nullptr);
        g_vfs = *g_real;
        g_vfs.zName = kFailingVfs;
        g_vfs.szOsFile = int(sizeof(ShimFile)) + g_real->szOsFile;
        g_vfs.xOpen = shimOpen;
        g_vfs.pNext = nullptr;
        sqlite3_vfs_register(&g_vfs, 0);
    });
    return kFailingVfs;
}

void setWritesFail(bool fail)
{
    g_fail = fail;
}

} // namespace historytest
