#include "storage/orvobjmgr.h"

#include <algorithm>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "core/orvmath.h"

namespace orv {

namespace {

constexpr int32_t ObjectStreamBlockSize = 65536;

void WriteAll(TORVFileManager* FileManager, TORVFileStream& Stream, const uint8_t* Buffer, int32_t Count) {
  if (Count > 0 && Stream.Write(Buffer, Count) != Count)
    FileManager->FileError(FormatString(u"Cannot write to the file %s", {Stream.GetFileName()}));
}

}  // namespace

TORVConfigObjectManager::TORVConfigObjectManager(TORVLockableConfigObject* ConfigObjectToManage,
                                                 TORVLockManager* LockManagerToUse,
                                                 TORVFileManager* FileManagerToUse)
    : FConfigObject(ConfigObjectToManage), FLockManager(LockManagerToUse), FFileManager(FileManagerToUse) {
  int32_t CharacterSet = FConfigObject->GetConfigCharacterSet();
  FHeaderStream = std::make_unique<TORVMemoryStream>(CharacterSet);
  FConfigObjectStream = std::make_unique<TORVMemoryStream>(CharacterSet);
  FConfigObjectStream->SetBlockSize(ObjectStreamBlockSize);
}

TORVConfigObjectManager::~TORVConfigObjectManager() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; owners that must know call Close first.
  }
}

TORVString TORVConfigObjectManager::GetFullFileName() { return FFileName; }

TORVString TORVConfigObjectManager::GetFullBackupCopyFileName() { return FBackupCopyFileName; }

void TORVConfigObjectManager::ValidateError(const TORVString& Msg) {
  RaiseError(ORV_METADATA_ERROR, {FConfigObject->GetTypeName(), FConfigObject->GetName(), Msg});
}

void TORVConfigObjectManager::UpdateError() {
  RaiseError(ORV_UPDATE_ERROR, {FConfigObject->GetTypeName(), FConfigObject->GetName(), ORV_FILE_READ_ONLY_MSG});
}

void TORVConfigObjectManager::ConfigObjectCreated() {}

void TORVConfigObjectManager::ConfigObjectUpdating() {}

void TORVConfigObjectManager::Initialize() {
  FSignatureDigest.Assign(GetMasterSignatureDigest());
  FCharacterSet = FConfigObject->GetConfigCharacterSet();
  FPasswordDigest.Assign(GetMasterPasswordDigest());
  FEncrypted = GetMasterEncrypted();
  FHeaderStream->SetSize(HeaderSize);
}

TORVString TORVConfigObjectManager::ScratchFileName() { return GetFullFileName() + u".New"; }

void TORVConfigObjectManager::LoadHeader() {
  TORVMemoryStream& Stream = *FHeaderStream;
  Stream.SetPosition(0);
  FSignatureDigest.Load(Stream);
  FCharacterSet = Stream.ReadInteger();
  FEncrypted = Stream.ReadBoolean();
  FPasswordDigest.Load(Stream);
  FUpdateCounter = Stream.ReadInteger();
  FCompressionLevel = Stream.ReadInteger();
  FConfigObjectSize = Stream.ReadInteger();
}

void TORVConfigObjectManager::ValidateHeader(bool StoredPlain) {
  static constexpr char16_t EncryptionMismatch[] =
      u"The encryption status does not match the encryption status in the configuration or catalog";
  if (GetMasterEncrypted()) {
    // A plain header deciphers to noise, which would read as a wrong
    // password: the stored bytes tell the two apart.
    if (!FEncrypted || (StoredPlain && !FPasswordDigest.Compare(GetMasterPasswordDigest())))
      ValidateError(EncryptionMismatch);
    if (!FPasswordDigest.Compare(GetMasterPasswordDigest()))
      ValidateError(
          u"The encryption password does not match the default or current engine encryption password, which may be "
          u"caused by the character set not matching the character set in use by the engine");
  } else if (FEncrypted) {
    ValidateError(EncryptionMismatch);
  }
  if (FCharacterSet != FConfigObject->GetConfigCharacterSet())
    ValidateError(u"The character set does not match the character set in use by the engine");
  if (!ValidateMasterSignatureDigest(FSignatureDigest))
    ValidateError(u"The signature does not match the default or current engine signature");
}

void TORVConfigObjectManager::ReadHeader() {
  FHeaderStream->SetSize(HeaderSize);
  FFileStream->SetPosition(0);
  int32_t Got = FFileStream->Read(FHeaderStream->GetMemory(), HeaderSize);
  if (Got < 0) FFileManager->FileError(FormatString(u"Cannot read the file %s", {FFileStream->GetFileName()}));
  if (Got < HeaderSize) ValidateError(u"The file is shorter than its header");
  // As stored: not encrypted, and a character set the engine knows.
  FHeaderStream->SetPosition(16);
  const int32_t StoredCharacterSet = FHeaderStream->ReadInteger();
  const bool StoredPlain = FHeaderStream->ReadByte() == 0 && (StoredCharacterSet == 0 || StoredCharacterSet == 1);
  if (GetMasterEncrypted()) {
    FHeaderStream->InitEncryption(GetMasterPasswordDigest());
    FHeaderStream->SetPosition(0);
    FHeaderStream->Decrypt(HeaderSize);
  }
  LoadHeader();
  ValidateHeader(StoredPlain);
}

void TORVConfigObjectManager::ReadConfigObject() {
  TORVStreamEmptier Emptier(*FConfigObjectStream);
  if (FConfigObjectSize < 0 || FConfigObjectSize > FFileStream->GetSize() - HeaderSize)
    ValidateError(u"The size of the object does not match the size of the file");
  FConfigObjectStream->SetSize(FConfigObjectSize);
  FFileStream->SetPosition(HeaderSize);
  int32_t Got = FFileStream->Read(FConfigObjectStream->GetMemory(), FConfigObjectSize);
  if (Got < 0) FFileManager->FileError(FormatString(u"Cannot read the file %s", {FFileStream->GetFileName()}));
  if (Got < FConfigObjectSize) ValidateError(u"The size of the object does not match the size of the file");
  if (FEncrypted) {
    FConfigObjectStream->InitEncryption(GetMasterPasswordDigest());
    FConfigObjectStream->SetPosition(0);
    FConfigObjectStream->Decrypt(FConfigObjectSize);
  }
  FConfigObjectStream->SetPosition(0);
  if (FOnLoadConfigObject) FOnLoadConfigObject(FConfigObject);
  FConfigObject->Load(*FConfigObjectStream);
  // The stream carries the object's own flag; a file that can only be
  // read keeps the object read-only whatever the stream says.
  if (FFileReadOnly) FConfigObject->SetReadOnly(true);
  FConfigObject->Validate();
  if (FConfigObjectChanged) FConfigObjectChanged(FConfigObject);
}

void TORVConfigObjectManager::SaveHeader() {
  TORVMemoryStream& Stream = *FHeaderStream;
  Stream.SetSize(HeaderSize);
  Stream.SetPosition(0);
  FSignatureDigest.Save(Stream);
  Stream.WriteInteger(FCharacterSet);
  Stream.WriteBoolean(FEncrypted);
  FPasswordDigest.Save(Stream);
  Stream.WriteInteger(FUpdateCounter);
  Stream.WriteInteger(FCompressionLevel);
  Stream.WriteInteger(FConfigObjectSize);
  Stream.Clear(0);
}

void TORVConfigObjectManager::WriteFile() {
  TORVStreamEmptier Emptier(*FConfigObjectStream);
  TORVMemoryStream& Object = *FConfigObjectStream;
  Object.SetSize(0);
  Object.SetCapacity(std::max(Object.GetCapacity(), FConfigObjectSize));
  if (FOnSaveConfigObject) FOnSaveConfigObject(FConfigObject);
  FConfigObject->Save(Object, false);
  if (FConfigObjectChanged) FConfigObjectChanged(FConfigObject);
  int32_t Used = static_cast<int32_t>(Object.GetSize());
  int32_t Size = BlockOffset(Used, 8);
  Object.SetSize(Size);
  Object.SetPosition(Used);
  Object.Clear(Size - Used);
  const bool Encrypt = GetMasterEncrypted();
  if (Encrypt) {
    Object.InitEncryption(GetMasterPasswordDigest());
    Object.SetPosition(0);
    Object.Encrypt(Size);
  }

  // The header describes the new file only once it is in place.
  const int32_t OldCounter = FUpdateCounter;
  const int32_t OldSize = FConfigObjectSize;
  const bool OldEncrypted = FEncrypted;
  WrapIncInteger(FUpdateCounter, 1);
  FConfigObjectSize = Size;
  FEncrypted = Encrypt;
  TORVString Scratch = ScratchFileName();
  try {
    SaveHeader();
    if (Encrypt) {
      FHeaderStream->InitEncryption(GetMasterPasswordDigest());
      FHeaderStream->SetPosition(0);
      FHeaderStream->Encrypt(HeaderSize);
    }
    std::unique_ptr<TORVFileStream> Stream = FFileManager->CreateFile(Scratch, TORVFileOptions());
    WriteAll(FFileManager, *Stream, FHeaderStream->GetMemory(), HeaderSize);
    WriteAll(FFileManager, *Stream, Object.GetMemory(), Size);
    Stream->Sync();
    Stream->Close();
    FFileManager->ReplaceFile(Scratch, GetFullFileName());
  } catch (...) {
    FUpdateCounter = OldCounter;
    FConfigObjectSize = OldSize;
    FEncrypted = OldEncrypted;
    try {
      if (FFileManager->FileExists(Scratch, TORVFileOptions())) FFileManager->DeleteFile(Scratch);
    } catch (const EORVBaseException&) {
      // The next rewrite creates the scratch file afresh.
    }
    throw;
  }
}

bool TORVConfigObjectManager::CheckForChanges() {
  if (FConfigObject->GetTemporary()) return false;
  const int32_t OldCounter = FUpdateCounter;
  FFileStream->GetFileObject()->ReopenIfReplaced();
  ReadHeader();
  if (FUpdateCounter == OldCounter) return false;
  try {
    ReadConfigObject();
  } catch (...) {
    // The next check tries the load again.
    FUpdateCounter = OldCounter;
    throw;
  }
  return true;
}

void TORVConfigObjectManager::CloseStream() {
  std::unique_ptr<TORVFileStream> Stream = std::move(FFileStream);
  if (Stream) Stream->Close();
}

void TORVConfigObjectManager::OpenExisting() {
  FFileStream = FFileManager->OpenFile(GetFullFileName(), TORVFileOptions{foLockable});
  FFileReadOnly = FFileStream->GetOptions().Contains(foReadOnly);
  if (!FConfigObject->GetReadOnly() && FFileReadOnly) FConfigObject->SetReadOnly(true);
  try {
    BeginRead();
    EndRead();
  } catch (...) {
    FReadLockCounter = 0;
    FUpdateCounter = 0;
    FConfigObjectSize = 0;
    try {
      CloseStream();
    } catch (...) {
      // The failure to load is the one reported.
    }
    throw;
  }
}

void TORVConfigObjectManager::InternalOpen() {
  if (FConfigObject->GetTemporary()) return;
  const TORVFileOptions Options{foLockable};
  if (FFileManager->FileExists(GetFullFileName(), Options)) {
    OpenExisting();
    return;
  }
  TORVObjectLock Transaction(*FLockManager, FConfigObject, ltTransaction);
  // Another session may have created it while this one waited.
  if (FFileManager->FileExists(GetFullFileName(), Options)) {
    OpenExisting();
    Transaction.Release();
    return;
  }
  TORVObjectLock Write(*FLockManager, FConfigObject, ltWrite);
  try {
    WriteFile();
    FFileStream = FFileManager->OpenFile(GetFullFileName(), Options);
    FFileReadOnly = FFileStream->GetOptions().Contains(foReadOnly);
  } catch (...) {
    FUpdateCounter = 0;
    FConfigObjectSize = 0;
    throw;
  }
  Write.Release();
  Transaction.Release();
  ConfigObjectCreated();
}

void TORVConfigObjectManager::InternalClose() { CloseStream(); }

void TORVConfigObjectManager::Open() {
  if (FOpened) {
    BeginRead();
    EndRead();
    return;
  }
  InternalOpen();
  FOpened = true;
}

void TORVConfigObjectManager::Close() {
  if (!FOpened) return;
  FOpened = false;
  FUpdating = false;
  FReadLockCounter = 0;
  InternalClose();
}

void TORVConfigObjectManager::BeginUpdate() {
  if (FConfigObject->GetReadOnly()) UpdateError();
  if (FUpdating) return;
  FLockManager->LockObject(FConfigObject, ltTransaction);
  try {
    CheckForChanges();
  } catch (...) {
    FLockManager->UnlockAfterFailure(FConfigObject, ltTransaction);
    throw;
  }
  FConfigObject->SetModified(false);
  FUpdating = true;
  ConfigObjectUpdating();
}

void TORVConfigObjectManager::EndUpdate() {
  if (!FUpdating) return;
  if (FConfigObject->GetModified() && !FConfigObject->GetTemporary()) {
    TORVObjectLock Write(*FLockManager, FConfigObject, ltWrite);
    try {
      CreateBackupCopy();
      WriteFile();
    } catch (...) {
      // The file was never touched: only the copy goes.
      try {
        DropBackupCopy();
      } catch (const EORVBaseException&) {
        // The failed write is the one reported.
      }
      throw;
    }
    Write.Release();
  }
  FConfigObject->Reset();
  FUpdating = false;
  FLockManager->UnlockObject(FConfigObject, ltTransaction);
}

void TORVConfigObjectManager::CancelUpdate() {
  if (!FUpdating) return;
  if (!FConfigObject->GetModified() || FConfigObject->GetTemporary()) {
    FConfigObject->Reset();
  } else {
    ReadHeader();
    ReadConfigObject();
  }
  FUpdating = false;
  FLockManager->UnlockObject(FConfigObject, ltTransaction);
}

void TORVConfigObjectManager::BeginRead() {
  if (FUpdating) return;
  if (FReadLockCounter == 0) {
    bool Taken = FLockManager->LockObject(FConfigObject, ltRead);
    if (Taken || FConfigObjectSize == 0) {
      try {
        CheckForChanges();
      } catch (...) {
        if (Taken) FLockManager->UnlockAfterFailure(FConfigObject, ltRead);
        throw;
      }
    }
  }
  ++FReadLockCounter;
  FConfigObject->SetModified(false);
}

void TORVConfigObjectManager::EndRead() {
  if (FUpdating || FReadLockCounter == 0) return;
  if (--FReadLockCounter == 0) FLockManager->UnlockObject(FConfigObject, ltRead);
}

void TORVConfigObjectManager::CopyFile(const TORVString& Source, const TORVString& Target) {
  std::unique_ptr<TORVFileStream> Copy = FFileManager->CreateFile(Target, TORVFileOptions{foExclusive});
  std::unique_ptr<TORVFileStream> From = FFileManager->OpenFile(Source, TORVFileOptions());
  From->SetPosition(0);
  int64_t Size = From->GetSize();
  if (Copy->CopyFrom(*From, Size) != Size)
    FFileManager->FileError(FormatString(u"Cannot write to the file %s", {Target}));
  From->Close();
  Copy->Sync();
  Copy->Close();
}

void TORVConfigObjectManager::CreateBackupCopy() {
  if (FFileManager->GetVirtualOnly()) return;
  CopyFile(GetFullFileName(), GetFullBackupCopyFileName());
}

void TORVConfigObjectManager::RestoreBackupCopy() {
  if (FFileManager->GetVirtualOnly()) return;
  TORVString Copy = GetFullBackupCopyFileName();
  if (!FFileManager->FileExists(Copy, TORVFileOptions())) return;
  // Through the scratch file, so that a crash during the restore leaves
  // the file as it was.
  TORVString Scratch = ScratchFileName();
  CopyFile(Copy, Scratch);
  FFileManager->ReplaceFile(Scratch, GetFullFileName());
}

void TORVConfigObjectManager::DropBackupCopy() {
  if (FFileManager->GetVirtualOnly()) return;
  TORVString Copy = GetFullBackupCopyFileName();
  if (FFileManager->FileExists(Copy, TORVFileOptions())) FFileManager->DeleteFile(Copy);
}

void TORVConfigObjectManager::Drop() {
  if (FConfigObject->GetTemporary()) return;
  try {
    CreateBackupCopy();
    Close();
    FFileManager->DeleteFile(GetFullFileName());
  } catch (const EORVBaseException&) {
    // Another session may still have the file open; the copy remains.
  }
}

}  // namespace orv
