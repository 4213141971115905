#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvconfig.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvtabledesc.h"
#include "core/orvtypefunc.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "tests/catalog/orvconfigtestobjects.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::AddUser;
using test::ErrorOf;
using test::TUser;
using test::TUsers;

class ConfigObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpConfig(Config); }

  std::vector<TORVString> Names(const TORVConfigObjects& List) const {
    std::vector<TORVString> Result;
    for (int32_t Index = 0; Index < List.GetCount(); ++Index) {
      EXPECT_EQ(List.GetObjects(Index)->GetPosition(), Index);
      Result.push_back(List.GetObjects(Index)->GetName());
    }
    return Result;
  }

  TORVConfig Config;
};

TEST_F(ConfigObjectsTest, TheMaximumIsAcceptedAndValidatesOnlyMoreIsRefused) {
  TUsers Users(&Config, false);
  for (int32_t Number = 1; Number < 4096; ++Number) AddUser(Users, u"U" + IntToString(Number));
  AddUser(Users, u"Last");
  EXPECT_EQ(Users.GetCount(), 4096);
  EXPECT_EQ(ErrorOf([&] { Users.Validate(); }), "no error");
  EXPECT_EQ(ErrorOf([&] { AddUser(Users, u"Extra"); }), "405 The maximum number of users has been reached (4096)");
  EXPECT_EQ(Users.GetCount(), 4096);
  EXPECT_EQ(Users.GetUser(4095)->GetName(), u"Last");
  EXPECT_EQ(Users.FindByName(u"Extra", false), nullptr);

  TUsers Parented(&Config);
  Parented.SetCount(4097);
  EXPECT_EQ(ErrorOf([&] { Parented.Validate(); }),
            "405 The maximum number of users in the configuration Main has been reached (4096)");
}

TEST_F(ConfigObjectsTest, AddGivesParentFlagsIDsAndPositions) {
  TUsers Users(&Config);
  Config.SetModified(false);
  const int32_t NextID = Config.GetLastID() + 1;
  TUser* Ann = AddUser(Users, u"Ann");
  EXPECT_EQ(Ann->GetParent(), &Users);
  EXPECT_EQ(Ann->GetID(), NextID);
  EXPECT_EQ(Ann->GetPosition(), 0);
  EXPECT_TRUE(Config.GetModified());

  // Temporary members take IDs of the collection's own.
  std::unique_ptr<TUser> Temporary(static_cast<TUser*>(Users.GetNewObject()));
  Temporary->SetTemporary(true);
  Temporary->SetName(u"Scratch");
  Users.Insert(0, Temporary.get());
  EXPECT_EQ(Temporary.release()->GetID(), 1);
  EXPECT_EQ(Names(Users), (std::vector<TORVString>{u"Scratch", u"Ann"}));

  TUsers System(&Config);
  System.SetSystemObject(true);
  std::unique_ptr<TUser> Plain(new TUser(&Config));
  Plain->SetName(u"Sys");
  System.Add(Plain.get());
  EXPECT_TRUE(Plain.release()->GetSystemObject());
}

TEST_F(ConfigObjectsTest, AFailedAddLeavesTheMembersAndTheObjectWithTheCaller) {
  TUsers Users(&Config);
  AddUser(Users, u"Ann");
  const std::pair<const char16_t*, std::string> Cases[] = {
      {u"ANN", "400 The user Ann already exists in the configuration Main"},
      {u"a#b", "406 Invalid user identifier 'a#b' in the configuration Main"},
  };
  for (const auto& [Name, Error] : Cases) {
    std::unique_ptr<TUser> User(static_cast<TUser*>(Users.GetNewObject()));
    User->SetName(Name);
    EXPECT_EQ(ErrorOf([&] { Users.Add(User.get()); }), Error);
    EXPECT_EQ(ErrorOf([&] { Users.Insert(0, User.get()); }), Error);
    EXPECT_EQ(Names(Users), (std::vector<TORVString>{u"Ann"}));
  }
  TUsers Alone(&Config, false);
  AddUser(Alone, u"Ann");
  EXPECT_EQ(ErrorOf([&] { AddUser(Alone, u"ann"); }), "400 The user Ann already exists");
}

TEST_F(ConfigObjectsTest, LookupsRaiseNotFoundInBothForms) {
  TUsers Users(&Config);
  TUser* Admins = AddUser(Users, u"Administrators");
  Admins->SetInternalName(u"admins");
  EXPECT_EQ(Users.FindByName(u"ADMINISTRATORS", true), Admins);
  EXPECT_EQ(Users.FindByID(Admins->GetID(), true), Admins);
  EXPECT_EQ(Users.FindByInternalName(u"ADMINS", true), Admins);
  EXPECT_EQ(ErrorOf([&] { Users.FindByName(u"Zed", true); }),
            "401 The user Zed does not exist in the configuration Main");
  TUsers Alone(&Config, false);
  EXPECT_EQ(ErrorOf([&] { Alone.FindByID(99, true); }), "401 The user 99 does not exist");
  EXPECT_EQ(Alone.FindByName(u"Zed", false), nullptr);
}

TEST_F(ConfigObjectsTest, DeleteAndRemoveRenumberWithoutFreeing) {
  TUsers Users(&Config);
  std::unique_ptr<TUser> First(AddUser(Users, u"A"));
  AddUser(Users, u"B");
  TUser* C = AddUser(Users, u"C");
  Users.Delete(0);
  EXPECT_EQ(Names(Users), (std::vector<TORVString>{u"B", u"C"}));
  Users.Remove(C);
  EXPECT_TRUE(C->GetRemoved());
  EXPECT_EQ(Names(Users), (std::vector<TORVString>{u"B"}));
  delete C;

  TORVSelectedConfigObjects Selection;
  TUser* B = Users.GetUser(0);
  Selection.Add(B);
  Selection.Add(First.get());
  Selection.Add(B);
  Selection.Remove(B);
  ASSERT_EQ(Selection.GetCount(), 2);
  EXPECT_EQ(Selection.GetObjects(0), B);
  EXPECT_EQ(B->GetPosition(), 0);
  EXPECT_EQ(B->GetParent(), &Users);
}

TEST_F(ConfigObjectsTest, UniqueNamesSkipTheTakenOnes) {
  TUsers Users(&Config);
  AddUser(Users, u"P1");
  AddUser(Users, u"p2");
  EXPECT_EQ(Users.GetUniqueName(u"P"), u"P3");
  const TORVString Internal = Users.GetUniqueInternalName(u"a b#");
  EXPECT_EQ(Internal.substr(0, 4), u"a b#");
  EXPECT_EQ(Users.FindByInternalName(Internal, false), nullptr);
}

TEST_F(ConfigObjectsTest, CreateAndDropTextsJoinTheVisibleMembers) {
  TUsers Users(&Config);
  EXPECT_EQ(Users.GetCreateSQL(false, false, false), u"");
  AddUser(Users, u"A");
  AddUser(Users, u"B")->SetHidden(true);
  AddUser(Users, u"C");
  EXPECT_EQ(Users.GetCreateSQL(false, false, false), u"CREATE USER \"A\",\r\nCREATE USER \"C\"");
  EXPECT_EQ(Users.GetDropSQL(false, false), u"DROP USER \"A\",\r\nDROP USER \"C\"");
}

TEST_F(ConfigObjectsTest, RenameChecksTheMembersOwnRules) {
  TUsers Users(&Config);
  TUser* Ann = AddUser(Users, u"Ann");
  AddUser(Users, u"Bob");
  EXPECT_EQ(ErrorOf([&] { Users.CheckRename(Ann, u"a#b"); }),
            "406 Invalid user identifier 'a#b' in the configuration Main");
  EXPECT_EQ(ErrorOf([&] { Users.CheckRename(Ann, u"j.doe"); }), "no error");
  EXPECT_EQ(ErrorOf([&] { Users.CheckRename(Ann, u"ANN"); }), "no error");
  EXPECT_EQ(ErrorOf([&] { Users.CheckRename(Ann, u"bob  "); }),
            "400 The user Bob already exists in the configuration Main");
}

TEST_F(ConfigObjectsTest, StreamSkipsSystemMembersAndLoadsIntoAnEmptyList) {
  TUsers Users(&Config);
  AddUser(Users, u"System")->SetSystemObject(true);
  AddUser(Users, u"Ann")->SetDescription(u"Clerk");
  AddUser(Users, u"Bob");
  TORVMemoryStream Stream(CharacterSetUnicode);
  Users.Save(Stream, false);
  Stream.SetPosition(0);
  EXPECT_EQ(Stream.ReadInteger(), 2);
  Stream.SetPosition(0);
  TUsers Copy(&Config);
  Copy.Load(Stream);
  EXPECT_EQ(Names(Copy), (std::vector<TORVString>{u"Ann", u"Bob"}));
  EXPECT_EQ(Copy.GetUser(0)->GetDescription(), u"Clerk");
  EXPECT_EQ(Copy.GetUser(1)->GetParent(), &Copy);
}

TEST_F(ConfigObjectsTest, ReloadKeepsInstancesBySystemMembersFirstAndReportsTheRest) {
  TUsers Users(&Config);
  TUser* System = AddUser(Users, u"System");
  System->SetSystemObject(true);
  TUser* Ann = AddUser(Users, u"Ann");
  TUser* Bob = AddUser(Users, u"Bob");
  AddUser(Users, u"Cy");

  // What another session saved: Bob renamed and before Ann, Cy dropped, Di
  // new.
  TUsers Saved(&Config);
  for (TUser* Member : {Bob, Ann}) {
    auto* Copy = static_cast<TUser*>(Saved.GetNewObject());
    Copy->Assign(Member, false);
    Saved.Add(Copy);
  }
  Saved.GetUser(0)->SetName(u"Robert");
  AddUser(Saved, u"Di");
  TORVMemoryStream Stream(CharacterSetUnicode);
  Saved.Save(Stream, false);
  Stream.SetPosition(0);

  std::vector<TORVString> Removed;
  Config.SetOnObjectRemoved([&](TORVConfigObject* Object) { Removed.push_back(Object->GetName()); });
  Users.Load(Stream);
  EXPECT_EQ(Names(Users), (std::vector<TORVString>{u"System", u"Robert", u"Ann", u"Di"}));
  EXPECT_EQ(Users.GetUser(0), System);
  EXPECT_EQ(Users.GetUser(1), Bob);
  EXPECT_EQ(Users.GetUser(2), Ann);
  EXPECT_EQ(Removed, (std::vector<TORVString>{u"Cy"}));
}

// A family passes its class as data: the factory makes a collection of the
// configuration given, and the table is described by positions after
// "__RowID".
TEST_F(ConfigObjectsTest, AClassDescriptorMakesItsCollectionAndNamesItsTable) {
  static const TORVTableDescription UsersTable{
      {{u"Name", dtCharacter, 0, 80, 0, true}, {u"Description", dtLargeObject, stClob}}, {{u"Name", {1}}}};
  const TORVConfigObjectsClass UsersClass{[](TORVConfig* Owner) { return new TUsers(Owner); }, u"Users",
                                          &UsersTable};
  std::unique_ptr<TORVConfigObjects> Made(UsersClass.Create(&Config));
  std::unique_ptr<TORVConfigObject> Member(Made->GetNewObject());
  EXPECT_EQ(Member->GetConfig(), &Config);
  EXPECT_EQ(Member->GetTypeName(), u"user");
  EXPECT_EQ(UsersClass.Description->Indexes[0].Positions, (std::vector<int32_t>{1}));
  EXPECT_EQ(TORVString(TORVConfigObjectsClass().TableName), u"");
}

// Collection streams as they come from a damaged or hostile file: every
// truncation of a valid stream and random bytes, loaded into an empty and
// into a filled list. Each load either succeeds or raises an engine error,
// and a member count the bytes cannot hold is refused before anything is
// made.
// Each corruption of an owning collection breaks one of its invariants:
// CheckInvariants catches it. The next change of the members catches a
// member out of place at once; an ID clash it sees only in the new member.
TEST_F(ConfigObjectsTest, ACorruptedCollectionBreaksItsInvariants) {
  struct TCase {
    const char* Name;
    std::function<void(TUsers&)> Corrupt;
    bool CaughtByAdd;
  };
  const TCase Cases[] = {
      {"a member out of its place", [](TUsers& Users) { Users.GetUser(1)->SetPosition(2); }, true},
      {"a member under another parent", [this](TUsers& Users) { Users.GetUser(1)->SetParent(&Config); }, true},
      {"two members under one ID", [](TUsers& Users) { Users.GetUser(2)->SetID(Users.GetUser(0)->GetID()); }, false},
      {"plain members of a system collection",
       [](TUsers& Users) { Users.TORVConfigObject::SetSystemObject(true); }, true},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TUsers Users(&Config);
    for (const char16_t* Name : {u"Ann", u"Bob", u"Cy"}) AddUser(Users, Name);
    Users.CheckInvariants();
    Case.Corrupt(Users);
    EXPECT_THROW(Users.CheckInvariants(), std::logic_error);
    // The new member is the list's once it is in, also when the check fails.
    TORVConfigObject* Dan = Users.GetNewObject();
    Dan->SetName(u"Dan");
    if (Case.CaughtByAdd) {
      EXPECT_THROW(Users.Add(Dan), std::logic_error);
    } else {
      Users.Add(Dan);
      EXPECT_THROW(Users.CheckInvariants(), std::logic_error);
    }
  }
}

// Two members that share a name are refused by Add; two under one ID, the
// key a reload matches members by, are refused by the load as damage.
TEST_F(ConfigObjectsTest, AStreamWithTwoMembersUnderOneIDIsAMetadataError) {
  TUsers Users(&Config);
  TUser* Ann = AddUser(Users, u"Ann");
  AddUser(Users, u"Bob")->SetID(Ann->GetID());
  const TORVBytes Bytes = test::SavedBytes(Users, false);
  for (bool Filled : {false, true}) {
    SCOPED_TRACE(Filled ? "into a filled list" : "into an empty list");
    TUsers Target(&Config);
    if (Filled) AddUser(Target, u"Zed");
    TORVMemoryStream Stream(CharacterSetUnicode);
    Stream.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    Stream.SetPosition(0);
    EXPECT_EQ(ErrorOf([&] { Target.Load(Stream); }),
              "100 There is an error in the metadata for the user  in the configuration Main (The object ID " +
                  std::to_string(Ann->GetID()) + " is stored twice)");
  }
}

TEST_F(ConfigObjectsTest, TruncatedAndRandomStreamsAreRefusedOrLoaded) {
  TUsers Source(&Config);
  for (const char16_t* Name : {u"Ann", u"Bob", u"Cy"}) AddUser(Source, Name)->SetDescription(u"Desk");
  TORVMemoryStream Valid(CharacterSetUnicode);
  Source.Save(Valid, false);
  const TORVBytes Bytes(Valid.GetMemory(), Valid.GetMemory() + Valid.GetSize());

  std::vector<TORVBytes> Inputs;
  for (size_t Length = 0; Length <= Bytes.size(); ++Length) Inputs.emplace_back(Bytes.begin(), Bytes.begin() + Length);
  std::mt19937 Random(20261210);
  for (int32_t Round = 0; Round < 400; ++Round) {
    TORVBytes Input = Bytes;
    if (Round % 2 == 0) {
      Input.resize(Random() % 64);
      for (uint8_t& Byte : Input) Byte = static_cast<uint8_t>(Random());
    } else {
      for (int32_t Flip = 0; Flip < 3; ++Flip) Input[Random() % Input.size()] = static_cast<uint8_t>(Random());
    }
    Inputs.push_back(std::move(Input));
  }
  for (const TORVBytes& Input : Inputs) {
    TORVMemoryStream Stream(CharacterSetUnicode);
    Stream.Write(Input.data(), static_cast<int32_t>(Input.size()));
    for (bool Filled : {false, true}) {
      Stream.SetPosition(0);
      TUsers Target(&Config);
      if (Filled) AddUser(Target, u"Zed");
      try {
        Target.Load(Stream);
      } catch (const EORVException& Error) {
        EXPECT_EQ(Error.ErrorCode(), 100);
      }
      EXPECT_LE(Target.GetCount(), 1 + static_cast<int32_t>(Input.size()) / 6);
    }
  }

  for (const int32_t Count : {-1, 4097, 3}) {
    TORVMemoryStream Stream(CharacterSetUnicode);
    Stream.WriteInteger(Count);
    Stream.WriteInteger(0);
    Stream.SetPosition(0);
    TUsers Target(&Config);
    EXPECT_EQ(ErrorOf([&] { Target.Load(Stream); }),
              "100 There is an error in the metadata for the user  in the configuration Main (The object count " +
                  std::to_string(Count) + " in the stream is invalid)");
    EXPECT_EQ(Target.GetCount(), 0);
  }
}

}  // namespace
}  // namespace orv
