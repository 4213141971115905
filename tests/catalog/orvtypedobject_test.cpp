#include "catalog/orvtypedobject.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "catalog/orvcolumns.h"
#include "catalog/orvroutine.h"
#include "core/orvtypefunc.h"

namespace orv {
namespace {

// Columns and routine parameters share their type setters but not their
// sizes: a column's size is its row-buffer slot (a 2-byte VarChar count,
// sized again when the type or subtype changes), a parameter's the value's
// stream (a 4-byte count, kept as it was). Each case types a column and a
// parameter of a Unicode collection alike and compares both.
TEST(TypedCatalogObject, ColumnsSizeTheirRowSlotAndParametersTheirStreamValue) {
  using TSteps = std::function<void(TORVTypedCatalogObject&)>;
  struct TCase {
    const char* Name;
    TSteps Steps;
    int32_t Length;
    int32_t ColumnSize;
    int32_t ParamSize;
  };
  const TCase Cases[] = {
      {"VARCHAR(10)",
       [](TORVTypedCatalogObject& Object) {
         Object.SetDataType(dtCharacter);
         Object.SetLength(10);
       },
       10, 22, 24},
      {"VARCHAR(10) made CHAR",
       [](TORVTypedCatalogObject& Object) {
         Object.SetDataType(dtCharacter);
         Object.SetLength(10);
         Object.SetSubType(stChar);
       },
       10, 20, 24},
      {"VARCHAR(10) made VARBYTE",
       [](TORVTypedCatalogObject& Object) {
         Object.SetDataType(dtCharacter);
         Object.SetLength(10);
         Object.SetDataType(dtBytes);
       },
       10, 12, 24},
      {"CHAR made a GUID",
       [](TORVTypedCatalogObject& Object) {
         Object.SetDataType(dtCharacter);
         Object.SetSubType(stChar);
         Object.SetSubType(stGUID);
       },
       38, 76, 76},
      {"VARCHAR(10) made INTEGER",
       [](TORVTypedCatalogObject& Object) {
         Object.SetDataType(dtCharacter);
         Object.SetLength(10);
         Object.SetDataType(dtInteger);
         Object.SetLength(7);
       },
       0, 4, 4},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TORVColumns Columns;
    Columns.SetCatalogCharacterSet(CharacterSetUnicode);
    std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
    TORVRoutineParams Params;
    Params.SetCatalogCharacterSet(CharacterSetUnicode);
    std::unique_ptr<TORVRoutineParam> Param(static_cast<TORVRoutineParam*>(Params.GetNewObject()));
    Case.Steps(*Column);
    Case.Steps(*Param);
    EXPECT_EQ(Column->GetLength(), Case.Length);
    EXPECT_EQ(Param->GetLength(), Case.Length);
    EXPECT_EQ(Column->GetSize(), Case.ColumnSize);
    EXPECT_EQ(Param->GetSize(), Case.ParamSize);
  }
}

// The attributes a type cannot carry are dropped or refused alike.
TEST(TypedCatalogObject, ScaleAndCollationFollowTheType) {
  TORVColumns Columns;
  TORVRoutineParams Params;
  std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
  std::unique_ptr<TORVRoutineParam> Param(static_cast<TORVRoutineParam*>(Params.GetNewObject()));
  for (TORVTypedCatalogObject* Object : {static_cast<TORVTypedCatalogObject*>(Column.get()),
                                         static_cast<TORVTypedCatalogObject*>(Param.get())}) {
    Object->SetDataType(dtDecimal);
    Object->SetScale(3);
    Object->SetCollation(5);
    EXPECT_EQ(Object->GetScale(), 3);
    EXPECT_EQ(Object->GetCollation(), 0);
    Object->SetDataType(dtCharacter);
    Object->SetCollation(5);
    EXPECT_EQ(Object->GetScale(), 0);
    EXPECT_EQ(Object->GetCollation(), 5);
    EXPECT_EQ(Object->GetDataTypeName(), DataTypeToString(dtCharacter, stVarChar));
  }
}

}  // namespace
}  // namespace orv
