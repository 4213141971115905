#include "platform/orvplatformfile.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

class PlatformFile : public test::TempFolderTest {
 protected:
  // Row locks of a table sit far beyond any file's end.
  static int64_t Far() { return 128000000000LL; }

  TORVFileHandle Open(const std::string& Name, bool ReadOnly = false, bool Exclusive = false,
                      bool Create = false) {
    TORVPlatformOpenMode Mode;
    Mode.ReadOnly = ReadOnly;
    Mode.Exclusive = Exclusive;
    Mode.Create = Create;
    return PlatformFileOpen(PathName(Name), Mode);
  }

  void WriteText(const std::string& Name, const std::string& Text) {
    std::ofstream(Folder() / Name, std::ios::binary) << Text;
  }

  std::string ReadText(const std::string& Name) {
    std::ifstream In(Folder() / Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }

  int OpenErrorCode(const std::string& Name, bool ReadOnly, bool Exclusive, bool Create) {
    try {
      TORVFileHandle Handle = Open(Name, ReadOnly, Exclusive, Create);
      PlatformFileClose(Handle);
    } catch (const EORVPlatformFileError& E) {
      return E.OSErrorCode();
    }
    return 0;
  }
};

TEST_F(PlatformFile, WritesReadsAndResizesAtOffsets) {
  TORVFileHandle Handle = Open("a.dat", false, false, true);
  const std::vector<uint8_t> Data = {1, 2, 3, 4, 5};
  EXPECT_EQ(PlatformFileWrite(Handle, 10, 5, Data.data()), 5);
  EXPECT_EQ(PlatformFileSize(Handle), 15);

  std::vector<uint8_t> Buffer(20, 0xEE);
  // Reads stop at the end of the file; the gap before a write reads as zeros.
  EXPECT_EQ(PlatformFileRead(Handle, 8, 20, Buffer.data()), 7);
  EXPECT_EQ((std::vector<uint8_t>(Buffer.begin(), Buffer.begin() + 7)),
            (std::vector<uint8_t>{0, 0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(PlatformFileRead(Handle, 15, 4, Buffer.data()), 0);

  PlatformSetFileSize(Handle, 12);
  EXPECT_EQ(PlatformFileSize(Handle), 12);
  PlatformSetFileSize(Handle, 4096);
  EXPECT_EQ(PlatformFileRead(Handle, 11, 2, Buffer.data()), 2);
  EXPECT_EQ(Buffer[0], 2);
  EXPECT_EQ(Buffer[1], 0);  // extended space is zero
  PlatformFileFlush(Handle);

  EXPECT_EQ(PlatformFileRead(Handle, -1, 2, Buffer.data()), -1);
  PlatformFileClose(Handle);
  EXPECT_EQ(Handle, InvalidFileHandle);
  PlatformFileClose(Handle);  // closing a closed handle does nothing
}

TEST_F(PlatformFile, CreateEmptiesAnExistingFileAndOpenRequiresOne) {
  WriteText("old.dat", "previous contents");
  TORVFileHandle Handle = Open("old.dat", false, false, true);
  EXPECT_EQ(PlatformFileSize(Handle), 0);
  PlatformFileClose(Handle);

  EXPECT_EQ(OpenErrorCode("missing.dat", false, false, false), ENOENT);
  EXPECT_EQ(OpenErrorCode("no/such/folder.dat", false, false, true), ENOENT);
  std::filesystem::create_directory(Folder() / "sub");
  EXPECT_EQ(OpenErrorCode("sub", true, false, false), EISDIR);
}

TEST_F(PlatformFile, ShareModesRefuseOpenersOfAnExclusiveFile) {
  WriteText("s.dat", "keep me");
  TORVFileHandle Shared1 = Open("s.dat");
  TORVFileHandle Shared2 = Open("s.dat", true);
  // An exclusive open or create is refused while the file is shared, and the
  // refused create leaves the contents alone.
  EXPECT_EQ(OpenErrorCode("s.dat", false, true, false), EWOULDBLOCK);
  EXPECT_EQ(OpenErrorCode("s.dat", false, true, true), EWOULDBLOCK);
  EXPECT_EQ(ReadText("s.dat"), "keep me");
  PlatformFileClose(Shared1);
  PlatformFileClose(Shared2);

  TORVFileHandle Exclusive = Open("s.dat", false, true);
  EXPECT_EQ(OpenErrorCode("s.dat", true, false, false), EWOULDBLOCK);
  EXPECT_EQ(OpenErrorCode("s.dat", false, true, false), EWOULDBLOCK);
  try {
    Open("s.dat");
    FAIL() << "open succeeded";
  } catch (const EORVPlatformFileError& E) {
    EXPECT_EQ(E.Message(), u"The file is being used by another process");
  }
  PlatformFileClose(Exclusive);
  EXPECT_EQ(OpenErrorCode("s.dat", false, false, false), 0);
}

TEST_F(PlatformFile, ReadOnlyHandleRefusesWrites) {
  WriteText("r.dat", "abc");
  TORVFileHandle Handle = Open("r.dat", true);
  uint8_t Byte = 'x';
  EXPECT_EQ(PlatformFileWrite(Handle, 0, 1, &Byte), -1);
  EXPECT_EQ(PlatformFileRead(Handle, 2, 1, &Byte), 1);
  EXPECT_EQ(Byte, 'c');
  PlatformFileClose(Handle);
}

TEST_F(PlatformFile, RenameRefusesAnExistingTarget) {
  WriteText("a.dat", "A");
  WriteText("b.dat", "B");
  try {
    PlatformFileRename(PathName("a.dat"), PathName("b.dat"));
    FAIL() << "rename replaced a file";
  } catch (const EORVPlatformFileError& E) {
    EXPECT_EQ(E.OSErrorCode(), EEXIST);
  }
  EXPECT_EQ(ReadText("a.dat"), "A");
  EXPECT_EQ(ReadText("b.dat"), "B");

  std::filesystem::create_directory(Folder() / "sub");
  PlatformFileRename(PathName("a.dat"), PathName("sub/c.dat"));
  EXPECT_FALSE(std::filesystem::exists(Folder() / "a.dat"));
  EXPECT_EQ(ReadText("sub/c.dat"), "A");
  EXPECT_THROW(PlatformFileRename(PathName("a.dat"), PathName("d.dat")), EORVPlatformFileError);

  PlatformFileDelete(PathName("b.dat"));
  EXPECT_FALSE(std::filesystem::exists(Folder() / "b.dat"));
  EXPECT_THROW(PlatformFileDelete(PathName("b.dat")), EORVPlatformFileError);
}

TEST_F(PlatformFile, FileInfoTellsKindSizeTimesAndReadOnly) {
  WriteText("i.dat", "12345");
  TORVPlatformFileInfo Info = PlatformGetFileInfo(PathName("i.dat"));
  EXPECT_TRUE(Info.Exists);
  EXPECT_FALSE(Info.IsDirectory);
  EXPECT_FALSE(Info.ReadOnly);
  EXPECT_EQ(Info.Size, 5);
  EXPECT_TRUE(Info.Modified.Valid);
  EXPECT_GT(Info.Modified.Seconds, 1500000000);

  TORVFileHandle Handle = Open("i.dat", true);
  EXPECT_EQ(PlatformFileModified(Handle).Seconds, Info.Modified.Seconds);
  TORVPlatformFileTime Created = PlatformFileCreated(Handle);
  if (Created.Valid) {
    EXPECT_EQ(Created.Seconds, Info.Created.Seconds);
  }
  PlatformFileClose(Handle);

  std::filesystem::permissions(Folder() / "i.dat", std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::group_read);
  EXPECT_TRUE(PlatformGetFileInfo(PathName("i.dat")).ReadOnly);
  EXPECT_TRUE(PlatformGetFileInfo(FolderName()).IsDirectory);
  EXPECT_FALSE(PlatformGetFileInfo(PathName("none.dat")).Exists);
  EXPECT_FALSE(PlatformGetFileInfo(u"").Exists);
}

TEST(PlatformFileTime, ConvertsToLocalTimeWithTheZoneOfTheProcess) {
  std::string Saved = getenv("TZ") != nullptr ? getenv("TZ") : "";
  setenv("TZ", "XXX-2", 1);  // two hours east of UTC, no daylight saving
  tzset();
  TORVPlatformFileTime Time;
  Time.Valid = true;
  Time.Seconds = 951782400 + 22 * 3600;  // 2000-02-29 22:00:00 UTC
  Time.Nanoseconds = 999999999;
  TORVClockFields Local;
  EXPECT_TRUE(PlatformFileTimeToLocal(Time, Local));
  EXPECT_EQ(Local.Year, 2000);
  EXPECT_EQ(Local.Month, 3);
  EXPECT_EQ(Local.Day, 1);
  EXPECT_EQ(Local.Hour, 0);
  EXPECT_EQ(Local.Minute, 0);
  EXPECT_EQ(Local.Second, 0);
  EXPECT_EQ(Local.MSecond, 999);
  EXPECT_FALSE(PlatformFileTimeToLocal(TORVPlatformFileTime(), Local));
  EXPECT_EQ(Local.Year, 0);
  if (Saved.empty()) {
    unsetenv("TZ");
  } else {
    setenv("TZ", Saved.c_str(), 1);
  }
  tzset();
}

TEST_F(PlatformFile, DirectoriesAreMadeTestedAndRemoved) {
  EXPECT_TRUE(PlatformCreateDirectory(PathName("d")));
  EXPECT_FALSE(PlatformCreateDirectory(PathName("d")));
  EXPECT_FALSE(PlatformCreateDirectory(PathName("x/y")));
  EXPECT_TRUE(PlatformDirectoryExists(PathName("d")));
  WriteText("d/f", "");
  EXPECT_FALSE(PlatformDirectoryExists(PathName("d/f")));
  EXPECT_FALSE(PlatformRemoveDirectory(PathName("d")));  // not empty
  std::filesystem::remove(Folder() / "d" / "f");
  EXPECT_TRUE(PlatformRemoveDirectory(PathName("d")));
  EXPECT_FALSE(PlatformDirectoryExists(PathName("d")));
}

TEST(PlatformFileMask, MatchesWildcardsWithoutRegardToCase) {
  struct Case {
    const char16_t* Name;
    const char16_t* Mask;
    bool Matches;
  };
  const Case Cases[] = {
      {u"T.ORVTbl", u"*.orvtbl", true},  {u"t.orvtbl", u"T.ORVTBL", true},
      {u"Straße.dat", u"STRASSE.dat", false}, {u"ÄB.dat", u"äb.*", true},
      {u"abc", u"a?c", true},            {u"ac", u"a?c", false},
      {u"abc", u"*", true},              {u"abc", u"*.*", true},
      {u"a.b.c", u"*.c", true},          {u"abcbc", u"a*bc", true},
      {u"abcbd", u"a*bc", false},        {u"abc", u"", false},
      {u"", u"*", true},                 {u"abc", u"ab", false},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(PlatformMatchFileMask(C.Name, C.Mask), C.Matches)
        << StringToUtf8(C.Name) << " / " << StringToUtf8(C.Mask);
}

TEST_F(PlatformFile, ListsMatchingFilesButNotFolders) {
  WriteText("b.ORVTbl", "");
  WriteText("a.orvtbl", "");
  WriteText("a.ORVIdx", "");
  std::filesystem::create_directory(Folder() / "dir.ORVTbl");
  EXPECT_EQ(PlatformListFiles(PathName("*.ORVTBL")), (std::vector<TORVString>{u"a.orvtbl", u"b.ORVTbl"}));
  EXPECT_EQ(PlatformListFiles(PathName("*")).size(), 3u);
  EXPECT_TRUE(PlatformListFiles(PathName("")).empty());
  EXPECT_TRUE(PlatformListFiles(PathName("missing/*")).empty());
}

// The lock cases a table file sees: locks of one handle never overlap, other
// handles are kept off, and an unlock needs the exact range.
TEST_F(PlatformFile, ByteRangeLocksConflictBetweenHandlesAndUnlockExactly) {
  TORVFileHandle H1 = Open("l.dat", false, false, true);
  TORVFileHandle H2 = Open("l.dat");
  struct Step {
    TORVFileHandle* Handle;
    bool Lock;
    int64_t Offset, Length;
    bool Result;
  };
  const Step Steps[] = {
      {&H1, true, 100, 10, true},   {&H1, true, 105, 1, false},  {&H2, true, 105, 1, false},
      {&H2, true, 90, 11, false},   {&H1, true, 110, 5, true},   {&H2, true, 115, 1, true},
      {&H1, false, 105, 1, false},  {&H1, false, 100, 99, false}, {&H2, false, 100, 10, false},
      {&H1, false, 100, 10, true},  {&H2, true, 105, 1, true},   {&H2, true, 112, 1, false},
      {&H1, true, Far() + 5, 1, true}, {&H2, true, Far(), 10, false}, {&H2, true, Far() + 6, 1, true},
      {&H1, false, Far() + 5, 1, true}, {&H2, true, Far(), 5, true},
  };
  int Index = 0;
  for (const Step& S : Steps) {
    bool Result = S.Lock ? PlatformFileLock(*S.Handle, S.Offset, S.Length)
                         : PlatformFileUnlock(*S.Handle, S.Offset, S.Length);
    EXPECT_EQ(Result, S.Result) << "step " << Index;
    ++Index;
  }
  // Closing a handle drops its locks (110..114 was H1's).
  PlatformFileClose(H1);
  EXPECT_TRUE(PlatformFileLock(H2, 110, 2));
  PlatformFileClose(H2);
}

TEST_F(PlatformFile, ByteRangeLockRefusesBadRanges) {
  TORVFileHandle Handle = Open("l.dat", false, false, true);
  EXPECT_THROW(PlatformFileLock(Handle, -1, 1), EORVPlatformFileError);
  EXPECT_THROW(PlatformFileLock(Handle, 0, 0), EORVPlatformFileError);
  EXPECT_THROW(PlatformFileLock(Handle, INT64_MAX, 2), EORVPlatformFileError);
  EXPECT_THROW(PlatformFileUnlock(Handle, 0, -5), EORVPlatformFileError);
  EXPECT_TRUE(PlatformFileLock(Handle, INT64_MAX, 1));
  PlatformFileClose(Handle);
}

// A child process holds an exclusive open of one file and a byte-range lock
// on another; the parent is kept off both until the child is killed.
TEST_F(PlatformFile, LocksAndShareModesHoldOtherProcessesOffUntilTheyDie) {
  WriteText("x.dat", "");
  WriteText("l.dat", "");
  int Ready[2];
  int Hold[2];
  ASSERT_EQ(pipe(Ready), 0);
  ASSERT_EQ(pipe(Hold), 0);
  pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    char Answer = 'F';
    try {
      Open("x.dat", false, true);
      TORVFileHandle Locked = Open("l.dat");
      if (PlatformFileLock(Locked, Far(), 10)) Answer = 'L';
    } catch (...) {
    }
    if (write(Ready[1], &Answer, 1) != 1) _exit(1);
    char Byte;
    while (read(Hold[0], &Byte, 1) < 0 && errno == EINTR) {
    }
    _exit(0);  // never reached while the parent holds the pipe open
  }
  close(Ready[1]);
  close(Hold[0]);
  char Answer = 0;
  ASSERT_EQ(read(Ready[0], &Answer, 1), 1);
  EXPECT_EQ(Answer, 'L');

  EXPECT_EQ(OpenErrorCode("x.dat", true, false, false), EWOULDBLOCK);
  TORVFileHandle Handle = Open("l.dat");
  EXPECT_FALSE(PlatformFileLock(Handle, Far(), 10));
  EXPECT_FALSE(PlatformFileLock(Handle, Far() + 9, 1));
  EXPECT_TRUE(PlatformFileLock(Handle, Far() + 10, 1));

  kill(Child, SIGKILL);
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  EXPECT_TRUE(WIFSIGNALED(Status));
  close(Ready[0]);
  close(Hold[1]);

  EXPECT_TRUE(PlatformFileLock(Handle, Far(), 10));
  EXPECT_EQ(OpenErrorCode("x.dat", false, true, false), 0);
  PlatformFileClose(Handle);
}

// A read-only handle cannot hold an exclusive system lock; what it takes
// must still keep a writer of another process off its range, and be refused
// the range that writer holds. Each side locks only after the fork, so that
// the child's copy of the in-process table holds nothing of the parent's.
TEST_F(PlatformFile, ReadOnlyAndReadWriteHandlesOfTwoProcessesRefuseEachOther) {
  WriteText("l.dat", "");
  int Ready[2];
  int Go[2];
  ASSERT_EQ(pipe(Ready), 0);
  ASSERT_EQ(pipe(Go), 0);
  pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    // Without the parent's ends the child sees the end of Go, and leaves,
    // as soon as the parent is gone, also when a failed check cut it short.
    close(Ready[0]);
    close(Go[1]);
    // T or F per lock: the child's own range, then the parent's range and a
    // range overlapping its end once the parent holds them.
    char Answers[3] = {'?', '?', '?'};
    char Byte;
    try {
      TORVFileHandle Writer = Open("l.dat");
      Answers[0] = PlatformFileLock(Writer, Far() + 20, 5) ? 'T' : 'F';
      if (write(Ready[1], Answers, 1) != 1) _exit(1);
      while (read(Go[0], &Byte, 1) < 0 && errno == EINTR) {
      }
      Answers[1] = PlatformFileLock(Writer, Far(), 10) ? 'T' : 'F';
      Answers[2] = PlatformFileLock(Writer, Far() + 9, 5) ? 'T' : 'F';
    } catch (...) {
    }
    if (write(Ready[1], Answers + 1, 2) != 2) _exit(1);
    while (read(Go[0], &Byte, 1) < 0 && errno == EINTR) {
    }
    _exit(0);  // never reached while the parent holds the pipe open
  }
  close(Ready[1]);
  close(Go[0]);
  TORVFileHandle ReadOnly = Open("l.dat", true);
  char Answers[3] = {};
  ASSERT_EQ(read(Ready[0], Answers, 1), 1);
  ASSERT_EQ(Answers[0], 'T');
  EXPECT_FALSE(PlatformFileLock(ReadOnly, Far() + 20, 5));
  EXPECT_FALSE(PlatformFileLock(ReadOnly, Far() + 24, 1));
  EXPECT_TRUE(PlatformFileLock(ReadOnly, Far() + 25, 1));
  EXPECT_TRUE(PlatformFileLock(ReadOnly, Far(), 10));
  ASSERT_EQ(write(Go[1], "g", 1), 1);
  ASSERT_EQ(read(Ready[0], Answers + 1, 2), 2);
  EXPECT_EQ(std::string(Answers + 1, 2), "FF");

  kill(Child, SIGKILL);
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  close(Ready[0]);
  close(Go[1]);
  EXPECT_TRUE(PlatformFileLock(ReadOnly, Far() + 20, 5));
  PlatformFileClose(ReadOnly);
}

// Only a conflict answers False: a lock call the system refuses for another
// reason reaches the caller as the file layer's error, with the system's text.
TEST_F(PlatformFile, FailedLockCallRaisesTheFileManagerError) {
  TORVFileHandle Handle = Open("l.dat", false, false, true);
  ASSERT_TRUE(PlatformFileLock(Handle, 50, 5));
  // The descriptor goes away behind the file layer's back.
  ASSERT_EQ(close(Handle), 0);
  struct Case {
    bool Lock;
    int64_t Offset;
    std::string Message;
  };
  const Case Cases[] = {
      {true, 100, "File manager error (Cannot lock 5 bytes at 100 of the file descriptor " +
                      std::to_string(Handle) + " (OS Error: Bad file descriptor))"},
      {false, 50, "File manager error (Cannot unlock 5 bytes at 50 of the file descriptor " +
                      std::to_string(Handle) + " (OS Error: Bad file descriptor))"},
  };
  for (const Case& C : Cases) {
    try {
      if (C.Lock) {
        PlatformFileLock(Handle, C.Offset, 5);
      } else {
        PlatformFileUnlock(Handle, C.Offset, 5);
      }
      ADD_FAILURE() << "no error for offset " << C.Offset;
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), 600);
      EXPECT_EQ(StringToUtf8(E.ErrorMsg()), C.Message);
    }
  }
  EXPECT_THROW(PlatformFileClose(Handle), EORVPlatformFileError);
}

}  // namespace
}  // namespace orv
