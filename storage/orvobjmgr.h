// The configuration and catalog file: a fixed header and one serialised
// object tree, shared by the sessions of many processes through the
// object's locks, re-read when another session changed it, and rewritten
// whole by every update.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvlockable.h"
#include "core/orvcommon.h"
#include "core/orvdigest.h"
#include "core/orvstream.h"
#include "storage/orvfilemgr.h"
#include "storage/orvlockmgr.h"

namespace orv {

using TORVConfigObjectNotifyEvent = std::function<void(TORVConfigObject* ConfigObject)>;

// File layout: a 56-byte header (signature digest, character set,
// encrypted flag, password digest, update counter, compression level,
// object size, padding), then the object stream padded to a multiple of 8.
// When encrypted, the header and the object stream are each one cipher run.
//
// A rewrite never touches the file in place: the new image goes to a
// scratch file beside it (the name plus ".New"), is flushed, and then takes
// the file's name in one step, so that a crash leaves the old or the new
// file whole. Sessions of other processes notice the new file when they
// next check for changes. Before a rewrite the whole old file is copied to
// the backup copy, which stays after a successful update.
//
// One manager belongs to one session; sessions share the file through the
// object's transaction, read and write locks.
class TORVConfigObjectManager : public TORVBaseObject {
 public:
  static constexpr int32_t HeaderSize = 56;

  TORVConfigObjectManager(TORVLockableConfigObject* ConfigObjectToManage, TORVLockManager* LockManagerToUse,
                          TORVFileManager* FileManagerToUse);
  // Closes the file; a failure there is not reported.
  ~TORVConfigObjectManager() override;

  // Re-reads the header and, when another session changed the file since,
  // the object. True when it reloaded.
  virtual bool CheckForChanges();
  virtual TORVString GetFullFileName();
  virtual TORVString GetFullBackupCopyFileName();
  // Raise ORV_METADATA_ERROR and ORV_UPDATE_ERROR for the object.
  virtual void ValidateError(const TORVString& Msg);
  virtual void UpdateError();
  virtual void ConfigObjectCreated();
  virtual void ConfigObjectUpdating();
  virtual void InternalOpen();
  virtual void InternalClose();
  virtual const TORVDigest& GetMasterSignatureDigest() = 0;
  virtual bool ValidateMasterSignatureDigest(const TORVDigest& Digest) = 0;
  virtual bool GetMasterEncrypted() = 0;
  virtual const TORVDigest& GetMasterPasswordDigest() = 0;

  // Takes the digests, character set and encryption from the owner.
  void Initialize();
  // The first call opens (or creates) the file and loads the object; later
  // calls reload it when it changed.
  void Open();
  void Close();

  // An update holds the object's transaction lock from BeginUpdate to
  // EndUpdate or CancelUpdate, and its write lock while writing. Calls
  // nest without counting.
  void BeginUpdate();
  void EndUpdate();
  void CancelUpdate();
  // Reads hold the object's read lock; they nest with a counter.
  void BeginRead();
  void EndRead();

  void CreateBackupCopy();
  void RestoreBackupCopy();
  void DropBackupCopy();
  // Keeps a backup copy, closes and deletes the file; failures are ignored.
  void Drop();

  const TORVString& GetFileName() const { return FFileName; }
  void SetFileName(const TORVString& Value) { FFileName = Value; }
  const TORVString& GetBackupCopyFileName() const { return FBackupCopyFileName; }
  void SetBackupCopyFileName(const TORVString& Value) { FBackupCopyFileName = Value; }
  int32_t GetHeaderSize() const { return HeaderSize; }
  int32_t GetUpdateCounter() const { return FUpdateCounter; }
  int32_t GetCompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(int32_t Value) { FCompressionLevel = Value; }
  bool GetEncrypted() const { return FEncrypted; }
  const TORVDigest& GetSignatureDigest() const { return FSignatureDigest; }
  const TORVDigest& GetPasswordDigest() const { return FPasswordDigest; }
  int32_t GetCharacterSet() const { return FCharacterSet; }
  bool GetOpened() const { return FOpened; }
  bool GetUpdating() const { return FUpdating; }
  void SetConfigObjectChanged(TORVConfigObjectNotifyEvent Value) { FConfigObjectChanged = std::move(Value); }
  void SetOnLoadConfigObject(TORVConfigObjectNotifyEvent Value) { FOnLoadConfigObject = std::move(Value); }
  void SetOnSaveConfigObject(TORVConfigObjectNotifyEvent Value) { FOnSaveConfigObject = std::move(Value); }

 protected:
  void ReadHeader();
  void ReadConfigObject();
  // Writes header and object to the scratch file and puts it in place.
  void WriteFile();

  TORVLockableConfigObject* FConfigObject;
  TORVLockManager* FLockManager;
  TORVFileManager* FFileManager;
  TORVString FFileName;
  TORVString FBackupCopyFileName;
  std::unique_ptr<TORVFileStream> FFileStream;
  std::unique_ptr<TORVMemoryStream> FHeaderStream;
  std::unique_ptr<TORVMemoryStream> FConfigObjectStream;
  TORVDigest FSignatureDigest;
  TORVDigest FPasswordDigest;
  int32_t FCharacterSet = 0;
  int32_t FUpdateCounter = 0;
  int32_t FCompressionLevel = 0;
  int32_t FConfigObjectSize = 0;
  bool FEncrypted = false;
  // The file could only be opened for reading.
  bool FFileReadOnly = false;
  bool FOpened = false;
  bool FUpdating = false;
  int32_t FReadLockCounter = 0;
  TORVConfigObjectNotifyEvent FConfigObjectChanged;
  TORVConfigObjectNotifyEvent FOnLoadConfigObject;
  TORVConfigObjectNotifyEvent FOnSaveConfigObject;

 private:
  void LoadHeader();
  // StoredPlain: the header as stored reads as a plain one.
  void ValidateHeader(bool StoredPlain);
  void SaveHeader();
  void OpenExisting();
  void CloseStream();
  TORVString ScratchFileName();
  // Copies the whole of Source into a new file Target, flushed.
  void CopyFile(const TORVString& Source, const TORVString& Target);
};

}  // namespace orv
