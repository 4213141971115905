#include "catalog/orvcursorcolumns.h"

#include "base/orverrors.h"
#include "catalog/orvcursor.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"

namespace orv {

// ---------------------------------------------------------------------------
// TORVCursorColumn

TORVString TORVCursorColumn::GetTypeName() const { return u"column"; }

TORVColumn* TORVCursorColumn::GetSourceColumn() {
  if (FSourceColumn != nullptr) return FSourceColumn;
  auto* Owner = dynamic_cast<TORVCursorColumns*>(FParent);
  if (Owner != nullptr && Owner->GetCursor() != nullptr)
    FSourceColumn = static_cast<TORVColumn*>(Owner->GetCursor()->GetColumns()->FindByID(FSourceColumnID, true));
  return FSourceColumn;
}

void TORVCursorColumn::SetSourceColumn(TORVColumn* Column) {
  FSourceColumn = Column;
  FSourceColumnID = Column != nullptr ? Column->GetID() : 0;
}

void TORVCursorColumn::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FSourceColumn = nullptr;
}

void TORVCursorColumn::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVCursorColumn*>(FromObject); From != nullptr && From != this)
    FSourceColumnID = From->FSourceColumnID;
}

bool TORVCursorColumn::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVCatalogObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVCursorColumn*>(ObjectToCompare);
  return Other == nullptr || Other->FSourceColumnID == FSourceColumnID;
}

void TORVCursorColumn::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FSourceColumnID);
}

void TORVCursorColumn::Load(TORVMemoryStream& Stream) {
  TORVCatalogObject::Load(Stream);
  FSourceColumnID = Stream.ReadInteger();
  FSourceColumn = nullptr;
}

// ---------------------------------------------------------------------------
// TORVCursorColumns

TORVCursorColumns::TORVCursorColumns(TORVCursor* Cursor, bool OwnsObjects)
    : TORVCatalogObjects(OwnsObjects), FCursor(Cursor) {
  if (Cursor != nullptr) FCatalogCharacterSet = Cursor->GetCharacterSet();
}

TORVString TORVCursorColumns::GetTypeName() const { return u"column"; }

TORVConfigObject* TORVCursorColumns::CreateObject() { return new TORVCursorColumn(); }

TORVCursorColumn* TORVCursorColumns::GetCursorColumn(int32_t Index) const {
  return static_cast<TORVCursorColumn*>(GetObjects(Index));
}

// ---------------------------------------------------------------------------
// TORVMappedCursorColumns

void TORVMappedCursorColumns::Save(TORVMemoryStream& Stream, bool /*CRCOnly*/) {
  Stream.WriteInteger(GetCount());
  for (int32_t Index = 0; Index < GetCount(); ++Index) Stream.WriteInteger(GetCursorColumn(Index)->GetPosition());
}

void TORVMappedCursorColumns::Load(TORVMemoryStream& Stream) {
  TORVCursorColumns* Source = FCursor->GetCursorColumns();
  auto Corrupt = [](const TORVString& Detail) {
    RaiseError(ORV_CORRUPT_ERROR, {u"column list", u"record", Detail});
  };
  if (Stream.GetAvailable() < 4) Corrupt(u"the count of columns is missing");
  const int32_t Count = Stream.ReadInteger();
  if (Count < 0 || Stream.GetAvailable() / 4 < Count)
    Corrupt(FormatString(u"%s column positions cannot follow in %s bytes",
                         {IntToString(Count), IntToString(static_cast<int32_t>(Stream.GetAvailable()))}));
  std::vector<TORVConfigObject*> Columns;
  Columns.reserve(static_cast<size_t>(Count));
  for (int32_t Index = 0; Index < Count; ++Index) {
    const int32_t Position = Stream.ReadInteger();
    if (Position < 0 || Position >= Source->GetCount())
      Corrupt(FormatString(u"the column position %s is outside the cursor's columns", {IntToString(Position)}));
    Columns.push_back(Source->GetCursorColumn(Position));
  }
  Clear();
  for (TORVConfigObject* Column : Columns) Add(Column);
}

// ---------------------------------------------------------------------------
// TORVMappedColumns

void TORVMappedColumns::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  auto* From = dynamic_cast<TORVMappedCursorColumns*>(FromObject);
  if (From == nullptr) {
    TORVColumns::Assign(FromObject, CopyReferences);
    return;
  }
  Clear();
  for (int32_t Index = 0; Index < From->GetCount(); ++Index) Add(From->GetCursorColumn(Index)->GetSourceColumn());
}

// ---------------------------------------------------------------------------
// Bookmark columns and cursor indexes

TORVString TORVBookmarkColumn::GetTypeName() const { return u"bookmark column"; }

TORVColumn* TORVBookmarkColumn::GetSourceColumn() {
  if (FSourceColumn != nullptr) return FSourceColumn;
  auto* Owner = dynamic_cast<TORVBookmarkColumns*>(FParent);
  if (Owner != nullptr && Owner->GetColumns() != nullptr)
    FSourceColumn = static_cast<TORVColumn*>(Owner->GetColumns()->FindByID(FSourceColumnID, true));
  return FSourceColumn;
}

void TORVBookmarkColumn::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVIndexColumn::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVIndexColumn*>(FromObject); From != nullptr && From != this)
    FSourceColumn = From->GetSourceColumn();
}

TORVString TORVBookmarkColumns::GetTypeName() const { return u"bookmark column"; }

TORVConfigObject* TORVBookmarkColumns::CreateObject() { return new TORVBookmarkColumn(); }

TORVColumns* TORVCursorIndexes::GetColumns() { return FCursor != nullptr ? FCursor->GetColumns() : nullptr; }

}  // namespace orv
