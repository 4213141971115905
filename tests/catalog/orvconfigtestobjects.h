// Small families of configuration objects for the tests of the object and
// collection base: users (security identifiers, at most 4096) held by a
// configuration root, and objects whose dependents the test sets.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "catalog/orvconfig.h"
#include "catalog/orvconfigobject.h"
#include "core/orvstream.h"
#include "core/orvwords.h"

namespace orv::test {

class TUser : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  TORVString GetTypeName() const override { return u"user"; }
  bool IsValidIdentifier(const TORVString& Name) override { return ValidSecurityIdentifier(Name); }
  TORVString GetCreateSQL(bool, bool, bool) override { return u"CREATE USER \"" + FName + u"\""; }
  TORVString GetDropSQL(bool, bool) override { return u"DROP USER \"" + FName + u"\""; }
};

class TUsers : public TORVConfigObjects {
 public:
  // Held by the configuration unless Parented is false.
  explicit TUsers(TORVConfig* OwnerConfig, bool Parented = true) : TORVConfigObjects(true, OwnerConfig) {
    if (Parented) SetParent(OwnerConfig);
  }

  TORVString GetTypeName() const override { return u"user"; }
  TORVConfigObject* CreateObject() override { return new TUser(FConfig); }
  int32_t MaximumObjectsAllowed() const override { return 4096; }

  TUser* GetUser(int32_t Index) const { return static_cast<TUser*>(GetObjects(Index)); }
};

// A configuration named Main in the Unicode character set.
inline void SetUpConfig(TORVConfig& Config) {
  Config.SetName(u"Main");
  Config.SetCharacterSet(CharacterSetUnicode);
}

// A user made by Users, named and added; the list owns it.
inline TUser* AddUser(TUsers& Users, const TORVString& Name) {
  auto* User = static_cast<TUser*>(Users.GetNewObject());
  User->SetName(Name);
  try {
    Users.Add(User);
  } catch (...) {
    delete User;
    throw;
  }
  return User;
}

// An object whose dependents are the objects of FReferrers: each adds itself
// when asked, as referrers do.
class TReferenced : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  TORVString GetTypeName() const override { return u"module"; }
  void SetDependencies() override {
    ++FBuilds;
    for (TORVConfigObject* Referrer : FReferrers) GetDependencies()->Add(Referrer);
    if (FOnSetDependencies) FOnSetDependencies();
  }

  std::vector<TORVConfigObject*> FReferrers;
  std::function<void()> FOnSetDependencies;
  int32_t FBuilds = 0;
};

inline TORVBytes SavedBytes(TORVConfigObject& Object, bool CRCOnly, int32_t CharacterSet = CharacterSetUnicode) {
  TORVMemoryStream Stream(CharacterSet);
  Object.Save(Stream, CRCOnly);
  return TORVBytes(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize());
}

}  // namespace orv::test
