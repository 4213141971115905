#include "catalog/orvindexes.h"

#include "catalog/orvcolumns.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

bool IsCollatedColumn(const TORVColumn& Column) {
  return Column.GetDataType() == dtCharacter ||
         (Column.GetDataType() == dtLargeObject && Column.GetSubType() == stClob);
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVIndexColumn

TORVString TORVIndexColumn::GetTypeName() const { return u"index column"; }

TORVString TORVIndexColumn::GetName() const {
  TORVColumn* Column = const_cast<TORVIndexColumn*>(this)->FSourceColumn;
  return Column != nullptr ? Column->GetName() : TORVString();
}

void TORVIndexColumn::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FSourceColumn = nullptr;
}

TORVIndex* TORVIndexColumn::OwnerIndex() const {
  return FParent != nullptr ? dynamic_cast<TORVIndex*>(FParent->GetParent()) : nullptr;
}

TORVColumn* TORVIndexColumn::GetSourceColumn() {
  if (FSourceColumn != nullptr) return FSourceColumn;
  TORVIndex* Index = OwnerIndex();
  auto* Indexes = Index != nullptr ? dynamic_cast<TORVIndexes*>(Index->GetParent()) : nullptr;
  TORVColumns* Columns = Indexes != nullptr ? Indexes->GetColumns() : nullptr;
  if (Columns != nullptr) FSourceColumn = static_cast<TORVColumn*>(Columns->FindByID(FSourceColumnID, true));
  return FSourceColumn;
}

void TORVIndexColumn::SetSourceColumn(TORVColumn* Value) {
  FSourceColumn = Value;
  if (Value == nullptr || Value->GetID() == FSourceColumnID) return;
  FSourceColumnID = Value->GetID();
  if (IsCollatedColumn(*Value)) {
    FCollation = Value->GetCollation();
    TORVIndex* Index = OwnerIndex();
    if (Index != nullptr && Index->GetIndexType() == itTextIndex) FCollation |= CollationCaseInsensitiveFlag;
  }
  FDefaultCollation = true;
  SetModified(true);
}

void TORVIndexColumn::SetCollation(int32_t Value) {
  if (Value == FCollation) return;
  TORVColumn* Column = GetSourceColumn();
  if (Column == nullptr || !IsCollatedColumn(*Column)) return;
  FCollation = Value;
  FDefaultCollation = false;
  SetModified(true);
}

void TORVIndexColumn::SetDescending(bool Value) {
  if (Value == FDescending) return;
  FDescending = Value;
  SetModified(true);
}

void TORVIndexColumn::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVIndexColumn*>(FromObject);
  if (From == nullptr || From == this) return;
  FSourceColumnID = From->FSourceColumnID;
  FCollation = From->FCollation;
  FDefaultCollation = From->FDefaultCollation;
  FDescending = From->FDescending;
}

// ---------------------------------------------------------------------------
// TORVIndexColumns

TORVString TORVIndexColumns::GetTypeName() const { return u"index column"; }

TORVConfigObject* TORVIndexColumns::CreateObject() { return new TORVIndexColumn(); }

int32_t TORVIndexColumns::GetRequiredPageSize() {
  int32_t KeySize = 0;
  for (int32_t Index = 0; Index < FCount; ++Index) KeySize += GetIndexColumn(Index)->GetSourceColumn()->GetIndexSize();
  return (4 * (KeySize + 10) + 11 + 7) & ~7;
}

TORVIndexColumn* TORVIndexColumns::GetIndexColumn(int32_t Index) const {
  return static_cast<TORVIndexColumn*>(GetObjects(Index));
}

// ---------------------------------------------------------------------------
// TORVIndex

TORVIndex::TORVIndex() : FIndexColumns(std::make_unique<TORVIndexColumns>()) { FIndexColumns->SetParent(this); }

TORVIndex::~TORVIndex() = default;

TORVString TORVIndex::GetTypeName() const { return u"index"; }

void TORVIndex::SetIndexType(int32_t Value) {
  if (Value == FIndexType) return;
  FIndexType = Value;
  FUniqueKeys = Value == itPrimaryKey;
  SetModified(true);
}

void TORVIndex::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVIndex*>(FromObject);
  if (From == nullptr || From == this) return;
  FIndexType = From->FIndexType;
  FUniqueKeys = From->FUniqueKeys;
  FTextWordLength = From->FTextWordLength;
  FIndexColumns->Assign(From->FIndexColumns.get(), CopyReferences);
}

void TORVIndex::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FIndexColumns->ResetReferences();
}

// ---------------------------------------------------------------------------
// TORVIndexes

TORVString TORVIndexes::GetTypeName() const { return u"index"; }

TORVConfigObject* TORVIndexes::CreateObject() { return new TORVIndex(); }

TORVIndex* TORVIndexes::GetIndex(int32_t Index) const { return static_cast<TORVIndex*>(GetObjects(Index)); }

int32_t TORVIndexes::GetIndexNumberForType(int32_t IndexType) const {
  for (int32_t Index = 0; Index < GetCount(); ++Index)
    if (GetIndex(Index)->GetIndexType() == IndexType) return Index;
  return -1;
}

}  // namespace orv
