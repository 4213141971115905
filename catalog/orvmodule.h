// External modules: libraries registered in the configuration under a
// name, which routines, text filters, word generators and migrators call.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvlockable.h"

namespace orv {

// Configuration streams carry modules from this version on.
inline constexpr TORVCurrency ModulesVersion = TORVCurrency::FromScaled(20400);

class TORVModule : public TORVLockableConfigObject {
 public:
  using TORVLockableConfigObject::TORVLockableConfigObject;

  TORVString GetTypeName() const override;
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkModule; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  // A module takes no ID from the configuration's counter.
  void AssignID() override {}
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Path, then LockSlot (read from 2.04, which every stream holding modules
  // is).
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;

  const TORVString& GetPath() const { return FPath; }
  void SetPath(const TORVString& Value);
  void SetLockSlot(int32_t Value);

 private:
  int32_t FLockSlot = 0;
  TORVString FPath;
};

class TORVModules : public TORVConfigObjects {
 public:
  explicit TORVModules(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVModule(FConfig); }
  int32_t MaximumObjectsAllowed() const override { return 1024; }

  TORVModule* GetModule(int32_t Index) const { return static_cast<TORVModule*>(GetObjects(Index)); }
};

// A configuration object that calls the module it names (word generators,
// migrators): the module's name follows the base record.
class TORVModuleObject : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  const TORVString& GetModuleName() const { return FModuleName; }
  // A change of letter case alone is not stored.
  void SetModuleName(const TORVString& Value);

 protected:
  TORVString FModuleName;
};

}  // namespace orv
