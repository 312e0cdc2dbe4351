#pragma once

namespace corvale::qgis {

/**
 * The name of an SQLite VFS that lets a read-only connection read database
 * pages in place, through a few small mappings ("windows") of the file,
 * instead of copying each page in with a system call. Everything else goes
 * to SQLite's default VFS.
 *
 * SQLite fetches pages this way only once the connection's `mmap_size` is
 * set; pages in a write-ahead log, page 1 and any page the windows cannot
 * serve are read as usual. Memory stays bounded whatever the size of the
 * file: at most kMappedWindows windows of kMappedWindowBytes each are mapped
 * at any time, the least recently used unreferenced one being unmapped first.
 *
 * Only the main database file of a read-only connection is mapped, and only
 * on a local file system (mappedReadsCover): on a network or FUSE file
 * system a failing page-in would kill the process where a read returns an
 * error, so those files are read as usual.
 *
 * Nothing where the platform has no such mappings. Registered once, on first
 * call; safe to call from any thread.
 */
const char* mappedReadVfs();

/// Whether the file (or folder) at the path lies on a file system whose
/// files mappedReadVfs() maps: ext2/3/4, XFS, Btrfs, F2FS, ZFS, tmpfs, or
/// an overlay of such. False where nothing is mapped at all.
bool mappedReadsCover(const char* path);

/// Bytes of one window: a multiple of every page size SQLite and the system use.
constexpr long long kMappedWindowBytes = 2LL << 20;
/// Windows mapped at most at once for one file.
constexpr int kMappedWindows = 6;

}  // namespace corvale::qgis
