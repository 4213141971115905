#include "catalog/orvbasetable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvindexes.h"
#include "catalog/orvjob.h"
#include "catalog/orvlockable.h"
#include "catalog/orvmigrator.h"
#include "catalog/orvmodule.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvroutine.h"
#include "catalog/orvruntimetables.h"
#include "catalog/orvschema.h"
#include "catalog/orvselection.h"
#include "catalog/orvstore.h"
#include "catalog/orvtable.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvtrigger.h"
#include "catalog/orvuser.h"
#include "catalog/orvwordgen.h"
#include "core/orvstream.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/catalog/orvtablelayout.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string Utf8(const TORVString& Text) { return std::string(Text.begin(), Text.end()); }

// The text of the error Action raises; fails the test when it raises none.
template <typename TAction>
std::string ErrorText(TAction Action) {
  try {
    Action();
  } catch (const EORVException& E) {
    return E.what();
  }
  ADD_FAILURE() << "no error raised";
  return std::string();
}

// A catalog of the given character set and version with its database.
struct TCatalogFixture {
  explicit TCatalogFixture(int32_t CharacterSet = CharacterSetAnsi,
                           TORVCurrency Version = EngineCatalogVersion)
      : Config(test::NewRoot(CharacterSet)), Catalog(test::AttachCatalog(*Config, u"db")) {
    Catalog->SetVersion(Version);
  }
  // A table "t" of the Default schema with "__RowID" and the system key.
  TORVBaseTable* NewKeyedTable(const TORVString& Name = u"t", TORVUser* Owner = nullptr) {
    TORVBaseTables& Tables = Catalog->GetDefaultSchema()->GetBaseTables();
    std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject(Owner)));
    Table->SetName(Name);
    Tables.Add(Table.get());
    TORVBaseTable* Added = Table.release();
    Added->CreateSystemColumns();
    Added->CheckForPrimaryKeyConstraint();
    return Added;
  }

  std::unique_ptr<TORVConfig> Config;
  TORVCatalog* Catalog = nullptr;
};

TEST(BaseTable, NewTableTakesTheDefaultsOfTheCatalogsCharacterSet) {
  struct TCase {
    int32_t CharacterSet;
    int32_t PageSize, BlobBlockSize, PublishBlockSize;
  };
  for (const TCase& Case : {TCase{CharacterSetAnsi, 4096, 512, 512}, TCase{CharacterSetUnicode, 8192, 1024, 1024}}) {
    TCatalogFixture Fixture(Case.CharacterSet);
    TORVBaseTable* Table = Fixture.NewKeyedTable();
    EXPECT_EQ(Table->GetIndexPageSize(), Case.PageSize);
    EXPECT_EQ(Table->GetBlobBlockSize(), Case.BlobBlockSize);
    EXPECT_EQ(Table->GetPublishBlockSize(), Case.PublishBlockSize);
    EXPECT_EQ(Table->GetMaxRowBufferSize(), 32768);
    EXPECT_EQ(Table->GetMaxIndexBufferSize(), 65536);
    EXPECT_EQ(Table->GetMaxBlobBufferSize(), 32768);
    EXPECT_EQ(Table->GetMaxPublishBufferSize(), 32768);
    EXPECT_EQ(Table->GetPublishCompression(), 0);
    EXPECT_EQ(Table->GetUserVersion(), TORVCurrency::FromInt(1));
    EXPECT_EQ(Table->GetTypeName(), u"table");
  }
}

TEST(BaseTable, SizeFunctionsAnswerZeroForAnUnknownCharacterSet) {
  EXPECT_EQ(GetMinPageSize(CharacterSetAnsi), 1024);
  EXPECT_EQ(GetMinPageSize(CharacterSetUnicode), 2048);
  EXPECT_EQ(GetMinBlockSize(CharacterSetUnicode), 128);
  EXPECT_EQ(GetMinPublishBlockSize(CharacterSetAnsi), 64);
  EXPECT_EQ(GetDefaultPageSize(2), 0);
  EXPECT_EQ(GetDefaultBlockSize(-1), 0);
}

TEST(BaseTable, SettersRoundSizesUpToEightAndLiftBufferMaxima) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  Table->SetIndexPageSize(1001);
  Table->SetBlobBlockSize(65);
  Table->SetPublishBlockSize(1048576);
  Table->SetMaxIndexBufferSize(100);
  Table->SetMaxRowBufferSize(0);
  Table->SetMaxBlobBufferSize(4097);
  Table->SetMaxPublishBufferSize(-5);
  EXPECT_EQ(Table->GetIndexPageSize(), 1008);
  EXPECT_EQ(Table->GetBlobBlockSize(), 72);
  EXPECT_EQ(Table->GetPublishBlockSize(), 1048576);
  EXPECT_EQ(Table->GetMaxIndexBufferSize(), 8192);
  EXPECT_EQ(Table->GetMaxRowBufferSize(), 4096);
  EXPECT_EQ(Table->GetMaxBlobBufferSize(), 4097);
  EXPECT_EQ(Table->GetMaxPublishBufferSize(), 4096);
  EXPECT_TRUE(Fixture.Catalog->GetModified());
}

// Page and block sizes above a megabyte would make the table managers
// allocate buffers of any size, and near 2^31 the rounding overflows.
TEST(BaseTable, SettersRefuseSizesAboveTheMaximum) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  EXPECT_THAT(ErrorText([&] { Table->SetIndexPageSize(2147483647); }),
              HasSubstr("(The index page size is above the maximum of 1048576)"));
  EXPECT_THAT(ErrorText([&] { Table->SetBlobBlockSize(1048577); }),
              HasSubstr("(The BLOB block size is above the maximum of 1048576)"));
  EXPECT_THAT(ErrorText([&] { Table->SetPublishBlockSize(2147483641); }),
              HasSubstr("(The published updates log block size is above the maximum of 1048576)"));
  EXPECT_EQ(Table->GetIndexPageSize(), 4096);
  EXPECT_EQ(Table->GetBlobBlockSize(), 512);
  EXPECT_EQ(Table->GetPublishBlockSize(), 512);
}

// The base part of a table record as a stream of Version holds it.
struct TBasePart {
  uint32_t CheckSum = 7;
  TORVCurrency UserVersion = TORVCurrency::FromScaled(23400);
  int32_t RowsetRowSize = 24;
  int32_t IndexPageSize = 4096;
  int32_t BlobBlockSize = 512;
  int32_t PublishBlockSize = 256;
  int32_t MaxBuffers[4] = {8192, 16384, 8192, 8192};
  int32_t PublishCompression = 3;
  int32_t PublishType = 1;
};

void WriteBasePart(TORVMemoryStream& Stream, TORVCurrency Version, const TBasePart& Part) {
  Stream.WriteTORVLongWord(Part.CheckSum);
  if (Version < TORVCurrency::FromScaled(20400)) Stream.WriteCurrency(Part.UserVersion);
  Stream.WriteBoolean(true);
  Stream.WriteInteger(Part.RowsetRowSize);
  Stream.WriteInteger(Part.IndexPageSize);
  Stream.WriteInteger(Part.BlobBlockSize);
  if (Version >= TORVCurrency::FromScaled(20000)) Stream.WriteInteger(Part.PublishBlockSize);
  Stream.WriteInteger(0);  // no constraints
  if (Version < TORVCurrency::FromScaled(10300)) Stream.WriteInteger(0);  // no triggers
  if (Version > TORVCurrency::FromScaled(10400))
    for (int32_t Index = 0; Index < 3; ++Index) Stream.WriteInteger(Part.MaxBuffers[Index]);
  if (Version >= TORVCurrency::FromScaled(20000)) {
    Stream.WriteInteger(Part.MaxBuffers[3]);
    Stream.WriteInteger(Part.PublishCompression);
    Stream.WriteBoolean(true);
    Stream.WriteLargeInt(99);
    Stream.WriteString(u"{00000000-0000-0000-0000-000000000001}");
  }
  if (Version >= TORVCurrency::FromScaled(20400)) Stream.WriteInteger(Part.PublishType);
}

// Reloads a table "t" of the fixture's catalog from a record whose base
// part is Part, as a catalog of Version writes it.
TORVBaseTable* LoadTable(TCatalogFixture& Fixture, TORVCurrency Version, const TBasePart& Part) {
  // Streams before 2.00 name the owner by ID.
  TORVUser* Owner = test::NewUser(*Fixture.Config, u"owner");
  Owner->SetID(42);
  TORVBaseTable* Table = Fixture.NewKeyedTable(u"t", Owner);
  Fixture.Catalog->SetVersion(Version);
  const int32_t CharacterSet = Fixture.Config->GetCharacterSet();
  TORVMemoryStream Record(CharacterSet);
  Table->TORVVirtualTable::Save(Record, false);
  TORVBytes Bytes = StreamBytes(Record);
  // Older still, the trigger count before the lock slot moves to the base
  // part.
  if (Version < TORVCurrency::FromScaled(10300)) Bytes.erase(Bytes.end() - 8, Bytes.end() - 4);
  if (Version < AttributesVersion) {
    // Older streams have no user version after the privileges (the base
    // part carries it) and no attributes after the object record.
    TORVMemoryStream Object(CharacterSet), Lockable(CharacterSet), Privileged(CharacterSet), Schema(CharacterSet);
    Table->TORVConfigObject::Save(Object, false);
    Table->TORVLockableConfigObject::Save(Lockable, false);
    Table->TORVPrivilegedConfigObject::Save(Privileged, false);
    Table->TORVPrivilegedSchemaObject::Save(Schema, false);
    Bytes.erase(Bytes.begin() + Privileged.GetSize(), Bytes.begin() + Schema.GetSize());
    Bytes.erase(Bytes.begin() + Object.GetSize(), Bytes.begin() + Lockable.GetSize());
  }
  TORVMemoryStream Stream(CharacterSet);
  Stream.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  WriteBasePart(Stream, Version, Part);
  Stream.SetPosition(0);
  Table->Load(Stream);
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
  return Table;
}

TEST(BaseTable, StreamVersionsDecideWhichFieldsAreRead) {
  TBasePart Part;
  {
    TCatalogFixture Fixture(CharacterSetAnsi);
    TORVBaseTable* Table = LoadTable(Fixture, TORVCurrency::FromScaled(10200), Part);
    EXPECT_EQ(Table->GetUserVersion(), Part.UserVersion);
    EXPECT_EQ(Table->GetTriggers().GetCount(), 0);
  }
  {
    TCatalogFixture Fixture(CharacterSetAnsi);
    TORVBaseTable* Table = LoadTable(Fixture, TORVCurrency::FromScaled(10400), Part);
    EXPECT_EQ(Table->GetCheckSum(), 7u);
    EXPECT_EQ(Table->GetUserVersion(), Part.UserVersion);
    EXPECT_EQ(Table->GetMaxRowBufferSize(), 32768);
    EXPECT_EQ(Table->GetMaxIndexBufferSize(), 65536);
    EXPECT_EQ(Table->GetMaxBlobBufferSize(), 32768);
  }
  for (const int32_t CharacterSet : {CharacterSetAnsi, CharacterSetUnicode}) {
    TCatalogFixture Fixture(CharacterSet);
    TORVBaseTable* Table = LoadTable(Fixture, TORVCurrency::FromScaled(19900), Part);
    EXPECT_EQ(Table->GetMaxIndexBufferSize(), 16384);
    EXPECT_EQ(Table->GetPublishBlockSize(), GetDefaultPublishBlockSize(CharacterSet));
    EXPECT_EQ(Table->GetPublishType(), 0);
    EXPECT_FALSE(Table->GetIsPublished());
  }
  {
    TCatalogFixture Fixture;
    TORVBaseTable* Table = LoadTable(Fixture, TORVCurrency::FromScaled(20300), Part);
    EXPECT_EQ(Table->GetUserVersion(), Part.UserVersion);
    EXPECT_EQ(Table->GetPublishBlockSize(), 256);
    EXPECT_EQ(Table->GetPublishCompression(), 3);
    EXPECT_TRUE(Table->GetIsPublished());
    EXPECT_EQ(Table->GetPublishedOn(), 99);
    EXPECT_EQ(Table->GetPublishType(), 0);
  }
  {
    TCatalogFixture Fixture;
    TORVBaseTable* Table = LoadTable(Fixture, TORVCurrency::FromScaled(20400), Part);
    EXPECT_EQ(Table->GetPublishType(), 1);
    EXPECT_EQ(Table->GetMaxPublishBufferSize(), 8192);
  }
}

TEST(BaseTable, SaveThenLoadKeepsEverySetting) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  Table->SetEncrypted(true);
  Table->SetIndexPageSize(8192);
  Table->SetBlobBlockSize(1024);
  Table->SetPublishBlockSize(2048);
  Table->SetMaxRowBufferSize(40000);
  Table->SetPublishCompression(6);
  Table->SetPublishType(1);
  Table->SetIsPublished(true);
  Table->SetCheckSum();
  TORVMemoryStream Stream(CharacterSetAnsi);
  Table->Save(Stream, false);
  TORVBaseTable& Loaded = *Fixture.NewKeyedTable(u"copy");
  Stream.SetPosition(0);
  Loaded.Load(Stream);
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
  EXPECT_TRUE(Loaded.GetEncrypted());
  EXPECT_EQ(Loaded.GetCheckSum(), Table->GetCheckSum());
  EXPECT_EQ(Loaded.GetIndexPageSize(), 8192);
  EXPECT_EQ(Loaded.GetBlobBlockSize(), 1024);
  EXPECT_EQ(Loaded.GetPublishBlockSize(), 2048);
  EXPECT_EQ(Loaded.GetMaxRowBufferSize(), 40000);
  EXPECT_EQ(Loaded.GetPublishCompression(), 6);
  EXPECT_EQ(Loaded.GetPublishType(), 1);
  EXPECT_EQ(Loaded.GetPublishID(), Table->GetPublishID());
  EXPECT_EQ(Loaded.GetPublishedOn(), Table->GetPublishedOn());
  EXPECT_EQ(Loaded.GetConstraints().GetCount(), 1);
}

TEST(BaseTable, ChecksumIgnoresBufferMaximaAndPublishingDetails) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  const uint32_t Before = Table->GetCRC32();
  Table->SetMaxRowBufferSize(50000);
  Table->SetMaxPublishBufferSize(50000);
  Table->SetPublishType(1);
  EXPECT_EQ(Table->GetCRC32(), Before);
  Table->SetPublishCompression(1);
  EXPECT_NE(Table->GetCRC32(), Before);
}

TEST(BaseTable, ValidationReportsLoadedValuesOutOfRange) {
  struct TCase {
    const char* Name;
    void (*Change)(TBasePart&);
    const char* Detail;
  };
  const TCase Cases[] = {
      {"page below minimum", [](TBasePart& P) { P.IndexPageSize = 1000; },
       "(The index page size is below the minimum of 1024)"},
      {"page not a multiple", [](TBasePart& P) { P.IndexPageSize = 4100; },
       "(The index page size must be a multiple of 8)"},
      {"blob below minimum", [](TBasePart& P) { P.BlobBlockSize = 32; },
       "(The BLOB block size is below the minimum of 64)"},
      {"publish not a multiple", [](TBasePart& P) { P.PublishBlockSize = 100; },
       "(The published updates log block size must be a multiple of 8)"},
      {"row buffer", [](TBasePart& P) { P.MaxBuffers[0] = 100; }, "(The row buffer size is below the minimum of 4096)"},
      {"index buffer", [](TBasePart& P) { P.MaxBuffers[1] = 4096; },
       "(The index buffer size is below the minimum of 8192)"},
      {"compression", [](TBasePart& P) { P.PublishCompression = 10; }, "(The compression 10 is invalid)"},
      {"negative compression", [](TBasePart& P) { P.PublishCompression = -1; }, "(The compression -1 is invalid)"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TCatalogFixture Fixture;
    TBasePart Part;
    Case.Change(Part);
    TORVBaseTable* Table = LoadTable(Fixture, EngineCatalogVersion, Part);
    const std::string Text = ErrorText([&] { Table->Validate(); });
    EXPECT_THAT(Text, HasSubstr("There is an error in the metadata for the table t"));
    EXPECT_THAT(Text, HasSubstr(Case.Detail));
  }
}

TEST(BaseTable, PublishingStampsTimeAndGuidAndUnpublishingClearsThem) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  Table->SetIsPublished(true);
  EXPECT_TRUE(Table->GetIsPublished());
  EXPECT_GT(Table->GetPublishedOn(), 0);
  ASSERT_EQ(Table->GetPublishID().size(), 38u);
  EXPECT_EQ(Table->GetPublishID().front(), u'{');
  const TORVString First = Table->GetPublishID();
  Table->SetIsPublished(true);
  EXPECT_EQ(Table->GetPublishID(), First);
  Table->ResetPublishID();
  EXPECT_NE(Table->GetPublishID(), First);
  Table->SetIsPublished(false);
  EXPECT_EQ(Table->GetPublishedOn(), 0);
  EXPECT_TRUE(Table->GetPublishID().empty());
  Table->ResetPublishID();
  EXPECT_TRUE(Table->GetPublishID().empty());
}

TEST(BaseTable, TableWithoutDeclaredKeyGetsTheHiddenSystemKey) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  AddTestColumn(Table->GetColumns(), u"a", dtInteger);
  ASSERT_EQ(Table->GetConstraints().GetCount(), 1);
  TORVConstraint* Key = Table->GetConstraints().GetConstraint(0);
  EXPECT_EQ(Key->GetName(), u"__PrimaryKey");
  EXPECT_TRUE(Key->GetHidden());
  EXPECT_EQ(Key->GetConstraintType(), ctPrimaryKey);
  ASSERT_EQ(Key->GetConstraintColumns()->GetCount(), 1);
  EXPECT_EQ(Key->GetConstraintColumns()->GetConstraintColumn(0)->GetColumn(), Table->GetColumns().GetColumn(0));
  ASSERT_EQ(Table->GetIndexes().GetCount(), 1);
  TORVIndex* Index = Table->GetIndexes().GetIndex(0);
  EXPECT_EQ(Index->GetName(), u"__PrimaryKey");
  EXPECT_TRUE(Index->GetHidden());
  EXPECT_EQ(Index->GetIndexType(), itPrimaryKey);
  EXPECT_EQ(Key->GetEnforcingIndex(), Index);
  Table->Validate();

  const std::string Create = Utf8(Table->GetCreateSQL(true, false, false));
  EXPECT_THAT(Create, HasSubstr("CREATE TABLE \"t\"\r\n("));
  EXPECT_THAT(Create, Not(HasSubstr("__RowID")));
  EXPECT_THAT(Create, Not(HasSubstr("__PrimaryKey")));
  EXPECT_THAT(Create, HasSubstr(")\r\nVERSION 1.00\r\nREADWRITE\r\nUNENCRYPTED\r\nINDEX PAGE SIZE 4096\r\n"
                                "BLOB BLOCK SIZE 512\r\nPUBLISH BLOCK SIZE 512\r\nPUBLISH COMPRESSION 0\r\n"
                                "MAX ROW BUFFER SIZE 32768\r\nMAX INDEX BUFFER SIZE 65536\r\n"
                                "MAX BLOB BUFFER SIZE 32768\r\nMAX PUBLISH BUFFER SIZE 32768"));

  // A declared key replaces it; dropping that key brings it back.
  EXPECT_TRUE(Table->RemoveSystemConstraint(false));
  EXPECT_EQ(Table->GetConstraints().GetCount(), 0);
  EXPECT_EQ(Table->GetIndexes().GetCount(), 0);
  EXPECT_FALSE(Table->RemoveSystemConstraint(false));
  Table->CheckForPrimaryKeyConstraint();
  Table->CheckForPrimaryKeyConstraint();
  EXPECT_EQ(Table->GetConstraints().GetCount(), 1);
}

TEST(BaseTable, SystemKeyWhileAlteringLeavesTheIndexToTheRestructuring) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  ASSERT_TRUE(Table->RemoveSystemConstraint(true));
  EXPECT_EQ(Table->GetIndexes().GetCount(), 1);
  Table->CreateSystemConstraint(true);
  EXPECT_EQ(Table->GetConstraints().GetCount(), 1);
  EXPECT_EQ(Table->GetIndexes().GetCount(), 1);
}

TEST(BaseTable, EncryptionChangeRebuildsEverythingAndNothingElse) {
  TCatalogFixture Fixture;
  TORVBaseTable* Old = Fixture.NewKeyedTable(u"old");
  TORVBaseTable* New = Fixture.NewKeyedTable(u"new");
  EXPECT_TRUE(New->GetAlterState(Old).Empty());
  New->SetIndexPageSize(8192);
  EXPECT_EQ(New->GetAlterState(Old), (TORVAlterStates{asRebuild, asRebuildIndexes, asRebuildAllIndexes}));
  New->SetBlobBlockSize(1024);
  New->SetPublishCompression(2);
  EXPECT_EQ(New->GetAlterState(Old), (TORVAlterStates{asRebuild, asRebuildIndexes, asRebuildAllIndexes,
                                                      asRebuildRows, asRebuildUpdates}));
  New->SetEncrypted(true);
  EXPECT_EQ(New->GetAlterState(Old), (TORVAlterStates{asRebuild, asRebuildAll}));
}

TEST(BaseTable, AlterTextNamesOnlyTheChangedSettings) {
  TCatalogFixture Fixture;
  TORVBaseTable* Old = Fixture.NewKeyedTable(u"old");
  TORVBaseTable* New = Fixture.NewKeyedTable(u"new");
  New->SetIndexPageSize(8192);
  New->SetDescription(u"");
  New->SetUserVersion(TORVCurrency::FromScaled(12500));
  Old->BuildAlterSQL(1, New, u';');
  EXPECT_EQ(Utf8(Old->GetAlterSQL()), "ALTER TABLE \"old\"\r\nVERSION 1.25\r\nINDEX PAGE SIZE 8192;");
  Old->BuildAlterSQL(1, Old, u';');
  EXPECT_TRUE(Old->GetAlterSQL().empty());
  Old->BuildAlterSQL(2, nullptr, u';');
  EXPECT_EQ(Utf8(Old->GetAlterSQL()), "DROP TABLE \"old\"");
}

TEST(BaseTable, PageSizeGrowsInDefaultPageStepsToHoldAnIndexKey) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  struct TCase {
    int32_t Length;
    int32_t PageSize;
  };
  // VARCHAR(n) keys take n + 3 bytes; four keys of KeySize + 10 and a
  // page header must fit.
  for (const TCase& Case : {TCase{20, 4096}, TCase{1000, 4096}, TCase{1024, 8192}}) {
    TORVColumn* Column =
        AddTestColumn(Table->GetColumns(), u"c" + IntToString(Case.Length), dtCharacter, stVarChar, Case.Length);
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Table->GetIndexes().GetNewObject()));
    TORVIndexColumns& Keys = *Index->GetIndexColumns();
    std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Keys.GetNewObject()));
    Key->SetSourceColumn(Column);
    Keys.Add(Key.get());
    Key.release();
    Table->CheckPageSize(Index.get());
    EXPECT_EQ(Table->GetIndexPageSize(), Case.PageSize) << Case.Length;
  }
}

TEST(BaseTable, TemporaryTableNamesItselfSoUnlessItIsAMaintenanceCopy) {
  TCatalogFixture Fixture;
  TORVBaseTable Table(Fixture.Config.get());
  Table.SetTemporaryForSession(true);
  EXPECT_EQ(Table.GetTypeName(), u"temporary table");
  Table.SetMaintenance(true);
  EXPECT_EQ(Table.GetTypeName(), u"table");
}

// A member of List named Name, added.
template <typename TObject>
TObject* AddNamed(TORVConfigObjects& List, const TORVString& Name) {
  std::unique_ptr<TObject> Object(static_cast<TObject*>(List.GetNewObject()));
  Object->SetName(Name);
  List.Add(Object.get());
  return Object.release();
}

// The error that adding a member of List named Name raises.
template <typename TObject>
std::string AddError(TORVConfigObjects& List, const TORVString& Name) {
  std::unique_ptr<TObject> Object(static_cast<TObject*>(List.GetNewObject()));
  Object->SetName(Name);
  return test::ErrorOf([&] { List.Add(Object.get()); });
}

TEST(TemporaryTables, ShareOneNameSpaceWithTablesViewsAndDerivedTables) {
  TCatalogFixture Fixture;
  TORVSchema& Schema = *Fixture.Catalog->GetDefaultSchema();
  Fixture.NewKeyedTable(u"t");
  AddNamed<TORVView>(Schema.GetViews(), u"v");
  AddNamed<TORVView>(Schema.GetTemporaryViews(), u"d");
  AddNamed<TORVBaseTable>(Schema.GetTemporaryTables(), u"s");
  struct TCase {
    TORVConfigObjects* List;
    const char16_t* Name;
    const char* Error;
  };
  const TCase Cases[] = {
      {&Schema.GetTemporaryTables(), u"T", "400 The table t already exists in the schema Default"},
      {&Schema.GetTemporaryTables(), u"V", "400 The view v already exists in the schema Default"},
      {&Schema.GetTemporaryTables(), u"d", "400 The derived table d already exists"},
      {&Schema.GetTemporaryTables(), u"S", "400 The temporary table s already exists in the schema Default"},
      {&Schema.GetBaseTables(), u"s", "400 The temporary table s already exists in the schema Default"},
      {&Schema.GetViews(), u"S", "400 The temporary table s already exists in the schema Default"},
      {&Schema.GetTemporaryViews(), u"s", "400 The temporary table s already exists in the schema Default"},
  };
  for (const TCase& Case : Cases) {
    const bool View = Case.List == &Schema.GetViews() || Case.List == &Schema.GetTemporaryViews();
    EXPECT_EQ(View ? AddError<TORVView>(*Case.List, Case.Name) : AddError<TORVBaseTable>(*Case.List, Case.Name),
              Case.Error)
        << Utf8(Case.List->GetTypeName()) << " " << Utf8(Case.Name);
  }
  // A refused name leaves the lists able to check again.
  EXPECT_NE(AddNamed<TORVBaseTable>(Schema.GetTemporaryTables(), u"u"), nullptr);
  EXPECT_EQ(Schema.GetTemporaryTables().GetCount(), 2);
}

// The working copy the database manager makes of Table while it rebuilds
// it: same ID and name, temporary for the session.
TORVBaseTable* AddWorkingCopy(TORVSchema& Schema, TORVBaseTable* Table) {
  TORVTemporaryTables& Temporary = Schema.GetTemporaryTables();
  std::unique_ptr<TORVBaseTable> Copy(static_cast<TORVBaseTable*>(Temporary.GetNewObject()));
  Copy->Assign(Table, true);
  Copy->SetMaintenance(true);
  Copy->SetTemporaryForSession(true);
  Temporary.Add(Copy.get());
  Table->SetMaintaining(true);
  return Copy.release();
}

TEST(TemporaryTables, WorkingCopyKeepsItsTablesNameAndNothingMarksTheCatalogModified) {
  TCatalogFixture Fixture;
  TORVSchema& Schema = *Fixture.Catalog->GetDefaultSchema();
  TORVBaseTable* Table = Fixture.NewKeyedTable(u"t");
  const int32_t Listed = Schema.GetVirtualTables().GetCount();
  Fixture.Catalog->SetModified(false);
  TORVBaseTable* Copy = AddWorkingCopy(Schema, Table);
  EXPECT_EQ(Copy->GetName(), u"t");
  EXPECT_EQ(Copy->GetID(), Table->GetID());
  TORVBaseTable* Scratch = AddNamed<TORVBaseTable>(Schema.GetTemporaryTables(), u"scratch");
  Scratch->SetDescription(u"never stored");
  Copy->SetIndexPageSize(8192);
  Schema.GetTemporaryTables().SetModified(true);
  EXPECT_FALSE(Fixture.Catalog->GetModified());
  // Only the schema's own tables and views are listed and counted there.
  EXPECT_EQ(Schema.GetVirtualTables().GetCount(), Listed);
  Schema.GetTemporaryTables().Remove(Scratch);
  delete Scratch;
  EXPECT_FALSE(Fixture.Catalog->GetModified());
  // An ordinary temporary table gets no exemption.
  EXPECT_EQ(AddError<TORVBaseTable>(Schema.GetTemporaryTables(), u"T"),
            "400 The table t already exists in the schema Default");
}

TEST(BaseTables, ResetPublishIDsGivesEveryPublishedTableANewID) {
  TCatalogFixture Fixture;
  TORVBaseTable* Published = Fixture.NewKeyedTable(u"p");
  TORVBaseTable* Unpublished = Fixture.NewKeyedTable(u"u");
  Published->SetIsPublished(true);
  const TORVString Before = Published->GetPublishID();
  const int64_t PublishedOn = Published->GetPublishedOn();
  Fixture.Catalog->SetModified(false);
  Fixture.Catalog->GetDefaultSchema()->GetBaseTables().ResetPublishIDs();
  EXPECT_EQ(Published->GetPublishID().size(), 38u);
  EXPECT_NE(Published->GetPublishID(), Before);
  EXPECT_EQ(Published->GetPublishedOn(), PublishedOn);
  EXPECT_TRUE(Unpublished->GetPublishID().empty());
  EXPECT_TRUE(Fixture.Catalog->GetModified());
}

TEST(BaseTable, MaintainedTableForwardsDependencyWorkToItsWorkingCopy) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable(u"t");
  TORVColumn* Column = AddTestColumn(Table->GetColumns(), u"a", dtInteger);
  TORVIndex* Own = test::AddTestIndex(Table, u"ix", itIndex, {u"a"});
  TORVBaseTable* Copy = AddWorkingCopy(*Fixture.Catalog->GetDefaultSchema(), Table);
  TORVIndex* Copied = static_cast<TORVIndex*>(Copy->GetIndexes().FindByName(u"ix", true));
  ASSERT_NE(Copied, Own);

  const auto Dependents = [Column] {
    std::vector<TORVConfigObject*> Objects;
    for (int32_t Index = 0; Index < Column->GetDependencies()->GetCount(); ++Index)
      Objects.push_back(Column->GetDependencies()->GetObjects(Index));
    return Objects;
  };
  Table->AddDependenciesToObject(Column);
  EXPECT_EQ(Dependents(), std::vector<TORVConfigObject*>{Copied});

  // The end of the maintenance brings the work back to the table.
  Table->ResetReferences();
  Column->GetDependencies()->Clear();
  Table->AddDependenciesToObject(Column);
  EXPECT_EQ(Dependents(), std::vector<TORVConfigObject*>{Own});

  Table->SetMaintaining(true);
  Table->ResetDependenciesToObject(Column, 77);
  EXPECT_EQ(Copied->GetIndexColumns()->GetIndexColumn(0)->GetSourceColumnID(), 77);

  // Without its copy the forwarding reports the copy missing.
  Fixture.Catalog->GetDefaultSchema()->GetTemporaryTables().Remove(Copy);
  delete Copy;
  EXPECT_EQ(test::ErrorOf([&] { Table->AddDependenciesToObject(Column); }),
            "401 The temporary table " + Utf8(IntToString(Table->GetID())) + " does not exist in the schema Default");
}

TEST(BaseTable, AlterDifferenceJoinsColumnClausesAndPutsANewIndexInItsOwnStatement) {
  TCatalogFixture Fixture;
  TORVBaseTable* Old = Fixture.NewKeyedTable(u"t");
  AddTestColumn(Old->GetColumns(), u"a", dtInteger);
  AddTestColumn(Old->GetColumns(), u"b", dtCharacter, stVarChar, 10);
  // The new definition is worked out on the table's working copy.
  TORVBaseTable* New = AddWorkingCopy(*Fixture.Catalog->GetDefaultSchema(), Old);
  static_cast<TORVColumn*>(New->GetColumns().FindByName(u"a", true))->SetDescription(u"counted");
  static_cast<TORVColumn*>(New->GetColumns().FindByName(u"b", true))->SetLength(20);
  test::AddTestIndex(New, u"ix", itIndex, {u"a"});
  Old->BuildAlterSQL(1, New, u';');
  EXPECT_EQ(Utf8(Old->GetAlterSQL()),
            "ALTER TABLE \"t\"\r\n"
            "ALTER COLUMN \"a\" AS INTEGER DESCRIPTION 'counted',\r\n"
            "ALTER COLUMN \"b\" AS VARCHAR(20) DESCRIPTION '';\r\n\r\n"
            "CREATE INDEX \"ix\" ON \"t\" (\"a\");");
}

TEST(BaseTable, RestrictedPrivilegesOfASystemTableAreSelectOnly) {
  TCatalogFixture Fixture;
  TORVBaseTable* Table = Fixture.NewKeyedTable();
  TORVRole* Role = test::NewRole(*Fixture.Config, u"clerks");
  Table->GrantRestrictedPrivileges(Fixture.Config->GetSystemUser(), Role);
  int32_t Index = 0;
  EXPECT_TRUE(Table->FindPrivilege(Role, PrivilegeDelete, Index));
  TORVBaseTable System(Fixture.Config.get());
  System.SetSystemObject(true);
  System.GrantRestrictedPrivileges(Fixture.Config->GetSystemUser(), Role);
  EXPECT_TRUE(System.FindPrivilege(Role, PrivilegeSelect, Index));
  EXPECT_FALSE(System.FindPrivilege(Role, PrivilegeInsert, Index));
}

// Every information table builds from its description: "__RowID" and the
// system key first, then the described columns in order and the indexes.
TEST(InformationTables, EveryDescribedTableBuildsThroughDynamicCreation) {
  const std::vector<const TORVConfigObjectsClass*> Classes = {
      &AuthorizationsClass(), &UsersClass(),           &RolesClass(),
      &UserRolesClass(),      &DataTypesClass(),       &ODBCTypesClass(),
      &CollationsClass(),     &SelectedConfigObjectsClass(), &ConfigObjectsDifferenceClass(),
      &DependenciesClass(),   &BaseTablesClass(),      &TemporaryTablesClass(),
      &JobsClass(),           &StoresClass(),          &StorePrivilegesClass(),
      &StoreFilesClass(),     &LogEventsClass(),       &StatementsLoggedClass(),
      &FileIOStatisticsClass(), &SessionStatisticsClass(), &ServerStatisticsClass(),
      &BackupsClass(),        &UpdatesClass(),         &ServerSessionsClass(),
      &ServerSessionLocksClass(), &ModulesClass(),     &TextFiltersClass(),
      &WordGeneratorsClass(), &MigratorsClass(),       &MigratorParamsClass(),
      &MigratorTablesClass(), &MigratorViewsClass(),   &MigratorFunctionsClass(),
      &MigratorProceduresClass(), &IndexesClass(),     &IndexColumnsClass(),
      &ODBCStatisticsClass(), &ConstraintsClass(),     &ConstraintColumnsClass(),
      &ODBCPrimaryKeysClass(), &ODBCForeignKeysClass(), &TriggersClass(),
      &TriggerColumnsClass(), &ODBCTablesClass(),      &TablePrivilegesClass(),
      &ODBCTablePrivilegesClass(), &TableColumnsClass(), &ODBCColumnsClass(),
      &ODBCSpecialColumnsClass(), &ODBCColumnPrivilegesClass(), &SchemasClass(),
      &ProceduresClass(),     &FunctionsClass(),       &ProcedureParamsClass(),
      &FunctionParamsClass(), &ODBCProceduresClass(),  &ODBCProcedureColumnsClass(),
      &ViewsClass(),          &TemporaryViewsClass(),  &SchemaObjectsClass(),
      &SchemaDifferenceClass(), &ViewColumnsClass(),
      &ViewIndexesClass(),    &ViewIndexColumnsClass(), &ViewPrivilegesClass(),
      &ProcedurePrivilegesClass(), &FunctionPrivilegesClass(), &DatabasesClass(),
      &DatabasePrivilegesClass()};
  // The positions the session's row loaders write to, where they are fixed.
  const std::map<TORVString, std::vector<TORVString>> ExpectedColumns = {
      {u"Tables",
       {u"Name", u"Description", u"Attributes", u"Version", u"ReadOnly", u"Encrypted", u"RowSize", u"IndexPageSize",
        u"BlobBlockSize", u"PublishBlockSize", u"PublishCompression", u"MaxRowBufferSize", u"MaxIndexBufferSize",
        u"MaxBlobBufferSize", u"MaxPublishBufferSize", u"Published", u"PublishedOn", u"PublishID", u"PublishType",
        u"DefaultsEnabled", u"GeneratedEnabled", u"CreateSQL", u"DropSQL"}},
      {u"TemporaryTables",
       {u"Name", u"Description", u"Attributes", u"Version", u"ReadOnly", u"Encrypted", u"RowSize", u"IndexPageSize",
        u"BlobBlockSize", u"MaxRowBufferSize", u"MaxIndexBufferSize", u"MaxBlobBufferSize"}},
      {u"TableColumns",
       {u"TableName", u"Name", u"Description", u"Type", u"Collation", u"Length", u"Precision", u"Scale",
        u"BlobCompression", u"Nullable", u"ErrorCode", u"ErrorMessage", u"Generated", u"GeneratedWhen",
        u"GenerateExpr", u"Identity", u"IdentitySeed", u"IdentityIncrement", u"Computed", u"ComputeExpr",
        u"DefaultExpr", u"OrdinalPos", u"CreateSQL", u"DropSQL"}},
      {u"SQLColumns",
       {u"TABLE_CAT", u"TABLE_SCHEM", u"TABLE_NAME", u"COLUMN_NAME", u"DATA_TYPE", u"TYPE_NAME", u"COLUMN_SIZE",
        u"BUFFER_LENGTH", u"DECIMAL_DIGITS", u"NUM_PREC_RADIX", u"NULLABLE", u"REMARKS", u"COLUMN_DEF",
        u"SQL_DATA_TYPE", u"SQL_DATETIME_SUB", u"CHAR_OCTET_LENGTH", u"ORDINAL_POSITION", u"IS_NULLABLE",
        u"COLLATION", u"BLOB_COMPRESSION", u"GENERATED", u"GENERATED_WHEN", u"GENERATE_EXPR", u"IDENTITY",
        u"IDENTITY_SEED", u"IDENTITY_INCREMENT", u"COMPUTED", u"COMPUTE_EXPR", u"ORIGIN"}},
      {u"SQLSpecialColumns",
       {u"SCOPE", u"COLUMN_NAME", u"DATA_TYPE", u"TYPE_NAME", u"COLUMN_SIZE", u"BUFFER_LENGTH", u"DECIMAL_DIGITS",
        u"PSEUDO_COLUMN"}},
      {u"SQLColumnPrivileges",
       {u"TABLE_CAT", u"TABLE_SCHEM", u"TABLE_NAME", u"COLUMN_NAME", u"GRANTOR", u"GRANTEE", u"PRIVILEGE",
        u"IS_GRANTABLE"}},
      {u"Schema", {u"Name", u"Description"}},
      {u"Functions",
       {u"Name", u"Description", u"Attributes", u"Version", u"Implementation", u"Definition", u"ModuleName",
        u"NumParams", u"Type", u"Collation", u"Length", u"Precision", u"Scale", u"CreateSQL", u"DropSQL"}},
      {u"FunctionParams",
       {u"FunctionName", u"Name", u"Description", u"Mode", u"Type", u"Collation", u"Length", u"Precision", u"Scale",
        u"OrdinalPos"}},
      {u"SQLProcedures",
       {u"PROCEDURE_CAT", u"PROCEDURE_SCHEM", u"PROCEDURE_NAME", u"NUM_INPUT_PARAMS", u"NUM_OUTPUT_PARAMS",
        u"NUM_RESULT_SETS", u"REMARKS", u"PROCEDURE_TYPE", u"IMPLEMENTATION", u"DEFINITION", u"MODULE_NAME"}},
      {u"SQLProcedureColumns",
       {u"PROCEDURE_CAT", u"PROCEDURE_SCHEM", u"PROCEDURE_NAME", u"COLUMN_NAME", u"COLUMN_TYPE", u"DATA_TYPE",
        u"TYPE_NAME", u"COLUMN_SIZE", u"BUFFER_LENGTH", u"DECIMAL_DIGITS", u"NUM_PREC_RADIX", u"NULLABLE",
        u"REMARKS", u"COLUMN_DEF", u"SQL_DATA_TYPE", u"SQL_DATETIME_SUB", u"CHAR_OCTET_LENGTH", u"ORDINAL_POSITION",
        u"IS_NULLABLE", u"COLLATION"}},
  };
  // Whole layouts ("Name Type(Length).Scale ci" per column, the indexes
  // after the bar) where a family shares another's form: every privileges
  // table has the one form, and a view's index columns that of a table's.
  // Data types: 1 VarChar, 3/150 CLOB, 4 Boolean, 6 Integer.
  const char* PrivilegesLayout =
      "Name 1(80) ci, Privilege 1(15) ci, GrantedTo 1(80) ci, Grantor 1(80) ci | Name(1) GrantedTo(3)";
  const std::map<TORVString, std::string> ExpectedLayouts = {
      {u"ViewColumns",
       "ViewName 1(80) ci, Name 1(80) ci, Origin 1(240) ci, Type 1(30) ci, Collation 1(80) ci, Length 6, Precision "
       "6, Scale 6, OrdinalPos 6 | ViewName(1) Name(2)"},
      {u"ViewIndexes",
       "ViewName 1(80) ci, Name 1(80) ci, Description 3/150, Type 1(15) ci, CreateSQL 3/150 ci, DropSQL 3/150 ci | "
       "ViewName(1) Name(2)"},
      {u"ViewIndexColumns",
       "ViewName 1(80) ci, IndexName 1(80) ci, ColumnName 1(80) ci, Descending 4, Collation 1(80) ci, OrdinalPos 6 "
       "| ViewName(1) IndexName(2) ColumnName(3)"},
      {u"IndexColumns",
       "TableName 1(80) ci, IndexName 1(80) ci, ColumnName 1(80) ci, Descending 4, Collation 1(80) ci, OrdinalPos "
       "6 | TableName(1) IndexName(2) ColumnName(3)"},
      {u"TablePrivileges", PrivilegesLayout},
      {u"ViewPrivileges", PrivilegesLayout},
      {u"ProcedurePrivileges", PrivilegesLayout},
      {u"FunctionPrivileges", PrivilegesLayout},
      {u"DatabasePrivileges", PrivilegesLayout},
      {u"StorePrivileges", PrivilegesLayout},
  };
  for (const int32_t CharacterSet : {CharacterSetAnsi, CharacterSetUnicode}) {
    TCatalogFixture Fixture(CharacterSet);
    TORVBaseTables& Tables = Fixture.Catalog->GetInformationSchema()->GetBaseTables();
    for (const TORVConfigObjectsClass* Class : Classes) {
      SCOPED_TRACE(Utf8(Class->TableName));
      std::unique_ptr<TORVBaseTable> Made(static_cast<TORVBaseTable*>(Tables.GetNewObject()));
      Made->SetName(Class->TableName);
      Made->SetInternalName(Class->TableName);
      Made->SetReadOnly(true);
      Made->SetDynamicCreation(true);
      Made->SetTableLoadClass(Class);
      Tables.Add(Made.get());
      TORVBaseTable* Table = Made.release();
      Table->CheckDynamicCreation();

      const TORVTableDescription& Description = *Class->Description;
      TORVColumns& Columns = Table->GetColumns();
      ASSERT_EQ(Columns.GetCount(), static_cast<int32_t>(Description.Columns.size()) + 1);
      EXPECT_EQ(Columns.GetColumn(0)->GetName(), u"__RowID");
      EXPECT_TRUE(Columns.GetColumn(0)->GetHidden());
      for (size_t Index = 0; Index < Description.Columns.size(); ++Index) {
        const TORVTableColumnDef& Def = Description.Columns[Index];
        TORVColumn* Column = Columns.GetColumn(static_cast<int32_t>(Index) + 1);
        EXPECT_EQ(Column->GetName(), Def.Name);
        EXPECT_EQ(Column->GetDataType(), Def.DataType);
        if (Def.DataType == dtCharacter) {
          EXPECT_EQ(Column->GetLength(), Def.Length);
        }
        if (Def.Scale != 0) {
          EXPECT_EQ(Column->GetScale(), Def.Scale);
        }
        EXPECT_EQ(GetLocaleFlag(Column->GetCollation(), CollationCaseInsensitiveBit), Def.IgnoreCase);
      }
      ASSERT_EQ(Table->GetIndexes().GetCount(), static_cast<int32_t>(Description.Indexes.size()) + 1);
      EXPECT_EQ(Table->GetIndexes().GetIndex(0)->GetName(), u"__PrimaryKey");
      for (size_t Index = 0; Index < Description.Indexes.size(); ++Index) {
        TORVIndex* Built = Table->GetIndexes().GetIndex(static_cast<int32_t>(Index) + 1);
        EXPECT_EQ(Built->GetName(), Description.Indexes[Index].Name);
        EXPECT_EQ(Built->GetIndexType(), itIndex);
        ASSERT_EQ(Built->GetIndexColumns()->GetCount(),
                  static_cast<int32_t>(Description.Indexes[Index].Positions.size()));
        for (size_t Key = 0; Key < Description.Indexes[Index].Positions.size(); ++Key)
          EXPECT_EQ(Built->GetIndexColumns()->GetIndexColumn(static_cast<int32_t>(Key))->GetSourceColumn(),
                    Columns.GetColumn(Description.Indexes[Index].Positions[Key]));
      }
      const auto Layout = ExpectedLayouts.find(Class->TableName);
      if (Layout != ExpectedLayouts.end()) {
        EXPECT_EQ(test::Layout(Description), Layout->second);
      }
      const auto Expected = ExpectedColumns.find(Class->TableName);
      if (Expected != ExpectedColumns.end()) {
        ASSERT_EQ(Columns.GetCount(), static_cast<int32_t>(Expected->second.size()) + 1);
        for (size_t Index = 0; Index < Expected->second.size(); ++Index)
          EXPECT_EQ(Columns.GetColumn(static_cast<int32_t>(Index) + 1)->GetName(), Expected->second[Index]);
      }
      EXPECT_EQ(Table->GetBlobBlockSize(), GetMinBlockSize(CharacterSet));
      EXPECT_EQ(Table->GetMaxRowBufferSize(), 4096);
      EXPECT_EQ(Table->GetMaxIndexBufferSize(), 8192);
      EXPECT_EQ(Table->GetMaxBlobBufferSize(), 4096);
      int32_t Position = 0;
      EXPECT_TRUE(Table->FindPrivilege(Fixture.Config->GetPublicRole(), PrivilegeSelect, Position));
      // Built once: a second use changes nothing.
      Table->CheckDynamicCreation();
      EXPECT_EQ(Columns.GetCount(), static_cast<int32_t>(Description.Columns.size()) + 1);
    }
  }
}

// A foreign key of From on its "__RowID" that references To.
TORVConstraint* AddForeignKey(TORVBaseTable* From, TORVBaseTable* To, const TORVString& Name) {
  TORVConstraints& Constraints = From->GetConstraints();
  std::unique_ptr<TORVConstraint> Key(static_cast<TORVConstraint*>(Constraints.GetNewObject()));
  Key->SetName(Name);
  Key->SetConstraintType(ctForeignKey);
  TORVConstraintColumns& Columns = *Key->GetConstraintColumns();
  std::unique_ptr<TORVConstraintColumn> Column(static_cast<TORVConstraintColumn*>(Columns.GetNewObject()));
  Column->SetColumn(From->GetColumns().GetColumn(0));
  Columns.Add(Column.get());
  Column.release();
  Constraints.Add(Key.get());
  TORVConstraint* Added = Key.release();
  Added->SetTargetTable(To);
  return Added;
}

TEST(ReferencedTables, EqualStampsPlaceATableAfterTheTablesItReferences) {
  TCatalogFixture Fixture;
  TORVBaseTable* Parent = Fixture.NewKeyedTable(u"parent");
  TORVBaseTable* Child = Fixture.NewKeyedTable(u"child");
  TORVBaseTable* Grandchild = Fixture.NewKeyedTable(u"grandchild");
  TORVBaseTable* Loose = Fixture.NewKeyedTable(u"loose");
  AddForeignKey(Child, Parent, u"toparent");
  AddForeignKey(Grandchild, Child, u"tochild");
  EXPECT_TRUE(Grandchild->DependsUponTable(Parent));
  EXPECT_FALSE(Parent->DependsUponTable(Grandchild));
  EXPECT_EQ(ReferencedTableCompareTimeStamp(Child, Parent), 1);
  EXPECT_EQ(ReferencedTableCompareTimeStamp(Parent, Child), -1);
  EXPECT_EQ(ReferencedTableCompareTimeStamp(Loose, Parent), 0);
  TORVReferencedTables List;
  for (TORVBaseTable* Table : {Grandchild, Loose, Child, Parent}) List.Add(Table);
  List.SortByTimeStamp();
  std::vector<TORVBaseTable*> Order;
  for (int32_t Index = 0; Index < List.GetCount(); ++Index) Order.push_back(List.GetTable(Index));
  const auto At = [&Order](TORVBaseTable* Table) { return std::find(Order.begin(), Order.end(), Table) - Order.begin(); };
  EXPECT_LT(At(Parent), At(Child));
  EXPECT_LT(At(Child), At(Grandchild));
  // A later stamp goes last whatever it references.
  Parent->SetBatchTimeStamp(10);
  List.SortByTimeStamp();
  EXPECT_EQ(List.GetTable(3), Parent);
}

// Tables a and b whose foreign keys "tob" and "toa" reference each other,
// and a table c.
struct TMutualKeysFixture : TCatalogFixture {
  TMutualKeysFixture() {
    AddForeignKey(A, B, u"tob");
    AddForeignKey(B, A, u"toa");
  }
  TORVBaseTable* A = NewKeyedTable(u"a");
  TORVBaseTable* B = NewKeyedTable(u"b");
  TORVBaseTable* C = NewKeyedTable(u"c");
};

TEST(ReferencedTables, KeysReferencingEachOtherEndTheDependencyWalk) {
  TMutualKeysFixture Fixture;
  EXPECT_TRUE(Fixture.A->DependsUponTable(Fixture.B));
  EXPECT_FALSE(Fixture.A->DependsUponTable(Fixture.C));
}

TEST(BaseTable, MutualForeignKeysAreAddedAfterBothTablesAndDroppedBeforeEither) {
  TMutualKeysFixture Fixture;
  TORVBaseTable* A = Fixture.A;
  TORVBaseTable* B = Fixture.B;
  TORVBaseTable* C = Fixture.C;
  AddForeignKey(C, A, u"fromc");
  // A script creates both tables without their keys, then adds them.
  for (TORVBaseTable* Table : {A, B})
    EXPECT_THAT(Utf8(Table->GetCreateSQL(false, false, false)), Not(HasSubstr("FOREIGN KEY")));
  EXPECT_EQ(Utf8(A->GetPostCreateSQL()),
            "ALTER TABLE \"a\"\r\nADD CONSTRAINT \"tob\" FOREIGN KEY (\"__RowID\") REFERENCES \"b\" ()\r\n"
            "   ON UPDATE NO ACTION ON DELETE NO ACTION");
  EXPECT_THAT(Utf8(B->GetPostCreateSQL()), HasSubstr("ALTER TABLE \"b\"\r\nADD CONSTRAINT \"toa\" FOREIGN KEY"));
  EXPECT_EQ(Utf8(A->GetPreDropSQL()), "ALTER TABLE \"a\"\r\nDROP CONSTRAINT \"tob\"");
  EXPECT_EQ(Utf8(B->GetPreDropSQL()), "ALTER TABLE \"b\"\r\nDROP CONSTRAINT \"toa\"");
  // A key that nothing references back stays in its table's CREATE.
  EXPECT_THAT(Utf8(C->GetCreateSQL(true, false, false)), HasSubstr("CONSTRAINT \"fromc\" FOREIGN KEY"));
  EXPECT_EQ(C->GetPostCreateSQL(), u"");
  EXPECT_EQ(C->GetPreDropSQL(), u"");
}

TEST(ReferencedTables, ConstraintTablesAreBuiltOnceUntilReset) {
  TCatalogFixture Fixture;
  TORVBaseTable* Parent = Fixture.NewKeyedTable(u"parent");
  TORVBaseTable* Other = Fixture.NewKeyedTable(u"other");
  TORVBaseTable* Child = Fixture.NewKeyedTable(u"child");
  Parent->SetLockSlot(2);
  Other->SetLockSlot(1);
  AddForeignKey(Child, Parent, u"toparent");
  EXPECT_FALSE(Child->GetHasConstraintTables());
  Child->SetupConstraintTables();
  ASSERT_EQ(Child->GetConstraintTables().GetCount(), 1);
  AddForeignKey(Child, Other, u"toother");
  AddForeignKey(Child, Parent, u"again");
  Child->SetupConstraintTables();
  EXPECT_EQ(Child->GetConstraintTables().GetCount(), 1);
  Child->ResetConstraintTables();
  EXPECT_FALSE(Child->GetHasConstraintTables());
  Child->SetupConstraintTables();
  ASSERT_EQ(Child->GetConstraintTables().GetCount(), 2);
  EXPECT_EQ(Child->GetConstraintTables().GetTable(0), Other);
  EXPECT_EQ(Child->GetConstraintTables().GetTable(1), Parent);
}

TEST(ReferencedTables, RemoveDuplicatesAfterSortingKeepsOneOfEach) {
  TCatalogFixture Fixture;
  TORVBaseTable* A = Fixture.NewKeyedTable(u"a");
  TORVBaseTable* B = Fixture.NewKeyedTable(u"b");
  A->SetLockSlot(2);
  B->SetLockSlot(1);
  TORVReferencedTables List;
  for (TORVBaseTable* Table : {A, B, A, B, A}) List.Add(Table);
  List.SortByLockSlot();
  List.RemoveDuplicates();
  ASSERT_EQ(List.GetCount(), 2);
  EXPECT_EQ(List.GetTable(0), B);
  EXPECT_EQ(List.GetTable(1), A);
  EXPECT_EQ(A->GetParent(), &Fixture.Catalog->GetDefaultSchema()->GetBaseTables());
}

}  // namespace
}  // namespace orv
