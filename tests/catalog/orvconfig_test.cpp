#include "catalog/orvconfig.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "catalog/orvdatabase.h"
#include "catalog/orvjob.h"
#include "catalog/orvmigrator.h"
#include "catalog/orvmodule.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvstore.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvuser.h"
#include "catalog/orvwordgen.h"
#include "core/orvstream.h"
#include "tests/catalog/orvconfigroot.h"
#include "tests/storage/orvlocktestobjects.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;

TORVCurrency Version(int64_t Scaled) { return TORVCurrency::FromScaled(Scaled); }

std::vector<TORVString> Names(const TORVConfigObjects& List) {
  std::vector<TORVString> Result;
  for (int32_t Index = 0; Index < List.GetCount(); ++Index) Result.push_back(List.GetObjects(Index)->GetName());
  return Result;
}

int32_t PrivilegesGrantedTo(TORVPrivilegedConfigObject& Object, const TORVString& Name) {
  int32_t Count = 0;
  for (int32_t Index = 0; Index < Object.GetPrivileges().GetCount(); ++Index)
    if (Object.GetPrivileges().GetPrivilege(Index)->GetGrantedToName() == Name) ++Count;
  return Count;
}

TEST(ConfigRoot, ANewConfigurationHoldsTheBuiltInObjects) {
  auto Config = test::NewRoot();
  EXPECT_EQ(Config->GetID(), 1);
  EXPECT_EQ(Names(Config->GetUsers()), (std::vector<TORVString>{u"System", u"Administrator"}));
  EXPECT_EQ(Names(Config->GetRoles()), (std::vector<TORVString>{u"Administrators", u"Public"}));
  EXPECT_EQ(Names(Config->GetDatabases()), (std::vector<TORVString>{u"Configuration", u"__Cursor__Cache"}));
  EXPECT_EQ(Names(Config->GetStores()), (std::vector<TORVString>{u"__Temp_Files"}));
  EXPECT_EQ(Names(Config->GetWordGenerators()), (std::vector<TORVString>{u"Default"}));
  EXPECT_EQ(Config->GetDefaultWordGenerator()->GetDescription(), u"Default Word Generator");
  // IDs are handed out from 3 in the order the objects are made.
  EXPECT_EQ(Config->GetDefaultWordGenerator()->GetID(), 3);
  EXPECT_EQ(Config->GetSystemUser()->GetID(), 4);
  EXPECT_TRUE(Config->GetModified());

  TORVUser* System = Config->GetSystemUser();
  TORVUser* Admin = Config->GetAdminUser();
  EXPECT_TRUE(System->GetSystemObject());
  EXPECT_EQ(System->GetLockSlot(), 1);
  EXPECT_EQ(System->GetPassword(), u"");
  EXPECT_FALSE(Admin->GetSystemObject());
  EXPECT_EQ(Admin->GetLockSlot(), 2);
  EXPECT_EQ(Admin->GetPassword(), u"PlumeHaven");
  EXPECT_EQ(Admin->GetDescription(), u"Administrator User");
  ASSERT_EQ(Admin->GetUserRoles().GetCount(), 1);
  EXPECT_EQ(Admin->GetUserRoles().GetUserRole(0)->GetRole(), Config->GetAdminRole());
  EXPECT_EQ(Admin->GetUserRoles().GetUserRole(0)->GetGrantor(), System);

  TORVDatabaseContainer* ConfigDb = Config->GetConfigDatabase();
  EXPECT_TRUE(ConfigDb->GetReadOnly());
  EXPECT_TRUE(ConfigDb->GetSystemObject());
  EXPECT_TRUE(ConfigDb->GetSessionIsolation());
  EXPECT_EQ(ConfigDb->GetOwner(), System);
  EXPECT_EQ(PrivilegesGrantedTo(*ConfigDb, u"Public"), 1);
  EXPECT_EQ(PrivilegesGrantedTo(*ConfigDb, u"System"), 7);
  EXPECT_EQ(PrivilegesGrantedTo(*ConfigDb, u"Administrators"), 1);
  TORVDatabaseContainer* Cache = Config->GetCacheDatabase();
  EXPECT_FALSE(Cache->GetReadOnly());
  EXPECT_TRUE(Cache->GetSessionIsolation());
  EXPECT_EQ(Cache->GetDescription(), u"Cached Cursors Database");
  EXPECT_EQ(PrivilegesGrantedTo(*Cache, u"Public"), 7);
  TORVStore* Temp = Config->GetTemporaryStore();
  EXPECT_TRUE(Temp->GetTemporary());
  EXPECT_EQ(PrivilegesGrantedTo(*Temp, u"System"), 4);
  EXPECT_EQ(PrivilegesGrantedTo(*Temp, u"Public"), 0);
}

// The stream of a new configuration: the Administrator with its one role
// grant, every other list empty.
TEST(ConfigStream, ANewConfigurationStoresOnlyTheAdministrator) {
  auto Config = test::NewRoot();
  TORVMemoryStream Stream(CharacterSetUnicode);
  Config->Save(Stream, false);
  EXPECT_FALSE(Config->GetModified());
  Stream.SetPosition(0);
  EXPECT_EQ(Stream.ReadCurrency(), EngineCatalogVersion);
  EXPECT_EQ(Stream.ReadInteger(), Config->GetLastID());
  for (int32_t List = 0; List < 3; ++List) EXPECT_EQ(Stream.ReadInteger(), 0);
  EXPECT_EQ(Stream.ReadInteger(), 1);
  TORVUser Stored(Config.get());
  Stored.Load(Stream);
  EXPECT_EQ(Stored.GetName(), u"Administrator");
  EXPECT_EQ(Stored.GetPassword(), u"PlumeHaven");
  EXPECT_EQ(Stored.GetPasswordChanged(), Config->GetAdminUser()->GetPasswordChanged());
  EXPECT_EQ(Stored.GetUserRoles().GetCount(), 1);
  for (int32_t List = 0; List < 5; ++List) EXPECT_EQ(Stream.ReadInteger(), 0);
  EXPECT_EQ(Stream.GetAvailable(), 0);
}

// Two sessions on one configuration file, each with its own root, as the
// session manager sets them up: named, Unicode, and saving at the current
// version.
class ConfigFileTest : public test::TempFolderTest {
 protected:
  struct TSession {
    std::unique_ptr<TORVConfig> Config;
    std::unique_ptr<test::TTestLockManager> Locks;
    std::unique_ptr<test::TTestContainer> File;
  };

  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
  }

  TSession NewSession() {
    TSession Session;
    Session.Config = std::make_unique<TORVConfig>();
    Session.Config->SetName(u"ORVConfig");
    Session.Config->SetCharacterSet(CharacterSetUnicode);
    Session.Config->SetPath(FolderName());
    Session.Locks = std::make_unique<test::TTestLockManager>(Session.Config.get(), Files.get(),
                                                             FolderName() + u"orv.lock", 13316);
    Session.Locks->Open();
    Session.File = std::make_unique<test::TTestContainer>(Session.Config.get(), Session.Locks.get(), Files.get(),
                                                          FolderName() + u"orv.ORVCfg");
    TORVConfig* Config = Session.Config.get();
    Session.File->SetOnSaveConfigObject(
        [Config](TORVConfigObject*) { Config->SetVersion(EngineCatalogVersion); });
    return Session;
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
};

TEST_F(ConfigFileTest, ASecondSessionLoadsTheSavedConfigurationKeepingItsBuiltIns) {
  TSession A = NewSession();
  A.File->Open();
  A.File->BeginUpdate();
  TORVUser* Bob = test::NewUser(*A.Config, u"Bob");
  test::NewDatabase(*A.Config, u"Sales", Bob);
  A.Config->GetAdminUser()->SetAttributes(u"Desk='1'");
  A.File->EndUpdate();

  TSession B = NewSession();
  TORVUser* BuiltInAdmin = B.Config->GetAdminUser();
  B.File->Open();
  EXPECT_EQ(B.Config->GetVersion(), EngineCatalogVersion);
  EXPECT_FALSE(B.Config->GetModified());
  EXPECT_EQ(Names(B.Config->GetUsers()), (std::vector<TORVString>{u"System", u"Administrator", u"Bob"}));
  EXPECT_EQ(B.Config->GetUsers().GetUser(1), BuiltInAdmin);
  EXPECT_EQ(B.Config->GetAdminUser(), BuiltInAdmin);
  EXPECT_EQ(BuiltInAdmin->GetAttributes(), u"Desk='1'");
  EXPECT_EQ(Names(B.Config->GetDatabases()),
            (std::vector<TORVString>{u"Configuration", u"__Cursor__Cache", u"Sales"}));
  auto* Sales = static_cast<TORVDatabaseContainer*>(B.Config->GetDatabases().FindByName(u"Sales", true));
  auto* BBob = static_cast<TORVUser*>(B.Config->GetUsers().FindByName(u"Bob", true));
  EXPECT_EQ(Sales->GetOwner(), BBob);
  EXPECT_TRUE(Sales->CheckPrivilege(BBob, PrivilegeDrop));
  EXPECT_TRUE(BBob->Login(u"secret"));
  EXPECT_EQ(Names(B.Config->GetAuthorizations()),
            (std::vector<TORVString>{u"System", u"Administrator", u"Bob", u"Administrators", u"Public"}));

  // A's drop of Bob reaches B at its next read; B's references follow.
  A.File->BeginUpdate();
  test::Drop(A.Config->GetUsers().GetUser(2));
  A.File->EndUpdate();
  B.File->BeginRead();
  B.File->EndRead();
  EXPECT_EQ(Names(B.Config->GetUsers()), (std::vector<TORVString>{u"System", u"Administrator"}));
  Sales = static_cast<TORVDatabaseContainer*>(B.Config->GetDatabases().FindByName(u"Sales", true));
  EXPECT_EQ(Sales->GetOwner(), B.Config->GetSystemUser());
}

// A configuration stream written by hand in the layout of an older engine.
class TOldStream {
 public:
  explicit TOldStream(int64_t ScaledVersion) : FVersion(ScaledVersion) {
    FStream.WriteCurrency(TORVCurrency::FromScaled(ScaledVersion));
    FStream.WriteInteger(100);
  }

  void Count(int32_t Value) { FStream.WriteInteger(Value); }
  void Text(const TORVString& Value) { FStream.WriteString(Value); }
  void Base(int32_t ID, const TORVString& Name) {
    FStream.WriteInteger(ID);
    Text(Name);
    Text(u"");
    FStream.WriteBoolean(false);
    FStream.WriteBoolean(false);
  }
  void Attributes(const TORVString& Value) {
    if (FVersion >= 20400) Text(Value);
  }
  // A user with one grant of the role RoleID by System.
  void User(int32_t ID, const TORVString& Name, int32_t RoleID) {
    Base(ID, Name);
    Attributes(u"Desk='9'");
    Text(u"pw");
    if (FVersion >= 20400) FStream.WriteLargeInt(123456);
    FStream.WriteBoolean(false);
    FStream.WriteInteger(7);
    FStream.WriteInteger(10);
    Count(1);
    FStream.WriteInteger(ID + 1);
    FStream.WriteBoolean(false);
    FStream.WriteBoolean(false);
    FStream.WriteInteger(RoleID);
    Text(u"System");
  }
  // A database owned by the user OwnerID (OwnerName from 2.00), without
  // privileges.
  void Database(int32_t ID, const TORVString& Name, int32_t OwnerID, const TORVString& OwnerName) {
    Base(ID, Name);
    Attributes(u"");
    if (FVersion < 20000)
      FStream.WriteInteger(OwnerID);
    else
      Text(OwnerName);
    Count(0);
    Text(u"/data");
    FStream.WriteBoolean(false);
    if (FVersion > 10600) FStream.WriteBoolean(true);
    FStream.WriteInteger(50);
    if (FVersion >= 20400) FStream.WriteInteger(1033);
  }
  void Store(int32_t ID, const TORVString& Name) {
    Base(ID, Name);
    Attributes(u"");
    Text(u"Administrator");
    Count(0);
    FStream.WriteInteger(1);
    Text(u"/backups");
    FStream.WriteBoolean(false);
    for (const char16_t* Value : {u"127.0.0.1", u""}) Text(Value);
    FStream.WriteInteger(12010);
    for (const char16_t* Value : {u"", u"sig"}) Text(Value);
    FStream.WriteBoolean(false);
    Text(u"pw");
    for (int32_t Value : {6, 180}) FStream.WriteInteger(Value);
    FStream.WriteBoolean(true);
    FStream.WriteInteger(30);
    for (const char16_t* Value : {u"", u"", u""}) Text(Value);
    FStream.WriteInteger(1);
  }
  void NamedModuleUser(int32_t ID, const TORVString& Name, const TORVString& Module) {
    Base(ID, Name);
    Text(Module);
  }
  void Module(const TORVString& Name, int32_t Slot) {
    Base(0, Name);
    Text(u"modules/" + Name + u".so");
    FStream.WriteInteger(Slot);
  }

  // The lists in stream order, each only when the version holds it.
  void Write(int32_t Users, int32_t Databases, int32_t Migrators, int32_t Stores, int32_t Modules) {
    Count(0);
    Count(0);
    if (FVersion > 10200) {
      Count(Migrators);
      for (int32_t Index = 0; Index < Migrators; ++Index) NamedModuleUser(40 + Index, u"Mig" + Digit(Index), u"M0");
    }
    Count(Users);
    for (int32_t Index = 0; Index < Users; ++Index) User(20 + 2 * Index, u"User" + Digit(Index), 5);
    Count(0);
    Count(Databases);
    // Owned by the first user: user 20, "User0".
    for (int32_t Index = 0; Index < Databases; ++Index) Database(30 + Index, u"Db" + Digit(Index), 20, u"User0");
    Count(0);
    if (FVersion >= 20000) {
      Count(Stores);
      for (int32_t Index = 0; Index < Stores; ++Index) Store(50 + Index, u"Store" + Digit(Index));
    }
    if (FVersion >= 20400) {
      Count(Modules);
      for (int32_t Index = 0; Index < Modules; ++Index) Module(u"M" + Digit(Index), Index + 1);
    }
  }

  TORVMemoryStream& Get() {
    FStream.SetPosition(0);
    return FStream;
  }

 private:
  static TORVString Digit(int32_t Index) { return TORVString(1, static_cast<char16_t>(u'0' + Index)); }

  int64_t FVersion;
  TORVMemoryStream FStream{CharacterSetUnicode};
};

TEST(ConfigStream, EachVersionReadsTheListsItHolds) {
  struct TCase {
    int64_t Version;
    int32_t Migrators;
    int32_t Stores;
    int32_t Modules;
  };
  // Migrators above 1.02, stores from 2.00, modules from 2.04.
  for (const TCase& Case : {TCase{10200, 0, 1, 0}, TCase{10300, 1, 1, 0}, TCase{10600, 1, 1, 0},
                            TCase{10700, 1, 1, 0}, TCase{20000, 1, 2, 0},
                            TCase{20400, 1, 2, 1}, TCase{20500, 1, 2, 1}}) {
    SCOPED_TRACE(Case.Version);
    TOldStream Old(Case.Version);
    Old.Write(1, 1, 1, 1, 1);
    auto Config = test::NewRoot();
    TORVMemoryStream& Stream = Old.Get();
    Config->Load(Stream);
    EXPECT_EQ(Stream.GetAvailable(), 0);
    EXPECT_EQ(Config->GetVersion(), Version(Case.Version));
    EXPECT_EQ(Config->GetLastID(), 100);
    EXPECT_FALSE(Config->GetModified());
    EXPECT_EQ(Config->GetMigrators().GetCount(), Case.Migrators);
    EXPECT_EQ(Config->GetStores().GetCount(), Case.Stores);
    EXPECT_EQ(Config->GetModules().GetCount(), Case.Modules);
    if (Case.Modules > 0) {
      EXPECT_EQ(Config->GetModules().GetModule(0)->GetLockSlot(), 1);
    }

    // The user: PasswordChanged and attributes from 2.04 only.
    auto* User = static_cast<TORVUser*>(Config->GetUsers().FindByName(u"User0", true));
    EXPECT_EQ(User->GetPasswordChanged(), Case.Version >= 20400 ? 123456 : 0);
    EXPECT_EQ(User->GetAttributes(), Case.Version >= 20400 ? u"Desk='9'" : u"");
    EXPECT_EQ(User->GetLockSlot(), 7);
    EXPECT_TRUE(User->HasBeenGrantedRole(Config->GetAdminRole()));
    // The database's owner: by ID before 2.00, resolved to the user's name.
    auto* Db = static_cast<TORVDatabaseContainer*>(Config->GetDatabases().FindByName(u"Db0", true));
    EXPECT_EQ(Db->GetOwnerName(), u"User0");
    EXPECT_EQ(Db->GetOwner(), User);
    EXPECT_EQ(Db->GetDefaultCollation(), Case.Version >= 20400 ? 1033 : 0);
    EXPECT_EQ(Db->GetEncryptedCatalog(), Case.Version > 10600);
  }
}

TEST(ConfigStream, AStreamOfANewerEngineIsRefusedBeforeItsLists) {
  auto Config = test::NewRoot();
  TOldStream Newer(20600);
  Newer.Write(1, 1, 1, 1, 1);
  const int32_t LastID = Config->GetLastID();
  EXPECT_EQ(ErrorOf([&] { Config->Load(Newer.Get()); }),
            "100 There is an error in the metadata for the configuration ORVConfig (The object has been updated by "
            "a newer version of the engine)");
  EXPECT_EQ(Config->GetVersion(), Version(20600));
  EXPECT_EQ(Config->GetLastID(), LastID);
  EXPECT_EQ(Names(Config->GetUsers()), (std::vector<TORVString>{u"System", u"Administrator"}));
  EXPECT_EQ(Config->GetMigrators().GetCount(), 0);
}

TEST(ConfigStream, ALoadThatFailsPartWayIsNeverSavedOverTheFile) {
  auto Config = test::NewRoot();
  // The database's owner, user 99, does not exist.
  TOldStream Broken(10300);
  Broken.Count(0);
  Broken.Count(0);
  Broken.Count(0);
  Broken.Count(0);
  Broken.Count(0);
  Broken.Count(1);
  Broken.Database(30, u"Orphan", 99, u"");
  Broken.Count(0);
  EXPECT_EQ(ErrorOf([&] { Config->Load(Broken.Get()); }),
            "401 The user 99 does not exist in the configuration ORVConfig");
  EXPECT_FALSE(Config->GetLoadComplete());
  TORVMemoryStream Out(CharacterSetUnicode);
  EXPECT_EQ(ErrorOf([&] { Config->Save(Out, false); }),
            "100 There is an error in the metadata for the configuration ORVConfig (The configuration was not "
            "read properly)");
  EXPECT_EQ(Out.GetSize(), 0);

  TOldStream Good(20500);
  Good.Write(1, 0, 0, 0, 0);
  Config->Load(Good.Get());
  EXPECT_TRUE(Config->GetLoadComplete());
  Config->Save(Out, false);
  EXPECT_GT(Out.GetSize(), 0);
}

TEST(ConfigStream, JobsStreamTheirScheduleAndRoutine) {
  auto Config = test::NewRoot();
  auto Job = std::make_unique<TORVJob>(Config.get());
  Job->SetName(u"Nightly");
  Job->SetRunUserName(u"Administrator");
  Job->SetLockSlot(Config->GetNewJobLockSlot());
  Config->GetJobs().Add(Job.release());
  TORVMemoryStream Stream(CharacterSetUnicode);
  Config->Save(Stream, false);
  auto Other = test::NewRoot();
  Stream.SetPosition(0);
  Other->Load(Stream);
  EXPECT_EQ(Stream.GetAvailable(), 0);
  ASSERT_EQ(Other->GetJobs().GetCount(), 1);
  EXPECT_EQ(Other->GetJobs().GetJob(0)->GetRunUserName(), u"Administrator");
  EXPECT_EQ(Other->GetJobs().GetJob(0)->GetLockSlot(), 1);
  EXPECT_EQ(Other->GetJobs().GetJob(0)->GetUserVersion(), TORVCurrency::FromInt(1));
}

TEST(ConfigRoot, ValidateResetAndTheEventsReachTheLists) {
  auto Config = test::NewRoot();
  Config->Validate();
  std::vector<TORVString> Removed;
  Config->SetOnObjectRemoved([&](TORVConfigObject* Object) { Removed.push_back(Object->GetName()); });
  TORVMemoryStream Empty(CharacterSetUnicode);
  {
    auto Fresh = test::NewRoot();
    test::Drop(Fresh->GetAdminUser());
    Fresh->Save(Empty, false);
  }
  Empty.SetPosition(0);
  Config->Load(Empty);
  EXPECT_EQ(Removed, std::vector<TORVString>{u"Administrator"});
  EXPECT_EQ(Config->GetAdminUser(), nullptr);
  EXPECT_EQ(Config->DoGetInformationCollationName(5), u"");
  Config->SetOnGetInformationCollationName([](int32_t ID) { return ID == 5 ? TORVString(u"ENU") : TORVString(); });
  EXPECT_EQ(Config->DoGetInformationCollationName(5), u"ENU");
  Config->Reset();
  EXPECT_GT(Config->GetMemoryCount(), 8);
}

}  // namespace
}  // namespace orv
