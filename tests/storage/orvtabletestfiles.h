// A table, its manager and one table file of a test kind, for the tests of
// the table-file base: 64-byte buffers after a 1 KB header area, a kind
// header with one generation number, and buffers whose bytes are a pattern
// of their number and the generation that wrote them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/orverrors.h"
#include "catalog/orvtable.h"
#include "core/orvcompressmgr.h"
#include "storage/orvblobfile.h"
#include "storage/orvenginesettings.h"
#include "storage/orvtablefile.h"
#include "storage/orvtablefileowner.h"
#include "tests/support/orvfakesession.h"

namespace orv::test {

class TTableSession : public TFakeSession<TORVSessionManager> {
 public:
  void Lock(uint32_t /*WaitTimeout*/) override {}
  bool TryLock(uint32_t /*WaitTimeout*/) override { return true; }
  void Unlock() override {}
};

class TTestTableFile;

struct TLoggedEvent {
  int32_t Category;
  int32_t FunctionCode;
  TORVString Description;
};

// One session's manager of the table "Orders" in the database "Sales",
// whose folder is Folder.
class TTestTableManager : public TORVTableFileOwner {
 public:
  TTestTableManager(TORVFileManager* Files, const TORVString& Folder, bool Encrypted = false,
                    const TORVString& Password = u"secret")
      : TORVTableFileOwner(&FOwnTable, Files), FFolder(Folder) {
    FOwnTable.SetName(u"Orders");
    FOwnTable.SetInternalName(u"Orders");
    FOwnTable.AssignCheckSum(0x12345678);
    FOwnTable.SetEncrypted(Encrypted);
    FSettings.SetEncryptionPassword(Password);
    FSession.SetWantLogMessages(true);
    FSession.SetOnLogMessage([this](const TORVString& Msg) { LogLines.push_back(Msg); });
    FSession.SetProgressInterval(0);
    FSession.SetWantStatusMessages(true);
    FSession.SetOnStatusMessage([this](const TORVString& Msg) { StatusLines.push_back(Msg); });
  }

  bool CheckForChanges(bool /*ManualRefresh*/) override;
  int32_t GetRowsetLastNumber() override { return RowsetLastNumber; }
  TORVSessionManager& GetSessionManager() override { return FSession; }
  TORVEngineManagerSettings& GetSessionSettings() override { return FSettings; }
  TORVCompressionManager& GetCompressionManager() override { return FCompression; }
  int32_t GetSessionHandle() override { return 7; }
  TORVString GetDatabaseName() override { return u"Sales"; }
  TORVString GetDatabaseFullPath() override { return FFolder; }
  bool GetDatabaseSessionIsolation() override { return SessionIsolation; }
  bool GetInInformationSchema() override { return InInformationSchema; }
  void LogEvent(int32_t Category, int32_t FunctionCode, int32_t /*ErrorCode*/,
                const TORVString& Description) override {
    Events.push_back({Category, FunctionCode, Description});
  }
  void BackupError(const TORVString& Msg) override { RaiseError(ORV_BACKUP_ERROR, {u"database", u"Sales", Msg}); }
  void RestoreError(const TORVString& Msg) override { RaiseError(ORV_RESTORE_ERROR, {u"database", u"Sales", Msg}); }

  // Large objects kept in memory by first block; evaluation by a test hook.
  void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                      bool /*Decompress*/) override {
    BlobReads.push_back({RowVersion, BlockNumber});
    const TORVBytes& Stored = BlobStore.at(BlockNumber);
    BlobStream.SetSize(static_cast<int64_t>(Stored.size()));
    BlobStream.SetPosition(0);
    BlobStream.Write(Stored.data(), static_cast<int32_t>(Stored.size()));
  }
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t /*BlobCompression*/, int32_t& CompressedSize) override {
    if (BlockNumber == 0) BlockNumber = NextBlock++;
    BlobWrites.push_back({RowVersion, BlockNumber});
    BlobStore[BlockNumber] = TORVBytes(BlobStream.GetMemory(), BlobStream.GetMemory() + BlobStream.GetSize());
    BlobVersions[BlockNumber] = RowVersion;
    CompressedSize = static_cast<int32_t>(BlobStream.GetSize());
  }
  int32_t GetBlobVersion(int32_t BlockNumber) override {
    const auto Found = BlobVersions.find(BlockNumber);
    return Found != BlobVersions.end() ? Found->second : -1;
  }
  void EvaluateRow(TORVRowValues& Values, TORVExprToken* /*Tokens*/, TORVValue& Value) override {
    if (Evaluator) Evaluator(Values, Value);
  }

  TORVBaseTable& Table() { return FOwnTable; }
  TORVEngineManagerSettings& Settings() { return FSettings; }
  TTableSession& Session() { return FSession; }
  void SetFile(TTestTableFile* Value) { FFile = Value; }

  std::vector<TLoggedEvent> Events;
  std::vector<TORVString> LogLines;
  std::vector<TORVString> StatusLines;
  // Version and first block of each large-object read and write.
  std::vector<std::pair<int32_t, int32_t>> BlobReads;
  std::vector<std::pair<int32_t, int32_t>> BlobWrites;
  std::map<int32_t, TORVBytes> BlobStore;
  // The row version each chain's first block records.
  std::map<int32_t, int32_t> BlobVersions;
  int32_t NextBlock = 1;
  std::function<void(TORVRowValues& Values, TORVValue& Value)> Evaluator;
  bool SessionIsolation = false;
  bool InInformationSchema = false;
  // The rows file's last slot, as the index file's verification sees it.
  int32_t RowsetLastNumber = 1000000;

 private:
  TORVBaseTable FOwnTable;
  TORVString FFolder;
  TORVEngineManagerSettings FSettings{nullptr};
  TTableSession FSession;
  TORVCompressionManager FCompression;
  TTestTableFile* FFile = nullptr;
};

// A table manager whose rows keep their large objects in a real
// large-object file, as a table's own rows do.
class TBlobFileTableManager : public TTestTableManager {
 public:
  using TTestTableManager::TTestTableManager;

  void ReadBlobStream(int32_t RowVersion, int32_t BlockNumber, TORVMemoryStream& BlobStream,
                      bool /*Decompress*/) override {
    BlobFile->ReadStream(RowVersion, BlockNumber, BlobStream);
  }
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t /*BlobCompression*/, int32_t& CompressedSize) override {
    BlobFile->WriteStream(RowVersion, BlockNumber, BlobStream);
    CompressedSize = static_cast<int32_t>(BlobStream.GetSize());
  }
  int32_t GetBlobVersion(int32_t BlockNumber) override { return BlobFile->GetChainVersion(BlockNumber); }

  TORVBlobManager* BlobFile = nullptr;
};

class TTestTableFile : public TORVTableFileManager {
 public:
  static constexpr int32_t BufferBytes = 64;

  // Initialized, as the table manager leaves its files before opening them.
  explicit TTestTableFile(TTestTableManager* Owner) : TORVTableFileManager(Owner) {
    Owner->SetFile(this);
    Initialize();
  }

  TORVString GetFileExtension() override { return u".ORVTbl"; }
  int32_t GetAvailableHeaderSize() override { return 1024; }
  int32_t GetActualHeaderSize() override { return 64; }
  TORVString GetBufferName() override { return u"row"; }
  std::unique_ptr<TORVTableFileBuffer> CreateBuffer() override { return std::make_unique<TORVTableFileBuffer>(this); }
  int32_t CalculateMaxBufferCount() override { return MaxBuffers; }
  int32_t CalculateMaxReadAheadBufferCount() override { return 4; }
  int32_t GetBufferSize() override { return BufferBytes; }
  int32_t GetBufferStreamSize() override { return BufferBytes; }
  void ReadHeader() override {
    TORVTableFileManager::ReadHeader();
    Generation = FHeaderStream->ReadInteger();
  }
  void WriteHeader(bool IncUpdateCounter) override {
    TORVTableFileManager::WriteHeader(IncUpdateCounter);
    FHeaderStream->WriteInteger(Generation);
  }
  bool WriteBuffers() override {
    bool Result = TORVTableFileManager::WriteBuffers();
    if (OnBuffersWritten) OnBuffersWritten();
    return Result;
  }

  // Buffer Number filled with the pattern of Gen (a new one when Number is
  // the next number).
  void Put(int32_t Number, int32_t Gen) {
    TORVTableFileBuffer* Buffer = Get(Number);
    uint8_t* Bytes = Buffer->GetBufferStream().GetMemory();
    for (int32_t Index = 4; Index < BufferBytes; ++Index) Bytes[Index] = PatternByte(Number, Gen, Index);
    Buffer->SetModified(true);
    PutBuffer(Buffer);
  }
  // The generation whose pattern buffer Number holds, or -1 for none.
  int32_t GenerationOf(int32_t Number, int32_t MaxGen = 64) {
    TORVTableFileBuffer* Buffer = Get(Number);
    const uint8_t* Bytes = Buffer->GetBufferStream().GetMemory();
    int32_t Found = -1;
    for (int32_t Gen = 0; Gen <= MaxGen && Found < 0; ++Gen) {
      bool Same = true;
      for (int32_t Index = 4; Index < BufferBytes && Same; ++Index) Same = Bytes[Index] == PatternByte(Number, Gen, Index);
      if (Same) Found = Gen;
    }
    PutBuffer(Buffer);
    return Found;
  }
  // Held until Release; restarts once when another session changed the
  // table.
  TORVTableFileBuffer* Get(int32_t Number, bool ReadAhead = false, int32_t Direction = 0) {
    bool FoundChanges = false;
    TORVTableFileBuffer* Buffer = GetBuffer(Number, ReadAhead, FoundChanges, 4, Direction);
    if (Buffer == nullptr && FoundChanges) {
      ++Restarts;
      Buffer = GetBuffer(Number, ReadAhead, FoundChanges, 4, Direction);
    }
    return Buffer;
  }
  TORVTableFileBuffer* TryGet(int32_t Number, bool& FoundChanges) {
    return GetBuffer(Number, false, FoundChanges, 4, 0);
  }
  void Release(TORVTableFileBuffer* Buffer) { PutBuffer(Buffer); }
  using TORVTableFileManager::FreeBuffers;

  static uint8_t PatternByte(int32_t Number, int32_t Gen, int32_t Index) {
    return static_cast<uint8_t>(Number * 31 + Gen * 17 + Index * 7 + 1);
  }

  int32_t Generation = 0;
  int32_t MaxBuffers = 8;
  int32_t Restarts = 0;
  std::function<void()> OnBuffersWritten;
};

inline bool TTestTableManager::CheckForChanges(bool /*ManualRefresh*/) {
  return FFile != nullptr && FFile->CheckForChanges();
}

// A table manager whose change check asks its one file of kind TFile.
template <typename TFile>
class TKindTableManager : public TTestTableManager {
 public:
  using TTestTableManager::TTestTableManager;
  bool CheckForChanges(bool /*ManualRefresh*/) override { return File != nullptr && File->CheckForChanges(); }

  TFile* File = nullptr;
};

// One session's manager and file of kind TFile; Configure shapes the table
// (columns, block sizes) before the file is made and initialized.
template <typename TFile>
struct TKindSession {
  std::unique_ptr<TKindTableManager<TFile>> Manager;
  std::unique_ptr<TFile> File;

  TKindSession(TORVFileManager* Files, const TORVString& Folder,
               const std::function<void(TORVBaseTable&)>& Configure)
      : Manager(std::make_unique<TKindTableManager<TFile>>(Files, Folder)) {
    Configure(Manager->Table());
    File = std::make_unique<TFile>(Manager.get());
    Manager->File = File.get();
    File->Initialize();
  }
  // Opens the file, making it first when it does not exist.
  void Open() {
    if (File->GetFileExists())
      File->Open();
    else
      File->CreateAndOpen();
  }
};

}  // namespace orv::test
