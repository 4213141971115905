// The Linux file layer under the storage engine: opening with share modes,
// positioned reads and writes, durable flushes and renames, file times,
// directory listing and byte-range locks with per-handle ownership.
#pragma once

#include <cstdint>
#include <vector>

#include "base/orvtype.h"
#include "platform/orvplatformclock.h"
#include "platform/orvplatformos.h"

namespace orv {

// A file descriptor; InvalidFileHandle when no file is open.
using TORVFileHandle = int32_t;
constexpr TORVFileHandle InvalidFileHandle = -1;

// An operating-system call on a file failed. The message is the system's text
// for the error (or the file layer's own wording for a refused share mode).
class EORVPlatformFileError : public EORVPlatformError {
 public:
  using EORVPlatformError::EORVPlatformError;
};

// How a file is opened. Exclusive keeps every other opener, in this process or
// another, from opening the file while the handle lives; every other open is
// shared, and a shared open fails while someone holds the file exclusively.
struct TORVPlatformOpenMode {
  bool ReadOnly = false;
  bool Exclusive = false;
  // Create the file, or empty an existing one once its share mode is granted.
  bool Create = false;
};

// A point in time as the file system keeps it (UTC). Valid is false when the
// file system does not record it.
struct TORVPlatformFileTime {
  bool Valid = false;
  int64_t Seconds = 0;
  int32_t Nanoseconds = 0;
};

// A file time in the process's local time zone, with the zone rules of
// that date. False when Time is not valid or cannot be converted.
bool PlatformFileTimeToLocal(const TORVPlatformFileTime& Time, TORVClockFields& Local);

struct TORVPlatformFileInfo {
  bool Exists = false;
  bool IsDirectory = false;
  // No write permission for anyone: the Linux form of a read-only attribute.
  bool ReadOnly = false;
  int64_t Size = 0;
  TORVPlatformFileTime Created;
  TORVPlatformFileTime Modified;
};

// Raises EORVPlatformFileError on failure. A create is made durable by
// syncing the folder that holds the new name.
TORVFileHandle PlatformFileOpen(const TORVString& FileName, const TORVPlatformOpenMode& Mode);
// Closes the handle and drops every byte-range lock it held; Handle is
// InvalidFileHandle afterwards even when the close fails (which raises).
void PlatformFileClose(TORVFileHandle& Handle);

// Reads up to Count bytes at Offset, stopping early only at the end of the
// file; -1 when the system reports a failure. Interrupted calls are resumed.
int32_t PlatformFileRead(TORVFileHandle Handle, int64_t Offset, int32_t Count, uint8_t* Buffer);
// Writes Count bytes at Offset; Count, or -1 when the system reports a failure.
int32_t PlatformFileWrite(TORVFileHandle Handle, int64_t Offset, int32_t Count,
                          const uint8_t* Buffer);

int64_t PlatformFileSize(TORVFileHandle Handle);
// Truncates or extends (with zeros) the file to Size bytes.
void PlatformSetFileSize(TORVFileHandle Handle, int64_t Size);
// Forces the file's data, and the size needed to read it back, to the disk.
void PlatformFileFlush(TORVFileHandle Handle);

TORVPlatformFileTime PlatformFileCreated(TORVFileHandle Handle);
TORVPlatformFileTime PlatformFileModified(TORVFileHandle Handle);

// Takes a lock on Length bytes from Offset without waiting. False when any
// part of the range is locked through another handle (of this or another
// process) or through this handle already. Ranges may lie far beyond the end
// of the file. A negative offset or a length below 1 raises
// EORVPlatformFileError; any other failure of the system's lock call raises
// ORV_FILE_MANAGER_ERROR with the system's text, never a False.
//
// Within this process every lock is exclusive, whatever the handles' access.
// Toward other processes a handle open for writing holds an exclusive lock; a
// read-only handle, which Linux allows no exclusive lock, holds a shared one:
// that still keeps every handle open for writing off the range and is refused
// where another process holds a lock through such a handle, but a read-only
// handle of another process may lock the same range at the same time.
bool PlatformFileLock(TORVFileHandle Handle, int64_t Offset, int64_t Length);
// Releases the lock this handle took with exactly this offset and length;
// False when there is none. Other locks of the handle are untouched. Failures
// raise as those of PlatformFileLock do.
bool PlatformFileUnlock(TORVFileHandle Handle, int64_t Offset, int64_t Length);

// Information about a name; Exists is false when it names nothing.
TORVPlatformFileInfo PlatformGetFileInfo(const TORVString& FileName);

// Renames a file; fails when NewFileName already exists. Both folders are
// synced so that the rename survives a power cut.
void PlatformFileRename(const TORVString& FileName, const TORVString& NewFileName);
void PlatformFileDelete(const TORVString& FileName);
// Gives FileName the name NewFileName in one step, replacing a file of that
// name: whoever opens NewFileName afterwards sees the old or the new file
// whole, also after a power cut (both folders are synced). Handles already
// open on the replaced file keep reading it.
void PlatformFileReplace(const TORVString& FileName, const TORVString& NewFileName);
// True when FileName still names the file that Handle has open; false when
// the name is gone or now names another file.
bool PlatformFileNameMatchesHandle(TORVFileHandle Handle, const TORVString& FileName);

bool PlatformCreateDirectory(const TORVString& Path);
bool PlatformRemoveDirectory(const TORVString& Path);
bool PlatformDirectoryExists(const TORVString& Path);

// The names (without folder) of the entries that are not folders in the folder
// of Mask and match its last component, sorted by name. "*" matches any run of
// characters, "?" any one; letters match without regard to case.
std::vector<TORVString> PlatformListFiles(const TORVString& Mask);
bool PlatformMatchFileMask(const TORVString& Name, const TORVString& Mask);

// Raises the soft limit of open files to the hard limit; the engine keeps a
// handle for every open table file.
void PlatformRaiseOpenFileLimit();

}  // namespace orv
