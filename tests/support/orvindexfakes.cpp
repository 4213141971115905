#include "tests/support/orvindexfakes.h"

#include "core/orvtypefunc.h"
#include "tests/support/orvrowfakes.h"

namespace orv {

TTestIndexColumns::TTestIndexColumns(int32_t CharacterSetToUse) : CharacterSet(CharacterSetToUse) {
  Columns.SetCatalogCharacterSet(CharacterSetToUse);
  AddTestColumn(Columns, u"n", dtInteger, 0, 0, 1);
  AddTestColumn(Columns, u"name", dtCharacter, stVarChar, 6, 2);
  AddTestColumn(Columns, u"code", dtCharacter, stChar, 3, 3);
  AddTestColumn(Columns, u"big", dtBigInt, 0, 0, 4);
}

std::unique_ptr<TORVIndex> TTestIndexColumns::MakeIndex(int32_t IndexType, std::initializer_list<int32_t> Positions,
                                                        std::initializer_list<bool> Descending) {
  auto Index = std::make_unique<TORVIndex>();
  Index->SetName(u"idx");
  Index->SetIndexType(IndexType);
  if (IndexType == itTextIndex) Index->SetTextWordLength(5);
  TORVIndexColumns& Keys = *Index->GetIndexColumns();
  auto Direction = Descending.begin();
  for (int32_t Position : Positions) {
    std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Keys.GetNewObject()));
    Key->SetSourceColumn(Columns.GetColumn(Position));
    if (Direction != Descending.end()) Key->SetDescending(*Direction++);
    Keys.Add(Key.release());
  }
  return Index;
}

TORVValue& TTestKeyValues::Add(int32_t DataType) {
  FValues.push_back(std::make_unique<TORVContainedValue>(FCharacterSet));
  FValues.back()->SetDataType(DataType);
  Key.Add(FValues.back().get());
  return *FValues.back();
}

TTestKeyValues& TTestKeyValues::Integer(int32_t Value) {
  Add(dtInteger).SetAsInteger(Value);
  return *this;
}

TTestKeyValues& TTestKeyValues::Text(const TORVString& Value) {
  Add(dtCharacter).SetAsString(Value);
  return *this;
}

TTestKeyValues& TTestKeyValues::Null(int32_t DataType) {
  Add(DataType);
  return *this;
}

}  // namespace orv
