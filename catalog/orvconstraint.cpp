#include "catalog/orvconstraint.h"

#include <stdexcept>

#include "catalog/orvcatalog.h"
#include "catalog/orvindexes.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"

namespace orv {

namespace {

// The first catalog version whose constraint streams carry the error code
// and message.
constexpr TORVCurrency ConstraintErrorVersion = TORVCurrency::FromScaled(20400);

bool IsKeyType(int32_t Type) { return Type == ctPrimaryKey || Type == ctUnique; }
bool HasColumns(int32_t Type) { return Type >= ctPrimaryKey && Type <= ctUnique; }

// The constraint that holds a member of one of its sub-collections.
TORVConstraint* ConstraintAbove(const TORVConfigObject* Member) {
  TORVConfigObject* Collection = Member->GetParent();
  return Collection != nullptr ? dynamic_cast<TORVConstraint*>(Collection->GetParent()) : nullptr;
}

// The schema that holds Table, through its table collection.
TORVSchema* SchemaOf(const TORVBaseTable* Table) {
  TORVConfigObject* Tables = Table != nullptr ? Table->GetParent() : nullptr;
  return Tables != nullptr ? dynamic_cast<TORVSchema*>(Tables->GetParent()) : nullptr;
}

// A base table by ID among the schema's tables; while a table is being
// maintained its working copy, which keeps its ID among the temporary
// tables, stands in for it.
TORVBaseTable* FindSchemaTable(TORVSchema* Schema, int32_t ID) {
  if (Schema == nullptr) return nullptr;
  auto* Table = static_cast<TORVBaseTable*>(Schema->GetBaseTables().FindByID(ID, true));
  if (Table->GetMaintaining())
    if (auto* Copy = static_cast<TORVBaseTable*>(Schema->GetTemporaryTables().FindByID(ID, false))) return Copy;
  return Table;
}

// Two collections whose members pair by position and match by Compare.
bool SameMembers(TORVConfigObjects* Left, TORVConfigObjects* Right, bool CompareID) {
  if (Left == nullptr || Right == nullptr) return Left == Right;
  if (Left->GetCount() != Right->GetCount()) return false;
  for (int32_t I = 0; I < Left->GetCount(); ++I)
    if (!Left->GetObjects(I)->Compare(Right->GetObjects(I), CompareID)) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVConstraintColumn

TORVVirtualTable* TORVConstraintColumn::ReferencedTable() const {
  TORVConstraint* Constraint = ConstraintAbove(this);
  return Constraint != nullptr ? Constraint->GetOwnerTable() : nullptr;
}

void TORVConstraintColumn::BlobColumnError() {
  ValidateError(FormatString(ORV_CONSTRAINT_BLOB_COLUMN_MSG, {GetName()}), 0, 0);
  ValidateErrorReturned();
}

void TORVConstraintColumn::Validate() {
  TORVColumnReference::Validate();
  TORVColumn* Column = GetColumn();
  if (Column != nullptr && Column->GetDataType() == dtLargeObject) BlobColumnError();
}

// ---------------------------------------------------------------------------
// TORVTargetTableColumn

TORVVirtualTable* TORVTargetTableColumn::ReferencedTable() const {
  TORVConstraint* Constraint = ConstraintAbove(this);
  return Constraint != nullptr ? Constraint->GetTargetTable() : nullptr;
}

// ---------------------------------------------------------------------------
// TORVSourceConstraint

TORVConstraint* TORVSourceConstraint::OwnerConstraint() const { return ConstraintAbove(this); }

TORVSchema* TORVSourceConstraint::GetSourceSchema() const {
  TORVConstraint* Constraint = OwnerConstraint();
  return Constraint != nullptr ? Constraint->GetTargetSchema() : nullptr;
}

void TORVSourceConstraint::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FSourceTable = nullptr;
  FSourceTableConstraint = nullptr;
}

TORVBaseTable* TORVSourceConstraint::GetSourceTable() {
  if (FSourceTable == nullptr) FSourceTable = FindSchemaTable(GetSourceSchema(), FSourceTableID);
  return FSourceTable;
}

void TORVSourceConstraint::SetSourceTable(TORVBaseTable* Value) {
  FSourceTable = Value;
  const int32_t ID = Value != nullptr ? Value->GetID() : 0;
  if (ID == FSourceTableID) return;
  FSourceTableID = ID;
  SetModified(true);
}

TORVConstraint* TORVSourceConstraint::GetSourceTableConstraint() {
  if (FSourceTableConstraint != nullptr) return FSourceTableConstraint;
  TORVBaseTable* Table = GetSourceTable();
  if (Table != nullptr)
    FSourceTableConstraint =
        static_cast<TORVConstraint*>(Table->GetConstraints().FindByID(FSourceTableConstraintID, true));
  return FSourceTableConstraint;
}

void TORVSourceConstraint::SetSourceTableConstraint(TORVConstraint* Value) {
  FSourceTableConstraint = Value;
  const int32_t ID = Value != nullptr ? Value->GetID() : 0;
  if (ID == FSourceTableConstraintID) return;
  FSourceTableConstraintID = ID;
  SetModified(true);
}

void TORVSourceConstraint::SetSourceTableID(int32_t Value) {
  if (Value == FSourceTableID) return;
  FSourceTableID = Value;
  FSourceTable = nullptr;
  SetModified(true);
}

void TORVSourceConstraint::CheckSourceTable(int32_t Value) {
  if (FSourceTableID != 0) return;
  FSourceTableID = Value;
  SetModified(true);
}

void TORVSourceConstraint::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVSourceConstraint*>(FromObject);
  if (From == nullptr || From == this) return;
  FSourceTableID = From->FSourceTableID;
  FSourceTableConstraintID = From->FSourceTableConstraintID;
}

bool TORVSourceConstraint::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  auto* Other = dynamic_cast<TORVSourceConstraint*>(ObjectToCompare);
  if (Other == nullptr) return false;
  if (CompareID)
    return FSourceTableID == Other->FSourceTableID && FSourceTableConstraintID == Other->FSourceTableConstraintID;
  return SameString(GetSourceTable()->GetName(), Other->GetSourceTable()->GetName()) &&
         SameString(GetSourceTableConstraint()->GetName(), Other->GetSourceTableConstraint()->GetName());
}

void TORVSourceConstraint::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FSourceTableID);
  Stream.WriteInteger(FSourceTableConstraintID);
}

void TORVSourceConstraint::Load(TORVMemoryStream& Stream) {
  TORVCatalogObject::Load(Stream);
  FSourceTableID = Stream.ReadInteger();
  FSourceTableConstraintID = Stream.ReadInteger();
}

// ---------------------------------------------------------------------------
// TORVSourceConstraints

void TORVSourceConstraints::Validate() {
  TORVCatalogObjects::Validate();
  auto* Key = dynamic_cast<TORVConstraint*>(FParent);
  if (Key == nullptr) return;
  TORVCatalog* Catalog = GetCatalog();
  const bool WasModified = Catalog != nullptr && CatalogModified(Catalog);
  bool Removed = false;
  for (int32_t I = FCount - 1; I >= 0; --I) {
    TORVSourceConstraint* Link = GetSourceConstraint(I);
    TORVSchema* Schema = Link->GetSourceSchema();
    auto* Table = Schema != nullptr
                      ? static_cast<TORVBaseTable*>(Schema->GetBaseTables().FindByID(Link->GetSourceTableID(), false))
                      : nullptr;
    auto* ForeignKey = Table != nullptr ? static_cast<TORVConstraint*>(Table->GetConstraints().FindByID(
                                              Link->GetSourceTableConstraintID(), false))
                                        : nullptr;
    if (ForeignKey != nullptr && ForeignKey->GetTargetTableConstraintID() == Key->GetID()) continue;
    Delete(I);
    delete Link;
    Removed = true;
  }
  // Dropping a stale link is housekeeping: it must neither mark the catalog
  // nor forget the changes of the statement that validates the key.
  if (Removed && Catalog != nullptr) CatalogSetModified(Catalog, WasModified);
}

// ---------------------------------------------------------------------------
// TORVConstraint

TORVConstraint::TORVConstraint() = default;

TORVConstraint::~TORVConstraint() = default;

TORVBaseTable* TORVConstraint::GetOwnerTable() const {
  return FParent != nullptr ? dynamic_cast<TORVBaseTable*>(FParent->GetParent()) : nullptr;
}

TORVSchema* TORVConstraint::GetTargetSchema() const { return SchemaOf(GetOwnerTable()); }

void TORVConstraint::AdjustSubObjects(int32_t Type, bool FreeUnused) {
  auto Make = [this](auto& Member) {
    using TMember = typename std::remove_reference_t<decltype(Member)>::element_type;
    if (Member == nullptr) {
      Member = std::make_unique<TMember>();
      Member->SetParent(this);
      Member->SetSystemObject(FSystemObject);
      Member->SetTemporary(FTemporary);
      Member->SetTemporaryForSession(FTemporaryForSession);
    }
  };
  const bool Columns = HasColumns(Type);
  const bool Sources = IsKeyType(Type);
  const bool Targets = Type == ctForeignKey;
  const bool Check = Type == ctCheck;
  if (FreeUnused) {
    if (!Columns) FConstraintColumns.reset();
    if (!Sources) FSourceConstraints.reset();
    if (!Targets) FTargetTableColumns.reset();
    if (!Check) {
      FCheckExpr.reset();
      FReferencedCheckColumns.reset();
      FReferencedCheckFunctions.reset();
    }
  }
  if (Columns) Make(FConstraintColumns);
  if (Sources) Make(FSourceConstraints);
  if (Targets) Make(FTargetTableColumns);
  if (Check) {
    if (FCheckExpr == nullptr) {
      FCheckExpr = std::make_unique<TORVCheckExpr>(this);
      FCheckExpr->SetCatalog(GetCatalog());
    }
    if (FReferencedCheckColumns == nullptr) FReferencedCheckColumns = std::make_unique<TORVSelectedColumns>();
    if (FReferencedCheckFunctions == nullptr)
      FReferencedCheckFunctions = std::make_unique<TORVSelectedFunctions>();
  }
}

void TORVConstraint::SetConstraintType(int32_t Value) {
  if (Value == FConstraintType) return;
  FConstraintType = Value;
  AdjustSubObjects(Value, false);
  SetModified(true);
}

void TORVConstraint::CheckConstraintTypeAlter(int32_t NewConstraintType) {
  if (NewConstraintType != FConstraintType) ValidateError(ORV_CONSTRAINT_TYPE_ALTER_MSG, 0, 0);
}

TORVString TORVConstraint::GetConstraintTypeName() const {
  switch (FConstraintType) {
    case ctPrimaryKey: return u"primary key constraint";
    case ctForeignKey: return u"foreign key constraint";
    case ctUnique: return u"unique constraint";
    case ctCheck: return u"check constraint";
    default: return TORVString();
  }
}

TORVString TORVConstraint::GetCreateConstraintTypeName() const {
  switch (FConstraintType) {
    case ctPrimaryKey: return u"Primary Key";
    case ctForeignKey: return u"Foreign Key";
    case ctUnique: return u"Unique";
    case ctCheck: return u"Check";
    default: return TORVString();
  }
}

TORVString TORVConstraint::GetCreateActionName(int32_t Action) {
  switch (Action) {
    case caNoAction: return u"No Action";
    case caCascade: return u"Cascade";
    case caSetNull: return u"Set Null";
    case caSetDefault: return u"Set Default";
    case caRestrict: return u"Restrict";
    default: return TORVString();
  }
}

void TORVConstraint::PassFlag(void (TORVConfigObject::*Setter)(bool), bool Value) {
  if (HasColumns(FConstraintType) && FConstraintColumns != nullptr) (FConstraintColumns.get()->*Setter)(Value);
  if (IsKeyType(FConstraintType) && FSourceConstraints != nullptr) (FSourceConstraints.get()->*Setter)(Value);
  if (FConstraintType == ctForeignKey && FTargetTableColumns != nullptr) (FTargetTableColumns.get()->*Setter)(Value);
}

void TORVConstraint::SetSystemObject(bool Value) {
  TORVCatalogObject::SetSystemObject(Value);
  PassFlag(&TORVConfigObject::SetSystemObject, Value);
}

void TORVConstraint::SetTemporary(bool Value) {
  TORVCatalogObject::SetTemporary(Value);
  PassFlag(&TORVConfigObject::SetTemporary, Value);
}

void TORVConstraint::SetTemporaryForSession(bool Value) {
  TORVCatalogObject::SetTemporaryForSession(Value);
  PassFlag(&TORVConfigObject::SetTemporaryForSession, Value);
}

void TORVConstraint::SetHidden(bool Value) {
  if (Value == FHidden) return;
  TORVCatalogObject::SetHidden(Value);
  SetModified(true);
}

TORVIndex* TORVConstraint::GetEnforcingIndex() {
  if (FEnforcingIndex != nullptr) return FEnforcingIndex;
  TORVBaseTable* Table = GetOwnerTable();
  if (Table != nullptr)
    FEnforcingIndex = static_cast<TORVIndex*>(Table->GetIndexes().FindByID(FEnforcingIndexID, true));
  return FEnforcingIndex;
}

void TORVConstraint::SetEnforcingIndex(TORVIndex* Value) {
  FEnforcingIndex = Value;
  const int32_t ID = Value != nullptr ? Value->GetID() : 0;
  if (ID == FEnforcingIndexID) return;
  FEnforcingIndexID = ID;
  SetModified(true);
}

TORVBaseTable* TORVConstraint::GetTargetTable() {
  if (FTargetTable == nullptr) FTargetTable = FindSchemaTable(GetTargetSchema(), FTargetTableID);
  return FTargetTable;
}

void TORVConstraint::SetTargetTable(TORVBaseTable* Value) {
  TORVBaseTable* Owner = GetOwnerTable();
  if (Owner != nullptr && Value != nullptr &&
      Owner->GetTemporaryForSession() != Value->GetTemporaryForSession()) {
    // A maintenance copy stands in for an ordinary table while it is
    // rebuilt, so its keys may reference ordinary tables.
    const TORVBaseTable* SessionTable = Owner->GetTemporaryForSession() ? Owner : Value;
    if (!SessionTable->GetMaintenance()) ValidateError(ORV_CONSTRAINT_TEMPORARY_MSG, 0, 0);
  }
  FTargetTable = Value;
  const int32_t ID = Value != nullptr ? Value->GetID() : 0;
  if (ID == FTargetTableID) return;
  FTargetTableID = ID;
  SetModified(true);
}

void TORVConstraint::CheckTargetTable(int32_t Value) {
  if (FTargetTableID != 0) return;
  FTargetTableID = Value;
  SetModified(true);
}

TORVConstraint* TORVConstraint::GetTargetTableConstraint() {
  if (FTargetTableConstraint != nullptr) return FTargetTableConstraint;
  TORVBaseTable* Table = GetTargetTable();
  if (Table != nullptr)
    FTargetTableConstraint =
        static_cast<TORVConstraint*>(Table->GetConstraints().FindByID(FTargetTableConstraintID, true));
  return FTargetTableConstraint;
}

void TORVConstraint::SetTargetTableConstraint(TORVConstraint* Value) {
  FTargetTableConstraint = Value;
  const int32_t ID = Value != nullptr ? Value->GetID() : 0;
  if (ID == FTargetTableConstraintID) return;
  FTargetTableConstraintID = ID;
  SetModified(true);
}

void TORVConstraint::RemoveSourceConstraint(TORVConstraint* Value) {
  if (FSourceConstraints == nullptr) throw std::logic_error("TORVConstraint::RemoveSourceConstraint: not a key");
  for (int32_t I = 0; I < FSourceConstraints->GetCount(); ++I) {
    TORVSourceConstraint* Link = FSourceConstraints->GetSourceConstraint(I);
    if (Link->GetSourceTableConstraintID() != Value->GetID()) continue;
    FSourceConstraints->Delete(I);
    delete Link;
    SetModified(true);
    return;
  }
  FSourceConstraints->ObjectIDNotFoundError(Value->GetID());
}

void TORVConstraint::SetUpdateAction(int32_t Value) {
  if (Value == FUpdateAction) return;
  FUpdateAction = Value;
  SetModified(true);
}

void TORVConstraint::SetDeleteAction(int32_t Value) {
  if (Value == FDeleteAction) return;
  FDeleteAction = Value;
  SetModified(true);
}

void TORVConstraint::SetErrorCode(int32_t Value) {
  if (Value == FErrorCode) return;
  FErrorCode = Value;
  SetModified(true);
}

void TORVConstraint::SetErrorMessage(const TORVString& Value) {
  if (Value == FErrorMessage) return;
  FErrorMessage = Value;
  SetModified(true);
}

void TORVConstraint::ResetReferences() {
  TORVCatalogObject::ResetReferences();
  FEnforcingIndex = nullptr;
  FTargetTable = nullptr;
  FTargetTableConstraint = nullptr;
}

void TORVConstraint::Reset() {
  TORVCatalogObject::Reset();
  if (HasColumns(FConstraintType) && FConstraintColumns != nullptr) FConstraintColumns->Reset();
  if (IsKeyType(FConstraintType) && FSourceConstraints != nullptr) FSourceConstraints->Reset();
  if (FConstraintType == ctForeignKey && FTargetTableColumns != nullptr) FTargetTableColumns->Reset();
}

void TORVConstraint::ConstraintTypeError() {
  ValidateError(ORV_CONSTRAINT_TYPE_MSG, 0, 0);
  ValidateErrorReturned();
}

void TORVConstraint::ConstraintActionError() {
  ValidateError(ORV_CONSTRAINT_ACTION_MSG, 0, 0);
  ValidateErrorReturned();
}

void TORVConstraint::Validate() {
  TORVCatalogObject::Validate();
  if (FConstraintType < ctPrimaryKey || FConstraintType > ctCheck) ConstraintTypeError();
  if (HasColumns(FConstraintType)) FConstraintColumns->Validate();
  if (IsKeyType(FConstraintType)) FSourceConstraints->Validate();
  if (FConstraintType == ctForeignKey) {
    auto Supported = [](int32_t Action) { return Action == caNoAction || Action == caRestrict; };
    if (!Supported(FUpdateAction) || !Supported(FDeleteAction)) ConstraintActionError();
  }
}

bool TORVConstraint::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVCatalogObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVConstraint*>(ObjectToCompare);
  if (Other == nullptr || Other->FConstraintType != FConstraintType || Other->FErrorCode != FErrorCode ||
      !SameString(Other->FErrorMessage, FErrorMessage))
    return false;
  switch (FConstraintType) {
    case ctPrimaryKey:
    case ctUnique:
      return SameMembers(FConstraintColumns.get(), Other->FConstraintColumns.get(), CompareID) &&
             (!CompareID || FEnforcingIndexID == Other->FEnforcingIndexID);
    case ctForeignKey:
      if (!SameMembers(FConstraintColumns.get(), Other->FConstraintColumns.get(), CompareID)) return false;
      if (CompareID) {
        if (FEnforcingIndexID != Other->FEnforcingIndexID || FTargetTableID != Other->FTargetTableID) return false;
      } else if (!SameString(GetTargetTable()->GetName(), Other->GetTargetTable()->GetName())) {
        return false;
      }
      if (!SameMembers(FTargetTableColumns.get(), Other->FTargetTableColumns.get(), CompareID)) return false;
      if (CompareID && FTargetTableConstraintID != Other->FTargetTableConstraintID) return false;
      return FUpdateAction == Other->FUpdateAction && FDeleteAction == Other->FDeleteAction;
    case ctCheck:
      return FCheckExpr->Compare(Other->FCheckExpr.get());
    default:
      return true;
  }
}

bool TORVConstraint::Same(TORVConfigObject* ObjectToCompare) {
  auto* Other = dynamic_cast<TORVConstraint*>(ObjectToCompare);
  if (Other == nullptr || Other->FConstraintType != FConstraintType) return false;
  if (FConstraintType == ctPrimaryKey) return true;
  return TORVCatalogObject::Same(ObjectToCompare);
}

void TORVConstraint::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVConstraint*>(FromObject);
  if (From == nullptr || From == this) return;
  FConstraintType = From->FConstraintType;
  AdjustSubObjects(FConstraintType, true);
  switch (FConstraintType) {
    case ctPrimaryKey:
    case ctUnique:
      FConstraintColumns->Assign(From->FConstraintColumns.get(), CopyReferences);
      FEnforcingIndexID = From->FEnforcingIndexID;
      FSourceConstraints->Assign(From->FSourceConstraints.get(), CopyReferences);
      break;
    case ctForeignKey:
      FConstraintColumns->Assign(From->FConstraintColumns.get(), CopyReferences);
      FEnforcingIndexID = From->FEnforcingIndexID;
      FTargetTableID = From->FTargetTableID;
      FTargetTableColumns->Assign(From->FTargetTableColumns.get(), CopyReferences);
      FTargetTableConstraintID = From->FTargetTableConstraintID;
      FUpdateAction = From->FUpdateAction;
      FDeleteAction = From->FDeleteAction;
      break;
    case ctCheck:
      FCheckExpr->SetExpression(From->FCheckExpr->GetExpression());
      break;
    default:
      break;
  }
  FErrorCode = From->FErrorCode;
  FErrorMessage = From->FErrorMessage;
}

void TORVConstraint::Compile() {
  if (FConstraintType == ctCheck) FCheckExpr->Compile();
}

void TORVConstraint::Decompile() {
  if (FConstraintType == ctCheck) FCheckExpr->Decompile();
}

void TORVConstraint::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVCatalogObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FConstraintType);
  if (HasColumns(FConstraintType)) {
    FConstraintColumns->Save(Stream, CRCOnly);
    Stream.WriteInteger(FEnforcingIndexID);
  }
  if (IsKeyType(FConstraintType)) FSourceConstraints->Save(Stream, CRCOnly);
  if (FConstraintType == ctForeignKey) {
    Stream.WriteInteger(FTargetTableID);
    FTargetTableColumns->Save(Stream, CRCOnly);
    Stream.WriteInteger(FTargetTableConstraintID);
    Stream.WriteInteger(FUpdateAction);
    Stream.WriteInteger(FDeleteAction);
  }
  if (FConstraintType == ctCheck) FCheckExpr->Save(Stream);
  Stream.WriteInteger(FErrorCode);
  Stream.WriteString(FErrorMessage);
}

void TORVConstraint::Load(TORVMemoryStream& Stream) {
  TORVCatalogObject::Load(Stream);
  FConstraintType = Stream.ReadInteger();
  AdjustSubObjects(FConstraintType, true);
  if (HasColumns(FConstraintType)) {
    FConstraintColumns->Load(Stream);
    FEnforcingIndexID = Stream.ReadInteger();
  }
  if (IsKeyType(FConstraintType)) FSourceConstraints->Load(Stream);
  if (FConstraintType == ctForeignKey) {
    FTargetTableID = Stream.ReadInteger();
    FTargetTableColumns->Load(Stream);
    FTargetTableConstraintID = Stream.ReadInteger();
    FUpdateAction = Stream.ReadInteger();
    FDeleteAction = Stream.ReadInteger();
  }
  if (FConstraintType == ctCheck) FCheckExpr->Load(Stream);
  FErrorCode = 0;
  FErrorMessage.clear();
  if (GetConfigVersion() >= ConstraintErrorVersion) {
    FErrorCode = Stream.ReadInteger();
    Stream.ReadString(FErrorMessage);
  }
}

int32_t TORVConstraint::GetMemorySize() {
  int32_t Size = TORVCatalogObject::GetMemorySize();
  if (HasColumns(FConstraintType)) Size += FConstraintColumns->GetMemorySize();
  if (IsKeyType(FConstraintType)) Size += FSourceConstraints->GetMemorySize();
  if (FConstraintType == ctForeignKey) Size += FTargetTableColumns->GetMemorySize();
  if (FConstraintType == ctCheck) {
    Size += FCheckExpr->GetMemorySize();
    Size += FReferencedCheckColumns->GetMemorySize() + FReferencedCheckFunctions->GetMemorySize();
  }
  return Size + static_cast<int32_t>(FErrorMessage.size() * sizeof(char16_t));
}

int32_t TORVConstraint::GetMemoryCount() {
  int32_t Count = TORVCatalogObject::GetMemoryCount();
  if (HasColumns(FConstraintType)) Count += FConstraintColumns->GetMemoryCount();
  if (IsKeyType(FConstraintType)) Count += FSourceConstraints->GetMemoryCount();
  if (FConstraintType == ctForeignKey) Count += FTargetTableColumns->GetMemoryCount();
  return Count;
}

void TORVConstraint::CheckInvariants() const {
  TORVCatalogObject::CheckInvariants();
  CheckListInvariants({FConstraintColumns.get(), FTargetTableColumns.get(), FSourceConstraints.get()});
}

TORVString TORVConstraint::GetSQL(bool IncludeDescription) {
  TORVString Result = UpperCaseString(GetCreateConstraintTypeName());
  if (HasColumns(FConstraintType))
    Result += u" (" + FConstraintColumns->GetCreateSQL(false, false, false) + u")";
  if (FConstraintType == ctForeignKey) {
    Result += u" REFERENCES " + QuotedName(GetTargetTable()->GetName()) + u" (" +
              FTargetTableColumns->GetCreateSQL(false, false, false) + u")\r\n   ON UPDATE " +
              UpperCaseString(GetCreateActionName(FUpdateAction)) + u" ON DELETE " +
              UpperCaseString(GetCreateActionName(FDeleteAction));
  }
  if (FConstraintType == ctCheck) Result += u" " + FCheckExpr->GetExpression();
  if (FErrorCode != 0)
    Result += u"\r\nERROR CODE " + IntToString(FErrorCode) + u" MESSAGE " +
              QuotedString(TrimCatalogExpression(FErrorMessage), u'\'');
  if (IncludeDescription && !FDescription.empty())
    Result += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(FDescription), u'\'');
  return Result;
}

TORVString TORVConstraint::GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool) {
  if (DependentObjectsOnly) {
    if (FConstraintType != ctForeignKey) return TORVString();
    return u"ADD CONSTRAINT " + QuotedName(FName) + u" " + GetSQL(true);
  }
  if (FConstraintType == ctForeignKey && !IncludeDependentObjects) return TORVString();
  return u"CONSTRAINT " + QuotedName(FName) + u" " + GetSQL(true);
}

TORVString TORVConstraint::GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) {
  const bool Foreign = FConstraintType == ctForeignKey;
  if (DependentObjectsOnly ? !Foreign : (Foreign && !IncludeDependentObjects)) return TORVString();
  return u"DROP CONSTRAINT " + QuotedName(FName);
}

void TORVConstraint::BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t) {
  FAlterSQL.clear();
  if (Action == 0) {
    FAlterSQL = u"ADD " + GetCreateSQL(true, false, false);
    return;
  }
  if (Action == 2) {
    FAlterSQL = GetDropSQL(true, false);
    return;
  }
  auto* Other = dynamic_cast<TORVConstraint*>(Target);
  if (Other == nullptr || Compare(Other, false)) return;
  if (FConstraintType == ctPrimaryKey && !SameString(FName, Other->FName))
    FAlterSQL = u"RENAME CONSTRAINT " + QuotedName(FName) + u" TO " + QuotedName(Other->FName) + u",\r\n";
  FAlterSQL += u"ALTER CONSTRAINT " + QuotedName(FAlterSQL.empty() ? FName : Other->FName) + u" AS " +
               Other->GetSQL(false);
  if (FDescription != Other->FDescription)
    FAlterSQL += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(Other->FDescription), u'\'');
}

TORVConfigObject* TORVConstraint::GetDependencyParentObject() {
  TORVBaseTable* Table = GetOwnerTable();
  return Table != nullptr ? static_cast<TORVConfigObject*>(Table) : this;
}

void TORVConstraint::SetDependencies() {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr) return;
  TORVSchema* Schema = Catalog->GetDefaultSchema();
  Schema->GetBaseTables().AddDependenciesToObject(this);
  Schema->GetViews().AddDependenciesToObject(this);
}

void TORVConstraint::AddDependenciesToObject(TORVConfigObject* Obj) {
  Compile();
  const int32_t ID = Obj->GetID();
  auto AddThis = [&] { Obj->GetDependencies()->Add(this); };
  if (IsKeyType(FConstraintType)) {
    if (dynamic_cast<TORVIndex*>(Obj) != nullptr && ID == FEnforcingIndexID) AddThis();
  } else if (FConstraintType == ctForeignKey) {
    if ((dynamic_cast<TORVIndex*>(Obj) != nullptr && ID == FEnforcingIndexID) ||
        (dynamic_cast<TORVBaseTable*>(Obj) != nullptr && ID == FTargetTableID) ||
        (dynamic_cast<TORVConstraint*>(Obj) != nullptr && ID == FTargetTableConstraintID))
      AddThis();
  }
  if (HasColumns(FConstraintType)) FConstraintColumns->AddDependenciesToObject(Obj);
  if (FConstraintType == ctCheck) {
    for (int32_t I = 0; I < FReferencedCheckColumns->GetCount(); ++I)
      if (FReferencedCheckColumns->GetObjects(I) == Obj) AddThis();
    FReferencedCheckFunctions->AddDependenciesToObject(Obj);
  }
}

void TORVConstraint::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  Compile();
  const int32_t ID = Obj->GetID();
  auto Retarget = [&](int32_t& Field) {
    if (Field != ID) return false;
    Field = NewID;
    SetModified(true);
    return true;
  };
  if (dynamic_cast<TORVIndex*>(Obj) != nullptr && HasColumns(FConstraintType)) {
    Retarget(FEnforcingIndexID);
  } else if (FConstraintType == ctForeignKey && dynamic_cast<TORVBaseTable*>(Obj) != nullptr) {
    Retarget(FTargetTableID);
  } else if (FConstraintType == ctForeignKey && dynamic_cast<TORVConstraint*>(Obj) != nullptr) {
    Retarget(FTargetTableConstraintID);
  }
  if (HasColumns(FConstraintType)) FConstraintColumns->ResetDependenciesToObject(Obj, NewID);
  if (FConstraintType == ctForeignKey) FTargetTableColumns->ResetDependenciesToObject(Obj, NewID);
  if (IsKeyType(FConstraintType) && dynamic_cast<TORVBaseTable*>(Obj) != nullptr) {
    for (int32_t I = 0; I < FSourceConstraints->GetCount(); ++I) {
      TORVSourceConstraint* Link = FSourceConstraints->GetSourceConstraint(I);
      if (Link->GetSourceTableID() == ID) Link->SetSourceTableID(NewID);
    }
  }
  if (FConstraintType == ctCheck) {
    FReferencedCheckColumns->ResetDependenciesToObject(Obj, NewID);
    FReferencedCheckFunctions->ResetDependenciesToObject(Obj, NewID);
  }
}

void TORVConstraint::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  Compile();
  if (FConstraintType != ctCheck) return;
  bool Renamed = false;
  for (int32_t I = 0; I < FReferencedCheckColumns->GetCount(); ++I) {
    if (FReferencedCheckColumns->GetObjects(I) != Obj) continue;
    FCheckExpr->RenameSymbols(ttCOLUMNREF, Obj->GetName(), NewName);
    Renamed = true;
    break;
  }
  for (int32_t I = 0; !Renamed && I < FReferencedCheckFunctions->GetCount(); ++I) {
    if (FReferencedCheckFunctions->GetObjects(I) != Obj) continue;
    FCheckExpr->RenameSymbols(ttFUNCREF, Obj->GetName(), NewName);
    Renamed = true;
  }
  if (Renamed) SetModified(true);
}

TORVAlterStates TORVConstraint::GetAlterState(TORVConstraint* OldConstraint) {
  FAltered = true;
  const TORVAlterStates Altered{asConstraintsAltered};
  const TORVAlterStates Rebuilt{asRebuild, asRebuildIndexes, asConstraintsAltered, asKeyConstraintAltered};
  switch (FConstraintType) {
    case ctPrimaryKey:
    case ctUnique:
      return SameMembers(FConstraintColumns.get(), OldConstraint->FConstraintColumns.get(), true) ? Altered
                                                                                                   : Rebuilt;
    case ctForeignKey:
      if (!SameMembers(FConstraintColumns.get(), OldConstraint->FConstraintColumns.get(), true)) return Rebuilt;
      if (FTargetTableID == OldConstraint->FTargetTableID &&
          SameMembers(FTargetTableColumns.get(), OldConstraint->FTargetTableColumns.get(), true) &&
          FTargetTableConstraintID == OldConstraint->FTargetTableConstraintID &&
          FUpdateAction == OldConstraint->FUpdateAction && FDeleteAction == OldConstraint->FDeleteAction)
        return Altered;
      return Altered + TORVAlterStates{asKeyConstraintAltered};
    case ctCheck:
      return OldConstraint->FCheckExpr != nullptr && FCheckExpr->Compare(OldConstraint->FCheckExpr.get())
                 ? Altered
                 : Altered + TORVAlterStates{asCheckConstraintAltered};
    default:
      return Altered;
  }
}

// ---------------------------------------------------------------------------
// TORVConstraints

bool TORVConstraints::CheckForDuplicate(TORVConfigObject* NewObject, TORVConfigObject* Member) const {
  if (TORVCatalogObjects::CheckForDuplicate(NewObject, Member)) return true;
  auto* New = dynamic_cast<TORVConstraint*>(NewObject);
  auto* Old = dynamic_cast<TORVConstraint*>(Member);
  return New != nullptr && Old != nullptr && New->GetConstraintType() == ctPrimaryKey &&
         Old->GetConstraintType() == ctPrimaryKey;
}

// ---------------------------------------------------------------------------
// TORVCheckExpr

TORVCheckExpr::TORVCheckExpr(TORVConstraint* Constraint) : TORVCatalogExpr(Constraint), FConstraint(Constraint) {}

TORVString TORVCheckExpr::GetTypeName() const { return FConstraint->GetName() + u" check constraint expression"; }

TORVVirtualTable* TORVCheckExpr::DefaultTable() { return FConstraint->GetOwnerTable(); }

void TORVCheckExpr::DefaultSchemaName(TORVExprToken*, TORVString& Name) {
  TORVSchema* Schema = FConstraint->GetTargetSchema();
  if (Schema != nullptr) Name = Schema->GetName();
}

void TORVCheckExpr::DefaultTableName(TORVExprToken*, TORVString& Name) {
  TORVBaseTable* Table = FConstraint->GetOwnerTable();
  if (Table != nullptr) Name = Table->GetName();
}

void TORVCheckExpr::ExpressionCompiled() {
  SortUniqueByID(*FConstraint->GetReferencedCheckColumns());
  SortUniqueByID(*FConstraint->GetReferencedCheckFunctions());
}

void TORVCheckExpr::ExpressionDecompiled() {
  FConstraint->GetReferencedCheckColumns()->Clear();
  FConstraint->GetReferencedCheckFunctions()->Clear();
}

void TORVCheckExpr::ColumnFound(TORVExprToken* Token) {
  TORVBaseTable* Table = FConstraint->GetOwnerTable();
  if (Table == nullptr || Token->FSourceToken != nullptr) return;
  FConstraint->GetReferencedCheckColumns()->Add(Table->GetColumns().GetColumn(Token->FPosition));
}

void TORVCheckExpr::FunctionFound(TORVExprToken* Token) {
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr || Token->FTokenOperator != toUDF) return;
  FConstraint->GetReferencedCheckFunctions()->Add(
      Catalog->GetDefaultSchema()->GetFunctions().FindByName(Token->FName, true));
}

// ---------------------------------------------------------------------------
// Information tables

const TORVConfigObjectsClass& ConstraintsClass() {
  static const TORVTableDescription Description{
      {TableText(u"TableName", 80, true), TableText(u"Name", 80, true), TableClob(u"Description", false),
       TableText(u"Type", 15, true), TableText(u"EnforcingIndex", 80, true), TableText(u"TargetTable", 80, true),
       TableText(u"TargetTableConstraint", 80, true), TableText(u"UpdateAction", 15, true),
       TableText(u"DeleteAction", 15, true), TableClob(u"CheckExpr", false), TableColumn(u"ErrorCode", dtInteger),
       TableClob(u"ErrorMessage", false), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"TableName", {1}}, {u"Name", {2}}, {u"Type", {4}}, {u"TargetTable", {6}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVConstraints(); }, u"Constraints",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ConstraintColumnsClass() {
  static const TORVTableDescription Description{
      {TableText(u"TableName", 80, true), TableText(u"ConstraintName", 80, true),
       TableText(u"ColumnName", 80, true), TableColumn(u"OrdinalPos", dtInteger)},
      {{u"TableName", {1}}, {u"ConstraintName", {2}}, {u"ColumnName", {3}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVConstraintColumns(); },
                                            u"ConstraintColumns", &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCPrimaryKeysClass() {
  static const TORVTableDescription Description{
      {TableText(u"TABLE_CAT", 80, true), TableText(u"TABLE_SCHEM", 80, true), TableText(u"TABLE_NAME", 80, true),
       TableText(u"COLUMN_NAME", 80, true), TableColumn(u"KEY_SEQ", dtSmallInt), TableText(u"PK_NAME", 80, true),
       TableClob(u"REMARKS", false), TableText(u"ENFORCING_INDEX", 80, true)},
      {{u"ODBC", {1, 2, 3, 5}}, {u"TABLE_NAME", {3}}, {u"COLUMN_NAME", {4}}, {u"PK_NAME", {6}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVODBCPrimaryKeys(); },
                                            u"SQLPrimaryKeys", &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCForeignKeysClass() {
  static const TORVTableDescription Description{
      {TableText(u"PKTABLE_CAT", 80, true), TableText(u"PKTABLE_SCHEM", 80, true),
       TableText(u"PKTABLE_NAME", 80, true), TableText(u"PKCOLUMN_NAME", 80, true),
       TableText(u"FKTABLE_CAT", 80, true), TableText(u"FKTABLE_SCHEM", 80, true),
       TableText(u"FKTABLE_NAME", 80, true), TableText(u"FKCOLUMN_NAME", 80, true),
       TableColumn(u"KEY_SEQ", dtSmallInt), TableColumn(u"UPDATE_RULE", dtSmallInt),
       TableColumn(u"DELETE_RULE", dtSmallInt), TableText(u"FK_NAME", 80, true), TableText(u"PK_NAME", 80, true),
       TableColumn(u"DEFERRABILITY", dtSmallInt), TableClob(u"REMARKS", false),
       TableText(u"ENFORCING_INDEX", 80, true)},
      {{u"ODBC1", {5, 6, 7, 9}},
       {u"ODBC2", {1, 2, 3, 9}},
       {u"PKTABLE_NAME", {3}},
       {u"PKCOLUMN_NAME", {4}},
       {u"FKTABLE_NAME", {7}},
       {u"FKCOLUMN_NAME", {8}},
       {u"FK_NAME", {12}},
       {u"PK_NAME", {13}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVODBCForeignKeys(); },
                                            u"SQLForeignKeys", &Description};
  return Class;
}

}  // namespace orv
