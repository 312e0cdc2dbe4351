#include "hosts/qgis/read/MappedReadVfs.h"

#include <sqlite3.h>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#define CORVALE_MAPPED_READS 1
#endif

#include <cstdint>
#include <cstring>

namespace corvale::qgis {

#ifdef CORVALE_MAPPED_READS

namespace {

constexpr const char* kVfsName = "corvale-mapped-read";
/// A window given up having served fewer pages than this was not worth
/// mapping; after kWastedWindows of those, the file maps no new windows.
constexpr uint64_t kPagesWorthAWindow = 64;
constexpr uint64_t kWastedWindows = 16;

/// One mapping of the file: bytes [offset, offset + length) at `bytes`.
struct Window {
  sqlite3_int64 offset = -1;
  size_t length = 0;
  unsigned char* bytes = nullptr;
  /// Pages handed out by xFetch and not yet given back.
  int references = 0;
  /// When the window was last used, for choosing which one to unmap.
  uint64_t used = 0;
  /// Pages it has served.
  uint64_t served = 0;
};

/**
 * The file object SQLite allocates for us (szOsFile bytes, uninitialised):
 * our state, then the default VFS's own file object, to which every call but
 * the page fetches goes.
 */
struct MappedFile {
  sqlite3_file base;
  sqlite3_file* real;
  /// Our own read-only descriptor of the file, or -1: nothing is mapped.
  int fd;
  /// SQLite's `mmap_size`: bytes of the file that may be served by mappings.
  sqlite3_int64 limit;
  uint64_t clock;
  /// Windows given up before they served kPagesWorthAWindow pages: where
  /// pages are used in no order that a few windows serve (a fragmented file,
  /// look-ups all over it), mapping a window per page costs more than
  /// reading the page.
  uint64_t wasted;
  Window windows[kMappedWindows];
};

sqlite3_vfs* defaultVfs() {
  static sqlite3_vfs* const found = sqlite3_vfs_find(nullptr);
  return found;
}

MappedFile* mapped(sqlite3_file* file) { return reinterpret_cast<MappedFile*>(file); }
sqlite3_file* real(sqlite3_file* file) { return mapped(file)->real; }

void unmap(Window& window) {
  if (window.bytes) munmap(window.bytes, window.length);
  window = Window{};
}

/// Unmaps every window nobody holds a page of.
void unmapIdle(MappedFile& file) {
  for (Window& window : file.windows) {
    if (window.bytes && window.references == 0) unmap(window);
  }
}

/// File systems on a local block device or in memory, where a mapped page is
/// as safe to read as a page read by a system call.
bool isLocal(const struct statfs& fs) {
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53UL:      // ext2, ext3, ext4
    case 0x58465342UL:  // XFS
    case 0x9123683EUL:  // Btrfs
    case 0x01021994UL:  // tmpfs
    case 0xF2F52010UL:  // F2FS
    case 0x2FC12FC1UL:  // ZFS
    case 0x794C7630UL:  // overlayfs (containers), over a local one
      return true;
    default:
      return false;
  }
}

bool onLocalDisk(int fd) {
  struct statfs fs {};
  return fstatfs(fd, &fs) == 0 && isLocal(fs);
}

// -- the file's methods: forwarded, but for the page fetches -------------------

int fileClose(sqlite3_file* file) {
  MappedFile& f = *mapped(file);
  for (Window& window : f.windows)
    unmap(window);
  if (f.fd >= 0) close(f.fd);
  f.fd = -1;
  const int rc = f.real->pMethods ? f.real->pMethods->xClose(f.real) : SQLITE_OK;
  f.base.pMethods = nullptr;
  return rc;
}

int fileRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  return real(file)->pMethods->xRead(real(file), buffer, amount, offset);
}

int fileWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
  return real(file)->pMethods->xWrite(real(file), buffer, amount, offset);
}

int fileTruncate(sqlite3_file* file, sqlite3_int64 size) {
  return real(file)->pMethods->xTruncate(real(file), size);
}

int fileSync(sqlite3_file* file, int flags) {
  return real(file)->pMethods->xSync(real(file), flags);
}

int fileSize(sqlite3_file* file, sqlite3_int64* size) {
  return real(file)->pMethods->xFileSize(real(file), size);
}

int fileLock(sqlite3_file* file, int level) {
  return real(file)->pMethods->xLock(real(file), level);
}

int fileUnlock(sqlite3_file* file, int level) {
  return real(file)->pMethods->xUnlock(real(file), level);
}

int fileCheckReservedLock(sqlite3_file* file, int* out) {
  return real(file)->pMethods->xCheckReservedLock(real(file), out);
}

int fileControl(sqlite3_file* file, int op, void* argument) {
  MappedFile& f = *mapped(file);
  if (op == SQLITE_FCNTL_MMAP_SIZE) {
    // The limit is ours: the default VFS must not map the file as well.
    auto* value = static_cast<sqlite3_int64*>(argument);
    const sqlite3_int64 wanted = *value;
    *value = f.limit;
    if (wanted >= 0) {
      f.limit = f.fd >= 0 ? wanted : 0;
      if (f.limit == 0) unmapIdle(f);
    }
    return SQLITE_OK;
  }
  return f.real->pMethods->xFileControl(f.real, op, argument);
}

int fileSectorSize(sqlite3_file* file) {
  return real(file)->pMethods->xSectorSize(real(file));
}

int fileDeviceCharacteristics(sqlite3_file* file) {
  return real(file)->pMethods->xDeviceCharacteristics(real(file));
}

int fileShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
  const sqlite3_io_methods* methods = real(file)->pMethods;
  if (methods->iVersion < 2 || !methods->xShmMap) return SQLITE_IOERR_SHMMAP;
  return methods->xShmMap(real(file), region, size, extend, out);
}

int fileShmLock(sqlite3_file* file, int offset, int n, int flags) {
  const sqlite3_io_methods* methods = real(file)->pMethods;
  if (methods->iVersion < 2 || !methods->xShmLock) return SQLITE_IOERR_SHMLOCK;
  return methods->xShmLock(real(file), offset, n, flags);
}

void fileShmBarrier(sqlite3_file* file) {
  const sqlite3_io_methods* methods = real(file)->pMethods;
  if (methods->iVersion >= 2 && methods->xShmBarrier) methods->xShmBarrier(real(file));
}

int fileShmUnmap(sqlite3_file* file, int deleteFlag) {
  const sqlite3_io_methods* methods = real(file)->pMethods;
  if (methods->iVersion < 2 || !methods->xShmUnmap) return SQLITE_OK;
  return methods->xShmUnmap(real(file), deleteFlag);
}

/**
 * A page in place: a pointer into the window that holds [offset, offset +
 * amount), mapped now if need be; null (SQLite then reads the page) past the
 * limit or the file's end, across two windows, or when every window is held.
 */
int fileFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** page) {
  *page = nullptr;
  MappedFile& f = *mapped(file);
  if (f.fd < 0 || offset < 0 || amount <= 0 || offset + amount > f.limit) return SQLITE_OK;
  const sqlite3_int64 start = offset - offset % kMappedWindowBytes;
  if (offset + amount > start + kMappedWindowBytes) return SQLITE_OK;
  Window* window = nullptr;
  for (Window& candidate : f.windows) {
    if (candidate.bytes && candidate.offset == start) window = &candidate;
  }
  if (!window) {
    if (f.wasted >= kWastedWindows) return SQLITE_OK;
    struct stat status {};
    if (fstat(f.fd, &status) != 0 || offset + amount > status.st_size) return SQLITE_OK;
    // A free slot, else the idle window used longest ago.
    for (Window& candidate : f.windows) {
      if (!candidate.bytes) {
        window = &candidate;
        break;
      }
      if (candidate.references == 0 && (!window || candidate.used < window->used)) {
        window = &candidate;
      }
    }
    if (!window) return SQLITE_OK;
    if (window->bytes && window->served < kPagesWorthAWindow) ++f.wasted;
    unmap(*window);
    const auto length = static_cast<size_t>(
        status.st_size - start < kMappedWindowBytes ? status.st_size - start : kMappedWindowBytes);
    void* bytes = mmap(nullptr, length, PROT_READ, MAP_SHARED, f.fd, start);
    if (bytes == MAP_FAILED) return SQLITE_OK;
    window->offset = start;
    window->length = length;
    window->bytes = static_cast<unsigned char*>(bytes);
  }
  ++window->served;
  ++window->references;
  window->used = ++f.clock;
  *page = window->bytes + (offset - start);
  return SQLITE_OK;
}

/// Gives back a page of fileFetch(); a null page: unmap all (nothing is held then).
int fileUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
  MappedFile& f = *mapped(file);
  if (!page) {
    unmapIdle(f);
    return SQLITE_OK;
  }
  const sqlite3_int64 start = offset - offset % kMappedWindowBytes;
  for (Window& window : f.windows) {
    if (window.bytes && window.offset == start && window.references > 0) {
      --window.references;
      break;
    }
  }
  return SQLITE_OK;
}

const sqlite3_io_methods kMethods = {
    3,
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileUnlock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    fileShmMap,
    fileShmLock,
    fileShmBarrier,
    fileShmUnmap,
    fileFetch,
    fileUnfetch,
};

// -- the VFS: the default one, with files wrapped ------------------------------

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  MappedFile& f = *mapped(file);
  f.base.pMethods = nullptr;
  f.real = reinterpret_cast<sqlite3_file*>(&f + 1);
  f.fd = -1;
  f.limit = 0;
  f.clock = 0;
  f.wasted = 0;
  for (Window& window : f.windows)
    window = Window{};
  const int rc = defaultVfs()->xOpen(defaultVfs(), name, f.real, flags, outFlags);
  if (rc != SQLITE_OK) return rc;
  if (name && (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READONLY)) {
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && onLocalDisk(fd)) {
      f.fd = fd;
    } else if (fd >= 0) {
      close(fd);
    }
  }
  f.base.pMethods = &kMethods;
  return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDir) {
  return defaultVfs()->xDelete(defaultVfs(), name, syncDir);
}
int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
  return defaultVfs()->xAccess(defaultVfs(), name, flags, out);
}
int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return defaultVfs()->xFullPathname(defaultVfs(), name, size, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name) {
  return defaultVfs()->xDlOpen(defaultVfs(), name);
}
void vfsDlError(sqlite3_vfs*, int size, char* out) {
  defaultVfs()->xDlError(defaultVfs(), size, out);
}
void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return defaultVfs()->xDlSym(defaultVfs(), handle, symbol);
}
void vfsDlClose(sqlite3_vfs*, void* handle) { defaultVfs()->xDlClose(defaultVfs(), handle); }
int vfsRandomness(sqlite3_vfs*, int size, char* out) {
  return defaultVfs()->xRandomness(defaultVfs(), size, out);
}
int vfsSleep(sqlite3_vfs*, int microseconds) {
  return defaultVfs()->xSleep(defaultVfs(), microseconds);
}
int vfsCurrentTime(sqlite3_vfs*, double* out) {
  return defaultVfs()->xCurrentTime(defaultVfs(), out);
}
int vfsGetLastError(sqlite3_vfs*, int size, char* out) {
  return defaultVfs()->xGetLastError ? defaultVfs()->xGetLastError(defaultVfs(), size, out) : 0;
}
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  sqlite3_vfs* base = defaultVfs();
  if (base->iVersion >= 2 && base->xCurrentTimeInt64) return base->xCurrentTimeInt64(base, out);
  double days = 0;
  const int rc = base->xCurrentTime(base, &days);
  *out = static_cast<sqlite3_int64>(days * 86400000.0);
  return rc;
}

sqlite3_vfs* registered() {
  sqlite3_vfs* base = defaultVfs();
  if (!base) return nullptr;
  static sqlite3_vfs vfs = {
      2,
      static_cast<int>(sizeof(MappedFile)) + base->szOsFile,
      base->mxPathname,
      nullptr,
      kVfsName,
      nullptr,
      vfsOpen,
      vfsDelete,
      vfsAccess,
      vfsFullPathname,
      vfsDlOpen,
      vfsDlError,
      vfsDlSym,
      vfsDlClose,
      vfsRandomness,
      vfsSleep,
      vfsCurrentTime,
      vfsGetLastError,
      vfsCurrentTimeInt64,
      nullptr,
      nullptr,
      nullptr,
  };
  return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK ? &vfs : nullptr;
}

}  // namespace

const char* mappedReadVfs() {
  static sqlite3_vfs* const vfs = registered();
  return vfs ? vfs->zName : nullptr;
}

bool mappedReadsCover(const char* path) {
  struct statfs fs {};
  return mappedReadVfs() && path && statfs(path, &fs) == 0 && isLocal(fs);
}

#else

const char* mappedReadVfs() { return nullptr; }

bool mappedReadsCover(const char*) { return false; }

#endif

}  // namespace corvale::qgis
