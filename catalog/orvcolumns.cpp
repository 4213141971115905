#include "catalog/orvcolumns.h"

#include <memory>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvconfig.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvindexes.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "base/orverror.h"
#include "core/orvliteral.h"
#include "core/orvorigin.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprtoken.h"

namespace orv {

// ---------------------------------------------------------------------------
// TORVColumn

namespace {

TORVString Quoted(const TORVString& Text) { return QuotedString(Text, u'"'); }

TORVString QuotedText(const TORVString& Text) { return QuotedString(TrimCatalogExpression(Text), u'\''); }

TORVString ExprText(const TORVCompiledExpr* Expr) {
  return Expr != nullptr ? TrimCatalogExpression(Expr->GetExpression()) : TORVString();
}

// Both absent, or both present with texts equal but for trailing blanks and
// case.
bool SameExpr(TORVCompiledExpr* Left, TORVCompiledExpr* Right) {
  if (Left == nullptr || Right == nullptr) return Left == Right;
  return Left->Compare(Right);
}

void SortUnique(TORVSelectedConfigObjects* List) {
  if (List == nullptr) return;
  List->SortByID();
  List->RemoveDuplicates();
}

template <class TExpr>
void LoadExpr(TORVColumn* Column, std::unique_ptr<TExpr>& Expr, TORVMemoryStream& Stream) {
  if (Expr == nullptr) Expr = std::make_unique<TExpr>(Column);
  Expr->Load(Stream);
}

}  // namespace

TORVColumn::TORVColumn() : TORVTypedCatalogObject(true, nullptr) {}

TORVColumn::~TORVColumn() {
  // The expressions report their decompiling to the lists they fill.
  FDefaultExpr.reset();
  FComputeExpr.reset();
  FGenerateExpr.reset();
}

TORVString TORVColumn::GetTypeName() const { return u"column"; }

void TORVColumn::SetTypeLike(int32_t DataType, int32_t SubType, int32_t Length, int32_t Scale, int32_t Collation) {
  SetDataType(DataType);
  SetSubType(SubType);
  if (Length != 0) SetLength(Length);
  if (Scale != 0) SetScale(Scale);
  SetCollation(Collation);
}

void TORVColumn::SetCollationBit(int32_t Bit, bool Value) {
  FCollation = Value ? FCollation | Bit : FCollation & ~Bit;
  SetModified(true);
}

void TORVColumn::SetRequired(bool Value) {
  if (Value == FRequired) return;
  FRequired = Value;
  SetModified(true);
}

void TORVColumn::SetErrorCode(int32_t Value) {
  if (Value == FErrorCode) return;
  FErrorCode = Value;
  SetModified(true);
}

void TORVColumn::SetErrorMessage(const TORVString& Value) {
  if (Value == FErrorMessage) return;
  FErrorMessage = Value;
  SetModified(true);
}

void TORVColumn::SetIdentity(bool Value) {
  if (Value == FIdentity) return;
  FIdentity = Value;
  SetModified(true);
}

void TORVColumn::SetDefaultIdentity(bool Value) {
  if (Value == FDefaultIdentity) return;
  FDefaultIdentity = Value;
  SetModified(true);
}

void TORVColumn::SetSeedValue(int32_t Value) {
  if (Value == FSeedValue) return;
  FSeedValue = Value;
  SetModified(true);
}

void TORVColumn::SetIncrementValue(int32_t Value) {
  if (Value == FIncrementValue) return;
  FIncrementValue = Value;
  SetModified(true);
}

void TORVColumn::SetBlobCompression(int32_t Value) {
  if (Value == FBlobCompression) return;
  FBlobCompression = Value;
  SetModified(true);
}

void TORVColumn::SetOrigin(const TORVString& Value) {
  if (SameString(Value, FOrigin)) return;
  FOrigin = Value;
  SetModified(true);
}

void TORVColumn::SetHidden(bool Value) { TORVTypedCatalogObject::SetHidden(Value); }

void TORVColumn::SetReadOnly(bool Value) { TORVTypedCatalogObject::SetReadOnly(Value); }

void TORVColumn::SetAlterRestartIdentity(bool Value) {
  if (Value == FAlterRestartIdentity) return;
  if (Value && !FIdentity) InvalidIdentityRestartError();
  FAlterRestartIdentity = Value;
}

void TORVColumn::MakeExpressionLists() {
  if (FReferencedColumns == nullptr) {
    FReferencedColumns = std::make_unique<TORVSelectedColumns>();
    FReferencedColumns->SetParent(this);
  }
  if (FReferencedFunctions == nullptr) {
    FReferencedFunctions = std::make_unique<TORVSelectedConfigObjects>();
    FReferencedFunctions->SetParent(this);
  }
}

void TORVColumn::FreeExpressionLists() {
  FReferencedColumns.reset();
  FReferencedFunctions.reset();
  FReferencesFunctions = false;
}

void TORVColumn::MakeDefaultLists() {
  if (FReferencedDefaultColumns == nullptr) {
    FReferencedDefaultColumns = std::make_unique<TORVSelectedColumns>();
    FReferencedDefaultColumns->SetParent(this);
  }
  if (FReferencedDefaultFunctions == nullptr) {
    FReferencedDefaultFunctions = std::make_unique<TORVSelectedConfigObjects>();
    FReferencedDefaultFunctions->SetParent(this);
  }
}

void TORVColumn::FreeDefaultLists() {
  FReferencedDefaultColumns.reset();
  FReferencedDefaultFunctions.reset();
}

void TORVColumn::SetComputed(bool Value) {
  if (Value == FComputed) return;
  if (Value) {
    SetGenerated(false);
    FComputed = true;
    FComputeExpr = std::make_unique<TORVComputedColumnExpr>(this);
    FComputeExpr->SetCatalog(GetCatalog());
    MakeExpressionLists();
    SetReadOnly(true);
  } else {
    FComputed = false;
    FComputeExpr.reset();
    if (!FGenerated) FreeExpressionLists();
  }
  SetModified(true);
}

void TORVColumn::SetGenerated(bool Value) {
  if (Value == FGenerated) return;
  if (Value) {
    SetComputed(false);
    FGenerated = true;
    FGenerateExpr = std::make_unique<TORVGeneratedColumnExpr>(this);
    FGenerateExpr->SetCatalog(GetCatalog());
    MakeExpressionLists();
    SetReadOnly(true);
  } else {
    FGenerated = false;
    FGenerateExpr.reset();
    if (!FComputed) FreeExpressionLists();
  }
  SetModified(true);
}

void TORVColumn::SetDefaulted(bool Value) {
  if (Value == FDefaulted) return;
  FDefaulted = Value;
  if (Value) {
    FDefaultExpr = std::make_unique<TORVDefaultColumnExpr>(this);
    FDefaultExpr->SetCatalog(GetCatalog());
    MakeDefaultLists();
  } else {
    FDefaultExpr.reset();
    FreeDefaultLists();
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

// ------------------------------------------------------------ references

TORVColumn* TORVColumn::FoundColumn(TORVExprToken* Token) {
  if (Token->FSourceToken != nullptr) return nullptr;
  auto* Columns = dynamic_cast<TORVColumns*>(FParent);
  if (Columns == nullptr || Token->FPosition < 0 || Token->FPosition >= Columns->GetCount()) return nullptr;
  TORVColumn* Column = Columns->GetColumn(Token->FPosition);
  return Column != this ? Column : nullptr;
}

void TORVColumn::FoundFunction(TORVExprToken* Token, TORVSelectedConfigObjects& Functions) {
  if (Token->FTokenOperator != toUDF) return;
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr || Catalog->GetDefaultSchema() == nullptr) return;
  TORVFunctions& Stored = Catalog->GetDefaultSchema()->GetFunctions();
  if (Token->FPosition >= 0 && Token->FPosition < Stored.GetCount()) Functions.Add(Stored.GetObjects(Token->FPosition));
}

void TORVColumn::ColumnFound(TORVExprToken* Token) {
  if (TORVColumn* Column = FoundColumn(Token)) {
    MakeExpressionLists();
    FReferencedColumns->Add(Column);
  }
}

void TORVColumn::FunctionFound(TORVExprToken* Token) {
  MakeExpressionLists();
  FReferencesFunctions = true;
  FoundFunction(Token, *FReferencedFunctions);
}

void TORVColumn::DefaultColumnFound(TORVExprToken* Token) {
  if (TORVColumn* Column = FoundColumn(Token)) {
    MakeDefaultLists();
    FReferencedDefaultColumns->Add(Column);
  }
}

void TORVColumn::DefaultFunctionFound(TORVExprToken* Token) {
  MakeDefaultLists();
  FoundFunction(Token, *FReferencedDefaultFunctions);
}

void TORVColumn::SetupExpressionReferences() {
  SortUnique(FReferencedColumns.get());
  SortUnique(FReferencedFunctions.get());
}

void TORVColumn::ClearExpressionReferences() {
  if (FReferencedColumns != nullptr) {
    for (int32_t Index = 0; Index < FReferencedColumns->GetCount(); ++Index) {
      TORVColumn* Referenced = FReferencedColumns->GetColumn(Index);
      if (!Referenced->GetHasReferencingColumns()) continue;
      TORVSelectedColumns* Referencing = Referenced->GetReferencingColumns();
      for (int32_t Position = 0; Position < Referencing->GetCount(); ++Position)
        if (Referencing->GetObjects(Position)->GetID() == FID) {
          Referencing->Delete(Position);
          break;
        }
    }
    FReferencedColumns->Clear();
  }
  FReferencesFunctions = false;
  if (FReferencedFunctions != nullptr) FReferencedFunctions->Clear();
}

void TORVColumn::SetupDefaultExpressionReferences() {
  SortUnique(FReferencedDefaultColumns.get());
  SortUnique(FReferencedDefaultFunctions.get());
}

void TORVColumn::ClearDefaultExpressionReferences() {
  if (FReferencedDefaultColumns != nullptr) FReferencedDefaultColumns->Clear();
  if (FReferencedDefaultFunctions != nullptr) FReferencedDefaultFunctions->Clear();
}

void TORVColumn::Compile() {
  TORVCatalog* Catalog = GetCatalog();
  auto CompileExpr = [Catalog](TORVColumnExpr* Expr) {
    if (Expr == nullptr) return;
    if (Expr->GetCatalog() == nullptr && Catalog != nullptr) Expr->SetCatalog(Catalog);
    Expr->Compile();
  };
  if (FParent != nullptr && FParent->GetParent() != nullptr) CompileExpr(FGenerateExpr.get());
  CompileExpr(FComputeExpr.get());
  CompileExpr(FDefaultExpr.get());
}

void TORVColumn::Decompile() {
  if (FGenerateExpr != nullptr) FGenerateExpr->Decompile();
  if (FComputeExpr != nullptr) FComputeExpr->Decompile();
  if (FDefaultExpr != nullptr) FDefaultExpr->Decompile();
}

// ------------------------------------------------------------ dependencies

namespace {

// The Default schema's tables and views, for the walks of a column; none
// outside a catalog.
std::vector<TORVConfigObjects*> Referrers(TORVCatalog* Catalog) {
  if (Catalog == nullptr || Catalog->GetDefaultSchema() == nullptr) return {};
  TORVSchema* Schema = Catalog->GetDefaultSchema();
  return {&Schema->GetBaseTables(), &Schema->GetViews()};
}

bool Holds(TORVSelectedConfigObjects* List, TORVConfigObject* Obj) {
  if (List == nullptr) return false;
  for (int32_t Index = 0; Index < List->GetCount(); ++Index)
    if (List->GetObjects(Index)->GetID() == Obj->GetID()) return true;
  return false;
}

}  // namespace

void TORVColumn::SetDependencies() {
  for (TORVConfigObjects* List : Referrers(GetCatalog())) List->AddDependenciesToObject(this);
}

void TORVColumn::RenameDependencies(const TORVString& NewName) {
  for (TORVConfigObjects* List : Referrers(GetCatalog())) List->RenameDependenciesToObject(this, NewName);
}

void TORVColumn::AddDependenciesToObject(TORVConfigObject* Obj) {
  Compile();
  for (TORVSelectedConfigObjects* List :
       {static_cast<TORVSelectedConfigObjects*>(FReferencedColumns.get()), FReferencedFunctions.get(),
        static_cast<TORVSelectedConfigObjects*>(FReferencedDefaultColumns.get()), FReferencedDefaultFunctions.get()})
    if (List != nullptr) List->AddDependenciesToObject(Obj);
}

void TORVColumn::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  Compile();
  for (TORVSelectedConfigObjects* List :
       {static_cast<TORVSelectedConfigObjects*>(FReferencedColumns.get()), FReferencedFunctions.get(),
        static_cast<TORVSelectedConfigObjects*>(FReferencedDefaultColumns.get()), FReferencedDefaultFunctions.get()})
    if (List != nullptr) List->ResetDependenciesToObject(Obj, NewID);
}

void TORVColumn::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  Compile();
  const TORVString OldName = Obj->GetName();
  bool Renamed = false;
  auto Rename = [&](TORVCompiledExpr* Expr, TORVTokenType SymbolType) {
    if (Expr == nullptr) return;
    const TORVString Before = Expr->GetExpression();
    Expr->RenameSymbols(SymbolType, OldName, NewName);
    Renamed = Renamed || Expr->GetExpression() != Before;
  };
  const bool IsColumn = dynamic_cast<TORVColumn*>(Obj) != nullptr;
  if (Obj == this || (IsColumn && Holds(FReferencedColumns.get(), Obj))) {
    Rename(FComputeExpr.get(), ttCOLUMNREF);
    Rename(FGenerateExpr.get(), ttCOLUMNREF);
  } else if (!IsColumn && Holds(FReferencedFunctions.get(), Obj)) {
    Rename(FComputeExpr.get(), ttFUNCREF);
    Rename(FGenerateExpr.get(), ttFUNCREF);
  }
  if (Obj == this || (IsColumn && Holds(FReferencedDefaultColumns.get(), Obj)))
    Rename(FDefaultExpr.get(), ttCOLUMNREF);
  else if (!IsColumn && Holds(FReferencedDefaultFunctions.get(), Obj))
    Rename(FDefaultExpr.get(), ttFUNCREF);
  if (Renamed) SetModified(true);
}

// ------------------------------------------------------------ origins

TORVColumn* TORVColumn::GetBaseColumn() {
  TORVCatalog* Home = GetCatalog();
  int32_t StepsLeft = 0;
  if (Home != nullptr)
    for (TORVSchema* Schema : {Home->GetInformationSchema(), Home->GetDefaultSchema()})
      if (Schema != nullptr) StepsLeft += Schema->GetBaseTables().GetCount() + Schema->GetViews().GetCount();
  StepsLeft = StepsLeft > 0 ? StepsLeft : 100;
  TORVColumn* Current = this;
  while (!Current->FOrigin.empty()) {
    if (StepsLeft-- <= 0) ValidateError(u"The origins of the column form a loop", 0, 0);
    TORVString DatabaseName;
    TORVString SchemaName;
    TORVString TableName;
    TORVString ColumnName;
    ParseOrigin(Current->FOrigin, DatabaseName, SchemaName, TableName, ColumnName);
    TORVCatalog* Catalog = Home;
    if (!DatabaseName.empty()) {
      TORVConfig* Owner = Home != nullptr ? Home->GetConfig() : FConfig;
      if (Owner == nullptr) ValidateError(u"The catalog was not read properly", 0, 0);
      auto* Database = static_cast<TORVDatabaseContainer*>(Owner->GetDatabases().FindByName(DatabaseName, true));
      if (Database->GetCatalog() == nullptr) Database->CatalogReadError();
      Catalog = Database->GetCatalog();
    }
    if (Catalog == nullptr) return Current;
    TORVSchema* Schema = SchemaName.empty() ? Catalog->GetDefaultSchema()
                                            : static_cast<TORVSchema*>(Catalog->GetSchemas().FindByName(SchemaName, true));
    TORVVirtualTable* Table = Catalog->FindVirtualTable(Schema, TableName, nullptr, true, true);
    Current = static_cast<TORVColumn*>(Table->GetColumns().FindByName(ColumnName, true));
    if (dynamic_cast<TORVBaseTable*>(Table) != nullptr) break;
  }
  return Current;
}

void TORVColumn::SetOriginConstraintInfo(TORVVirtualTable* /*TableToUse*/) {
  FOriginUnique = false;
  FOriginKey = false;
  if (FOrigin.empty()) return;
  TORVColumn* Base = GetBaseColumn();
  auto* Table = dynamic_cast<TORVBaseTable*>(Base->GetParent() != nullptr ? Base->GetParent()->GetParent() : nullptr);
  if (Base == this || Table == nullptr) return;
  TORVConstraints& Constraints = Table->GetConstraints();
  for (int32_t Number = 0; Number < Constraints.GetCount(); ++Number) {
    TORVConstraint* Constraint = Constraints.GetConstraint(Number);
    const int32_t Type = Constraint->GetConstraintType();
    if (Type != ctPrimaryKey && Type != ctUnique) continue;
    TORVConstraintColumns* Columns = Constraint->GetConstraintColumns();
    for (int32_t K = 0; Columns != nullptr && K < Columns->GetCount(); ++K) {
      if (Columns->GetConstraintColumn(K)->GetColumnID() != Base->GetID()) continue;
      (Type == ctPrimaryKey ? FOriginKey : FOriginUnique) = true;
      return;
    }
  }
}

// ------------------------------------------------------------ validation

void TORVColumn::InvalidColumnTypeError() {
  ValidateError(FormatString(u"The data type %s is invalid", {GetDataTypeName()}), 0, 0);
}

void TORVColumn::MinColumnLengthError() {
  ValidateError(FormatString(u"The size is below the minimum of %s", {u"1"}), 0, 0);
}

void TORVColumn::MaxColumnLengthError() {
  ValidateError(FormatString(u"The size is above the maximum of %s", {IntToString(MaxColumnLength)}), 0, 0);
}

void TORVColumn::MinColumnScaleError() {
  ValidateError(FormatString(u"The scale is below the minimum of %s", {u"0"}), 0, 0);
}

void TORVColumn::MaxColumnScaleError() {
  ValidateError(FormatString(u"The scale is above the maximum of %s", {IntToString(MaxColumnScale)}), 0, 0);
}

void TORVColumn::InvalidIdentityTypeError() {
  ValidateError(FormatString(u"The data type %s is invalid for an identity column", {GetDataTypeName()}), 0, 0);
}

void TORVColumn::InvalidIdentityDefaultError() {
  ValidateError(u"Default expressions cannot be specified for identity columns", 0, 0);
}

void TORVColumn::InvalidIdentityRestartError() {
  ValidateError(u"Only identity columns can have their sequence restarted", 0, 0);
}

void TORVColumn::InvalidBlobCompressionError() {
  ValidateError(FormatString(u"The compression %s is invalid", {IntToString(FBlobCompression)}), 0, 0);
}

void TORVColumn::InvalidGeneratedTypeError() {
  ValidateError(u"Identity columns cannot be also generated columns", 0, 0);
}

void TORVColumn::InvalidGeneratedDefaultError() {
  ValidateError(u"Default expressions cannot be specified for generated columns", 0, 0);
}

void TORVColumn::Validate() {
  TORVTypedCatalogObject::Validate();
  if (FDataType == 0) InvalidColumnTypeError();
  if (FDataType == dtCharacter || FDataType == dtBytes) {
    if (FLength < 1) MinColumnLengthError();
    if (FLength > MaxColumnLength) MaxColumnLengthError();
  }
  if (FDataType == dtDecimal) {
    if (FScale < 0) MinColumnScaleError();
    if (FScale > MaxColumnScale) MaxColumnScaleError();
  }
  if (FDataType == dtLargeObject ? FBlobCompression < 0 || FBlobCompression > 9 : FBlobCompression != 0)
    InvalidBlobCompressionError();
  if (FIdentity) {
    if (FDataType != dtInteger) InvalidIdentityTypeError();
    if (FDefaulted) InvalidIdentityDefaultError();
  }
  if (FGenerated) {
    if (FIdentity) InvalidGeneratedTypeError();
    if (FDefaulted) InvalidGeneratedDefaultError();
  }
}

void TORVColumn::CheckSystemObject() {
  TORVTypedCatalogObject::CheckSystemObject();
  if (SameString(FName, u"__RowID")) SystemObjectError();
}

// ------------------------------------------------------------ copy, compare

void TORVColumn::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVTypedCatalogObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVColumn*>(FromObject);
  if (From == nullptr || From == this) return;
  FRowOffset = From->FRowOffset;
  FDataType = From->FDataType;
  FSubType = From->FSubType;
  FLength = From->FLength;
  FSize = From->FSize;
  FScale = From->FScale;
  FCollation = From->FCollation;
  FRequired = From->FRequired;
  FErrorCode = From->FErrorCode;
  FErrorMessage = From->FErrorMessage;
  SetGenerated(From->FGenerated);
  if (FGenerateExpr != nullptr) FGenerateExpr->Assign(From->FGenerateExpr.get(), CopyReferences);
  FIdentity = From->FIdentity;
  FDefaultIdentity = From->FDefaultIdentity;
  FSeedValue = From->FSeedValue;
  FIncrementValue = From->FIncrementValue;
  SetComputed(From->FComputed);
  if (FComputeExpr != nullptr) FComputeExpr->Assign(From->FComputeExpr.get(), CopyReferences);
  if (FReferencedColumns != nullptr && From->FReferencedColumns != nullptr) {
    FReferencedColumns->Assign(From->FReferencedColumns.get(), true);
    FReferencedFunctions->Assign(From->FReferencedFunctions.get(), true);
    FReferencesFunctions = From->FReferencesFunctions;
  }
  if (From->FReferencingColumns != nullptr)
    GetReferencingColumns()->Assign(From->FReferencingColumns.get(), true);
  else
    FReferencingColumns.reset();
  SetDefaulted(From->FDefaulted);
  if (FDefaultExpr != nullptr) {
    FDefaultExpr->Assign(From->FDefaultExpr.get(), CopyReferences);
    FReferencedDefaultColumns->Assign(From->FReferencedDefaultColumns.get(), true);
    FReferencedDefaultFunctions->Assign(From->FReferencedDefaultFunctions.get(), true);
  }
  FBlobCompression = From->FBlobCompression;
  FOrigin = From->FOrigin;
  FOriginUnique = From->FOriginUnique;
  FOriginKey = From->FOriginKey;
  // The flags and expressions came from another column: the read-only
  // state is the source's, not what the flag setters implied.
  FReadOnly = From->FReadOnly;
}

bool TORVColumn::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVTypedCatalogObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVColumn*>(ObjectToCompare);
  return Other != nullptr && FDataType == Other->FDataType && FSubType == Other->FSubType &&
         FLength == Other->FLength && FSize == Other->FSize && FScale == Other->FScale &&
         FCollation == Other->FCollation && FRequired == Other->FRequired && FErrorCode == Other->FErrorCode &&
         FErrorMessage == Other->FErrorMessage && FGenerated == Other->FGenerated &&
         SameExpr(FGenerateExpr.get(), Other->FGenerateExpr.get()) && FIdentity == Other->FIdentity &&
         FDefaultIdentity == Other->FDefaultIdentity && FSeedValue == Other->FSeedValue &&
         FIncrementValue == Other->FIncrementValue && FComputed == Other->FComputed &&
         SameExpr(FComputeExpr.get(), Other->FComputeExpr.get()) && FDefaulted == Other->FDefaulted &&
         SameExpr(FDefaultExpr.get(), Other->FDefaultExpr.get()) && FBlobCompression == Other->FBlobCompression;
}

TORVAlterStates TORVColumn::GetAlterState(TORVColumn* OldColumn) {
  TORVAlterStates States;
  States.Include(asColumnsAltered);
  States.Include(asColumnAltered);
  auto Rebuild = [&States] {
    States.Include(asRebuild);
    States.Include(asRebuildRows);
  };
  const bool GenerateChanged =
      FGenerated && OldColumn->FGenerated && !SameExpr(FGenerateExpr.get(), OldColumn->FGenerateExpr.get());
  const bool ComputeChanged =
      FComputed && OldColumn->FComputed && !SameExpr(FComputeExpr.get(), OldColumn->FComputeExpr.get());
  // Scale and subtype are part of the stored form too: a decimal keeps its
  // digits at its scale, a CLOB its characters rather than bytes.
  const bool StorageChanged = FDataType != OldColumn->FDataType || FLength != OldColumn->FLength ||
                              FSize != OldColumn->FSize || FScale != OldColumn->FScale ||
                              FSubType != OldColumn->FSubType;
  if (StorageChanged || FGenerated != OldColumn->FGenerated || GenerateChanged || FComputed != OldColumn->FComputed)
    Rebuild();
  if (FDataType == dtLargeObject && FBlobCompression != OldColumn->FBlobCompression) Rebuild();
  if (FRequired && !OldColumn->FRequired) {
    States.Include(asConstraintsAltered);
    States.Include(asCheckConstraintAltered);
  }
  if (StorageChanged || FCollation != OldColumn->FCollation || FGenerated != OldColumn->FGenerated ||
      FComputed != OldColumn->FComputed || GenerateChanged || ComputeChanged) {
    ResetReferences();
    UpdateDependencies();
    TORVSelectedConfigObjects* Dependents = GetHasDependencies() ? GetDependencies() : nullptr;
    for (int32_t Position = 0; Dependents != nullptr && Position < Dependents->GetCount(); ++Position) {
      TORVConfigObject* Dependent = Dependents->GetObjects(Position);
      if (auto* Constraint = dynamic_cast<TORVConstraint*>(Dependent)) {
        Constraint->SetAltered(true);
        States.Include(asConstraintsAltered);
        if (Constraint->GetConstraintType() >= 1 && Constraint->GetConstraintType() <= 3) {
          States.Include(asRebuild);
          States.Include(asRebuildIndexes);
          States.Include(asKeyConstraintAltered);
        } else if (Constraint->GetConstraintType() == 4) {
          States.Include(asCheckConstraintAltered);
        }
      } else if (auto* Index = dynamic_cast<TORVIndex*>(Dependent)) {
        if (Index->GetIndexType() != 0 && Index->GetIndexType() != 4) continue;
        Index->SetAltered(true);
        Index->ResetCollation(this);
        States.Include(asRebuild);
        States.Include(asRebuildIndexes);
        States.Include(asIndexesAltered);
      }
    }
  }
  FOldPosition = GenerateChanged ? -1 : OldColumn->FOldPosition;
  return States;
}

// ------------------------------------------------------------ stream

void TORVColumn::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVTypedCatalogObject::Save(Stream, CRCOnly);
  for (int32_t Value : {FDataType, FSubType, FLength, FSize, FScale}) Stream.WriteInteger(Value);
  if (CRCOnly) {
    Stream.WriteBoolean(FIdentity);
    Stream.WriteBoolean(FComputed);
    Stream.WriteInteger(FBlobCompression);
    return;
  }
  const TORVCurrency Version = GetConfigVersion();
  Stream.WriteInteger(FCollation);
  Stream.WriteBoolean(FRequired);
  if (Version >= ColumnErrorCodeVersion) {
    Stream.WriteInteger(FErrorCode);
    Stream.WriteString(FErrorMessage);
  }
  if (Version > ColumnGeneratedVersion) {
    Stream.WriteBoolean(FGenerated);
    if (FGenerated) FGenerateExpr->Save(Stream);
  }
  Stream.WriteBoolean(FIdentity);
  Stream.WriteBoolean(FDefaultIdentity);
  Stream.WriteInteger(FSeedValue);
  Stream.WriteInteger(FIncrementValue);
  Stream.WriteBoolean(FComputed);
  if (FComputed) FComputeExpr->Save(Stream);
  Stream.WriteBoolean(FDefaulted);
  if (FDefaulted) FDefaultExpr->Save(Stream);
  Stream.WriteInteger(FBlobCompression);
  Stream.WriteString(FOrigin);
  if (Version >= ColumnOriginFlagsVersion) {
    Stream.WriteBoolean(FOriginUnique);
    Stream.WriteBoolean(FOriginKey);
  }
}

void TORVColumn::Load(TORVMemoryStream& Stream) {
  TORVTypedCatalogObject::Load(Stream);
  const TORVCurrency Version = GetConfigVersion();
  FDataType = Stream.ReadInteger();
  FSubType = Stream.ReadInteger();
  FLength = Stream.ReadInteger();
  FSize = Stream.ReadInteger();
  FScale = Stream.ReadInteger();
  FCollation = Stream.ReadInteger();
  // The slot size adds up to the row size: a damaged size must not reach it.
  if (FDataType != dtLargeObject) {
    if (FSize < 0) MinColumnLengthError();
    if (FSize > GetSizeForDataType(CharacterSetUnicode, dtCharacter, MaxColumnLength)) MaxColumnLengthError();
  }
  FRequired = Stream.ReadBoolean();
  FErrorCode = 0;
  FErrorMessage.clear();
  if (Version >= ColumnErrorCodeVersion) {
    FErrorCode = Stream.ReadInteger();
    Stream.ReadString(FErrorMessage);
  }
  // The flags go through their setters so that each expression exists
  // exactly while its flag is set; the stored read-only flag stays.
  const bool ReadOnly = FReadOnly;
  const bool Generated = Version > ColumnGeneratedVersion && Stream.ReadBoolean();
  if (!Generated) SetGenerated(false);
  if (Generated) {
    if (!FGenerated) {
      FComputed = false;
      FComputeExpr.reset();
      FGenerated = true;
      FGenerateExpr = std::make_unique<TORVGeneratedColumnExpr>(this);
      MakeExpressionLists();
    }
    FGenerateExpr->Load(Stream);
  }
  FIdentity = Stream.ReadBoolean();
  FDefaultIdentity = Stream.ReadBoolean();
  FSeedValue = Stream.ReadInteger();
  FIncrementValue = Stream.ReadInteger();
  if (Stream.ReadBoolean()) {
    if (!FComputed) {
      FComputed = true;
      FComputeExpr = std::make_unique<TORVComputedColumnExpr>(this);
      MakeExpressionLists();
    }
    FComputeExpr->Load(Stream);
  } else if (FComputed) {
    FComputed = false;
    FComputeExpr.reset();
    if (!FGenerated) FreeExpressionLists();
  }
  if (Stream.ReadBoolean()) {
    if (!FDefaulted) {
      FDefaulted = true;
      FDefaultExpr = std::make_unique<TORVDefaultColumnExpr>(this);
      MakeDefaultLists();
    }
    FDefaultExpr->Load(Stream);
  } else if (FDefaulted) {
    FDefaulted = false;
    FDefaultExpr.reset();
    FreeDefaultLists();
  }
  FReadOnly = ReadOnly;
  FBlobCompression = Stream.ReadInteger();
  FOrigin.clear();
  Stream.ReadString(FOrigin);
  FOriginUnique = false;
  FOriginKey = false;
  if (Version >= ColumnOriginFlagsVersion) {
    FOriginUnique = Stream.ReadBoolean();
    FOriginKey = Stream.ReadBoolean();
  }
}

int32_t TORVColumn::GetMemorySize() {
  int32_t Size = TORVTypedCatalogObject::GetMemorySize() + StringSize(FErrorMessage) + StringSize(FOrigin) +
                 StringSize(FAlterSQL);
  for (const TORVCompiledExpr* Expr :
       {static_cast<const TORVCompiledExpr*>(FGenerateExpr.get()), static_cast<const TORVCompiledExpr*>(FComputeExpr.get()),
        static_cast<const TORVCompiledExpr*>(FDefaultExpr.get())})
    if (Expr != nullptr) Size += StringSize(Expr->GetExpression());
  for (TORVConfigObjects* List :
       {static_cast<TORVConfigObjects*>(FReferencedColumns.get()), static_cast<TORVConfigObjects*>(FReferencingColumns.get()),
        static_cast<TORVConfigObjects*>(FReferencedFunctions.get()),
        static_cast<TORVConfigObjects*>(FReferencedDefaultColumns.get()),
        static_cast<TORVConfigObjects*>(FReferencedDefaultFunctions.get())})
    if (List != nullptr) Size += List->GetMemorySize();
  return Size;
}

// ------------------------------------------------------------ DDL text

TORVString TORVColumn::GetSQL(bool IncludeDescription) {
  TORVString Result = DataTypeToSQLString(FDataType, FSubType, FLength, FScale);
  if (FDataType == dtCharacter || (FDataType == dtLargeObject && FSubType == stClob)) {
    // The column's own collation: the session's information collation
    // belongs to the information tables, not to the definition.
    TORVConfig* Owner = FConfig;
    if (Owner == nullptr && GetCatalog() != nullptr) Owner = GetCatalog()->GetConfig();
    TORVString CollationName;
    if (Owner != nullptr && Owner->GetOnGetCollationName()) CollationName = Owner->GetOnGetCollationName()(FCollation);
    if (!CollationName.empty()) Result += u" COLLATE " + Quoted(CollationName);
  }
  if (FDataType == dtLargeObject && FBlobCompression != 0) Result += u" COMPRESSION " + IntToString(FBlobCompression);
  if (FGenerated)
    Result += u" GENERATED ALWAYS AS " + ExprText(FGenerateExpr.get());
  else if (FIdentity)
    Result += (FDefaultIdentity ? u" GENERATED BY DEFAULT AS IDENTITY (START WITH "
                                : u" GENERATED ALWAYS AS IDENTITY (START WITH ") +
              IntToString(FSeedValue) + u", " + u"INCREMENT BY " + IntToString(FIncrementValue) + u")";
  else if (FComputed)
    Result += u" COMPUTED ALWAYS AS " + ExprText(FComputeExpr.get());
  else if (FDefaulted)
    Result += u" DEFAULT " + ExprText(FDefaultExpr.get());
  if (FRequired) {
    Result += u" NOT NULL";
    if (FErrorCode != 0) Result += u" ERROR CODE " + IntToString(FErrorCode) + u" MESSAGE " + QuotedString(FErrorMessage, u'\'');
  }
  if (IncludeDescription && !FDescription.empty()) Result += u" DESCRIPTION " + QuotedText(FDescription);
  return Result;
}

TORVString TORVColumn::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                    bool /*Restricted*/) {
  return Quoted(FName) + u" " + GetSQL(true);
}

TORVString TORVColumn::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP COLUMN " + Quoted(FName);
}

void TORVColumn::BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t /*StatementTerminator*/) {
  auto* Other = dynamic_cast<TORVColumn*>(Target);
  switch (Action) {
    case 0: FAlterSQL = u"ADD COLUMN " + GetCreateSQL(false, false, false); break;
    case 1:
      if (Other == nullptr || Compare(Other, false))
        FAlterSQL.clear();
      else
        FAlterSQL = u"ALTER COLUMN " + Quoted(FName) + u" AS " + Other->GetSQL(false) + u" DESCRIPTION " +
                    QuotedText(Other->GetDescription());
      break;
    case 2: FAlterSQL = GetDropSQL(false, false); break;
    default: FAlterSQL.clear(); break;
  }
}

// ---------------------------------------------------------------------------
// TORVColumns

TORVColumns::TORVColumns() : TORVColumns(true) {}

TORVColumns::TORVColumns(bool OwnsObjects) : TORVCatalogObjects(OwnsObjects) {}

TORVColumns::~TORVColumns() = default;

TORVString TORVColumns::GetTypeName() const { return u"column"; }

TORVString TORVColumns::GetParentName() const {
  if (FParent != nullptr && FParent->GetTemporaryForSession() && dynamic_cast<TORVView*>(FParent) != nullptr)
    return FParent->GetInternalName();
  return TORVCatalogObjects::GetParentName();
}

TORVConfigObject* TORVColumns::CreateObject() { return new TORVColumn(); }

void TORVColumns::ObjectsChanged() {
  if (FOwnsObjects) SetupColumnInformation();
}

void TORVColumns::Validate() {
  TORVCatalogObjects::Validate();
  SetupColumnInformation();
}

void TORVColumns::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVCatalogObjects::Assign(FromObject, CopyReferences);
  SetupColumnInformation();
}

void TORVColumns::Load(TORVMemoryStream& Stream) {
  TORVCatalogObjects::Load(Stream);
  SetupColumnInformation();
}

void TORVColumns::Compile() {
  TORVCatalogObjects::Compile();
  SetupReferencingColumns();
}

bool TORVColumns::HasMembers(const std::unique_ptr<TORVSelectedColumns>& List) {
  return List != nullptr && List->GetCount() > 0;
}

TORVSelectedColumns* TORVColumns::Derived(std::unique_ptr<TORVSelectedColumns>& List) {
  if (List == nullptr) {
    List = std::make_unique<TORVSelectedColumns>();
    List->SetParent(this);
  }
  return List.get();
}

void TORVColumns::SetupColumnInformation() {
  if (!FOwnsObjects) return;
  FRowsetRowSize = RowHeaderSize;
  for (std::unique_ptr<TORVSelectedColumns>* List :
       {&FBlobColumns, &FRequiredColumns, &FGeneratedColumns, &FIdentityColumns, &FComputedColumns, &FDefaultColumns})
    if (*List != nullptr) (*List)->Clear();
  for (int32_t Index = 0; Index < GetCount(); ++Index) {
    TORVColumn* Column = GetColumn(Index);
    Column->SetRowOffset(FRowsetRowSize);
    if (Column->GetDataType() == dtLargeObject) GetBlobColumns()->Add(Column);
    if (Column->GetRequired()) GetRequiredColumns()->Add(Column);
    if (Column->GetGenerated()) GetGeneratedColumns()->Add(Column);
    if (Column->GetIdentity()) GetIdentityColumns()->Add(Column);
    if (Column->GetComputed()) GetComputedColumns()->Add(Column);
    if (Column->GetDefaulted()) GetDefaultColumns()->Add(Column);
    if (!Column->GetComputed()) FRowsetRowSize += Column->GetRowsetSize();
  }
}

void TORVColumns::SetupReferencingColumns() {
  for (int32_t Index = 0; Index < GetCount(); ++Index) {
    TORVColumn* Reader = GetColumn(Index);
    if ((!Reader->GetGenerated() && !Reader->GetComputed()) || Reader->GetReferencedColumns() == nullptr) continue;
    TORVSelectedColumns* Read = Reader->GetReferencedColumns();
    for (int32_t Other = 0; Other < GetCount(); ++Other) {
      TORVColumn* Column = GetColumn(Other);
      if (Column == Reader) continue;
      for (int32_t Position = 0; Position < Read->GetCount(); ++Position)
        if (Read->GetObjects(Position)->GetID() == Column->GetID()) {
          Column->GetReferencingColumns()->Add(Reader);
          break;
        }
    }
  }
  for (int32_t Index = 0; Index < GetCount(); ++Index) {
    TORVColumn* Column = GetColumn(Index);
    if (!Column->GetHasReferencingColumns()) continue;
    Column->GetReferencingColumns()->SortByID();
    Column->GetReferencingColumns()->RemoveDuplicates();
  }
}

TORVColumn* TORVColumns::GetColumn(int32_t Index) const { return static_cast<TORVColumn*>(GetObjects(Index)); }

// ---------------------------------------------------------------------------
// TORVSelectedColumns

TORVString TORVSelectedColumns::GetTypeName() const { return u"column"; }

TORVColumn* TORVSelectedColumns::GetColumn(int32_t Index) const { return static_cast<TORVColumn*>(GetObjects(Index)); }

// ---------------------------------------------------------------------------
// Information tables

const TORVConfigObjectsClass& TableColumnsClass() {
  static const TORVTableDescription Description{
      {TableText(u"TableName", 80, true), TableText(u"Name", 80, true), TableClob(u"Description", false),
       TableText(u"Type", 30, true), TableText(u"Collation", 80, true), TableColumn(u"Length", dtInteger),
       TableColumn(u"Precision", dtInteger), TableColumn(u"Scale", dtInteger),
       TableColumn(u"BlobCompression", dtInteger), TableColumn(u"Nullable", dtBoolean),
       TableColumn(u"ErrorCode", dtInteger), TableClob(u"ErrorMessage", false), TableColumn(u"Generated", dtBoolean),
       TableText(u"GeneratedWhen", 15, true), TableClob(u"GenerateExpr", false),
       TableColumn(u"Identity", dtBoolean), TableColumn(u"IdentitySeed", dtInteger),
       TableColumn(u"IdentityIncrement", dtInteger), TableColumn(u"Computed", dtBoolean),
       TableClob(u"ComputeExpr", false), TableClob(u"DefaultExpr", false), TableColumn(u"OrdinalPos", dtInteger),
       TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"TableName", {1}}, {u"Name", {2}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVColumns(); }, u"TableColumns",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCColumnsClass() {
  static const TORVTableDescription Description{
      {TableText(u"TABLE_CAT", 80, true), TableText(u"TABLE_SCHEM", 80, true), TableText(u"TABLE_NAME", 80, true),
       TableText(u"COLUMN_NAME", 80, true), TableColumn(u"DATA_TYPE", dtSmallInt), TableText(u"TYPE_NAME", 30, true),
       TableColumn(u"COLUMN_SIZE", dtInteger), TableColumn(u"BUFFER_LENGTH", dtInteger),
       TableColumn(u"DECIMAL_DIGITS", dtSmallInt), TableColumn(u"NUM_PREC_RADIX", dtSmallInt),
       TableColumn(u"NULLABLE", dtSmallInt), TableClob(u"REMARKS", false), TableClob(u"COLUMN_DEF", false),
       TableColumn(u"SQL_DATA_TYPE", dtSmallInt), TableColumn(u"SQL_DATETIME_SUB", dtSmallInt),
       TableColumn(u"CHAR_OCTET_LENGTH", dtInteger), TableColumn(u"ORDINAL_POSITION", dtInteger),
       TableText(u"IS_NULLABLE", 3, true), TableText(u"COLLATION", 80, true),
       TableColumn(u"BLOB_COMPRESSION", dtInteger), TableColumn(u"GENERATED", dtBoolean),
       TableText(u"GENERATED_WHEN", 15, true), TableClob(u"GENERATE_EXPR", false),
       TableColumn(u"IDENTITY", dtBoolean), TableColumn(u"IDENTITY_SEED", dtInteger),
       TableColumn(u"IDENTITY_INCREMENT", dtInteger), TableColumn(u"COMPUTED", dtBoolean),
       TableClob(u"COMPUTE_EXPR", false), TableText(u"ORIGIN", 240, true)},
      {{u"ODBC", {1, 2, 3, 17}}, {u"TABLE_NAME", {3}}, {u"COLUMN_NAME", {4}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVODBCColumns(); }, u"SQLColumns",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCSpecialColumnsClass() {
  static const TORVTableDescription Description{
      {TableColumn(u"SCOPE", dtSmallInt), TableText(u"COLUMN_NAME", 80, true), TableColumn(u"DATA_TYPE", dtSmallInt),
       TableText(u"TYPE_NAME", 30, true), TableColumn(u"COLUMN_SIZE", dtInteger),
       TableColumn(u"BUFFER_LENGTH", dtInteger), TableColumn(u"DECIMAL_DIGITS", dtSmallInt),
       TableColumn(u"PSEUDO_COLUMN", dtSmallInt)},
      {{u"ODBC", {1}}, {u"COLUMN_NAME", {2}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVODBCSpecialColumns(); },
                                            u"SQLSpecialColumns", &Description};
  return Class;
}

const TORVConfigObjectsClass& ODBCColumnPrivilegesClass() {
  static const TORVTableDescription Description{
      {TableText(u"TABLE_CAT", 80, true), TableText(u"TABLE_SCHEM", 80, true), TableText(u"TABLE_NAME", 80, true),
       TableText(u"COLUMN_NAME", 80, true), TableText(u"GRANTOR", 80, true), TableText(u"GRANTEE", 80, true),
       TableText(u"PRIVILEGE", 15, true), TableText(u"IS_GRANTABLE", 3, true)},
      {{u"ODBC", {1, 2, 3, 4}}, {u"TABLE_NAME", {3}}, {u"GRANTEE", {6}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVODBCColumnPrivileges(Config); },
                                            u"SQLColumnPrivileges", &Description};
  return Class;
}

}  // namespace orv
