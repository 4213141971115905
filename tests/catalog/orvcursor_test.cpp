#include "catalog/orvcursor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/orverror.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvcursorrow.h"
#include "catalog/orvindexes.h"
#include "core/orvrowlocks.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {


// An index of Cursor over the columns named, made as a cursor implementation
// describes its table's indexes.
TORVIndex* AddIndex(TORVCursor& Cursor, const TORVString& Name, int32_t IndexType,
                    std::initializer_list<const char16_t*> ColumnNames, bool CaseInsensitive = false) {
  std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Cursor.GetIndexes()->GetNewObject()));
  Index->SetName(Name);
  Index->SetIndexType(IndexType);
  for (const char16_t* ColumnName : ColumnNames) {
    TORVIndexColumns& Keys = *Index->GetIndexColumns();
    std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Keys.GetNewObject()));
    Key->SetSourceColumn(static_cast<TORVColumn*>(Cursor.GetColumns()->FindByName(ColumnName, true)));
    if (CaseInsensitive) Key->SetCollation(Key->GetCollation() | CollationCaseInsensitiveFlag);
    Keys.Add(Key.release());
  }
  Cursor.GetIndexes()->Add(Index.get());
  return Index.release();
}

// A cursor of customers: the row ID, a name, a city and a number, with
// three rows.
class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TORVColumns& Columns = *Cursor.GetColumns();
    AddTestColumn(Columns, u"__RowID", dtInteger, 0, 0, 1)->SetHidden(true);
    AddTestColumn(Columns, u"alpha", dtCharacter, stVarChar, 10, 2);
    AddTestColumn(Columns, u"beta", dtCharacter, stVarChar, 10, 3);
    AddTestColumn(Columns, u"gamma", dtInteger, 0, 0, 4);
    Cursor.MapDefaultTableColumns();
    const char16_t* Names[] = {u"ann", u"bob", u"cy"};
    for (int32_t Index = 0; Index < 3; ++Index) {
      auto Row = Cursor.CreateRow(true);
      Row->SetNumber(Index + 1);
      Row->GetValues()->GetItems(0)->SetAsInteger(Index + 1);
      Row->GetValues()->GetItems(1)->SetAsString(Names[Index]);
      Row->GetValues()->GetItems(2)->SetAsString(u"Paris");
      Row->GetValues()->GetItems(3)->SetAsInteger(10 * (Index + 1));
      Cursor.AppendRow(*Row);
    }
  }

  TFakeCursor Cursor{CharacterSetAnsi};
};

TEST(CursorRow, RecordOfOneIntegerRow) {
  TFakeCursor Cursor(CharacterSetAnsi);
  AddTestColumn(*Cursor.GetColumns(), u"ID", dtInteger, 0, 0, 1);
  auto Row = Cursor.CreateRow(true);
  Row->SetNumber(7);
  Row->SetVersion(1);
  Row->GetValues()->GetItems(0)->SetAsInteger(5);
  TORVMemoryStream Record(CharacterSetAnsi);
  Row->Save(Record);
  EXPECT_EQ(StreamBytes(Record), (TORVBytes{0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x05, 0x00, 0x00, 0x00}));
  auto Copy = Cursor.CreateRow(true);
  Record.SetPosition(0);
  Copy->Load(Record);
  EXPECT_TRUE(Copy->Compare(*Row));
  Copy->SetStatus(2);
  EXPECT_FALSE(Copy->Compare(*Row));
}

TEST(CursorRow, RecordCarriesModifiedFlagsAndLargeObjects) {
  TFakeCursor Cursor(CharacterSetAnsi);
  AddTestColumn(*Cursor.GetColumns(), u"ID", dtInteger, 0, 0, 1);
  AddTestColumn(*Cursor.GetColumns(), u"Notes", dtLargeObject, stBlob, 0, 2);
  auto Row = Cursor.CreateRow(true);
  Row->SetNumber(3);
  Row->GetValues()->GetItems(1)->SetAsBytes({0xAA, 0xBB});
  TORVMemoryStream Record(CharacterSetAnsi);
  Row->Save(Record, true, true);
  // Header 17, slots 5 + 9, flags 2, count 4, entry 4 + 4 + 2.
  ASSERT_EQ(Record.GetSize(), 17 + 14 + 2 + 4 + 10);
  EXPECT_EQ(BufferSlice(Record, 31, 2), (TORVBytes{0x00, 0x01}));
  EXPECT_EQ(BufferSlice(Record, 33, 14), (TORVBytes{1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0xAA, 0xBB}));

  auto Copy = Cursor.CreateRow(true);
  Record.SetPosition(0);
  Copy->Load(Record, true, true);
  EXPECT_EQ(Copy->GetNumber(), 3);
  EXPECT_TRUE(Copy->GetValues()->GetRowValue(1)->GetModified());
  EXPECT_EQ(Copy->GetValues()->GetItems(1)->GetAsBytes(), (TORVBytes{0xAA, 0xBB}));

  // An entry that names a column without a large object is refused and the
  // row keeps what it held.
  Record.GetMemory()[37] = 0x00;  // the entry's column position becomes 0
  Record.SetPosition(0);
  auto Other = Cursor.CreateRow(true);
  Other->SetNumber(9);
  EXPECT_THROW(Other->Load(Record, true, true), EORVException);
  EXPECT_EQ(Other->GetNumber(), 9);
  // A size beyond the record is refused too.
  Record.GetMemory()[37] = 0x01;
  Record.GetMemory()[41] = 0x7F;
  Record.SetPosition(0);
  EXPECT_THROW(Other->Load(Record, true, true), EORVException);
}

TEST_F(CursorTest, EmptyIndexNameChoosesThePrimaryKeyElseThePlainIndex) {
  AddIndex(Cursor, u"ByText", itTextIndex, {u"beta"});
  AddIndex(Cursor, u"ByAlpha", itIndex, {u"alpha"});
  Cursor.SetActiveIndexName(u"");
  EXPECT_EQ(Cursor.GetActiveIndex(), 1);
  EXPECT_EQ(Cursor.GetActiveIndexName(), u"ByAlpha");
  EXPECT_TRUE(Cursor.GetBookmarkRowID());
  AddIndex(Cursor, u"PK", itPrimaryKey, {u"gamma"});
  Cursor.SetActiveIndexName(u"bytext");
  EXPECT_EQ(Cursor.GetActiveIndex(), 0);
  Cursor.SetActiveIndexName(u"");
  EXPECT_EQ(Cursor.GetActiveIndex(), 2);
  EXPECT_FALSE(Cursor.GetBookmarkRowID());
  ASSERT_EQ(Cursor.GetBookmarkColumns()->GetCount(), 1);
  EXPECT_EQ(Cursor.GetBookmarkColumns()->GetIndexColumn(0)->GetSourceColumn()->GetName(), u"gamma");
  EXPECT_EQ(test::ErrorOf([&] { Cursor.SetActiveIndexName(u"Nope"); }), "401 The index Nope does not exist");
  EXPECT_EQ(Cursor.GetActiveIndex(), 2);
  // The current index, -1 and the count change nothing.
  for (const int32_t Value : {2, -1, 3}) {
    Cursor.SetActiveIndex(Value);
    EXPECT_EQ(Cursor.GetActiveIndexName(), u"PK");
  }
}

TEST_F(CursorTest, ColumnsForNamesIgnoreLeadingBlanks) {
  auto Columns = Cursor.GetColumnsForNames(u"alpha; beta;gamma");
  ASSERT_EQ(Columns->GetCount(), 3);
  EXPECT_EQ(Columns->GetCursorColumn(1)->GetName(), u"beta");
  EXPECT_EQ(Columns->GetCursorColumn(2)->GetSourceColumn(), Cursor.GetColumns()->GetColumn(3));
  // The hidden row ID has no cursor column.
  EXPECT_EQ(Cursor.GetCursorColumns()->GetCount(), 3);
  // An unknown name raises; the partial list is freed (the sanitizer would
  // report a leak).
  EXPECT_EQ(test::ErrorOf([&] { Cursor.GetColumnsForNames(u"alpha;delta"); }), "401 The column delta does not exist");
  EXPECT_EQ(Cursor.GetColumnsForNames(std::vector<TORVString>{u" gamma"})->GetCount(), 1);
}

TEST_F(CursorTest, KeysAndBookmarksFollowTheActiveIndex) {
  AddIndex(Cursor, u"Three", itIndex, {u"alpha", u"beta", u"gamma"});
  auto Row = Cursor.CreateRow(true);
  Cursor.MoveTo(1);
  Cursor.InternalGetCurrentRow(*Row);
  Cursor.PopulateKey(*Row, 1);
  EXPECT_EQ(Row->GetKeyValues()->GetCount(), 0);  // no active index yet
  Cursor.SetActiveIndex(0);
  Cursor.PopulateKey(*Row, 1);
  ASSERT_EQ(Row->GetKeyValues()->GetCount(), 1);
  EXPECT_EQ(Row->GetKeyValues()->GetItems(0), Row->GetValues()->GetItems(1));
  Cursor.PopulateKey(*Row, -1);
  EXPECT_EQ(Row->GetKeyValues()->GetCount(), 3);
  Cursor.PopulateKey(*Row, 9);
  EXPECT_EQ(Row->GetKeyValues()->GetCount(), 3);
  EXPECT_EQ(Row->GetKeyValues()->GetRowID(), 2);
  Row->ResetBookmarkValues();
  ASSERT_EQ(Row->GetBookmarkValues()->GetCount(), 3);
  EXPECT_EQ(Row->GetBookmarkValues()->GetItems(2)->GetAsInteger(), 20);
  // A bookmark held apart: one own value per key column, typed like it.
  TORVContainedBookmarkValues Bookmark(&Cursor);
  ASSERT_EQ(Bookmark.GetCount(), 3);
  EXPECT_EQ(Bookmark.GetItems(0)->GetDataType(), dtCharacter);
  EXPECT_EQ(Bookmark.GetItems(2)->GetDataType(), dtInteger);
  Bookmark.Assign(*Row->GetBookmarkValues());
  EXPECT_EQ(Bookmark.GetItems(0)->GetAsString(), u"bob");
  EXPECT_EQ(Bookmark.GetRowID(), 2);
  EXPECT_EQ(Cursor.GetPartialLength(*Row->GetKeyValues()), 0);
  Cursor.PopulateKey(*Row, 2);
  EXPECT_EQ(Cursor.GetPartialLength(*Row->GetKeyValues()), 5);
}

TEST_F(CursorTest, IndexForColumnsSkipsTextAndOtherCaseIndexes) {
  AddIndex(Cursor, u"Text", itTextIndex, {u"alpha"}, true);
  AddIndex(Cursor, u"Sensitive", itIndex, {u"alpha", u"beta"});
  AddIndex(Cursor, u"Insensitive", itUnique, {u"alpha", u"beta"}, true);
  AddIndex(Cursor, u"Short", itIndex, {u"gamma"});
  auto Columns = Cursor.GetColumnsForNames(u"alpha;beta");
  EXPECT_EQ(Cursor.GetIndexForColumns(*Columns, true)->GetName(), u"Insensitive");
  EXPECT_EQ(Cursor.GetIndexForColumns(*Columns, false)->GetName(), u"Sensitive");
  auto Gamma = Cursor.GetColumnsForNames(u"gamma;alpha");
  EXPECT_EQ(Cursor.GetIndexForColumns(*Gamma, false), nullptr);
  Cursor.SetActiveIndex(2);
  auto ForIndex = Cursor.GetColumnsForActiveIndex();
  ASSERT_EQ(ForIndex->GetCount(), 2);
  EXPECT_EQ(ForIndex->GetCursorColumn(1)->GetName(), u"beta");
}

TEST_F(CursorTest, FilteredPositionMovesToAnAcceptedRow) {
  auto FilterRow = Cursor.CreateRow(true);
  Cursor.SetFilterRow(FilterRow.get());
  Cursor.SetOnFilterRow([&](bool& Accept) { Accept = FilterRow->GetValues()->GetItems(3)->GetAsInteger() != 20; });
  Cursor.MoveTo(0);
  EXPECT_TRUE(Cursor.ValidateFilteredPosition(1));
  EXPECT_EQ(Cursor.GetPositionIndex(), 0);
  Cursor.MoveTo(1);
  EXPECT_FALSE(Cursor.ValidateFilteredPosition(1));
  EXPECT_EQ(Cursor.GetPositionIndex(), 2);
  Cursor.MoveTo(1);
  EXPECT_FALSE(Cursor.ValidateFilteredPosition(2));
  EXPECT_EQ(Cursor.GetPositionIndex(), 0);
  // A handler that leaves Accept alone accepts.
  Cursor.SetOnFilterRow([](bool&) {});
  Cursor.MoveTo(1);
  EXPECT_TRUE(Cursor.ValidateFilteredPosition(1));
}

TEST_F(CursorTest, CloneIsReadyToInsertAsACopy) {
  Cursor.MoveTo(2);
  auto Clone = Cursor.CreateRow(true);
  Cursor.CloneCurrentRow(*Clone);
  EXPECT_EQ(Clone->GetNumber(), 0);
  EXPECT_EQ(Clone->GetUpdateCounter(), 0);
  EXPECT_EQ(Clone->GetValues()->GetItems(0)->GetAsInteger(), 0);
  EXPECT_EQ(Clone->GetValues()->GetItems(1)->GetAsString(), u"cy");
  for (int32_t Index = 0; Index < Clone->GetValues()->GetCount(); ++Index)
    EXPECT_TRUE(Clone->GetValues()->GetRowValue(Index)->GetModified()) << Index;
}

TEST_F(CursorTest, RowValuesAreValidatedAgainstTheCurrentRow) {
  auto Columns = Cursor.GetColumnsForNames(u"beta;alpha");
  TORVContainedCursorColumnValues Values(Columns.get());
  Values.GetItems(0)->SetAsString(u"PARIS");
  Values.GetItems(1)->SetAsString(u"bo");
  Cursor.MoveTo(1);
  Cursor.ValidatePosition();
  EXPECT_FALSE(Cursor.ValidateRowValues(*Columns, Values, 0, true));
  EXPECT_TRUE(Cursor.ValidateRowValues(*Columns, Values, 2, true));
  EXPECT_FALSE(Cursor.ValidateRowValues(*Columns, Values, 2, false));
}

TEST_F(CursorTest, LocksUpdatesAndFilterErrors) {
  Cursor.MoveTo(1);
  auto Row = Cursor.CreateRow(true);
  Cursor.InternalGetCurrentRow(*Row);
  Row->SetNumber(2);
  EXPECT_FALSE(Cursor.GetRowLocked());
  Cursor.LockRow(*Row, 0, 0);
  EXPECT_TRUE(Cursor.GetRowLocked());
  Cursor.UnlockRow(*Row);
  EXPECT_FALSE(Cursor.GetRowLocked());
  Cursor.CheckUpdateable();
  TFakeCursor ReadOnly(CharacterSetAnsi, true);
  EXPECT_EQ(test::ErrorOf([&] { ReadOnly.CheckUpdateable(); }),
            "1000 An error occurred with the cursor cust (An attempt was made to update a read-only cursor)");
  EXPECT_EQ(test::ErrorOf([&] { Cursor.FilterError(u"bad"); }), "1001 A filter error occurred (bad)");
}

TEST_F(CursorTest, CursorColumnRecordEndsWithItsSourceColumn) {
  TORVCursorColumn& Beta = *Cursor.GetCursorColumns()->GetCursorColumn(1);
  Beta.SetID(12);
  Beta.SetDescription(u"city");
  TORVMemoryStream Record(CharacterSetAnsi);
  Beta.Save(Record, false);
  EXPECT_EQ(BufferSlice(Record, static_cast<int32_t>(Record.GetSize()) - 6, 6), (TORVBytes{0, 0, 3, 0, 0, 0}));
  std::unique_ptr<TORVCursorColumn> Loaded(static_cast<TORVCursorColumn*>(Cursor.GetCursorColumns()->GetNewObject()));
  Record.SetPosition(0);
  Loaded->Load(Record);
  EXPECT_EQ(Loaded->GetID(), 12);
  EXPECT_EQ(Loaded->GetName(), u"beta");
  EXPECT_EQ(Loaded->GetDescription(), u"city");
  EXPECT_EQ(Loaded->GetSourceColumn(), Cursor.GetColumns()->GetColumn(2));
  EXPECT_TRUE(Loaded->Compare(&Beta, true));
  Loaded->SetSourceColumn(Cursor.GetColumns()->GetColumn(1));
  EXPECT_FALSE(Loaded->Compare(&Beta, true));
}

TEST_F(CursorTest, MappedColumnsRecordHoldsPositions) {
  auto Columns = Cursor.GetColumnsForNames(u"gamma;alpha");
  TORVMemoryStream Record(CharacterSetAnsi);
  Columns->Save(Record, false);
  EXPECT_EQ(StreamBytes(Record), (TORVBytes{2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}));
  TORVMappedCursorColumns Loaded(&Cursor);
  Record.SetPosition(0);
  Loaded.Load(Record);
  ASSERT_EQ(Loaded.GetCount(), 2);
  EXPECT_EQ(Loaded.GetCursorColumn(0)->GetName(), u"gamma");
  Record.GetMemory()[4] = 7;
  Record.SetPosition(0);
  EXPECT_THROW(Loaded.Load(Record), EORVException);
  EXPECT_EQ(Loaded.GetCount(), 2);
}

}  // namespace
}  // namespace orv
