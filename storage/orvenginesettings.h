// The settings of one engine, the per-file buffered I/O overrides and the
// list of the slowest statements.
//
// They sit beside the engine manager, in storage, because the open guard of
// the settings asks the engine manager, which composes the storage file
// managers; nothing in core needs them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvdigest.h"
#include "core/orvsync.h"

namespace orv {

class TORVEngineManager;

// Log categories: bit n of a category set stands for category n.
inline constexpr int32_t LogCategoryInformation = 0;
inline constexpr int32_t LogCategoryWarning = 1;
inline constexpr int32_t LogCategoryError = 2;

void SetCategory(int32_t& Categories, int32_t Category);
bool CategorySet(int32_t Categories, int32_t Category);

// One buffered-I/O override: a file-name pattern ("*" matches any run of
// characters) with cache settings in kilobytes, megabytes and seconds.
class TORVBufferedFileIOSetting : public TORVBaseObject {
 public:
  TORVBufferedFileIOSetting() = default;
  TORVBufferedFileIOSetting(const TORVString& AFileName, int32_t AFileBufferBlockSize,
                            int32_t AMaximumFileBufferSize, int32_t AFileBufferFlushAge, bool AFileBufferFlushDisk);

  void Update(const TORVString& AFileName, int32_t AFileBufferBlockSize, int32_t AMaximumFileBufferSize,
              int32_t AFileBufferFlushAge, bool AFileBufferFlushDisk);
  void Assign(const TORVBufferedFileIOSetting& FromSetting);

  const TORVString& GetFileName() const { return FFileName; }
  int32_t GetFileBufferBlockSize() const { return FFileBufferBlockSize; }
  int32_t GetMaximumFileBufferSize() const { return FMaximumFileBufferSize; }
  int32_t GetFileBufferFlushAge() const { return FFileBufferFlushAge; }
  bool GetFileBufferFlushDisk() const { return FFileBufferFlushDisk; }

 private:
  TORVString FFileName;
  int32_t FFileBufferBlockSize = 0;
  int32_t FMaximumFileBufferSize = 0;
  int32_t FFileBufferFlushAge = 0;
  bool FFileBufferFlushDisk = false;
};

class TORVEngineManagerSettings;

// The overrides in the order added. Every change goes through the owning
// settings' open guard.
class TORVBufferedFileIOSettings : public TORVBaseObject {
 public:
  static constexpr int32_t ExpandCount = 64;

  explicit TORVBufferedFileIOSettings(TORVEngineManagerSettings* Settings) : FSettings(Settings) {}

  // Updates the setting with the same pattern (ignoring case) in place, or
  // appends a new one.
  void Add(const TORVString& AFileName, int32_t AFileBufferBlockSize, int32_t AMaximumFileBufferSize,
           int32_t AFileBufferFlushAge, bool AFileBufferFlushDisk);
  bool Remove(const TORVString& AFileName);
  void Clear();
  void Assign(const TORVBufferedFileIOSettings& FromSettings);
  // The most recently added setting whose pattern matches FileName (ignoring
  // case); nil when none does.
  const TORVBufferedFileIOSetting* Find(const TORVString& AFileName) const;

  int32_t GetCount() const { return static_cast<int32_t>(FFileSettings.size()); }
  int32_t GetCapacity() const { return FCapacity; }
  // Index must lie in 0 .. Count - 1 (std::out_of_range otherwise).
  const TORVBufferedFileIOSetting& GetFileSettings(int32_t Index) const;

 private:
  int32_t IndexOf(const TORVString& AFileName) const;
  void Append(std::unique_ptr<TORVBufferedFileIOSetting> Setting);

  TORVEngineManagerSettings* FSettings;
  int32_t FCapacity = 0;
  std::vector<std::unique_ptr<TORVBufferedFileIOSetting>> FFileSettings;
};

// One recorded statement.
class TORVLoggedStatement : public TORVBaseObject {
 public:
  // Stamps DateTime with the current local time.
  void Update(const TORVString& AUserName, const TORVString& AProcessName, int32_t ASessionID,
              const TORVString& ASessionName, const TORVString& ASessionDescription, const TORVString& ADatabaseName,
              const TORVString& ASQL, uint32_t AExecutionTime, int32_t ARowsAffected);

  int64_t GetDateTime() const { return FDateTime; }
  const TORVString& GetUserName() const { return FUserName; }
  const TORVString& GetProcessName() const { return FProcessName; }
  int32_t GetSessionID() const { return FSessionID; }
  const TORVString& GetSessionName() const { return FSessionName; }
  const TORVString& GetSessionDescription() const { return FSessionDescription; }
  const TORVString& GetDatabaseName() const { return FDatabaseName; }
  const TORVString& GetSQL() const { return FSQL; }
  uint32_t GetExecutionTime() const { return FExecutionTime; }
  int32_t GetRowsAffected() const { return FRowsAffected; }

 private:
  int64_t FDateTime = 0;
  TORVString FUserName;
  TORVString FProcessName;
  int32_t FSessionID = 0;
  TORVString FSessionName;
  TORVString FSessionDescription;
  TORVString FDatabaseName;
  TORVString FSQL;
  uint32_t FExecutionTime = 0;
  int32_t FRowsAffected = 0;
};

// The slowest statements of the engine, slowest first, at most MaxCount of
// them. Shared by every session: FLock (waiting without limit) guards the
// entries, their count and MaxCount; writers are Add, Clear and
// SetMaxCount, readers walk the list between BeginRead and EndRead.
// Invariant: Count <= MaxCount and the entries are ordered by execution
// time, non-increasing.
class TORVLoggedStatements : public TORVBaseObject {
 public:
  static constexpr int32_t ExpandCount = 128;

  TORVLoggedStatements() = default;

  // A statement enters when the list has room or when it is slower than
  // the fastest one held, which it then displaces; the list keeps the
  // slowest statements seen.
  void Add(const TORVString& AUserName, const TORVString& AProcessName, int32_t ASessionID,
           const TORVString& ASessionName, const TORVString& ASessionDescription, const TORVString& ADatabaseName,
           const TORVString& ASQL, uint32_t AExecutionTime, int32_t ARowsAffected);
  // 0 frees every entry; otherwise frees the entries faster than
  // MinExecutionTime and keeps the others.
  void Clear(uint32_t MinExecutionTime);
  void BeginRead() { FLock.EnterRead(ORVInfiniteWait); }
  void EndRead() { FLock.LeaveRead(); }

  // Read these between BeginRead and EndRead.
  int32_t GetCount() const { return static_cast<int32_t>(FStatements.size()); }
  // Index must lie in 0 .. Count - 1 (std::out_of_range otherwise).
  const TORVLoggedStatement& GetStatements(int32_t Index) const;
  int32_t GetMaxCount() const { return FMaxCount; }
  // Frees the entries beyond the new maximum; never adds any.
  void SetMaxCount(int32_t Value);

  // Whether the ordering and size invariants hold; for tests.
  bool CheckInvariants();

 private:
  // The position after the last entry at least as slow as Time.
  int32_t Find(uint32_t Time) const;

  int32_t FMaxCount = 128;
  int32_t FCapacity = 0;
  std::vector<std::unique_ptr<TORVLoggedStatement>> FStatements;
  TORVReadWriteLock FLock;
};

// The settings of one engine. Every setter stores a value only when it
// differs from the current one, and then first runs the open guard
// (CheckNotOpened with "MODIFY ENGINE"), except StatementLogging,
// MinStatementExecutionTime and MaxLoggedStatements, which may change at
// any time. Sessions read the settings without a lock; changes happen
// while the owner is closed.
//
// Digests are MD5 of the text as UTF-16LE under character set 1 and of its
// ANSI bytes (the engine's code page) under 0.
class TORVEngineManagerSettings : public TORVBaseObject {
 public:
  static constexpr int32_t MinimumLogFileSize = 262144;

  explicit TORVEngineManagerSettings(TORVEngineManager* EngineManager);
  ~TORVEngineManagerSettings() override;

  // Raises ORV_OPEN_ERROR naming the operation.
  virtual void OpenError(const TORVString& Operation);
  // Calls OpenError while the owner is open: here the engine; per-session
  // copies override it to ask their session.
  virtual void CheckNotOpened(const TORVString& Operation);

  // True for the digest of the current or of the default signature.
  bool ValidateSignature(const TORVDigest& DigestToValidate) const;
  // Copies every setting (digests as bytes, overrides deeply); nothing for
  // nil.
  void Assign(const TORVEngineManagerSettings* FromSettings);

  TORVEngineManager* GetEngineManager() const { return FEngineManager; }

  int32_t GetCharacterSet() const { return FCharacterSet; }
  void SetCharacterSet(int32_t Value);
  bool GetBufferedFileIO() const { return FBufferedFileIO; }
  void SetBufferedFileIO(bool Value);
  TORVBufferedFileIOSettings& GetBufferedFileIOSettings() { return *FBufferedFileIOSettings; }
  const TORVBufferedFileIOSettings& GetBufferedFileIOSettings() const { return *FBufferedFileIOSettings; }
  int32_t GetBufferedFileIOFlushInterval() const { return FBufferedFileIOFlushInterval; }
  void SetBufferedFileIOFlushInterval(int32_t Value);
  const TORVString& GetSignature() const { return FSignature; }
  void SetSignature(const TORVString& Value);
  const TORVDigest& GetSignatureDigest() const { return FSignatureDigest; }
  const TORVDigest& GetDefaultSignatureDigest() const { return FDefaultSignatureDigest; }
  const TORVString& GetEncryptionPassword() const { return FEncryptionPassword; }
  void SetEncryptionPassword(const TORVString& Value);
  const TORVDigest& GetEncryptionPasswordDigest() const { return FEncryptionPasswordDigest; }
  const TORVString& GetCommsEncryptionPassword() const { return FCommsEncryptionPassword; }
  void SetCommsEncryptionPassword(const TORVString& Value);
  const TORVDigest& GetCommsEncryptionPasswordDigest() const { return FCommsEncryptionPasswordDigest; }
  bool GetConfigMemory() const { return FConfigMemory; }
  void SetConfigMemory(bool Value);
  bool GetConfigMemorySessionIsolation() const { return FConfigMemorySessionIsolation; }
  void SetConfigMemorySessionIsolation(bool Value);
  const TORVString& GetConfigPath() const { return FConfigPath; }
  void SetConfigPath(const TORVString& Value);
  const TORVString& GetConfigName() const { return FConfigName; }
  void SetConfigName(const TORVString& Value);
  const TORVString& GetConfigExtension() const { return FConfigExtension; }
  void SetConfigExtension(const TORVString& Value);
  const TORVString& GetLockExtension() const { return FLockExtension; }
  void SetLockExtension(const TORVString& Value);
  const TORVString& GetLogExtension() const { return FLogExtension; }
  void SetLogExtension(const TORVString& Value);
  int32_t GetMaximumLogFileSize() const { return FMaximumLogFileSize; }
  // A size below 262,144 is stored as 262,144.
  void SetMaximumLogFileSize(int32_t Value);
  int32_t GetLogCategories() const { return FLogCategories; }
  void SetLogCategories(int32_t Value);
  const TORVString& GetCatalogName() const { return FCatalogName; }
  void SetCatalogName(const TORVString& Value);
  const TORVString& GetCatalogExtension() const { return FCatalogExtension; }
  void SetCatalogExtension(const TORVString& Value);
  const TORVString& GetRowExtension() const { return FRowExtension; }
  void SetRowExtension(const TORVString& Value);
  const TORVString& GetIndexExtension() const { return FIndexExtension; }
  void SetIndexExtension(const TORVString& Value);
  const TORVString& GetBlobExtension() const { return FBlobExtension; }
  void SetBlobExtension(const TORVString& Value);
  const TORVString& GetPublishExtension() const { return FPublishExtension; }
  void SetPublishExtension(const TORVString& Value);
  const TORVString& GetCopyExtension() const { return FCopyExtension; }
  void SetCopyExtension(const TORVString& Value);
  const TORVString& GetBackupExtension() const { return FBackupExtension; }
  void SetBackupExtension(const TORVString& Value);
  const TORVString& GetUpdateExtension() const { return FUpdateExtension; }
  void SetUpdateExtension(const TORVString& Value);
  const TORVString& GetTempTablesPath() const { return FTempTablesPath; }
  void SetTempTablesPath(const TORVString& Value);
  bool GetShowPasswords() const { return FShowPasswords; }
  void SetShowPasswords(bool Value);
  bool GetShowCatalogInfo() const { return FShowCatalogInfo; }
  void SetShowCatalogInfo(bool Value);
  bool GetCacheModuleLibraries() const { return FCacheModuleLibraries; }
  void SetCacheModuleLibraries(bool Value);
  bool GetStatementLogging() const { return FStatementLogging; }
  void SetStatementLogging(bool Value) { FStatementLogging = Value; }
  uint32_t GetMinStatementExecutionTime() const { return FMinStatementExecutionTime; }
  // 0 is ignored; while the engine is open the recorded statements faster
  // than the new minimum are dropped.
  void SetMinStatementExecutionTime(uint32_t Value);
  int32_t GetMaxLoggedStatements() const { return FMaxLoggedStatements; }
  // Values <= 0 are ignored; while the engine is open the list is cut.
  void SetMaxLoggedStatements(int32_t Value);

 private:
  // Stores Value in Field through the guard when it differs; texts compare
  // as SameString (letter case ignored).
  void SetGuardedText(TORVString& Field, const TORVString& Value);
  template <typename T>
  void SetGuarded(T& Field, T Value);
  // Stores a secret and its digest when it differs (case-sensitive).
  void SetSecret(TORVString& Field, TORVDigest& Digest, const TORVString& Value);
  void ComputeDigest(const TORVString& Text, TORVDigest& Digest) const;

  TORVEngineManager* FEngineManager;
  int32_t FCharacterSet = CharacterSetUnicode;
  bool FBufferedFileIO = false;
  std::unique_ptr<TORVBufferedFileIOSettings> FBufferedFileIOSettings;
  int32_t FBufferedFileIOFlushInterval = 60;
  TORVString FSignature;
  TORVDigest FSignatureDigest;
  TORVDigest FDefaultSignatureDigest;
  TORVString FEncryptionPassword;
  TORVDigest FEncryptionPasswordDigest;
  TORVString FCommsEncryptionPassword;
  TORVDigest FCommsEncryptionPasswordDigest;
  bool FConfigMemory = false;
  bool FConfigMemorySessionIsolation = false;
  TORVString FConfigPath;
  TORVString FConfigName;
  TORVString FConfigExtension;
  TORVString FLockExtension;
  TORVString FLogExtension;
  int32_t FMaximumLogFileSize = 16777216;
  int32_t FLogCategories = 7;
  TORVString FCatalogName;
  TORVString FCatalogExtension;
  TORVString FRowExtension;
  TORVString FIndexExtension;
  TORVString FBlobExtension;
  TORVString FPublishExtension;
  TORVString FCopyExtension;
  TORVString FBackupExtension;
  TORVString FUpdateExtension;
  TORVString FTempTablesPath;
  bool FShowPasswords = true;
  bool FShowCatalogInfo = true;
  bool FCacheModuleLibraries = false;
  // These three may change while sessions read them.
  std::atomic<bool> FStatementLogging{false};
  std::atomic<uint32_t> FMinStatementExecutionTime{30000};
  std::atomic<int32_t> FMaxLoggedStatements{128};
};

}  // namespace orv
