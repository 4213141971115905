// The event log: one circular file of fixed-size records per configuration,
// written by every session of every process and read back oldest first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvlockable.h"
#include "core/orvcommon.h"
#include "core/orvstream.h"
#include "storage/orvfilemgr.h"
#include "storage/orvlockmgr.h"

namespace orv {

class TORVLogManager;

using TORVLogNotifyEvent = std::function<void(TORVLockableConfigObject* Log)>;

// One event and its record. A record takes exactly the manager's record
// size whatever its texts; texts longer than their field's limit are cut.
class TORVLogEvent : public TORVBaseObject {
 public:
  static constexpr int32_t MaxDescriptionLength = 300;
  static constexpr int32_t MaxProductTypeLength = 10;
  static constexpr int32_t MaxUserNameLength = 30;
  static constexpr int32_t MaxProcessNameLength = 30;
  static constexpr int32_t MaxSessionNameLength = 30;
  static constexpr int32_t MaxSessionDescriptionLength = 60;
  static constexpr int32_t MaxAddressLength = 16;

  explicit TORVLogEvent(TORVLogManager* LogManagerToUse);

  void Assign(const TORVLogEvent& FromEvent);
  bool Compare(const TORVLogEvent& EventToCompare) const;
  // One record at the stream's position; the position ends at the start of
  // the next record. Load raises when a text's length cannot be right.
  void Save(TORVMemoryStream& Stream) const;
  void Load(TORVMemoryStream& Stream);

  // "Information", "Warning", "Error", or empty for another category.
  TORVString GetCategoryName() const;
  TORVString GetFunctionName() const;

  int32_t GetCategory() const { return FCategory; }
  void SetCategory(int32_t Value) { FCategory = Value; }
  int32_t GetFunctionCode() const { return FFunctionCode; }
  void SetFunctionCode(int32_t Value) { FFunctionCode = Value; }
  int32_t GetErrorCode() const { return FErrorCode; }
  void SetErrorCode(int32_t Value) { FErrorCode = Value; }
  const TORVString& GetDescription() const { return FDescription; }
  void SetDescription(const TORVString& Value) { FDescription = Value; }
  int64_t GetDateTime() const { return FDateTime; }
  void SetDateTime(int64_t Value) { FDateTime = Value; }
  TORVCurrency GetVersion() const { return FVersion; }
  void SetVersion(TORVCurrency Value) { FVersion = Value; }
  int32_t GetBuild() const { return FBuild; }
  void SetBuild(int32_t Value) { FBuild = Value; }
  const TORVString& GetProductType() const { return FProductType; }
  void SetProductType(const TORVString& Value) { FProductType = Value; }
  const TORVString& GetUserName() const { return FUserName; }
  void SetUserName(const TORVString& Value) { FUserName = Value; }
  const TORVString& GetProcessName() const { return FProcessName; }
  void SetProcessName(const TORVString& Value) { FProcessName = Value; }
  int32_t GetThreadID() const { return FThreadID; }
  void SetThreadID(int32_t Value) { FThreadID = Value; }
  int32_t GetSessionID() const { return FSessionID; }
  void SetSessionID(int32_t Value) { FSessionID = Value; }
  const TORVString& GetSessionName() const { return FSessionName; }
  void SetSessionName(const TORVString& Value) { FSessionName = Value; }
  const TORVString& GetSessionDescription() const { return FSessionDescription; }
  void SetSessionDescription(const TORVString& Value) { FSessionDescription = Value; }
  const TORVString& GetAddress() const { return FAddress; }
  void SetAddress(const TORVString& Value) { FAddress = Value; }
  bool GetEncrypted() const { return FEncrypted; }
  void SetEncrypted(bool Value) { FEncrypted = Value; }

 private:
  TORVLogManager* FLogManager;
  int32_t FCategory = 0;
  int32_t FFunctionCode = 0;
  int32_t FErrorCode = 0;
  TORVString FDescription;
  int64_t FDateTime = 0;
  TORVCurrency FVersion;
  int32_t FBuild = 0;
  TORVString FProductType;
  TORVString FUserName;
  TORVString FProcessName;
  int32_t FThreadID = 0;
  int32_t FSessionID = 0;
  TORVString FSessionName;
  TORVString FSessionDescription;
  TORVString FAddress;
  bool FEncrypted = false;
};

// File layout: 4 bytes with the number of the next record to write (from
// 1), then the records. Once the next record would pass the maximum size
// the file is cut after the newest record and writing starts again at
// record 1, so the header also tells readers where the oldest record is.
//
// One manager belongs to one session. Writers are serialised by the log
// object's transaction lock and hold its write lock while writing; readers
// hold its read lock from BeginRead to EndRead.
class TORVLogManager : public TORVBaseObject {
 public:
  static constexpr int32_t HeaderSize = 4;
  static constexpr int32_t ReadBlockSize = 32768;

  TORVLogManager(TORVLockableConfigObject* LogToManage, TORVLockManager* LockManagerToUse,
                 TORVFileManager* FileManagerToUse);
  // Closes the file; a failure there is not reported.
  ~TORVLogManager() override;

  virtual TORVString GetFullFileName();
  virtual void UpdateError();
  virtual void InternalOpen();
  virtual void InternalClose();

  void Open();
  void Close();
  void Drop();

  void LogEvent(const TORVLogEvent& Event);
  void BeginRead();
  void EndRead();
  // Walk the stored events oldest first; False when there are no more.
  bool First(TORVLogEvent& Event);
  bool Next(TORVLogEvent& Event);
  bool CheckForChanges();

  int32_t GetRecordSize() const { return FRecordSize; }
  int32_t GetCharacterSet() const { return FCharacterSet; }
  TORVLockableConfigObject* GetLog() const { return FLog; }
  const TORVString& GetFileName() const { return FFileName; }
  void SetFileName(const TORVString& Value) { FFileName = Value; }
  int64_t GetMaximumFileSize() const { return FMaximumFileSize; }
  void SetMaximumFileSize(int64_t Value) { FMaximumFileSize = Value; }
  int32_t GetNextEventNumber() const { return FNextEventNumber; }
  bool GetOpened() const { return FOpened; }
  void SetLogEventsChanged(TORVLogNotifyEvent Value) { FLogEventsChanged = std::move(Value); }

 protected:
  void ReadHeader();
  void WriteHeader();
  void WriteEvent();
  bool ReadEvents();

  int32_t FCharacterSet;
  int32_t FRecordSize;
  TORVLockableConfigObject* FLog;
  TORVLockManager* FLockManager;
  TORVFileManager* FFileManager;
  TORVString FFileName;
  std::unique_ptr<TORVFileStream> FFileStream;
  int64_t FMaximumFileSize = 16777216;
  int32_t FNextEventNumber = 1;
  int32_t FNextEventReadNumber = 1;
  bool FLoopedOnce = false;
  std::unique_ptr<TORVMemoryStream> FHeaderStream;
  std::unique_ptr<TORVMemoryStream> FReadStream;
  std::unique_ptr<TORVMemoryStream> FWriteStream;
  bool FOpened = false;
  bool FUpdating = false;
  int32_t FReadLockCounter = 0;
  TORVLogNotifyEvent FLogEventsChanged;

 private:
  void BeginUpdate();
  void EndUpdate();
  void CancelUpdate();
  void CorruptError(const TORVString& Msg);
  int32_t RecordsInFile();
};

}  // namespace orv
