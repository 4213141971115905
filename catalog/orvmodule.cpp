#include "catalog/orvmodule.h"

#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

TORVString TORVModule::GetTypeName() const { return u"module"; }

void TORVModule::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVLockableConfigObject::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVModule*>(FromObject)) FPath = From->FPath;
}

void TORVModule::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVLockableConfigObject::Save(Stream, CRCOnly);
  Stream.WriteString(FPath);
  Stream.WriteInteger(FLockSlot);
}

void TORVModule::Load(TORVMemoryStream& Stream) {
  TORVLockableConfigObject::Load(Stream);
  FPath.clear();
  Stream.ReadString(FPath);
  FLockSlot = GetConfigVersion() >= ModulesVersion ? Stream.ReadInteger() : 0;
}

int32_t TORVModule::GetMemorySize() { return TORVLockableConfigObject::GetMemorySize() + StringSize(FPath); }

void TORVModule::SetPath(const TORVString& Value) {
  if (Value == FPath) return;
  FPath = Value;
  SetModified(true);
}

void TORVModule::SetLockSlot(int32_t Value) {
  if (Value == FLockSlot) return;
  FLockSlot = Value;
  SetModified(true);
}

TORVString TORVModules::GetTypeName() const { return u"module"; }

void TORVModuleObject::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVConfigObject::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVModuleObject*>(FromObject)) FModuleName = From->FModuleName;
}

void TORVModuleObject::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVConfigObject::Save(Stream, CRCOnly);
  Stream.WriteString(FModuleName);
}

void TORVModuleObject::Load(TORVMemoryStream& Stream) {
  TORVConfigObject::Load(Stream);
  FModuleName.clear();
  Stream.ReadString(FModuleName);
}

void TORVModuleObject::SetModuleName(const TORVString& Value) {
  if (SameString(Value, FModuleName)) return;
  FModuleName = Value;
  SetModified(true);
}

}  // namespace orv
