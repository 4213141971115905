#include <memory>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "sql/orvexprtoken.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

constexpr char16_t CRLF[] = u"\r\n";

TORVString Quoted(const TORVString& Name) { return QuotedString(Name, u'"'); }

// Descriptions and attributes lose their trailing blanks and line ends.
TORVString QuotedText(const TORVString& Text) { return QuotedString(TrimCatalogExpression(Text), u'\''); }

}  // namespace

// --------------------------------------------------------------- definition

TORVViewDefinition::TORVViewDefinition(TORVView* Owner) : TORVCatalogQuery(Owner), FView(Owner) {}

TORVString TORVViewDefinition::GetTypeName() const { return FView->GetName() + u" view"; }

bool TORVViewDefinition::GetOwnsTokens() const { return !FView->GetTemporary(); }

void TORVViewDefinition::ExpressionCompiled() {
  if (!GetOwnsTokens()) {
    FView->DeriveColumns();
    return;
  }
  // A failure here ends the compile, which then frees the tree: the
  // databases the query read are released while the tree still names them.
  try {
    FView->DeriveColumns();
  } catch (...) {
    try {
      Unlock();
    } catch (...) {
      // The derivation's error is the one to report.
    }
    throw;
  }
}

void TORVViewDefinition::ExpressionDecompiled() { FView->ClearExpressionReferences(); }

void TORVViewDefinition::TableFound(TORVExprToken* Token) { FView->TableFound(Token); }

void TORVViewDefinition::FunctionFound(TORVExprToken* Token) { FView->FunctionFound(Token); }

// --------------------------------------------------------------------- view

TORVView::TORVView(TORVConfig* OwnerConfig, TORVUser* OwnerUser, TORVCatalog* OwnerCatalog)
    : TORVVirtualTable(OwnerConfig, OwnerUser),
      FDefinition(std::make_unique<TORVViewDefinition>(this)),
      FReferencedTables(std::make_unique<TORVSelectedConfigObjects>()),
      FReferencedFunctions(std::make_unique<TORVSelectedConfigObjects>()) {
  FDefinition->SetCatalog(OwnerCatalog);
  FReferencedTables->SetParent(this);
  FReferencedFunctions->SetParent(this);
}

TORVView::~TORVView() {
  // The definition reports its decompile to this view: free it while the
  // selections still exist.
  FDefinition.reset();
}

TORVString TORVView::GetTypeName() const { return FTemporary ? u"derived table" : u"view"; }

void TORVView::SetWithCheck(bool Value) {
  if (Value == FWithCheck) return;
  FWithCheck = Value;
  SetModified(true);
}

void TORVView::SetUpdateable(bool Value) {
  if (Value == FUpdateable) return;
  FUpdateable = Value;
  SetModified(true);
}

void TORVView::CheckIndexable() {
  if (FUpdateable) IndexableError();
}

void TORVView::IndexableError() {
  RaiseError(ORV_VIEW_ERROR, {FName, u"You cannot create an index on an updateable view"});
}

void TORVView::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVVirtualTable::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVView*>(FromObject);
  if (From == nullptr) return;
  FDefinition->Assign(From->FDefinition.get(), false);
  FWithCheck = From->FWithCheck;
  FUpdateable = From->FUpdateable;
}

bool TORVView::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVVirtualTable::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVView*>(ObjectToCompare);
  return Other != nullptr && FWithCheck == Other->FWithCheck && FUpdateable == Other->FUpdateable &&
         FDefinition->Compare(Other->FDefinition.get());
}

void TORVView::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVVirtualTable::Save(Stream, CRCOnly);
  Stream.WriteString(FDefinition->GetExpression());
  Stream.WriteBoolean(FWithCheck);
  Stream.WriteBoolean(FUpdateable);
}

void TORVView::Load(TORVMemoryStream& Stream) {
  TORVVirtualTable::Load(Stream);
  TORVString Text;
  Stream.ReadString(Text);
  // A different text drops the compiled form.
  FDefinition->SetExpression(Text);
  FWithCheck = Stream.ReadBoolean();
  FUpdateable = Stream.ReadBoolean();
}

void TORVView::Compile() {
  if (IsDerived()) {
    FDefinition->ExpressionCompiled();
    return;
  }
  // A view still being defined has no query to compile.
  if (FDefinition->GetExpression().empty()) return;
  FDefinition->Compile();
  FDefinition->Unlock();
}

void TORVView::Decompile() {
  if (!IsDerived()) FDefinition->Decompile();
}

void TORVView::GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  for (int32_t Privilege = PrivilegeSelect; Privilege <= PrivilegeDrop; ++Privilege)
    GrantPrivilege(EffectiveUser, GrantTo, Privilege);
}

void TORVView::GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  for (int32_t Privilege = PrivilegeSelect; Privilege <= PrivilegeDelete; ++Privilege)
    GrantPrivilege(EffectiveUser, GrantTo, Privilege);
}

int32_t TORVView::GetMemorySize() {
  return TORVVirtualTable::GetMemorySize() +
         static_cast<int32_t>(FDefinition->GetExpression().size() * sizeof(char16_t)) +
         FReferencedTables->GetMemorySize() + FReferencedFunctions->GetMemorySize();
}

// ------------------------------------------------------------ references

void TORVView::SetupExpressionReferences() {
  for (TORVSelectedConfigObjects* List : {FReferencedTables.get(), FReferencedFunctions.get()}) {
    List->SortByID();
    List->RemoveDuplicates();
  }
}

void TORVView::ClearExpressionReferences() {
  FReferencedTables->Clear();
  FReferencedFunctions->Clear();
}

void TORVView::TableFound(TORVExprToken* Token) {
  if (IsDerived() || Token->FTokenOperator == toDERIVED) return;
  TORVCatalog* Catalog = FDefinition->GetCatalogForToken(Token);
  if (Catalog == nullptr) return;
  TORVSchema* Schema = Catalog->GetTokenSchema(Token, true);
  FReferencedTables->Add(Schema->FindVirtualTable(Token->FName, nullptr, true));
}

void TORVView::FunctionFound(TORVExprToken* Token) {
  if (IsDerived() || Token->FTokenOperator != toUDF) return;
  TORVCatalog* Catalog = GetCatalog();
  if (Catalog == nullptr) return;
  FReferencedFunctions->Add(Catalog->GetDefaultSchema()->FindFunction(Token->FName, nullptr, true));
}

TORVSelectedConfigObjects* TORVView::ReferencesOfKind(TORVConfigObject* Obj) const {
  if (dynamic_cast<TORVVirtualTable*>(Obj) != nullptr) return FReferencedTables.get();
  if (dynamic_cast<TORVFunction*>(Obj) != nullptr) return FReferencedFunctions.get();
  return nullptr;
}

void TORVView::AddDependenciesToObject(TORVConfigObject* Obj) {
  TORVVirtualTable::AddDependenciesToObject(Obj);
  TORVSelectedConfigObjects* Referenced = ReferencesOfKind(Obj);
  if (Referenced == nullptr) return;
  Compile();
  Referenced->AddDependenciesToObject(Obj);
}

void TORVView::ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) {
  TORVVirtualTable::ResetDependenciesToObject(Obj, NewID);
  TORVSelectedConfigObjects* Referenced = ReferencesOfKind(Obj);
  if (Referenced == nullptr) return;
  Compile();
  Referenced->ResetDependenciesToObject(Obj, NewID);
}

void TORVView::RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) {
  TORVVirtualTable::RenameDependenciesToObject(Obj, NewName);
  TORVSelectedConfigObjects* Referenced = ReferencesOfKind(Obj);
  if (Referenced == nullptr) return;
  Compile();
  if (Referenced->FindByID(Obj->GetID(), false) == nullptr) return;
  FDefinition->RenameSymbols(Referenced == FReferencedTables.get() ? ttTABLEREF : ttFUNCREF, Obj->GetName(), NewName);
  SetModified(true);
}

// ----------------------------------------------------------------- columns

bool TORVView::ColumnsFit(TORVExprToken* Query, bool Live) {
  if (Live != FUpdateable) return false;
  TORVExprToken* Select = SlotOf(Query, QuerySelectSlot);
  const int32_t Items = Select != nullptr ? Select->GetNumArguments() : 0;
  std::vector<TORVColumn*> Visible;
  for (int32_t Number = 1; Number < FColumns->GetCount(); ++Number)
    if (!FColumns->GetColumn(Number)->GetHidden()) Visible.push_back(FColumns->GetColumn(Number));
  int32_t Shown = 0;
  for (int32_t Number = 0; Number < Items; ++Number) Shown += Select->GetArgument(Number)->FHidden ? 0 : 1;
  if (Shown != static_cast<int32_t>(Visible.size())) return false;
  // The item's type goes through a column first, so that a zero length or
  // scale compares as the type's own.
  std::unique_ptr<TORVColumn> Typed(static_cast<TORVColumn*>(FColumns->GetNewObject()));
  for (int32_t Number = 0; Number < Items && Number + 1 < FColumns->GetCount(); ++Number) {
    const TORVExprToken* Item = Select->GetArgument(Number);
    if (Item->FHidden) continue;
    TORVColumn* Column = FColumns->GetColumn(Number + 1);
    Typed->SetTypeLike(Item->FDataType, Item->FSubType, Item->FLength, Item->FScale, Item->FCollation);
    if (!SameString(Column->GetName(), Item->FCorrelationName) || Column->GetDataType() != Typed->GetDataType() ||
        Column->GetSubType() != Typed->GetSubType() || Column->GetLength() != Typed->GetLength() ||
        Column->GetScale() != Typed->GetScale() || Column->GetCollation() != Typed->GetCollation())
      return false;
  }
  return true;
}

void TORVView::DeriveColumns() {
  SetupExpressionReferences();
  TORVCatalog* Catalog = FDefinition->GetCatalog();
  TORVExprToken* Query = FDefinition->FTokens;
  if (Catalog == nullptr || Query == nullptr) return;
  int32_t LiveIndex = -1;
  const bool Live = Catalog->ReturnsLiveResult(Query, LiveIndex);
  // The derived columns and their origin positions follow the query;
  // deriving them again is no change of the catalog, whatever the builders
  // mark on the way.
  TORVCatalog* Root = GetCatalog() != nullptr ? GetCatalog() : Catalog;
  const bool WasModified = Root->GetModified();
  try {
    if (!ColumnsFit(Query, Live)) {
      FColumns->Clear();
      FIndexes->Clear();
      if (Live)
        Catalog->BuildLiveResultTable(Query, this);
      else
        Catalog->BuildResultTable(Query, this, false, true);
      FUpdateable = Live;
    }
    int32_t Position = 0;
    Catalog->AssignViewOriginPositions(this, Position);
  } catch (...) {
    Root->SetModified(WasModified);
    throw;
  }
  Root->SetModified(WasModified);
}

// A read-only view's own indexes go onto the result table its query
// fills, on the result's columns of the same names.
void TORVView::CreateResultTableIndexes(TORVBaseTable* ResultTable) {
  TORVIndexes& Target = ResultTable->GetIndexes();
  for (int32_t Number = 0; Number < FIndexes->GetCount(); ++Number) {
    TORVIndex* Index = FIndexes->GetIndex(Number);
    if (Index->GetHidden()) continue;
    std::unique_ptr<TORVIndex> Copy(static_cast<TORVIndex*>(Target.GetNewObject()));
    Copy->SetName(Index->GetName());
    TORVIndexColumns& Keys = *Copy->GetIndexColumns();
    for (int32_t K = 0; K < Index->GetIndexColumns()->GetCount(); ++K) {
      TORVIndexColumn* From = Index->GetIndexColumns()->GetIndexColumn(K);
      std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Keys.GetNewObject()));
      Key->SetSourceColumn(
          static_cast<TORVColumn*>(ResultTable->GetColumns().FindByName(From->GetSourceColumn()->GetName(), true)));
      if (!From->GetDefaultCollation()) Key->SetCollation(From->GetCollation());
      Key->SetDescending(From->GetDescending());
      Keys.Add(Key.get());
      Key.release();
    }
    ResultTable->CheckPageSize(Copy.get());
    Target.Add(Copy.get());
    Copy.release();
  }
}

// ---------------------------------------------------------------- SQL texts

TORVString TORVView::GetSQL(bool IncludeExtensions) {
  TORVString SQL = u"VIEW " + Quoted(FName) + u" AS" + CRLF + TrimCatalogExpression(FDefinition->GetExpression());
  if (IncludeExtensions) {
    if (FWithCheck) SQL += TORVString(CRLF) + u"WITH CHECK OPTION";
    if (!FDescription.empty()) SQL += TORVString(CRLF) + u"DESCRIPTION " + QuotedText(FDescription);
    SQL += TORVString(CRLF) + u"VERSION " + DecimalToSQLStr(FUserVersion, 2);
    if (!FAttributes.empty()) SQL += TORVString(CRLF) + u"ATTRIBUTES " + QuotedText(FAttributes);
  }
  return SQL;
}

TORVString TORVView::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                  bool /*Restricted*/) {
  return u"CREATE " + GetSQL(true);
}

TORVString TORVView::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP VIEW " + Quoted(FName);
}

void TORVView::GetExtensionsAlterSQL(TORVView* NewView, TORVString& SQL) {
  if (FWithCheck != NewView->FWithCheck)
    SQL += TORVString(CRLF) + (NewView->FWithCheck ? u"WITH CHECK OPTION" : u"WITHOUT CHECK OPTION");
  if (!SameStringSensitive(FDescription, NewView->FDescription))
    SQL += TORVString(CRLF) + u"DESCRIPTION " + QuotedText(NewView->FDescription);
  if (FUserVersion != NewView->FUserVersion)
    SQL += TORVString(CRLF) + u"VERSION " + DecimalToSQLStr(NewView->FUserVersion, 2);
  if (!SameStringSensitive(FAttributes, NewView->FAttributes))
    SQL += TORVString(CRLF) + u"ATTRIBUTES " + QuotedText(NewView->FAttributes);
}

// A view whose query changes loses its indexes (its columns are derived
// again), so the ALTER is followed by the statements that create the new
// view's indexes once more.
void TORVView::BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) {
  FAlterSQL.clear();
  switch (Action) {
    case 0: FAlterSQL = GetCreateSQL(false, false, false); break;
    case 2: FAlterSQL = GetDropSQL(false, false); break;
    case 1: {
      auto* NewView = dynamic_cast<TORVView*>(Target);
      if (NewView == nullptr) break;
      if (!Compare(Target, false)) {
        FAlterSQL = u"ALTER " + NewView->GetSQL(false);
        GetExtensionsAlterSQL(NewView, FAlterSQL);
      }
      if (FDefinition->GetExpression() == NewView->FDefinition->GetExpression()) break;
      TORVIndexes& Indexes = NewView->GetIndexes();
      for (int32_t Number = 0; Number < Indexes.GetCount(); ++Number) {
        TORVIndex* Index = Indexes.GetIndex(Number);
        if (Index->GetHidden()) continue;
        const TORVString Text = Index->GetCreateSQL(true, false, false);
        if (Text.empty()) continue;
        if (!FAlterSQL.empty()) FAlterSQL += TORVString(1, StatementTerminator) + CRLF + CRLF;
        FAlterSQL += Text;
      }
      break;
    }
    default: break;
  }
}

}  // namespace orv
