#include "storage/orvobjmgr.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "tests/storage/orvlocktestobjects.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::NewConfiguration;
using test::TLockObject;
using test::TTestContainer;
using test::TTestLockManager;

using test::ErrorOf;

// One session's view of a configuration: its own object, lock manager and
// container on the shared files.
struct TConfigSession {
  std::unique_ptr<TLockObject> Config;
  std::unique_ptr<TTestLockManager> Locks;
  std::unique_ptr<TTestContainer> File;

  TConfigSession(TORVFileManager* Files, const TORVString& Folder, bool Encrypted = true,
                 const TORVString& Password = u"secret", int32_t CharacterSet = 1,
                 const TORVString& Signature = u"current")
      : Config(NewConfiguration(u"ORVConfig", CharacterSet)),
        Locks(std::make_unique<TTestLockManager>(Config.get(), Files, Folder + u"orv.lock", 13316)) {
    Locks->Open();
    File = std::make_unique<TTestContainer>(Config.get(), Locks.get(), Files, Folder + u"orv.ORVCfg", Encrypted,
                                            Password, Signature);
  }

  void Update(const TORVString& Value) {
    File->BeginUpdate();
    Config->SetValue(Value);
    File->EndUpdate();
  }
};

class ConfigFile : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
  }
  std::unique_ptr<TConfigSession> NewSession(bool Encrypted = true, const TORVString& Password = u"secret",
                                             int32_t CharacterSet = 1, const TORVString& Signature = u"current") {
    return std::make_unique<TConfigSession>(Files.get(), FolderName(), Encrypted, Password, CharacterSet,
                                            Signature);
  }
  std::string ReadBytes(const std::string& Name) {
    std::ifstream In(Folder() / Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }
  int32_t IntegerAt(const std::string& Bytes, size_t Offset) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint8_t>(Bytes[Offset])) |
                                static_cast<uint32_t>(static_cast<uint8_t>(Bytes[Offset + 1])) << 8 |
                                static_cast<uint32_t>(static_cast<uint8_t>(Bytes[Offset + 2])) << 16 |
                                static_cast<uint32_t>(static_cast<uint8_t>(Bytes[Offset + 3])) << 24);
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
};

TEST_F(ConfigFile, ANewFileIsTheHeaderAndThePaddedObject) {
  auto A = NewSession(false);
  A->Config->SetValue(u"first");
  A->File->Open();
  EXPECT_EQ(A->File->GetUpdateCounter(), 1);
  std::string Bytes = ReadBytes("orv.ORVCfg");
  // ID, name "ORVConfig", empty description, two flags and the value "first",
  // in UTF-16: 4 + 4 + 18 + 4 + 1 + 1 + 4 + 10 = 46, padded to 48.
  int32_t ObjectSize = IntegerAt(Bytes, 45);
  EXPECT_EQ(ObjectSize, 48);
  EXPECT_EQ(Bytes.size(), 56u + 48u);
  EXPECT_EQ(IntegerAt(Bytes, 37), 1);  // update counter
  EXPECT_EQ(IntegerAt(Bytes, 16), 1);  // character set
  // Nothing is left beside the file but the lock file.
  EXPECT_FALSE(std::filesystem::exists(Folder() / "orv.ORVCfg.New"));
}

TEST_F(ConfigFile, AnotherSessionReloadsAfterAnUpdateAndOnlyThen) {
  auto A = NewSession();
  auto B = NewSession();
  A->Config->SetValue(u"first");
  A->File->Open();
  B->File->Open();
  EXPECT_EQ(B->Config->GetValue(), u"first");
  int32_t Loads = B->Config->GetLoads();

  A->Update(u"second");
  EXPECT_EQ(A->File->GetUpdateCounter(), 2);
  B->File->BeginRead();
  EXPECT_EQ(B->Config->GetValue(), u"second");
  EXPECT_EQ(B->File->GetUpdateCounter(), 2);
  B->File->EndRead();
  B->File->BeginRead();
  B->File->EndRead();
  EXPECT_EQ(B->Config->GetLoads(), Loads + 1);
  // A backup copy of the previous file stays after a successful update.
  EXPECT_TRUE(std::filesystem::exists(Folder() / "orv.ORVCfg.Old"));
}

TEST_F(ConfigFile, AnUpdateWaitsForReadersAndExcludesASecondUpdater) {
  auto A = NewSession();
  auto B = NewSession();
  A->File->Open();
  B->File->Open();
  A->File->BeginUpdate();
  // One updater at a time: the transaction lock.
  EXPECT_EQ(ErrorOf([&] { B->Locks->LockObject(B->Config.get(), ltTransaction, 0); }),
            "300 Cannot lock the configuration ORVConfig for transaction access");
  A->Config->SetValue(u"changed");
  B->File->BeginRead();
  // The writer cannot write while B reads; its wait would be 90 s, so the
  // test takes the write lock itself with no wait.
  EXPECT_EQ(ErrorOf([&] { A->Locks->LockObject(A->Config.get(), ltWrite, 0); }),
            "300 Cannot lock the configuration ORVConfig for write access");
  B->File->EndRead();
  A->File->EndUpdate();
  B->File->BeginRead();
  EXPECT_EQ(B->Config->GetValue(), u"changed");
  B->File->EndRead();
}

// A full disk or a failed flush or rename anywhere in a rewrite leaves the
// file as it was, raises, and leaves no backup copy or scratch file.
TEST_F(ConfigFile, AFailedRewriteLeavesTheOldFileWhole) {
  struct TCase {
    const char* Name;
    test::TFaultKind Kind;
    int32_t Nth;
    test::TFaultMode Mode;
  };
  auto A = NewSession();
  A->Config->SetValue(u"kept");
  A->File->Open();
  // Count what one successful update does.
  const int32_t Writes = Files->Faults().GetCount(test::fkWrite);
  A->Update(u"kept");
  const int32_t WritesPerUpdate = Files->Faults().GetCount(test::fkWrite) - Writes;
  ASSERT_GE(WritesPerUpdate, 3);  // the backup copy, the header, the object
  std::string Before = ReadBytes("orv.ORVCfg");
  std::filesystem::remove(Folder() / "orv.ORVCfg.Old");

  const TCase Cases[] = {
      {"object write fails", test::fkWrite, WritesPerUpdate, test::fmFail},
      {"object write stops half-way", test::fkWrite, WritesPerUpdate, test::fmTorn},
      {"header write stops half-way", test::fkWrite, WritesPerUpdate - 1, test::fmTorn},
      {"backup copy fails", test::fkWrite, 1, test::fmFail},
      {"flush fails", test::fkFlush, 2, test::fmFail},
      {"rename fails", test::fkRename, 1, test::fmFail},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Files->Faults().FailNext(Case.Kind, Case.Nth, Case.Mode);
    A->File->BeginUpdate();
    A->Config->SetValue(u"lost");
    EXPECT_EQ(ErrorOf([&] { A->File->EndUpdate(); }).substr(0, 4), "600 ");
    Files->Faults().Clear();
    EXPECT_EQ(ReadBytes("orv.ORVCfg"), Before);
    EXPECT_FALSE(std::filesystem::exists(Folder() / "orv.ORVCfg.Old"));
    EXPECT_FALSE(std::filesystem::exists(Folder() / "orv.ORVCfg.New"));
    // The update stays open; cancelling reads the file back.
    EXPECT_TRUE(A->File->GetUpdating());
    A->File->CancelUpdate();
    EXPECT_EQ(A->Config->GetValue(), u"kept");
    auto B = NewSession();
    B->File->Open();
    EXPECT_EQ(B->Config->GetValue(), u"kept");
  }
}

TEST_F(ConfigFile, AReadOnlyFileRefusesUpdates) {
  NewSession()->File->Open();
  std::filesystem::permissions(Folder() / "orv.ORVCfg", std::filesystem::perms::owner_read);
  auto A = NewSession();
  A->File->Open();
  EXPECT_TRUE(A->Config->GetReadOnly());
  EXPECT_EQ(ErrorOf([&] { A->File->BeginUpdate(); }),
            "101 There was an error updating the configuration ORVConfig (The file is read-only)");
}

TEST_F(ConfigFile, AHeaderThatDoesNotMatchTheEngineIsRefused) {
  struct TCase {
    bool Encrypted;
    const char16_t* Password;
    int32_t CharacterSet;
    const char16_t* Signature;
    const char* Detail;
  };
  const TCase Cases[] = {
      {false, u"secret", 1, u"current",
       "The encryption status does not match the encryption status in the configuration or catalog"},
      {true, u"other", 1, u"current",
       "The encryption password does not match the default or current engine encryption password, which may be "
       "caused by the character set not matching the character set in use by the engine"},
      {true, u"secret", 0, u"current", "The character set does not match the character set in use by the engine"},
      {true, u"secret", 1, u"foreign", "The signature does not match the default or current engine signature"},
  };
  {
    auto Writer = NewSession();
    Writer->File->Open();
    Writer->Update(u"v");  // leaves a valid backup copy beside the file
  }
  std::string Before = ReadBytes("orv.ORVCfg");
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Detail);
    auto Reader = NewSession(Case.Encrypted, Case.Password, Case.CharacterSet, Case.Signature);
    EXPECT_EQ(ErrorOf([&] { Reader->File->Open(); }),
              std::string("100 There is an error in the metadata for the configuration ORVConfig (") + Case.Detail +
                  ")");
    EXPECT_FALSE(Reader->File->GetOpened());
    EXPECT_EQ(Reader->File->GetUpdateCounter(), 0);
  }
  // A refused open never rewrites the file.
  EXPECT_EQ(ReadBytes("orv.ORVCfg"), Before);
  // The reverse: a file written unencrypted, opened by an encrypting engine.
  std::filesystem::remove(Folder() / "orv.ORVCfg");
  NewSession(false)->File->Open();
  EXPECT_EQ(ErrorOf([&] { NewSession(true)->File->Open(); }),
            "100 There is an error in the metadata for the configuration ORVConfig (The encryption status does "
            "not match the encryption status in the configuration or catalog)");
  // The default signature is accepted too.
  std::filesystem::remove(Folder() / "orv.ORVCfg");
  NewSession(true, u"secret", 1, u"default")->File->Open();
  EXPECT_EQ(ErrorOf([&] { NewSession()->File->Open(); }), "no error");
}

TEST_F(ConfigFile, ACorruptHeaderIsReportedAndTheBackupCopyIsLeftAlone) {
  {
    auto Writer = NewSession(false);
    Writer->File->Open();
    Writer->Update(u"v");
  }
  std::string Copy = ReadBytes("orv.ORVCfg.Old");
  std::string Bytes = ReadBytes("orv.ORVCfg");
  struct TCase {
    const char* Name;
    std::string Bytes;
    const char* Detail;
  };
  std::string Oversized = Bytes;
  Oversized[48] = 0x7F;  // object size far beyond the file
  const TCase Cases[] = {
      {"short header", Bytes.substr(0, 20), "The file is shorter than its header"},
      {"object size", Oversized, "The size of the object does not match the size of the file"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::ofstream(Folder() / "orv.ORVCfg", std::ios::binary | std::ios::trunc) << Case.Bytes;
    EXPECT_EQ(ErrorOf([&] { NewSession(false)->File->Open(); }),
              std::string("100 There is an error in the metadata for the configuration ORVConfig (") + Case.Detail +
                  ")");
    EXPECT_EQ(ReadBytes("orv.ORVCfg"), Case.Bytes);
    EXPECT_EQ(ReadBytes("orv.ORVCfg.Old"), Copy);
  }
}

TEST_F(ConfigFile, TheUpdateCounterWrapsToOne) {
  auto A = NewSession();
  A->File->Open();
  // Put the counter at its maximum through the file itself.
  {
    auto Raw = Files->OpenFile(PathName("orv.ORVCfg"), TORVFileOptions());
    TORVMemoryStream Header(1);
    Header.SetSize(56);
    Raw->Read(Header.GetMemory(), 56);
    TORVDigest Password;
    Password.SetAsString(u"secret");
    Header.InitEncryption(Password);
    Header.Decrypt(56);
    Header.SetPosition(37);
    Header.WriteInteger(2147483647);
    Header.SetPosition(0);
    Header.Encrypt(56);
    Raw->SetPosition(0);
    Raw->Write(Header.GetMemory(), 56);
    Raw->Close();
  }
  A->Update(u"x");
  EXPECT_EQ(A->File->GetUpdateCounter(), 1);
}

TEST_F(ConfigFile, InMemoryFilesWorkTheSameWithoutBackupCopies) {
  test::TFaultMemoryFileManager Memory;
  Memory.SetExclusiveFileAccess(true);
  Memory.Initialize();
  TConfigSession A(&Memory, u"/mem/");
  TConfigSession B(&Memory, u"/mem/");
  A.Config->SetValue(u"first");
  A.File->Open();
  B.File->Open();
  A.Update(u"second");
  B.File->BeginRead();
  EXPECT_EQ(B.Config->GetValue(), u"second");
  B.File->EndRead();
  EXPECT_FALSE(Memory.FileExists(u"/mem/orv.ORVCfg.Old", TORVFileOptions()));
  // A failed rename in memory leaves the old contents too.
  Memory.Faults().FailNext(test::fkRename);
  A.File->BeginUpdate();
  A.Config->SetValue(u"lost");
  EXPECT_EQ(ErrorOf([&] { A.File->EndUpdate(); }).substr(0, 4), "600 ");
  A.File->CancelUpdate();
  B.File->BeginRead();
  EXPECT_EQ(B.Config->GetValue(), u"second");
  B.File->EndRead();
}

TEST_F(ConfigFile, AnUpdateInAnotherProcessIsSeenAtTheNextRead) {
  auto A = NewSession();
  A->Config->SetValue(u"first");
  A->File->Open();
  pid_t Child = ::fork();
  if (Child == 0) {
    int Status = 0;
    try {
      auto ChildFiles = test::NewSharedOSFileManager();
      TConfigSession B(ChildFiles.get(), FolderName());
      B.File->Open();
      if (B.Config->GetValue() != u"first") Status = 3;
      B.Update(u"from the child");
    } catch (...) {
      Status = 2;
    }
    ::_exit(Status);
  }
  int Raw = 0;
  ::waitpid(Child, &Raw, 0);
  ASSERT_TRUE(WIFEXITED(Raw));
  ASSERT_EQ(WEXITSTATUS(Raw), 0);
  A->File->BeginRead();
  EXPECT_EQ(A->Config->GetValue(), u"from the child");
  A->File->EndRead();
  A->Update(u"from the parent");
  auto C = NewSession();
  C->File->Open();
  EXPECT_EQ(C->Config->GetValue(), u"from the parent");
}

}  // namespace
}  // namespace orv
