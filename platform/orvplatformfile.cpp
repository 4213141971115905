#include "platform/orvplatformfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/orvplatformos.h"
#include "base/orverrors.h"
#include "base/orvutf8.h"

namespace orv {

namespace {

[[noreturn]] void RaiseError(int Error) {
  throw EORVPlatformFileError(Error, PlatformErrorMessage(Error));
}

[[noreturn]] void RaiseLastFileError() { RaiseError(errno); }

[[noreturn]] void RaiseSharingViolation() {
  throw EORVPlatformFileError(EWOULDBLOCK,
                              u"The file is being used by another process");
}

std::string FolderOf(const std::string& Name) {
  std::string::size_type Slash = Name.rfind('/');
  if (Slash == std::string::npos) return ".";
  if (Slash == 0) return "/";
  return Name.substr(0, Slash);
}

// Makes a new, renamed or removed name in Folder durable. File systems that
// cannot sync a folder (EINVAL) keep names durable by other means.
void SyncFolder(const std::string& Folder) {
  int Fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) RaiseLastFileError();
  int Result = ::fsync(Fd);
  int Error = errno;
  ::close(Fd);
  if (Result != 0 && Error != EINVAL && Error != EROFS) RaiseError(Error);
}

TORVPlatformFileTime FromStatxTime(const struct statx_timestamp& Time) {
  TORVPlatformFileTime Result;
  Result.Valid = true;
  Result.Seconds = Time.tv_sec;
  Result.Nanoseconds = static_cast<int32_t>(Time.tv_nsec);
  return Result;
}

// Byte-range locks. Open-file-description locks keep other handles and other
// processes off a range, but on one handle they merge touching ranges and an
// unlock splits whatever it covers. The table below keeps the exact ranges each
// handle locked, so that a handle cannot lock a range twice and an unlock
// releases only a range that was locked as such. The table, not the system,
// is what keeps handles of this process apart, so it treats every lock as
// exclusive whatever the handle's access.
struct TFileKey {
  dev_t Device;
  ino_t Inode;
  bool operator<(const TFileKey& Other) const {
    return Device != Other.Device ? Device < Other.Device : Inode < Other.Inode;
  }
};

struct TRangeLock {
  int Handle;
  int64_t End;     // last locked byte
  int64_t Length;
};

// What the lock routines need of an open handle.
struct THandleLock {
  TFileKey Key;
  // The system lock the handle takes toward other processes: F_WRLCK, or
  // F_RDLCK on a descriptor open for reading only, where Linux refuses a
  // write lock.
  short Type;
};

// Guarded by Section: every field. Invariants: ranges of one file never
// overlap, whichever handles hold them; each range is held by its handle as
// an open-file-description lock of that handle's Type over exactly that
// range.
struct TLockTable {
  std::mutex Section;
  std::unordered_map<int, THandleLock> Handles;
  // Per file, the locked ranges of all its handles by first byte.
  std::map<TFileKey, std::map<int64_t, TRangeLock>> Files;
};

TLockTable& LockTable() {
  static TLockTable* Table = new TLockTable;  // lives as long as any handle may
  return *Table;
}

// False with errno set when the descriptor cannot be examined.
bool ReadHandleLock(int Fd, THandleLock& Result) {
  struct stat Info;
  if (::fstat(Fd, &Info) != 0) return false;
  int Flags = ::fcntl(Fd, F_GETFL);
  if (Flags < 0) return false;
  Result.Key = TFileKey{Info.st_dev, Info.st_ino};
  Result.Type = (Flags & O_ACCMODE) == O_RDONLY ? F_RDLCK : F_WRLCK;
  return true;
}

void RegisterHandle(int Fd) {
  THandleLock Entry;
  if (!ReadHandleLock(Fd, Entry)) RaiseLastFileError();
  TLockTable& Table = LockTable();
  std::lock_guard<std::mutex> Guard(Table.Section);
  Table.Handles[Fd] = Entry;
}

void UnregisterHandle(int Fd) {
  TLockTable& Table = LockTable();
  std::lock_guard<std::mutex> Guard(Table.Section);
  auto Found = Table.Handles.find(Fd);
  if (Found == Table.Handles.end()) return;
  auto File = Table.Files.find(Found->second.Key);
  if (File != Table.Files.end()) {
    std::erase_if(File->second, [Fd](const auto& Entry) { return Entry.second.Handle == Fd; });
    if (File->second.empty()) Table.Files.erase(File);
  }
  Table.Handles.erase(Found);
}

void CheckRange(int64_t Offset, int64_t Length) {
  if (Offset < 0 || Length < 1 || Length - 1 > std::numeric_limits<int64_t>::max() - Offset)
    RaiseError(EINVAL);
}

// The name a descriptor was opened under, for messages.
TORVString HandleName(int Fd) {
  char Name[4096];
  std::string Link = "/proc/self/fd/" + std::to_string(Fd);
  ssize_t Length = ::readlink(Link.c_str(), Name, sizeof Name);
  if (Length <= 0 || static_cast<size_t>(Length) >= sizeof Name)
    return Utf8ToString("descriptor " + std::to_string(Fd));
  return Utf8ToString(std::string(Name, static_cast<size_t>(Length)));
}

// A lock call failed for another reason than a conflict: the file layer's
// error, as for every other failed file operation a session can meet.
[[noreturn]] void RaiseLockError(int Fd, short Type, int64_t Offset, int64_t Length, int Error) {
  TORVString Detail = FormatString(
      Type == F_UNLCK ? u"Cannot unlock %s bytes at %s of the file %s (OS Error: %s)"
                      : u"Cannot lock %s bytes at %s of the file %s (OS Error: %s)",
      {Utf8ToString(std::to_string(Length)), Utf8ToString(std::to_string(Offset)), HandleName(Fd),
       PlatformErrorMessage(Error)});
  throw MakeError(ORV_FILE_MANAGER_ERROR, {Detail});
}

// Type, Offset and Length only word the error when the handle is unusable.
const THandleLock& HandleLockOf(TLockTable& Table, int Fd, short Type, int64_t Offset, int64_t Length) {
  auto Found = Table.Handles.find(Fd);
  if (Found != Table.Handles.end()) return Found->second;
  THandleLock Entry;
  if (!ReadHandleLock(Fd, Entry)) RaiseLockError(Fd, Type, Offset, Length, errno);
  return Table.Handles.emplace(Fd, Entry).first->second;
}

// F_OFD_SETLK on one range: true when done, false when another holder
// refuses; any other failure raises.
bool SetRangeLock(int Fd, short Type, int64_t Offset, int64_t Length) {
  struct flock Lock = {};
  Lock.l_type = Type;
  Lock.l_whence = SEEK_SET;
  Lock.l_start = Offset;
  Lock.l_len = Length;
  for (;;) {
    if (::fcntl(Fd, F_OFD_SETLK, &Lock) == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return false;
    RaiseLockError(Fd, Type, Offset, Length, errno);
  }
}

char32_t FoldCase(char32_t Char) { return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(Char), U_FOLD_CASE_DEFAULT)); }

std::u32string ToFoldedCodePoints(const TORVString& Text) {
  std::u32string Result;
  Result.reserve(Text.size());
  int32_t Length = static_cast<int32_t>(Text.size());
  for (int32_t Pos = 0; Pos < Length;) {
    UChar32 Char;
    U16_NEXT(Text.data(), Pos, Length, Char);
    Result.push_back(FoldCase(static_cast<char32_t>(Char)));
  }
  return Result;
}

}  // namespace

TORVFileHandle PlatformFileOpen(const TORVString& FileName, const TORVPlatformOpenMode& Mode) {
  std::string Name = StringToUtf8(FileName);
  // Truncation waits until the share mode is granted, so that a refused
  // create never empties a file that someone else holds.
  int Access = Mode.ReadOnly && !Mode.Create ? O_RDONLY : O_RDWR;
  bool Created = false;
  int Fd;
  for (;;) {
    if (Mode.Create) {
      Fd = ::open(Name.c_str(), Access | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (Fd >= 0) {
        Created = true;
        break;
      }
      if (errno == EINTR) continue;
      if (errno != EEXIST) RaiseLastFileError();
    }
    Fd = ::open(Name.c_str(), Access | O_CLOEXEC);
    if (Fd >= 0) break;
    if (errno == EINTR) continue;
    // The existing file went away between the two opens: create it after all.
    if (Mode.Create && errno == ENOENT) continue;
    RaiseLastFileError();
  }
  try {
    struct stat Info;
    if (::fstat(Fd, &Info) != 0) RaiseLastFileError();
    if (S_ISDIR(Info.st_mode)) RaiseError(EISDIR);
    while (::flock(Fd, (Mode.Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno == EWOULDBLOCK) RaiseSharingViolation();
      RaiseLastFileError();
    }
    if (Mode.Create && !Created) {
      while (::ftruncate(Fd, 0) != 0) {
        if (errno != EINTR) RaiseLastFileError();
      }
    }
    if (Created) SyncFolder(FolderOf(Name));
    RegisterHandle(Fd);
  } catch (...) {
    ::close(Fd);
    throw;
  }
  return Fd;
}

void PlatformFileClose(TORVFileHandle& Handle) {
  if (Handle == InvalidFileHandle) return;
  int Fd = Handle;
  Handle = InvalidFileHandle;
  UnregisterHandle(Fd);
  // A close interrupted by a signal has still released the descriptor on
  // Linux; retrying could close a descriptor another thread just opened.
  if (::close(Fd) != 0 && errno != EINTR) RaiseLastFileError();
}

int32_t PlatformFileRead(TORVFileHandle Handle, int64_t Offset, int32_t Count, uint8_t* Buffer) {
  if (Count < 0 || Offset < 0 || (Count > 0 && Buffer == nullptr)) return -1;
  int32_t Done = 0;
  while (Done < Count) {
    ssize_t Result = ::pread(Handle, Buffer + Done, static_cast<size_t>(Count - Done), Offset + Done);
    if (Result < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (Result == 0) break;
    Done += static_cast<int32_t>(Result);
  }
  return Done;
}

int32_t PlatformFileWrite(TORVFileHandle Handle, int64_t Offset, int32_t Count,
                          const uint8_t* Buffer) {
  if (Count < 0 || Offset < 0 || (Count > 0 && Buffer == nullptr)) return -1;
  int32_t Done = 0;
  while (Done < Count) {
    ssize_t Result = ::pwrite(Handle, Buffer + Done, static_cast<size_t>(Count - Done), Offset + Done);
    if (Result < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (Result == 0) return -1;
    Done += static_cast<int32_t>(Result);
  }
  return Done;
}

int64_t PlatformFileSize(TORVFileHandle Handle) {
  struct stat Info;
  if (::fstat(Handle, &Info) != 0) RaiseLastFileError();
  return Info.st_size;
}

void PlatformSetFileSize(TORVFileHandle Handle, int64_t Size) {
  if (Size < 0) RaiseError(EINVAL);
  while (::ftruncate(Handle, Size) != 0) {
    if (errno != EINTR) RaiseLastFileError();
  }
}

void PlatformFileFlush(TORVFileHandle Handle) {
  while (::fdatasync(Handle) != 0) {
    if (errno != EINTR) RaiseLastFileError();
  }
}

TORVPlatformFileTime PlatformFileCreated(TORVFileHandle Handle) {
  struct statx Info;
  if (::statx(Handle, "", AT_EMPTY_PATH, STATX_BTIME, &Info) != 0 || !(Info.stx_mask & STATX_BTIME))
    return {};
  return FromStatxTime(Info.stx_btime);
}

TORVPlatformFileTime PlatformFileModified(TORVFileHandle Handle) {
  struct statx Info;
  if (::statx(Handle, "", AT_EMPTY_PATH, STATX_MTIME, &Info) != 0 || !(Info.stx_mask & STATX_MTIME))
    return {};
  return FromStatxTime(Info.stx_mtime);
}

bool PlatformFileLock(TORVFileHandle Handle, int64_t Offset, int64_t Length) {
  CheckRange(Offset, Length);
  int64_t End = Offset + (Length - 1);
  TLockTable& Table = LockTable();
  std::lock_guard<std::mutex> Guard(Table.Section);
  const THandleLock& Entry = HandleLockOf(Table, Handle, F_WRLCK, Offset, Length);
  auto& Ranges = Table.Files[Entry.Key];
  // Ranges never overlap, so the last one starting at or before End is the
  // only one that can reach into [Offset, End].
  auto Next = Ranges.upper_bound(End);
  if (Next != Ranges.begin() && std::prev(Next)->second.End >= Offset) return false;
  if (!SetRangeLock(Handle, Entry.Type, Offset, Length)) return false;
  Ranges.emplace(Offset, TRangeLock{Handle, End, Length});
  return true;
}

bool PlatformFileUnlock(TORVFileHandle Handle, int64_t Offset, int64_t Length) {
  CheckRange(Offset, Length);
  TLockTable& Table = LockTable();
  std::lock_guard<std::mutex> Guard(Table.Section);
  auto File = Table.Files.find(HandleLockOf(Table, Handle, F_UNLCK, Offset, Length).Key);
  if (File == Table.Files.end()) return false;
  auto Found = File->second.find(Offset);
  if (Found == File->second.end() || Found->second.Handle != Handle || Found->second.Length != Length)
    return false;
  SetRangeLock(Handle, F_UNLCK, Offset, Length);
  File->second.erase(Found);
  if (File->second.empty()) Table.Files.erase(File);
  return true;
}

bool PlatformFileTimeToLocal(const TORVPlatformFileTime& Time, TORVClockFields& Local) {
  Local = TORVClockFields();
  return Time.Valid && SplitClockTime(Time.Seconds, Time.Nanoseconds, false, Local);
}

TORVPlatformFileInfo PlatformGetFileInfo(const TORVString& FileName) {
  TORVPlatformFileInfo Result;
  std::string Name = StringToUtf8(FileName);
  struct statx Info;
  if (Name.empty() ||
      ::statx(AT_FDCWD, Name.c_str(), 0, STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BTIME | STATX_MTIME,
              &Info) != 0)
    return Result;
  Result.Exists = true;
  Result.IsDirectory = S_ISDIR(Info.stx_mode);
  Result.ReadOnly = (Info.stx_mode & 0222) == 0;
  Result.Size = static_cast<int64_t>(Info.stx_size);
  if (Info.stx_mask & STATX_BTIME) Result.Created = FromStatxTime(Info.stx_btime);
  if (Info.stx_mask & STATX_MTIME) Result.Modified = FromStatxTime(Info.stx_mtime);
  return Result;
}

void PlatformFileRename(const TORVString& FileName, const TORVString& NewFileName) {
  std::string From = StringToUtf8(FileName);
  std::string To = StringToUtf8(NewFileName);
  if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) RaiseLastFileError();
    // File systems without the no-replace flag: a hard link refuses an
    // existing target just as atomically.
    if (::link(From.c_str(), To.c_str()) != 0) RaiseLastFileError();
    if (::unlink(From.c_str()) != 0) {
      int Error = errno;
      ::unlink(To.c_str());
      RaiseError(Error);
    }
  }
  SyncFolder(FolderOf(To));
  if (FolderOf(From) != FolderOf(To)) SyncFolder(FolderOf(From));
}

void PlatformFileReplace(const TORVString& FileName, const TORVString& NewFileName) {
  std::string From = StringToUtf8(FileName);
  std::string To = StringToUtf8(NewFileName);
  if (::rename(From.c_str(), To.c_str()) != 0) RaiseLastFileError();
  SyncFolder(FolderOf(To));
  if (FolderOf(From) != FolderOf(To)) SyncFolder(FolderOf(From));
}

bool PlatformFileNameMatchesHandle(TORVFileHandle Handle, const TORVString& FileName) {
  struct stat Open;
  if (::fstat(Handle, &Open) != 0) RaiseLastFileError();
  struct stat Named;
  std::string Name = StringToUtf8(FileName);
  if (::stat(Name.c_str(), &Named) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    RaiseLastFileError();
  }
  return Open.st_dev == Named.st_dev && Open.st_ino == Named.st_ino;
}

void PlatformFileDelete(const TORVString& FileName) {
  std::string Name = StringToUtf8(FileName);
  if (::unlink(Name.c_str()) != 0) RaiseLastFileError();
}

bool PlatformCreateDirectory(const TORVString& Path) {
  std::string Name = StringToUtf8(Path);
  return !Name.empty() && ::mkdir(Name.c_str(), 0777) == 0;
}

bool PlatformRemoveDirectory(const TORVString& Path) {
  std::string Name = StringToUtf8(Path);
  return !Name.empty() && ::rmdir(Name.c_str()) == 0;
}

bool PlatformDirectoryExists(const TORVString& Path) {
  std::string Name = StringToUtf8(Path);
  struct stat Info;
  return !Name.empty() && ::stat(Name.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

namespace {

// A mask as MatchFolded takes it: folded code points.
std::u32string FoldedMask(const TORVString& Mask) {
  std::u32string Pattern = ToFoldedCodePoints(Mask);
  if (Pattern == U"*.*") Pattern.resize(1);  // the customary "every file" mask: "*"
  return Pattern;
}

bool MatchFolded(const std::u32string& Value, const std::u32string& Pattern) {
  size_t V = 0, P = 0;
  size_t StarP = std::u32string::npos, StarV = 0;
  while (V < Value.size()) {
    if (P < Pattern.size() && (Pattern[P] == U'?' || (Pattern[P] != U'*' && Pattern[P] == Value[V]))) {
      ++V;
      ++P;
    } else if (P < Pattern.size() && Pattern[P] == U'*') {
      StarP = P++;
      StarV = V;
    } else if (StarP != std::u32string::npos) {
      P = StarP + 1;
      V = ++StarV;
    } else {
      return false;
    }
  }
  while (P < Pattern.size() && Pattern[P] == U'*') ++P;
  return P == Pattern.size() && !Pattern.empty();
}

}  // namespace

bool PlatformMatchFileMask(const TORVString& Name, const TORVString& Mask) {
  return MatchFolded(ToFoldedCodePoints(Name), FoldedMask(Mask));
}

std::vector<TORVString> PlatformListFiles(const TORVString& Mask) {
  std::vector<TORVString> Result;
  std::string Full = StringToUtf8(Mask);
  std::string::size_type Slash = Full.rfind('/');
  std::string Folder = FolderOf(Full);
  // Folded once for the whole folder.
  std::u32string Pattern = FoldedMask(Utf8ToString(Slash == std::string::npos ? Full : Full.substr(Slash + 1)));
  if (Pattern.empty()) return Result;
  DIR* Dir = ::opendir(Folder.c_str());
  if (Dir == nullptr) return Result;
  int DirFd = ::dirfd(Dir);
  for (;;) {
    errno = 0;
    struct dirent* Entry = ::readdir(Dir);
    if (Entry == nullptr) break;
    std::string EntryName = Entry->d_name;
    if (EntryName == "." || EntryName == "..") continue;
    bool IsDirectory = Entry->d_type == DT_DIR;
    if (Entry->d_type == DT_UNKNOWN || Entry->d_type == DT_LNK) {
      struct stat Info;
      IsDirectory = ::fstatat(DirFd, Entry->d_name, &Info, 0) == 0 && S_ISDIR(Info.st_mode);
    }
    if (IsDirectory) continue;
    TORVString Name = Utf8ToString(EntryName);
    if (MatchFolded(ToFoldedCodePoints(Name), Pattern)) Result.push_back(std::move(Name));
  }
  ::closedir(Dir);
  std::sort(Result.begin(), Result.end());
  return Result;
}

void PlatformRaiseOpenFileLimit() {
  struct rlimit Limit;
  if (::getrlimit(RLIMIT_NOFILE, &Limit) != 0 || Limit.rlim_cur >= Limit.rlim_max) return;
  Limit.rlim_cur = Limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &Limit);
}

}  // namespace orv
