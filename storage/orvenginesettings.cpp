#include "storage/orvenginesettings.h"

#include <algorithm>
#include <stdexcept>

#include "base/orverrors.h"
#include "core/orvcollation.h"
#include "core/orvdatetime.h"
#include "core/orvenginedefaults.h"
#include "core/orvenv.h"
#include "core/orvstrings.h"
#include "storage/orvenginemgr.h"

namespace orv {

namespace {

constexpr char16_t ModifyEngineOperation[] = u"MODIFY ENGINE";

}  // namespace

void SetCategory(int32_t& Categories, int32_t Category) {
  if (Category < 0 || Category > 31) return;
  Categories = static_cast<int32_t>(static_cast<uint32_t>(Categories) | (1u << Category));
}

bool CategorySet(int32_t Categories, int32_t Category) {
  if (Category < 0 || Category > 31) return false;
  return (static_cast<uint32_t>(Categories) >> Category) & 1u;
}

// ---------------------------------------------------------------------------
// TORVBufferedFileIOSetting

TORVBufferedFileIOSetting::TORVBufferedFileIOSetting(const TORVString& AFileName, int32_t AFileBufferBlockSize,
                                                     int32_t AMaximumFileBufferSize, int32_t AFileBufferFlushAge,
                                                     bool AFileBufferFlushDisk) {
  Update(AFileName, AFileBufferBlockSize, AMaximumFileBufferSize, AFileBufferFlushAge, AFileBufferFlushDisk);
}

void TORVBufferedFileIOSetting::Update(const TORVString& AFileName, int32_t AFileBufferBlockSize,
                                       int32_t AMaximumFileBufferSize, int32_t AFileBufferFlushAge,
                                       bool AFileBufferFlushDisk) {
  FFileName = AFileName;
  FFileBufferBlockSize = AFileBufferBlockSize;
  FMaximumFileBufferSize = AMaximumFileBufferSize;
  FFileBufferFlushAge = AFileBufferFlushAge;
  FFileBufferFlushDisk = AFileBufferFlushDisk;
}

void TORVBufferedFileIOSetting::Assign(const TORVBufferedFileIOSetting& FromSetting) {
  Update(FromSetting.FFileName, FromSetting.FFileBufferBlockSize, FromSetting.FMaximumFileBufferSize,
         FromSetting.FFileBufferFlushAge, FromSetting.FFileBufferFlushDisk);
}

// ---------------------------------------------------------------------------
// TORVBufferedFileIOSettings

int32_t TORVBufferedFileIOSettings::IndexOf(const TORVString& AFileName) const {
  for (size_t I = 0; I < FFileSettings.size(); ++I)
    if (SameString(FFileSettings[I]->GetFileName(), AFileName)) return static_cast<int32_t>(I);
  return -1;
}

void TORVBufferedFileIOSettings::Append(std::unique_ptr<TORVBufferedFileIOSetting> Setting) {
  if (GetCount() == FCapacity) {
    FCapacity = BlockOffset(GetCount() + 1, ExpandCount);
    FFileSettings.reserve(static_cast<size_t>(FCapacity));
  }
  FFileSettings.push_back(std::move(Setting));
}

void TORVBufferedFileIOSettings::Add(const TORVString& AFileName, int32_t AFileBufferBlockSize,
                                     int32_t AMaximumFileBufferSize, int32_t AFileBufferFlushAge,
                                     bool AFileBufferFlushDisk) {
  FSettings->CheckNotOpened(ModifyEngineOperation);
  const int32_t Index = IndexOf(AFileName);
  if (Index >= 0) {
    FFileSettings[static_cast<size_t>(Index)]->Update(AFileName, AFileBufferBlockSize, AMaximumFileBufferSize,
                                                      AFileBufferFlushAge, AFileBufferFlushDisk);
    return;
  }
  Append(std::make_unique<TORVBufferedFileIOSetting>(AFileName, AFileBufferBlockSize, AMaximumFileBufferSize,
                                                     AFileBufferFlushAge, AFileBufferFlushDisk));
}

bool TORVBufferedFileIOSettings::Remove(const TORVString& AFileName) {
  FSettings->CheckNotOpened(ModifyEngineOperation);
  const int32_t Index = IndexOf(AFileName);
  if (Index < 0) return false;
  FFileSettings.erase(FFileSettings.begin() + Index);
  return true;
}

void TORVBufferedFileIOSettings::Clear() {
  FSettings->CheckNotOpened(ModifyEngineOperation);
  FFileSettings.clear();
}

void TORVBufferedFileIOSettings::Assign(const TORVBufferedFileIOSettings& FromSettings) {
  FSettings->CheckNotOpened(ModifyEngineOperation);
  if (&FromSettings == this) return;
  FFileSettings.clear();
  for (const auto& Setting : FromSettings.FFileSettings) {
    auto Copy = std::make_unique<TORVBufferedFileIOSetting>();
    Copy->Assign(*Setting);
    Append(std::move(Copy));
  }
}

const TORVBufferedFileIOSetting* TORVBufferedFileIOSettings::Find(const TORVString& AFileName) const {
  for (auto It = FFileSettings.rbegin(); It != FFileSettings.rend(); ++It)
    if (MatchString(AFileName, (*It)->GetFileName(), 0, false)) return It->get();
  return nullptr;
}

const TORVBufferedFileIOSetting& TORVBufferedFileIOSettings::GetFileSettings(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) throw std::out_of_range("buffered file I/O setting index");
  return *FFileSettings[static_cast<size_t>(Index)];
}

// ---------------------------------------------------------------------------
// TORVLoggedStatement, TORVLoggedStatements

void TORVLoggedStatement::Update(const TORVString& AUserName, const TORVString& AProcessName, int32_t ASessionID,
                                 const TORVString& ASessionName, const TORVString& ASessionDescription,
                                 const TORVString& ADatabaseName, const TORVString& ASQL, uint32_t AExecutionTime,
                                 int32_t ARowsAffected) {
  FDateTime = CurrentTimeStamp(false);
  FUserName = AUserName;
  FProcessName = AProcessName;
  FSessionID = ASessionID;
  FSessionName = ASessionName;
  FSessionDescription = ASessionDescription;
  FDatabaseName = ADatabaseName;
  FSQL = ASQL;
  FExecutionTime = AExecutionTime;
  FRowsAffected = ARowsAffected;
}

int32_t TORVLoggedStatements::Find(uint32_t Time) const {
  // Slowest first: the entries at least as slow as Time form a prefix.
  auto It = std::partition_point(FStatements.begin(), FStatements.end(),
                                 [Time](const auto& Statement) { return Statement->GetExecutionTime() >= Time; });
  return static_cast<int32_t>(It - FStatements.begin());
}

void TORVLoggedStatements::Add(const TORVString& AUserName, const TORVString& AProcessName, int32_t ASessionID,
                               const TORVString& ASessionName, const TORVString& ASessionDescription,
                               const TORVString& ADatabaseName, const TORVString& ASQL, uint32_t AExecutionTime,
                               int32_t ARowsAffected) {
  TORVWriteLocked Guard(FLock);
  if (FMaxCount <= 0) return;
  std::unique_ptr<TORVLoggedStatement> Statement;
  if (GetCount() >= FMaxCount) {
    // Full: only a statement slower than the fastest one held gets in.
    if (AExecutionTime <= FStatements.back()->GetExecutionTime()) return;
    Statement = std::move(FStatements.back());
    FStatements.pop_back();
  } else {
    Statement = std::make_unique<TORVLoggedStatement>();
    if (GetCount() == FCapacity) {
      FCapacity = BlockOffset(GetCount() + 1, ExpandCount);
      FStatements.reserve(static_cast<size_t>(FCapacity));
    }
  }
  Statement->Update(AUserName, AProcessName, ASessionID, ASessionName, ASessionDescription, ADatabaseName, ASQL,
                    AExecutionTime, ARowsAffected);
  FStatements.insert(FStatements.begin() + Find(AExecutionTime), std::move(Statement));
}

void TORVLoggedStatements::Clear(uint32_t MinExecutionTime) {
  TORVWriteLocked Guard(FLock);
  const int32_t From = MinExecutionTime == 0 ? 0 : Find(MinExecutionTime);
  while (GetCount() > From) FStatements.pop_back();
}

const TORVLoggedStatement& TORVLoggedStatements::GetStatements(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) throw std::out_of_range("logged statement index");
  return *FStatements[static_cast<size_t>(Index)];
}

void TORVLoggedStatements::SetMaxCount(int32_t Value) {
  TORVWriteLocked Guard(FLock);
  FMaxCount = std::max(Value, 0);
  while (GetCount() > FMaxCount) FStatements.pop_back();
}

bool TORVLoggedStatements::CheckInvariants() {
  TORVReadLocked Guard(FLock);
  if (GetCount() > FMaxCount) return false;
  for (size_t I = 1; I < FStatements.size(); ++I)
    if (FStatements[I - 1]->GetExecutionTime() < FStatements[I]->GetExecutionTime()) return false;
  return true;
}

// ---------------------------------------------------------------------------
// TORVEngineManagerSettings

TORVEngineManagerSettings::TORVEngineManagerSettings(TORVEngineManager* EngineManager)
    : FEngineManager(EngineManager),
      FBufferedFileIOSettings(std::make_unique<TORVBufferedFileIOSettings>(this)),
      FSignature(DefaultEngineSignature),
      FEncryptionPassword(DefaultEncryptionPassword),
      FCommsEncryptionPassword(DefaultEncryptionPassword),
      FConfigName(u"ORVConfig"),
      FConfigExtension(u".ORVCfg"),
      FLockExtension(u".ORVLck"),
      FLogExtension(u".ORVLog"),
      FCatalogName(u"ORVDatabase"),
      FCatalogExtension(u".ORVCat"),
      FRowExtension(u".ORVTbl"),
      FIndexExtension(u".ORVIdx"),
      FBlobExtension(u".ORVBlb"),
      FPublishExtension(u".ORVPbl"),
      FCopyExtension(u".Old"),
      FBackupExtension(u".ORVBkp"),
      FUpdateExtension(u".ORVUpd"),
      FTempTablesPath(Environment().GetTempDirectory()) {
  ComputeDigest(FSignature, FSignatureDigest);
  ComputeDigest(DefaultEngineSignature, FDefaultSignatureDigest);
  ComputeDigest(FEncryptionPassword, FEncryptionPasswordDigest);
  ComputeDigest(FCommsEncryptionPassword, FCommsEncryptionPasswordDigest);
}

TORVEngineManagerSettings::~TORVEngineManagerSettings() = default;

void TORVEngineManagerSettings::OpenError(const TORVString& Operation) {
  RaiseError(ORV_OPEN_ERROR, {u"Orvenmark", u"engine", Operation});
}

void TORVEngineManagerSettings::CheckNotOpened(const TORVString& Operation) {
  if (FEngineManager != nullptr && FEngineManager->GetOpened()) OpenError(Operation);
}

void TORVEngineManagerSettings::ComputeDigest(const TORVString& Text, TORVDigest& Digest) const {
  if (FCharacterSet == CharacterSetAnsi)
    Digest.SetAsAnsiString(Environment().MapStringToAnsi(Text, 0));
  else
    Digest.SetAsUnicodeString(Text);
}

bool TORVEngineManagerSettings::ValidateSignature(const TORVDigest& DigestToValidate) const {
  return DigestToValidate.Compare(FSignatureDigest) || DigestToValidate.Compare(FDefaultSignatureDigest);
}

void TORVEngineManagerSettings::SetGuardedText(TORVString& Field, const TORVString& Value) {
  if (SameString(Field, Value)) return;
  CheckNotOpened(ModifyEngineOperation);
  Field = Value;
}

template <typename T>
void TORVEngineManagerSettings::SetGuarded(T& Field, T Value) {
  if (Field == Value) return;
  CheckNotOpened(ModifyEngineOperation);
  Field = Value;
}

void TORVEngineManagerSettings::SetSecret(TORVString& Field, TORVDigest& Digest, const TORVString& Value) {
  if (SameStringSensitive(Field, Value)) return;
  CheckNotOpened(ModifyEngineOperation);
  Field = Value;
  ComputeDigest(Field, Digest);
}

void TORVEngineManagerSettings::SetCharacterSet(int32_t Value) {
  if (Value == FCharacterSet) return;
  CheckNotOpened(ModifyEngineOperation);
  FCharacterSet = Value;
  if (Value != CharacterSetAnsi && Value != CharacterSetUnicode) return;
  ComputeDigest(DefaultEngineSignature, FDefaultSignatureDigest);
  ComputeDigest(FSignature, FSignatureDigest);
  ComputeDigest(FEncryptionPassword, FEncryptionPasswordDigest);
  ComputeDigest(FCommsEncryptionPassword, FCommsEncryptionPasswordDigest);
}

void TORVEngineManagerSettings::SetBufferedFileIO(bool Value) { SetGuarded(FBufferedFileIO, Value); }
void TORVEngineManagerSettings::SetBufferedFileIOFlushInterval(int32_t Value) {
  SetGuarded(FBufferedFileIOFlushInterval, Value);
}
void TORVEngineManagerSettings::SetSignature(const TORVString& Value) {
  SetSecret(FSignature, FSignatureDigest, Value);
}
void TORVEngineManagerSettings::SetEncryptionPassword(const TORVString& Value) {
  SetSecret(FEncryptionPassword, FEncryptionPasswordDigest, Value);
}
void TORVEngineManagerSettings::SetCommsEncryptionPassword(const TORVString& Value) {
  SetSecret(FCommsEncryptionPassword, FCommsEncryptionPasswordDigest, Value);
}
void TORVEngineManagerSettings::SetConfigMemory(bool Value) { SetGuarded(FConfigMemory, Value); }
void TORVEngineManagerSettings::SetConfigMemorySessionIsolation(bool Value) {
  SetGuarded(FConfigMemorySessionIsolation, Value);
}
void TORVEngineManagerSettings::SetConfigPath(const TORVString& Value) { SetGuardedText(FConfigPath, Value); }
void TORVEngineManagerSettings::SetConfigName(const TORVString& Value) { SetGuardedText(FConfigName, Value); }
void TORVEngineManagerSettings::SetConfigExtension(const TORVString& Value) {
  SetGuardedText(FConfigExtension, Value);
}
void TORVEngineManagerSettings::SetLockExtension(const TORVString& Value) { SetGuardedText(FLockExtension, Value); }
void TORVEngineManagerSettings::SetLogExtension(const TORVString& Value) { SetGuardedText(FLogExtension, Value); }
void TORVEngineManagerSettings::SetMaximumLogFileSize(int32_t Value) {
  SetGuarded(FMaximumLogFileSize, std::max(Value, MinimumLogFileSize));
}
void TORVEngineManagerSettings::SetLogCategories(int32_t Value) { SetGuarded(FLogCategories, Value); }
void TORVEngineManagerSettings::SetCatalogName(const TORVString& Value) { SetGuardedText(FCatalogName, Value); }
void TORVEngineManagerSettings::SetCatalogExtension(const TORVString& Value) {
  SetGuardedText(FCatalogExtension, Value);
}
void TORVEngineManagerSettings::SetRowExtension(const TORVString& Value) { SetGuardedText(FRowExtension, Value); }
void TORVEngineManagerSettings::SetIndexExtension(const TORVString& Value) {
  SetGuardedText(FIndexExtension, Value);
}
void TORVEngineManagerSettings::SetBlobExtension(const TORVString& Value) { SetGuardedText(FBlobExtension, Value); }
void TORVEngineManagerSettings::SetPublishExtension(const TORVString& Value) {
  SetGuardedText(FPublishExtension, Value);
}
void TORVEngineManagerSettings::SetCopyExtension(const TORVString& Value) { SetGuardedText(FCopyExtension, Value); }
void TORVEngineManagerSettings::SetBackupExtension(const TORVString& Value) {
  SetGuardedText(FBackupExtension, Value);
}
void TORVEngineManagerSettings::SetUpdateExtension(const TORVString& Value) {
  SetGuardedText(FUpdateExtension, Value);
}
void TORVEngineManagerSettings::SetTempTablesPath(const TORVString& Value) {
  SetGuardedText(FTempTablesPath, Value);
}
void TORVEngineManagerSettings::SetShowPasswords(bool Value) { SetGuarded(FShowPasswords, Value); }
void TORVEngineManagerSettings::SetShowCatalogInfo(bool Value) { SetGuarded(FShowCatalogInfo, Value); }
void TORVEngineManagerSettings::SetCacheModuleLibraries(bool Value) { SetGuarded(FCacheModuleLibraries, Value); }

void TORVEngineManagerSettings::SetMinStatementExecutionTime(uint32_t Value) {
  if (Value == 0 || Value == FMinStatementExecutionTime) return;
  FMinStatementExecutionTime = Value;
  if (FEngineManager != nullptr && FEngineManager->GetOpened()) FEngineManager->GetLoggedStatements().Clear(Value);
}

void TORVEngineManagerSettings::SetMaxLoggedStatements(int32_t Value) {
  if (Value <= 0 || Value == FMaxLoggedStatements) return;
  FMaxLoggedStatements = Value;
  if (FEngineManager != nullptr && FEngineManager->GetOpened())
    FEngineManager->GetLoggedStatements().SetMaxCount(Value);
}

void TORVEngineManagerSettings::Assign(const TORVEngineManagerSettings* FromSettings) {
  if (FromSettings == nullptr) return;
  CheckNotOpened(ModifyEngineOperation);
  if (FromSettings == this) return;
  FCharacterSet = FromSettings->FCharacterSet;
  FBufferedFileIO = FromSettings->FBufferedFileIO;
  FBufferedFileIOSettings->Assign(*FromSettings->FBufferedFileIOSettings);
  FBufferedFileIOFlushInterval = FromSettings->FBufferedFileIOFlushInterval;
  FSignature = FromSettings->FSignature;
  FSignatureDigest.Assign(FromSettings->FSignatureDigest);
  FDefaultSignatureDigest.Assign(FromSettings->FDefaultSignatureDigest);
  FEncryptionPassword = FromSettings->FEncryptionPassword;
  FEncryptionPasswordDigest.Assign(FromSettings->FEncryptionPasswordDigest);
  FCommsEncryptionPassword = FromSettings->FCommsEncryptionPassword;
  FCommsEncryptionPasswordDigest.Assign(FromSettings->FCommsEncryptionPasswordDigest);
  FConfigMemory = FromSettings->FConfigMemory;
  FConfigMemorySessionIsolation = FromSettings->FConfigMemorySessionIsolation;
  FConfigPath = FromSettings->FConfigPath;
  FConfigName = FromSettings->FConfigName;
  FConfigExtension = FromSettings->FConfigExtension;
  FLockExtension = FromSettings->FLockExtension;
  FLogExtension = FromSettings->FLogExtension;
  FMaximumLogFileSize = FromSettings->FMaximumLogFileSize;
  FLogCategories = FromSettings->FLogCategories;
  FCatalogName = FromSettings->FCatalogName;
  FCatalogExtension = FromSettings->FCatalogExtension;
  FRowExtension = FromSettings->FRowExtension;
  FIndexExtension = FromSettings->FIndexExtension;
  FBlobExtension = FromSettings->FBlobExtension;
  FPublishExtension = FromSettings->FPublishExtension;
  FCopyExtension = FromSettings->FCopyExtension;
  FBackupExtension = FromSettings->FBackupExtension;
  FUpdateExtension = FromSettings->FUpdateExtension;
  FTempTablesPath = FromSettings->FTempTablesPath;
  FShowPasswords = FromSettings->FShowPasswords;
  FShowCatalogInfo = FromSettings->FShowCatalogInfo;
  FCacheModuleLibraries = FromSettings->FCacheModuleLibraries;
  FStatementLogging = FromSettings->FStatementLogging.load();
  FMinStatementExecutionTime = FromSettings->FMinStatementExecutionTime.load();
  FMaxLoggedStatements = FromSettings->FMaxLoggedStatements.load();
}

}  // namespace orv
