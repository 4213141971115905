#include "catalog/orvcolumns.h"

#include <stdexcept>

#include "catalog/orvcatalogexpr.h"
#include "core/orvtypefunc.h"

namespace orv {

// ---------------------------------------------------------------------------
// TORVColumn

TORVColumn::TORVColumn() = default;

TORVColumn::~TORVColumn() = default;

TORVString TORVColumn::GetTypeName() const { return u"column"; }

int32_t TORVColumn::CharacterSet() { return GetConfigCharacterSet(); }

void TORVColumn::SetDataType(int32_t Value) {
  if (Value == FDataType) return;
  AssignDataType(CharacterSet(), Value, FDataType, FSubType, FLength, FSize, FScale, FCollation);
  // Text and bytes keep their length, sized for the new type.
  AssignLength(CharacterSet(), FDataType, FSubType, FLength, FLength, FSize, true);
  SetModified(true);
}

void TORVColumn::SetSubType(int32_t Value) {
  if (Value == FSubType) return;
  AssignSubType(CharacterSet(), FDataType, Value, FSubType, FLength, FSize, FScale, FCollation);
  // A GUID fixes its length; a varying subtype takes the count prefix.
  AssignLength(CharacterSet(), FDataType, FSubType, FLength, FLength, FSize, true);
  SetModified(true);
}

void TORVColumn::SetLength(int32_t Value) {
  AssignLength(CharacterSet(), FDataType, FSubType, Value, FLength, FSize, true);
  SetModified(true);
}

void TORVColumn::SetScale(int32_t Value) {
  if (Value == FScale) return;
  AssignScale(FDataType, FSubType, Value, FScale);
  SetModified(true);
}

void TORVColumn::SetCollation(int32_t Value) {
  if (Value == FCollation) return;
  AssignCollation(FDataType, FSubType, Value, FCollation);
  SetModified(true);
}

void TORVColumn::SetComputed(bool Value) {
  if (Value == FComputed) return;
  FComputed = Value;
  if (Value) {
    FGenerated = false;
    FComputeExpr = std::make_unique<TORVComputedColumnExpr>(this);
    SetReadOnly(true);
  } else {
    FComputeExpr.reset();
  }
  SetModified(true);
}

void TORVColumn::SetGenerated(bool Value) {
  if (Value == FGenerated) return;
  FGenerated = Value;
  if (Value) {
    FComputed = false;
    FComputeExpr.reset();
    SetReadOnly(true);
  }
  SetModified(true);
}

int32_t TORVColumn::GetRowsetSize() const { return FDataType == dtLargeObject ? 9 : FSize + 1; }

bool TORVColumn::GetHasReferencingColumns() const {
  return FReferencingColumns != nullptr && FReferencingColumns->GetCount() > 0;
}

TORVSelectedColumns* TORVColumn::GetReferencingColumns() {
  if (FReferencingColumns == nullptr) {
    FReferencingColumns = std::make_unique<TORVSelectedColumns>();
    FReferencingColumns->SetParent(this);
  }
  return FReferencingColumns.get();
}

void TORVColumn::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVColumn*>(FromObject);
  if (From == nullptr || From == this) return;
  FRowOffset = From->FRowOffset;
  FDataType = From->FDataType;
  FSubType = From->FSubType;
  FLength = From->FLength;
  FSize = From->FSize;
  FScale = From->FScale;
  FCollation = From->FCollation;
  FGenerated = From->FGenerated;
  FIdentity = From->FIdentity;
  FSeedValue = From->FSeedValue;
  FIncrementValue = From->FIncrementValue;
  FComputed = From->FComputed;
  if (From->FComputeExpr != nullptr) {
    if (FComputeExpr == nullptr) FComputeExpr = std::make_unique<TORVComputedColumnExpr>(this);
    FComputeExpr->Assign(From->FComputeExpr.get(), CopyReferences);
  } else {
    FComputeExpr.reset();
  }
  if (From->FReferencingColumns != nullptr)
    GetReferencingColumns()->Assign(From->FReferencingColumns.get(), true);
  else
    FReferencingColumns.reset();
  FBlobCompression = From->FBlobCompression;
}

// ---------------------------------------------------------------------------
// TORVColumns

TORVColumns::TORVColumns() : TORVColumns(true) {}

TORVColumns::TORVColumns(bool OwnsObjects) : TORVCatalogObjects(OwnsObjects) {}

TORVColumns::~TORVColumns() = default;

TORVString TORVColumns::GetTypeName() const { return u"column"; }

TORVConfigObject* TORVColumns::CreateObject() { return new TORVColumn(); }

void TORVColumns::ObjectsChanged() {
  if (FOwnsObjects) SetupColumnInformation();
}

void TORVColumns::SetupColumnInformation() {
  if (!FOwnsObjects) return;
  FRowsetRowSize = RowHeaderSize;
  if (FBlobColumns != nullptr) FBlobColumns->Clear();
  for (int32_t Index = 0; Index < GetCount(); ++Index) {
    TORVColumn* Column = GetColumn(Index);
    Column->SetRowOffset(FRowsetRowSize);
    if (Column->GetDataType() == dtLargeObject) GetBlobColumns()->Add(Column);
    if (!Column->GetComputed()) FRowsetRowSize += Column->GetRowsetSize();
  }
}

TORVColumn* TORVColumns::GetColumn(int32_t Index) const { return static_cast<TORVColumn*>(GetObjects(Index)); }

bool TORVColumns::GetHasBlobColumns() const { return FBlobColumns != nullptr && FBlobColumns->GetCount() > 0; }

TORVSelectedColumns* TORVColumns::GetBlobColumns() {
  if (FBlobColumns == nullptr) {
    FBlobColumns = std::make_unique<TORVSelectedColumns>();
    FBlobColumns->SetParent(this);
  }
  return FBlobColumns.get();
}

// ---------------------------------------------------------------------------
// TORVSelectedColumns

TORVString TORVSelectedColumns::GetTypeName() const { return u"column"; }

TORVColumn* TORVSelectedColumns::GetColumn(int32_t Index) const { return static_cast<TORVColumn*>(GetObjects(Index)); }

}  // namespace orv
