#include "storage/orvtablefile.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "base/orvassert.h"
#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvtable.h"
#include "core/orvfilepath.h"
#include "core/orvkeyvalues.h"
#include "core/orvliteral.h"
#include "core/orvmath.h"
#include "core/orvsessionmgr.h"
#include "core/orvvalue.h"
#include "storage/orvenginesettings.h"
#include "storage/orvosfilemgr.h"
#include "storage/orvtablefileowner.h"

namespace orv {

namespace {

constexpr int32_t EncryptedFlagOffset = 24;
constexpr int32_t CharacterSetOffset = 20;
constexpr int32_t WritingFlagOffset = TORVTableFileManager::CommonHeaderSize - 1;

}  // namespace

// ------------------------------------------------------- TORVTableFileBuffer

TORVTableFileBuffer::TORVTableFileBuffer(TORVTableFileManager* Owner)
    : FTableFileManager(Owner),
      FBufferStream(std::make_unique<TORVMemoryStream>(Owner->GetSettings().GetCharacterSet())) {
  FBufferStream->SetSize(Owner->GetBufferStreamSize());
}

void TORVTableFileBuffer::ReadBufferStream(TORVMemoryStream& Stream) {
  const int32_t Size = FTableFileManager->GetBufferSize();
  FBufferStream->SetPosition(0);
  Stream.MoveTo(*FBufferStream, Size);
  Stream.Seek(Size, orCurrent);
}

void TORVTableFileBuffer::WriteBufferStream(TORVMemoryStream& Stream) {
  FBufferStream->SetPosition(0);
  Stream.Write(FBufferStream->GetMemory(), FTableFileManager->GetBufferSize());
}

void TORVTableFileBuffer::Assign(const TORVTableFileBuffer& FromBuffer) {
  FModified = FromBuffer.FModified;
  FNumber = FromBuffer.FNumber;
  FNextNumber = FromBuffer.FNextNumber;
  const int32_t Size = static_cast<int32_t>(std::min(FBufferStream->GetSize(), FromBuffer.FBufferStream->GetSize()));
  std::copy_n(FromBuffer.FBufferStream->GetMemory(), Size, FBufferStream->GetMemory());
}

bool TORVTableFileBuffer::Compare(const TORVTableFileBuffer& BufferToCompare) const {
  return FNumber == BufferToCompare.FNumber && FNextNumber == BufferToCompare.FNextNumber;
}

void TORVTableFileBuffer::Read(TORVMemoryStream& Stream) {
  if (FUseCount > 0 || FModified || FReadFlag) {
    Stream.Seek(FTableFileManager->GetBufferSize(), orCurrent);
    FReadFlag = false;
    return;
  }
  ReadBufferStream(Stream);
  FBufferStream->SetPosition(0);
  FLoadFlag = false;
}

void TORVTableFileBuffer::Write(TORVMemoryStream& Stream) {
  FBufferStream->SetPosition(0);
  Save(*FBufferStream);
  WriteBufferStream(Stream);
  FWriteFlag = false;
}

void TORVTableFileBuffer::Save(TORVMemoryStream& Stream) {
  Stream.WriteInteger(FNextNumber);
  FModified = false;
}

void TORVTableFileBuffer::Load(TORVMemoryStream& Stream) {
  FNextNumber = Stream.ReadInteger();
  FModified = false;
}

void TORVTableFileBuffer::Initialize() {
  FNextNumber = 0;
  FReadFlag = false;
  FLoadFlag = true;
  FModified = false;
}

void TORVTableFileBuffer::CheckLoad() {
  if (FLoadFlag) return;
  FBufferStream->SetPosition(0);
  Load(*FBufferStream);
  FLoadFlag = true;
}

void TORVTableFileBuffer::SetNextNumber(int32_t Value) {
  if (Value == FNextNumber) return;
  FNextNumber = Value;
  FModified = true;
}

// ------------------------------------------------------ TORVTableFileManager

TORVTableFileManager::TORVTableFileManager(TORVTableFileOwner* Owner) : FTableManager(Owner) {
  FFileName = GetTable()->GetInternalName();
  TORVEngineManagerSettings& Settings = GetSettings();
  FCharacterSet = Settings.GetCharacterSet();
  FSignatureDigest.Assign(Settings.GetSignatureDigest());
  FPasswordDigest.Assign(Settings.GetEncryptionPasswordDigest());
  FHeaderStream = std::make_unique<TORVMemoryStream>(FCharacterSet);
  FReadStream = std::make_unique<TORVMemoryStream>(FCharacterSet);
  FWriteStream = std::make_unique<TORVMemoryStream>(FCharacterSet);
}

TORVTableFileManager::~TORVTableFileManager() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; owners that must know call Close first.
  }
  FBuffersToWrite.clear();
  FBuffers.clear();
  FDetachedBuffers.clear();
}

TORVBaseTable* TORVTableFileManager::GetTable() const { return FTableManager->GetTable(); }

TORVEngineManagerSettings& TORVTableFileManager::GetSettings() const { return FTableManager->GetSessionSettings(); }

bool TORVTableFileManager::IsTemporary() const {
  return GetTable()->GetTemporary() || GetTable()->GetTemporaryForSession();
}

TORVString TORVTableFileManager::GetPath() {
  TORVBaseTable* Table = GetTable();
  TORVSessionManager& Session = FTableManager->GetSessionManager();
  TORVFileManager* Files = FTableManager->GetFileManager();
  auto Join = [](std::initializer_list<TORVString> Parts) {
    TORVString Result;
    for (const TORVString& Part : Parts) Result = IncludeTrailingBackslash(Result + Part);
    return Result;
  };
  const TORVString Handle = IntToString(FTableManager->GetSessionHandle());
  const TORVString Database = FTableManager->GetDatabaseName();
  if (FTableManager->GetInInformationSchema())
    return Join({Session.GetProcessName(), Handle, Session.GetName(), Database, u"Information"});
  if (Table->GetTemporary() ||
      (Table->GetTemporaryForSession() && (Table->GetTemporaryMaintenance() || !Table->GetMaintenance()))) {
    if (Files->GetVirtualOnly()) return Join({Session.GetProcessName(), Database, u"Temporary"});
    return IncludeTrailingBackslash(GetSettings().GetTempTablesPath());
  }
  if (!Files->GetVirtualOnly()) return IncludeTrailingBackslash(FTableManager->GetDatabaseFullPath());
  if (FTableManager->GetDatabaseSessionIsolation())
    return Join({Session.GetProcessName(), Handle, Session.GetName(), Database});
  return IncludeTrailingBackslash(Database);
}

TORVString TORVTableFileManager::GetFullBackupCopyFileName() {
  return GetFullFileName() + GetSettings().GetCopyExtension();
}

bool TORVTableFileManager::GetFileExists() {
  if (GetTable()->GetTemporary()) return false;
  return FTableManager->GetFileManager()->FileExists(GetFullFileName(), {});
}

void TORVTableFileManager::SetNextFreeNumber(int32_t Value) {
  if (Value == FNextFreeNumber) return;
  FNextFreeNumber = Value;
  FModified = true;
}

void TORVTableFileManager::CorruptError(const TORVString& Msg) {
  RaiseError(ORV_CORRUPT_ERROR, {GetTable()->GetTypeName(), GetTable()->GetName(), Msg});
}

void TORVTableFileManager::FullError() {
  RaiseError(ORV_FULL_ERROR, {GetTable()->GetTypeName(), GetTable()->GetName(), GetFullFileName()});
}

void TORVTableFileManager::CheckMaxBuffers() {
  const int64_t Size = static_cast<int64_t>(GetAvailableHeaderSize()) +
                       static_cast<int64_t>(FNextNumber) * static_cast<int64_t>(GetBufferSize());
  if (FNextNumber == std::numeric_limits<int32_t>::max() ||
      Size > FTableManager->GetFileManager()->GetMaximumFileSize())
    FullError();
}

int64_t TORVTableFileManager::GetBuffersOnFile() {
  return (FFileStream->GetSize() - GetAvailableHeaderSize()) / GetBufferSize();
}

int32_t TORVTableFileManager::GetStoredLastNumber() {
  const int32_t LastNumber = GetLastNumber();
  if (!FFileStream || LastNumber <= 0) return LastNumber;
  int64_t Stored = GetBuffersOnFile();
  if (Stored >= LastNumber) return LastNumber;
  // Buffers made since the last write live only in the cache.
  for (const auto& Entry : FBuffers) Stored = std::max<int64_t>(Stored, Entry.first);
  return static_cast<int32_t>(std::clamp<int64_t>(Stored, 0, LastNumber));
}

void TORVTableFileManager::IncNextNumber() {
  if (FNextNumber == std::numeric_limits<int32_t>::max()) FullError();
  ++FNextNumber;
  FModified = true;
}

void TORVTableFileManager::IncUpdateCounter() {
  if (FModified || !FBuffersToWrite.empty()) WrapIncInteger(FUpdateCounter, 1);
}

void TORVTableFileManager::CopyHeader(TORVTableFileManager& /*Source*/) {}

// ---------------------------------------------------------------- lifecycle

void TORVTableFileManager::SetWriteBehavior() {
  FWriteBehavior = GetTable()->GetLockState().Contains(lsExclusiveLocked) ? wbWhenFull : wbNormal;
}

void TORVTableFileManager::InitializeBuffers() {
  ClearStatistics();
  FMaxBufferCount = std::max(CalculateMaxBufferCount(), 1);
  FMaxReadAheadBufferCount = std::max(CalculateMaxReadAheadBufferCount(), 1);
}

void TORVTableFileManager::ClearStatistics() {
  FHits = 0;
  FMisses = 0;
  FReads = 0;
  FBytesRead = 0;
  FWrites = 0;
  FBytesWritten = 0;
}

void TORVTableFileManager::Initialize() {
  const TORVString Extension = GetFileExtension();
  if (!FFileStream && Extension != FFileExtension) {
    FFileName = EnsureFileExt(FFileName, FFileExtension, Extension);
    FFileExtension = Extension;
  }
  TORVBaseTable* Table = GetTable();
  TORVEngineManagerSettings& Settings = GetSettings();
  FCheckSum = Table->GetCheckSum();
  FSignatureDigest.Assign(Settings.GetSignatureDigest());
  FEncrypted = Table->GetEncrypted();
  FPasswordDigest.Assign(Settings.GetEncryptionPasswordDigest());
  if (FEncrypted) {
    FHeaderStream->InitEncryption(FPasswordDigest);
    FReadStream->InitEncryption(FPasswordDigest);
    FWriteStream->InitEncryption(FPasswordDigest);
  }
  FNextNumber = 1;
  FNextFreeNumber = 0;
  FDiskNextNumber = 1;
  FEmptied = false;
  SetWriteBehavior();
  InitializeBuffers();
}

void TORVTableFileManager::Open() {
  if (FFileStream) return;
  TORVBaseTable* Table = GetTable();
  TORVFileOptions Options{foLockable};
  if (Table->GetReadOnly()) Options.Include(foReadOnly);
  FFileStream = FTableManager->GetFileManager()->OpenFile(GetFullFileName(), Options);
  if (!Table->GetReadOnly() && FFileStream->GetOptions().Contains(foReadOnly)) Table->SetReadOnly(true);
  try {
    Initialize();
    FWriteFailed = false;
    Read(true);
  } catch (...) {
    CloseStream();
    throw;
  }
}

void TORVTableFileManager::CreateAndOpen() {
  TORVBaseTable* Table = GetTable();
  if (!Table->GetTemporary() && GetFileExists()) {
    Open();
    return;
  }
  TORVFileOptions Options{foLockable};
  if (IsTemporary()) Options.Include(foExclusive);
  if (Table->GetTemporary()) Options.Include(foTemporary);
  TORVFileManager* Files = FTableManager->GetFileManager();
  FFileStream = Files->CreateFile(GetFullFileName(), Options);
  try {
    if (!Files->GetVirtualOnly() && !IsTemporary() && !Table->GetSuppressCreateWarning())
      FTableManager->LogEvent(
          1, CreateTableFileFunctionCode, 0,
          FormatString(u"The table file %s was not present on disk and was automatically created", {GetFullFileName()}));
    Initialize();
    FWriteFailed = false;
    FModified = true;
    Write(!IsTemporary());
  } catch (...) {
    CloseStream();
    throw;
  }
}

void TORVTableFileManager::CloseStream() {
  std::unique_ptr<TORVFileStream> Stream = std::move(FFileStream);
  FreeBuffers(false);
  if (Stream) Stream->Close();
}

void TORVTableFileManager::Close() {
  if (!FFileStream) {
    FreeBuffers(false);
    return;
  }
  try {
    if (FWriteBehavior == wbWhenFull) Write(false);
  } catch (...) {
    try {
      CloseStream();
    } catch (...) {
      // The failed write is the error to report.
    }
    throw;
  }
  CloseStream();
}

void TORVTableFileManager::Reopen() {
  CheckForChanges();
  SetWriteBehavior();
}

void TORVTableFileManager::Rename(const TORVString& NewName) {
  Initialize();
  if (GetFileExists())
    FTableManager->GetFileManager()->RenameFile(GetFullFileName(), GetPath() + NewName + FFileExtension);
}

void TORVTableFileManager::Drop() {
  Initialize();
  if (GetFileExists()) FTableManager->GetFileManager()->DeleteFile(GetFullFileName());
}

void TORVTableFileManager::Empty() {
  FreeBuffers(false);
  const TORVFileWriteBehavior Behavior = FWriteBehavior;
  Initialize();
  FWriteBehavior = Behavior;
  FEmptied = true;
  FModified = true;
}

void TORVTableFileManager::StartWriting() {
  if (FWriteBehavior == wbNormal) CheckForChanges();
}

void TORVTableFileManager::StartTransaction() {
  if (FWriteBehavior == wbNever) return;
  if (FWriteBehavior == wbWhenFull)
    Write(false);
  else
    CheckForChanges();
  FWriteBehavior = wbNever;
}

void TORVTableFileManager::Commit(bool FlushAfterCommit, bool AdjustBuffersAfterCommit) {
  Write(FlushAfterCommit);
  if (AdjustBuffersAfterCommit) AdjustBuffers(false);
  SetWriteBehavior();
}

void TORVTableFileManager::Rollback() {
  CancelWrite();
  SetWriteBehavior();
}

void TORVTableFileManager::CancelWrite() {
  Read(false);
  FreeBuffers(true);
  // An Empty that is taken back must not cut the file at the next write.
  FEmptied = false;
}

void TORVTableFileManager::DropCache() {
  FreeBuffers(false);
  FEmptied = false;
  FModified = false;
  Read(false);
}

bool TORVTableFileManager::CheckForChanges() {
  // Unsaved changes mean that this session holds the table for writing, so
  // no other session can have changed the file; reading the header again
  // would throw the changes away (the numbering of buffers already made
  // among them).
  if (FModified || !FBuffersToWrite.empty()) return false;
  const int32_t Counter = FUpdateCounter;
  Read(false);
  if (Counter == FUpdateCounter) return false;
  FreeBuffers(false);
  return true;
}

// ------------------------------------------------------------------- header

void TORVTableFileManager::Read(bool Validate) {
  const int32_t Size = GetActualHeaderSize();
  FHeaderStream->SetSize(Size);
  FFileStream->SetPosition(0);
  if (FFileStream->Read(FHeaderStream->GetMemory(), Size) != Size) CorruptError(u"Error reading header from disk");
  const uint8_t* Raw = FHeaderStream->GetMemory();
  FHeaderStream->SetPosition(CharacterSetOffset);
  const int32_t StoredCharacterSet = FHeaderStream->ReadInteger();
  FHeaderStoredEncrypted = Raw[EncryptedFlagOffset] != 0;
  FHeaderStoredPlain = !FHeaderStoredEncrypted && (StoredCharacterSet == CharacterSetAnsi ||
                                                   StoredCharacterSet == CharacterSetUnicode);
  if (GetTable()->GetEncrypted()) {
    FHeaderStream->InitEncryption(GetSettings().GetEncryptionPasswordDigest());
    FHeaderStream->SetPosition(0);
    FHeaderStream->Decrypt(Size);
  }
  FHeaderStream->SetPosition(0);
  ReadHeader();
  FDiskNextNumber = FNextNumber;
  FModified = false;
  if (Validate) ValidateHeader();
  if (!GetTable()->GetObjectState().Contains(osInRepair)) {
    if (FWriting) FTableManager->WriteFlagError();
    // Numbers the buffer arithmetic relies on; a repair sets them right.
    if (FNextNumber < 1 || FNextFreeNumber < 0 || FNextFreeNumber >= FNextNumber)
      CorruptError(FormatString(u"Invalid %s numbers in header (%s, %s)",
                                {GetBufferName(), IntToString(FNextNumber), IntToString(FNextFreeNumber)}));
  }
}

void TORVTableFileManager::ReadHeader() {
  TORVMemoryStream& Stream = *FHeaderStream;
  FCheckSum = Stream.ReadLongWord();
  FSignatureDigest.Load(Stream);
  FCharacterSet = Stream.ReadInteger();
  FEncrypted = Stream.ReadBoolean();
  FPasswordDigest.Load(Stream);
  FUpdateCounter = Stream.ReadInteger();
  FNextFreeNumber = Stream.ReadInteger();
  FNextNumber = Stream.ReadInteger();
  FWriting = Stream.ReadBoolean();
}

void TORVTableFileManager::ValidateHeader() {
  static constexpr char16_t EncryptionMismatch[] =
      u"The encryption status does not match the encryption status in the configuration or catalog";
  TORVBaseTable* Table = GetTable();
  TORVEngineManagerSettings& Settings = GetSettings();
  if (Table->GetEncrypted()) {
    // A plain header deciphers to noise, which would read as a wrong
    // password: the stored bytes tell the two apart.
    if (FHeaderStoredPlain) FTableManager->ValidateError(EncryptionMismatch);
    if (!FEncrypted || !FPasswordDigest.Compare(Settings.GetEncryptionPasswordDigest()))
      FTableManager->ValidateError(
          u"The encryption password does not match the default or current engine encryption password, which may be "
          u"caused by the character set not matching the character set in use by the engine");
  } else if (FHeaderStoredEncrypted) {
    FTableManager->ValidateError(EncryptionMismatch);
  }
  if (FCharacterSet != Settings.GetCharacterSet())
    FTableManager->ValidateError(u"The character set does not match the character set in use by the engine");
  if (!Settings.ValidateSignature(FSignatureDigest))
    FTableManager->ValidateError(u"The signature does not match the default or current engine signature");
  if (!Table->GetObjectState().Contains(osUpdatingCheckSum) && FCheckSum != Table->GetCheckSum())
    FTableManager->ValidateError(u"The internal structure does not match the structure in the catalog");
}

void TORVTableFileManager::WriteHeader(bool IncUpdateCounter) {
  TORVBaseTable* Table = GetTable();
  FCheckSum = Table->GetCheckSum();
  FEncrypted = Table->GetEncrypted();
  if (IncUpdateCounter) WrapIncInteger(FUpdateCounter, 1);
  TORVMemoryStream& Stream = *FHeaderStream;
  Stream.WriteTORVLongWord(FCheckSum);
  FSignatureDigest.Save(Stream);
  Stream.WriteInteger(FCharacterSet);
  Stream.WriteBoolean(FEncrypted);
  FPasswordDigest.Save(Stream);
  Stream.WriteInteger(FUpdateCounter);
  Stream.WriteInteger(FNextFreeNumber);
  Stream.WriteInteger(FNextNumber);
  Stream.WriteBoolean(FWriting);
}

void TORVTableFileManager::SaveHeader(bool IncUpdateCounter) {
  const int32_t Size = GetActualHeaderSize();
  FHeaderStream->SetSize(Size);
  FHeaderStream->SetPosition(0);
  WriteHeader(IncUpdateCounter);
  if (FHeaderStream->GetPosition() < Size) FHeaderStream->Clear(Size - static_cast<int32_t>(FHeaderStream->GetPosition()));
  FHeaderStream->SetSize(Size);
}

void TORVTableFileManager::PutHeader() {
  const int32_t Size = GetActualHeaderSize();
  if (GetTable()->GetEncrypted()) {
    FHeaderStream->InitEncryption(FPasswordDigest);
    FHeaderStream->SetPosition(0);
    FHeaderStream->Encrypt(Size);
  }
  PutHeaderBytes();
}

void TORVTableFileManager::PutHeaderBytes() {
  const int32_t Size = GetActualHeaderSize();
  FFileStream->SetPosition(0);
  if (FFileStream->Write(FHeaderStream->GetMemory(), Size) != Size) CorruptError(u"Error flushing header to disk");
}

void TORVTableFileManager::RaiseWritingFlag() {
  if ((!FModified && FBuffersToWrite.empty() && !FEmptied) || IsTemporary()) return;
  try {
    FWriting = true;
    PutWritingHeader();
    WriteBarrier();
  } catch (...) {
    FWriteFailed = true;
    throw;
  }
}

void TORVTableFileManager::PutWritingHeader() {
  // The header as it stands on disk with only the Writing byte set: a write
  // torn inside it leaves either the old header or one that says Writing,
  // never new counters or a new free-chain head beside a clear flag.
  const int32_t Size = GetActualHeaderSize();
  FHeaderStream->SetSize(Size);
  FFileStream->SetPosition(0);
  if (FFileStream->Read(FHeaderStream->GetMemory(), Size) != Size) {
    // A file being made has no header to keep yet.
    SaveHeader(false);
    PutHeader();
    return;
  }
  const bool Encrypted = GetTable()->GetEncrypted();
  if (Encrypted) {
    FHeaderStream->InitEncryption(FPasswordDigest);
    FHeaderStream->SetPosition(0);
    FHeaderStream->Decrypt(Size);
  }
  FHeaderStream->GetMemory()[WritingFlagOffset] = 1;
  if (Encrypted) {
    FHeaderStream->SetPosition(0);
    FHeaderStream->Encrypt(Size);
  }
  PutHeaderBytes();
}

void TORVTableFileManager::WriteBarrier() {
  // Only a file that caches writes in this process could reorder the steps
  // (its block cache writes sorted by position); a disk file written through
  // keeps their order for a crash of the process.
  if (dynamic_cast<TORVBufferedOSFile*>(FFileStream->GetFileObject()) != nullptr) FFileStream->Flush();
}

bool TORVTableFileManager::Write(bool Flush) {
  if (!FModified && FBuffersToWrite.empty() && !FEmptied) return false;
  const bool Temporary = IsTemporary();
  bool Result = false;
  try {
    if (!Temporary) {
      FWriting = true;
      PutWritingHeader();
      WriteBarrier();
    }
    Result = WriteBuffers();
    if (!Temporary) WriteBarrier();
  } catch (...) {
    if (!Temporary) FWriteFailed = true;
    throw;
  }
  // After a failed write the disk may hold torn buffers: the flag stays set.
  FWriting = FWriteFailed;
  SaveHeader(true);
  PutHeader();
  if (Flush && !Temporary) FFileStream->Flush();
  FModified = false;
  return Result;
}

// -------------------------------------------------------------------- cache

TORVTableFileBuffer* TORVTableFileManager::FindBuffer(int32_t Number) const {
  auto It = FBuffers.find(Number);
  return It == FBuffers.end() ? nullptr : It->second.get();
}

void TORVTableFileManager::LinkFirst(TORVTableFileBuffer* Buffer) {
  Buffer->FPrevBuffer = nullptr;
  Buffer->FNextBuffer = FFirstBuffer;
  if (FFirstBuffer != nullptr) FFirstBuffer->FPrevBuffer = Buffer;
  FFirstBuffer = Buffer;
  if (FLastBuffer == nullptr) FLastBuffer = Buffer;
}

void TORVTableFileManager::Unlink(TORVTableFileBuffer* Buffer) {
  if (Buffer->FPrevBuffer != nullptr)
    Buffer->FPrevBuffer->FNextBuffer = Buffer->FNextBuffer;
  else
    FFirstBuffer = Buffer->FNextBuffer;
  if (Buffer->FNextBuffer != nullptr)
    Buffer->FNextBuffer->FPrevBuffer = Buffer->FPrevBuffer;
  else
    FLastBuffer = Buffer->FPrevBuffer;
  Buffer->FPrevBuffer = nullptr;
  Buffer->FNextBuffer = nullptr;
}

void TORVTableFileManager::MoveToFront(TORVTableFileBuffer* Buffer) {
  if (FFirstBuffer == Buffer) return;
  Unlink(Buffer);
  LinkFirst(Buffer);
}

void TORVTableFileManager::DropBuffer(TORVTableFileBuffer* Buffer) {
  if (Buffer->FWriteFlag) {
    FBuffersToWrite.erase(std::remove(FBuffersToWrite.begin(), FBuffersToWrite.end(), Buffer),
                          FBuffersToWrite.end());
    Buffer->FWriteFlag = false;
  }
  Unlink(Buffer);
  auto It = FBuffers.find(Buffer->FNumber);
  if (It == FBuffers.end() || It->second.get() != Buffer)
    throw std::logic_error("table-file buffer missing from its cache map");
  std::unique_ptr<TORVTableFileBuffer> Owned = std::move(It->second);
  FBuffers.erase(It);
  --FBufferCount;
  if (Owned->FUseCount > 0) {
    Owned->FDetached = true;
    FDetachedBuffers.push_back(std::move(Owned));
  }
}

void TORVTableFileManager::DropBuffersFrom(int32_t Number) {
  // Cached buffers past the end of the file would otherwise be handed out
  // again as new ones under the same number.
  std::vector<TORVTableFileBuffer*> Beyond;
  for (TORVTableFileBuffer* Buffer = FFirstBuffer; Buffer != nullptr; Buffer = Buffer->FNextBuffer)
    if (Buffer->FNumber >= Number) Beyond.push_back(Buffer);
  for (TORVTableFileBuffer* Buffer : Beyond) DropBuffer(Buffer);
}

void TORVTableFileManager::FreeBuffers(bool WriteBuffersOnly) {
  if (WriteBuffersOnly) {
    std::vector<TORVTableFileBuffer*> Listed = FBuffersToWrite;
    for (TORVTableFileBuffer* Buffer : Listed) DropBuffer(Buffer);
  } else {
    while (FFirstBuffer != nullptr) DropBuffer(FFirstBuffer);
  }
  FBuffersToWrite.clear();
}

TORVTableFileBuffer* TORVTableFileManager::GetNewBuffer(int32_t Number) {
  ORV_ASSERT(FBuffers.find(Number) == FBuffers.end());
  TORVTableFileBuffer* Buffer = nullptr;
  if (FBufferCount >= FMaxBufferCount) Buffer = ClearLastBufferInChain();
  if (Buffer == nullptr) {
    std::unique_ptr<TORVTableFileBuffer> Created = CreateBuffer();
    Buffer = Created.get();
    Buffer->Initialize();
    Buffer->FNumber = Number;
    LinkFirst(Buffer);
    FBuffers[Number] = std::move(Created);
    ++FBufferCount;
    return Buffer;
  }
  auto It = FBuffers.find(Buffer->FNumber);
  if (It == FBuffers.end() || It->second.get() != Buffer)
    CorruptError(FormatString(u"Cannot find %s during ejection from cache", {GetBufferName()}));
  std::unique_ptr<TORVTableFileBuffer> Owned = std::move(It->second);
  FBuffers.erase(It);
  MoveToFront(Buffer);
  Buffer->Initialize();
  Buffer->FNumber = Number;
  FBuffers[Number] = std::move(Owned);
  return Buffer;
}

TORVTableFileBuffer* TORVTableFileManager::ClearLastBufferInChain() {
  auto FindClean = [this]() -> TORVTableFileBuffer* {
    for (TORVTableFileBuffer* Buffer = FLastBuffer; Buffer != nullptr; Buffer = Buffer->FPrevBuffer)
      if (!Buffer->FModified && Buffer->FUseCount == 0 && !Buffer->FWriteFlag) return Buffer;
    return nullptr;
  };
  if (FWriteBehavior == wbWhenFull) {
    TORVTableFileBuffer* Buffer = FindClean();
    if (Buffer == nullptr) {
      Write(false);
      Buffer = FindClean();
    }
    return Buffer;
  }
  if (GetWriteBufferCount() + FMaxReadAheadBufferCount < FBufferCount) return FindClean();
  return nullptr;
}

void TORVTableFileManager::AdjustBuffers(bool WriteBuffersOnly) {
  const int32_t Limit = WriteBuffersOnly ? FMaxWriteBufferCount : FMaxBufferCount;
  TORVTableFileBuffer* Buffer = FLastBuffer;
  while (Buffer != nullptr && FBufferCount > Limit) {
    TORVTableFileBuffer* Prior = Buffer->FPrevBuffer;
    if (!Buffer->FModified && Buffer->FUseCount == 0 && !Buffer->FWriteFlag) {
      if (FindBuffer(Buffer->FNumber) != Buffer)
        CorruptError(FormatString(u"Cannot find %s during ejection from cache", {GetBufferName()}));
      DropBuffer(Buffer);
    }
    Buffer = Prior;
  }
}

TORVTableFileBuffer* TORVTableFileManager::GetBuffer(int32_t BufferNum, bool ReadAhead, bool& FoundChanges,
                                                     int32_t ReadAheadCount, int32_t Direction) {
  if (BufferNum < 1 || BufferNum > FNextNumber)
    CorruptError(FormatString(u"Invalid %s number specified for retrieval from cache", {GetBufferName()}));
  FoundChanges = false;
  TORVTableFileBuffer* Buffer = nullptr;
  if (BufferNum == FNextNumber) {
    CheckMaxBuffers();
    Buffer = GetNewBuffer(BufferNum);
    Buffer->IncUseCount();
    IncNextNumber();
    ++FHits;
    return Buffer;
  }
  Buffer = FindBuffer(BufferNum);
  if (Buffer != nullptr) {
    MoveToFront(Buffer);
    ++FHits;
  } else {
    if (FTableManager->CheckForChanges(false)) {
      FoundChanges = true;
      return nullptr;
    }
    // Buffers past the last one on disk were appended by this session and
    // exist only in its cache: a read never reaches them, and one that left
    // the cache unchanged is new again.
    const int32_t LastOnDisk = std::min(FDiskNextNumber, FNextNumber) - 1;
    if (BufferNum > LastOnDisk) {
      Buffer = GetNewBuffer(BufferNum);
      ++FHits;
    } else {
      int32_t Count = 1;
      if (ReadAhead && Direction != 0) {
        // Forward, no further than the file holds either: a header that
        // claims more buffers must not turn a read of the last ones into a
        // short read.
        Count = Direction == 1 ? static_cast<int32_t>(std::min<int64_t>(
                                     {ReadAheadCount, LastOnDisk - BufferNum + 1, GetBuffersOnFile() + 1 - BufferNum}))
                               : std::min(ReadAheadCount, BufferNum);
        Count = std::max(Count, 1);
      }
      Buffer = ReadBuffers(BufferNum, Count, Direction);
    }
  }
  if (Buffer == nullptr || Buffer->FNumber != BufferNum || FindBuffer(BufferNum) != Buffer)
    CorruptError(FormatString(u"Cannot find %s during retrieval from cache", {GetBufferName()}));
  Buffer->IncUseCount();
  Buffer->CheckLoad();
  return Buffer;
}

TORVTableFileBuffer* TORVTableFileManager::GetSettledBuffer(int32_t BufferNum, bool ReadAhead, int32_t ReadAheadCount,
                                                            int32_t Direction) {
  for (int32_t Attempt = 1;; ++Attempt) {
    bool FoundChanges = false;
    if (TORVTableFileBuffer* Buffer = GetBuffer(BufferNum, ReadAhead, FoundChanges, ReadAheadCount, Direction))
      return Buffer;
    // A restart re-read the header: the buffer may be gone with the file's end.
    if (BufferNum > GetLastNumber())
      CorruptError(FormatString(u"Invalid %s number specified for retrieval from cache", {GetBufferName()}));
    if (Attempt >= MaxSettleAttempts)
      CorruptError(FormatString(u"The %s %s kept changing during retrieval from cache",
                                {GetBufferName(), IntToString(BufferNum)}));
  }
}

void TORVTableFileManager::PutBuffer(TORVTableFileBuffer* Buffer) {
  Buffer->DecUseCount();
  if (Buffer->FDetached) {
    if (Buffer->FUseCount == 0)
      std::erase_if(FDetachedBuffers, [Buffer](const auto& Held) { return Held.get() == Buffer; });
    return;
  }
  if (Buffer->FModified && !Buffer->FWriteFlag) {
    Buffer->FWriteFlag = true;
    FBuffersToWrite.push_back(Buffer);
  }
}

TORVTableFileBuffer* TORVTableFileManager::ReadBuffers(int32_t BufferNum, int32_t Count, int32_t Direction) {
  ++FMisses;
  const int32_t BufferSize = GetBufferSize();
  const int64_t Size = static_cast<int64_t>(Count) * BufferSize;
  TORVStreamEmptier Emptier(*FReadStream);
  struct TRangeClear {
    TORVTableFileManager* Manager;
    ~TRangeClear() {
      Manager->FReadBufferStart = 0;
      Manager->FReadBufferEnd = 0;
    }
  } RangeClear{this};
  FReadStream->SetSize(Size);
  FReadBufferStart = BufferNum;
  FReadBufferEnd = BufferNum + Count - 1;
  const bool Backward = Direction != 0 && Direction != 1;
  const int64_t Offset = Backward ? GetAvailableHeaderSize() + static_cast<int64_t>(BufferNum) * BufferSize - Size
                                  : GetAvailableHeaderSize() + static_cast<int64_t>(BufferNum - 1) * BufferSize;
  FFileStream->SetPosition(Offset);
  int32_t BytesRead = FFileStream->Read(FReadStream->GetMemory(), static_cast<int32_t>(Size));
  // Every buffer asked for lies on disk, so a short read is a damaged file.
  if (BytesRead != Size)
    CorruptError(FormatString(u"Error reading %ss into cache - Size: %s Offset: %s Requested: %s Actual: %s",
                              {GetBufferName(), IntToString(FFileStream->GetSize()), IntToString(Offset),
                               IntToString(Size), IntToString(static_cast<int64_t>(BytesRead))}));
  ++FReads;
  FBytesRead += BytesRead;
  const int32_t Slices = BytesRead / BufferSize;
  if (FEncrypted)
    for (int32_t Slice = 0; Slice < Slices; ++Slice) {
      FReadStream->SetPosition(static_cast<int64_t>(Slice) * BufferSize);
      FReadStream->Decrypt(BufferSize);
    }
  auto Deal = [this, BufferSize](int32_t Slice, int32_t Number) {
    FReadStream->SetPosition(static_cast<int64_t>(Slice) * BufferSize);
    TORVTableFileBuffer* Buffer = FindBuffer(Number);
    if (Buffer == nullptr) Buffer = GetNewBuffer(Number);
    Buffer->Read(*FReadStream);
    return Buffer;
  };
  TORVTableFileBuffer* Result = nullptr;
  if (Backward) {
    const int32_t First = BufferNum - Slices + 1;
    for (int32_t Slice = 0; Slice < Slices; ++Slice) Result = Deal(Slice, First + Slice);
  } else {
    for (int32_t Slice = Slices - 1; Slice >= 0; --Slice) Result = Deal(Slice, BufferNum + Slice);
  }
  return Result;
}

bool TORVTableFileManager::WriteBuffers() {
  if (FBuffersToWrite.empty()) {
    if (!FEmptied) return false;
    FEmptied = false;
    TruncateToHeader();
    ++FWrites;
    return false;
  }
  FMaxWriteBufferCount = std::max(FMaxWriteBufferCount, GetWriteBufferCount());
  std::sort(FBuffersToWrite.begin(), FBuffersToWrite.end(),
            [](const TORVTableFileBuffer* A, const TORVTableFileBuffer* B) { return A->FNumber < B->FNumber; });
  const int32_t BufferSize = GetBufferSize();
  std::vector<TORVTableFileBuffer*> Skipped;
  size_t Next = 0;
  // Afterwards only the skipped buffers stay listed, also on failure.
  struct TListReset {
    TORVTableFileManager* Manager;
    std::vector<TORVTableFileBuffer*>& Skipped;
    size_t& Next;
    ~TListReset() {
      for (size_t Index = Next; Index < Manager->FBuffersToWrite.size(); ++Index)
        Manager->FBuffersToWrite[Index]->FWriteFlag = false;
      Manager->FBuffersToWrite = Skipped;
      Manager->FWriteStream->SetSize(0);
    }
  } Reset{this, Skipped, Next};
  bool Result = false;
  const size_t Count = FBuffersToWrite.size();
  while (Next < Count) {
    TORVTableFileBuffer* First = FBuffersToWrite[Next];
    if (First->FUseCount > 0) {
      if (FWriteBehavior != wbWhenFull)
        CorruptError(
            FormatString(u"Attempted to flush a %s from the cache while it is in use", {GetBufferName()}));
      Skipped.push_back(First);
      ++Next;
      continue;
    }
    FWriteStream->SetSize(0);
    FWriteStream->SetPosition(0);
    int32_t Expected = First->FNumber;
    int64_t Gathered = 0;
    while (Next < Count) {
      TORVTableFileBuffer* Buffer = FBuffersToWrite[Next];
      if (Buffer->FUseCount > 0 || Buffer->FNumber != Expected || Gathered > MaxWriteRunSize) break;
      if (Buffer->FNumber >= FReadBufferStart && Buffer->FNumber <= FReadBufferEnd && FReadBufferEnd > 0)
        Buffer->FReadFlag = true;
      Buffer->Write(*FWriteStream);
      Gathered += BufferSize;
      ++Expected;
      ++Next;
    }
    const int32_t RunSize = static_cast<int32_t>(FWriteStream->GetSize());
    if (FEncrypted)
      for (int32_t Slice = 0; Slice * BufferSize < RunSize; ++Slice) {
        FWriteStream->SetPosition(static_cast<int64_t>(Slice) * BufferSize);
        FWriteStream->Encrypt(BufferSize);
      }
    if (FEmptied) {
      FEmptied = false;
      TruncateToHeader();
    }
    const int64_t Offset = GetAvailableHeaderSize() + static_cast<int64_t>(First->FNumber - 1) * BufferSize;
    FFileStream->SetPosition(Offset);
    const int32_t Written = FFileStream->Write(FWriteStream->GetMemory(), RunSize);
    if (Written != RunSize)
      CorruptError(FormatString(u"Error flushing %ss from cache to disk - Offset: %s Requested: %s Actual: %s",
                                {GetBufferName(), IntToString(Offset), IntToString(RunSize), IntToString(Written)}));
    ++FWrites;
    FBytesWritten += RunSize;
    FDiskNextNumber = std::max(FDiskNextNumber, Expected);
    Result = true;
  }
  return Result;
}

void TORVTableFileManager::TruncateToHeader() {
  FFileStream->SetSize(GetAvailableHeaderSize());
  FDiskNextNumber = 1;
}

void TORVTableFileManager::CheckInvariants() const {
  auto Fail = [](const char* What) { throw std::logic_error(What); };
  int32_t Linked = 0;
  const TORVTableFileBuffer* Prior = nullptr;
  for (const TORVTableFileBuffer* Buffer = FFirstBuffer; Buffer != nullptr; Buffer = Buffer->FNextBuffer) {
    if (Buffer->FPrevBuffer != Prior) Fail("table-file LRU chain links disagree");
    if (FindBuffer(Buffer->FNumber) != Buffer) Fail("table-file buffer in the chain is not mapped under its number");
    if (Buffer->FDetached) Fail("detached table-file buffer still cached");
    Prior = Buffer;
    ++Linked;
  }
  if (Prior != FLastBuffer) Fail("table-file LRU chain does not end at its last buffer");
  if (Linked != FBufferCount || static_cast<int32_t>(FBuffers.size()) != FBufferCount)
    Fail("table-file buffer count disagrees with the cache");
  int32_t Flagged = 0;
  for (const auto& Entry : FBuffers)
    if (Entry.second->FWriteFlag) ++Flagged;
  if (Flagged != GetWriteBufferCount()) Fail("table-file write list disagrees with the write flags");
  for (const TORVTableFileBuffer* Buffer : FBuffersToWrite)
    if (!Buffer->FWriteFlag || FindBuffer(Buffer->FNumber) != Buffer) Fail("table-file write list holds a stray buffer");
  for (const auto& Held : FDetachedBuffers)
    if (!Held->FDetached || Held->FUseCount <= 0) Fail("detached table-file buffer is not held");
}

// ------------------------------------------------------------- verification

bool TORVTableFileManager::Verify(bool& FoundErrors, bool RepairErrors) {
  // The header is checked against the file's size, so buffers still waiting
  // to be written go to disk first; an interrupted write is left as it is
  // for the check to find.
  if (!FWriting && !FWriteFailed && !FBuffersToWrite.empty()) Write(false);
  bool Result = VerifyHeader(FoundErrors, RepairErrors);
  if (Result) Result = VerifyBuffers(FoundErrors, RepairErrors);
  return Result;
}

bool TORVTableFileManager::VerifyBuffers(bool& /*FoundErrors*/, bool /*RepairErrors*/) { return true; }

bool TORVTableFileManager::VerifyHeader(bool& FoundErrors, bool RepairErrors) {
  auto Found = [&](const TORVString& Message) {
    FoundErrors = true;
    LogVerifyMessage(Message, nullptr, RepairErrors);
  };
  if (FWriting || FWriteFailed) {
    Found(u"Write interrupted");
    if (RepairErrors) {
      FWriting = false;
      FWriteFailed = false;
      FModified = true;
    }
  }
  const int32_t AvailableHeaderSize = GetAvailableHeaderSize();
  const int32_t BufferSize = GetBufferSize();
  const int64_t FileSize = FFileStream->GetSize();
  auto CheckFree = [&](bool Valid) {
    if (Valid) return;
    Found(FormatString(u"Invalid free %s list pointer (%s)", {GetBufferName(), IntToString(FNextFreeNumber)}));
    if (RepairErrors) SetNextFreeNumber(0);
  };
  if (FileSize <= AvailableHeaderSize) {
    if (FNextNumber != 1) {
      Found(FormatString(u"Invalid total %s count (%s)",
                         {GetBufferName(), IntToString(static_cast<int64_t>(FNextNumber) - 1)}));
      if (RepairErrors) {
        FNextNumber = 1;
        DropBuffersFrom(FNextNumber);
        FModified = true;
      }
    }
    CheckFree(FNextFreeNumber == 0);
  } else {
    const int64_t Buffers = (FileSize - AvailableHeaderSize) / BufferSize;
    if ((FileSize - AvailableHeaderSize) % BufferSize != 0) {
      Found(FormatString(u"Invalid %s boundary detected", {GetBufferName()}));
      if (RepairErrors) FFileStream->SetSize(AvailableHeaderSize + Buffers * BufferSize);
    }
    if (Buffers + 1 != FNextNumber) {
      Found(FormatString(u"Invalid total %s count (%s)",
                         {GetBufferName(), IntToString(static_cast<int64_t>(FNextNumber) - 1)}));
      if (RepairErrors) {
        FNextNumber = static_cast<int32_t>(std::min<int64_t>(Buffers + 1, std::numeric_limits<int32_t>::max()));
        DropBuffersFrom(FNextNumber);
        FModified = true;
      }
    }
    CheckFree(FNextFreeNumber >= 0 && FNextFreeNumber < FNextNumber);
  }
  return true;
}

void TORVTableFileManager::LogVerifyMessage(const TORVString& Message, TORVConfigObject* Obj, bool RepairErrors) {
  TORVBaseTable* Table = GetTable();
  const TORVString Result = RepairErrors ? u"Fixed" : u"Not Fixed";
  TORVString Line =
      Obj != nullptr
          ? FormatString(u"Verification error for the %s %s in the %s %s file %s (%s) - %s",
                         {Obj->GetTypeName(), Obj->GetName(), Table->GetName(), Table->GetTypeName(),
                          GetFullFileName(), Message, Result})
          : FormatString(u"Verification error for the %s %s file %s (%s) - %s",
                         {Table->GetName(), Table->GetTypeName(), GetFullFileName(), Message, Result});
  FTableManager->GetSessionManager().LogMessage(Line);
}

// ------------------------------------------------------------ key values

TORVString KeyValuesAsString(TORVKeyValues& KeyValues) {
  TORVString Result;
  for (int32_t Index = 0; Index < KeyValues.GetCount(); ++Index) {
    if (Index > 0) Result += u',';
    Result += KeyValues.GetItems(Index)->GetAsString();
  }
  return Result;
}

}  // namespace orv
