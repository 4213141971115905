#include "catalog/orvdatatype.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/orvconfig.h"
#include "core/orvenv.h"
#include "core/orvtypefunc.h"
#include "tests/catalog/orvconfigroot.h"

namespace orv {
namespace {

TEST(DataTypes, TheBuiltInTypesAreTheTabledEntriesInOrderWithTheirSizes) {
  auto Config = test::NewRoot();
  TORVDataTypes& Types = Config->GetDataTypes();
  EXPECT_EQ(Types.GetCount(), 0);
  LoadConfigDataTypes(Types);
  // The table of built-in types has 34 rows.
  ASSERT_EQ(Types.GetCount(), 34);
  EXPECT_EQ(Types.GetDataType(0)->GetName(), u"Char");
  EXPECT_EQ(Types.GetDataType(33)->GetName(), u"Interval MSecond");
  EXPECT_EQ(Types.GetDataType(33)->GetSubType(), stMSecond);
  EXPECT_EQ(Types.GetDataType(12)->GetDescription(), u"Fixed-point numeric type with a maximum scale of 4");
  struct TCase {
    const char16_t* Name;
    int32_t DataType;
    int32_t SubType;
    int32_t BinarySize;
  };
  const TCase Cases[] = {{u"VarChar", dtCharacter, stVarChar, 0},  {u"CLOB", dtLargeObject, stClob, 0},
                         {u"Boolean", dtBoolean, 0, 1},            {u"SmallInt", dtSmallInt, 0, 2},
                         {u"Timestamp", dtTimeStamp, 0, 8},        {u"Interval Year", dtYearMonthInterval, stYear, 4},
                         {u"Interval Day", dtDayTimeInterval, stDay, 8}, {u"Byte", dtBytes, stByte, 0}};
  for (const TCase& Case : Cases) {
    auto* Type = static_cast<TORVDataType*>(Types.FindByName(Case.Name, true));
    EXPECT_EQ(Type->GetDataType(), Case.DataType) << std::string(Case.Name, Case.Name + 3);
    EXPECT_EQ(Type->GetSubType(), Case.SubType);
    EXPECT_EQ(Type->GetBinarySize(), Case.BinarySize);
    // Data types keep ID 0.
    EXPECT_EQ(Type->GetID(), 0);
  }
  // Lookups ignore case.
  EXPECT_NE(Types.FindByName(u"interval day to msecond", false), nullptr);
}

TEST(Collations, TheBinaryCollationComesFirstByCharacterSetThenEachLocaleOnce) {
  for (int32_t CharacterSet : {CharacterSetUnicode, CharacterSetAnsi}) {
    auto Config = test::NewRoot(CharacterSet);
    TORVCollations& Collations = Config->GetCollations();
    LoadConfigCollations(Collations, CharacterSet, Environment());
    ASSERT_GT(Collations.GetCount(), 1);
    TORVCollation* Binary = Collations.GetCollation(0);
    EXPECT_EQ(Binary->GetID(), 0);
    EXPECT_EQ(Binary->GetName(), CharacterSet == CharacterSetUnicode ? u"UNI" : u"ANSI");
    EXPECT_EQ(Binary->GetDescription(), CharacterSet == CharacterSetUnicode ? u"Unicode (Binary)" : u"ANSI (Binary)");
    // Every locale's collation name is listed once, with the locale's ID.
    const TORVLocale& First = Environment().GetLocales(0);
    TORVConfigObject* Listed = Collations.FindByName(First.GetShortName(), true);
    EXPECT_EQ(Listed->GetID(), First.GetID());
    EXPECT_EQ(Listed->GetDescription(), First.GetName());
    for (int32_t Index = 0; Index < Collations.GetCount(); ++Index)
      for (int32_t Other = Index + 1; Other < Collations.GetCount(); ++Other)
        ASSERT_NE(Collations.GetCollation(Index)->GetName(), Collations.GetCollation(Other)->GetName());
  }
}

TEST(Collations, TheListItselfAcceptsADuplicateName) {
  auto Config = test::NewRoot();
  TORVCollations& Collations = Config->GetCollations();
  for (int32_t ID : {0, 7}) {
    TORVConfigObject* Collation = Collations.GetNewObject();
    Collation->SetID(ID);
    Collation->SetName(u"UNI");
    Collations.Add(Collation);
  }
  EXPECT_EQ(Collations.GetCount(), 2);
  EXPECT_EQ(Collations.GetCollation(1)->GetID(), 7);
}

TEST(DataTypes, TheTablesAreDescribed) {
  EXPECT_EQ(std::u16string(DataTypesClass().TableName), u"DataTypes");
  EXPECT_EQ(DataTypesClass().Description->Columns.size(), 3u);
  EXPECT_EQ(std::u16string(ODBCTypesClass().TableName), u"SQLTypes");
  ASSERT_EQ(ODBCTypesClass().Description->Columns.size(), 20u);
  EXPECT_EQ(std::u16string(ODBCTypesClass().Description->Indexes[0].Name), u"ODBC");
  EXPECT_EQ(ODBCTypesClass().Description->Indexes[0].Positions, std::vector<int32_t>{2});
  EXPECT_EQ(std::u16string(CollationsClass().TableName), u"Collations");
}

}  // namespace
}  // namespace orv
