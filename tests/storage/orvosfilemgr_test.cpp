#include "storage/orvosfilemgr.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/orvdatetime.h"
#include "base/orverror.h"
#include "base/orvutf8.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

// A manager that leaves other processes free to open its files and locks
// byte ranges on disk.
class SharedOSFileManager : public TORVOSFileManager {
 public:
  bool GetExclusiveFileAccess() override { return false; }
};

class OSFiles : public test::TempFolderTest {
 protected:
  void WriteText(const std::string& Name, const std::string& Text) {
    std::ofstream(Folder() / Name, std::ios::binary) << Text;
  }
  std::string ReadText(const std::string& Name) {
    std::ifstream In(Folder() / Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }
  static std::string ErrorOf(const std::function<void()>& Call) {
    try {
      Call();
    } catch (const EORVException& E) {
      return std::to_string(E.ErrorCode()) + " " + StringToUtf8(E.ErrorMsg());
    }
    return "no error";
  }
  std::string Utf8(const TORVString& Text) { return StringToUtf8(Text); }
};

TEST_F(OSFiles, ReadOnlyFileOpensReadOnlyWithoutError) {
  WriteText("r.dat", "abc");
  std::filesystem::permissions(Folder() / "r.dat", std::filesystem::perms::owner_read);
  SharedOSFileManager Manager;
  Manager.Initialize();
  auto Stream = Manager.OpenFile(PathName("r.dat"), TORVFileOptions());
  EXPECT_TRUE(Stream->GetOptions().Contains(foReadOnly));
  TORVBytes Buffer(3);
  EXPECT_EQ(Stream->Read(Buffer, 0, 3), 3);
  EXPECT_EQ(Stream->Write(Buffer, 0, 3), -1);
}

TEST_F(OSFiles, FailuresCarryTheFileNamesAndTheSystemText) {
  SharedOSFileManager Manager;
  Manager.Initialize();
  WriteText("a.dat", "A");
  WriteText("b.dat", "B");
  const std::string A = Utf8(PathName("a.dat"));
  const std::string B = Utf8(PathName("b.dat"));
  const std::string Missing = Utf8(PathName("missing.dat"));
  const std::string Deep = Utf8(PathName("no/such.dat"));
  EXPECT_EQ(ErrorOf([&] { Manager.OpenFile(PathName("missing.dat"), TORVFileOptions()); }),
            "600 File manager error (Cannot open file " + Missing + " (OS Error: No such file or directory))");
  EXPECT_EQ(ErrorOf([&] { Manager.CreateFile(PathName("no/such.dat"), TORVFileOptions()); }),
            "600 File manager error (Cannot create file " + Deep + " (OS Error: No such file or directory))");
  EXPECT_EQ(ErrorOf([&] { Manager.RenameFile(PathName("a.dat"), PathName("b.dat")); }),
            "600 File manager error (Cannot rename the file " + A + " to " + B + " (OS Error: File exists))");
  EXPECT_EQ(ErrorOf([&] { Manager.DeleteFile(PathName("missing.dat")); }),
            "600 File manager error (Cannot delete the file " + Missing + " (OS Error: No such file or directory))");
  EXPECT_EQ(ReadText("a.dat"), "A");
  EXPECT_EQ(ReadText("b.dat"), "B");
  EXPECT_EQ(Manager.GetNumFiles(), 0);  // failed opens leave the registry alone

  // A registered file renames on disk and in the registry.
  auto Stream = Manager.CreateFile(PathName("c.dat"), TORVFileOptions{foLockable});
  Stream->Close();
  Manager.RenameFile(PathName("a.dat"), PathName("d.dat"));
  EXPECT_EQ(ReadText("d.dat"), "A");
  Manager.DeleteFile(PathName("d.dat"));
  EXPECT_FALSE(std::filesystem::exists(Folder() / "d.dat"));
}

TEST_F(OSFiles, CreatePathMakesEveryMissingFolder) {
  TORVOSFileManager Manager;
  EXPECT_TRUE(Manager.CreatePath(PathName("x/y/z/")));
  EXPECT_TRUE(std::filesystem::is_directory(Folder() / "x" / "y" / "z"));
  EXPECT_TRUE(Manager.CreatePath(PathName("x/y/w")));
  EXPECT_TRUE(Manager.PathExists(PathName("x/y/w")));
  EXPECT_TRUE(Manager.CreatePath(u""));
  WriteText("file", "");
  EXPECT_FALSE(Manager.CreatePath(PathName("file/sub")));
  EXPECT_TRUE(Manager.DeletePath(PathName("x/y/w/")));
  EXPECT_FALSE(Manager.PathExists(PathName("x/y/w")));
  EXPECT_FALSE(Manager.DeletePath(PathName("x")));  // not empty
}

TEST_F(OSFiles, TheFileSystemAnswersForNames) {
  TORVOSFileManager Manager;
  WriteText("T.ORVTbl", "12345");
  WriteText("U.orvtbl", "");
  WriteText("V.ORVIdx", "");
  std::filesystem::create_directory(Folder() / "D.ORVTbl");
  EXPECT_TRUE(Manager.FileExists(PathName("T.ORVTbl"), TORVFileOptions()));
  EXPECT_TRUE(Manager.FileExists(PathName("D.ORVTbl"), TORVFileOptions()));
  EXPECT_FALSE(Manager.FileExists(PathName("none"), TORVFileOptions()));
  EXPECT_EQ(Manager.FileSize(PathName("T.ORVTbl"), TORVFileOptions()), 5);
  EXPECT_EQ(Manager.FileSize(PathName("D.ORVTbl"), TORVFileOptions()), 0);
  int64_t Now = CurrentTimeStamp(false);
  int64_t Modified = Manager.FileModification(PathName("T.ORVTbl"), TORVFileOptions());
  EXPECT_LE(std::llabs(Now - Modified), 60000);
  int64_t Created = Manager.FileCreation(PathName("T.ORVTbl"), TORVFileOptions());
  if (Created != 0) {
    EXPECT_LE(std::llabs(Now - Created), 60000);
  }
  EXPECT_EQ(Manager.FileModification(PathName("none"), TORVFileOptions()), 0);

  TORVStringsList Names;
  Manager.GetFileNames(PathName("*.ORVTBL"), false, Names);
  ASSERT_EQ(Names.GetCount(), 2);
  EXPECT_EQ(Names.GetStrings(0), u"T");
  EXPECT_EQ(Names.GetStrings(1), u"U");
}

TEST_F(OSFiles, ExclusiveAccessKeepsALockableFileOpenUntilReset) {
  auto Manager = std::make_unique<TORVOSFileManager>();
  Manager->Initialize();
  auto Stream = Manager->CreateFile(PathName("t.dat"), TORVFileOptions{foLockable});
  TORVBytes Data{1, 2, 3};
  Stream->Write(Data, 0, 3);
  TORVOSFile* File = static_cast<TORVOSFile*>(Stream->GetFileObject());
  Stream->Close();
  EXPECT_TRUE(File->HandleOpen());
  EXPECT_EQ(Manager->GetNumFiles(), 1);

  // Any other opener, in this process or another, is kept out.
  SharedOSFileManager Other;
  Other.Initialize();
  std::string Refused = ErrorOf([&] { Other.OpenFile(PathName("t.dat"), TORVFileOptions{foReadOnly}); });
  EXPECT_NE(Refused.find("600 File manager error (Cannot open file"), std::string::npos) << Refused;

  // Locks never reach the disk: the in-process table decides.
  auto Again = Manager->OpenFile(PathName("t.dat"), TORVFileOptions{foLockable});
  EXPECT_TRUE(Again->LockRegion(100, 10));
  EXPECT_FALSE(Again->LockRegion(105, 1));
  // Creating it again empties it although the handle stayed open.
  Again->Close();
  EXPECT_EQ(Manager->CreateFile(PathName("t.dat"), TORVFileOptions{foLockable})->GetSize(), 0);

  Manager->Reset();
  EXPECT_EQ(Other.OpenFile(PathName("t.dat"), TORVFileOptions())->GetSize(), 0);
}

TEST_F(OSFiles, DiskLocksConflictBetweenSessionsOfOneProcess) {
  WriteText("l.dat", "");
  SharedOSFileManager First;
  SharedOSFileManager Second;
  First.Initialize();
  Second.Initialize();
  auto A = First.OpenFile(PathName("l.dat"), TORVFileOptions());
  auto B = First.OpenFile(PathName("l.dat"), TORVFileOptions());  // the same handle
  auto C = Second.OpenFile(PathName("l.dat"), TORVFileOptions());  // another handle
  const int64_t Row = 128000000000LL + 17;
  EXPECT_TRUE(A->LockRegion(Row, 1));
  EXPECT_FALSE(B->LockRegion(Row, 1));
  EXPECT_FALSE(C->LockRegion(Row, 1));
  EXPECT_TRUE(C->LockRegion(Row + 1, 1));
  EXPECT_FALSE(A->UnlockRegion(Row + 1, 1));
  EXPECT_TRUE(B->UnlockRegion(Row, 1));
  EXPECT_TRUE(C->LockRegion(Row, 1));
}

// Sessions that may only read a file (opened read-only, or a file with the
// read-only attribute) still lock its ranges against each other.
TEST_F(OSFiles, ReadOnlyHandlesLockAgainstEachOtherInOneProcess) {
  const bool AttributeCases[] = {false, true};
  for (bool Attribute : AttributeCases) {
    SCOPED_TRACE(Attribute ? "read-only attribute" : "opened read-only");
    const std::string Name = Attribute ? "attr.dat" : "opt.dat";
    WriteText(Name, "abc");
    if (Attribute) std::filesystem::permissions(Folder() / Name, std::filesystem::perms::owner_read);
    const TORVFileOptions Options = Attribute ? TORVFileOptions() : TORVFileOptions{foReadOnly};
    SharedOSFileManager First;
    SharedOSFileManager Second;
    First.Initialize();
    Second.Initialize();
    auto A = First.OpenFile(PathName(Name), Options);
    auto B = Second.OpenFile(PathName(Name), Options);
    ASSERT_TRUE(A->GetOptions().Contains(foReadOnly));
    ASSERT_TRUE(B->GetOptions().Contains(foReadOnly));
    const int64_t Row = 128000000000LL + 17;
    EXPECT_TRUE(A->LockRegion(Row, 10));
    EXPECT_FALSE(B->LockRegion(Row + 5, 10));
    EXPECT_FALSE(A->LockRegion(Row + 9, 1));
    EXPECT_TRUE(B->LockRegion(Row + 10, 10));
    EXPECT_TRUE(A->UnlockRegion(Row, 10));
    EXPECT_TRUE(B->LockRegion(Row + 5, 5));
  }
}

TEST_F(OSFiles, PositionedStreamReadsAndWrites) {
  SharedOSFileManager Manager;
  Manager.Initialize();
  auto Stream = Manager.CreateFile(PathName("p.dat"), TORVFileOptions());
  TORVBytes Data{1, 2, 3, 4, 5};
  EXPECT_EQ(Stream->Write(Data, 1, 4), 4);
  EXPECT_EQ(Stream->GetPosition(), 4);
  EXPECT_EQ(Stream->Seek(-2, orCurrent), 2);
  EXPECT_EQ(Stream->Seek(-1, orEnd), 3);
  TORVBytes Back(4);
  EXPECT_EQ(Stream->Read(Back, 0, 4), 1);
  EXPECT_EQ(Back[0], 5);
  Stream->SetSize(2);
  EXPECT_EQ(Stream->GetPosition(), 2);
  EXPECT_EQ(Stream->GetSize(), 2);
  EXPECT_EQ(Stream->Read(Back, 2, 3), -1);  // past the end of the caller's buffer
}

// ------------------------------------------------------------ buffered files

// A buffered file whose flush clock the test sets.
class ClockedFile : public TORVBufferedOSFile {
 public:
  using TORVBufferedOSFile::TORVBufferedOSFile;
  int64_t Now = 0;

 protected:
  int64_t CurrentFlushTime() override { return Now; }
};

// A buffered file whose flush always fails.
class FailingFile : public TORVBufferedOSFile {
 public:
  using TORVBufferedOSFile::TORVBufferedOSFile;
  void Flush(bool) override { throw EORVException(601, u"flush failed"); }
};

class TestBufferedManager : public TORVBufferedOSFileManager {
 public:
  bool GetExclusiveFileAccess() override { return false; }
  std::unique_ptr<TORVFile> CreateFileObject(const TORVString& FileName, const TORVFileOptions& AOptions) override {
    if (FileName.find(u"bad") != TORVString::npos) return std::make_unique<FailingFile>(this, FileName, AOptions);
    return std::make_unique<ClockedFile>(this, FileName, AOptions);
  }
};

TEST_F(OSFiles, BufferedFileClosedWithoutFlushHasItsBytesOnDisk) {
  TestBufferedManager Manager;
  Manager.Initialize();
  auto Stream = Manager.CreateFile(PathName("b.dat"), TORVFileOptions());
  std::string Text(10000, 'x');
  for (size_t I = 0; I < Text.size(); ++I) Text[I] = static_cast<char>('a' + I % 26);
  TORVBytes Data(Text.begin(), Text.end());
  EXPECT_EQ(Stream->Write(Data, 0, 10000), 10000);
  EXPECT_EQ(Stream->GetSize(), 10000);
  EXPECT_EQ(std::filesystem::file_size(Folder() / "b.dat"), 0u);  // still cached
  Stream->Close();
  EXPECT_EQ(ReadText("b.dat"), Text);
}

TEST_F(OSFiles, BufferedSpanReadIsOneDiskRead) {
  WriteText("s.dat", std::string(2 << 20, 's'));
  TestBufferedManager Manager;
  Manager.Initialize();
  auto Stream = Manager.OpenFile(PathName("s.dat"), TORVFileOptions());
  TORVBytes Buffer(1 << 20);
  EXPECT_EQ(Stream->Read(Buffer, 0, 1 << 20), 1 << 20);
  EXPECT_EQ(Stream->Read(Buffer, 0, 1 << 20), 1 << 20);
  TORVIOStatistics Statistics;
  Stream->GetFileObject()->GetIOStatistics(Statistics);
  EXPECT_EQ(Statistics.Reads, 2);
  EXPECT_EQ(Statistics.BytesRead, 2 << 20);
  EXPECT_EQ(Statistics.BufferSize, 4096);
  EXPECT_EQ(Statistics.AllocatedBuffers, 2 << 20);
}

TEST_F(OSFiles, BufferedSizeChangesGoThroughTheCache) {
  TestBufferedManager Manager;
  Manager.Initialize();
  auto Stream = Manager.CreateFile(PathName("z.dat"), TORVFileOptions());
  TORVBytes Data(9000, 7);
  Stream->Write(Data, 0, 9000);
  Stream->SetSize(5000);
  EXPECT_EQ(Stream->GetSize(), 5000);
  EXPECT_EQ(std::filesystem::file_size(Folder() / "z.dat"), 5000u);
  Stream->SetSize(6000);
  TORVBytes Back(1000, 0xEE);
  Stream->SetPosition(5000);
  EXPECT_EQ(Stream->Read(Back, 0, 1000), 1000);
  EXPECT_EQ(Back, TORVBytes(1000, 0));
}

TEST_F(OSFiles, BufferedFlushWaitsForTheFlushAgeRoundedToSeconds) {
  TestBufferedManager Manager;
  Manager.Initialize();
  auto Stream = Manager.CreateFile(PathName("f.dat"), TORVFileOptions());
  auto* File = static_cast<ClockedFile*>(Stream->GetFileObject());
  const int64_t Start = 63800000000000LL;
  File->SetFileFlushed(Start);
  TORVBytes Data(100, 1);
  Stream->Write(Data, 0, 100);

  File->Now = Start + 119400;
  Manager.FlushFiles(true);
  EXPECT_EQ(std::filesystem::file_size(Folder() / "f.dat"), 0u);
  EXPECT_EQ(File->GetFileFlushed(), Start);

  File->Now = Start + 119600;
  Manager.FlushFiles(true);
  EXPECT_EQ(std::filesystem::file_size(Folder() / "f.dat"), 100u);
  EXPECT_EQ(File->GetFileFlushed(), Start + 119600);

  Stream->Write(Data, 0, 100);
  File->Now = Start + 119700;
  Stream->Flush();  // a caller's flush ignores the age
  TORVIOStatistics Statistics;
  File->GetIOStatistics(Statistics);
  EXPECT_EQ(Statistics.Flushes, 2);
}

TEST_F(OSFiles, FlushTimerReportsAFailingFileAndFlushesTheOthers) {
  TestBufferedManager Manager;
  Manager.Initialize();
  std::vector<TORVString> Reported;
  Manager.SetOnFlushError([&](const TORVString& Text) { Reported.push_back(Text); });
  auto Bad = Manager.CreateFile(PathName("bad.dat"), TORVFileOptions());
  auto Good = Manager.CreateFile(PathName("good.dat"), TORVFileOptions());
  TORVBytes Data(10, 3);
  Good->Write(Data, 0, 10);
  static_cast<ClockedFile*>(Good->GetFileObject())->Now = 120000;  // its flush age has passed
  Manager.FlushTimerTimer();
  Manager.FlushTimerTimer();
  ASSERT_EQ(Reported.size(), 2u);
  EXPECT_NE(Reported[0].find(u"flush failed"), TORVString::npos);
  EXPECT_EQ(std::filesystem::file_size(Folder() / "good.dat"), 10u);
  Bad->Close();
}

TEST_F(OSFiles, BufferedReadOnlyFileRefusesWrites) {
  WriteText("ro.dat", "abc");
  TestBufferedManager Manager;
  Manager.Initialize();
  auto Stream = Manager.OpenFile(PathName("ro.dat"), TORVFileOptions{foReadOnly});
  TORVBytes Data{9};
  EXPECT_EQ(Stream->Write(Data, 0, 1), -1);
  Stream->Close();
  EXPECT_EQ(ReadText("ro.dat"), "abc");
}

}  // namespace
}  // namespace orv
