#include "catalog/orvuser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "catalog/orvconfig.h"
#include "catalog/orvmodule.h"
#include "catalog/orvprivilege.h"
#include "core/orvliteral.h"
#include "tests/catalog/orvconfigroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::ErrorOf;

class UsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config = test::NewRoot();
    Bob = test::NewUser(*Config, u"Bob", u"Sesame");
  }

  std::vector<TORVString> AuthorizationNames() const {
    std::vector<TORVString> Names;
    for (int32_t Index = 0; Index < Config->GetAuthorizations().GetCount(); ++Index)
      Names.push_back(Config->GetAuthorizations().GetAuthorization(Index)->GetName());
    return Names;
  }

  std::unique_ptr<TORVConfig> Config;
  TORVUser* Bob = nullptr;
};

TEST_F(UsersTest, LoginComparesThePasswordExactlyButForTrailingBlanks) {
  EXPECT_TRUE(Bob->Login(u"Sesame"));
  EXPECT_TRUE(Bob->Login(u"Sesame   "));
  EXPECT_FALSE(Bob->Login(u"sesame"));
  EXPECT_FALSE(Bob->Login(u" Sesame"));
  EXPECT_TRUE(Config->GetAdminUser()->Login(u"PlumeHaven"));
  Bob->SetDisabled(true);
  EXPECT_FALSE(Bob->Login(u"Sesame"));
  // The System user has no password and never logs in.
  EXPECT_FALSE(Config->GetSystemUser()->Login(u""));
  EXPECT_FALSE(Config->GetSystemUser()->Login(u"PlumeHaven"));
}

TEST_F(UsersTest, PasswordsAreNeverBlankAndOnlyAChangeIsStamped) {
  EXPECT_EQ(ErrorOf([&] { Bob->SetPassword(u""); }),
            "100 There is an error in the metadata for the user Bob in the configuration ORVConfig (The user "
            "password cannot be blank)");
  EXPECT_EQ(Bob->GetPassword(), u"Sesame");
  const int64_t Stamp = Bob->GetPasswordChanged();
  EXPECT_GT(Stamp, 0);
  Config->SetModified(false);
  Bob->SetPassword(u"Sesame");
  EXPECT_EQ(Bob->GetPasswordChanged(), Stamp);
  EXPECT_FALSE(Config->GetModified());
  Bob->SetPassword(u"SESAME");
  EXPECT_EQ(Bob->GetPassword(), u"SESAME");
  EXPECT_TRUE(Config->GetModified());
}

TEST_F(UsersTest, UsersAndRolesShareOneNameSpace) {
  EXPECT_EQ(test::NewUser(*Config, u"j.doe")->GetName(), u"j.doe");
  EXPECT_EQ(ErrorOf([&] { test::NewRole(*Config, u"bob"); }), "400 The user Bob already exists in the configuration ORVConfig");
  EXPECT_EQ(ErrorOf([&] { test::NewUser(*Config, u"Public"); }),
            "400 The role Public already exists in the configuration ORVConfig");
  EXPECT_EQ(ErrorOf([&] { test::NewUser(*Config, u"BOB"); }),
            "400 The user Bob already exists in the configuration ORVConfig");
  TORVRole* Clerks = test::NewRole(*Config, u"Clerks");
  EXPECT_EQ(ErrorOf([&] { test::Rename(*Bob, u"Clerks"); }),
            "400 The role Clerks already exists in the configuration ORVConfig");
  EXPECT_EQ(ErrorOf([&] { test::Rename(*Clerks, u"Administrator"); }),
            "400 The user Administrator already exists in the configuration ORVConfig");
  EXPECT_EQ(ErrorOf([&] { test::NewRole(*Config, u"2nd"); }),
            "406 Invalid role identifier '2nd' in the configuration ORVConfig");
  // A failed check leaves no flag behind: later checks still cross over.
  EXPECT_EQ(ErrorOf([&] { test::NewRole(*Config, u"Bob"); }), "400 The user Bob already exists in the configuration ORVConfig");
}

TEST_F(UsersTest, RoleGrantsAreSetLikeAndAdministratorsAreSystemOrGranted) {
  TORVRole* Administrators = Config->GetAdminRole();
  EXPECT_TRUE(Config->IsAdministrator(Config->GetSystemUser()));
  EXPECT_TRUE(Config->IsAdministrator(Config->GetAdminUser()));
  EXPECT_TRUE(Bob->HasBeenGrantedRole(Config->GetPublicRole()));
  EXPECT_FALSE(Config->IsAdministrator(Bob));

  const int32_t Grants = Bob->GetUserRoles().GetCount();
  Bob->GrantRole(Config->GetSystemUser(), Config->GetPublicRole());
  EXPECT_EQ(Bob->GetUserRoles().GetCount(), Grants);
  Bob->RevokeRole(Administrators);
  EXPECT_EQ(Bob->GetUserRoles().GetCount(), Grants);

  Bob->GrantRole(Config->GetAdminUser(), Administrators);
  EXPECT_TRUE(Config->IsAdministrator(Bob));
  TORVUserRole* Grant = Bob->GetUserRoles().GetUserRole(Grants);
  EXPECT_EQ(Grant->GetRole(), Administrators);
  EXPECT_EQ(Grant->GetGrantor(), Config->GetAdminUser());
  EXPECT_EQ(Grant->GetCreateSQL(false, false, false), u"GRANT \"Administrators\" TO \"Bob\"");
  EXPECT_EQ(Grant->GetDropSQL(false, false), u"REVOKE \"Administrators\" FROM \"Bob\"");

  // A held role cannot be dropped.
  Administrators->UpdateDependencies();
  EXPECT_EQ(ErrorOf([&] { Administrators->CheckDependencies(u"dropped"); }),
            "201 The role Administrators in the configuration ORVConfig cannot be dropped because it is still "
            "referenced by the user Administrator in the configuration ORVConfig");
  Bob->RevokeRole(Administrators);
  EXPECT_FALSE(Config->IsAdministrator(Bob));
}

TEST_F(UsersTest, DroppingAGrantorReattributesItsGrantsToSystem) {
  TORVUser* Carol = test::NewUser(*Config, u"Carol");
  TORVRole* Clerks = test::NewRole(*Config, u"Clerks");
  Carol->GrantRole(Bob, Clerks);
  test::Rename(*Bob, u"Robert");
  TORVUserRole* Grant = Carol->GetUserRoles().GetUserRole(Carol->GetUserRoles().GetCount() - 1);
  EXPECT_EQ(Grant->GetGrantorName(), u"Robert");
  test::Drop(Bob);
  EXPECT_EQ(Grant->GetGrantorName(), u"System");
  EXPECT_EQ(Grant->GetGrantor(), Config->GetSystemUser());
  EXPECT_TRUE(Carol->HasBeenGrantedRole(Clerks));
}

TEST_F(UsersTest, CreateTextNeverCarriesThePassword) {
  Bob->SetDescription(u"Sales clerk\r\n  ");
  Bob->SetAttributes(u"Desk='3'");
  EXPECT_EQ(Bob->GetCreateSQL(false, false, false),
            u"CREATE USER \"Bob\"\r\nPASSWORD '<Password>'\r\nDESCRIPTION 'Sales clerk'\r\nATTRIBUTES 'Desk=''3'''");
  EXPECT_EQ(Bob->GetDropSQL(false, false), u"DROP USER \"Bob\"");
  TORVRole* Clerks = test::NewRole(*Config, u"Clerks");
  EXPECT_EQ(Clerks->GetCreateSQL(false, false, false), u"CREATE ROLE \"Clerks\"");
  EXPECT_EQ(Clerks->GetDropSQL(false, false), u"DROP ROLE \"Clerks\"");
}

TEST_F(UsersTest, TheChecksumCoversThePasswordAndACopyKeepsItsOwnLockSlot) {
  const uint32_t Checksum = Bob->GetCRC32();
  Bob->SetPassword(u"Other");
  EXPECT_NE(Bob->GetCRC32(), Checksum);
  Bob->SetMaxSessionCount(3);
  TORVUser Copy(Config.get());
  Copy.SetLockSlot(99);
  Copy.Assign(Bob, true);
  EXPECT_EQ(Copy.GetName(), u"Bob");
  EXPECT_EQ(Copy.GetPassword(), u"Other");
  EXPECT_EQ(Copy.GetPasswordChanged(), Bob->GetPasswordChanged());
  EXPECT_EQ(Copy.GetMaxSessionCount(), 3);
  EXPECT_EQ(Copy.GetLockSlot(), 99);
  EXPECT_TRUE(Copy.HasBeenGrantedRole(Config->GetPublicRole()));
}

TEST_F(UsersTest, LockSlotsAreTheLowestFreeOnesUpToTheKindsCount) {
  // System and Administrator hold 1 and 2, Bob 3.
  EXPECT_EQ(Bob->GetLockSlot(), 3);
  Bob->SetLockSlot(4);
  EXPECT_EQ(Config->GetNewUserLockSlot(), 3);
  EXPECT_EQ(Bob->GetLockSpaceOffset(ltExclusive), 0x3002 + 3 * 4096);
  for (int32_t Slot = 3; Slot <= 4096; ++Slot) {
    if (Slot == 4) continue;
    test::NewUser(*Config, u"U" + IntToString(Slot))->SetLockSlot(Slot);
  }
  EXPECT_EQ(Config->GetUsers().GetCount(), 4096);
  EXPECT_EQ(Config->GetNewUserLockSlot(), 0);
  EXPECT_EQ(ErrorOf([&] { test::NewUser(*Config, u"Extra"); }),
            "405 The maximum number of users in the configuration ORVConfig has been reached (4096)");

  for (int32_t Slot = 1; Slot <= 1024; ++Slot) {
    EXPECT_EQ(Config->GetNewModuleLockSlot(), Slot);
    auto Module = std::make_unique<TORVModule>(Config.get());
    Module->SetName(u"M" + IntToString(Slot));
    Module->SetLockSlot(Slot);
    Config->GetModules().Add(Module.release());
  }
  EXPECT_EQ(Config->GetNewModuleLockSlot(), 0);
  EXPECT_EQ(Config->GetNewJobLockSlot(), 1);
  // The temporary store holds no slot.
  EXPECT_EQ(Config->GetNewStoreLockSlot(), 1);
}

TEST_F(UsersTest, TheAuthorizationListHoldsTheUsersThenTheRoles) {
  EXPECT_EQ(AuthorizationNames(),
            (std::vector<TORVString>{u"System", u"Administrator", u"Bob", u"Administrators", u"Public"}));
  test::NewRole(*Config, u"Clerks");
  test::NewUser(*Config, u"Carol");
  EXPECT_EQ(AuthorizationNames(), (std::vector<TORVString>{u"System", u"Administrator", u"Bob", u"Carol",
                                                           u"Administrators", u"Public", u"Clerks"}));
  test::Drop(Bob);
  EXPECT_EQ(AuthorizationNames(), (std::vector<TORVString>{u"System", u"Administrator", u"Carol", u"Administrators",
                                                           u"Public", u"Clerks"}));
  // Dropping the Administrator leaves the root without one.
  test::Drop(Config->GetAdminUser());
  EXPECT_EQ(Config->GetAdminUser(), nullptr);
}

TEST(UserTables, TheTablesAreDescribed) {
  EXPECT_EQ(std::u16string(UsersClass().TableName), u"Users");
  EXPECT_EQ(UsersClass().Description->Columns.size(), 7u);
  EXPECT_EQ(UsersClass().Description->Columns[2].DataType, dtTimeStamp);
  EXPECT_EQ(std::u16string(RolesClass().TableName), u"Roles");
  EXPECT_EQ(std::u16string(UserRolesClass().TableName), u"UserRoles");
  EXPECT_EQ(UserRolesClass().Description->Indexes.size(), 2u);
  EXPECT_EQ(std::u16string(AuthorizationsClass().TableName), u"Authorizations");
}

}  // namespace
}  // namespace orv
