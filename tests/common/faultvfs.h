#pragma once

// An SQLite file layer over the system's that fails on demand, as a full disk or a failing
// device would: once armed, the Nth write, sync or file creation fails, and so does every later
// one until the layer is disarmed. Installed as the default, it is what every connection of the
// process uses.

#include <sqlite3.h>

#include <cstring>

namespace qm::test {

class FaultVfs final
{
public:
    // Which operations count towards the failure.
    enum Kinds : unsigned { Write = 1, Sync = 2, Create = 4, All = 7 };

    static void install()
    {
        State &s = state();
        if (s.installed)
            return;
        s.real = sqlite3_vfs_find(nullptr);
        s.vfs = *s.real;
        s.vfs.zName = "qm-fault";
        s.vfs.szOsFile = int(sizeof(File)) + s.real->szOsFile;
        s.vfs.xOpen = &open;
        s.vfs.xDelete = &remove;
        sqlite3_vfs_register(&s.vfs, 1);
        s.installed = true;
    }

    // The nth counted operation from now (1 = the next) fails, and every one after it.
    static void arm(int nth, unsigned kinds = All)
    {
        state().countdown = nth;
        state().kinds = kinds;
        state().failed = 0;
    }
    static void disarm() { state().countdown = 0; }
    // How many operations failed since arm().
    static int failures() { return state().failed; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file *real;
    };
    struct State {
        bool installed = false;
        sqlite3_vfs *real = nullptr;
        sqlite3_vfs vfs{};
        sqlite3_io_methods methods{};
        int countdown = 0;
        unsigned kinds = All;
        int failed = 0;
    };
    static State &state()
    {
        static State s;
        return s;
    }

    static bool fails(Kinds kind)
    {
        State &s = state();
        if (s.countdown <= 0 || !(s.kinds & kind))
            return false;
        if (s.countdown > 1) {
            --s.countdown;
            return false;
        }
        ++s.failed;
        return true;
    }
    static sqlite3_file *real(sqlite3_file *f) { return reinterpret_cast<File *>(f)->real; }

    static int open(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
    {
        State &s = state();
        auto *f = reinterpret_cast<File *>(file);
        f->base.pMethods = nullptr;
        f->real = reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(file) + sizeof(File));
        if ((flags & SQLITE_OPEN_CREATE) && fails(Create))
            return SQLITE_CANTOPEN;
        const int rc = s.real->xOpen(s.real, name, f->real, flags, outFlags);
        if (rc != SQLITE_OK || !f->real->pMethods)
            return rc;
        if (s.methods.iVersion == 0) {
            s.methods = *f->real->pMethods;
            s.methods.xClose = &close;
            s.methods.xRead = &read;
            s.methods.xWrite = &write;
            s.methods.xTruncate = &truncate;
            s.methods.xSync = &sync;
            s.methods.xFileSize = [](sqlite3_file *f, sqlite3_int64 *size) { return real(f)->pMethods->xFileSize(real(f), size); };
            s.methods.xLock = [](sqlite3_file *f, int lock) { return real(f)->pMethods->xLock(real(f), lock); };
            s.methods.xUnlock = [](sqlite3_file *f, int lock) { return real(f)->pMethods->xUnlock(real(f), lock); };
            s.methods.xCheckReservedLock = [](sqlite3_file *f, int *out) {
                return real(f)->pMethods->xCheckReservedLock(real(f), out);
            };
            s.methods.xFileControl = [](sqlite3_file *f, int op, void *arg) {
                return real(f)->pMethods->xFileControl(real(f), op, arg);
            };
            s.methods.xSectorSize = [](sqlite3_file *f) { return real(f)->pMethods->xSectorSize(real(f)); };
            s.methods.xDeviceCharacteristics = [](sqlite3_file *f) {
                return real(f)->pMethods->xDeviceCharacteristics(real(f));
            };
            s.methods.xShmMap = [](sqlite3_file *f, int page, int size, int extend, void volatile **p) {
                return real(f)->pMethods->xShmMap(real(f), page, size, extend, p);
            };
            s.methods.xShmLock = [](sqlite3_file *f, int offset, int n, int flags) {
                return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
            };
            s.methods.xShmBarrier = [](sqlite3_file *f) { real(f)->pMethods->xShmBarrier(real(f)); };
            s.methods.xShmUnmap = [](sqlite3_file *f, int del) { return real(f)->pMethods->xShmUnmap(real(f), del); };
            // Memory-mapped reads would bypass the layer's view of the file; none are offered.
            s.methods.iVersion = 2;
        }
        f->base.pMethods = &s.methods;
        return SQLITE_OK;
    }
    static int remove(sqlite3_vfs *, const char *name, int syncDir)
    {
        return state().real->xDelete(state().real, name, syncDir);
    }
    static int close(sqlite3_file *f)
    {
        const int rc = real(f)->pMethods->xClose(real(f));
        f->pMethods = nullptr;
        return rc;
    }
    static int read(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset)
    {
        return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
    }
    static int write(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset)
    {
        return fails(Write) ? SQLITE_FULL : real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
    }
    static int truncate(sqlite3_file *f, sqlite3_int64 size)
    {
        return fails(Write) ? SQLITE_IOERR_TRUNCATE : real(f)->pMethods->xTruncate(real(f), size);
    }
    static int sync(sqlite3_file *f, int flags)
    {
        return fails(Sync) ? SQLITE_IOERR_FSYNC : real(f)->pMethods->xSync(real(f), flags);
    }
};

} // namespace qm::test
