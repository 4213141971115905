#include "catalog/orvtable.h"

#include <gtest/gtest.h>

#include <memory>

#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvschema.h"
#include "catalog/orvtrigger.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

class VirtualTableFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Config = test::NewRoot(CharacterSetUnicode);
    Catalog = std::make_unique<TORVCatalog>(Config.get());
    Catalog->SetVersion(EngineCatalogVersion);
  }
  void TearDown() override {
    Catalog.reset();
    Config.reset();
  }

  // t (__RowID, a INTEGER) with a normal index on a.
  TORVBaseTable* NewIndexedTable(const TORVString& Name) {
    TORVBaseTable* Table = test::NewTable(*Catalog, Name);
    TORVColumn* A = AddTestColumn(Table->GetColumns(), u"a", dtInteger);
    AddIndex(*Table, u"ia", itIndex, A);
    return Table;
  }

  static TORVIndex* AddIndex(TORVVirtualTable& Table, const TORVString& Name, int32_t IndexType, TORVColumn* Column) {
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Table.GetIndexes().GetNewObject()));
    Index->SetName(Name);
    Index->SetIndexType(IndexType);
    std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Index->GetIndexColumns()->GetNewObject()));
    Key->SetSourceColumn(Column);
    Index->GetIndexColumns()->Add(Key.release());
    Table.GetIndexes().Add(Index.get());
    return Index.release();
  }

  static void AddTrigger(TORVVirtualTable& Table, const TORVString& Name) {
    std::unique_ptr<TORVTrigger> Trigger(static_cast<TORVTrigger*>(Table.GetTriggers().GetNewObject()));
    Trigger->SetName(Name);
    Trigger->SetActionTime(taAfter);
    Trigger->SetActionType(tyInsert);
    Trigger->GetDefinition()->SetExpression(u"TRIGGER \"" + Name + u"\"\r\nBEGIN END");
    Table.GetTriggers().Add(Trigger.get());
    Trigger.release();
  }

  std::unique_ptr<TORVConfig> Config;
  std::unique_ptr<TORVCatalog> Catalog;
};

TEST_F(VirtualTableFixture, NewTableHasUserVersionOneAndNoLockSlot) {
  TORVBaseTable* Table = test::NewTable(*Catalog, u"t");
  EXPECT_EQ(Table->GetUserVersion(), TORVCurrency::FromInt(1));
  EXPECT_EQ(Table->GetLockSlot(), 0);
  EXPECT_EQ(Table->GetSchema(), Catalog->GetDefaultSchema());
  EXPECT_EQ(Table->GetLockSpaceKind(), lkTable);
}

TEST_F(VirtualTableFixture, StreamRoundTripsColumnsIndexesAndLockSlotButNoRunTimeFlags) {
  TORVBaseTable* Table = NewIndexedTable(u"t");
  Table->SetLockSlot(7);
  Table->SetUserVersion(TORVCurrency::FromScaled(12500));
  Table->SetMaintaining(true);
  Table->SetCached(true);
  TORVMemoryStream Stream(CharacterSetUnicode);
  Table->Save(Stream, false);

  TORVBaseTable* Loaded = test::NewTable(*Catalog, u"u");
  Stream.SetPosition(0);
  Loaded->Load(Stream);
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
  EXPECT_EQ(Loaded->GetLockSlot(), 7);
  EXPECT_EQ(Loaded->GetUserVersion(), TORVCurrency::FromScaled(12500));
  ASSERT_EQ(Loaded->GetIndexes().GetCount(), 1);
  EXPECT_EQ(Loaded->GetIndexes().GetIndex(0)->GetIndexColumns()->GetIndexColumn(0)->GetSourceColumn()->GetName(), u"a");
  EXPECT_FALSE(Loaded->GetMaintaining());
  EXPECT_FALSE(Loaded->GetCached());
  EXPECT_TRUE(Loaded->Compare(Table, true));
}

TEST_F(VirtualTableFixture, TriggersAreReadAtThisLevelOnlyAfter102) {
  TORVUser* Owner = test::NewUser(*Config, u"owner");
  TORVBaseTable* Source = NewIndexedTable(u"t");
  AddTrigger(*Source, u"audit");
  Source->SetLockSlot(5);

  // A 1.02 stream: the object header, the owner by ID, no grants, columns,
  // indexes and the lock slot; its base table keeps the triggers elsewhere.
  Catalog->SetVersion(TORVCurrency::FromScaled(10200));
  TORVMemoryStream Old(CharacterSetUnicode);
  Source->TORVConfigObject::Save(Old, false);
  Old.WriteInteger(Owner->GetID());
  Old.WriteInteger(0);
  Source->GetColumns().Save(Old, false);
  Source->GetIndexes().Save(Old, false);
  Old.WriteInteger(5);
  TORVBaseTable* FromOld = test::NewTable(*Catalog, u"u");
  Old.SetPosition(0);
  FromOld->TORVVirtualTable::Load(Old);
  EXPECT_EQ(Old.GetPosition(), Old.GetSize());
  EXPECT_EQ(FromOld->GetOwner(), Owner);
  EXPECT_EQ(FromOld->GetIndexes().GetCount(), 1);
  EXPECT_EQ(FromOld->GetTriggers().GetCount(), 0);
  EXPECT_EQ(FromOld->GetLockSlot(), 5);

  // Later streams carry them between the indexes and the lock slot.
  Catalog->SetVersion(EngineCatalogVersion);
  TORVMemoryStream Current(CharacterSetUnicode);
  Source->TORVVirtualTable::Save(Current, false);
  TORVBaseTable* FromCurrent = test::NewTable(*Catalog, u"v");
  Current.SetPosition(0);
  FromCurrent->TORVVirtualTable::Load(Current);
  EXPECT_EQ(Current.GetPosition(), Current.GetSize());
  ASSERT_EQ(FromCurrent->GetTriggers().GetCount(), 1);
  EXPECT_EQ(FromCurrent->GetTriggers().GetTrigger(0)->GetName(), u"audit");
  EXPECT_EQ(FromCurrent->GetLockSlot(), 5);
}

TEST_F(VirtualTableFixture, ChecksumLeavesOutTriggersAndTheLockSlot) {
  TORVBaseTable* Table = NewIndexedTable(u"t");
  const uint32_t Before = Table->GetCRC32();
  Table->SetLockSlot(12);
  EXPECT_EQ(Table->GetCRC32(), Before);
  AddTrigger(*Table, u"audit");
  EXPECT_EQ(Table->GetCRC32(), Before);
  Table->GetIndexes().GetIndex(0)->SetName(u"other");
  EXPECT_NE(Table->GetCRC32(), Before);
}

TEST_F(VirtualTableFixture, MaintenanceCopyChecksumsLikeTheTableWithoutItsWorkingIndexes) {
  TORVBaseTable* Table = NewIndexedTable(u"t");
  TORVBaseTable* Copy = NewIndexedTable(u"t2");
  Copy->SetName(u"t");
  Copy->SetMaintenance(true);
  TORVIndex* Working = AddIndex(*Copy, u"work", itIndex, static_cast<TORVColumn*>(Copy->GetColumns().GetObjects(1)));
  Working->SetSystemObject(true);
  EXPECT_EQ(Copy->GetCRC32(), Table->GetCRC32());
  // A key index whose constraint the copy no longer has is left out too.
  TORVIndex* Key = AddIndex(*Copy, u"key", itUnique, static_cast<TORVColumn*>(Copy->GetColumns().GetObjects(1)));
  Key->SetOwnerConstraintID(Catalog->GetNextID());
  EXPECT_EQ(Key->GetOwnerConstraint(), nullptr);
  EXPECT_EQ(Copy->GetCRC32(), Table->GetCRC32());
  // Outside maintenance the missing constraint is an error, and the key
  // index counts.
  Copy->SetMaintenance(false);
  Key->ResetReferences();
  EXPECT_NE(test::ErrorOf([&] { Key->GetOwnerConstraint(); }), "no error");
  Key->SetOwnerConstraintID(0);
  EXPECT_NE(Copy->GetCRC32(), Table->GetCRC32());
}

TEST_F(VirtualTableFixture, MaintenanceCopyNameIsNotValidated) {
  TORVBaseTable* Table = test::NewTable(*Catalog, u"t");
  EXPECT_TRUE(Table->GetNameValidation());
  Table->SetMaintenance(true);
  EXPECT_FALSE(Table->GetNameValidation());
}

TEST_F(VirtualTableFixture, UserVersionIsWrittenAlwaysButReadOnlyFrom204On) {
  for (int64_t Version : {20300, 20400}) {
    Catalog->SetVersion(TORVCurrency::FromScaled(Version));
    TORVBaseTable* Table = test::NewTable(*Catalog, u"t" + IntToString(static_cast<int32_t>(Version)));
    Table->SetUserVersion(TORVCurrency::FromInt(3));
    TORVMemoryStream Stream(CharacterSetUnicode);
    Table->TORVPrivilegedSchemaObject::Save(Stream, false);
    Stream.SetPosition(0);
    TORVBaseTable* Loaded = test::NewTable(*Catalog, u"u" + IntToString(static_cast<int32_t>(Version)));
    Loaded->TORVPrivilegedSchemaObject::Load(Stream);
    // Older base tables carry the version in their own part of the stream.
    EXPECT_EQ(Loaded->GetUserVersion(), TORVCurrency::FromInt(Version < 20400 ? 1 : 3));
    if (Version >= 20400) {
      EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
    }
  }
}

TEST_F(VirtualTableFixture, SystemColumnsPutTheRowIDFirst) {
  TORVBaseTables& Tables = Catalog->GetDefaultSchema()->GetBaseTables();
  std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject()));
  Table->SetName(u"t");
  Table->CreateSystemColumns();
  ASSERT_EQ(Table->GetColumns().GetCount(), 1);
  EXPECT_EQ(Table->GetColumns().GetColumn(0)->GetName(), u"__RowID");
  EXPECT_EQ(Table->GetColumns().GetColumn(0)->GetDataType(), dtInteger);
  EXPECT_TRUE(Table->GetColumns().GetColumn(0)->GetHidden());
}

TEST_F(VirtualTableFixture, NewLockSlotIsTheLowestFreeOneOfTheDefaultSchema) {
  for (int32_t Slot : {1, 2, 4}) test::NewTable(*Catalog, u"t" + IntToString(Slot))->SetLockSlot(Slot);
  EXPECT_EQ(Catalog->GetNewVirtualTableLockSlot(), 3);
  TORVSchema* Schema = Catalog->GetDefaultSchema();
  for (int32_t Slot = 3; Slot <= 4096; ++Slot) {
    if (Slot == 4) continue;
    std::unique_ptr<TORVView> View(static_cast<TORVView*>(Schema->GetViews().GetNewObject()));
    View->SetName(u"v" + IntToString(Slot));
    View->SetLockSlot(Slot);
    Schema->GetViews().Add(View.release());
  }
  EXPECT_EQ(Catalog->GetNewVirtualTableLockSlot(), 0);
}

TEST_F(VirtualTableFixture, VirtualTableListSortsByLockSlotAndOwnsNothing) {
  TORVVirtualTables List;
  TORVBaseTable* A = test::NewTable(*Catalog, u"a");
  TORVBaseTable* B = test::NewTable(*Catalog, u"b");
  A->SetLockSlot(9);
  B->SetLockSlot(2);
  List.Add(A);
  List.Add(B);
  List.SortByLockSlot();
  EXPECT_EQ(List.GetVirtualTable(0), B);
  EXPECT_EQ(List.GetVirtualTable(1), A);
  EXPECT_EQ(List.MaximumObjectsAllowed(), 4096);
  EXPECT_EQ(A->GetPosition(), 0);
}

TEST_F(VirtualTableFixture, InformationTablesTakeTheCommonForm) {
  TORVBaseTable* Table = test::NewTable(*Catalog, u"Indexes");
  BuildInformationTable(*Table, *IndexesClass().Description);
  EXPECT_EQ(Table->GetBlobBlockSize(), 128);
  EXPECT_EQ(Table->GetMaxRowBufferSize(), 4096);
  EXPECT_EQ(Table->GetMaxIndexBufferSize(), 8192);
  EXPECT_EQ(Table->GetMaxBlobBufferSize(), 4096);
  TORVColumns& Columns = Table->GetColumns();
  ASSERT_EQ(Columns.GetCount(), 11);
  EXPECT_EQ(Columns.GetColumn(1)->GetName(), u"TableName");
  EXPECT_EQ(Columns.GetColumn(1)->GetLength(), 80);
  EXPECT_TRUE(GetLocaleFlag(Columns.GetColumn(1)->GetCollation(), CollationCaseInsensitiveBit));
  EXPECT_EQ(Columns.GetColumn(3)->GetDataType(), dtLargeObject);
  EXPECT_EQ(Columns.GetColumn(3)->GetSubType(), stClob);
  EXPECT_FALSE(GetLocaleFlag(Columns.GetColumn(3)->GetCollation(), CollationCaseInsensitiveBit));
  EXPECT_EQ(Columns.GetColumn(6)->GetDataType(), dtInteger);
  TORVIndexes& Indexes = Table->GetIndexes();
  ASSERT_EQ(Indexes.GetCount(), 3);
  EXPECT_EQ(Indexes.GetIndex(2)->GetName(), u"Type");
  EXPECT_EQ(Indexes.GetIndex(2)->GetIndexType(), itIndex);
  EXPECT_EQ(Indexes.GetIndex(2)->GetIndexColumns()->GetIndexColumn(0)->GetSourceColumn(), Columns.GetColumn(4));

  TORVBaseTable* Statistics = test::NewTable(*Catalog, u"SQLStatistics");
  BuildInformationTable(*Statistics, *ODBCStatisticsClass().Description);
  TORVIndexColumns& Odbc = *Statistics->GetIndexes().GetIndex(0)->GetIndexColumns();
  ASSERT_EQ(Odbc.GetCount(), 5);
  EXPECT_EQ(Odbc.GetIndexColumn(0)->GetName(), u"NON_UNIQUE");
  EXPECT_EQ(Odbc.GetIndexColumn(4)->GetName(), u"ORDINAL_POSITION");
  EXPECT_EQ(Statistics->GetColumns().GetColumn(10)->GetSubType(), stChar);

  // The ODBC tables' index orders by the table type first.
  TORVBaseTable* Tables = test::NewTable(*Catalog, u"SQLTables");
  BuildInformationTable(*Tables, *ODBCTablesClass().Description);
  EXPECT_EQ(Tables->GetColumns().GetColumn(4)->GetName(), u"TABLE_TYPE");
  EXPECT_EQ(Tables->GetColumns().GetColumn(6)->GetScale(), 2);
  EXPECT_EQ(Tables->GetIndexes().GetIndex(0)->GetIndexColumns()->GetIndexColumn(0)->GetName(), u"TABLE_TYPE");
}

}  // namespace
}  // namespace orv
