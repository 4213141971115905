#include "catalog/orvcolumns.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvindexes.h"
#include "core/orvtypefunc.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

std::vector<int32_t> Offsets(const TORVColumns& Columns) {
  std::vector<int32_t> Result;
  for (int32_t Index = 0; Index < Columns.GetCount(); ++Index) Result.push_back(Columns.GetColumn(Index)->GetRowOffset());
  return Result;
}

TEST(Columns, LayOutSlotsAfterTheRowHeader) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddLayoutColumns(Columns);
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 22, 45, 54}));
  EXPECT_EQ(Columns.GetRowsetRowSize(), 57);
  ASSERT_TRUE(Columns.GetHasBlobColumns());
  EXPECT_EQ(Columns.GetBlobColumns()->GetColumn(0)->GetName(), u"Notes");
}

TEST(Columns, ComputedColumnTakesNoSlot) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddTestColumn(Columns, u"ID", dtInteger);
  AddComputedColumn(Columns, u"Twice", dtInteger);
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 10);
  AddTestColumn(Columns, u"Notes", dtLargeObject, stBlob);
  AddTestColumn(Columns, u"Flags", dtSmallInt);
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 22, 22, 45, 54}));
  EXPECT_EQ(Columns.GetRowsetRowSize(), 57);
  EXPECT_TRUE(Columns.GetColumn(1)->GetReadOnly());
  ASSERT_NE(Columns.GetColumn(1)->GetComputeExpr(), nullptr);
  EXPECT_EQ(Columns.GetColumn(1)->GetComputeExpr()->GetTypeName(), u"Twice computed column expression");
}

TEST(Columns, LayoutFollowsRemovalAndTheCharacterSet) {
  TORVColumns Columns;  // ANSI: one byte per character
  AddTestColumn(Columns, u"A", dtCharacter, stVarChar, 10);
  AddTestColumn(Columns, u"B", dtCharacter, stChar, 4);
  AddTestColumn(Columns, u"C", dtBytes, stVarByte, 3);
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 30, 35}));
  EXPECT_EQ(Columns.GetRowsetRowSize(), 41);
  TORVConfigObject* First = Columns.GetObjects(0);
  Columns.Delete(0);
  delete First;
  EXPECT_EQ(Offsets(Columns), (std::vector<int32_t>{17, 22}));
  EXPECT_EQ(Columns.GetColumn(1)->GetPosition(), 1);
  EXPECT_EQ(Columns.GetRowsetRowSize(), 28);
}

TEST(Columns, SelectionsLayNothingOut) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"A", dtInteger);
  AddTestColumn(Columns, u"B", dtInteger);
  TORVSelectedColumns Selection;
  Selection.Add(Columns.GetColumn(1));
  EXPECT_EQ(Columns.GetColumn(1)->GetRowOffset(), 22);
  EXPECT_EQ(Columns.GetColumn(1)->GetPosition(), 1);
  EXPECT_EQ(Columns.GetColumn(1)->GetParent(), &Columns);
}

TEST(Columns, NameLookUpRaisesTheNotFoundError) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"Alpha", dtInteger, 0, 0, 7);
  EXPECT_EQ(Columns.FindByName(u"ALPHA ", false), Columns.GetColumn(0));
  EXPECT_EQ(Columns.FindByID(7, false), Columns.GetColumn(0));
  try {
    Columns.FindByName(u"Beta", true);
    FAIL() << "no error";
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorCode(), 401);
    EXPECT_EQ(Error.ErrorMsg(), u"The column Beta does not exist");
  }
  TORVIndex Index;
  Index.SetName(u"ByAlpha");
  try {
    Index.GetIndexColumns()->FindByID(3, true);
    FAIL() << "no error";
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorMsg(), u"The index column 3 does not exist in the index ByAlpha");
  }
}

}  // namespace
}  // namespace orv
