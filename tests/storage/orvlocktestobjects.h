// Lockable objects with the lock-file layout of the configuration and of a
// database, lock managers that keep their session slot, and the container
// subclass the lock, log and container tests share.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/orvlockable.h"
#include "catalog/orvlog.h"
#include "core/orvdigest.h"
#include "core/orvstream.h"
#include "storage/orvlockmgr.h"
#include "storage/orvobjmgr.h"

namespace orv::test {

// A lockable object of one kind of the lock-space layout, with the lock
// slot Slot for the kinds that have slots.
class TLockObject : public TORVLockableConfigObject {
 public:
  TLockObject(const TORVString& TypeName, const TORVString& Name, TORVLockSpaceKind Kind, int32_t Slot = 0,
              int32_t CharacterSet = 1)
      : FTypeName(TypeName), FKind(Kind), FSlot(Slot), FCharacterSet(CharacterSet) {
    SetName(Name);
  }

  TORVLockSpaceKind GetLockSpaceKind() const override { return FKind; }
  int32_t GetLockSlot() const override { return FSlot; }
  TORVString GetTypeName() const override { return FTypeName; }
  TORVString GetParentTypeName() const override { return ParentTypeName; }
  TORVString GetParentName() const override { return ParentName; }
  int32_t GetConfigCharacterSet() override { return FCharacterSet; }
  // Each stands for a root (configuration or catalog): it keeps the flag
  // that the objects below it mark.
  bool GetModified() const override { return FModified; }
  void SetModified(bool Value) override { FModified = Value; }

  // The object's own data, so that a reload can be seen.
  void SetValue(const TORVString& Value) {
    FValue = Value;
    SetModified(true);
  }
  const TORVString& GetValue() const { return FValue; }
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override {
    TORVLockableConfigObject::Save(Stream, CRCOnly);
    Stream.WriteString(FValue);
  }
  void Load(TORVMemoryStream& Stream) override {
    TORVLockableConfigObject::Load(Stream);
    FValue.clear();
    Stream.ReadString(FValue);
    ++FLoads;
  }
  int32_t GetLoads() const { return FLoads; }

  TORVString ParentTypeName;
  TORVString ParentName;

 private:
  TORVString FTypeName;
  TORVLockSpaceKind FKind;
  int32_t FSlot;
  int32_t FCharacterSet;
  TORVString FValue;
  int32_t FLoads = 0;
  bool FModified = false;
};

// The configuration root and the event log of a configuration lock file.
inline TLockObject* NewConfiguration(const TORVString& Name = u"ORVConfig", int32_t CharacterSet = 1) {
  return new TLockObject(u"configuration", Name, lkConfiguration, 0, CharacterSet);
}

inline TORVLog* NewLog() {
  auto* Log = new TORVLog();
  Log->SetName(u"Events");
  return Log;
}

// A database and its table with lock slot Slot, in a database lock file.
inline TLockObject* NewDatabase(const TORVString& Name = u"Sales") {
  return new TLockObject(u"database", Name, lkDatabase);
}

inline TLockObject* NewTable(int32_t Slot, const TORVString& Name = u"Orders") {
  return new TLockObject(u"table", Name, lkTable, Slot);
}

class TTestLockManager : public TORVLockManager {
 public:
  TTestLockManager(TORVLockableConfigObject* Object, TORVFileManager* FileManager, const TORVString& FileName,
                   int32_t TotalLockIndexes = 16387)
      : TORVLockManager(Object, FileManager), FTotalLockIndexes(TotalLockIndexes) {
    SetFileName(FileName);
  }

  int32_t GetSessionLockSlot() override { return FSessionLockSlot; }
  void SetSessionLockSlot(int32_t Value) override { FSessionLockSlot = Value; }
  int32_t GetTotalLockIndexes() override { return FTotalLockIndexes; }

 private:
  int32_t FSessionLockSlot = 0;
  int32_t FTotalLockIndexes;
};

// A container whose engine signature, password and encryption the test
// sets; the signature check accepts the default or the current signature.
class TTestContainer : public TORVConfigObjectManager {
 public:
  TTestContainer(TORVLockableConfigObject* Object, TORVLockManager* LockManager, TORVFileManager* FileManager,
                 const TORVString& FileName, bool Encrypted = true, const TORVString& Password = u"secret",
                 const TORVString& Signature = u"current")
      : TORVConfigObjectManager(Object, LockManager, FileManager), FEncrypted(Encrypted) {
    SetFileName(FileName);
    SetBackupCopyFileName(FileName + u".Old");
    FPassword.SetAsString(Password);
    FSignature.SetAsString(Signature);
    FDefaultSignature.SetAsString(u"default");
    Initialize();
  }

  const TORVDigest& GetMasterSignatureDigest() override { return FSignature; }
  bool ValidateMasterSignatureDigest(const TORVDigest& Digest) override {
    return Digest.Compare(FSignature) || Digest.Compare(FDefaultSignature);
  }
  bool GetMasterEncrypted() override { return FEncrypted; }
  const TORVDigest& GetMasterPasswordDigest() override { return FPassword; }

 private:
  bool FEncrypted;
  TORVDigest FPassword;
  TORVDigest FSignature;
  TORVDigest FDefaultSignature;
};

}  // namespace orv::test
