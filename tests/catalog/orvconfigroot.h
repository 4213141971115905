// A configuration root set up as a session sets it up, and the steps the
// local engine takes to create, rename and drop users, roles and
// databases, for the tests of users, privileges and the configuration
// stream.
#pragma once

#include <cstdint>
#include <memory>

#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvuser.h"

namespace orv::test {

// A database's catalog as the session reads it before a walk reaches into
// it: an empty one when none is attached yet.
inline void OpenCatalog(TORVDatabaseContainer* Database) {
  if (Database->GetCatalog() == nullptr) Database->SetCatalog(std::make_unique<TORVCatalog>(Database->GetConfig()));
}

// Named ORVConfig, Unicode, at the version every save writes; a database
// walk opens the database's catalog as the session does.
inline std::unique_ptr<TORVConfig> NewRoot(int32_t CharacterSet = CharacterSetUnicode) {
  auto Config = std::make_unique<TORVConfig>();
  Config->SetName(u"ORVConfig");
  Config->SetCharacterSet(CharacterSet);
  Config->SetVersion(EngineCatalogVersion);
  Config->SetOnBeginReadCatalog(OpenCatalog);
  Config->SetOnBeginUpdateCatalog(OpenCatalog);
  return Config;
}

// A user with a lock slot of its own and the Public role, as CREATE USER
// makes one.
inline TORVUser* NewUser(TORVConfig& Config, const TORVString& Name, const TORVString& Password = u"secret") {
  auto User = std::make_unique<TORVUser>(&Config);
  User->SetName(Name);
  User->SetPassword(Password);
  User->SetLockSlot(Config.GetNewUserLockSlot());
  Config.GetUsers().Add(User.get());
  TORVUser* Added = User.release();
  Added->GrantRole(Config.GetSystemUser(), Config.GetPublicRole());
  return Added;
}

inline TORVRole* NewRole(TORVConfig& Config, const TORVString& Name) {
  auto Role = std::make_unique<TORVRole>(&Config);
  Role->SetName(Name);
  Config.GetRoles().Add(Role.get());
  return Role.release();
}

// A database owned by Owner with the default privileges.
inline TORVDatabaseContainer* NewDatabase(TORVConfig& Config, const TORVString& Name, TORVUser* Owner) {
  std::unique_ptr<TORVDatabaseContainer> Database(
      static_cast<TORVDatabaseContainer*>(Config.GetDatabases().GetNewObject(Owner)));
  Database->SetName(Name);
  Database->SetPath(u"/data/" + Name);
  Config.GetDatabases().Add(Database.get());
  TORVDatabaseContainer* Added = Database.release();
  Added->GrantDefaultPrivileges();
  return Added;
}

// How many privileges of Object are granted to Name.
inline int32_t GrantsTo(TORVPrivilegedConfigObject& Object, const TORVString& Name) {
  int32_t Count = 0;
  for (int32_t Index = 0; Index < Object.GetPrivileges().GetCount(); ++Index)
    if (Object.GetPrivileges().GetPrivilege(Index)->GetGrantedToName() == Name) ++Count;
  return Count;
}

// RENAME USER or ROLE: the name checks, the referrers, then the name.
inline void Rename(TORVAuthorization& Authorization, const TORVString& NewName) {
  static_cast<TORVConfigObjects*>(Authorization.GetParent())->CheckRename(&Authorization, NewName);
  Authorization.AlterDependencies(NewName);
  Authorization.SetName(NewName);
}

// DROP USER or ROLE: the referrers let go, then the object leaves its list.
inline void Drop(TORVAuthorization* Authorization) {
  Authorization->DropDependencies();
  static_cast<TORVConfigObjects*>(Authorization->GetParent())->Remove(Authorization);
  delete Authorization;
}

}  // namespace orv::test
