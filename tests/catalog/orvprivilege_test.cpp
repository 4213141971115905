#include "catalog/orvprivilege.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvuser.h"
#include "core/orvstream.h"
#include "tests/catalog/orvconfigroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::ErrorOf;

class PrivilegesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config = test::NewRoot();
    Bob = test::NewUser(*Config, u"Bob");
    Sales = test::NewDatabase(*Config, u"Sales", Config->GetAdminUser());
  }

  std::unique_ptr<TORVConfig> Config;
  TORVUser* Bob = nullptr;
  TORVDatabaseContainer* Sales = nullptr;
};

TEST(PrivilegeNumbers, NamesAndNumbersMapBothWays) {
  EXPECT_EQ(GetPrivilegeNumber(u"maintain"), PrivilegeMaintain);
  EXPECT_EQ(GetPrivilegeNumber(u"ALL"), PrivilegeAll);
  EXPECT_EQ(GetPrivilegeNumber(u"Grant"), -1);
  EXPECT_EQ(GetPrivilegeName(PrivilegeExecute), u"Execute");
  EXPECT_EQ(GetPrivilegeName(PrivilegeAll), u"All");
  EXPECT_EQ(GetPrivilegeName(12), u"");
  EXPECT_EQ(GetPrivilegeName(-1), u"");
  int32_t Set = 0;
  SetPrivilege(Set, PrivilegeRestore);
  SetPrivilege(Set, 33);
  EXPECT_TRUE(PrivilegeSet(Set, PrivilegeRestore));
  EXPECT_TRUE(PrivilegeSet(Set, 1));
  EXPECT_FALSE(PrivilegeSet(Set, PrivilegeSelect));
}

TEST_F(PrivilegesTest, DefaultPrivilegesFollowTheOwnerAndTheObjectsKind) {
  // Owned by the Administrator: System, Administrators and the owner hold
  // the seven database privileges, Public holds Select.
  EXPECT_EQ(test::GrantsTo(*Sales, u"System"), 7);
  EXPECT_EQ(test::GrantsTo(*Sales, u"Administrators"), 7);
  EXPECT_EQ(test::GrantsTo(*Sales, u"Administrator"), 7);
  EXPECT_EQ(test::GrantsTo(*Sales, u"Public"), 1);
  EXPECT_FALSE(Sales->CheckPrivilege(Config->GetAdminUser(), PrivilegeInsert));
  EXPECT_TRUE(Sales->CheckPrivilege(Config->GetAdminUser(), PrivilegeRestore));
  // Bob holds Select through Public only.
  EXPECT_TRUE(Sales->CheckPrivilege(Bob, PrivilegeSelect));
  EXPECT_FALSE(Sales->CheckPrivilege(Bob, PrivilegeDrop));
  // All is a name only: no set ever holds it.
  EXPECT_FALSE(Sales->CheckPrivilege(Config->GetSystemUser(), PrivilegeAll));
  EXPECT_TRUE(Sales->CheckPrivilege(Config->GetSystemUser(), PrivilegeSelect));
  EXPECT_EQ(Sales->GetOwner(), Config->GetAdminUser());
}

TEST_F(PrivilegesTest, SelectOnlyThroughPublicShowsTheObjectAndRevokingItHides) {
  EXPECT_TRUE(Sales->ObjectVisible(Bob));
  EXPECT_EQ(Config->GetDatabases().FindByName(u"sales", Bob, true), Sales);
  Sales->RevokePrivilege(Config->GetPublicRole(), PrivilegeSelect);
  EXPECT_FALSE(Sales->ObjectVisible(Bob));
  EXPECT_EQ(ErrorOf([&] { Config->GetDatabases().FindByName(u"Sales", Bob, true); }),
            "401 The database Sales does not exist");
  EXPECT_EQ(ErrorOf([&] { Config->GetDatabases().FindByID(Sales->GetID(), Bob, true); }),
            "401 The database " + std::to_string(Sales->GetID()) + " does not exist");
  // Without RaiseException the lookups answer, an unknown ID with nil.
  EXPECT_EQ(Config->GetDatabases().FindByName(u"Sales", Bob, false), Sales);
  EXPECT_EQ(Config->GetDatabases().FindByID(99999, Bob, false), nullptr);
  EXPECT_EQ(ErrorOf([&] { Config->GetDatabases().FindByID(99999, nullptr, true); }),
            "401 The database 99999 does not exist");
}

TEST_F(PrivilegesTest, GrantingTwiceLeavesOnePrivilegeAndAllOnADatabaseIsSevenWithoutInsert) {
  TORVRole* Clerks = test::NewRole(*Config, u"Clerks");
  Sales->GrantPrivilege(Config->GetSystemUser(), Clerks, PrivilegeSelect);
  Sales->GrantPrivilege(Bob, Clerks, PrivilegeSelect);
  EXPECT_EQ(test::GrantsTo(*Sales, u"Clerks"), 1);
  Sales->GrantAllPrivileges(Config->GetSystemUser(), Clerks);
  EXPECT_EQ(test::GrantsTo(*Sales, u"Clerks"), 7);
  int32_t Index = 0;
  EXPECT_FALSE(Sales->FindPrivilege(Clerks, PrivilegeInsert, Index));
  EXPECT_FALSE(Sales->FindPrivilege(Clerks, PrivilegeExecute, Index));
  // The list itself refuses a duplicate that bypasses GrantPrivilege.
  auto* Copy = static_cast<TORVPrivilege*>(Sales->GetPrivileges().GetNewObject());
  Copy->SetNumber(PrivilegeSelect);
  Copy->SetGrantedTo(Clerks);
  EXPECT_EQ(ErrorOf([&] { Sales->GetPrivileges().Add(Copy); }),
            "400 The privilege Select already exists in the database Sales");
  delete Copy;
}

TEST_F(PrivilegesTest, RenamingAGranteeKeepsItsPrivileges) {
  Sales->GrantPrivilege(Config->GetAdminUser(), Bob, PrivilegeDrop);
  EXPECT_TRUE(Sales->CheckPrivilege(Bob, PrivilegeDrop));
  test::Rename(*Bob, u"Robert");
  EXPECT_EQ(test::GrantsTo(*Sales, u"Robert"), 1);
  EXPECT_EQ(test::GrantsTo(*Sales, u"Bob"), 0);
  EXPECT_TRUE(Sales->CheckPrivilege(Bob, PrivilegeDrop));
  // Renaming the owner renames the stored owner.
  test::Rename(*Config->GetAdminUser(), u"Root");
  EXPECT_EQ(Sales->GetOwnerName(), u"Root");
  EXPECT_EQ(Sales->GetOwner(), Config->GetAdminUser());
}

TEST_F(PrivilegesTest, DroppingAUserRemovesItsPrivilegesAndReattributesThoseItGranted) {
  TORVUser* Carol = test::NewUser(*Config, u"Carol");
  TORVDatabaseContainer* Bobs = test::NewDatabase(*Config, u"Bobs", Bob);
  Sales->GrantPrivilege(Config->GetSystemUser(), Bob, PrivilegeAlter);
  Sales->GrantPrivilege(Bob, Carol, PrivilegeDrop);
  // The Sales database depends on Bob until he is dropped.
  Bob->UpdateDependencies();
  EXPECT_EQ(ErrorOf([&] { Bob->CheckDependencies(u"dropped"); }),
            "201 The user Bob in the configuration ORVConfig cannot be dropped because it is still referenced by the "
            "database Sales");

  test::Drop(Bob);
  EXPECT_EQ(test::GrantsTo(*Sales, u"Bob"), 0);
  int32_t Index = 0;
  ASSERT_TRUE(Sales->FindPrivilege(Carol, PrivilegeDrop, Index));
  TORVPrivilege* Kept = Sales->GetPrivileges().GetPrivilege(Index);
  EXPECT_EQ(Kept->GetGrantorName(), u"System");
  EXPECT_EQ(Kept->GetGrantor(), Config->GetSystemUser());
  EXPECT_TRUE(Sales->CheckPrivilege(Carol, PrivilegeDrop));
  // The database Bob owned now belongs to System; his own privileges on
  // it are gone.
  EXPECT_EQ(Bobs->GetOwnerName(), u"System");
  EXPECT_EQ(test::GrantsTo(*Bobs, u"Bob"), 0);
}

TEST_F(PrivilegesTest, RevokingARoleTakesItsRightsAwayAtTheNextCheck) {
  TORVRole* Auditors = test::NewRole(*Config, u"Auditors");
  Sales->GrantPrivilege(Config->GetSystemUser(), Auditors, PrivilegeMaintain);
  Bob->GrantRole(Config->GetAdminUser(), Auditors);
  EXPECT_TRUE(Sales->CheckPrivilege(Bob, PrivilegeMaintain));
  Bob->RevokeRole(Auditors);
  EXPECT_FALSE(Sales->CheckPrivilege(Bob, PrivilegeMaintain));
  Bob->GrantRole(Config->GetAdminUser(), Auditors);
  EXPECT_TRUE(Sales->CheckPrivilege(Bob, PrivilegeMaintain));
  // Dropping the role ends the rights too (the grant is revoked first, as
  // the role cannot be dropped while held).
  Bob->RevokeRole(Auditors);
  test::Drop(Auditors);
  EXPECT_FALSE(Sales->CheckPrivilege(Bob, PrivilegeMaintain));
  EXPECT_EQ(test::GrantsTo(*Sales, u"Auditors"), 0);
}

TEST_F(PrivilegesTest, AnObjectNotReloadedSeesARoleRevokedByAnotherSession) {
  TORVRole* Auditors = test::NewRole(*Config, u"Auditors");
  Bob->GrantRole(Config->GetAdminUser(), Auditors);
  TORVMemoryStream Before(CharacterSetUnicode);
  Config->Save(Before, false);

  // Another session: its own root, and an object it keeps across reloads
  // of the configuration (as an open catalog keeps its tables).
  auto Other = test::NewRoot();
  Before.SetPosition(0);
  Other->Load(Before);
  TORVDatabaseContainer Kept(Other.get(), Other->GetAdminUser());
  Kept.SetName(u"Kept");
  auto* OtherAuditors = static_cast<TORVRole*>(Other->GetRoles().FindByName(u"Auditors", true));
  auto* OtherBob = static_cast<TORVUser*>(Other->GetUsers().FindByName(u"Bob", true));
  Kept.GrantPrivilege(Other->GetSystemUser(), OtherAuditors, PrivilegeBackup);
  EXPECT_TRUE(Kept.CheckPrivilege(OtherBob, PrivilegeBackup));

  Bob->RevokeRole(Auditors);
  TORVMemoryStream After(CharacterSetUnicode);
  Config->Save(After, false);
  After.SetPosition(0);
  Other->Load(After);
  // The same Bob instance, matched by ID, and the set computed afresh.
  EXPECT_EQ(Other->GetUsers().FindByName(u"Bob", true), OtherBob);
  EXPECT_FALSE(Kept.CheckPrivilege(OtherBob, PrivilegeBackup));
}

TEST_F(PrivilegesTest, APrivilegeStreamsItsNumberAndBothNamesAlsoForTheChecksum) {
  int32_t Index = 0;
  ASSERT_TRUE(Sales->FindPrivilege(Config->GetPublicRole(), PrivilegeSelect, Index));
  TORVPrivilege* Privilege = Sales->GetPrivileges().GetPrivilege(Index);
  TORVMemoryStream Stream(CharacterSetUnicode);
  Privilege->Save(Stream, true);
  // Hidden flag, number, "Public", "System".
  EXPECT_EQ(Stream.GetSize(), 1 + 4 + (4 + 12) + (4 + 12));
  TORVPrivilege Copy(Config.get());
  TORVMemoryStream Full(CharacterSetUnicode);
  Privilege->Save(Full, false);
  Full.SetPosition(0);
  Copy.Load(Full);
  EXPECT_TRUE(Copy.Compare(Privilege, true));
  EXPECT_EQ(Copy.GetName(), u"Select");
  EXPECT_EQ(Copy.GetGrantedTo(), Config->GetPublicRole());
  // A database's checksum leaves owner and privileges out.
  const uint32_t Checksum = Sales->GetCRC32();
  Sales->GrantPrivilege(Config->GetSystemUser(), Bob, PrivilegeBackup);
  EXPECT_EQ(Sales->GetCRC32(), Checksum);
}

TEST_F(PrivilegesTest, ObjectStatesComeAndGo) {
  Sales->StartTransaction();
  Sales->StartRepair();
  EXPECT_TRUE(Sales->GetObjectState().Contains(osInTransaction));
  EXPECT_TRUE(Sales->GetObjectState().Contains(osInRepair));
  Sales->EndTransaction();
  EXPECT_FALSE(Sales->GetObjectState().Contains(osInTransaction));
  EXPECT_TRUE(Sales->GetObjectState().Contains(osInRepair));
}

}  // namespace
}  // namespace orv
